#include "fieldbus/tpcuart.h"
#include "serial/tpolluartport_unix.h"
#include "serial/uartevents.h"
#include "support/terrorboxrecorder.h"
#include "support/tptypair.h"
#include "support/waithelpers.h"

#include <QCoreApplication>

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace YVclCtrl;

namespace {

struct Delivery {
    std::string Bytes;
    bool OnMainThread;
};

// An open component on a pseudo-terminal that records its deliveries.
struct Monitor : ::testing::Test {
    // Handlers are assigned while the port is closed: the monitor reads them.
    void OpenWith(TRxdFilter Filter, unsigned Packet = 1) {
        Prepare(Filter, Packet);
        ASSERT_TRUE(U.Open()) << U.pr_LastErrMsg();
    }
    void Prepare(TRxdFilter Filter, unsigned Packet = 1) {
        U.setObjectName("PcUart1");
        U.pw_UartDevicePath(Pty.SlavePath);
        U.pw_UartBaud(115200);
        U.pw_RxdFilter_Style(Filter);
        U.pw_BytesOfRxdPacket(Packet);
        U.OnRxdDatas = [this](QObject* Sender, int Bytes, char* Datas) {
            EXPECT_EQ(Sender, &U);
            Got.push_back({std::string(Datas, static_cast<size_t>(Bytes)),
                           QThread::currentThread() == QCoreApplication::instance()->thread()});
        };
    }
    size_t TotalBytes() const {
        size_t n = 0;
        for (const auto& d : Got)
            n += d.Bytes.size();
        return n;
    }

    TErrorBoxRecorder Errors;
    TPtyPair Pty;
    OrvCtrl::TPcUart U;
    std::vector<Delivery> Got;
};

std::string TempTextFile(const std::string& Content) {
    char name[] = "/tmp/serial_txt_XXXXXX";
    const int fd = ::mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::write(fd, Content.data(), Content.size()), static_cast<ssize_t>(Content.size()));
    ::close(fd);
    return name;
}

} // namespace

TEST_F(Monitor, NoFilterDeliversEachReadOnTheMainThread) {
    OpenWith(rfs_None);
    std::string frame(68, '\0');
    for (int i = 0; i < 68; ++i)
        frame[static_cast<size_t>(i)] = static_cast<char>(i * 3);
    Pty.Write(frame);
    ASSERT_TRUE(WaitFor([&] { return TotalBytes() >= 68; }));
    std::string joined;
    for (const auto& d : Got) {
        EXPECT_TRUE(d.OnMainThread);
        joined += d.Bytes;
    }
    EXPECT_EQ(joined, frame);
}

TEST_F(Monitor, ReadsNeverExceedTheReceiveBuffer) {
    OpenWith(rfs_None);
    std::string data(5000, 'q');
    Pty.Write(data);
    ASSERT_TRUE(WaitFor([&] { return TotalBytes() >= data.size(); }));
    EXPECT_EQ(TotalBytes(), data.size());
    for (const auto& d : Got)
        EXPECT_LE(d.Bytes.size(), 1024u);
}

TEST_F(Monitor, DelimiterFilterKeepsPartialPacketAcrossReads) {
    OpenWith(rfs_ByDelimiterChar);
    Pty.Write("AB\nC");
    ASSERT_TRUE(WaitFor([&] { return Got.size() == 1; }));
    EXPECT_EQ(Got[0].Bytes, "AB\n");
    Pty.Write("D\n");
    ASSERT_TRUE(WaitFor([&] { return Got.size() == 2; }));
    EXPECT_EQ(Got[1].Bytes, "CD\n");
    EXPECT_TRUE(Got[1].OnMainThread);
}

TEST_F(Monitor, PacketFilterKeepsRemainder) {
    OpenWith(rfs_ByBytesOfPacket, 4);
    Pty.Write("0123456789");
    ASSERT_TRUE(WaitFor([&] { return Got.size() == 2; }));
    EXPECT_EQ(Got[0].Bytes, "0123");
    EXPECT_EQ(Got[1].Bytes, "4567");
    Pty.Write("AB");
    ASSERT_TRUE(WaitFor([&] { return Got.size() == 3; }));
    EXPECT_EQ(Got[2].Bytes, "89AB");
}

