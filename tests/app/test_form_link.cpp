#include "app/tmakepage.h"
#include "app/tqtprompts.h"
#include "apphelpers.h"
#include "tscriptededitorprompts.h"
#include "support/ttestworkspace.h"
#include "support/tdetachprobe.h"
#include "support/tptypair.h"

#include "serial/comports.h"
#include "serial/tcustomuart.h"
#include "util/crc8.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QRandomGenerator>
#include <QSignalSpy>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Points "COM n" at Target through the per-user ports folder.
void LinkComPort(unsigned N, const QString& Target) {
    const QString folder = QString::fromStdString(YVclCtrl::ComPortsFolder());
    QDir().mkpath(folder);
    const QString link = folder + QStringLiteral("COM%1").arg(N);
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(Target, link));
}

// The display simulator on a pseudo-terminal, for one transfer.
class TSimulator {
public:
    explicit TSimulator(const QString& Out) {
        const QString exe = QCoreApplication::applicationDirPath() + "/dpu510tk3-sim";
        if (!QFile::exists(exe)) return;
        Process.start(exe, {"--once", "--out", Out, "--c-interval-ms", "50"});
        if (!Process.waitForStarted(10000) ||
            !WaitFor([&] { return Process.canReadLine(); }, 10000))
            return;
        Pty = QString::fromLocal8Bit(Process.readLine()).trimmed();
    }
    ~TSimulator() {
        if (Process.state() != QProcess::NotRunning) {
            Process.terminate();
            if (!Process.waitForFinished(5000)) Process.kill();
            Process.waitForFinished(5000);
        }
    }
    // After --once the simulator stays until the host closes the port; this
    // bounds that wait generously (a loaded machine schedules the host late).
    bool WaitForExit() {
        return Process.state() == QProcess::NotRunning || Process.waitForFinished(60000);
    }
    QString Pty;
    QProcess Process;
};

void WriteFile(const std::string& Path, const QByteArray& Bytes) {
    QFile f(QString::fromStdString(Path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Bytes);
}

void SelectComPort(TForm1& Form, int Index) {
    auto* com = Find<QComboBox>(Form, "ComPortBox");
    com->setCurrentIndex(Index);
}

// Connects through the port at Index of the list and starts uploading Rom,
// agreeing when asked to send it.
void StartUpload(TForm1& Form, TScriptedEditorPrompts& Ask, int Index, const std::string& Rom) {
    SelectComPort(Form, Index);
    Click(Form, "ConnectButton");
    Ask.QueueFile(Rom);
    Ask.QueueYesNo(true);
    Click(Form, "UploadButton");
}

// True once the upload's progress bar has passed 5 frames.
bool UploadUnderWay(TForm1& Form) {
    return WaitFor([&] { return Find<QProgressBar>(Form, "ProgressBar")->value() > 5; }, 30000);
}

TEST(EditorLink, FailedConnectStaysDisconnected) {
    TTestWorkspace ws;
    LinkComPort(16, ws.Path() + "/no-such-device");
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    SelectComPort(form, 15);
    auto* device = Find<QLabel>(form, "ComPortDevice");
    EXPECT_EQ(device->text(), "Device: " + ws.Path() + "/no-such-device (not present)");
    SelectComPort(form, 17);
    EXPECT_TRUE(device->text().contains("not supported")) << device->text().toStdString();
    SelectComPort(form, 15);
    Click(form, "ConnectButton");
    EXPECT_EQ(Find<QAbstractButton>(form, "ConnectButton")->text().remove('&'), "Connect");
    EXPECT_TRUE(Find<QComboBox>(form, "ComPortBox")->isEnabled());
    EXPECT_FALSE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    EXPECT_FALSE(Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled());
    EXPECT_FALSE(LogText(form).isEmpty());
    EXPECT_FALSE(LogText(form).contains(">>> Open COM 16 <<<"));
}

// The window's Connect hands a port name to the link as the tool's --port
// does: "COM n" through its per-user link, a refused number keeps the port the
// component had (after its own box), and a device path is opened as it is.
TEST(EditorLink, ConnectChoosesThePortByNameThroughTheLink) {
    TTestWorkspace ws;
    TPtyPair pty;
    const QString slave = QString::fromStdString(pty.SlavePath);
    LinkComPort(10, slave);
    TakeErrorBoxes();
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    auto* com = Find<QComboBox>(form, "ComPortBox");
    SelectComPort(form, 9);
    Click(form, "ConnectButton");
    ASSERT_TRUE(form.Link().Connected()) << LogText(form).toStdString();
    EXPECT_TRUE(LogText(form).contains(">>> Open COM 10 <<<"));
    EXPECT_TRUE(TakeErrorBoxes().empty());
    Click(form, "ConnectButton");
    ASSERT_FALSE(form.Link().Connected());

    SelectComPort(form, 16);
    EXPECT_EQ(Find<QLabel>(form, "ComPortDevice")->text(),
              "COM 17 is not supported (COM 1 to COM 16)");
    Click(form, "ConnectButton");
    const auto boxes = TakeErrorBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "PcUart1");
    EXPECT_EQ(boxes[0].Text, "Invalid value !!!");
    EXPECT_TRUE(form.Link().Connected());
    EXPECT_TRUE(LogText(form).endsWith(">>> Open COM 10 <<<")) << LogText(form).toStdString();
    EXPECT_EQ(com->currentIndex(), 9);
    Click(form, "ConnectButton");

    // What the page would announce for a port typed as a path.
    emit form.findChild<TMakePage*>()->ConnectRequested(slave);
    ASSERT_TRUE(form.Link().Connected()) << LogText(form).toStdString();
    EXPECT_TRUE(LogText(form).endsWith(">>> Open " + slave + " <<<"))
        << LogText(form).toStdString();
    EXPECT_EQ(com->currentIndex(), 9);
    Click(form, "ConnectButton");
    EXPECT_TRUE(LogText(form).endsWith(">>> Close " + slave + " <<<"));
}

