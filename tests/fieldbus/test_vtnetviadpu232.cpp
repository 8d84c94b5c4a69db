#include "fieldbus/tdpu4i4o.h"
#include "fieldbus/tpcuart.h"
#include "fieldbus/tvtnetlinecodec.h"
#include "fieldbus/vtnmessages.h"
#include "trecordinglink.h"
#include "ttopologyfile.h"
#include "util/exception.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <random>

using namespace OrvCtrl;
using fbtest::TRecordingLink;

namespace {

struct Events {
    int ok = 0, fail = 0, txdFail = 0, yout = 0, xin = 0, flags = 0, resetOk = 0, resetWdt = 0;
    void Attach(TVTNetViaDpu232& link) {
        link.OnConnectOK = [this](QObject*) { ++ok; };
        link.OnConnectFail = [this](QObject*) { ++fail; };
        link.OnUartTxdFail = [this](QObject*) { ++txdFail; };
        link.OnReplyYout = [this](QObject*) { ++yout; };
        link.OnReplyXin = [this](QObject*) { ++xin; };
        link.OnReplyVtnFlags = [this](QObject*) { ++flags; };
        link.OnResetRnsm_OK = [this](QObject*) { ++resetOk; };
        link.OnResetRnsm_WDT = [this](QObject*) { ++resetWdt; };
    }
};

struct Fixture {
    fbtest::TTopologyFile files;
    TRecordingLink link;
    Events ev;
    Fixture() {
        link.setObjectName("VTNet1");
        link.pw_FileName(files.Write(fbtest::EmptyTopology()));
        ev.Attach(link);
    }
};

std::string ExceptionText(const std::function<void()>& f) {
    try {
        f();
    } catch (const YVclUtil::Exception& e) {
        return e.Message;
    }
    return "<none>";
}

} // namespace

TEST(VtnViaDpu232, PortSettingsAndDefaults) {
    TVTNetViaDpu232 link(nullptr);
    TPcUart* u = link.pr_Uart();
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->parent(), &link);
    EXPECT_EQ(u->pr_UartBaud(), 38400u);
    EXPECT_EQ(u->pr_UartBitsPerByte(), 8u);
    EXPECT_EQ(u->pr_UartParityBit(), YVclCtrl::upb_None);
    EXPECT_EQ(u->pr_FlowCtrlStyle(), YVclCtrl::fcs_Hardware);
    EXPECT_EQ(u->pr_FlowCtrlHwRxd(), YVclCtrl::fchr_None);
    EXPECT_EQ(u->pr_FlowCtrlHwTxd(), YVclCtrl::fcht_CTS);
    EXPECT_EQ(u->pr_SysUartTxdQueueSize(), 8192u);
    EXPECT_EQ(u->pr_SysUartRxdQueueSize(), 8192u);
    EXPECT_EQ(u->pr_RxdFilter_Style(), YVclCtrl::rfs_ByDelimiterChar);
    EXPECT_EQ(u->pr_RxdFilter_DelimiterChar(), '\n');
    EXPECT_TRUE(static_cast<bool>(u->OnRxdDatas));
    EXPECT_EQ(link.pr_UartPortNumber(), 1u);
    EXPECT_EQ(link.pr_TimeoutTimer()->interval(), 2000);
    EXPECT_FALSE(link.pr_TimeoutTimer()->isActive());
    EXPECT_FALSE(link.pr_Connected());
    EXPECT_EQ(ExceptionText([&] { link.pr_Yout(); }), VtnMsg::NotConnected);
    EXPECT_EQ(ExceptionText([&] { link.QueryXin(); }), VtnMsg::NotConnected);
    EXPECT_EQ(ExceptionText([&] { link.SendTxtFileToRS232("x", 0); }), VtnMsg::NotConnected);
}

