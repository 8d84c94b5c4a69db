#include "app/tform1.h"

#include "app/qtext.h"
#include "app/taboutdialog.h"
#include "app/tchoicebox.h"
#include "app/teditcommand.h"
#include "app/tfilebrowser.h"
#include "app/thelpdialog.h"
#include "app/tpicturebox.h"
#include "app/tqtprompts.h"
#include "app/tromimageview.h"
#include "app/tsavequestion.h"
#include "fieldbus/tpcuart.h"
#include "link/linksession.h"
#include "project/dputext.h"
#include "project/tlabelpreview.h"
#include "project/tstartup.h"
#include "rom/tmakerom.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QUndoStack>

#include <type_traits>
#include <utility>

namespace DpuText = DpuProject::DpuText;

using DpuProject::TLabelPreview;
using DpuProject::TProject;
using DpuProject::TProjectFile;
using DpuProject::TStartup;
using DpuProject::TStartupResult;
using DpuRom::TMakeRom;

constexpr const char* PictureFilter = "Bitmap files (*.bmp)|*.bmp;*.BMP";

namespace {
// Wraps an action so an exception from the core ends that action with a
// message box and the window goes on. Fn takes the signal's arguments or none.
template <typename Fn> auto Guarded(YVclUtil::Prompts& Ask, Fn Action) {
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
    FUndo = new QUndoStack(this);
    connect(FUndo, &QUndoStack::cleanChanged, this, [this] { UpdateModified(); });

    FConfig.SetDirectoriesFromProcess();
    FProgramDir = ToQ(FConfig.ProgramDir);
    FStartupDir = ToQ(FConfig.StartupDir);
    FProjectFile = std::make_unique<TProjectFile>(FProject, FConfig, FLibrary, *FRemember, *this);

    // PcUart1 is the window's component (a child, as placed on the form); the
    // session owns it and wires the link to it.
    FSession = std::make_unique<DpuLink::TLinkSession>(*this, 10000,
                                                       std::make_unique<OrvCtrl::TPcUart>(this));
    Link().OnControlsChanged = [this] { UpdateLinkControls(); };
    Link().OnProgress = [this](unsigned BlockNo) { FMake->SetProgress(static_cast<int>(BlockNo)); };

    FTabs = new QTabWidget(this);
    FTabs->setObjectName("PageControl");
    FSetup = new TSetupPage(FTabs);
    FMake = new TMakePage(FPrompts, FTabs);
    // Below the pages' own minimum the window scrolls them instead of
    // squeezing controls over each other.
    auto scrolled = [this](QWidget* Page) {
        auto* area = new QScrollArea(FTabs);
        area->setObjectName(Page->objectName() + QStringLiteral("Scroll"));
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setWidget(Page);
        return area;
    };
    FTabs->addTab(scrolled(FSetup), QStringLiteral("Setup"));
    FTabs->addTab(scrolled(FMake), QStringLiteral("Make"));
    setCentralWidget(FTabs);
    setMinimumSize(640, 480);

    BuildStatusBar();
    StartUp();
    ConnectSetupPage();
    ConnectMakePage();
    TAboutDialog::Attach(*this, FConfig);
    BuildShortcuts();
    setAcceptDrops(true);
    LoadSettings();
    CheckAllLabels();
}

TForm1::~TForm1() {
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
    // Beside the four panels, so their texts stay as they are.
    FModified = new QLabel(QStringLiteral("Unsaved changes"), bar);
    FModified->setObjectName("ModifiedIndicator");
    FModified->setToolTip(QStringLiteral("The project has changes that are not saved"));
    FModified->setStyleSheet(
        QStringLiteral("QLabel { color: #b00000; font-weight: bold; padding: 0 6px; }"));
    FModified->setVisible(false);
    bar->addWidget(FModified);
}

void TForm1::BuildShortcuts() {
    auto key = [this](const QKeySequence& Keys, const char* Name, auto Action) {
        auto* shortcut = new QShortcut(Keys, this);
        shortcut->setObjectName(QString::fromLatin1(Name));
        connect(shortcut, &QShortcut::activated, this, Guarded(Ask(), Action));
    };
    // Each key does what its button does, so the rules of the button (a
    // disabled upload while not connected) hold for the key as well.
    auto press = [](QAbstractButton* Button) {
        return [Button] {
            if (Button->isEnabled()) Button->click();
        };
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_O), "LoadShortcut", press(FSetup->LoadButton()));
    key(QKeySequence(Qt::CTRL | Qt::Key_S), "SaveShortcut", press(FSetup->SaveButton()));
    key(QKeySequence(Qt::CTRL | Qt::Key_B), "MakeRomShortcut", press(FMake->MakeRomButton()));
    key(QKeySequence(Qt::CTRL | Qt::Key_U), "UploadShortcut", press(FMake->UploadButton()));
    key(QKeySequence(Qt::CTRL | Qt::Key_Z), "UndoShortcut", [this] { FUndo->undo(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Y), "RedoShortcut", [this] { FUndo->redo(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), "RedoShortcut2", [this] { FUndo->redo(); });
    key(QKeySequence(Qt::Key_F1), "HelpShortcut", [this] { ShowHelp(); });
}

THelpDialog* TForm1::ShowHelp() {
    if (!FHelp) FHelp = new THelpDialog(FConfig, this);
    FHelp->show();
    FHelp->raise();
    FHelp->activateWindow();
    return FHelp;
}

// ---------------------------------------------------------------- unsaved changes and undo

bool TForm1::HasUnsavedChanges() const {
    return !FUndo->isClean() || FOtherChanges;
}

void TForm1::UpdateModified() {
    FModified->setVisible(HasUnsavedChanges());
}

void TForm1::MarkSaved() {
    FUndo->setClean();
    FOtherChanges = false;
    UpdateModified();
}

bool TForm1::ConfirmUnsaved() {
    if (!HasUnsavedChanges()) return true;
    const std::string caption = "Unsaved changes";
    const std::string text = "The project has changes that are not saved.\n\nSave them first?";
    TSaveQuestion::TAnswer answer;
    if (auto* three = dynamic_cast<TSaveQuestion*>(FPrompts))
        answer = three->AskSaveChanges(caption, text);
    else
        answer = Ask().AskYesNo(caption, text) ? TSaveQuestion::TAnswer::Save
                                               : TSaveQuestion::TAnswer::Discard;
    switch (answer) {
    case TSaveQuestion::TAnswer::Save:
        OnSave();
        // A cancelled or failed save keeps everything as it was.
        return !HasUnsavedChanges();
    case TSaveQuestion::TAnswer::Discard:
        return true;
    case TSaveQuestion::TAnswer::Cancel:
        break;
    }
    return false;
}

void TForm1::Record(const QString& What, std::function<void()> Redo, std::function<void()> Undo) {
    FUndo->push(new TEditCommand(What, std::move(Redo), std::move(Undo)));
}

void TForm1::ApplyLabels(const std::vector<TLabelValue>& Values) {
    const bool wasShowing = std::exchange(FShowing, true);
    for (const TLabelValue& v : Values) {
        FProject.SetLabel(v.Table, v.Code, v.Text);
        SetCell(2 + v.Table, v.Code + 1, ToQ(v.Text));
        CheckLabelCell(v.Table, v.Code);
    }
    FShowing = wasShowing;
}

void TForm1::RecordCells(const QString& What, const std::vector<TGridEditor::TCellEdit>& Edits) {
    std::vector<TLabelValue> before;
    std::vector<TLabelValue> after;
    for (const TGridEditor::TCellEdit& e : Edits) {
        const int table = e.Col - 2;
        if (table < 0 || table >= TProject::TableCount || e.Row < 0 || e.Row >= TProject::CodeCount)
            continue;
        const std::string text = FromQ(e.Text);
        if (FProject.Label(table, e.Row) == text) continue;
        before.push_back({table, e.Row, FProject.Label(table, e.Row)});
        after.push_back({table, e.Row, text});
    }
    if (after.empty()) return;
    Record(
        What, [this, after] { ApplyLabels(after); }, [this, before] { ApplyLabels(before); });
    // The preview follows the current cell's new text.
    QTableWidget* grid = FSetup->Grid();
    OnCellSelected(grid->currentRow(), grid->currentColumn());
}

void TForm1::ShowChoicesAgain() {
    const bool wasShowing = std::exchange(FShowing, true);
    FSetup->ShowChoices(FProject);
    FMake->ShowSettings(FProject);
    FShowing = wasShowing;
    CheckAllLabels();
}

void TForm1::ApplyLogo(const TLogoState& State) {
    FProject.CUSLOGOENABLE = State.Enable;
    FProject.TITLEFILENAME_C = State.Path;
    FMake->ShowLogo(State.Enable != 0, State.Path.empty() ? FConfig.BlankLogoPath() : State.Path);
}

void TForm1::RecordLogo(const TLogoState& Before) {
    const TLogoState after = LogoState();
    if (after == Before) return;
    Record(
        QStringLiteral("Logo"), [this, after] { ApplyLogo(after); },
        [this, Before] { ApplyLogo(Before); });
}

// ---------------------------------------------------------------- settings kept between runs

std::unique_ptr<QSettings> TForm1::OpenSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("dpu510tk3"), QStringLiteral("editor"));
}

