#include "formtesthelpers.h"
#include "tscriptedprompts.h"
#include "ttestworkspace.h"
#include "../link/detachprobe.h"

#include "serial/comports.h"
#include "serial/tcustomuart.h"
#include "util/crc8.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QRandomGenerator>

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

void SelectComPort(TForm1& Form, int Index) {
    auto* com = Find<QComboBox>(Form, "ComPortBox");
    com->setCurrentIndex(Index);
}

TEST(EditorLink, FailedConnectStaysDisconnected) {
    TTestWorkspace ws;
    LinkComPort(16, ws.Path() + "/no-such-device");
    TScriptedPrompts ask;
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

    TScriptedPrompts ask;
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
    TScriptedPrompts ask;
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
    QFile f(QString::fromStdString(romPath));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(64512, '\x11'));
    f.close();

    TScriptedPrompts ask;
    auto form = std::make_unique<TForm1>(&ask);
    form->show();
    SelectComPort(*form, 3);
    Click(*form, "ConnectButton");
    ask.QueueFile(romPath);
    Click(*form, "UploadButton");
    ASSERT_TRUE(
        WaitFor([&] { return Find<QProgressBar>(*form, "ProgressBar")->value() > 5; }, 30000));
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
    QFile f(QString::fromStdString(romPath));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(64512, '\x22'));
    f.close();

    TScriptedPrompts ask;
    auto form = std::make_unique<TForm1>(&ask);
    form->show();
    auto* uart = form->findChild<YVclCtrl::TCustomUart*>("PcUart1");
    ASSERT_NE(uart, nullptr);
    std::vector<bool> openWhenDetached;
    TDetachProbe::Wrap(*uart, openWhenDetached);
    SelectComPort(*form, 4);
    Click(*form, "ConnectButton");
    ask.QueueFile(romPath);
    Click(*form, "UploadButton");
    ASSERT_TRUE(
        WaitFor([&] { return Find<QProgressBar>(*form, "ProgressBar")->value() > 5; }, 30000));
    ASSERT_TRUE(uart->pr_IsOpened());
    form.reset();
    ASSERT_EQ(openWhenDetached.size(), 1u);
    EXPECT_FALSE(openWhenDetached[0]);
}

} // namespace