TEST(VtnViaDpu232, ConnectNeedsTheThreeHandlersAndAnOpenPort) {
    Fixture f;
    f.link.OnUartTxdFail = nullptr;
    EXPECT_EQ(ExceptionText([&] { f.link.Connect(); }),
              "The event \"OnUartTxdFail\" of TVTNetViaDpu232, which handler is not specified !!!");
    f.link.OnConnectFail = nullptr;
    EXPECT_EQ(ExceptionText([&] { f.link.Connect(); }),
              "The event \"OnConnectFail\" of TVTNetViaDpu232, which handler is not specified !!!");
    f.link.OnConnectOK = nullptr;
    EXPECT_EQ(ExceptionText([&] { f.link.Connect(); }),
              "The event \"OnConnectOK\" of TVTNetViaDpu232, which handler is not specified !!!");
    EXPECT_EQ(f.link.OpenCount, 0);

    f.ev.Attach(f.link);
    f.link.pw_FileName(f.files.Path("absent.ini"));
    EXPECT_NE(ExceptionText([&] { f.link.Connect(); }).find("is not exist"), std::string::npos);
    EXPECT_EQ(f.link.OpenCount, 0); // the topology is checked before the port is touched

    f.link.pw_FileName(f.files.Write(fbtest::EmptyTopology()));
    f.link.OpenResult = false;
    EXPECT_EQ(ExceptionText([&] { f.link.Connect(); }), VtnMsg::OpenUartFail);
    EXPECT_FALSE(f.link.pr_Connecting());

    // A failed handshake send closes the port and reports both events.
    f.link.OpenResult = true;
    f.link.SendResult = 1;
    bool openAtTxdFail = true;
    f.link.OnUartTxdFail = [&](QObject*) {
        ++f.ev.txdFail;
        openAtTxdFail = f.link.PortOpen || f.link.pr_Connecting();
    };
    f.link.Connect();
    EXPECT_FALSE(openAtTxdFail);
    EXPECT_EQ(f.ev.txdFail, 1);
    EXPECT_EQ(f.ev.fail, 1);
    EXPECT_FALSE(f.link.PortOpen);
    EXPECT_FALSE(f.link.pr_Connecting());
    EXPECT_FALSE(f.link.pr_TimeoutTimer()->isActive());
}

TEST(VtnViaDpu232, HandshakeCompletesOnTheNinthReplyInAnyOrder) {
    std::vector<std::string> replies = {"*R3=10\n", "*R4=11\n", "*R5=12\n", "*R6=13\n",  "*R7=08\n",
                                        "*R8=01\n", "*R9=02\n", "*R0=03\n", "*R1=0F\r\n"};
    std::mt19937 rng(7);
    for (int round = 0; round < 4; ++round) {
        Fixture f;
        f.link.Connect();
        EXPECT_EQ(f.link.TakeSent(), TVTNetLineCodec::HandshakeLine());
        EXPECT_TRUE(f.link.pr_Connecting());
        EXPECT_TRUE(f.link.pr_TimeoutTimer()->isActive());
        std::shuffle(replies.begin(), replies.end(), rng);
        for (size_t i = 0; i < replies.size(); ++i) {
            EXPECT_EQ(f.ev.ok, 0) << "before reply " << i;
            f.link.Feed(replies[i]);
            f.link.Feed("*R0=5\n"); // malformed lines change nothing
        }
        EXPECT_EQ(f.ev.ok, 1);
        EXPECT_EQ(f.ev.yout + f.ev.xin, 0); // handshake replies raise no reply events
        EXPECT_TRUE(f.link.pr_Connected());
        EXPECT_FALSE(f.link.pr_Connecting());
        EXPECT_FALSE(f.link.pr_TimeoutTimer()->isActive());
        EXPECT_EQ(f.link.pr_R7(), 0x08);
        EXPECT_EQ(f.link.pr_Xin(), 0x0F);
        EXPECT_EQ(f.link.pr_Yout(), 0x03);
        EXPECT_EQ(f.link.pr_R9(), 0x02);
        EXPECT_EQ(ExceptionText([&] { f.link.pw_UartPortNumber(3); }), VtnMsg::NowConnected);
    }
}