TEST_F(Monitor, HandlerRunsAloneAndItsBufferStaysPut) {
    Prepare(rfs_ByDelimiterChar);
    int depth = 0, maxDepth = 0;
    std::vector<std::string> seen;
    U.OnRxdDatas = [&](QObject*, int Bytes, char* Datas) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        const std::string before(Datas, static_cast<size_t>(Bytes));
        if (seen.empty()) {
            // More packets arrive while this handler still runs an event
            // loop; the monitor must hold them back until it returns.
            Pty.Write("two\nthree\n");
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            loop.exec();
            EXPECT_EQ(seen.size(), 0u);
        }
        EXPECT_EQ(std::string(Datas, static_cast<size_t>(Bytes)), before);
        seen.push_back(before);
        --depth;
    };
    ASSERT_TRUE(U.Open());
    Pty.Write("one\n");
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 3; }));
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"one\n", "two\n", "three\n"}));
}

TEST_F(Monitor, DelimiterOverflowReportedOnceAndReceivingGoesOn) {
    OpenWith(rfs_ByDelimiterChar);
    // Nearly three buffers without a delimiter: one report, not one per buffer.
    Pty.Write(std::string(3000, 'x'));
    ASSERT_TRUE(WaitFor([&] { return Errors.Count() >= 1; }));
    Pty.Write("OK\n");
    ASSERT_TRUE(WaitFor([&] { return Got.size() == 1; }));
    // What is left after the last overflow depends on how the reads fell.
    EXPECT_EQ(Got[0].Bytes.find_first_not_of('x'), Got[0].Bytes.size() - 3);
    EXPECT_EQ(Got[0].Bytes.substr(Got[0].Bytes.size() - 3), "OK\n");
    ASSERT_EQ(Errors.Count(), 1u);
    EXPECT_EQ(Errors.Boxes()[0].Text,
              "TCustomUart FilteredRxdBuff overflow, when delimiting the received datas !!!");
    EXPECT_TRUE(U.pr_IsOpened());

    // After a good packet a new overflow is reported again.
    Pty.Write(std::string(1024, 'y'));
    ASSERT_TRUE(WaitFor([&] { return Errors.Count() == 2; }));
}

TEST_F(Monitor, TextFileAtFullPace) {
    Prepare(rfs_None);
    int empties = 0;
    U.OnTxdEmpty = [&](QObject*) { ++empties; };
    ASSERT_TRUE(U.Open());
    const std::string text = "line one\nline two\nline three\n";
    const std::string file = TempTextFile(text);
    ASSERT_EQ(U.SendTxtFile(file.c_str(), 0), 0);
    EXPECT_EQ(Pty.Read(text.size()), text);
    ASSERT_TRUE(WaitFor([&] { return empties == 1; }));
    EXPECT_FALSE(U.pr_SendingTxtFile());
    EXPECT_EQ(U.SendData(2, "ok"), 0);
    std::remove(file.c_str());
}

TEST_F(Monitor, TextFilePacedLines) {
    Prepare(rfs_None);
    int empties = 0;
    U.OnTxdEmpty = [&](QObject*) { ++empties; };
    ASSERT_TRUE(U.Open());
    const std::string file = TempTextFile("a\nbb\nccc");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(U.SendTxtFile(file.c_str(), 20), 0);
    EXPECT_TRUE(U.pr_SendingTxtFile());
    EXPECT_EQ(U.SendData(1, "x"), 3);
    EXPECT_EQ(U.SendTxtFile(file.c_str(), 20), 3);
    EXPECT_EQ(Pty.Read(8), "a\nbb\nccc");
    // Two pauses of 20 ms lie between the three lines.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    ASSERT_TRUE(WaitFor([&] { return empties == 1; }));
    EXPECT_FALSE(U.pr_SendingTxtFile());
    std::remove(file.c_str());
}

