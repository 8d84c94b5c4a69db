#include "app/tlinkcontrols.h"

#include "app/guarded.h"
#include "app/tmakepage.h"
#include "link/linksession.h"
#include "serial/tcustomuart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

TLinkControls::TLinkControls(DpuLink::TLinkSession& Session, TMakePage* Make,
                             const DpuProject::TConfiguration& Config, YVclUtil::Prompts& Ask,
                             QObject* Parent)
    : QObject(Parent), FSession(Session), FMake(Make), FConfig(Config), FAsk(Ask) {
    DpuLink::TDeviceLink& link = FSession.Link();
    link.OnControlsChanged = [this] { Update(); };
    link.OnProgress = [this](unsigned BlockNo) { FMake->SetProgress(static_cast<int>(BlockNo)); };
    connect(FMake->ConnectButton(), &QPushButton::clicked, this,
            Guarded(FAsk, [this] { OnConnect(); }));
    connect(FMake->BaudBox(), &QComboBox::activated, this, [this] {
        FSession.Link().BaudListChanged(FMake->BaudBox()->currentText().toStdString());
    });
    connect(FMake->UploadButton(), &QPushButton::clicked, this,
            Guarded(FAsk, [this] { OnUpload(); }));
    connect(FMake->DateTimeSyncButton(), &QPushButton::clicked, this,
            Guarded(FAsk, [this] { OnDateTimeSync(); }));
    connect(FMake->MsgOnCheck(), &QCheckBox::toggled, this,
            [this](bool On) { FSession.Link().SetMsgOn(On); });
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
    // Date-Time Sync. waits while an image is on its way.
    FMake->ShowLinkControls(link.Connected(), link.UploadEnabled(),
                            link.SyncEnabled() &&
                                link.LinkState() != DpuLink::TLinkState::RomUpload);
    if (!transferring) FMake->SetProgress(0);
}

void TLinkControls::OnConnect() {
    DpuLink::TDeviceLink& link = FSession.Link();
    if (!link.Connected()) {
        FMake->ShowComPortDevice();
        link.Connect(FMake->SelectedComPort());
        // A number the component refused leaves it on the port it had: show that one.
        FMake->SelectComPort(FSession.Uart().pr_UartPortNumber());
    } else {
        link.Disconnect();
    }
    Update();
}

void TLinkControls::OnUpload() {
    FMake->SetProgress(0);
    FSession.Link().UploadRomImageAction(FConfig.ENCODE, FAsk);
    Update();
}

void TLinkControls::OnDateTimeSync() {
    FMake->SetProgress(0);
    FSession.Link().StartDateTimeSync();
    Update();
}