TEST(VtnViaDpu232, HandshakeTimesOutAfter2000msWithThePortClosed) {
    Fixture f;
    f.link.Connect();
    for (const char* line : {"*R3=10\n", "*R4=11\n", "*R5=12\n", "*R6=13\n", "*R7=08\n", "*R8=01\n",
                             "*R0=03\n", "*R1=0F\n", "*RE=00\n" /* R9 never answers */})
        f.link.Feed(line);
    EXPECT_EQ(f.ev.ok, 0);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.ev.fail > 0; }, 4000));
    EXPECT_GE(clock.elapsed(), 1990);
    EXPECT_EQ(f.ev.fail, 1);
    EXPECT_FALSE(f.link.PortOpen);
    EXPECT_FALSE(f.link.pr_Connected());
    EXPECT_FALSE(f.link.pr_Connecting());
    // A late reply changes nothing.
    f.link.Feed("*R9=00\n");
    EXPECT_EQ(f.ev.ok, 0);
}

TEST(VtnViaDpu232, DisconnectDuringTheHandshakeCancelsTheTimeOut) {
    Fixture f;
    f.link.Connect();
    f.link.Disconnect();
    EXPECT_FALSE(f.link.pr_TimeoutTimer()->isActive());
    EXPECT_FALSE(f.link.PortOpen);
    // A second Connect on a live link starts over and completes again.
    f.link.ConnectAndAnswer();
    f.link.ConnectAndAnswer();
    EXPECT_EQ(f.ev.ok, 2);
    f.link.Feed("*R0=01\n");
    EXPECT_EQ(f.ev.yout, 1);
    EXPECT_EQ(f.ev.fail, 0);
}

TEST(VtnViaDpu232, RegisterAccessWhileConnected) {
    Fixture f;
    f.link.ConnectAndAnswer();
    f.link.Feed("*R0=01\n");
    EXPECT_EQ(f.ev.yout, 1);
    f.link.pw_Y(2, true);
    EXPECT_EQ(f.link.TakeSent(), " +R0=05\r\n");
    f.link.pw_Y(0, false);
    f.link.pw_Y(4, true); // out of range: nothing
    EXPECT_EQ(f.link.TakeSent(), " +R0=04\r\n");
    EXPECT_TRUE(f.link.pr_Y(2));
    EXPECT_FALSE(f.link.pr_Y(7));

    f.link.Feed("*R1=01\n");
    f.link.Feed("*R1=03\n");
    EXPECT_EQ(f.ev.xin, 2);
    EXPECT_EQ(f.link.pr_Old_X(), 0x01);
    EXPECT_EQ(f.link.pr_Xin(), 0x03);
    EXPECT_TRUE(f.link.pr_X(1));
    EXPECT_FALSE(f.link.pr_Old_X(1));

    f.link.pw_R8(0x3C);
    f.link.pw_R9(0x01);
    f.link.QueryYout();
    f.link.QueryXin();
    f.link.QueryVtnFlags();
    EXPECT_EQ(f.link.TakeSent(), " +R8=3C\r\n ?R8\r\n +R9=01\r\n ?R9\r\n ?R0\r\n ?R1\r\n ?RE\r\n");
    f.link.Feed("*RE=81\n");
    EXPECT_EQ(f.ev.flags, 1);
    EXPECT_EQ(f.link.pr_RE(), 0x81);

    // A failed write raises OnUartTxdFail, never an exception.
    f.link.SendResult = 4;
    EXPECT_NO_THROW(f.link.pw_Yout(0x0F));
    EXPECT_EQ(f.ev.txdFail, 1);
    EXPECT_EQ(f.link.pr_Yout(), 0x0F);
}

TEST(VtnViaDpu232, WatchdogResetRestoresTheOutputs) {
    Fixture f;
    f.link.ConnectAndAnswer();
    f.link.pw_Yout(0x0A);
    f.link.TakeSent();
    f.link.Feed("*RF=00\n");
    EXPECT_EQ(f.link.TakeSent(), " +R0=0A\r\n");
    EXPECT_EQ(f.ev.resetWdt, 1);
    EXPECT_EQ(f.ev.resetOk, 0);

    f.link.ResetRnsm();
    EXPECT_EQ(f.link.TakeSent(), " +R0=00\r\n +RF=00\r\n");
    EXPECT_TRUE(f.link.pr_ResetPending());
    f.link.Feed("*RF=00\n");
    EXPECT_EQ(f.link.TakeSent(), "");
    EXPECT_EQ(f.ev.resetOk, 1);
    EXPECT_EQ(f.ev.resetWdt, 1);
    EXPECT_FALSE(f.link.pr_ResetPending());
}

