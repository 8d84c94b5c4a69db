#include "app/tmakepage.h"

#include "app/qtext.h"
#include "app/tchoicebox.h"
#include "app/tdrophandler.h"
#include "app/tfilebrowser.h"
#include "app/tpicturebox.h"
#include "app/tsettingbindings.h"
#include "link/portname.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

using DpuLink::TPortName;
using DpuProject::TProject;

TMakePage::TMakePage(YVclUtil::Prompts* Prompts, QWidget* Parent) : QWidget(Parent) {
    setObjectName("MakePage");
    // First, so a control can be bound to its setting where it is made.
    FSettings = new TSettingBindings(this);
    auto* top = new QHBoxLayout(this);
    top->setContentsMargins(8, 8, 8, 8);
    top->setSpacing(12);
    // Left the ROM file and the device settings, in the middle the link, the
    // logo and the message positions, right the log: no column taller than a
    // 1280 x 720 screen has room for, at 100 % or 150 %.
    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    top->addLayout(left);
    left->addWidget(BuildRomBox(Prompts), 1);
    left->addWidget(BuildDeviceBox());
    auto* mid = new QVBoxLayout;
    mid->setSpacing(8);
    top->addLayout(mid);
    mid->addWidget(BuildLinkBox());
    mid->addWidget(BuildLogoBox());
    FMsgPos = new TChoiceBox(QStringLiteral("Massage position:"), {"1", "2", "3"},
                             QStringLiteral("MsgPos"), QStringLiteral("MsgPosImage"),
                             QSize(64, 128), this);
    FMsgPos->setObjectName("MsgPosBox");
    FMsgPos->Check(2);
    mid->addWidget(FMsgPos);
    mid->addStretch();
    top->addLayout(BuildLogColumn(), 1);
    connect(FComPort, &QComboBox::currentIndexChanged, this, [this] { ShowComPortDevice(); });
    ConnectIntents();
    NameControls();
}

void TMakePage::ConnectIntents() {
    // Only the person's own actions: textEdited, activated, clicked and
    // idClicked stay quiet while the window shows the record.
    connect(FRomFileName, &QLineEdit::textEdited, this, &TMakePage::RomFileChosen);
    connect(FBrowser, &TFileBrowser::FileClicked, this, [this](const QString& Name) {
        FRomFileName->setText(Name);
        emit RomFileChosen(Name);
    });
    connect(FRomImageView, &QPushButton::clicked, this, &TMakePage::RomImageViewRequested);
    connect(FMakeRom, &QPushButton::clicked, this, &TMakePage::MakeRomRequested);
    connect(FConnect, &QPushButton::clicked, this, [this] {
        if (FConnected) {
            emit DisconnectRequested();
            return;
        }
        // The line under the list may be stale: a port link made meanwhile.
        ShowComPortDevice();
        emit ConnectRequested(QStringLiteral("COM%1").arg(SelectedComPort()));
    });
    connect(FBaud, &QComboBox::activated, this, [this] { emit BaudChosen(FBaud->currentText()); });
    connect(FUpload, &QPushButton::clicked, this, &TMakePage::UploadRequested);
    connect(FDateTimeSync, &QPushButton::clicked, this, &TMakePage::DateTimeSyncRequested);
    connect(FCancel, &QPushButton::clicked, this, &TMakePage::CancelRequested);
    connect(FMsgOn, &QCheckBox::toggled, this, &TMakePage::MsgOnChosen);
    connect(FLogoOn, &QRadioButton::clicked, this, &TMakePage::LogoOnRequested);
    connect(FLogoOff, &QRadioButton::clicked, this, &TMakePage::LogoOffRequested);
    connect(FLogo, &TPictureBox::Clicked, this, &TMakePage::LogoPictureRequested);
    connect(FIdCode, &QLineEdit::textEdited, this, &TMakePage::IdCodeEdited);
    // The controls that show one integer setting each, by its key.
    FSettings->Bind("SWAPTIME", FLogoSeconds);
    FSettings->Bind("PWRSAVING", FPowerSaving);
    FSettings->Bind("NODEADDR", FNodeAddress);
    FSettings->Bind("DEF_MSGPOS", FMsgPos->Group());
    FSettings->Bind("DISPDT", FDateTimeCheck);
    connect(FSettings, &TSettingBindings::Chosen, this, &TMakePage::SettingChosen);
    // A .BIN file dropped on the page names the ROM file, a bitmap dropped on
    // the logo becomes the logo.
    setAcceptDrops(true);
    FLogo->setAcceptDrops(true);
    FLogo->installEventFilter(this);
}