TEST(EditorLink, UploadThroughTheWindowReachesTheDisplay) {
    TTestWorkspace ws;
    TSimulator sim(ws.Path() + "/received.bin");
    if (sim.Pty.isEmpty()) GTEST_SKIP() << "the display simulator is not built";
    LinkComPort(2, sim.Pty);

    // Any 64512-byte image: the window sends its first 62464 bytes, the first 256 decoded.
    QByteArray rom(64512, 0);
    for (char& b : rom)
        b = static_cast<char>(QRandomGenerator::global()->generate());
    const std::string romPath = ws.File("UP.BIN");
    QFile f(QString::fromStdString(romPath));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(rom);
    f.close();

    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    SelectComPort(form, 1);
    Click(form, "ConnectButton");
    ASSERT_TRUE(LogText(form).contains(">>> Open COM 2 <<<")) << LogText(form).toStdString();
    EXPECT_EQ(Find<QAbstractButton>(form, "ConnectButton")->text().remove('&'), "Disconnect");
    EXPECT_FALSE(Find<QComboBox>(form, "ComPortBox")->isEnabled());
    EXPECT_TRUE(Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled());
    ASSERT_TRUE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());

    Click(form, "MsgOnCheck");
    ask.QueueFile(romPath);
    ask.QueueYesNo(true);
    Click(form, "UploadButton");
    EXPECT_FALSE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    // Date-Time Sync. waits while the image is on its way.
    EXPECT_FALSE(Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled());
    QCoreApplication::processEvents();
    EXPECT_FALSE(Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return LogText(form).contains("===> UpLoad ROM image finish.<==="); },
                        120000))
        << LogText(form).toStdString();
    EXPECT_TRUE(LogText(form).contains("*** UpLoad ROM image ***"));
    EXPECT_TRUE(LogText(form).contains("===> Send data block: 976,CRC = "));
    EXPECT_TRUE(LogText(form).contains("Time = "));
    // The bar went up to the last block and is back at 0 once the transfer ended.
    EXPECT_EQ(Find<QProgressBar>(form, "ProgressBar")->maximum(), 975);
    EXPECT_TRUE(
        WaitFor([&] { return Find<QProgressBar>(form, "ProgressBar")->value() == 0; }, 10000));
    EXPECT_TRUE(WaitFor(
        [&] { return Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled(); }, 10000));
    EXPECT_TRUE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    EXPECT_FALSE(LogText(form).contains("*** Warning"))
        << "a built image's size is no cause for a warning";

    // The simulator keeps the port until the window lets go of it.
    Click(form, "ConnectButton");
    EXPECT_TRUE(LogText(form).contains(">>> Close COM 2 <<<"));
    EXPECT_FALSE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    ASSERT_TRUE(sim.WaitForExit());
    QByteArray expected = rom.left(62464);
    for (int i = 0; i < 256; ++i)
        expected[i] = static_cast<char>(static_cast<uint8_t>(expected[i]) ^ YVclUtil::Crc8Table[i]);
    EXPECT_TRUE(ReadAll(ws.File("received.bin")) == expected);
}

