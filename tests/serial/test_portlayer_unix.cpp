#include "serial/comports.h"
#include "serial/tcustomuart.h"
#include "serial/fdwait_unix.h"
#include "serial/tparitymarkdecoder.h"
#include "serial/tposixuartport_unix.h"
#include "support/terrorboxrecorder.h"
#include "support/tptypair.h"
#include "support/waithelpers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <unistd.h>

using namespace YVclCtrl;
namespace fs = std::filesystem;

namespace {

// Points an environment variable somewhere for one test.
struct EnvVar {
    EnvVar(const char* Name, const std::string& Value) : Name(Name) {
        if (const char* old = std::getenv(Name)) Old = old, HadOld = true;
        ::setenv(Name, Value.c_str(), 1);
    }
    ~EnvVar() {
        if (HadOld)
            ::setenv(Name, Old.c_str(), 1);
        else
            ::unsetenv(Name);
    }
    const char* Name;
    std::string Old;
    bool HadOld = false;
};

struct TempDir {
    TempDir() {
        char tmpl[] = "/tmp/serial_ports_XXXXXX";
        Path = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(Path); }
    std::string Path;
};

} // namespace

TEST(ComPorts, DeviceListOrder) {
    TempDir dev, sys;
    for (const char* name :
         {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS10", "tty0", "ttyUSBx"})
        std::ofstream(dev.Path + "/" + name).put('x');
    // Only ports with a known UART type have hardware behind them.
    for (auto [name, type] : {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS10", "4"}}) {
        fs::create_directories(sys.Path + "/" + name);
        std::ofstream(sys.Path + "/" + name + "/type") << type << "\n";
    }
    EnvVar d("DPU_DEV_DIR", dev.Path), s("DPU_SYS_TTY_DIR", sys.Path);
    const std::vector<std::string> expected = {dev.Path + "/ttyUSB2", dev.Path + "/ttyUSB10",
                                               dev.Path + "/ttyACM0", dev.Path + "/ttyS0",
                                               dev.Path + "/ttyS10"};
    EXPECT_EQ(ListSerialDevices(), expected);

    TempDir cfg;
    EnvVar x("XDG_CONFIG_HOME", cfg.Path);
    EXPECT_EQ(ComPortsFolder(), cfg.Path + "/dpu510tk3/ports/");
    EXPECT_EQ(ResolveComPort(2), dev.Path + "/ttyUSB10");
    EXPECT_EQ(ResolveComPort(6), "");
    EXPECT_EQ(ResolveComPort(0), "");
}

TEST(ComPorts, SymlinkWinsAndOpens) {
    TPtyPair pty;
    TempDir cfg, dev;
    EnvVar x("XDG_CONFIG_HOME", cfg.Path);
    EnvVar d("DPU_DEV_DIR", dev.Path);
    fs::create_directories(ComPortsFolder());
    fs::create_symlink(pty.SlavePath, ComPortsFolder() + "COM3");
    EXPECT_EQ(ResolveComPort(3), ComPortsFolder() + "COM3");

    YVclCtrl::TCustomUart uart;
    uart.pw_UartPortNumber(3);
    EXPECT_EQ(uart.pr_DevicePath(), ComPortsFolder() + "COM3");
    std::string got;
    uart.OnRxdDatas = [&](QObject*, int Bytes, char* Datas) {
        got.append(Datas, static_cast<size_t>(Bytes));
    };
    ASSERT_TRUE(uart.Open()) << uart.pr_LastErrMsg();
    pty.Write("via COM3");
    EXPECT_TRUE(WaitFor([&] { return got == "via COM3"; }));

    uart.Close();
    uart.pw_UartPortNumber(4); // no link, no devices
    EXPECT_FALSE(uart.Open());
    EXPECT_EQ(uart.pr_LastErrMsg(), "The comm device not exist");
}

TEST(PortLayer, OpenFailureReasons) {
    EXPECT_EQ(TPosixUartPort::ReasonOf(ENOENT), TPortFailure::NotFound);
    EXPECT_EQ(TPosixUartPort::ReasonOf(EBUSY), TPortFailure::AccessDenied);
    EXPECT_EQ(TPosixUartPort::ReasonOf(EACCES), TPortFailure::AccessDenied);
    EXPECT_EQ(TPosixUartPort::ReasonOf(EIO), TPortFailure::Other);

    TPosixUartPort port;
    EXPECT_FALSE(port.Open("/dev/serial-that-is-not-there", false));
    EXPECT_EQ(port.LastFailure(), TPortFailure::NotFound);
}

TEST(PortLayer, WriteStopsAtItsTimeOut) {
    TPtyPair pty;
    TPosixUartPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath, false));
    ASSERT_TRUE(port.Configure(TUartLineSettings{}));
    TUartTimeouts t;
    t.WriteTotalMs = 50;
    port.SetTimeouts(t);
    // Nobody reads the other side: the terminal fills and the write gives up.
    std::string huge(1 << 20, 'z');
    const long n = port.Write(huge.data(), huge.size());
    EXPECT_GT(n, 0);
    EXPECT_LT(n, static_cast<long>(huge.size()));
}

TEST(PortLayer, DeadlineWaitEndsOnCancel) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    int c[2];
    ASSERT_EQ(::pipe(c), 0);
    TDeadline deadline(5000);
    ASSERT_EQ(::write(c[1], "x", 1), 1);
    EXPECT_EQ(WaitFd(deadline, p[0], POLLIN, c[0]), TDeadline::wr_Cancelled);
    ASSERT_EQ(::write(p[1], "y", 1), 1);
    EXPECT_EQ(WaitFd(TDeadline(5000), p[0], POLLIN), TDeadline::wr_Ready);
    char b;
    ASSERT_EQ(::read(p[0], &b, 1), 1);
    EXPECT_EQ(WaitFd(TDeadline(10), p[0], POLLIN), TDeadline::wr_Timeout);
    for (int fd : {p[0], p[1], c[0], c[1]})
        ::close(fd);
}

