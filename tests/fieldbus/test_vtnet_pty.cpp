// The converter link over a real pseudo-terminal against the converter
// simulator program (tools/convsim), run beside this test.

#include "fieldbus/tdpu4i4o.h"
#include "fieldbus/tpcuart.h"
#include "fieldbus/tvtnetviadpu232.h"
#include "ttopologyfile.h"
#include "util/errmsgbox.h"
#include "util/exception.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <memory>

using namespace OrvCtrl;

namespace {

// The simulator as a child process: its pseudo-terminal, its event lines,
// and commands written to its standard input.
class TSimProcess {
public:
    explicit TSimProcess(const QStringList& Args) {
        const QString exe = QCoreApplication::applicationDirPath() + "/convsim";
        if (!QFileInfo::exists(exe)) return;
        Proc.start(exe, Args);
        if (!Proc.waitForStarted(5000)) return;
        WaitForLine([this](const QString& l) {
            if (!l.startsWith("PTY ")) return false;
            Pty = l.mid(4).toStdString();
            return true;
        });
    }
    ~TSimProcess() {
        if (Proc.state() != QProcess::NotRunning) {
            Command("quit");
            if (!Proc.waitForFinished(3000)) Proc.kill();
            Proc.waitForFinished(1000);
        }
    }
    void Command(const std::string& c) {
        Proc.write((c + "\n").c_str());
        Proc.waitForBytesWritten(1000);
    }
    // Waits (bounded) until a line of the simulator's output satisfies Match.
    template <class F> bool WaitForLine(F Match, int Ms = 3000) {
        return QTest::qWaitFor(
            [&] {
                while (Proc.canReadLine()) {
                    const QString l = QString::fromUtf8(Proc.readLine()).trimmed();
                    Seen << l;
                    if (Match(l)) return true;
                }
                return false;
            },
            Ms);
    }
    bool WaitFor(const QString& Exact, int Ms = 3000) {
        if (Seen.contains(Exact)) {
            Seen.removeAll(Exact);
            return true;
        }
        const bool ok = WaitForLine([&](const QString& l) { return l == Exact; }, Ms);
        Seen.removeAll(Exact);
        return ok;
    }

    QProcess Proc;
    std::string Pty;
    QStringList Seen;
};

struct Link {
    fbtest::TTopologyFile files;
    TVTNetViaDpu232 link{nullptr};
    TDpu4i4o model{nullptr};
    int ok = 0, fail = 0, txdFail = 0, wdt = 0;
    Link(const std::string& Pty, const std::string& Topology) {
        link.setObjectName("VTNet1");
        link.pw_DefHandler_Dpu4i4o(&model);
        link.pr_Uart()->pw_UartDevicePath(Pty);
        link.pw_FileName(files.Write(Topology));
        link.OnConnectOK = [this](QObject*) { ++ok; };
        link.OnConnectFail = [this](QObject*) { ++fail; };
        link.OnUartTxdFail = [this](QObject*) { ++txdFail; };
        link.OnResetRnsm_WDT = [this](QObject*) { ++wdt; };
    }
};

const char* TwoNodes = "[VtnTopologic.Head]\r\nSignature=ORV\r\n\r\n"
                       "[NetSegmentId_0x01]\r\n"
                       "Travel_000=Device( \"DPU_4i4o\" ) , NetNodeId( 0x02 )\r\n"
                       "Travel_001=Device( \"DPU_4i4o\" ) , NetNodeId( 0x03 )\r\n"
                       "[NetSegmentId_0x80]\r\n"
                       "Travel_000=Device( \"DPU_4i4o\" ) , NetNodeId( 0xFF )\r\n";

} // namespace