TEST(EditorLink, DateTimeSyncThroughTheWindow) {
    TTestWorkspace ws;
    TSimulator sim(ws.Path() + "/unused.bin");
    if (sim.Pty.isEmpty()) GTEST_SKIP() << "the display simulator is not built";
    LinkComPort(3, sim.Pty);
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    SelectComPort(form, 2);
    Click(form, "ConnectButton");
    ASSERT_TRUE(Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled())
        << LogText(form).toStdString();
    Click(form, "DateTimeSyncButton");
    EXPECT_FALSE(Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled());
    EXPECT_TRUE(LogText(form).contains("*** Date & Time Sync. ***"));
    ASSERT_TRUE(WaitFor(
        [&] { return LogText(form).contains("===> Date & Time Sync. finish <==="); }, 60000))
        << LogText(form).toStdString() << "\nsimulator (state " << sim.Process.state()
        << "): " << sim.Process.readAll().toStdString()
        << sim.Process.readAllStandardError().toStdString();
    EXPECT_TRUE(Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled());
    Click(form, "ConnectButton");
    ASSERT_TRUE(sim.WaitForExit());
    EXPECT_TRUE(sim.Process.readAll().contains("Date-time: "));
}

// Closing the window in the middle of an upload releases the port at once.
TEST(EditorLink, ClosingWhileUploadingClosesThePort) {
    TTestWorkspace ws;
    TSimulator sim(ws.Path() + "/partial.bin");
    if (sim.Pty.isEmpty()) GTEST_SKIP() << "the display simulator is not built";
    LinkComPort(4, sim.Pty);
    const std::string romPath = ws.File("UP.BIN");
    WriteFile(romPath, QByteArray(64512, '\x11'));

    TScriptedEditorPrompts ask;
    auto form = std::make_unique<TForm1>(&ask);
    form->show();
    StartUpload(*form, ask, 3, romPath);
    ASSERT_TRUE(UploadUnderWay(*form));
    auto* uart = form->findChild<YVclCtrl::TCustomUart*>("PcUart1");
    ASSERT_NE(uart, nullptr);
    EXPECT_TRUE(uart->pr_IsOpened());
    form->close();
    EXPECT_FALSE(uart->pr_IsOpened());
    QTest::qWait(50);
    form.reset();
}

// Destroying the window mid-upload (no close first) closes the port before the
// link lets go of the component's handlers: its monitor thread reads them
// while the port is open.
TEST(EditorLink, DestroyingTheWindowMidUploadClosesThePortFirst) {
    TTestWorkspace ws;
    TSimulator sim(ws.Path() + "/partial.bin");
    if (sim.Pty.isEmpty()) GTEST_SKIP() << "the display simulator is not built";
    LinkComPort(5, sim.Pty);
    const std::string romPath = ws.File("UP.BIN");
    WriteFile(romPath, QByteArray(64512, '\x22'));

    TScriptedEditorPrompts ask;
    auto form = std::make_unique<TForm1>(&ask);
    form->show();
    auto* uart = form->findChild<YVclCtrl::TCustomUart*>("PcUart1");
    ASSERT_NE(uart, nullptr);
    std::vector<bool> openWhenDetached;
    TDetachProbe::Wrap(*uart, openWhenDetached);
    StartUpload(*form, ask, 4, romPath);
    ASSERT_TRUE(UploadUnderWay(*form));
    ASSERT_TRUE(uart->pr_IsOpened());
    form.reset();
    ASSERT_EQ(openWhenDetached.size(), 1u);
    EXPECT_FALSE(openWhenDetached[0]);
}

// MAKE ROM of a project with one label, into TOWER.BIN of the workspace
// (saved as tower.dcf first); returns the image's path.
std::string BuildTower(TTestWorkspace& Ws, TScriptedEditorPrompts& Ask, TForm1& Form) {
    TypeInCell(Form, 2, 1, "7");
    Find<QLineEdit>(Form, "RomFileNameEdit")->setText("TOWER.BIN");
    Form.Project().ROMFILENAME = "TOWER.BIN";
    Ask.QueueFile(Ws.File("tower.dcf"));
    Click(Form, "MakeRomButton");
    return Ws.File("TOWER.BIN");
}

