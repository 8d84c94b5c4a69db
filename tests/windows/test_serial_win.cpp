// The Windows port layer against a pseudo-terminal that the Wine prefix maps
// as a COM port. comportpeer (started by scripts/windows-test.sh) plays the
// display on the far side and takes its orders over a second COM port; the
// numbers of both come in DPU_TEST_COM and DPU_CONTROL_COM. The EV_* bits
// are Windows' own, which the port layer checks equal the component's.
#include "serial/comports.h"
#include "serial/twinuartport_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

using namespace YVclCtrl;

namespace {

// Bound of every wait for the peer: generous, Wine on a busy machine is slow.
constexpr unsigned kGuardMs = 60000;

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

unsigned EnvNumber(const char* Name) {
    const char* v = std::getenv(Name);
    return v ? static_cast<unsigned>(std::strtoul(v, nullptr, 10)) : 0;
}

std::string Pattern(size_t Count, unsigned Seed) {
    std::string s(Count, '\0');
    for (size_t i = 0; i < Count; ++i)
        s[i] = static_cast<char>((i * 131 + Seed) & 0xFF);
    return s;
}

// The control line to comportpeer: one command line out, one answer line back.
class Peer {
public:
    static Peer& Get() {
        static Peer peer;
        return peer;
    }
    bool Ready() const { return Line != INVALID_HANDLE_VALUE; }
    void Send(const std::string& Command) {
        const std::string text = Command + "\n";
        DWORD n = 0;
        ::WriteFile(Line, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    }
    // The answer to the last command; "" when none came within the bound.
    std::string Answer() {
        std::string answer;
        char c;
        DWORD n = 0;
        while (::ReadFile(Line, &c, 1, &n, nullptr) && n == 1 && c != '\n')
            answer.push_back(c);
        return answer;
    }
    std::string Command(const std::string& Text) {
        Send(Text);
        return Answer();
    }

private:
    Peer() {
        const unsigned number = EnvNumber("DPU_CONTROL_COM");
        if (number == 0) return;
        const std::string name = "\\\\.\\COM" + std::to_string(number);
        Line = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
        if (Line == INVALID_HANDLE_VALUE) return;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ::GetCommState(Line, &dcb);
        dcb.BaudRate = 115200;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        ::SetCommState(Line, &dcb);
        COMMTIMEOUTS t{};
        t.ReadTotalTimeoutConstant = kGuardMs;
        t.WriteTotalTimeoutConstant = kGuardMs;
        ::SetCommTimeouts(Line, &t);
    }
    HANDLE Line = INVALID_HANDLE_VALUE;
};

class WinPort : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Peer::Get().Ready())
            GTEST_SKIP() << "no device peer: run through scripts/windows-test.sh";
        Device = ResolveComPort(EnvNumber("DPU_TEST_COM"));
    }
    void TearDown() override {
        if (Peer::Get().Ready()) Peer::Get().Command("DRAIN");
    }
    // Open, 115200 8N1 unless told otherwise, time-outs and the usual events.
    void OpenPort(TWinUartPort& Port, unsigned WriteMs = kGuardMs) {
        ASSERT_TRUE(Port.Open(Device, false)) << "error " << Port.LastErrno();
        ASSERT_TRUE(Port.SetQueues(1024, 1024)) << Port.LastErrno();
        TUartLineSettings line;
        line.Baud = 115200;
        ASSERT_TRUE(Port.Configure(line)) << Port.LastErrno();
        TUartTimeouts t;
        t.ReadIntervalMs = 3;
        t.ReadTotalMs = 5000;
        t.WriteTotalMs = WriteMs;
        ASSERT_TRUE(Port.SetTimeouts(t)) << Port.LastErrno();
        ASSERT_TRUE(Port.SetEventMask(EV_RXCHAR | EV_TXEMPTY)) << Port.LastErrno();
        std::vector<std::string> missing;
        ASSERT_TRUE(Port.PrepareWait(missing));
    }
    // Plays the monitor: waits and reads until Count bytes are in or the guard
    // timer runs out. Reads are as small as the component's default queue.
    std::string Receive(TWinUartPort& Port, size_t Count) {
        std::string got;
        char buffer[1024];
        EXPECT_TRUE(Port.ArmTimer(kGuardMs));
        while (got.size() < Count) {
            const TPortEvents ev = Port.Wait();
            if (ev.Terminate || ev.Timer || ev.Gone) break;
            if (ev.ReadDone && ev.ReadBytes > 0)
                got.append(buffer, static_cast<size_t>(ev.ReadBytes));
            if (ev.Mask & EV_RXCHAR) {
                const long n = Port.Read(buffer, sizeof buffer);
                if (n > 0) got.append(buffer, static_cast<size_t>(n));
            }
        }
        return got;
    }
    std::string Device;
};

} // namespace

