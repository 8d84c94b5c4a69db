#include "app/tform1.h"

#include "app/guarded.h"
#include "app/qtext.h"
#include "app/taboutdialog.h"
#include "app/tbeforesuccessbox.h"
#include "app/tdrophandler.h"
#include "app/thelpdialog.h"
#include "app/tlabelchecker.h"
#include "app/tlinkcontrols.h"
#include "app/tpagescroller.h"
#include "app/tprojectedits.h"
#include "app/tprojectsession.h"
#include "app/tqtpicture.h"
#include "app/tqtprompts.h"
#include "app/tromimageview.h"
#include "app/tstatuspanels.h"
#include "app/twindowplacement.h"
#include "app/twindowshortcuts.h"
#include "fieldbus/tpcuart.h"
#include "link/devicelink.h"
#include "link/linksession.h"
#include "project/tstartup.h"
#include "rom/tmakerom.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QUndoStack>

#include <algorithm>
#include <string>
#include <utility>

using DpuProject::TProject;
using DpuProject::TProjectFile;
using DpuProject::TStartup;
using DpuProject::TStartupResult;
using DpuRom::TMakeRom;

TForm1::TForm1(YVclUtil::Prompts* Prompts, QWidget* Parent) : QMainWindow(Parent) {
    if (Prompts) {
        FPrompts = Prompts;
    } else {
        FOwnPrompts = std::make_unique<TQtPrompts>(this);
        FPrompts = FOwnPrompts.get();
    }
    setObjectName("Form1");
    setWindowTitle(QString::fromLatin1(TStartup::DesignCaption));

    FRemember = std::make_unique<TRememberingPrompts>(*FPrompts);
    FProjSession = new TProjectSession(*this, *FPrompts, *FRemember, *this, [this] { OnSave(); });

    FConfig.SetDirectoriesFromProcess();
    FProgramDir = ToQ(FConfig.ProgramDir);
    FStartupDir = ToQ(FConfig.StartupDir);
    FProjectFile = std::make_unique<TProjectFile>(FProject, FConfig, FLibrary, *FRemember, *this);

    // PcUart1 is the window's component (a child, as placed on the form); the
    // session owns it and wires the link to it.
    FSession = std::make_unique<DpuLink::TLinkSession>(*this, 10000,
                                                       std::make_unique<OrvCtrl::TPcUart>(this));

    FTabs = new QTabWidget(this);
    FTabs->setObjectName("PageControl");
    FTabs->setAccessibleName(QStringLiteral("Pages"));
    // The tabs take the focus; the frame around the pages is no control of its own.
    FTabs->setFocusPolicy(Qt::NoFocus);
    FSetup = new TSetupPage(FTabs);
    FMake = new TMakePage(FPrompts, FTabs);
    // Below the pages' own size the window scrolls them instead of
    // squeezing controls over each other.
    auto* setupScroll = new TPageScroller(FSetup, FTabs);
    auto* makeScroll = new TPageScroller(FMake, FTabs);
    setupScroll->setAccessibleName(QStringLiteral("Setup page"));
    makeScroll->setAccessibleName(QStringLiteral("Make page"));
    FTabs->addTab(setupScroll, QStringLiteral("Setup"));
    FTabs->addTab(makeScroll, QStringLiteral("Make"));
    setCentralWidget(FTabs);

    FStatus = std::make_unique<TStatusPanels>(
        statusBar(), StatusPanelWidths, QString::fromLatin1(TStartup::MakerStatus),
        [this](QStatusBar* Bar) { FProjSession->AddIndicator(Bar); });
    FChecker = std::make_unique<TLabelChecker>(FProject, FConfig, FLibrary, FSetup);
    FEdits = std::make_unique<TProjectEdits>(TProjectEdits::TParts{
        FProject, FConfig, FLibrary, *FProjectFile, FSetup, FMake, *FProjSession, *FChecker, Ask(),
        *this, [this] { return FromQ(StatusText(0)); }, [this] { return LastFile("bmp"); }});
    FLinkControls = new TLinkControls(*FSession, FMake, FConfig, Ask(), this);
    StartUp();
    ConnectSetupPage();
    ConnectMakePage();
    TAboutDialog::Attach(*this, FConfig);
    TWindowShortcuts::Attach(
        *this, Ask(), FTabs, FSetup, FMake, FProjSession->UndoStack(), [this] { ShowHelp(); },
        [this] { OnSaveInPlace(); });
    setAcceptDrops(true);
    // A saved place and size, when there is one, wins over the first one.
    new TWindowPlacement(this, DesignMinimumSize,
                         OpenSettings()->contains(QStringLiteral("WindowGeometry")));
    FProjSession->LoadSettings();
    FChecker->CheckAll();
}