TEST(PortLayer, ParityMarksBecomeLineFeeds) {
    TParityMarkDecoder decoder('\n');
    char buf[32];
    // A marked byte, a doubled 0xFF and plain bytes.
    const char raw[] = {'A', '\xFF', '\0', 'x', 'B', '\xFF', '\xFF', 'C'};
    std::memcpy(buf, raw, sizeof raw);
    size_t n = decoder.Decode(buf, sizeof raw);
    EXPECT_EQ(std::string(buf, n), std::string("A\nB\xFF"
                                               "C"));

    // A marker cut by the end of a read is finished by the next one.
    const char first[] = {'D', '\xFF', '\0'};
    std::memcpy(buf, first, sizeof first);
    n = decoder.Decode(buf, sizeof first);
    EXPECT_EQ(std::string(buf, n), "D");
    EXPECT_EQ(decoder.Carried(), 2u);
    size_t c = decoder.Prepare(buf);
    buf[c] = 'z';
    buf[c + 1] = 'E';
    n = decoder.Decode(buf, c + 2);
    EXPECT_EQ(std::string(buf, n), "\nE");

    const char lone[] = {'F', '\xFF'};
    std::memcpy(buf, lone, sizeof lone);
    n = decoder.Decode(buf, sizeof lone);
    EXPECT_EQ(std::string(buf, n), "F");
    c = decoder.Prepare(buf);
    buf[c] = '\xFF';
    n = decoder.Decode(buf, c + 1);
    EXPECT_EQ(std::string(buf, n), "\xFF");
    EXPECT_EQ(decoder.Carried(), 0u);
}

TEST(PortLayer, ParityOnPassesDoubledFfThrough) {
    // With parity on, the driver doubles a real 0xFF; the reader undoes it.
    TPtyPair pty;
    TPosixUartPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath, false));
    TUartLineSettings s;
    s.Parity = 2;
    ASSERT_TRUE(port.Configure(s));
    pty.Write(std::string("a\xFF"
                          "b"));
    std::string got;
    ASSERT_TRUE(WaitFor([&] {
        char buf[64];
        const long n = port.Read(buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
        return got.size() >= 3;
    }));
    EXPECT_EQ(got, std::string("a\xFF"
                               "b"));
}