void TForm1::LoadSettings() {
    const auto settings = OpenSettings();
    FRecent = settings->value(QStringLiteral("RecentProjects")).toStringList();
    while (FRecent.size() > MaxRecent)
        FRecent.removeLast();
    settings->beginGroup(QStringLiteral("LastFiles"));
    for (const QString& purpose : settings->childKeys())
        FRemember->Remember(FromQ(purpose), FromQ(settings->value(purpose).toString()));
    settings->endGroup();
    const QByteArray geometry = settings->value(QStringLiteral("WindowGeometry")).toByteArray();
    if (!geometry.isEmpty()) restoreGeometry(geometry);
}

void TForm1::SaveSettings() const {
    const auto settings = OpenSettings();
    settings->setValue(QStringLiteral("RecentProjects"), FRecent);
    settings->beginGroup(QStringLiteral("LastFiles"));
    for (const auto& [purpose, path] : FRemember->All())
        settings->setValue(ToQ(purpose), ToQ(path));
    settings->endGroup();
    settings->setValue(QStringLiteral("WindowGeometry"), saveGeometry());
}

void TForm1::NoteProjectFile(const std::string& Path) {
    if (Path.empty()) return;
    const QString full = QFileInfo(ToQ(Path)).absoluteFilePath();
    FRemember->Remember(TRememberingPrompts::Purpose(TProjectFile::Filter), FromQ(full));
    FRecent.removeAll(full);
    FRecent.prepend(full);
    while (FRecent.size() > MaxRecent)
        FRecent.removeLast();
    SaveSettings();
}