// The upload offers the image MAKE ROM wrote, not one only looked at in the
// ROM image window, and asks before sending with the file's name and time.
TEST(EditorLink, UploadOffersTheBuiltImageAndNamesItBeforeSending) {
    TTestWorkspace ws;
    // A display that answers only what the test sends: the link opens SlavePath.
    TPtyPair pty;
    LinkComPort(6, QString::fromStdString(pty.SlavePath));
    const std::string other = ws.File("OTHER.BIN");
    WriteFile(other, QByteArray(64512, '\x33'));

    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    // Before any build: the file "ROM Filename:" names, in the working folder.
    Find<QLineEdit>(form, "RomFileNameEdit")->setText("NAMED.BIN");
    SelectComPort(form, 5);
    Click(form, "ConnectButton");
    ASSERT_TRUE(Find<QAbstractButton>(form, "UploadButton")->isEnabled())
        << LogText(form).toStdString();
    ask.QueueFile("");
    Click(form, "UploadButton");
    ASSERT_FALSE(ask.Suggestions.empty());
    EXPECT_EQ(ask.Suggestions.back(), QDir(ws.Path()).absoluteFilePath("NAMED.BIN").toStdString());

    const std::string built = BuildTower(ws, ask, form);
    ASSERT_TRUE(QFile::exists(QString::fromStdString(built))) << LogText(form).toStdString();

    // Another image opened in the ROM image window, then the window closed.
    bool viewed = false;
    QTimer::singleShot(0, [&] {
        QWidget* view = QApplication::activeModalWidget();
        if (!view) return;
        ask.QueueFile(other);
        if (auto* open = view->findChild<QAbstractButton*>("RomImageOpen")) {
            open->click();
            viewed = true;
        }
        view->close();
    });
    Click(form, "RomImageViewButton");
    ASSERT_TRUE(viewed);

    // The upload's dialog starts at the built image; the question names it.
    const size_t before = ask.Suggestions.size();
    ask.QueueFile(built);
    ask.QueueYesNo(false);
    Click(form, "UploadButton");
    ASSERT_EQ(ask.Suggestions.size(), before + 1);
    EXPECT_EQ(ask.Suggestions.back(),
              QFileInfo(QString::fromStdString(built)).absoluteFilePath().toStdString());
    ASSERT_EQ(ask.Questions.size(), 1u);
    const std::string& question = ask.Questions[0].second;
    EXPECT_NE(question.find("TOWER.BIN"), std::string::npos) << question;
    const QString time = QFileInfo(QString::fromStdString(built))
                             .lastModified()
                             .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    EXPECT_NE(question.find(time.toStdString()), std::string::npos) << question;
    // No: nothing starts.
    EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::Idle);
    EXPECT_TRUE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    EXPECT_FALSE(LogText(form).contains("*** UpLoad ROM image ***"));

    // Yes: the upload waits for the display.
    ask.QueueFile(built);
    ask.QueueYesNo(true);
    Click(form, "UploadButton");
    EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::RomUpload);
}

// Cancel ends an upload at once: the port stays connected, the log says at
// which frame, the bar goes back to 0, and the next upload can start.
TEST(EditorLink, CancelEndsAnUploadAndKeepsThePortConnected) {
    TTestWorkspace ws;
    // A display that answers only what the test sends: the link opens SlavePath.
    TPtyPair pty;
    LinkComPort(7, QString::fromStdString(pty.SlavePath));
    const std::string rom = ws.File("UP.BIN");
    WriteFile(rom, QByteArray(64512, '\x44'));

    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    auto* cancel = Find<QAbstractButton>(form, "CancelButton");
    ASSERT_NE(cancel, nullptr);
    EXPECT_FALSE(cancel->isEnabled());
    StartUpload(form, ask, 6, rom);
    ASSERT_EQ(form.Link().LinkState(), DpuLink::TLinkState::RomUpload);
    EXPECT_TRUE(cancel->isEnabled());
    ASSERT_TRUE(pty.Reply('C'));
    ASSERT_TRUE(WaitFor([&] { return form.Link().BlockNo() == 1; }, 30000));
    ASSERT_TRUE(pty.Reply(0x06));
    ASSERT_TRUE(WaitFor([&] { return form.Link().BlockNo() == 2; }, 30000));
    EXPECT_EQ(Find<QProgressBar>(form, "ProgressBar")->value(), 2);

    cancel->click();
    EXPECT_TRUE(LogText(form).contains("*** UpLoad ROM image cancelled at frame 2 of 976 ***"))
        << LogText(form).toStdString();
    EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::Idle);
    EXPECT_EQ(Find<QProgressBar>(form, "ProgressBar")->value(), 0);
    EXPECT_FALSE(cancel->isEnabled());
    auto* uart = form.findChild<YVclCtrl::TCustomUart*>("PcUart1");
    ASSERT_NE(uart, nullptr);
    EXPECT_TRUE(uart->pr_IsOpened());
    EXPECT_EQ(Find<QAbstractButton>(form, "ConnectButton")->text().remove('&'), "Disconnect");
    EXPECT_TRUE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    EXPECT_TRUE(WaitFor(
        [&] { return Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled(); }, 10000));
    EXPECT_FALSE(LogText(form).contains(">>> Close"));
}

