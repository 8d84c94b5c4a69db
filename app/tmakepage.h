#pragma once

#include "project/tproject.h"
#include "util/prompts.h"

#include <QString>
#include <QWidget>

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

// The "Make" tab: the ROM file with its browser and "MAKE ROM", the serial
// link ("COM port:", "Connect", "UpLoad ROM Image", "Date-Time Sync.", the
// progress bar), the customer logo, the device settings, the message
// positions and the message log with "Msg. on". It only shows what it is
// given; the window binds its controls to the project and the link.
class TMakePage : public QWidget {
    Q_OBJECT
public:
    // Prompts answers the file browser's questions; it must outlive the page.
    explicit TMakePage(YVclUtil::Prompts* Prompts, QWidget* Parent = nullptr);

    // "COM 1".."COM 16" can be opened; the list offers up to "COM 20".
    static constexpr unsigned UsableComPorts = 16;

    void AppendLog(const QString& Line);
    void ClearLog();
    // What the chosen "COM n" stands for, beside the list and in its tool tips.
    void ShowComPortDevice();
    // 1-based number of the chosen "COM n".
    unsigned SelectedComPort() const;
    // Shows "COM Number" as the chosen port (nothing for a number not in the list).
    void SelectComPort(unsigned Number);
    void ShowLinkControls(bool Connected, bool UploadEnabled, bool SyncEnabled);
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

    QLineEdit* RomFileNameEdit() const { return FRomFileName; }
    QPushButton* RomImageViewButton() const { return FRomImageView; }
    TFileBrowser* Browser() const { return FBrowser; }
    QPushButton* MakeRomButton() const { return FMakeRom; }
    QComboBox* ComPortBox() const { return FComPort; }
    QPushButton* ConnectButton() const { return FConnect; }
    QComboBox* BaudBox() const { return FBaud; }
    QPushButton* UploadButton() const { return FUpload; }
    QPushButton* DateTimeSyncButton() const { return FDateTimeSync; }
    QCheckBox* MsgOnCheck() const { return FMsgOn; }
    QRadioButton* LogoOffButton() const { return FLogoOff; }
    QRadioButton* LogoOnButton() const { return FLogoOn; }
    QComboBox* LogoSecondsBox() const { return FLogoSeconds; }
    TPictureBox* Logo() const { return FLogo; }
    QLineEdit* IdCodeEdit() const { return FIdCode; }
    QComboBox* PowerSavingBox() const { return FPowerSaving; }
    QComboBox* NodeAddressBox() const { return FNodeAddress; }
    TChoiceBox* MsgPosBox() const { return FMsgPos; }
    QCheckBox* DateTimeCheck() const { return FDateTimeCheck; }

private:
    QWidget* BuildRomBox(YVclUtil::Prompts* Prompts);
    QWidget* BuildLinkBox();
    QWidget* BuildLogoBox();
    QWidget* BuildDeviceBox();
    QLayout* BuildLogColumn();
    // Screen-reader names of the controls that have no caption of their own.
    void NameControls();
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