void TForm1::ShowRecentMenu() {
    QMenu* menu = FSetup->RecentButton()->menu();
    menu->clear();
    if (FRecent.isEmpty()) {
        menu->addAction(QStringLiteral("(no recent projects)"))->setEnabled(false);
        return;
    }
    for (const QString& path : FRecent) {
        QAction* a = menu->addAction(path);
        connect(a, &QAction::triggered, this,
                Guarded(Ask(), [this, path] { OpenProjectFile(FromQ(path)); }));
    }
}

// ---------------------------------------------------------------- sinks

void TForm1::AppendLog(const std::string& Line) {
    FMake->AppendLog(ToQ(Line));
}

void TForm1::ClearLog() {
    FMake->ClearLog();
}

void TForm1::SetStatus(int Panel, const std::string& Text) {
    if (Panel >= 0 && Panel < 4) FStatus[Panel]->setText(ToQ(Text));
}

QString TForm1::StatusText(int Panel) const {
    return Panel >= 0 && Panel < 4 ? FStatus[Panel]->text() : QString();
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
    if (!ConfirmUnsaved()) {
        Event->ignore();
        return;
    }
    SaveSettings();
    // Closing while connected or uploading ends the transfer and releases the port.
    if (FSession) FSession->ReleasePort();
    Event->accept();
}

