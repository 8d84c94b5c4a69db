#include "support/tdetachprobe.h"
#include "support/tptypair.h"
#include "support/waithelpers.h"
#include "support/tfakeclock.h"
#include "support/tfaketimer.h"
#include "support/trecordingport.h"
#include "support/trecordingsink.h"
#include "support/tscriptedprompts.h"

#include "link/linksession.h"
#include "link/systemlinkclock.h"
#include "link/qtlinktimer.h"
#include "link/uartlinkport.h"
#include "serial/tcustomuart.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <memory>

using namespace DpuLink;

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
    ASSERT_TRUE(link.StartUpload(rom));
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
    ASSERT_TRUE(link.StartUpload(rom));
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

} // namespace