// Esc does what Cancel does, for a date-time sync too; otherwise Esc is left
// to whoever has the focus.
TEST(EditorLink, CancelWithEscEndsADateTimeSync) {
    TTestWorkspace ws;
    // A display that answers only what the test sends: the link opens SlavePath.
    TPtyPair pty;
    LinkComPort(8, QString::fromStdString(pty.SlavePath));
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    QApplication::setActiveWindow(&form);
    auto* esc = form.findChild<QShortcut*>("CancelShortcut");
    ASSERT_NE(esc, nullptr);
    EXPECT_FALSE(esc->isEnabled());
    SelectComPort(form, 7);
    Click(form, "ConnectButton");
    Click(form, "DateTimeSyncButton");
    ASSERT_EQ(form.Link().LinkState(), DpuLink::TLinkState::DateTimeSync);
    EXPECT_TRUE(esc->isEnabled());
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(LogText(form).contains("*** Date & Time Sync. cancelled ***"))
        << LogText(form).toStdString();
    EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::Idle);
    EXPECT_FALSE(esc->isEnabled());
    EXPECT_TRUE(form.Link().Connected());
    EXPECT_TRUE(Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled());
}

// The Make page announces what the person asks for; the window answers.
TEST(EditorMakePage, AnnouncesIntentsInsteadOfHandingOutWidgets) {
    TTestWorkspace ws;
    TMakePage page(nullptr);
    QSignalSpy connect(&page, &TMakePage::ConnectRequested);
    QSignalSpy disconnect(&page, &TMakePage::DisconnectRequested);
    QSignalSpy upload(&page, &TMakePage::UploadRequested);
    QSignalSpy cancel(&page, &TMakePage::CancelRequested);
    QSignalSpy rom(&page, &TMakePage::RomFileChosen);
    QSignalSpy id(&page, &TMakePage::IdCodeEdited);
    QSignalSpy setting(&page, &TMakePage::SettingChosen);

    page.findChild<QComboBox*>("ComPortBox")->setCurrentIndex(2);
    page.findChild<QAbstractButton*>("ConnectButton")->click();
    ASSERT_EQ(connect.count(), 1);
    EXPECT_EQ(connect[0][0].toString(), "COM3");
    page.ShowLinkControls(true, true, true, false);
    page.findChild<QAbstractButton*>("ConnectButton")->click();
    EXPECT_EQ(disconnect.count(), 1);
    page.PressUpload();
    EXPECT_EQ(upload.count(), 1);
    page.PressCancel(); // not offered while idle
    EXPECT_EQ(cancel.count(), 0);
    page.ShowLinkControls(true, false, false, true);
    EXPECT_TRUE(page.CancelOffered());
    page.PressUpload(); // disabled during a transfer
    EXPECT_EQ(upload.count(), 1);
    page.PressCancel();
    EXPECT_EQ(cancel.count(), 1);

    auto* idEdit = page.findChild<QLineEdit*>("IdCodeEdit");
    QTest::keyClicks(idEdit, "A1");
    EXPECT_EQ(id.count(), 2);
    QListWidgetItem clicked(QStringLiteral("X.BIN"));
    emit page.findChild<QListWidget*>("FileList")->itemClicked(&clicked);
    ASSERT_EQ(rom.count(), 1);
    EXPECT_EQ(rom[0][0].toString(), "X.BIN");
    EXPECT_EQ(page.RomFileName(), "X.BIN");
    page.findChild<QAbstractButton*>("MsgPos0")->click();
    ASSERT_EQ(setting.count(), 1);
    EXPECT_EQ(setting[0][0].toString(), "DEF_MSGPOS");
    EXPECT_EQ(setting[0][1].toInt(), 0);
    page.findChild<QAbstractButton*>("DateTimeCheck")->click();
    ASSERT_EQ(setting.count(), 2);
    EXPECT_EQ(setting[1][0].toString(), "DISPDT");
    EXPECT_EQ(setting[1][1].toInt(), 1);
    emit page.findChild<QComboBox*>("NodeAddressBox")->activated(5);
    ASSERT_EQ(setting.count(), 3);
    EXPECT_EQ(setting[2][0].toString(), "NODEADDR");
    EXPECT_EQ(setting[2][1].toInt(), 5);
    emit page.findChild<QComboBox*>("PowerSavingBox")->activated(16);
    emit page.findChild<QComboBox*>("LogoSecondsBox")->activated(29);
    ASSERT_EQ(setting.count(), 5);
    EXPECT_EQ(setting[3][0].toString(), "PWRSAVING");
    EXPECT_EQ(setting[4][0].toString(), "SWAPTIME");

    // Showing the record announces nothing.
    DpuProject::TProject project;
    project.DISPDT = 0;
    project.DEF_MSGPOS = 2;
    project.CUSIDCODE = "ZZ";
    project.PWRSAVING = 7;
    project.NODEADDR = 64; // outside the list: its choice stays
    page.ShowSettings(project);
    EXPECT_EQ(id.count(), 2);
    EXPECT_EQ(setting.count(), 5);
    EXPECT_FALSE(page.findChild<QCheckBox*>("DateTimeCheck")->isChecked());
    EXPECT_TRUE(page.findChild<QAbstractButton*>("MsgPos2")->isChecked());
    EXPECT_EQ(page.findChild<QComboBox*>("PowerSavingBox")->currentIndex(), 7);
    EXPECT_EQ(page.findChild<QComboBox*>("NodeAddressBox")->currentIndex(), 0);
}