namespace {
// The local file of a drop with one file, "" otherwise.
QString DroppedFile(const QMimeData* Data) {
    if (!Data || !Data->hasUrls() || Data->urls().size() != 1 ||
        !Data->urls().first().isLocalFile())
        return QString();
    return Data->urls().first().toLocalFile();
}

bool HasSuffix(const QString& Path, const char* Suffix) {
    return QFileInfo(Path).suffix().compare(QLatin1String(Suffix), Qt::CaseInsensitive) == 0;
}
} // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* Event) {
    if (HasSuffix(DroppedFile(Event->mimeData()), "dcf")) Event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* Event) {
    const QString file = DroppedFile(Event->mimeData());
    if (!HasSuffix(file, "dcf")) return;
    Event->acceptProposedAction();
    Guarded(Ask(), [this, file] { OpenProjectFile(FromQ(file)); })();
}

bool TForm1::eventFilter(QObject* Watched, QEvent* Event) {
    // Bitmaps dropped on a message picture or the logo, ROM files on the Make tab.
    const bool enter = Event->type() == QEvent::DragEnter;
    if (!enter && Event->type() != QEvent::Drop) return QMainWindow::eventFilter(Watched, Event);
    auto* drop = static_cast<QDropEvent*>(Event);
    const QString file = DroppedFile(drop->mimeData());
    std::function<void()> action;
    if (Watched == FMake->Logo() && HasSuffix(file, "bmp")) {
        action = [this, file] { SetLogoFile(FromQ(file)); };
    } else if (Watched == FMake && HasSuffix(file, "bin")) {
        action = [this, file] {
            FMake->RomFileNameEdit()->setText(QFileInfo(file).fileName());
            FProject.ROMFILENAME = FromQ(QFileInfo(file).fileName());
            FOtherChanges = true;
            UpdateModified();
        };
    } else {
        for (int s = 0; s < TProject::StateCount && !action; ++s)
            for (int k = 0; k < 4; ++k)
                if (Watched == FSetup->MsgImage(s, k) && HasSuffix(file, "bmp")) {
                    action = [this, s, k, file] { SetSlotFile(s, k, FromQ(file)); };
                    break;
                }
    }
    if (!action) return QMainWindow::eventFilter(Watched, Event);
    drop->acceptProposedAction();
    if (!enter) Guarded(Ask(), action)();
    return true;
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

    FGridEditor = new TGridEditor(grid, 2, [this](const QString& What, const auto& Edits) {
        Guarded(Ask(), [&] { RecordCells(What, Edits); })();
    });

    // Radio groups report only the person's clicks; the record is shown with setChecked.
    auto bindChoice = [this](QButtonGroup* Group, int TProject::*Field) {
        connect(Group, &QButtonGroup::idClicked, this, [this, Field](int Id) {
            if (!FShowing) ChooseInt(Field, Id);
        });
    };
    bindChoice(FSetup->CtblGroup(), &TProject::DEF_CTBL);
    bindChoice(FSetup->FlStyleBox()->Group(), &TProject::DEF_FL);
    bindChoice(FSetup->DirStyleBox()->Group(), &TProject::DEF_DIR);
    bindChoice(FMake->MsgPosBox()->Group(), &TProject::DEF_MSGPOS);
    connect(FSetup->RightButton(), &QRadioButton::clicked, this,
            [this] { ChooseInt(&TProject::DPSTYLE, 1); });
    connect(FSetup->LeftButton(), &QRadioButton::clicked, this,
            [this] { ChooseInt(&TProject::DPSTYLE, 2); });
    for (int k = 0; k < 4; ++k)
        connect(FSetup->MsgCheck(k), &QCheckBox::toggled, this, [this, k](bool On) {
            if (FShowing || FProject.MsgColumnChecked[k] == On) return;
            auto apply = [this, k](bool Value) {
                FProject.MsgColumnChecked[k] = Value;
                ShowChoicesAgain();
            };
            Record(
                QStringLiteral("Message column"), [apply, On] { apply(On); },
                [apply, On] { apply(!On); });
        });
    connect(FSetup->VersionBox(), &QComboBox::activated, this,
            Guarded(Ask(), [this](int Index) { OnVersionChosen(Index); }));
    for (int s = 0; s < 10; ++s)
        for (int k = 0; k < 4; ++k)
            connect(FSetup->MsgImage(s, k), &TPictureBox::DoubleClicked, this,
                    Guarded(Ask(), [this, s, k] { OnMessagePictureDoubleClicked(s, k); }));
    connect(FSetup->ClearAllButton(), &QPushButton::clicked, this,
            Guarded(Ask(), [this] { OnClearAll(); }));
    connect(FSetup->LoadButton(), &QPushButton::clicked, this, Guarded(Ask(), [this] {
                if (ConfirmUnsaved()) ShowLoaded(FProjectFile->Load());
            }));
    connect(FSetup->RecentButton()->menu(), &QMenu::aboutToShow, this,
            [this] { ShowRecentMenu(); });
    for (int s = 0; s < TProject::StateCount; ++s)
        for (int k = 0; k < 4; ++k) {
            FSetup->MsgImage(s, k)->setAcceptDrops(true);
            FSetup->MsgImage(s, k)->installEventFilter(this);
        }
    connect(FSetup->SaveButton(), &QPushButton::clicked, this,
            Guarded(Ask(), [this] { OnSave(); }));
}