TForm1::~TForm1() {
    // Child widgets and the undo stack still signal while QWidget deletes
    // them, after this object's members are gone: nothing reaches it now.
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
    delete FProjSession;
    FProjSession = nullptr;
    // The link controls answer the Make page with the session: both go
    // before the session.
    delete FLinkControls;
    FLinkControls = nullptr;
    // The link goes first, in the session's order (port closed, handlers
    // detached, then destroyed), while the window it reports to is whole.
    FSession.reset();
    FLibrary.Release();
}

YVclUtil::Prompts& TForm1::Ask() {
    return *FRemember;
}

DpuLink::TDeviceLink& TForm1::Link() {
    return FSession->Link();
}

THelpDialog* TForm1::ShowHelp() {
    if (!FHelp) FHelp = new THelpDialog(FConfig, this);
    FHelp->show();
    FHelp->raise();
    FHelp->activateWindow();
    return FHelp;
}

bool TForm1::HasUnsavedChanges() const {
    return FProjSession->HasUnsavedChanges();
}

QUndoStack* TForm1::UndoStack() const {
    return FProjSession->UndoStack();
}

QStringList TForm1::RecentProjects() const {
    return FProjSession->RecentProjects();
}

std::unique_ptr<QSettings> TForm1::OpenSettings() {
    return TProjectSession::OpenSettings();
}

// ---------------------------------------------------------------- sinks

void TForm1::AppendLog(const std::string& Line) {
    FMake->AppendLog(ToQ(Line));
}

void TForm1::ClearLog() {
    FMake->ClearLog();
}

void TForm1::SetStatus(int Panel, const std::string& Text) {
    FStatus->SetText(Panel, ToQ(Text));
}

void TForm1::ShowNote(const QString& Text) {
    FStatus->ShowNote(Text);
}

QString TForm1::StatusText(int Panel) const {
    return FStatus->Text(Panel);
}

QString TForm1::Cell(int Col, int Row) const {
    return FSetup->Cell(Col, Row);
}

void TForm1::SetCell(int Col, int Row, const QString& Text) {
    FSetup->SetCell(Col, Row, Text);
}

void TForm1::changeEvent(QEvent* Event) {
    if (Event->type() == QEvent::ActivationChange && isActiveWindow() && FMake)
        FMake->ShowComPortDevice();
    QMainWindow::changeEvent(Event);
}

void TForm1::closeEvent(QCloseEvent* Event) {
    if (!FProjSession->ConfirmUnsaved()) {
        Event->ignore();
        return;
    }
    FProjSession->SaveSettings();
    // Closing while connected or uploading ends the transfer and releases the port.
    if (FSession) FSession->ReleasePort();
    Event->accept();
}

void TForm1::dragEnterEvent(QDragEnterEvent* Event) {
    if (TDropHandler::HasSuffix(TDropHandler::DroppedFile(Event->mimeData()), "dcf"))
        Event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* Event) {
    const QString file = TDropHandler::DroppedFile(Event->mimeData());
    if (!TDropHandler::HasSuffix(file, "dcf")) return;
    Event->acceptProposedAction();
    Guarded(Ask(), [this, file] { OpenProjectFile(FromQ(file)); })();
}

// ---------------------------------------------------------------- start-up