void TMakePage::NameControls() {
    // What a screen reader says for each control: its caption, or the label
    // beside it. Buttons and check boxes with captions are named by them.
    // On Linux a combo box is read by its value and the label it is the buddy
    // of, so the labels beside fields are made their buddies as well.
    auto buddy = [this](const QString& Caption, QWidget* Field) {
        for (QLabel* label : findChildren<QLabel*>())
            if (label->text() == Caption) label->setBuddy(Field);
    };
    buddy(QStringLiteral("ROM Filename:"), FRomFileName);
    buddy(QStringLiteral("COM port:"), FComPort);
    buddy(QStringLiteral("ID Code (4 bytes):"), FIdCode);
    buddy(QStringLiteral("LCD BL Power saving:"), FPowerSaving);
    buddy(QStringLiteral("Node Address:"), FNodeAddress);
    buddy(QStringLiteral("Message box:"), FLog);
    FRomFileName->setAccessibleName(QStringLiteral("ROM Filename"));
    FBrowser->DriveList()->setAccessibleName(QStringLiteral("Drive"));
    FBrowser->DirectoryList()->setAccessibleName(QStringLiteral("Folders"));
    FBrowser->FileList()->setAccessibleName(QStringLiteral("ROM files (*.BIN)"));
    FComPort->setAccessibleName(QStringLiteral("COM port"));
    FBaud->setAccessibleName(QStringLiteral("Baud rate"));
    FProgress->setAccessibleName(QStringLiteral("Upload progress"));
    FLogoSeconds->setAccessibleName(QStringLiteral("Customer logo seconds"));
    FLogo->setAccessibleName(QStringLiteral("Customer logo"));
    FLogo->setAccessibleDescription(
        QStringLiteral("Enter, Space or a click chooses the logo bitmap"));
    FIdCode->setAccessibleName(QStringLiteral("ID Code (4 bytes)"));
    FPowerSaving->setAccessibleName(QStringLiteral("LCD BL Power saving"));
    FNodeAddress->setAccessibleName(QStringLiteral("Node Address"));
    FLog->setAccessibleName(QStringLiteral("Message box"));
}

QWidget* TMakePage::BuildRomBox(YVclUtil::Prompts* Prompts) {
    auto* romBox = new QGroupBox(QStringLiteral("ROM image"), this);
    auto* rv = new QVBoxLayout(romBox);
    rv->addWidget(new QLabel(QStringLiteral("ROM Filename:"), romBox));
    FRomFileName = new QLineEdit(QStringLiteral("DPU510TK3.BIN"), romBox);
    FRomFileName->setObjectName("RomFileNameEdit");
    rv->addWidget(FRomFileName);
    // The image named above, read back and shown as the display holds it.
    FRomImageView = new QPushButton(QStringLiteral("ROM image..."), romBox);
    FRomImageView->setObjectName("RomImageViewButton");
    rv->addWidget(FRomImageView);
    FBrowser = new TFileBrowser(Prompts, romBox);
    FBrowser->setObjectName("FileBrowser");
    FBrowser->SetMask(QStringLiteral("*.BIN"));
    rv->addWidget(FBrowser, 1);
    FMakeRom = new QPushButton(QStringLiteral("&MAKE ROM"), romBox);
    FMakeRom->setObjectName("MakeRomButton");
    FMakeRom->setMinimumHeight(32);
    rv->addWidget(FMakeRom);
    romBox->setMinimumWidth(230);
    return romBox;
}