void TForm1::ConnectMakePage() {
    auto bindIndex = [this](QComboBox* Box, int TProject::*Field) {
        connect(Box, &QComboBox::activated, this,
                [this, Field](int Index) { ChooseInt(Field, Index); });
    };
    auto otherChange = [this] {
        FOtherChanges = true;
        UpdateModified();
    };
    connect(FMake->RomFileNameEdit(), &QLineEdit::textEdited, this,
            [this, otherChange](const QString& Text) {
                FProject.ROMFILENAME = FromQ(Text);
                otherChange();
            });
    connect(FMake->Browser(), &TFileBrowser::FileClicked, this,
            [this, otherChange](const QString& Name) {
                FMake->RomFileNameEdit()->setText(Name);
                FProject.ROMFILENAME = FromQ(Name);
                otherChange();
            });
    FMake->setAcceptDrops(true);
    FMake->installEventFilter(this);
    FMake->Logo()->setAcceptDrops(true);
    FMake->Logo()->installEventFilter(this);
    connect(FMake->MakeRomButton(), &QPushButton::clicked, this,
            Guarded(Ask(), [this] { OnMakeRom(); }));
    connect(FMake->RomImageViewButton(), &QPushButton::clicked, this, [this] {
        TRomImageView(TProject::RomFileNameToSave(FromQ(FMake->RomFileNameEdit()->text())), FConfig,
                      FLibrary, Ask(), this)
            .exec();
    });
    // A port link made while the window is open shows when the person comes back to it.
    connect(FTabs, &QTabWidget::currentChanged, this, [this] { FMake->ShowComPortDevice(); });
    connect(FMake->ConnectButton(), &QPushButton::clicked, this,
            Guarded(Ask(), [this] { OnConnect(); }));
    connect(FMake->BaudBox(), &QComboBox::activated, this,
            [this] { Link().BaudListChanged(FMake->BaudBox()->currentText().toStdString()); });
    connect(FMake->UploadButton(), &QPushButton::clicked, this,
            Guarded(Ask(), [this] { OnUpload(); }));
    connect(FMake->DateTimeSyncButton(), &QPushButton::clicked, this,
            Guarded(Ask(), [this] { OnDateTimeSync(); }));
    connect(FMake->MsgOnCheck(), &QCheckBox::toggled, this,
            [this](bool On) { Link().SetMsgOn(On); });

    connect(FMake->LogoOnButton(), &QRadioButton::clicked, this,
            Guarded(Ask(), [this] { OnLogoOn(); }));
    connect(FMake->LogoOffButton(), &QRadioButton::clicked, this,
            Guarded(Ask(), [this] { OnLogoOff(); }));
    connect(FMake->Logo(), &TPictureBox::Clicked, this, Guarded(Ask(), [this] { ChooseLogo(); }));
    bindIndex(FMake->LogoSecondsBox(), &TProject::SWAPTIME);
    bindIndex(FMake->PowerSavingBox(), &TProject::PWRSAVING);
    bindIndex(FMake->NodeAddressBox(), &TProject::NODEADDR);
    connect(FMake->IdCodeEdit(), &QLineEdit::textEdited, this,
            [this, otherChange](const QString& Text) {
                FProject.CUSIDCODE = FromQ(Text);
                otherChange();
            });
    connect(FMake->DateTimeCheck(), &QCheckBox::toggled, this, [this](bool On) {
        if (!FShowing) ChooseInt(&TProject::DISPDT, On ? 1 : 0);
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
    CheckAllLabels();
}

void TForm1::ShowLabels() {
    const bool wasShowing = std::exchange(FShowing, true);
    FSetup->ShowLabels(FProject);
    FShowing = wasShowing;
    CheckAllLabels();
}

QString TForm1::LabelProblem(const std::string& Text) const {
    const TLabelPreview::TPlan plan =
        TLabelPreview::Plan(Text, FProject.DEF_FL, FConfig.UserFloorStylePrefix());
    if (plan.Kind == TLabelPreview::TKind::None) return QString();
    const QString style = QStringLiteral("FL Style %1").arg(FProject.DEF_FL);
    // The display's glyphs are single bytes; nothing beyond ASCII has one,
    // whatever the label's length.
    for (const QChar c : ToQ(DpuText::Trim(Text)).toUpper())
        if (c.unicode() > 0x7E) return QStringLiteral("No glyph for \"%1\" in %2").arg(c, style);
    if (plan.Kind == TLabelPreview::TKind::Glyphs) {
        if (!FLibrary.IsLoaded()) return QString();
        uint32_t offset = 0, length = 0;
        for (const unsigned char c : plan.Chars)
            if (!FLibrary.FindEntry(FProject.DEF_FL + 1, c, offset, length))
                return QStringLiteral("No glyph for \"%1\" in %2").arg(QChar(c), style);
        return QString();
    }
    if (DpuText::FileExists(plan.BitmapPath)) return QString();
    const QFileInfo bitmap(ToQ(plan.BitmapPath));
    return QStringLiteral("No user bitmap \"%1\" in %2")
        .arg(bitmap.fileName(), bitmap.absolutePath());
}

void TForm1::CheckLabelCell(int Table, int Code) {
    QTableWidgetItem* item = FSetup->Grid()->item(Code, 2 + Table);
    if (!item) return;
    const QString why = LabelProblem(FProject.Label(Table, Code));
    const bool wasShowing = std::exchange(FShowing, true);
    item->setData(Qt::BackgroundRole,
                  why.isEmpty() ? QVariant() : QVariant(QBrush(QColor(255, 214, 196))));
    item->setToolTip(why);
    FShowing = wasShowing;
}

void TForm1::CheckAllLabels() {
    for (int t = 0; t < TProject::TableCount; ++t)
        for (int n = 0; n < TProject::CodeCount; ++n)
            CheckLabelCell(t, n);
}

// ---------------------------------------------------------------- "Setup" actions

void TForm1::OnCellSelected(int Row, int Col) {
    if (Row < 0 || Col < 2) return;
    const std::string text = FromQ(Cell(Col, Row + 1));
    if (TLabelPreview::Render(text, FProject.DEF_FL, FConfig.UserFloorStylePrefix(), FLibrary,
                              FPreviewImage))
        FSetup->ShowPreview(FPreviewImage);
}

void TForm1::OnCellEdited(int Row, int Col) {
    if (FShowing || Col < 2 || Row < 0 || Row >= TProject::CodeCount) return;
    const int table = Col - 2;
    const std::string before = FProject.Label(table, Row);
    const std::string after = FromQ(Cell(Col, Row + 1));
    // Tints and tool tips change the item too; only a new text is an edit.
    if (before == after) return;
    Record(
        QStringLiteral("Edit label"),
        [this, table, Row, after] {
            ApplyLabels({{table, Row, after}});
        },
        [this, table, Row, before] {
            ApplyLabels({{table, Row, before}});
        });
}

void TForm1::ChooseInt(int TProject::*Field, int Value) {
    const int before = FProject.*Field;
    if (before == Value) return;
    auto apply = [this, Field](int V) {
        FProject.*Field = V;
        ShowChoicesAgain();
    };
    Record(
        QStringLiteral("Choice"), [apply, Value] { apply(Value); },
        [apply, before] { apply(before); });
}

void TForm1::OnVersionChosen(int Index) {
    const int before = FConfig.VersionIndex;
    auto apply = [this](int I) {
        FConfig.SelectVersion(I, this);
        FSetup->ShowBitPatterns(FConfig);
        const QSignalBlocker block(FSetup->VersionBox());
        FSetup->VersionBox()->setCurrentIndex(FConfig.VersionIndex);
    };
    if (before == Index) {
        apply(Index);
        return;
    }
    Record(
        QStringLiteral("Version"), [apply, Index] { apply(Index); },
        [apply, before] { apply(before); });
}

void TForm1::OnMessagePictureDoubleClicked(int State, int Column) {
    std::string file;
    if (!Ask().OpenPictureDialog(PictureFilter, file)) return;
    SetSlotFile(State, Column, file);
}

void TForm1::SetSlotFile(int State, int Column, const std::string& File) {
    const int slot = TSetupPage::ColumnSlot(Column);
    const std::string before = FProject.Slot(State, slot);
    // Only this picture changes; the row's name picture waits for the next
    // full display.
    auto apply = [this, State, Column, slot](const std::string& F) {
        FProject.SetSlot(State, slot, F);
        FSetup->ShowSlotPicture(State, Column, F);
    };
    Record(
        QStringLiteral("Message picture"), [apply, File] { apply(File); },
        [apply, before] { apply(before); });
}

bool TForm1::ChooseLogo() {
    std::string file;
    if (!Ask().OpenPictureDialog(PictureFilter, file)) return false;
    SetLogoFile(file);
    return true;
}

void TForm1::SetLogoFile(const std::string& File) {
    const TLogoState before = LogoState();
    FProject.TITLEFILENAME_C = File;
    FMake->ShowLogoFile(File);
    RecordLogo(before);
}

void TForm1::OnLogoOn() {
    const TLogoState before = LogoState();
    if (FProject.SetLogoOn()) ChooseLogo();
    FMake->ShowLogoChoice(true);
    RecordLogo(before);
}

void TForm1::OnLogoOff() {
    const TLogoState before = LogoState();
    FProject.SetLogoOff();
    FMake->ShowLogo(false, FConfig.BlankLogoPath());
    RecordLogo(before);
}

void TForm1::OnClearAll() {
    const auto tables = FProject.CodeTables;
    const auto flags = FProject.UsedCharFlags;
    Record(
        QStringLiteral("Clear ALL"),
        [this] {
            FProjectFile->ClearAll();
            ShowLabels();
        },
        [this, tables, flags] {
            FProject.CodeTables = tables;
            FProject.UsedCharFlags = flags;
            ShowLabels();
        });
}

bool TForm1::LoadProjectFile(const std::string& Path) {
    return ShowLoaded(FProjectFile->LoadFrom(Path)) == TProjectFile::TLoadResult::Loaded;
}

bool TForm1::OpenProjectFile(const std::string& Path) {
    return ConfirmUnsaved() && LoadProjectFile(Path);
}

TProjectFile::TLoadResult TForm1::ShowLoaded(TProjectFile::TLoadResult Result) {
    if (Result == TProjectFile::TLoadResult::Loaded ||
        Result == TProjectFile::TLoadResult::ConversionError) {
        // Showing the project reads its 40 lift-state bitmaps: still part of the load.
        Ask().SetBusyCursor(true);
        ShowProject();
        FMake->Browser()->Refresh();
        // Another project: the history of the last one no longer applies.
        FUndo->clear();
        MarkSaved();
        NoteProjectFile(FProjectFile->LastPath);
        Ask().SetBusyCursor(false);
    }
    return Result;
}

void TForm1::OnSave() {
    if (FProjectFile->Save()) {
        MarkSaved();
        NoteProjectFile(FProjectFile->LastPath);
    }
    // Save writes the ROM file name as the field must show it now.
    FMake->ShowRomFileName(FProject.ROMFILENAME);
}

void TForm1::SelectFirstLabel() {
    FSetup->SelectFirstLabel(FProject);
}

// ---------------------------------------------------------------- "Make" actions

void TForm1::OnMakeRom() {
    TMakeRom command(FProject, FConfig, FLibrary, Ask(), this);
    command.SaveStep = [this] {
        const bool saved = FProjectFile->Save();
        if (saved) {
            MarkSaved();
            NoteProjectFile(FProjectFile->LastPath);
        }
        FMake->ShowRomFileName(FProject.ROMFILENAME);
        return saved;
    };
    const bool built = command.Run();
    // The build's own log lines only report trouble; say where the image went.
    if (built) {
        const std::string image = FromQ(QFileInfo(ToQ(command.RomFilePath)).absoluteFilePath());
        AppendLog("===> ROM image written: " + image + " <===");
        // The upload dialog starts at the image just built.
        FRemember->Remember("bin", image);
        SaveSettings();
    }
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
    ShowLinkState();
    // The link reports its buttons before it enters or leaves a transfer's
    // state; look again once the report's event is over.
    if (!FLinkRecheckQueued) {
        FLinkRecheckQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                FLinkRecheckQueued = false;
                ShowLinkState();
            },
            Qt::QueuedConnection);
    }
}

void TForm1::ShowLinkState() {
    const bool transferring = Link().LinkState() != DpuLink::TLinkState::Idle;
    // Date-Time Sync. waits while an image is on its way.
    FMake->ShowLinkControls(Link().Connected(), Link().UploadEnabled(),
                            Link().SyncEnabled() &&
                                Link().LinkState() != DpuLink::TLinkState::RomUpload);
    if (!transferring) FMake->SetProgress(0);
}

void TForm1::OnConnect() {
    if (!Link().Connected()) {
        FMake->ShowComPortDevice();
        Link().Connect(FMake->SelectedComPort());
        // A number the component refused leaves it on the port it had: show that one.
        FMake->SelectComPort(FSession->Uart().pr_UartPortNumber());
    } else {
        Link().Disconnect();
    }
    UpdateLinkControls();
}

void TForm1::OnUpload() {
    FMake->SetProgress(0);
    Link().UploadRomImageAction(FConfig.ENCODE, Ask());
    UpdateLinkControls();
}

void TForm1::OnDateTimeSync() {
    FMake->SetProgress(0);
    Link().StartDateTimeSync();
    UpdateLinkControls();
}