void TForm1::StartUp() {
    // The start-up directory is where the "Make" tab's browser starts.
    FMake->ShowDirectory(FStartupDir);
    FMake->ShowLinkControls(false, false, false);
    SetStatus(3, TStartup::MakerStatus);

    const TStartupResult result = TStartup::Run(FConfig, FLibrary, FProject, Ask(), *this);
    FStartupCompleted = result.Completed;
    setWindowTitle(ToQ(result.Caption));
    FSetup->ShowVersionList(FConfig);
    FSetup->ShowBitPatterns(FConfig);
    if (result.Completed) {
        FSetup->ShowStylePictures(TQtPicture::Images(result.FlStylePreviews),
                                  TQtPicture::Images(result.DirStylePreviews));
        FMake->ShowMsgPosPictures(TQtPicture::Images(result.MsgPosPreviews));
        FSetup->ShowAllSlots(FProject);
    }
    // The settings show the record's values (the message position among
    // them), so a project saved without touching them stores what the window showed.
    FMake->ShowSettings(FProject);
    FMake->ShowLogoFile(FConfig.BlankLogoPath());
    FMake->ShowComPortDevice();
}

// ---------------------------------------------------------------- bindings

void TForm1::ConnectSetupPage() {
    FEdits->Bind(this);
    // Any step done or taken back makes the last note stale; Clear ALL, just
    // recorded, says how to take it back.
    connect(FProjSession->UndoStack(), &QUndoStack::indexChanged, this,
            [this] { ShowNote(QString()); });
    connect(FSetup, &TSetupPage::ClearAllRequested, this, [this] {
        ShowNote(QStringLiteral("Clear ALL emptied the code tables: Ctrl+Z brings them back"));
    });
    connect(FSetup, &TSetupPage::LoadRequested, this, Guarded(Ask(), [this] {
                if (FProjSession->ConfirmUnsaved()) ShowLoaded(FProjectFile->Load());
            }));
    connect(FSetup, &TSetupPage::RecentMenuOpening, this, [this](QMenu* Menu) {
        FProjSession->FillRecentMenu(Menu,
                                     [this](const std::string& Path) { OpenProjectFile(Path); });
    });
    connect(FSetup, &TSetupPage::SaveRequested, this, Guarded(Ask(), [this] { OnSave(); }));
}

void TForm1::ConnectMakePage() {
    // The record's edits (ROM file name, ID code, logo, settings, dropped
    // pictures) are bound by TProjectEdits, the link's by TLinkControls; the
    // rest is here.
    connect(FMake, &TMakePage::MakeRomRequested, this, Guarded(Ask(), [this] { OnMakeRom(); }));
    connect(FMake, &TMakePage::RomImageViewRequested, this, [this] {
        TRomImageView(TProject::RomFileNameToSave(FromQ(FMake->RomFileName())), FConfig, FLibrary,
                      Ask(), this)
            .exec();
    });
    // A port link made while the window is open shows when the person comes back to it.
    connect(FTabs, &QTabWidget::currentChanged, this, [this] { FMake->ShowComPortDevice(); });
}

// ---------------------------------------------------------------- showing the record

void TForm1::ShowProject() {
    FEdits->ShowLabels();
    FSetup->ShowChoices(FProject);
    FMake->ShowSettings(FProject);
    const bool logoOn = FProject.CUSLOGOENABLE != 0;
    FMake->ShowLogo(logoOn, logoOn ? FProject.TITLEFILENAME_C : FConfig.BlankLogoPath());
    FSetup->ShowVersionList(FConfig);
    FSetup->ShowBitPatterns(FConfig);
    FSetup->ShowAllSlots(FProject);
    FChecker->CheckAll();
}

bool TForm1::LoadProjectFile(const std::string& Path) {
    return ShowLoaded(FProjectFile->LoadFrom(Path)) == TProjectFile::TLoadResult::Loaded;
}

bool TForm1::OpenProjectFile(const std::string& Path) {
    return FProjSession->ConfirmUnsaved() && LoadProjectFile(Path);
}

void TForm1::OpenFiles(const QStringList& Files) {
    bool projectNamed = false;
    for (const QString& file : Files) {
        const std::string path = FromQ(QFileInfo(file).absoluteFilePath());
        if (TDropHandler::HasSuffix(file, "dcf")) {
            if (std::exchange(projectNamed, true)) {
                AppendLog("[Warning] One project at a time: " + path + " not opened");
                continue;
            }
            if (!QFileInfo::exists(ToQ(path))) {
                // Named, as the recent projects say it, and kept in the log.
                AppendLog("[Error] Project file not found: " + path);
                Ask().MessageBox("File error", "Project file not found!!\n\n" + path + "\n\n");
                continue;
            }
            Guarded(Ask(), [this, path] { OpenProjectFile(path); })();
        } else if (TDropHandler::HasSuffix(file, "bin")) {
            // Not modal: the window stays usable beside the image.
            auto* view = new TRomImageView(path, FConfig, FLibrary, Ask(), this);
            view->setAttribute(Qt::WA_DeleteOnClose);
            view->show();
        } else {
            Ask().MessageBox("File error",
                             "Can not open " + path +
                                 ": not a project file (.dcf) or ROM image (.BIN)!!\n\n");
        }
    }
}