// A file that does not read as an image is sent only when the person says
// so; the port is not used before that, and the log keeps the reason.
TEST(EditorLink, UploadOfAFileThatIsNoImageAsksBeforeSending) {
    TTestWorkspace ws;
    // A display that answers only what the test sends: the link opens SlavePath.
    TPtyPair pty;
    LinkComPort(9, QString::fromStdString(pty.SlavePath));
    QByteArray noise(64512, 0);
    for (char& b : noise)
        b = static_cast<char>(QRandomGenerator::global()->generate());
    const std::string junk = ws.File("JUNK.BIN");
    WriteFile(junk, noise);
    const std::string empty = ws.File("EMPTY.BIN");
    WriteFile(empty, QByteArray());

    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    SelectComPort(form, 8);
    Click(form, "ConnectButton");
    ASSERT_TRUE(form.Link().Connected()) << LogText(form).toStdString();

    for (const std::string& file : {junk, empty}) {
        ask.Questions.clear();
        ask.QueueFile(file);
        ask.QueueYesNo(false);
        Click(form, "UploadButton");
        ASSERT_EQ(ask.Questions.size(), 1u) << file;
        EXPECT_EQ(ask.Questions[0].first, "Warning");
        const std::string& text = ask.Questions[0].second;
        EXPECT_EQ(text.rfind("Not a ROM image!!\n\n", 0), 0u) << text;
        EXPECT_NE(text.find(QFileInfo(QString::fromStdString(file)).fileName().toStdString()),
                  std::string::npos);
        EXPECT_NE(text.find("Send it anyway?"), std::string::npos);
        EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::Idle);
        EXPECT_FALSE(LogText(form).contains("*** UpLoad ROM image ***"));
        EXPECT_TRUE(LogText(form).contains(
            QString::fromStdString("[Warning] ROM file " + file + " is not a ROM image: ")))
            << LogText(form).toStdString();
        EXPECT_TRUE(LogText(form).contains("(not sent)"));
        EXPECT_TRUE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    }

    // Yes: sent as it is, and the log says so after the start lines.
    ask.QueueFile(junk);
    ask.QueueYesNo(true);
    Click(form, "UploadButton");
    EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::RomUpload);
    EXPECT_TRUE(LogText(form).startsWith("*** UpLoad ROM image ***"));
    EXPECT_TRUE(LogText(form).contains("(sent as asked)"));
    Click(form, "CancelButton");
    EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::Idle);
}

