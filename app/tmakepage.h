#pragma once

#include "project/tproject.h"
#include "util/prompts.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <array>
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
class TChoiceBox;
class TFileBrowser;
class TPictureBox;
class TSettingBindings;

// The "Make" tab: the ROM file with its browser and "MAKE ROM", the serial
// link ("COM port:", "Connect", "UpLoad ROM Image", "Date-Time Sync.", the
// progress bar), the customer logo, the device settings, the message
// positions and the message log with "Msg. on". It only shows what it is
// given and announces what the person asks for through its signals; the
// window answers them with the project and the link.
class TMakePage : public QWidget {
    Q_OBJECT
public:
    // Prompts answers the file browser's questions; it must outlive the page.
    explicit TMakePage(YVclUtil::Prompts* Prompts, QWidget* Parent = nullptr);

    void AppendLog(const QString& Line);
    void ClearLog();
    // What the chosen "COM n" stands for, beside the list and in its tool tips;
    // "COM 1" to "COM TPortName::kComPortCount" can be opened.
    void ShowComPortDevice();
    // 1-based number of the chosen "COM n".
    unsigned SelectedComPort() const;
    // Shows "COM Number" as the chosen port (nothing for a number not in the list).
    void SelectComPort(unsigned Number);
    // Transferring offers "Cancel".
    void ShowLinkControls(bool Connected, bool UploadEnabled, bool SyncEnabled,
                          bool Transferring = false);
    void SetProgress(int BlockNo);
    // The project's values in the settings controls (not the logo).
    void ShowSettings(const DpuProject::TProject& Project);
    void ShowRomFileName(const std::string& Name);
    // "OFF" or "ON (Sec.)" with the seconds list enabled to match.
    void ShowLogoChoice(bool On);
    // The logo picture from File, blank when it does not load.
    void ShowLogoFile(const std::string& File);
    // Both: the choice and the picture.
    void ShowLogo(bool On, const std::string& File);

    // The ROM file name as the field shows it.
    QString RomFileName() const;
    // Makes Path the browser's folder and the current directory; false
    // (reported in a message box) when it is not a readable folder.
    bool ShowDirectory(const QString& Path);
    // Reads the browser's folder again (after the window wrote a file there).
    void RefreshFiles();
    // The message-position pictures (after start-up).
    void ShowMsgPosPictures(const std::array<QImage, 3>& Images);
    // The keys' way to the buttons: each does what a click does, and nothing
    // while the button is disabled.
    void PressMakeRom();
    void PressUpload();
    void PressCancel();
    // True while the link's Cancel is offered (a transfer is running).
    bool CancelOffered() const;

signals:
    // What the person asks for on this page. The page shows nothing of the
    // record by itself: the window answers and shows the result.
    // A ROM file name typed, clicked in the file list or dropped as a .BIN
    // file (its name without the folder); the field already shows it.
    void RomFileChosen(const QString& Name);
    void RomImageViewRequested();
    void MakeRomRequested();
    // "Connect" with the port name of the chosen entry ("COM18" for "COM 18":
    // the list offers more ports than can be opened, and the link has the
    // last word on them), "Disconnect" while connected.
    void ConnectRequested(const QString& Port);
    void DisconnectRequested();
    void BaudChosen(const QString& Text);
    void UploadRequested();
    void DateTimeSyncRequested();
    // "Cancel" during an upload or a date-time sync.
    void CancelRequested();
    void MsgOnChosen(bool On);
    void LogoOnRequested();
    void LogoOffRequested();
    // The logo picture clicked: choose its bitmap.
    void LogoPictureRequested();
    // A bitmap dropped on the logo picture.
    void LogoFileDropped(const QString& File);
    void IdCodeEdited(const QString& Text);
    // A control bound one to one to integer setting Key (its project-file
    // key, DpuProject::TSettingsTable) chose Value: a list's index, a radio
    // button's number, a check box's 0 or 1.
    void SettingChosen(const QString& Key, int Value);

protected:
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ConnectIntents();
    QWidget* BuildRomBox(YVclUtil::Prompts* Prompts);
    QWidget* BuildLinkBox();
    QWidget* BuildLogoBox();
    QWidget* BuildDeviceBox();
    QLayout* BuildLogColumn();
    // Screen-reader names of the controls that have no caption of their own.
    void NameControls();
    // The controls bound one to one to an integer setting: they announce
    // SettingChosen, ShowSettings shows the record in them.
    TSettingBindings* FSettings = nullptr;
    // What "COM n" stands for, in words: the device, followed through a port
    // link to the device it names, or why there is none.
    static QString ComPortDeviceText(unsigned Number);

    QLineEdit* FRomFileName = nullptr;
    QPushButton* FRomImageView = nullptr;
    TFileBrowser* FBrowser = nullptr;
    QPushButton* FMakeRom = nullptr;
    QComboBox* FComPort = nullptr;
    QLabel* FComDevice = nullptr;
    QPushButton* FConnect = nullptr;
    QComboBox* FBaud = nullptr;
    QPushButton* FUpload = nullptr;
    QPushButton* FDateTimeSync = nullptr;
    QPushButton* FCancel = nullptr;
    bool FConnected = false;
    QProgressBar* FProgress = nullptr;
    QRadioButton* FLogoOff = nullptr;
    QRadioButton* FLogoOn = nullptr;
    QComboBox* FLogoSeconds = nullptr;
    TPictureBox* FLogo = nullptr;
    QLineEdit* FIdCode = nullptr;
    QComboBox* FPowerSaving = nullptr;
    QComboBox* FNodeAddress = nullptr;
    TChoiceBox* FMsgPos = nullptr;
    QCheckBox* FDateTimeCheck = nullptr;
    QPlainTextEdit* FLog = nullptr;
    QCheckBox* FMsgOn = nullptr;
};