TEST(WinComPorts, NamesAndReasons) {
    EXPECT_EQ(ResolveComPort(5), "\\\\.\\COM5");
    EXPECT_EQ(ResolveComPort(16), "\\\\.\\COM16");
    EXPECT_EQ(ResolveComPort(0), "");
    EXPECT_EQ(ComPortsFolder(), "");
    for (const std::string& name : ListSerialDevices())
        EXPECT_EQ(name.rfind("\\\\.\\COM", 0), 0u) << name;

    EXPECT_EQ(TWinUartPort::ReasonOf(ERROR_FILE_NOT_FOUND), TPortFailure::NotFound);
    EXPECT_EQ(TWinUartPort::ReasonOf(ERROR_PATH_NOT_FOUND), TPortFailure::NotFound);
    EXPECT_EQ(TWinUartPort::ReasonOf(ERROR_ACCESS_DENIED), TPortFailure::AccessDenied);
    EXPECT_EQ(TWinUartPort::ReasonOf(ERROR_SHARING_VIOLATION), TPortFailure::AccessDenied);
    EXPECT_EQ(TWinUartPort::ReasonOf(ERROR_GEN_FAILURE), TPortFailure::Other);
    EXPECT_TRUE(TWinUartPort::LostDevice(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(TWinUartPort::LostDevice(ERROR_BAD_COMMAND));
    EXPECT_FALSE(TWinUartPort::LostDevice(ERROR_IO_INCOMPLETE));
}

TEST(WinComPorts, MissingPortAndFileAreRefused) {
    TWinUartPort port;
    EXPECT_FALSE(port.Open(ResolveComPort(77), false));
    EXPECT_EQ(port.LastFailure(), TPortFailure::NotFound) << "error " << port.LastErrno();
    EXPECT_FALSE(port.Gone());

    char folder[MAX_PATH + 1] = {};
    ::GetTempPathA(sizeof folder, folder);
    const std::string file = std::string(folder) + "dpu-not-a-port.txt";
    const HANDLE h =
        ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::CloseHandle(h);
    EXPECT_FALSE(port.Open(file, false));
    EXPECT_EQ(port.LastFailure(), TPortFailure::NotADevice);
    ::DeleteFileA(file.c_str());
}

TEST(WinComPorts, LineStateFromSettings) {
    DCB base{};
    base.XonChar = 0x11;
    base.XoffChar = 0x13;
    base.fOutX = base.fInX = base.fNull = base.fDsrSensitivity = TRUE;
    TUartLineSettings s;
    s.Baud = 57600;
    s.DataBits = 7;
    s.Parity = 2;
    s.StopBits = 2;
    s.CtsOutFlow = true;
    s.DsrOutFlow = true;
    s.Dtr = TUartLineSettings::lm_Handshake;
    DCB d = TWinUartPort::LineState(base, s);
    EXPECT_EQ(d.DCBlength, sizeof(DCB));
    EXPECT_EQ(d.BaudRate, 57600u);
    EXPECT_EQ(d.ByteSize, 7);
    EXPECT_EQ(d.Parity, EVENPARITY);
    EXPECT_TRUE(d.fParity);
    EXPECT_TRUE(d.fErrorChar);
    EXPECT_EQ(d.ErrorChar, '\n');
    EXPECT_EQ(d.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(d.fOutxCtsFlow);
    EXPECT_TRUE(d.fOutxDsrFlow);
    EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_TRUE(d.fBinary);
    EXPECT_FALSE(d.fOutX || d.fInX || d.fNull || d.fDsrSensitivity);
    EXPECT_EQ(d.XonChar, 0x11); // not the component's: kept
    EXPECT_EQ(d.XoffChar, 0x13);

    s = TUartLineSettings{};
    s.Parity = 1;
    s.Rts = TUartLineSettings::lm_Handshake;
    d = TWinUartPort::LineState(base, s);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.Parity, ODDPARITY);
    EXPECT_EQ(d.StopBits, ONESTOPBIT);
    EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_FALSE(d.fOutxCtsFlow || d.fOutxDsrFlow);

    d = TWinUartPort::LineState(base, TUartLineSettings{});
    EXPECT_EQ(d.Parity, NOPARITY);
    EXPECT_FALSE(d.fParity || d.fErrorChar);
}

TEST_F(WinPort, PortHeldElsewhereIsRefused) {
    TWinUartPort first, second;
    ASSERT_TRUE(first.Open(Device, false));
    const bool opened = second.Open(Device, false);
    if (opened && UnderWine())
        GTEST_SKIP()
            << "Wine lets a second exclusive CreateFile of a COM port succeed; Windows refuses it "
               "with ERROR_ACCESS_DENIED";
    EXPECT_FALSE(opened);
    EXPECT_EQ(second.LastFailure(), TPortFailure::AccessDenied) << "error " << second.LastErrno();
}

TEST_F(WinPort, SettingsReachTheLine) {
    TWinUartPort port;
    ASSERT_TRUE(port.Open(Device, false));
    TUartLineSettings s;
    s.Baud = 57600;
    s.DataBits = 7;
    s.Parity = 2;
    s.StopBits = 2;
    s.CtsOutFlow = true;
    s.Dtr = TUartLineSettings::lm_Handshake;
    ASSERT_TRUE(port.Configure(s)) << port.LastErrno();
    // A pseudo-terminal keeps 8 bits and no parity whatever it is told, and
    // Wine reads the record back from the terminal: data bits and parity are
    // checked in the record the port builds (LineStateFromSettings).
    const std::string line = Peer::Get().Command("SETTINGS");
    EXPECT_NE(line.find("baud=57600"), std::string::npos) << line;
    EXPECT_NE(line.find("stop=2"), std::string::npos) << line;
    EXPECT_NE(line.find("crtscts=1"), std::string::npos) << line;

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(::GetCommState(port.Handle(), &dcb));
    EXPECT_EQ(dcb.BaudRate, 57600u);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(dcb.fOutxCtsFlow);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);

    TUartLineSettings plain;
    plain.Baud = 115200;
    ASSERT_TRUE(port.Configure(plain));
    const std::string back = Peer::Get().Command("SETTINGS");
    EXPECT_NE(back.find("baud=115200"), std::string::npos) << back;
    EXPECT_NE(back.find("stop=1"), std::string::npos) << back;
    EXPECT_NE(back.find("crtscts=0"), std::string::npos) << back;

    TUartTimeouts t;
    t.ReadIntervalMs = 3;
    t.ReadTotalMs = 5034;
    t.WriteTotalMs = 5000;
    ASSERT_TRUE(port.SetTimeouts(t));
    COMMTIMEOUTS ct{};
    ASSERT_TRUE(::GetCommTimeouts(port.Handle(), &ct));
    // Reads never wait: they take what is queued.
    EXPECT_EQ(ct.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(ct.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(ct.WriteTotalTimeoutConstant, 5000u);
    EXPECT_EQ(ct.ReadTotalTimeoutMultiplier + ct.WriteTotalTimeoutMultiplier, 0u);
    // A pseudo-terminal has no modem lines: raising them is no failure.
    EXPECT_TRUE(port.SetModemLine(TUartPort::ml_Dtr, true));
    EXPECT_TRUE(port.SetModemLine(TUartPort::ml_Rts, true));
    EXPECT_TRUE(port.Close());
}

TEST_F(WinPort, ExactBytesBothWays64K) {
    TWinUartPort port;
    OpenPort(port);
    constexpr size_t kSize = 64 * 1024;
    // Out: the peer reads while the write is under way.
    Peer::Get().Send("EXPECT " + std::to_string(kSize) + " 5");
    const std::string out = Pattern(kSize, 5);
    EXPECT_EQ(port.Write(out.data(), out.size()), static_cast<long>(kSize));
    EXPECT_EQ(Peer::Get().Answer(), "OK " + std::to_string(kSize));

    // In: the peer writes while the wait and reads collect.
    Peer::Get().Send("SEND " + std::to_string(kSize) + " 9");
    const std::string in = Receive(port, kSize);
    EXPECT_EQ(Peer::Get().Answer(), "OK " + std::to_string(kSize));
    ASSERT_EQ(in.size(), kSize);
    EXPECT_TRUE(in == Pattern(kSize, 9)) << "the bytes differ";
    // Nothing queued: a read takes nothing and does not wait.
    char b[16];
    EXPECT_EQ(port.Read(b, sizeof b), 0);
    EXPECT_TRUE(port.Close());
}

TEST_F(WinPort, TransmitterEmptyIsReported) {
    TWinUartPort port;
    OpenPort(port);
    Peer::Get().Send("EXPECT 300 1");
    const std::string out = Pattern(300, 1);
    ASSERT_EQ(port.Write(out.data(), out.size()), 300);
    ASSERT_TRUE(port.ArmTimer(kGuardMs));
    bool empty = false;
    while (!empty) {
        const TPortEvents ev = port.Wait();
        ASSERT_FALSE(ev.Timer || ev.Gone || ev.Terminate);
        empty = ev.Mask & EV_TXEMPTY;
    }
    EXPECT_EQ(Peer::Get().Answer(), "OK 300");
}

TEST_F(WinPort, WriteStopsAtItsTimeOut) {
    TWinUartPort port;
    OpenPort(port, 300);
    // Nobody reads the far side: the terminal fills and the write gives up.
    const std::string huge(1 << 20, 'z');
    const long n = port.Write(huge.data(), huge.size());
    EXPECT_GE(n, 0) << "error " << port.LastErrno();
    EXPECT_LT(n, static_cast<long>(huge.size()));
    // And a cancellable write ends as soon as Interrupt comes.
    port.Interrupt();
    EXPECT_LT(port.Write(huge.data(), huge.size(), TWriteCancel::OnInterrupt),
              static_cast<long>(huge.size()));
}

TEST_F(WinPort, InterruptEndsTheWaitAtOnce) {
    TWinUartPort port;
    OpenPort(port);
    auto waiting = std::async(std::launch::async, [&] { return port.Wait(); });
    // The wait is blocked: nothing comes and no timer runs.
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    port.Interrupt();
    ASSERT_EQ(waiting.wait_for(std::chrono::milliseconds(kGuardMs)), std::future_status::ready);
    const TPortEvents ev = waiting.get();
    EXPECT_TRUE(ev.Terminate);
    // For good: later waits and pauses end at once as well.
    EXPECT_TRUE(port.Wait().Terminate);
    EXPECT_FALSE(port.Pause(kGuardMs));
    EXPECT_TRUE(port.Close());
}

TEST_F(WinPort, TimerWakesTheWait) {
    TWinUartPort port;
    OpenPort(port);
    ASSERT_TRUE(port.ArmTimer(20));
    const TPortEvents ev = port.Wait();
    EXPECT_TRUE(ev.Timer);
    EXPECT_FALSE(ev.Gone);
    EXPECT_EQ(ev.Mask & EV_RXCHAR, 0u);
}

TEST_F(WinPort, VanishedDeviceIsReportedOnceWithoutSpinning) {
    TWinUartPort port;
    OpenPort(port);
    ASSERT_EQ(Peer::Get().Command("HANGUP"), "OK");
    // Plays the monitor: a wait that reports the device gone, a read that
    // finds nothing, then the device is no longer watched.
    ASSERT_TRUE(port.ArmTimer(kGuardMs));
    TPortEvents ev;
    do {
        ev = port.Wait();
        char b[64];
        if (ev.Mask & EV_RXCHAR) port.Read(b, sizeof b);
    } while (!ev.Gone && !ev.Timer && !ev.Terminate);
    ASSERT_TRUE(ev.Gone) << "the wait never saw the device go";
    char b[64];
    const long n = port.Read(b, sizeof b);
    EXPECT_TRUE(n == 0 || (n == -1 && port.Gone())) << n << " error " << port.LastErrno();
    EXPECT_TRUE(port.Gone());
    port.StopWatchingDevice();

    // From now on only the timer wakes the wait: no busy loop.
    const unsigned long before = port.WakeUps();
    ASSERT_TRUE(port.ArmTimer(300));
    ev = port.Wait();
    EXPECT_TRUE(ev.Timer);
    EXPECT_FALSE(ev.Gone);
    EXPECT_EQ(ev.Mask, 0u);
    EXPECT_LE(port.WakeUps() - before, 2u);
    EXPECT_TRUE(port.Close());
    EXPECT_EQ(Peer::Get().Command("REOPEN").rfind("OK", 0), 0u);
}
