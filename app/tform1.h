#pragma once

#include "app/tgrideditor.h"
#include "app/tmakepage.h"
#include "app/tprojectsession.h"
#include "app/trememberingprompts.h"
#include "app/tsetuppage.h"
#include "link/devicelink.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "rom/glyphlibrary.h"
#include "util/prompts.h"

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class QSettings;
class QTabWidget;
class QUndoStack;
class THelpDialog;
class TLabelChecker;
class TLinkControls;
class TProjectEdits;
class TStatusPanels;
namespace DpuLink {
class TLinkSession;
}

// The editor's single main window: the "Setup" tab (code tables, styles,
// lift-state messages) and the "Make" tab (ROM file, device settings, serial
// link, message log), the status bar's four panels and the message log.
// Everything that is not a widget is done by the core; the window only binds
// its controls to it. Start-up runs in the constructor; the start-up directory
// is the current directory at that moment.
class TForm1 : public QMainWindow, public YVclUtil::MessageSink {
    Q_OBJECT
public:
    // Prompts answers every question of the window and the core; null means
    // the window's own Qt dialogs. It must outlive the window.
    explicit TForm1(YVclUtil::Prompts* Prompts = nullptr, QWidget* Parent = nullptr);
    ~TForm1() override;

    // MessageSink: the message log and the status panels.
    void AppendLog(const std::string& Line) override;
    void ClearLog() override;
    void SetStatus(int Panel, const std::string& Text) override;
    // Text of status panel 0..3 ("" for another index).
    QString StatusText(int Panel) const;
    // A note beside the status panels about the last action ("" hides it).
    void ShowNote(const QString& Text);

    // The code-table grid as 257 rows by 5 columns: row 0 is the header,
    // row r the code r - 1; columns 0 and 1 the bit pattern and HEX (DEC).
    // "" outside the grid.
    QString Cell(int Col, int Row) const;
    void SetCell(int Col, int Row, const QString& Text);
    static constexpr int GridRows = TSetupPage::GridRows;
    static constexpr int GridCols = TSetupPage::GridCols;

    QString ProgramDir() const { return FProgramDir; }
    QString StartupDir() const { return FStartupDir; }

    // The core objects the window shows (tests read them).
    DpuProject::TProject& Project() { return FProject; }
    DpuProject::TConfiguration& Config() { return FConfig; }
    DpuRom::GlyphLibrary& Library() { return FLibrary; }
    DpuLink::TDeviceLink& Link();
    // True when start-up ran to its end (configuration, glyph library, previews).
    bool StartupCompleted() const { return FStartupCompleted; }

    // Loads a project file without the open dialog, as "Load" does after it,
    // and without asking about unsaved changes; false (the reason shown
    // through Prompts) when it was not applied.
    bool LoadProjectFile(const std::string& Path);
    // The same after asking Save/Discard/Cancel when there are unsaved
    // changes (a dropped file, a recent project); false when cancelled or
    // not applied.
    bool OpenProjectFile(const std::string& Path);
    // Files named on the command line or by the desktop: the first project
    // file opens as OpenProjectFile does (a further one gets a log line), each
    // ROM image in a ROM image window of its own; any other file is refused
    // with a box. Failures are shown through Prompts.
    void OpenFiles(const QStringList& Files);

    // True while the project has changes that no Save has written.
    bool HasUnsavedChanges() const;
    // Undo history of the labels, choices and pictures.
    QUndoStack* UndoStack() const;
    // Most recent first, at most MaxRecent full paths.
    QStringList RecentProjects() const;
    static constexpr int MaxRecent = TProjectSession::MaxRecent;
    // The start of the next file dialog for a purpose ("dcf", "bin", "bmp").
    std::string LastFile(const std::string& Purpose) const { return FRemember->LastFile(Purpose); }
    // Where the editor keeps its settings between runs (recent projects,
    // last files, window place). The process's user settings; tests point
    // XDG_CONFIG_HOME elsewhere.
    static std::unique_ptr<QSettings> OpenSettings();
    // The short help window (F1); made on first use.
    THelpDialog* ShowHelp();
    // Selects the first label cell holding text, which shows its preview.
    void SelectFirstLabel();

    // The status panels' widths while the window has room for them.
    static constexpr int StatusPanelWidths[4] = {400, 160, 230, 40};
    // The smallest the window gets, unless the screen is smaller still.
    static constexpr QSize DesignMinimumSize{640, 480};

protected:
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    YVclUtil::Prompts& Ask();
    void StartUp();
    void ConnectSetupPage();
    void ConnectMakePage();
    // Shows the record and the configuration in every control (after
    // start-up, Load, Clear ALL and Make ROM).
    void ShowProject();
    // Shows a loaded project in every control (under the hourglass);
    // returns Result.
    DpuProject::TProjectFile::TLoadResult ShowLoaded(DpuProject::TProjectFile::TLoadResult Result);
    // Save as the button and Make ROM's save step do it (AskForFile), or in
    // place (Ctrl+S); false when the file was not written (the reason shown
    // through Prompts).
    bool SaveProject(TProjectSession::TSaveMode Mode);
    void OnSave();
    void OnSaveInPlace();
    void OnMakeRom();

    // First made, last gone: the panels answer SetStatus while the other
    // members go.
    std::unique_ptr<TStatusPanels> FStatus;
    std::unique_ptr<YVclUtil::Prompts> FOwnPrompts;
    YVclUtil::Prompts* FPrompts = nullptr;
    // FPrompts with the last file of each purpose as the dialogs' start.
    std::unique_ptr<TRememberingPrompts> FRemember;
    // Undo history, unsaved-changes guard, recent projects, settings.
    TProjectSession* FProjSession = nullptr;
    THelpDialog* FHelp = nullptr;

    QString FProgramDir; // ends in '/'
    QString FStartupDir; // no trailing '/'

    DpuProject::TConfiguration FConfig;
    DpuRom::GlyphLibrary FLibrary;
    DpuProject::TProject FProject;
    std::unique_ptr<DpuProject::TProjectFile> FProjectFile;
    bool FStartupCompleted = false;
    std::unique_ptr<TLabelChecker> FChecker;
    std::unique_ptr<TProjectEdits> FEdits;

    // The serial component PcUart1 and the device link on it.
    std::unique_ptr<DpuLink::TLinkSession> FSession;
    TLinkControls* FLinkControls = nullptr;

    QTabWidget* FTabs = nullptr;
    TSetupPage* FSetup = nullptr;
    TMakePage* FMake = nullptr;
};
