#include "app/tform1.h"

#include "app/qtext.h"
#include "app/taboutdialog.h"
#include "app/tchoicebox.h"
#include "app/tfilebrowser.h"
#include "app/tpicturebox.h"
#include "app/tqtprompts.h"
#include "fieldbus/tpcuart.h"
#include "link/linksession.h"
#include "project/tlabelpreview.h"
#include "project/tstartup.h"
#include "rom/tmakerom.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

#include <type_traits>
#include <utility>

constexpr const char* PictureFilter = "Bitmap files (*.bmp)|*.bmp;*.BMP";

TForm1::TForm1(YVclUtil::Prompts* Prompts, QWidget* Parent) : QMainWindow(Parent) {
    if (Prompts) {
        FPrompts = Prompts;
    } else {
        FOwnPrompts = std::make_unique<TQtPrompts>(this);
        FPrompts = FOwnPrompts.get();
    }
    setObjectName("Form1");
    setWindowTitle(QString::fromLatin1(DesignCaption));

    FConfig.SetDirectoriesFromProcess();
    FProgramDir = ToQ(FConfig.ProgramDir);
    FStartupDir = ToQ(FConfig.StartupDir);
    FProjectFile = std::make_unique<TProjectFile>(FProject, FConfig, FLibrary, *FPrompts, *this);

    // PcUart1 is the window's component (a child, as placed on the form); the
    // session owns it and wires the link to it.
    FSession = std::make_unique<DpuLink::TLinkSession>(*this, 10000, std::make_unique<OrvCtrl::TPcUart>(this));
    Link().OnControlsChanged = [this] { UpdateLinkControls(); };
    Link().OnProgress = [this](unsigned BlockNo) { FMake->SetProgress(static_cast<int>(BlockNo)); };

    FTabs = new QTabWidget(this);
    FTabs->setObjectName("PageControl");
    FSetup = new TSetupPage(FTabs);
    FMake = new TMakePage(FPrompts, FTabs);
    FTabs->addTab(FSetup, QStringLiteral("Setup"));
    FTabs->addTab(FMake, QStringLiteral("Make"));
    setCentralWidget(FTabs);

    BuildStatusBar();
    StartUp();
    ConnectSetupPage();
    ConnectMakePage();
    TAboutDialog::Attach(*this, FConfig);
}

TForm1::~TForm1() {
    // The link goes first, in the session's order (port closed, handlers
    // detached, then destroyed), while the window it reports to is whole.
    FSession.reset();
    FLibrary.Release();
}

YVclUtil::Prompts& TForm1::Ask() { return *FPrompts; }

DpuLink::TDeviceLink& TForm1::Link() { return FSession->Link(); }