TEST(VtnPty, TwoNodesOutputsInputsAndWatchdog) {
    TSimProcess sim({"--node", "01:02", "--node", "01:03"});
    ASSERT_FALSE(sim.Pty.empty()) << "convsim did not start";
    Link l(sim.Pty, TwoNodes);
    l.link.Connect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return l.ok + l.fail > 0; }, 3000));
    ASSERT_EQ(l.ok, 1) << l.link.pr_Uart()->pr_LastErrMsg();
    EXPECT_EQ(l.link.pr_R7(), 0x10);

    TDpu4i4o* a = l.link.pr_Dpu4i4o(0x01, 0x02);
    TDpu4i4o* b = l.link.pr_Dpu4i4o(0x01, 0x03);
    a->pw_BitOfY(0, true);
    a->pw_BitOfY(3, true);
    b->pw_Yout(0x06);
    EXPECT_TRUE(sim.WaitFor("OUT 01 02 09"));
    EXPECT_TRUE(sim.WaitFor("OUT 01 03 06"));

    // An input change of node 01:03 reaches its component.
    std::vector<std::pair<int, int>> changes;
    l.model.OnInputChanged = nullptr;
    b->OnInputChanged = [&](QObject*, uint8_t s, uint8_t n) { changes.emplace_back(s, n); };
    sim.Command("input 01 03 05");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !changes.empty(); }, 3000));
    EXPECT_EQ(changes[0], std::make_pair(1, 3));
    EXPECT_EQ(b->pr_Xin(), 0x05);
    EXPECT_TRUE(b->pr_BitOfX(2));

    // The converter's own outputs, then a watchdog reset: they are written again.
    l.link.pw_Yout(0x0C);
    EXPECT_TRUE(sim.WaitFor("R0 0C"));
    sim.Command("wdt");
    ASSERT_TRUE(QTest::qWaitFor([&] { return l.wdt > 0; }, 3000));
    EXPECT_TRUE(sim.WaitFor("R0 0C"));

    // A node that resets by itself gets its outputs back.
    sim.Command("node-reset 01 02");
    EXPECT_TRUE(sim.WaitFor("OUT 01 02 09"));

    // Queries are answered through the node's events.
    int version = 0;
    a->OnGotVtnProtocolVersion = [&](QObject*) { ++version; };
    a->QueryVtnProtocolVersion();
    ASSERT_TRUE(QTest::qWaitFor([&] { return version > 0; }, 3000));
    EXPECT_EQ(a->pr_GotVtnProtocolVersion(), 0x01);

    // Junk from the converter is dropped and the link goes on.
    sim.Command("raw @0102028107ZZ");
    sim.Command(std::string("raw *R1=") + std::string(5000, 'F'));
    sim.Command("input 01 02 0A");
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->pr_Xin() == 0x0A; }, 3000));
    EXPECT_EQ(l.txdFail, 0);
    l.link.Disconnect();
    EXPECT_FALSE(l.link.pr_Uart()->pr_IsOpened());
}

TEST(VtnPty, SilentRegisterFailsTheHandshake) {
    TSimProcess sim({"--mute", "9"});
    ASSERT_FALSE(sim.Pty.empty()) << "convsim did not start";
    Link l(sim.Pty, fbtest::EmptyTopology());
    l.link.Connect();
    EXPECT_TRUE(l.link.pr_Uart()->pr_IsOpened());
    ASSERT_TRUE(QTest::qWaitFor([&] { return l.ok + l.fail > 0; }, 4000));
    EXPECT_EQ(l.fail, 1);
    EXPECT_EQ(l.ok, 0);
    EXPECT_FALSE(l.link.pr_Uart()->pr_IsOpened());
}

TEST(VtnPty, ConverterGoneEndsTheLink) {
    auto sim = std::make_unique<TSimProcess>(QStringList{});
    ASSERT_FALSE(sim->Pty.empty()) << "convsim did not start";
    Link l(sim->Pty, fbtest::EmptyTopology());
    l.link.Connect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return l.ok > 0; }, 3000));
    sim.reset(); // the pseudo-terminal's other side closes
    ASSERT_TRUE(QTest::qWaitFor([&] { return l.fail > 0; }, 3000));
    EXPECT_FALSE(l.link.pr_Connected());
    EXPECT_FALSE(l.link.pr_Uart()->pr_IsOpened());
    EXPECT_EQ(l.fail, 1);
}

TEST(VtnPty, PortNumberTheSerialComponentRefusesFailsTheConnect) {
    // "COM 1" names the simulator through the user's port folder.
    QTemporaryDir config;
    const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QDir().mkpath(config.path() + "/dpu510tk3/ports");
    TSimProcess sim({"--link", config.path() + "/dpu510tk3/ports/COM1"});
    ASSERT_FALSE(sim.Pty.empty()) << "convsim did not start";
    std::vector<std::string> boxes;
    auto oldBox = YVclUtil::SetErrMsgBoxHandler(
        [&](const std::string&, const std::string& text) { boxes.push_back(text); });
    Link l("", fbtest::EmptyTopology());
    l.link.pw_UartPortNumber(17);
    std::string error;
    try {
        l.link.Connect();
    } catch (const YVclUtil::Exception& e) {
        error = e.Message;
    }
    EXPECT_EQ(error, "Open UART fail, when peform TVTNetViaDpu232::Connect() !!!");
    EXPECT_EQ(boxes, std::vector<std::string>{"Invalid value !!!"});
    EXPECT_FALSE(l.link.pr_Uart()->pr_IsOpened());
    l.link.pw_UartPortNumber(1);
    l.link.Connect();
    EXPECT_TRUE(QTest::qWaitFor([&] { return l.ok > 0; }, 3000));
    l.link.Disconnect();
    YVclUtil::SetErrMsgBoxHandler(oldBox);
    if (oldXdg.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldXdg);
}