QWidget* TMakePage::BuildLinkBox() {
    auto* linkBox = new QGroupBox(QStringLiteral("Link"), this);
    auto* lg = new QGridLayout(linkBox);
    lg->addWidget(new QLabel(QStringLiteral("COM port:"), linkBox), 0, 0);
    FComPort = new QComboBox(linkBox);
    FComPort->setObjectName("ComPortBox");
    for (int i = 1; i <= 20; ++i)
        FComPort->addItem(QStringLiteral("COM %1").arg(i));
    FComPort->setCurrentIndex(0);
    lg->addWidget(FComPort, 0, 1);
    FConnect = new QPushButton(QStringLiteral("Co&nnect"), linkBox);
    FConnect->setObjectName("ConnectButton");
    lg->addWidget(FConnect, 0, 2);
    FComDevice = new QLabel(linkBox);
    FComDevice->setObjectName("ComPortDevice");
    FComDevice->setToolTip(QStringLiteral("The device this COM port stands for"));
    lg->addWidget(FComDevice, 3, 0, 1, 3);
    FBaud = new QComboBox(linkBox);
    FBaud->setObjectName("BaudBox");
    FBaud->addItems({"14400", "19200", "38400", "57600", "115200"});
    FBaud->setCurrentIndex(4);
    FBaud->setVisible(false);
    FUpload = new QPushButton(QStringLiteral("&UpLoad ROM Image"), linkBox);
    FUpload->setObjectName("UploadButton");
    FDateTimeSync = new QPushButton(QStringLiteral("&Date-Time Sync."), linkBox);
    FDateTimeSync->setObjectName("DateTimeSyncButton");
    FUpload->setEnabled(false);
    FDateTimeSync->setEnabled(false);
    lg->addWidget(FUpload, 1, 0, 1, 2);
    lg->addWidget(FDateTimeSync, 1, 2);
    FProgress = new QProgressBar(linkBox);
    FProgress->setObjectName("ProgressBar");
    FProgress->setRange(0, 975);
    FProgress->setValue(0);
    lg->addWidget(FProgress, 2, 0, 1, 2);
    // Offered while an upload or a sync runs (Esc does the same).
    FCancel = new QPushButton(QStringLiteral("Cancel"), linkBox);
    FCancel->setObjectName("CancelButton");
    FCancel->setToolTip(QStringLiteral("End the transfer now (Esc); the port stays connected"));
    FCancel->setEnabled(false);
    lg->addWidget(FCancel, 2, 2);
    return linkBox;
}

QWidget* TMakePage::BuildLogoBox() {
    auto* logoBox = new QGroupBox(QStringLiteral("Customer Logo"), this);
    logoBox->setObjectName("CustomerLogoBox");
    auto* lo = new QGridLayout(logoBox);
    FLogoOff = new QRadioButton(QStringLiteral("OFF"), logoBox);
    FLogoOff->setObjectName("LogoOff");
    FLogoOn = new QRadioButton(QStringLiteral("ON (Sec.)"), logoBox);
    FLogoOn->setObjectName("LogoOn");
    FLogoOff->setChecked(true);
    FLogoSeconds = new QComboBox(logoBox);
    FLogoSeconds->setObjectName("LogoSecondsBox");
    for (int s = 1; s <= 30; ++s)
        FLogoSeconds->addItem(QString::number(s));
    FLogoSeconds->setCurrentIndex(0);
    FLogoSeconds->setEnabled(false);
    lo->addWidget(FLogoOff, 0, 0);
    lo->addWidget(FLogoOn, 1, 0);
    // Read by a screen reader with its unit, through the label beside it.
    auto* secondsRow = new QHBoxLayout;
    secondsRow->addWidget(FLogoSeconds);
    auto* seconds = new QLabel(QStringLiteral("seconds"), logoBox);
    seconds->setBuddy(FLogoSeconds);
    secondsRow->addWidget(seconds);
    lo->addLayout(secondsRow, 1, 1);
    auto* logoCol = new QVBoxLayout;
    logoCol->addWidget(new QLabel(QStringLiteral("Customer logo:  64 x 64"), logoBox));
    FLogo = new TPictureBox(64, 64, logoBox);
    FLogo->setObjectName("LogoImage");
    FLogo->SetStretch(true);
    FLogo->setCursor(Qt::PointingHandCursor);
    FLogo->setToolTip(QStringLiteral("Click to choose the logo bitmap"));
    logoCol->addWidget(FLogo, 0, Qt::AlignLeft);
    lo->addLayout(logoCol, 0, 2, 3, 1);
    lo->setColumnStretch(3, 1);
    return logoBox;
}