TProjectFile::TLoadResult TForm1::ShowLoaded(TProjectFile::TLoadResult Result) {
    if (Result == TProjectFile::TLoadResult::Loaded ||
        Result == TProjectFile::TLoadResult::ConversionError) {
        // Showing the project reads its 40 lift-state bitmaps: still part of the load.
        Ask().SetBusyCursor(true);
        ShowProject();
        FMake->RefreshFiles();
        // Another project: the history of the last one no longer applies.
        FProjSession->UndoStack()->clear();
        FProjSession->MarkSaved();
        FProjSession->NoteProjectFile(FProjectFile->LastPath);
        Ask().SetBusyCursor(false);
    }
    return Result;
}

bool TForm1::SaveProject(TProjectSession::TSaveMode Mode) {
    const bool saved = FProjSession->SaveProject(*FProjectFile, FProject, FConfig, Mode);
    // Save writes the ROM file name as the field must show it now.
    FMake->ShowRomFileName(FProject.ROMFILENAME);
    return saved;
}

void TForm1::OnSave() {
    SaveProject(TProjectSession::TSaveMode::AskForFile);
}

void TForm1::OnSaveInPlace() {
    SaveProject(TProjectSession::TSaveMode::InPlace);
}

void TForm1::SelectFirstLabel() {
    FSetup->SelectFirstLabel(FProject);
}

// ---------------------------------------------------------------- "Make" actions

void TForm1::OnMakeRom() {
    TMakeRom* running = nullptr;
    // Said before the success box, so the log and the status bar tell the
    // whole result while it is up.
    auto reportCancelled = [this, &running] {
        const size_t n = running->CancelledCells.size();
        if (n == 0) return;
        const std::string count = std::to_string(n) + (n == 1 ? " label" : " labels");
        AppendLog("[Warning] " + count +
                  " emptied: user bitmap not found (Ctrl+Z brings them back)");
        ShowNote(ToQ("MAKE ROM emptied " + count + ": Ctrl+Z brings them back"));
    };
    TBeforeSuccessBox ask(
        Ask(), [&running] { return running && !running->RomFilePath.empty(); },
        [this, &running, reportCancelled] {
            const std::string image =
                FromQ(QFileInfo(ToQ(running->RomFilePath)).absoluteFilePath());
            // The build's own log lines only report trouble; say where the image went.
            AppendLog("===> ROM image written: " + image + " <===");
            reportCancelled();
        });
    TMakeRom command(FProject, FConfig, FLibrary, ask, this);
    running = &command;
    command.SaveStep = [this, &command] {
        const bool saved = SaveProject(TProjectSession::TSaveMode::AskForFile);
        command.ProjectPath = FProjectFile->LastPath; // the image never replaces it
        return saved;
    };
    const auto labelsBefore = FProject.CodeTables;
    ShowNote(QString());
    const bool built = command.Run();
    if (!ask.Done()) reportCancelled();
    if (built) {
        const std::string image = FromQ(QFileInfo(ToQ(command.RomFilePath)).absoluteFilePath());
        // The upload offers the image just built; the ROM image window's
        // dialog starts there too.
        FLinkControls->NoteBuiltImage(image);
        FRemember->Remember("bin", image);
        FProjSession->SaveSettings();
    }
    // Labels whose user bitmap was missing were emptied by the build: one
    // undo step (recording it clears the note, which still holds).
    const QString note = FStatus->Note();
    FEdits->RecordMakeRomCancel(command.CancelledCells, labelsBefore);
    ShowNote(note);
    FMake->ShowRomFileName(FProject.ROMFILENAME);
    // The new image shows in the file list.
    FMake->RefreshFiles();
}
