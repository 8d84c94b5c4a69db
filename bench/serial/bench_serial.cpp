// Round trip of one 68-byte frame answered by one byte over a pseudo-terminal:
// through the serial component (monitor thread, hand-over to the main thread)
// and, as the floor, through a bare blocking write/read on the same pair.
#include "serial/tcustomuart.h"
#include "support/tptypair.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kFrame = 68;

// Plays the display: every 68 bytes received are answered with one byte.
class Responder {
public:
    Responder() : SlavePath(Pty.SlavePath) {
        if (::pipe(StopPipe) != 0) {
            std::perror("pipe");
            std::exit(1);
        }
        Thread = std::thread([this] { Run(); });
    }
    ~Responder() {
        ::write(StopPipe[1], "x", 1);
        Thread.join();
        ::close(StopPipe[0]);
        ::close(StopPipe[1]);
    }
    TPtyPair Pty;
    std::string SlavePath;

private:
    void Run() {
        size_t got = 0;
        char buf[4096];
        pollfd fds[2] = {{Pty.Master, POLLIN, 0}, {StopPipe[0], POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0) continue;
            if (fds[1].revents) return;
            const ssize_t n = ::read(Pty.Master, buf, sizeof buf);
            if (n <= 0) continue;
            got += static_cast<size_t>(n);
            while (got >= kFrame) {
                got -= kFrame;
                const char ack = 0x06;
                ::write(Pty.Master, &ack, 1);
            }
        }
    }
    int StopPipe[2] = {-1, -1};
    std::thread Thread;
};

Responder* g_peer = nullptr;
// Samples of every round of each kind; the rounds alternate so that the load
// of the machine falls on both alike.
std::vector<double> g_floorSamples, g_uartSamples;

double MedianUs(std::vector<double>& samples) {
    if (samples.empty()) return 0;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

void Report(benchmark::State& state, std::vector<double>& samples, std::vector<double>& all) {
    all.insert(all.end(), samples.begin(), samples.end());
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = MedianUs(samples);
    state.counters["p90_us"] = samples.empty() ? 0 : samples[samples.size() * 9 / 10];
}

void BM_BareRoundTrip(benchmark::State& state) {
    const int fd = ::open(g_peer->SlavePath.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
    char frame[kFrame] = {};
    std::vector<double> samples;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        ::write(fd, frame, kFrame);
        char ack;
        while (::read(fd, &ack, 1) != 1) {
        }
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    ::close(fd);
    Report(state, samples, g_floorSamples);
}

void BM_UartRoundTrip(benchmark::State& state) {
    YVclCtrl::TCustomUart uart;
    uart.pw_UartDevicePath(g_peer->SlavePath);
    uart.pw_UartBaud(115200);
    // The round trip ends when the answer reaches the handler, as it ends for
    // the floor when read() returns it.
    bool answered = false;
    std::chrono::steady_clock::time_point t1;
    uart.OnRxdDatas = [&](QObject*, int Bytes, char*) {
        t1 = std::chrono::steady_clock::now();
        answered = Bytes > 0;
    };
    if (!uart.Open()) {
        state.SkipWithError(uart.pr_LastErrMsg().c_str());
        return;
    }
    char frame[kFrame] = {};
    std::vector<double> samples;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        answered = false;
        uart.SendData(kFrame, frame);
        while (!answered)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    uart.Close();
    Report(state, samples, g_uartSamples);
}

constexpr int kRounds = 5;
constexpr int kPerRound = 4000;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (int round = 0; round < kRounds; ++round) {
        benchmark::RegisterBenchmark("BM_BareRoundTrip", BM_BareRoundTrip)
            ->Iterations(kPerRound)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("BM_UartRoundTrip", BM_UartRoundTrip)
            ->Iterations(kPerRound)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    Responder peer;
    g_peer = &peer;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double floorUs = MedianUs(g_floorSamples), uartUs = MedianUs(g_uartSamples);
    if (floorUs > 0 && uartUs > 0)
        std::printf("median round trip over all rounds: component %.1f us, bare floor %.1f us, "
                    "ratio %.2f\n",
                    uartUs, floorUs, uartUs / floorUs);
    return 0;
}
