#include "app/tlinkcontrols.h"

#include "app/guarded.h"
#include "app/qtext.h"
#include "app/tmakepage.h"
#include "link/linksession.h"
#include "project/tproject.h"
#include "rom/tuploadimage.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QWidget>

TLinkControls::TLinkControls(DpuLink::TLinkSession& Session, TMakePage* Make,
                             const DpuProject::TConfiguration& Config, YVclUtil::Prompts& Ask,
                             QObject* Parent)
    : QObject(Parent), FSession(Session), FMake(Make), FConfig(Config), FAsk(Ask) {
    DpuLink::TDeviceLink& link = FSession.Link();
    link.OnControlsChanged = [this] { Update(); };
    link.OnProgress = [this](unsigned BlockNo) { FMake->SetProgress(static_cast<int>(BlockNo)); };
    connect(FMake, &TMakePage::ConnectRequested, this, [this](const QString& Port) {
        Guarded(FAsk, [this, Port] { OnConnect(FromQ(Port)); })();
    });
    connect(FMake, &TMakePage::DisconnectRequested, this,
            Guarded(FAsk, [this] { OnDisconnect(); }));
    connect(FMake, &TMakePage::BaudChosen, this,
            [this](const QString& Text) { FSession.Link().BaudListChanged(FromQ(Text)); });
    connect(FMake, &TMakePage::UploadRequested, this, Guarded(FAsk, [this] { OnUpload(); }));
    connect(FMake, &TMakePage::DateTimeSyncRequested, this,
            Guarded(FAsk, [this] { OnDateTimeSync(); }));
    connect(FMake, &TMakePage::CancelRequested, this, Guarded(FAsk, [this] { OnCancel(); }));
    connect(FMake, &TMakePage::MsgOnChosen, this,
            [this](bool On) { FSession.Link().SetMsgOn(On); });
    // Esc anywhere in the window ends a transfer; it is taken only while one
    // runs, so the grid's editor and the dialogs keep their Esc otherwise.
    FEscape = new QShortcut(QKeySequence(Qt::Key_Escape), FMake->window());
    FEscape->setObjectName("CancelShortcut");
    FEscape->setEnabled(false);
    connect(FEscape, &QShortcut::activated, this, [this] { FMake->PressCancel(); });
}

TLinkControls::~TLinkControls() {
    // The link outlives these controls while the window is taken down.
    DpuLink::TDeviceLink& link = FSession.Link();
    link.OnControlsChanged = nullptr;
    link.OnProgress = nullptr;
}

void TLinkControls::Update() {
    ShowState();
    // The link reports its buttons before it enters or leaves a transfer's
    // state; look again once the report's event is over.
    if (!FRecheckQueued) {
        FRecheckQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                FRecheckQueued = false;
                ShowState();
            },
            Qt::QueuedConnection);
    }
}

void TLinkControls::ShowState() {
    DpuLink::TDeviceLink& link = FSession.Link();
    const bool transferring = link.LinkState() != DpuLink::TLinkState::Idle;
    // Neither transfer starts while one runs: Date-Time Sync. waits while an
    // image is on its way, and a second upload never starts over the first.
    FMake->ShowLinkControls(
        link.Connected(), link.UploadEnabled() && !transferring,
        link.SyncEnabled() && link.LinkState() != DpuLink::TLinkState::RomUpload, transferring);
    FEscape->setEnabled(transferring);
    if (!transferring) FMake->SetProgress(0);
}

void TLinkControls::OnConnect(const std::string& Port) {
    DpuLink::TDeviceLink& link = FSession.Link();
    if (!link.Connected()) {
        // A number the component refuses (with its own box) leaves the port it
        // had: that one is opened, as the window always did, and shown.
        std::string refused;
        FSession.SelectPort(Port, refused);
        link.Connect();
        if (const unsigned number = FSession.ComPortNumber()) FMake->SelectComPort(number);
    }
    Update();
}

void TLinkControls::OnDisconnect() {
    if (FSession.Link().Connected()) FSession.Link().Disconnect();
    Update();
}

std::string TLinkControls::ImageToOffer() const {
    if (!FBuiltImage.empty()) return FBuiltImage;
    // The name in "ROM Filename:" as MAKE ROM would write it, in the working folder.
    const std::string name = DpuProject::TProject::RomFileNameToSave(FromQ(FMake->RomFileName()));
    return FromQ(QDir::current().absoluteFilePath(ToQ(name)));
}

bool TLinkControls::ConfirmUpload(const DpuRom::TUploadImage& Image) {
    const std::string& file = Image.FileName();
    const QFileInfo info(ToQ(file));
    const std::string what =
        FromQ(info.fileName()) + "\nmodified " +
        FromQ(info.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))) + "\nin " +
        FromQ(QDir::toNativeSeparators(info.absolutePath()));
    // The display takes whatever arrives: bytes that do not read as an image
    // are sent only when the person says so (No is the default).
    if (!Image.IsImage()) {
        if (FAsk.AskYesNo("Warning", "Not a ROM image!!\n\n" + what + "\n\n" + Image.Problem() +
                                         "\n\nSend it anyway?\n"))
            return true;
        FMake->AppendLog(ToQ("[Warning] ROM file " + file +
                             " is not a ROM image: " + Image.Problem() + " (not sent)"));
        return false;
    }
    return FAsk.AskYesNo("UpLoad ROM Image", "UpLoad this ROM image?\n\n" + what + "\n");
}

void TLinkControls::OnUpload() {
    FMake->SetProgress(0);
    if (!DpuRom::TUploadImage::UploadsAllowed(FConfig, FAsk)) return;
    // The dialog starts at the image just built (or named), never at one
    // only looked at in the ROM image window: Enter must not send that.
    std::string file = ImageToOffer();
    if (!FAsk.OpenFileDialog(RomFileFilter, "bin", file)) return;
    // Read once: the bytes checked and agreed to are the bytes sent, whatever
    // happens to the file while the question is open. A file that can not be
    // read (missing, not a regular file, too large) is said by the link.
    const DpuRom::TUploadImage image = DpuRom::TUploadImage::Read(file);
    DpuLink::TDeviceLink& link = FSession.Link();
    if (image.Readable() && !ConfirmUpload(image)) return;
    // The port may have gone while the question was open: the link refuses
    // then and says so. The start clears the log: the warning goes after its
    // first lines.
    if (link.StartUpload(image) && !image.IsImage())
        FMake->AppendLog(ToQ("[Warning] ROM file " + file +
                             " is not a ROM image: " + image.Problem() + " (sent as asked)"));
    Update();
}

void TLinkControls::OnDateTimeSync() {
    FMake->SetProgress(0);
    FSession.Link().StartDateTimeSync();
    Update();
}

void TLinkControls::OnCancel() {
    FSession.Cancel();
    Update();
}