// The bytes checked and agreed to are the bytes sent, however the file
// changes while the question is open; a disconnect ends the upload for good;
// a port lost while the question is open is never sent to.
TEST(EditorLink, UploadSendsWhatWasCheckedAndNeverOnAClosedPort) {
    TTestWorkspace ws;
    // A display that answers only what the test sends: the link opens SlavePath.
    TPtyPair pty;
    LinkComPort(11, QString::fromStdString(pty.SlavePath));
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    const std::string built = BuildTower(ws, ask, form);
    const QByteArray checked = ReadAll(built);
    ASSERT_EQ(checked.size(), 64512) << LogText(form).toStdString();
    SelectComPort(form, 10);
    Click(form, "ConnectButton");
    ASSERT_TRUE(form.Link().Connected()) << LogText(form).toStdString();

    QByteArray noise(64512, 0);
    for (char& b : noise)
        b = static_cast<char>(QRandomGenerator::global()->generate());
    ask.WhileAsking = [&] { WriteFile(built, noise); };
    ask.QueueFile(built);
    ask.QueueYesNo(true);
    Click(form, "UploadButton");
    ask.WhileAsking = nullptr;
    ASSERT_EQ(ask.Questions.size(), 1u);
    EXPECT_EQ(ask.Questions[0].first, "UpLoad ROM Image");
    ASSERT_EQ(form.Link().LinkState(), DpuLink::TLinkState::RomUpload);
    EXPECT_FALSE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    ASSERT_TRUE(pty.Reply('C'));
    const std::string frame = pty.Read(68, 30000);
    ASSERT_EQ(frame.size(), 68u);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(static_cast<uint8_t>(frame[3 + i]),
                  static_cast<uint8_t>(checked[i]) ^ YVclUtil::Crc8Table[i])
            << i;
    ASSERT_TRUE(pty.Reply(0x06));
    ASSERT_TRUE(WaitFor([&] { return form.Link().BlockNo() == 2; }, 30000));

    // Disconnect: the upload is over, and stays over after a reconnect.
    Click(form, "ConnectButton");
    EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::Idle);
    EXPECT_EQ(Find<QProgressBar>(form, "ProgressBar")->value(), 0);
    EXPECT_FALSE(Find<QAbstractButton>(form, "CancelButton")->isEnabled());
    EXPECT_EQ(LogText(form).count("*** UpLoad ROM image cancelled at frame 2 of 976 ***"), 1)
        << LogText(form).toStdString();
    Click(form, "ConnectButton");
    ASSERT_TRUE(form.Link().Connected()) << LogText(form).toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::Idle);
    EXPECT_TRUE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    EXPECT_FALSE(Find<QAbstractButton>(form, "CancelButton")->isEnabled());

    // The port goes while the question is open: Yes starts nothing.
    WriteFile(built, checked);
    ask.WhileAsking = [&] {
        ::close(pty.Slave); // only the window holds the terminal now
        pty.Slave = -1;
        pty.CloseMaster();
        EXPECT_TRUE(WaitFor([&] { return !form.Link().Connected(); }, 30000));
    };
    ask.QueueFile(built);
    ask.QueueYesNo(true);
    Click(form, "UploadButton");
    ask.WhileAsking = nullptr;
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Link().LinkState(), DpuLink::TLinkState::Idle);
    EXPECT_TRUE(LogText(form).contains("*** UpLoad ROM image not started: COM 11 is not open ***"))
        << LogText(form).toStdString();
    EXPECT_FALSE(LogText(form).contains("respond timeout"));
    EXPECT_FALSE(Find<QAbstractButton>(form, "CancelButton")->isEnabled());
    EXPECT_FALSE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    EXPECT_EQ(Find<QAbstractButton>(form, "ConnectButton")->text().remove('&'), "Connect");
}

// The window's own Yes/No box answers No to Enter: sending anyway, and
// every other question, needs a deliberate Yes.
TEST(EditorLink, QuestionsDefaultToNo) {
    TQtPrompts prompts;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen = static_cast<QAbstractButton*>(box->defaultButton()) == box->button(QMessageBox::No);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_FALSE(prompts.AskYesNo("Warning", "Not a ROM image!!\n\nSend it anyway?\n"));
    EXPECT_TRUE(seen);
}

} // namespace
