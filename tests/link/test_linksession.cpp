#include "support/tdetachprobe.h"
#include "support/tptypair.h"
#include "support/waithelpers.h"
#include "support/tfakeclock.h"
#include "support/tfaketimer.h"
#include "support/trecordingport.h"
#include "support/trecordingsink.h"
#include "support/tscriptedprompts.h"

#include "link/linksession.h"
#include "rom/tuploadimage.h"
#include "link/portname.h"
#include "link/systemlinkclock.h"
#include "link/qtlinktimer.h"
#include "link/uartlinkport.h"
#include "serial/comports.h"
#include "serial/tcustomuart.h"
#include "util/errmsgbox.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <utility>
#include <vector>

using namespace DpuLink;
using DpuRom::TUploadImage;

namespace {

class LinkSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(Pty.SlavePath.empty()) << "no pseudo-terminal"; }

    std::unique_ptr<TLinkSession> Connected() {
        auto s = std::make_unique<TLinkSession>(Log, 10000);
        std::string reason;
        EXPECT_TRUE(s->SelectPort(Pty.SlavePath, reason)) << reason;
        TDetachProbe::Wrap(s->Uart(), OpenWhenDetached);
        EXPECT_TRUE(s->Link().Connect()) << s->Uart().pr_LastErrMsg();
        return s;
    }

    // The display's end; the link opens SlavePath.
    TPtyPair Pty;
    TRecordingSink Log;
    std::vector<bool> OpenWhenDetached;
};

TEST_F(LinkSessionTest, DestroyedWhileConnectedClosesThePortBeforeDetaching) {
    auto session = Connected();
    YVclCtrl::TCustomUart* uart = &session->Uart();
    ASSERT_TRUE(uart->pr_IsOpened());
    EXPECT_EQ(uart->objectName(), "PcUart1");
    session.reset();
    ASSERT_EQ(OpenWhenDetached.size(), 1u);
    EXPECT_FALSE(OpenWhenDetached[0]);
}

TEST_F(LinkSessionTest, DestroyedDuringAnUploadClosesThePortBeforeDetaching) {
    QTemporaryDir dir;
    const std::string rom = dir.filePath("ROM.BIN").toStdString();
    std::ofstream(rom, std::ios::binary).write(std::string(64512, '\x5A').data(), 64512);

    auto session = Connected();
    TDeviceLink& link = session->Link();
    ASSERT_TRUE(link.StartUpload(TUploadImage::Read(rom)));
    ASSERT_TRUE(Pty.Reply('C'));
    ASSERT_TRUE(WaitFor([&] { return link.BlockNo() == 1; }, 20000));
    ASSERT_TRUE(Pty.Reply(0x06));
    ASSERT_TRUE(WaitFor([&] { return link.BlockNo() == 2; }, 20000));
    EXPECT_EQ(link.LinkState(), TLinkState::RomUpload);
    session.reset();
    ASSERT_EQ(OpenWhenDetached.size(), 1u);
    EXPECT_FALSE(OpenWhenDetached[0]);
}

// Cancel during an upload over a real port: RunUntilEnded returns at once
// with Cancelled and the port stays open for the next transfer.
TEST_F(LinkSessionTest, CancelEndsRunUntilEndedAndKeepsThePortOpen) {
    QTemporaryDir dir;
    const std::string rom = dir.filePath("ROM.BIN").toStdString();
    std::ofstream(rom, std::ios::binary).write(std::string(64512, '\x3C').data(), 64512);

    auto session = Connected();
    TDeviceLink& link = session->Link();
    EXPECT_FALSE(session->Cancel());
    ASSERT_TRUE(link.StartUpload(TUploadImage::Read(rom)));
    ASSERT_TRUE(Pty.Reply('C'));
    ASSERT_TRUE(WaitFor([&] { return link.BlockNo() == 1; }, 20000));
    // The person cancels while the session waits for the display.
    QTimer::singleShot(0, [&] { session->Cancel(); });
    EXPECT_EQ(session->RunUntilEnded(), TLinkOutcome::Cancelled);
    EXPECT_TRUE(Log.Has("*** UpLoad ROM image cancelled at frame 1 of 976 ***"));
    EXPECT_TRUE(session->Uart().pr_IsOpened());
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(link.LinkState(), TLinkState::Idle);

    link.StartDateTimeSync();
    QTimer::singleShot(0, [&] { session->Cancel(); });
    EXPECT_EQ(session->RunUntilEnded(), TLinkOutcome::Cancelled);
    EXPECT_TRUE(Log.Has("*** Date & Time Sync. cancelled ***"));
    EXPECT_TRUE(session->Uart().pr_IsOpened());
}

// The window closes the port and keeps the link's state, as closing it did before.
TEST_F(LinkSessionTest, ReleasePortClosesAndKeepsTheTransferState) {
    auto session = Connected();
    session->Link().StartDateTimeSync();
    session->ReleasePort();
    EXPECT_FALSE(session->Uart().pr_IsOpened());
    EXPECT_EQ(session->Link().LinkState(), TLinkState::DateTimeSync);
    EXPECT_TRUE(OpenWhenDetached.empty());
}