TEST_F(Monitor, TextFileFailures) {
    EXPECT_EQ(U.SendTxtFile("/tmp/none", 0), 2);
    OpenWith(rfs_None);
    EXPECT_EQ(U.SendTxtFile("/nonexistent/file.txt", 0), 5);
    EXPECT_EQ(U.pr_LastErrMsg(), "Can not open file");
    const std::string empty = TempTextFile("");
    EXPECT_EQ(U.SendTxtFile(empty.c_str(), 0), 5);
    EXPECT_EQ(U.pr_LastErrMsg(), "Can not read file");
    EXPECT_FALSE(U.pr_SendingTxtFile());
    EXPECT_EQ(U.SendData(1, "y"), 0);
    std::remove(empty.c_str());
}

TEST_F(Monitor, CloseEndsTextTransfer) {
    OpenWith(rfs_None);
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += "line " + std::to_string(i) + "\n";
    const std::string file = TempTextFile(text);
    ASSERT_EQ(U.SendTxtFile(file.c_str(), 200), 0);
    EXPECT_TRUE(U.pr_SendingTxtFile());
    EXPECT_TRUE(U.Close());
    EXPECT_FALSE(U.pr_SendingTxtFile());
    ASSERT_TRUE(U.Open());
    EXPECT_EQ(U.SendData(2, "hi"), 0);
    std::remove(file.c_str());
}

TEST_F(Monitor, CloseFromInsideHandler) {
    Prepare(rfs_ByDelimiterChar);
    int calls = 0;
    U.OnRxdDatas = [&](QObject*, int, char*) {
        ++calls;
        EXPECT_TRUE(U.Close());
        EXPECT_FALSE(U.pr_IsOpened());
    };
    ASSERT_TRUE(U.Open());
    Pty.Write("a\nb\nc\n");
    ASSERT_TRUE(WaitFor([&] { return calls == 1; }));
    EXPECT_FALSE(WaitFor([&] { return calls > 1; }, 50));
    U.OnRxdDatas = [this](QObject*, int Bytes, char* Datas) {
        Got.push_back({std::string(Datas, Bytes), true});
    };
    ASSERT_TRUE(U.Open());
    Pty.Write("again\n");
    ASSERT_TRUE(WaitFor([&] { return !Got.empty() && Got.back().Bytes == "again\n"; }));
}

TEST_F(Monitor, VanishedDeviceReportedOnceWithoutSpinning) {
    Prepare(rfs_None);
    int lost = 0;
    U.OnDeviceLost = [&](QObject* Sender) {
        EXPECT_EQ(Sender, &U);
        ++lost;
    };
    ASSERT_TRUE(U.Open());
    ::close(Pty.Slave); // only the component holds the terminal now
    Pty.Slave = -1;
    Pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return lost == 1; }));
    EXPECT_EQ(U.pr_LastErrMsg(), "The comm device has gone (disconnected)");

    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    EXPECT_FALSE(WaitFor([&] { return lost > 1; }, 200));
    ::getrusage(RUSAGE_SELF, &after);
    const auto cpuUs = [](const rusage& r) {
        return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000000L + r.ru_utime.tv_usec +
               r.ru_stime.tv_usec;
    };
    EXPECT_LT(cpuUs(after) - cpuUs(before), 100000L) << "monitor spins on a dead port";

    EXPECT_EQ(U.SendData(3, "abc"), 1);
    EXPECT_TRUE(U.Close());
    EXPECT_FALSE(U.pr_IsOpened());
}

// ---- events the pseudo-terminal cannot produce, through a port stand-in ----