void TForm1::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(true);
    const int widths[4] = {400, 160, 230, 90};
    for (int i = 0; i < 4; ++i) {
        FStatus[i] = new QLabel(bar);
        FStatus[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        FStatus[i]->setMinimumWidth(widths[i]);
        FStatus[i]->setFrameShape(QFrame::StyledPanel);
        FStatus[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(FStatus[i], i == 0 ? 1 : 0);
    }
    FStatus[3]->setText(QStringLiteral("Orvane Tech."));
}

// ---------------------------------------------------------------- sinks

void TForm1::AppendLog(const std::string& Line) { FMake->AppendLog(ToQ(Line)); }

void TForm1::ClearLog() { FMake->ClearLog(); }

void TForm1::SetStatus(int Panel, const std::string& Text) {
    if (Panel >= 0 && Panel < 4)
        FStatus[Panel]->setText(ToQ(Text));
}

QString TForm1::StatusText(int Panel) const {
    return Panel >= 0 && Panel < 4 ? FStatus[Panel]->text() : QString();
}

QString TForm1::Cell(int Col, int Row) const { return FSetup->Cell(Col, Row); }

void TForm1::SetCell(int Col, int Row, const QString& Text) { FSetup->SetCell(Col, Row, Text); }

void TForm1::changeEvent(QEvent* Event) {
    if (Event->type() == QEvent::ActivationChange && isActiveWindow() && FMake)
        FMake->ShowComPortDevice();
    QMainWindow::changeEvent(Event);
}

void TForm1::closeEvent(QCloseEvent* Event) {
    // Closing while connected or uploading ends the transfer and releases the port.
    if (FSession)
        FSession->ReleasePort();
    Event->accept();
}

// ---------------------------------------------------------------- start-up

void TForm1::StartUp() {
    // The start-up directory is where the "Make" tab's browser starts.
    FMake->Browser()->SetDirectory(FStartupDir);
    FMake->ShowLinkControls(false, false, false);
    SetStatus(3, TStartup::MakerStatus);

    const TStartupResult result = TStartup::Run(FConfig, FLibrary, FProject, Ask(), *this);
    FStartupCompleted = result.Completed;
    setWindowTitle(ToQ(result.Caption));
    FSetup->ShowVersionList(FConfig);
    FSetup->ShowBitPatterns(FConfig);
    if (result.Completed) {
        FSetup->FlStyleBox()->ShowPictures(result.FlStylePreviews);
        FSetup->DirStyleBox()->ShowPictures(result.DirStylePreviews);
        FMake->MsgPosBox()->ShowPictures(result.MsgPosPreviews);
        FSetup->ShowAllSlots(FProject);
    }
    // The position choice shows the record's value, so a project saved
    // without touching it stores what the window showed.
    FMake->MsgPosBox()->Check(FProject.DEF_MSGPOS);
    FMake->ShowLogoFile(FConfig.BlankLogoPath());
    FMake->ShowComPortDevice();
}

// ---------------------------------------------------------------- bindings

namespace {
// Wraps an action so an exception from the core ends that action with a
// message box and the window goes on. Fn takes the signal's arguments or none.
template <typename Fn>
auto Guarded(YVclUtil::Prompts& Ask, Fn Action) {
    return [&Ask, Action](auto&&... Args) -> void {
        try {
            if constexpr (std::is_invocable_v<Fn, decltype(Args)...>)
                Action(std::forward<decltype(Args)>(Args)...);
            else
                Action();
        } catch (const std::exception& e) {
            Ask.SetBusyCursor(false);
            Ask.MessageBox("Error", std::string(e.what()) + "\n\n");
        }
    };
}
} // namespace

void TForm1::ConnectSetupPage() {
    QTableWidget* grid = FSetup->Grid();
    connect(grid, &QTableWidget::currentCellChanged, this,
            Guarded(Ask(), [this](int Row, int Col, int, int) { OnCellSelected(Row, Col); }));
    // A click selects the cell again even when it is already the current one
    // (after editing it, say), and shows its preview as any selection does.
    connect(grid, &QTableWidget::cellPressed, this,
            Guarded(Ask(), [this](int Row, int Col) { OnCellSelected(Row, Col); }));
    connect(grid, &QTableWidget::cellChanged, this,
            Guarded(Ask(), [this](int Row, int Col) { OnCellEdited(Row, Col); }));

    // Radio groups report only the person's clicks; the record is shown with setChecked.
    auto bindChoice = [this](QButtonGroup* Group, int TProject::*Field) {
        connect(Group, &QButtonGroup::idClicked, this, [this, Field](int Id) {
            if (!FShowing)
                FProject.*Field = Id;
        });
    };
    bindChoice(FSetup->CtblGroup(), &TProject::DEF_CTBL);
    bindChoice(FSetup->FlStyleBox()->Group(), &TProject::DEF_FL);
    bindChoice(FSetup->DirStyleBox()->Group(), &TProject::DEF_DIR);
    bindChoice(FMake->MsgPosBox()->Group(), &TProject::DEF_MSGPOS);
    connect(FSetup->RightButton(), &QRadioButton::clicked, this, [this] { FProject.DPSTYLE = 1; });
    connect(FSetup->LeftButton(), &QRadioButton::clicked, this, [this] { FProject.DPSTYLE = 2; });
    for (int k = 0; k < 4; ++k)
        connect(FSetup->MsgCheck(k), &QCheckBox::toggled, this, [this, k](bool On) {
            if (!FShowing)
                FProject.MsgColumnChecked[k] = On;
        });
    connect(FSetup->VersionBox(), &QComboBox::activated, this,
            Guarded(Ask(), [this](int Index) { OnVersionChosen(Index); }));
    for (int s = 0; s < 10; ++s)
        for (int k = 0; k < 4; ++k)
            connect(FSetup->MsgImage(s, k), &TPictureBox::DoubleClicked, this,
                    Guarded(Ask(), [this, s, k] { OnMessagePictureDoubleClicked(s, k); }));
    connect(FSetup->ClearAllButton(), &QPushButton::clicked, this, Guarded(Ask(), [this] { OnClearAll(); }));
    connect(FSetup->LoadButton(), &QPushButton::clicked, this,
            Guarded(Ask(), [this] { ShowLoaded(FProjectFile->Load()); }));
    connect(FSetup->SaveButton(), &QPushButton::clicked, this, Guarded(Ask(), [this] { OnSave(); }));
}

void TForm1::ConnectMakePage() {
    auto bindIndex = [this](QComboBox* Box, int TProject::*Field) {
        connect(Box, &QComboBox::activated, this, [this, Field](int Index) { FProject.*Field = Index; });
    };
    connect(FMake->RomFileNameEdit(), &QLineEdit::textEdited, this,
            [this](const QString& Text) { FProject.ROMFILENAME = FromQ(Text); });
    connect(FMake->Browser(), &TFileBrowser::FileClicked, this, [this](const QString& Name) {
        FMake->RomFileNameEdit()->setText(Name);
        FProject.ROMFILENAME = FromQ(Name);
    });
    connect(FMake->MakeRomButton(), &QPushButton::clicked, this, Guarded(Ask(), [this] { OnMakeRom(); }));
    // A port link made while the window is open shows when the person comes back to it.
    connect(FTabs, &QTabWidget::currentChanged, this, [this] { FMake->ShowComPortDevice(); });
    connect(FMake->ConnectButton(), &QPushButton::clicked, this, Guarded(Ask(), [this] { OnConnect(); }));
    connect(FMake->BaudBox(), &QComboBox::activated, this,
            [this] { Link().BaudListChanged(FMake->BaudBox()->currentText().toStdString()); });
    connect(FMake->UploadButton(), &QPushButton::clicked, this, Guarded(Ask(), [this] { OnUpload(); }));
    connect(FMake->DateTimeSyncButton(), &QPushButton::clicked, this,
            Guarded(Ask(), [this] { OnDateTimeSync(); }));
    connect(FMake->MsgOnCheck(), &QCheckBox::toggled, this, [this](bool On) { Link().SetMsgOn(On); });

    connect(FMake->LogoOnButton(), &QRadioButton::clicked, this, Guarded(Ask(), [this] { OnLogoOn(); }));
    connect(FMake->LogoOffButton(), &QRadioButton::clicked, this, Guarded(Ask(), [this] { OnLogoOff(); }));
    connect(FMake->Logo(), &TPictureBox::Clicked, this, Guarded(Ask(), [this] { ChooseLogo(); }));
    bindIndex(FMake->LogoSecondsBox(), &TProject::SWAPTIME);
    bindIndex(FMake->PowerSavingBox(), &TProject::PWRSAVING);
    bindIndex(FMake->NodeAddressBox(), &TProject::NODEADDR);
    connect(FMake->IdCodeEdit(), &QLineEdit::textEdited, this,
            [this](const QString& Text) { FProject.CUSIDCODE = FromQ(Text); });
    connect(FMake->DateTimeCheck(), &QCheckBox::toggled, this, [this](bool On) {
        if (!FShowing)
            FProject.DISPDT = On ? 1 : 0;
    });
}

// ---------------------------------------------------------------- showing the record

void TForm1::ShowProject() {
    FShowing = true;
    ShowLabels();
    FSetup->ShowChoices(FProject);
    FMake->ShowSettings(FProject);
    const bool logoOn = FProject.CUSLOGOENABLE != 0;
    FMake->ShowLogo(logoOn, logoOn ? FProject.TITLEFILENAME_C : FConfig.BlankLogoPath());
    FSetup->ShowVersionList(FConfig);
    FSetup->ShowBitPatterns(FConfig);
    FSetup->ShowAllSlots(FProject);
    FShowing = false;
}

void TForm1::ShowLabels() {
    const bool wasShowing = std::exchange(FShowing, true);
    FSetup->ShowLabels(FProject);
    FShowing = wasShowing;
}


// ---------------------------------------------------------------- "Setup" actions

void TForm1::OnCellSelected(int Row, int Col) {
    if (Row < 0 || Col < 2)
        return;
    const std::string text = FromQ(Cell(Col, Row + 1));
    if (TLabelPreview::Render(text, FProject.DEF_FL, FConfig.UserFloorStylePrefix(), FLibrary,
                              FPreviewImage))
        FSetup->ShowPreview(FPreviewImage);
}

void TForm1::OnCellEdited(int Row, int Col) {
    if (FShowing || Col < 2 || Row < 0 || Row >= TProject::CodeCount)
        return;
    FProject.SetLabel(Col - 2, Row, FromQ(Cell(Col, Row + 1)));
}

void TForm1::OnVersionChosen(int Index) {
    FConfig.SelectVersion(Index, this);
    FSetup->ShowBitPatterns(FConfig);
}

void TForm1::OnMessagePictureDoubleClicked(int State, int Column) {
    std::string file;
    if (!Ask().OpenPictureDialog(PictureFilter, file))
        return;
    FProject.SetSlot(State, TSetupPage::ColumnSlot(Column), file);
    // Only the double-clicked picture changes; the row's name picture waits
    // for the next full display.
    FSetup->ShowSlotPicture(State, Column, file);
}

bool TForm1::ChooseLogo() {
    std::string file;
    if (!Ask().OpenPictureDialog(PictureFilter, file))
        return false;
    FProject.TITLEFILENAME_C = file;
    FMake->ShowLogoFile(file);
    return true;
}

void TForm1::OnLogoOn() {
    if (FProject.SetLogoOn())
        ChooseLogo();
    FMake->ShowLogoChoice(true);
}

void TForm1::OnLogoOff() {
    FProject.SetLogoOff();
    FMake->ShowLogo(false, FConfig.BlankLogoPath());
}

void TForm1::OnClearAll() {
    FProjectFile->ClearAll();
    ShowLabels();
}

bool TForm1::LoadProjectFile(const std::string& Path) {
    return ShowLoaded(FProjectFile->LoadFrom(Path)) == TProjectFile::TLoadResult::Loaded;
}

TProjectFile::TLoadResult TForm1::ShowLoaded(TProjectFile::TLoadResult Result) {
    if (Result == TProjectFile::TLoadResult::Loaded || Result == TProjectFile::TLoadResult::ConversionError) {
        // Showing the project reads its 40 lift-state bitmaps: still part of the load.
        Ask().SetBusyCursor(true);
        ShowProject();
        FMake->Browser()->Refresh();
        Ask().SetBusyCursor(false);
    }
    return Result;
}

void TForm1::OnSave() {
    FProjectFile->Save();
    // Save writes the ROM file name as the field must show it now.
    FMake->ShowRomFileName(FProject.ROMFILENAME);
}

void TForm1::SelectFirstLabel() { FSetup->SelectFirstLabel(FProject); }

// ---------------------------------------------------------------- "Make" actions

void TForm1::OnMakeRom() {
    TMakeRom command(FProject, FConfig, FLibrary, Ask(), this);
    command.SaveStep = [this] {
        const bool saved = FProjectFile->Save();
        FMake->ShowRomFileName(FProject.ROMFILENAME);
        return saved;
    };
    const bool built = command.Run();
    // The build's own log lines only report trouble; say where the image went.
    if (built)
        AppendLog("===> ROM image written: " + FromQ(QFileInfo(ToQ(command.RomFilePath)).absoluteFilePath()) +
                  " <===");
    // Labels whose user bitmap was missing were emptied by the build.
    const bool wasShowing = std::exchange(FShowing, true);
    for (const auto& [table, code] : command.CancelledCells)
        SetCell(2 + table, code + 1, QString());
    FShowing = wasShowing;
    FMake->ShowRomFileName(FProject.ROMFILENAME);
    // The new image shows in the file list.
    FMake->Browser()->Refresh();
}

void TForm1::UpdateLinkControls() {
    FMake->ShowLinkControls(Link().Connected(), Link().UploadEnabled(), Link().SyncEnabled());
}

void TForm1::OnConnect() {
    if (!Link().Connected()) {
        FMake->ShowComPortDevice();
        Link().Connect(FMake->SelectedComPort());
    } else {
        Link().Disconnect();
    }
    UpdateLinkControls();
}

void TForm1::OnUpload() {
    if (Link().UploadRomImageAction(FConfig.ENCODE, Ask()))
        FMake->SetProgress(0);
    UpdateLinkControls();
}

void TForm1::OnDateTimeSync() {
    Link().StartDateTimeSync();
    UpdateLinkControls();
}