// Whoever binds a port by hand (the upload benchmark) gets the same order.
TEST_F(LinkSessionTest, BoundPortClosesTheComponentBeforeDetaching) {
    YVclCtrl::TCustomUart uart;
    TUartLinkPort::ApplyLinkSettings(uart);
    uart.pw_UartDevicePath(Pty.SlavePath);
    auto port = std::make_unique<TUartLinkPort>(uart);
    TQtLinkTimer timer;
    TSystemLinkClock clock;
    TDeviceLink link(*port, timer, clock, Log);
    port->Bind(link);
    TDetachProbe::Wrap(uart, OpenWhenDetached);
    ASSERT_TRUE(link.Connect()) << uart.pr_LastErrMsg();
    port.reset();
    EXPECT_FALSE(uart.pr_IsOpened());
    ASSERT_EQ(OpenWhenDetached.size(), 1u);
    EXPECT_FALSE(OpenWhenDetached[0]);
}

// Every way of naming a port goes through SelectPort, and the component's
// limit is the only one: a refused number leaves the previous choice.
TEST_F(LinkSessionTest, SelectPortTakesComNamesAndDevicePathsAndKeepsTheLimit) {
    std::vector<std::pair<std::string, std::string>> boxes;
    const YVclUtil::ErrMsgBoxHandler before =
        YVclUtil::SetErrMsgBoxHandler([&](const std::string& Caption, const std::string& Text) {
            boxes.emplace_back(Caption, Text);
        });
    TLinkSession session(Log, 10000);
    std::string reason;
    EXPECT_TRUE(session.SelectPort("com 3", reason));
    EXPECT_EQ(session.ComPortNumber(), 3u);
    EXPECT_EQ(session.Uart().pr_UartDevicePath(), "");
    const unsigned last = TPortName::kComPortCount;
    EXPECT_TRUE(session.SelectPort("COM" + std::to_string(last), reason));
    EXPECT_EQ(session.ComPortNumber(), last);
    EXPECT_TRUE(boxes.empty());

    for (const std::string& name : {"COM" + std::to_string(last + 1), std::string("COM 18"),
                                    std::string("COM0"), std::string("com999")}) {
        SCOPED_TRACE(name);
        boxes.clear();
        reason.clear();
        EXPECT_FALSE(session.SelectPort(name, reason));
        EXPECT_NE(reason.find("is out of range (COM1 to COM" + std::to_string(last) + ")"),
                  std::string::npos)
            << reason;
        EXPECT_EQ(session.ComPortNumber(), last);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0],
                  std::make_pair(std::string("PcUart1"), std::string("Invalid value !!!")));
    }
    EXPECT_FALSE(session.SelectPort("COM17", reason));
    EXPECT_EQ(reason, "port number 17 is out of range (COM1 to COM16)");

    // A device path, then a refused number: the path stays chosen and opens.
    EXPECT_TRUE(session.SelectPort(Pty.SlavePath, reason));
    EXPECT_EQ(session.ComPortNumber(), 0u);
    EXPECT_FALSE(session.SelectPort("COM20", reason));
    EXPECT_EQ(session.ComPortNumber(), 0u);
    ASSERT_TRUE(session.Link().Connect()) << session.Uart().pr_LastErrMsg();
    EXPECT_TRUE(Log.Has(">>> Open " + Pty.SlavePath + " <<<"));
    session.Link().Disconnect();
    YVclUtil::SetErrMsgBoxHandler(before);
}

// A COM name opens what the port's link in the per-user folder points at.
TEST_F(LinkSessionTest, SelectPortByComNameOpensTheLinkedDevice) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    const std::string folder = YVclCtrl::ComPortsFolder();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    ASSERT_EQ(symlink(Pty.SlavePath.c_str(), (folder + "COM7").c_str()), 0);
    EXPECT_EQ(TPortName::ComDevice(7), folder + "COM7");
    EXPECT_EQ(TPortName::ComDevice(TPortName::kComPortCount + 1), "");
    EXPECT_EQ(TPortName::ComDevice(0), "");

    TLinkSession session(Log, 10000);
    std::string reason;
    ASSERT_TRUE(session.SelectPort("COM7", reason)) << reason;
    ASSERT_TRUE(session.Link().Connect()) << session.Uart().pr_LastErrMsg();
    EXPECT_TRUE(Log.Has(">>> Open COM 7 <<<"));
    session.Link().StartDateTimeSync();
    ASSERT_TRUE(Pty.Reply('C'));
    const std::string frame = Pty.Read(68, 20000);
    ASSERT_EQ(frame.size(), 68u);
    EXPECT_EQ(frame[0], 0x01);
    session.Link().Disconnect();
    if (oldXdg.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldXdg);
}

// A reply the previous opener never read is not taken as the display's
// answer: the date-time sync waits for the display's own "C".
TEST_F(LinkSessionTest, BytesLeftFromAnEarlierOpenerAreNoAnswer) {
    ASSERT_TRUE(Pty.Reply(0x06));
    auto session = Connected();
    TDeviceLink& link = session->Link();
    link.StartDateTimeSync();
    ASSERT_TRUE(Pty.Reply('C'));
    const std::string frame = Pty.Read(68, 20000);
    ASSERT_EQ(frame.size(), 68u) << "no date-time frame; log: "
                                 << (Log.Log.empty() ? "" : Log.Log.back());
    EXPECT_EQ(frame[0], 0x01);
    EXPECT_EQ(link.LinkState(), TLinkState::DateTimeSync);
    EXPECT_FALSE(Log.Has("===> Date & Time Sync. finish <==="));
}

} // namespace