namespace {

// A port made of a pipe: the test writes what the "device" sends into In[1];
// modem lines, error flags and write results are set by the test.
struct FakePort : TPollUartPort {
    struct Shared {
        int In[2] = {-1, -1};
        std::atomic<unsigned> Modem{0};
        std::atomic<unsigned long> PendingErrors{0};
        std::atomic<long> WriteResult{-2}; // -2: write everything
        std::atomic<int> WritesLeft{-1};   // writes before they fail; -1 no limit
        std::string Written;
        std::mutex Mutex;
    };
    explicit FakePort(std::shared_ptr<Shared> S) : S(std::move(S)) {}
    bool Open(const std::string&, bool) override { return true; }
    bool SetQueues(unsigned, unsigned) override { return true; }
    bool Configure(const TUartLineSettings&) override { return true; }
    bool SetTimeouts(const TUartTimeouts&) override { return true; }
    bool SetModemLine(TModemLine, bool) override { return true; }
    bool Close() override { return true; }
    int DeviceFd() const override { return S->In[0]; }
    long Write(const void* Data, size_t Bytes, TWriteCancel) override {
        std::lock_guard<std::mutex> lock(S->Mutex);
        if (S->WritesLeft == 0) return -1;
        if (S->WritesLeft > 0) --S->WritesLeft;
        const long r = S->WriteResult.load();
        const long n = r == -2 ? static_cast<long>(Bytes) : r;
        if (n > 0) S->Written.append(static_cast<const char*>(Data), static_cast<size_t>(n));
        return n;
    }
    long Read(void* Data, size_t Bytes) override {
        const ssize_t n = ::read(S->In[0], Data, Bytes);
        return n < 0 ? 0 : n;
    }
    long OutQueue() override { return 0; }
    bool ModemStatus(unsigned& Bits) override {
        Bits = S->Modem.load();
        return true;
    }
    bool LineErrors(unsigned long& Flags) override {
        Flags = S->PendingErrors.exchange(0);
        return true;
    }
    bool Gone() const override { return false; }
    std::shared_ptr<Shared> S;
};

struct Faked : ::testing::Test {
    Faked() {
        EXPECT_EQ(::pipe2(S->In, O_NONBLOCK | O_CLOEXEC), 0);
        Previous = SetUartPortFactory([s = S] { return std::make_unique<FakePort>(s); });
        U.pw_UartDevicePath("fake");
    }
    ~Faked() override {
        U.Close();
        SetUartPortFactory(Previous);
        ::close(S->In[0]);
        ::close(S->In[1]);
    }
    void Feed(const std::string& Bytes) {
        ASSERT_EQ(::write(S->In[1], Bytes.data(), Bytes.size()),
                  static_cast<ssize_t>(Bytes.size()));
    }

    std::shared_ptr<FakePort::Shared> S = std::make_shared<FakePort::Shared>();
    TUartPortFactory Previous;
    OrvCtrl::TPcUart U;
    std::vector<std::string> Events;
};

} // namespace

TEST_F(Faked, ModemLineChangesRaiseTheirEvents) {
    U.OnCtsChanged = [&](QObject*) { Events.push_back("cts"); };
    U.OnDsrChanged = [&](QObject*) { Events.push_back("dsr"); };
    U.OnCdChanged = [&](QObject*) { Events.push_back("cd"); };
    ASSERT_TRUE(U.Open());
    S->Modem = MS_CTS_ON | MS_RLSD_ON | MS_RING_ON; // ring has no handler: no event
    ASSERT_TRUE(WaitFor([&] { return Events.size() >= 2; }));
    EXPECT_EQ(Events, (std::vector<std::string>{"cd", "cts"}));
    EXPECT_TRUE(U.pr_CtsState());
    EXPECT_TRUE(U.pr_RiState());
    EXPECT_FALSE(U.pr_DsrState());
}

TEST_F(Faked, CtsHandshakeHidesCtsEvents) {
    U.OnCtsChanged = [&](QObject*) { Events.push_back("cts"); };
    U.OnDsrChanged = [&](QObject*) { Events.push_back("dsr"); };
    U.pw_FlowCtrlStyle(fcs_Hardware);
    ASSERT_TRUE(U.Open());
    S->Modem = MS_CTS_ON | MS_DSR_ON;
    ASSERT_TRUE(WaitFor([&] { return !Events.empty(); }));
    EXPECT_FALSE(WaitFor([&] { return Events.size() > 1; }, 50));
    EXPECT_EQ(Events, (std::vector<std::string>{"dsr"}));
}

