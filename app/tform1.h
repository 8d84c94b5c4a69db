#pragma once

#include "app/tmakepage.h"
#include "app/tsetuppage.h"
#include "link/devicelink.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "rom/glyphlibrary.h"
#include "util/prompts.h"

#include <QImage>
#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>
#include <string>

class QLabel;
class QTabWidget;
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

    static constexpr const char* DesignCaption = "DPU-510TK3 Lift LCD Editor (R2-Build101117)";

    // MessageSink: the message log and the status panels.
    void AppendLog(const std::string& Line) override;
    void ClearLog() override;
    void SetStatus(int Panel, const std::string& Text) override;
    // Text of status panel 0..3 ("" for another index).
    QString StatusText(int Panel) const;

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
    TProject& Project() { return FProject; }
    TConfiguration& Config() { return FConfig; }
    GlyphLibrary& Library() { return FLibrary; }
    DpuLink::TDeviceLink& Link();
    // True when start-up ran to its end (configuration, glyph library, previews).
    bool StartupCompleted() const { return FStartupCompleted; }

    // Loads a project file without the open dialog, as "Load" does after it;
    // false (the reason shown through Prompts) when it was not applied.
    bool LoadProjectFile(const std::string& Path);
    // Selects the first label cell holding text, which shows its preview.
    void SelectFirstLabel();

    // "COM 1".."COM 16" can be opened; the list offers up to "COM 20".
    static constexpr unsigned UsableComPorts = TMakePage::UsableComPorts;

protected:
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void BuildStatusBar();
    YVclUtil::Prompts& Ask();
    void StartUp();
    void ConnectSetupPage();
    void ConnectMakePage();

    // Shows the record and the configuration in every control (after
    // start-up, Load, Clear ALL and Make ROM).
    void ShowProject();
    void ShowLabels();
    void UpdateLinkControls();

    // User actions.
    void OnCellSelected(int Row, int Col);
    void OnCellEdited(int Row, int Col);
    void OnVersionChosen(int Index);
    void OnMessagePictureDoubleClicked(int State, int Column);
    void OnLogoOn();
    void OnLogoOff();
    void OnClearAll();
    // Shows a loaded project in every control (under the hourglass);
    // returns Result.
    TProjectFile::TLoadResult ShowLoaded(TProjectFile::TLoadResult Result);
    void OnSave();
    void OnMakeRom();
    void OnConnect();
    void OnUpload();
    void OnDateTimeSync();
    // Chooses the logo bitmap with the picture dialog; false when cancelled.
    bool ChooseLogo();

    std::unique_ptr<YVclUtil::Prompts> FOwnPrompts;
    YVclUtil::Prompts* FPrompts = nullptr;

    QString FProgramDir; // ends in '/'
    QString FStartupDir; // no trailing '/'

    TConfiguration FConfig;
    GlyphLibrary FLibrary;
    TProject FProject;
    std::unique_ptr<TProjectFile> FProjectFile;
    bool FStartupCompleted = false;
    // Set while the window shows the record, so control signals do not write back.
    bool FShowing = false;
    QImage FPreviewImage;

    // The serial component PcUart1 and the device link on it.
    std::unique_ptr<DpuLink::TLinkSession> FSession;

    QTabWidget* FTabs = nullptr;
    TSetupPage* FSetup = nullptr;
    TMakePage* FMake = nullptr;
    std::array<QLabel*, 4> FStatus{};
};