QWidget* TMakePage::BuildDeviceBox() {
    auto* devBox = new QGroupBox(QStringLiteral("Device"), this);
    auto* dg = new QGridLayout(devBox);
    dg->addWidget(new QLabel(QStringLiteral("ID Code (4 bytes):"), devBox), 0, 0);
    FIdCode = new QLineEdit(devBox);
    FIdCode->setObjectName("IdCodeEdit");
    FIdCode->setMaximumWidth(90);
    dg->addWidget(FIdCode, 0, 1);
    dg->addWidget(new QLabel(QStringLiteral("LCD BL Power saving:"), devBox), 1, 0);
    FPowerSaving = new QComboBox(devBox);
    FPowerSaving->setObjectName("PowerSavingBox");
    for (int choice : TProject::PowerSavingChoices())
        FPowerSaving->addItem(QString::number(choice));
    dg->addWidget(FPowerSaving, 1, 1);
    dg->addWidget(new QLabel(QStringLiteral("Node Address:"), devBox), 2, 0);
    FNodeAddress = new QComboBox(devBox);
    FNodeAddress->setObjectName("NodeAddressBox");
    for (int a = 0; a < 64; ++a)
        FNodeAddress->addItem(QString::number(a));
    dg->addWidget(FNodeAddress, 2, 1);
    FDateTimeCheck = new QCheckBox(QStringLiteral("Enable Date and Time function"), devBox);
    FDateTimeCheck->setObjectName("DateTimeCheck");
    dg->addWidget(FDateTimeCheck, 3, 0, 1, 2);
    dg->setColumnStretch(2, 1);
    return devBox;
}

QLayout* TMakePage::BuildLogColumn() {
    auto* logCol = new QVBoxLayout;
    logCol->addWidget(new QLabel(QStringLiteral("Message box:"), this));
    FLog = new QPlainTextEdit(this);
    FLog->setObjectName("MessageLog");
    FLog->setReadOnly(true);
    // Long lines (paths, warnings) wrap, so nothing needs scrolling sideways.
    FLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    FLog->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    FLog->setFont(mono);
    FLog->setMinimumWidth(360);
    logCol->addWidget(FLog, 1);
    FMsgOn = new QCheckBox(QStringLiteral("Msg. on"), this);
    FMsgOn->setObjectName("MsgOnCheck");
    logCol->addWidget(FMsgOn);
    return logCol;
}

// ---------------------------------------------------------------- showing

void TMakePage::AppendLog(const QString& Line) {
    FLog->appendPlainText(Line);
    FLog->verticalScrollBar()->setValue(FLog->verticalScrollBar()->maximum());
}

void TMakePage::ClearLog() {
    FLog->clear();
}

QString TMakePage::ComPortDeviceText(unsigned Number) {
    if (Number > TPortName::kComPortCount)
        return QStringLiteral("COM %1 is not supported (COM 1 to COM %2)")
            .arg(Number)
            .arg(TPortName::kComPortCount);
    const std::string dev = TPortName::ComDevice(Number);
    if (dev.empty()) return QStringLiteral("Device: none");
    const QFileInfo info(ToQ(dev));
    if (!info.isSymLink()) return QStringLiteral("Device: ") + ToQ(dev);
    const QString target = info.symLinkTarget();
    return QStringLiteral("Device: ") + target +
           (QFileInfo::exists(target) ? QString() : QStringLiteral(" (not present)"));
}

void TMakePage::ShowComPortDevice() {
    // Numbers that stand for no device are greyed in the list (still choosable:
    // the component gives its own answer).
    const QColor absent = palette().color(QPalette::Disabled, QPalette::Text);
    for (int i = 0; i < FComPort->count(); ++i) {
        const unsigned number = static_cast<unsigned>(i + 1);
        FComPort->setItemData(i, ComPortDeviceText(number), Qt::ToolTipRole);
        const std::string dev = TPortName::ComDevice(number);
        const bool present = !dev.empty() && QFileInfo::exists(ToQ(dev));
        FComPort->setItemData(i, present ? QVariant() : QVariant(absent), Qt::ForegroundRole);
    }
    const unsigned current = SelectedComPort();
    FComDevice->setText(ComPortDeviceText(current));
    const std::string dev = TPortName::ComDevice(current);
    FComDevice->setToolTip(dev.empty()
                               ? QStringLiteral("The device this COM port stands for")
                               : QStringLiteral("COM %1 opens %2").arg(current).arg(ToQ(dev)));
}