TEST_F(Faked, LineErrorsInOrderBeforeData) {
    U.OnFrameErr = [&](QObject*) { Events.push_back("frame"); };
    U.OnParityErr = [&](QObject*) { Events.push_back("parity"); };
    U.OnBreakLevelErr = [&](QObject*) { Events.push_back("break"); };
    U.OnRxOverrunErr = [&](QObject*) { Events.push_back("rxover"); };
    U.OnRxdDatas = [&](QObject*, int Bytes, char* Datas) {
        Events.push_back(std::string(Datas, Bytes));
    };
    ASSERT_TRUE(U.Open());
    S->PendingErrors = CE_BREAK | CE_FRAME | CE_OVERRUN | CE_RXOVER | CE_RXPARITY;
    Feed("z");
    ASSERT_TRUE(WaitFor([&] { return Events.size() >= 5; }));
    EXPECT_EQ(Events, (std::vector<std::string>{"frame", "parity", "break", "rxover", "z"}));
}

TEST_F(Faked, ShortAndFailedWrites) {
    ASSERT_TRUE(U.Open());
    S->WriteResult = 2;
    EXPECT_EQ(U.SendData(5, "hello"), 4);
    EXPECT_EQ(U.pr_LastErrMsg(), "Timeout when send to comm");
    S->WriteResult = -1;
    EXPECT_EQ(U.SendData(5, "hello"), 1);
    EXPECT_EQ(U.pr_LastErrMsg(), "Can not send to comm");
    S->WriteResult = -2;
    EXPECT_EQ(U.SendData(5, "hello"), 0);
    EXPECT_TRUE(U.pr_LastErrMsg().empty());
}

TEST_F(Faked, FailedLineWriteEndsTransferWithTxdEmpty) {
    int empties = 0;
    U.OnTxdEmpty = [&](QObject*) { ++empties; };
    ASSERT_TRUE(U.Open());
    const std::string file = TempTextFile("first\nsecond\nthird\n");
    S->WriteResult = -1;
    EXPECT_EQ(U.SendTxtFile(file.c_str(), 0), 1);
    EXPECT_EQ(U.pr_LastErrMsg(), "Can not send txt file to comm");
    EXPECT_FALSE(U.pr_SendingTxtFile());
    S->WriteResult = -2;
    // The second line fails on the monitor: the transfer ends at once.
    S->WritesLeft = 1;
    ASSERT_EQ(U.SendTxtFile(file.c_str(), 0), 0);
    ASSERT_TRUE(WaitFor([&] { return empties == 1 && !U.pr_SendingTxtFile(); }));
    std::lock_guard<std::mutex> lock(S->Mutex);
    EXPECT_EQ(S->Written, "first\n");
    std::remove(file.c_str());
}

TEST_F(Monitor, QueueSizeChangedWhileOpenTakesEffectAtNextOpen) {
    OpenWith(rfs_None);
    // The monitor keeps working in the buffers it was given.
    U.pw_SysUartRxdQueueSize(4096);
    EXPECT_EQ(U.pr_SysUartRxdQueueSize(), 4096u);
    Pty.Write(std::string(3000, 'a'));
    ASSERT_TRUE(WaitFor([&] { return TotalBytes() == 3000; }));
    for (const auto& d : Got)
        EXPECT_LE(d.Bytes.size(), 1024u);
    U.Close();
    Got.clear();
    ASSERT_TRUE(U.Open());
    Pty.Write(std::string(3000, 'b'));
    ASSERT_TRUE(WaitFor([&] { return TotalBytes() == 3000; }));
    for (const auto& d : Got)
        EXPECT_LE(d.Bytes.size(), 4096u);
}
