#pragma once

#include "link/devicelink.h"
#include "link/qtlinktimer.h"
#include "link/systemlinkclock.h"
#include "link/uartlinkport.h"
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

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTabWidget;
class TFileBrowser;
class TPictureBox;
namespace YVclCtrl {
class TCustomUart;
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

    // The code-table grid as 257 rows by 5 columns: row 0 is the header,
    // row r the code r - 1; columns 0 and 1 the bit pattern and HEX (DEC).
    // "" outside the grid.
    QString Cell(int Col, int Row) const;
    void SetCell(int Col, int Row, const QString& Text);
    static constexpr int GridRows = 257;
    static constexpr int GridCols = 5;

    QString ProgramDir() const { return FProgramDir; }
    QString StartupDir() const { return FStartupDir; }

    // The core objects the window shows (tests read them).
    DpuProject::TProject& Project() { return FProject; }
    DpuProject::TConfiguration& Config() { return FConfig; }
    DpuRom::GlyphLibrary& Library() { return FLibrary; }
    DpuLink::TDeviceLink& Link() { return *FLink; }
    // True when start-up ran to its end (configuration, glyph library, previews).
    bool StartupCompleted() const { return FStartupCompleted; }

    // Loads a project file without the open dialog, as "Load" does after it;
    // false (the reason shown through Prompts) when it was not applied.
    bool LoadProjectFile(const std::string& Path);
    // Selects the first label cell holding text, which shows its preview.
    void SelectFirstLabel();

    // "COM 1".."COM 16" can be opened; the list offers up to "COM 20".
    static constexpr unsigned UsableComPorts = 16;

protected:
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void BuildSetupTab(QWidget* Page);
    void BuildMakeTab(QWidget* Page);
    void BuildStatusBar();
    QWidget* BuildGrid();
    QWidget* BuildMessagePage(int FirstState);

    YVclUtil::Prompts& Ask();

    void StartUp();
    void ConnectSignals();

    // Shows the record and the configuration in every control (after
    // start-up, Load, Clear ALL and Make ROM).
    void ShowProject();
    void ShowLabels();
    void ShowBitPatterns();
    void ShowVersionList();
    void ShowAllSlots();
    void ShowLogo();
    void ShowBlankLogo();
    void ShowComPortDevice();
    void UpdateLinkControls();

    // User actions.
    void OnCellSelected(int Row, int Col);
    void OnCellEdited(int Row, int Col);
    void OnVersionChosen(int Index);
    void OnMessagePictureDoubleClicked(int State, int Column);
    void OnLogoClicked();
    void OnLogoOn();
    void OnLogoOff();
    void OnClearAll();
    void OnLoad();
    // Shows a loaded project in every control (under the hourglass);
    // returns Result.
    DpuProject::TProjectFile::TLoadResult ShowLoaded(DpuProject::TProjectFile::TLoadResult Result);
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

    DpuProject::TConfiguration FConfig;
    DpuRom::GlyphLibrary FLibrary;
    DpuProject::TProject FProject;
    std::unique_ptr<DpuProject::TProjectFile> FProjectFile;
    bool FStartupCompleted = false;
    // Set while the window shows the record, so control signals do not write back.
    bool FShowing = false;
    QImage FPreviewImage;

    // The serial component and the device link on it.
    YVclCtrl::TCustomUart* PcUart1 = nullptr;
    std::unique_ptr<DpuLink::TUartLinkPort> FLinkPort;
    std::unique_ptr<DpuLink::TQtLinkTimer> FResponseTimer;
    DpuLink::TSystemLinkClock FClock;
    std::unique_ptr<DpuLink::TDeviceLink> FLink;

    // "Setup"
    QTabWidget* FTabs = nullptr;
    QTableWidget* FGrid = nullptr;
    std::array<QRadioButton*, 3> FCtblRadio{};
    QButtonGroup* FCtblGroup = nullptr;
    TPictureBox* FPreview = nullptr;
    std::array<QRadioButton*, 4> FFlRadio{};
    std::array<TPictureBox*, 4> FFlImage{};
    QButtonGroup* FFlGroup = nullptr;
    std::array<QRadioButton*, 5> FDirRadio{};
    std::array<TPictureBox*, 5> FDirImage{};
    QButtonGroup* FDirGroup = nullptr;
    QRadioButton* FRight = nullptr;
    QRadioButton* FLeft = nullptr;
    QComboBox* FVersion = nullptr;
    QPushButton* FClearAll = nullptr;
    QPushButton* FLoad = nullptr;
    QPushButton* FSave = nullptr;
    std::array<QCheckBox*, 4> FMsgCheck{};
    QTabWidget* FMsgPages = nullptr;
    std::array<TPictureBox*, 10> FMsgName{};
    // Column pictures per state, left to right: slots B, D, A, C.
    std::array<std::array<TPictureBox*, 4>, 10> FMsgImage{};

    // "Make"
    QLineEdit* FRomFileName = nullptr;
    TFileBrowser* FBrowser = nullptr;
    QPushButton* FMakeRom = nullptr;
    QComboBox* FComPort = nullptr;
    QLabel* FComDevice = nullptr;
    QPushButton* FConnect = nullptr;
    QComboBox* FBaud = nullptr;
    QPushButton* FUpload = nullptr;
    QPushButton* FDateTimeSync = nullptr;
    QProgressBar* FProgress = nullptr;
    QRadioButton* FLogoOff = nullptr;
    QRadioButton* FLogoOn = nullptr;
    QComboBox* FLogoSeconds = nullptr;
    TPictureBox* FLogo = nullptr;
    QLineEdit* FIdCode = nullptr;
    QComboBox* FPowerSaving = nullptr;
    QComboBox* FNodeAddress = nullptr;
    std::array<QRadioButton*, 3> FMsgPosRadio{};
    std::array<TPictureBox*, 3> FMsgPosImage{};
    QButtonGroup* FMsgPosGroup = nullptr;
    QCheckBox* FDateTimeCheck = nullptr;
    QPlainTextEdit* FLog = nullptr;
    QCheckBox* FMsgOn = nullptr;

    std::array<QLabel*, 4> FStatus{};
};