TEST(VtnViaDpu232, PacketsOutAndIn) {
    Fixture f;
    f.link.ConnectAndAnswer(0x02);
    _SVTNTXDPACKET p;
    p.VtnSegId = 0x01;
    p.VtnNodeId = 0x02;
    p.BytesOfDatas = 1;
    p.Datas[0] = 0x03;
    f.link.SendVtnPacket(p);
    EXPECT_EQ(f.link.TakeSent(), ">01020103\r\n");
    p.BytesOfDatas = 0;
    EXPECT_EQ(ExceptionText([&] { f.link.SendVtnPacket(p); }), VtnMsg::BytesOfDatasTooSmall);
    p.BytesOfDatas = 3; // R7 is 2
    EXPECT_EQ(ExceptionText([&] { f.link.SendVtnPacket(p); }), VtnMsg::BytesOfDatasTooLarge);
    EXPECT_EQ(f.link.TakeSent(), "");

    // A node bound to the link sends through it and gets its packets back.
    TDpu4i4o io(nullptr, 0x80, 0x01, 0x02, &f.link);
    io.pw_BitOfY(3, true);
    EXPECT_EQ(f.link.TakeSent(), ">0102028408\r\n");
    int changed = 0;
    io.OnInputChanged = [&](QObject*, uint8_t, uint8_t) { ++changed; };
    f.link.Feed("@0102028105\n");
    f.link.Feed("@01020281\n");   // cut short: ignored
    f.link.Feed("@0102018105\n"); // byte count disagrees: ignored
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(io.pr_Xin(), 0x05);

    std::vector<int> codes;
    f.link.OnUnhandledRxdVtnPacket = [&](QObject*, const _SVTNRXDPACKET& r) {
        codes.push_back(r.Datas[0]);
    };
    f.link.Feed("@0102010F\n"); // node's own filter: unfiltered event of the node, not the master
    f.link.Feed("@0103010F\n");
    f.link.Feed("@0103010f\n");
    EXPECT_EQ(codes, std::vector<int>{15});
}

TEST(VtnViaDpu232, ANodeReplyThatCannotBeSentIsDroppedNotThrown) {
    Fixture f;
    TDpu4i4o io(nullptr, 0x80, 0x01, 0x02, &f.link);
    f.link.pw_FileName(f.files.Write(fbtest::TTopologyFile::WithHeader(
        "[NetSegmentId_0x01]\r\nTravel_000=Device( \"DPU_4i4o\" ) , NetNodeId( 0x02 )\r\n"
        "[NetSegmentId_0x80]\r\nTravel_000=Device( \"DPU_4i4o\" ) , NetNodeId( 0xFF )\r\n")));
    f.link.Connect();
    // Before the handshake ends the link cannot send: the module's
    // output restore after its reset must not escape the receive handler.
    EXPECT_THROW(io.pw_Yout(0x03), YVclUtil::Exception);
    f.link.TakeSent();
    EXPECT_NO_THROW(f.link.Feed("@0102011F\n"));
    EXPECT_EQ(f.link.TakeSent(), "");
    // Connected with R7 = 1, the two-byte output packet is too large.
    for (const char* r : {"*R3=10\n", "*R4=11\n", "*R5=12\n", "*R6=13\n", "*R7=01\n", "*R8=00\n",
                          "*R9=00\n", "*R0=00\n", "*R1=00\n"})
        f.link.Feed(r);
    ASSERT_TRUE(f.link.pr_Connected());
    EXPECT_NO_THROW(f.link.Feed("@0102011F\n"));
    EXPECT_EQ(f.link.TakeSent(), "");
}

TEST(VtnViaDpu232, RandomLinesNeverBreakTheLink) {
    Fixture f;
    f.link.ConnectAndAnswer();
    std::mt19937 rng(12345);
    const std::string alphabet = "*@R=0123456789ABCDEFabcdef\r\n \x00\xff>?+";
    for (int i = 0; i < 20000; ++i) {
        std::string line(rng() % 48, '\0');
        for (char& c : line)
            c = alphabet[rng() % alphabet.size()];
        f.link.Feed(line);
    }
    f.link.Feed(std::string(70000, 'A'));
    EXPECT_TRUE(f.link.pr_Connected());
}
