// Host cost of a ROM upload: 976 frames to a display simulator that answers at
// once, over a pseudo-terminal, and lrzsz's sx -> rx over a pseudo-terminal
// pair as a peer reference for the same 62464 bytes.
#include "displaysimulator.h"
#include "link/devicelink.h"
#include "link/qtlinktimer.h"
#include "link/systemlinkclock.h"
#include "link/uartlinkport.h"
#include "rom/tuploadimage.h"
#include "serial/tcustomuart.h"
#include "support/tptypair.h"
#include "util/crc8.h"
#include "util/prompts.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kImageBytes = 62464;

double Us(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

class NullSink : public YVclUtil::MessageSink {
public:
    void AppendLog(const std::string&) override {}
    void ClearLog() override {}
    void SetStatus(int, const std::string&) override {}
};

// Records when each frame has been handed to the driver, and how long the
// receive handler took from its entry to that moment.
class TimingPort : public DpuLink::TUartLinkPort {
public:
    using TUartLinkPort::TUartLinkPort;
    int SendData(unsigned Bytes, const void* Data) override {
        const auto before = Clock::now();
        const int rc = TUartLinkPort::SendData(Bytes, Data);
        const auto now = Clock::now();
        Write.push_back(Us(now - before));
        Sent.push_back(now);
        if (InHandler) Handler.push_back(Us(now - HandlerEntry));
        return rc;
    }
    bool InHandler = false;
    Clock::time_point HandlerEntry;
    std::vector<Clock::time_point> Sent;
    std::vector<double> Handler;
    std::vector<double> Write;
};

// A fresh pseudo-terminal pair, or none (the figure is then skipped).
std::unique_ptr<TPtyPair> OpenPty() {
    try {
        return std::make_unique<TPtyPair>();
    } catch (const std::exception&) {
        return nullptr;
    }
}

// The display: "C" until the first frame, then ACK for every frame; notes
// when each reply has been written.
void RunDisplay(int Master, std::atomic<bool>& Stop, std::vector<Clock::time_point>& Replied) {
    TDisplaySimulator sim;
    auto nextC = Clock::now();
    while (!Stop) {
        if (!sim.Busy() && Clock::now() >= nextC) {
            const char c = 'C';
            if (write(Master, &c, 1) != 1) {
            }
            nextC = Clock::now() + std::chrono::milliseconds(20);
        }
        pollfd p{Master, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
        uint8_t buf[512];
        const ssize_t n = read(Master, buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i) {
            uint8_t reply;
            const auto r = sim.Feed(buf[i], reply);
            if (r == TDisplaySimulator::fr_None) continue;
            if (write(Master, &reply, 1) == 1) Replied.push_back(Clock::now());
            if (r == TDisplaySimulator::fr_LastBlock) return;
        }
    }
}

std::string RomFile(const QTemporaryDir& Dir) {
    const std::string path = Dir.filePath("ROM.BIN").toStdString();
    std::vector<char> b(64512);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<char>((i * 131) ^ (i < 256 ? YVclUtil::Crc8Table[i] : 0));
    std::ofstream(path, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
    return path;
}

void BM_Upload976Frames(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string rom = RomFile(dir);
    std::vector<double> handler, write, total, perFrame;
    for (auto _ : state) {
        const std::unique_ptr<TPtyPair> pty = OpenPty();
        if (!pty) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        const int master = pty->Master;
        const std::string slave = pty->SlavePath;
        std::atomic<bool> stop{false};
        std::vector<Clock::time_point> replied;
        replied.reserve(1100);
        std::thread display(RunDisplay, master, std::ref(stop), std::ref(replied));

        YVclCtrl::TCustomUart uart;
        DpuLink::TUartLinkPort::ApplyLinkSettings(uart);
        uart.pw_UartDevicePath(slave);
        TimingPort port(uart);
        port.Sent.reserve(1100);
        port.Handler.reserve(1100);
        port.Write.reserve(1100);
        DpuLink::TQtLinkTimer timer(10000);
        DpuLink::TSystemLinkClock clock;
        NullSink sink;
        DpuLink::TDeviceLink link(port, timer, clock, sink);
        port.Bind(link);
        uart.OnRxdDatas = [&](QObject*, int Bytes, char* Datas) {
            port.InHandler = true;
            port.HandlerEntry = Clock::now();
            link.OnRxdDatas(Bytes, Datas);
            port.InHandler = false;
        };
        timer.OnExpired = [&] { link.OnResponseTimer(); };
        QEventLoop loop;
        DpuLink::TLinkOutcome outcome = DpuLink::TLinkOutcome::Aborted;
        link.OnTransferEnded = [&](DpuLink::TLinkOutcome o) {
            outcome = o;
            loop.quit();
        };
        if (!link.Connect() || !link.StartUpload(DpuRom::TUploadImage::Read(rom))) {
            stop = true;
            display.join();
            state.SkipWithError("can not start the upload");
            return;
        }
        loop.exec();
        const auto end = Clock::now();
        link.Disconnect();
        stop = true;
        display.join();
        if (outcome != DpuLink::TLinkOutcome::Finished || port.Sent.size() != 976) {
            state.SkipWithError("upload did not finish");
            return;
        }
        // Reply k (to frame k) is followed by frame k+1 on the host.
        for (size_t k = 0; k + 1 < port.Sent.size() && k < replied.size(); ++k)
            total.push_back(Us(port.Sent[k + 1] - replied[k]));
        handler.insert(handler.end(), port.Handler.begin(), port.Handler.end());
        write.insert(write.end(), port.Write.begin(), port.Write.end());
        const double seconds = std::chrono::duration<double>(end - port.Sent.front()).count();
        perFrame.push_back(seconds * 1e6 / 976.0);
        state.SetIterationTime(seconds);
    }
    state.counters["frames"] = 976;
    state.counters["handler_median_us"] = Percentile(handler, 0.5);
    state.counters["handler_p99_us"] = Percentile(handler, 0.99);
    state.counters["write_median_us"] = Percentile(write, 0.5);
    state.counters["reply_to_frame_median_us"] = Percentile(total, 0.5);
    state.counters["reply_to_frame_p99_us"] = Percentile(total, 0.99);
    state.counters["round_trip_per_frame_us"] = Percentile(perFrame, 0.5);
}
BENCHMARK(BM_Upload976Frames)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

pid_t Spawn(int Fd, const char* Cwd, const std::vector<const char*>& Argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(Fd, 0);
        dup2(Fd, 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        if (chdir(Cwd) != 0) _exit(127);
        std::vector<char*> args;
        for (const char* a : Argv)
            args.push_back(const_cast<char*>(a));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// lrzsz's XMODEM (128-byte blocks, CRC-16) over a pseudo-terminal pair.
void BM_SxToRx62464Bytes(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string src = dir.filePath("send.bin").toStdString();
    std::string sent(kImageBytes, '\0');
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>(i * 131);
    std::ofstream(src, std::ios::binary)
        .write(sent.data(), static_cast<std::streamsize>(sent.size()));
    const std::string rxDir = dir.path().toStdString();
    for (auto _ : state) {
        const std::unique_ptr<TPtyPair> pty = OpenPty();
        if (!pty) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        const int master = pty->Master;
        const int slave = pty->Slave;
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        unlink((rxDir + "/recv.bin").c_str());
        const auto start = Clock::now();
        const pid_t rx = Spawn(slave, rxDir.c_str(), {"rx", "-q", "-b", "-c", "recv.bin"});
        const pid_t sx = Spawn(master, rxDir.c_str(), {"sx", "-q", "-b", src.c_str()});
        // The transfer is over when the receiver has the file; the sender
        // sometimes lingers on the line afterwards and is then stopped.
        int rxStatus = 0, sxStatus = 0;
        waitpid(rx, &rxStatus, 0);
        const auto end = Clock::now();
        for (int i = 0; i < 100 && waitpid(sx, &sxStatus, WNOHANG) == 0; ++i)
            usleep(10000);
        if (waitpid(sx, &sxStatus, WNOHANG) == 0) {
            kill(sx, SIGKILL);
            waitpid(sx, &sxStatus, 0);
        }
        std::ifstream got(rxDir + "/recv.bin", std::ios::binary);
        const std::string received((std::istreambuf_iterator<char>(got)),
                                   std::istreambuf_iterator<char>());
        if (!WIFEXITED(rxStatus) || WEXITSTATUS(rxStatus) != 0 ||
            received.compare(0, std::string::npos, sent) != 0) {
            const std::string why = "sx -> rx failed (is lrzsz installed?) sx status " +
                                    std::to_string(sxStatus) + ", rx status " +
                                    std::to_string(rxStatus);
            state.SkipWithError(why.c_str());
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["blocks_128B"] = kImageBytes / 128;
    state.counters["per_block"] = benchmark::Counter(static_cast<double>(kImageBytes / 128),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_SxToRx62464Bytes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