unsigned TMakePage::SelectedComPort() const {
    return static_cast<unsigned>(FComPort->currentIndex() + 1);
}

void TMakePage::SelectComPort(unsigned Number) {
    if (Number >= 1 && Number <= static_cast<unsigned>(FComPort->count()))
        FComPort->setCurrentIndex(static_cast<int>(Number) - 1);
}

void TMakePage::ShowLinkControls(bool Connected, bool UploadEnabled, bool SyncEnabled,
                                 bool Transferring) {
    FConnected = Connected;
    // Alt+N in both captions; the '&' only underlines.
    FConnect->setText(Connected ? QStringLiteral("Disco&nnect") : QStringLiteral("Co&nnect"));
    FComPort->setEnabled(!Connected);
    FUpload->setEnabled(UploadEnabled);
    FDateTimeSync->setEnabled(SyncEnabled);
    FCancel->setEnabled(Transferring);
}

bool TMakePage::CancelOffered() const {
    return FCancel->isEnabled();
}

namespace {
void PressIfEnabled(QPushButton* Button) {
    if (Button->isEnabled()) Button->click();
}
} // namespace

void TMakePage::PressMakeRom() {
    PressIfEnabled(FMakeRom);
}

void TMakePage::PressUpload() {
    PressIfEnabled(FUpload);
}

void TMakePage::PressCancel() {
    PressIfEnabled(FCancel);
}

QString TMakePage::RomFileName() const {
    return FRomFileName->text();
}

bool TMakePage::ShowDirectory(const QString& Path) {
    return FBrowser->SetDirectory(Path);
}

void TMakePage::RefreshFiles() {
    FBrowser->Refresh();
}

void TMakePage::ShowMsgPosPictures(const std::array<QImage, 3>& Images) {
    FMsgPos->ShowPictures(Images);
}

// ---------------------------------------------------------------- drops

namespace {
// The local file of a drop with one file whose extension is Suffix (any
// case), "" otherwise.
QString DroppedFile(const QMimeData* Data, const char* Suffix) {
    const QString file = TDropHandler::DroppedFile(Data);
    return TDropHandler::HasSuffix(file, Suffix) ? file : QString();
}
} // namespace

void TMakePage::dragEnterEvent(QDragEnterEvent* Event) {
    if (!DroppedFile(Event->mimeData(), "bin").isEmpty()) Event->acceptProposedAction();
}

void TMakePage::dropEvent(QDropEvent* Event) {
    const QString file = DroppedFile(Event->mimeData(), "bin");
    if (file.isEmpty()) return;
    Event->acceptProposedAction();
    const QString name = QFileInfo(file).fileName();
    FRomFileName->setText(name);
    emit RomFileChosen(name);
}

bool TMakePage::eventFilter(QObject* Watched, QEvent* Event) {
    const bool enter = Event->type() == QEvent::DragEnter;
    if (Watched != FLogo || (!enter && Event->type() != QEvent::Drop))
        return QWidget::eventFilter(Watched, Event);
    auto* drop = static_cast<QDropEvent*>(Event);
    const QString file = DroppedFile(drop->mimeData(), "bmp");
    if (file.isEmpty()) return QWidget::eventFilter(Watched, Event);
    drop->acceptProposedAction();
    if (!enter) emit LogoFileDropped(file);
    return true;
}

void TMakePage::SetProgress(int BlockNo) {
    FProgress->setValue(BlockNo);
}

void TMakePage::ShowSettings(const TProject& Project) {
    FSettings->Show(Project);
    FIdCode->setText(ToQ(Project.CUSIDCODE));
    ShowRomFileName(Project.ROMFILENAME);
}

void TMakePage::ShowRomFileName(const std::string& Name) {
    FRomFileName->setText(ToQ(Name));
}

void TMakePage::ShowLogoChoice(bool On) {
    (On ? FLogoOn : FLogoOff)->setChecked(true);
    FLogoSeconds->setEnabled(On);
}

void TMakePage::ShowLogoFile(const std::string& File) {
    if (!FLogo->LoadFromFile(ToQ(File))) FLogo->ClearPicture();
}

void TMakePage::ShowLogo(bool On, const std::string& File) {
    ShowLogoChoice(On);
    ShowLogoFile(File);
}
