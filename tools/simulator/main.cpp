// dpu510tk3-sim: plays the display on a pseudo-terminal (or a real port) so an
// upload or a clock setting can be rehearsed without hardware.
#include "cli/cliarguments.h"
#include "displaysimulator.h"
#include "dpu510tk3_version.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t StopRequested = 0;
void OnSignal(int) {
    StopRequested = 1;
}

struct Options {
    std::string Port;
    std::string Out = "dpu510tk3-sim.bin";
    double RejectPercent = 0;
    uint32_t Seed = 1;
    bool Once = false;
    long CIntervalMs = 1000;
    long IdleMs = 5000;
    long SilentAfter = -1;
    long HangupAfter = -1;
    long LingerMs = 60000;
    // A frame whose bytes stop this long is dropped and answered NAK. The
    // host writes a frame at once, but a loaded machine may hand it over in
    // two pieces far apart; dropping the first piece would leave every later
    // frame out of step.
    long PartialMs = 2000;
    // A noisy line: a byte that is no reply every NoiseMs (0: none).
    long NoiseMs = 0;
    // A display that keeps starting over: "C" every CIntervalMs, also during a transfer.
    bool KeepAsking = false;
};

// After "usage: " in the help and in each usage error.
const char kSynopsis[] =
    "dpu510tk3-sim [--port DEVICE] [--out FILE] [--reject PERCENT] [--seed N]\n"
    "                     [--once] [--c-interval-ms N] [--idle-ms N] [--silent-after N]\n"
    "                     [--hangup-after N] [--linger-ms N] [--partial-ms N]\n"
    "                     [--noise-ms N] [--keep-asking]\n"
    "       dpu510tk3-sim --help | --version";

std::string Help() {
    return std::string("usage: ") + kSynopsis +
           "\n"
           "Plays the display: prints the pseudo-terminal to connect to (or uses DEVICE at\n"
           "115200 8N1), sends \"C\" every N ms (1000) until a frame comes, answers each frame\n"
           "with ACK or NAK, writes the reassembled image to FILE (dpu510tk3-sim.bin) and\n"
           "prints each date-time it is given.\n"
           "  --reject P        answer P percent of sound frames with NAK, at random\n"
           "  --once            exit after one finished upload or date-time setting\n"
           "  --idle-ms N       an upload the host stops without block 976 (a 975-block\n"
           "                    image, or the host gave up) ends after N ms without a\n"
           "                    byte (5000), a hang-up ends it at once: the image is\n"
           "                    written and \"C\" resumes (--once: the simulator exits)\n"
           "  --silent-after N  stop answering after N frames\n"
           "  --hangup-after N  close the port and exit after N frames\n"
           "  --linger-ms N     --once: after the last reply, keep the port open until the\n"
           "                    host closes its side, at most N ms (60000), so the host\n"
           "                    reads the last ACK however busy the machine is; frames\n"
           "                    that still come are answered\n"
           "  --partial-ms N    drop a frame whose bytes stop for N ms and answer NAK (2000)\n"
           "  --noise-ms N      also send a byte that is no reply (0x00) every N ms\n"
           "  --keep-asking     send \"C\" every --c-interval-ms also during a transfer\n"
           "Exit status: 0 when it ended, 1 when the port could not be opened or went away,\n"
           "2 for a usage error.\n";
}

// Fills o from the command line; false when the simulator must end at once
// with Exit (0 after the help or the version, 2 after a usage error).
bool ParseArgs(int argc, char** argv, Options& o, int& Exit) {
    constexpr long kMax = std::numeric_limits<long>::max();
    TCliArguments args("dpu510tk3-sim", kSynopsis, Help());
    bool version = false;
    long seed = o.Seed;
    args.Flag("--version", version);
    args.Flag("--once", o.Once);
    args.Value("--port", o.Port);
    args.Value("--out", o.Out);
    args.Number("--reject", o.RejectPercent, 0, 100, "a percentage");
    args.Number("--seed", seed, 0, std::numeric_limits<uint32_t>::max(), "a number");
    args.Number("--c-interval-ms", o.CIntervalMs, 1, kMax, "milliseconds");
    args.Number("--idle-ms", o.IdleMs, 1, kMax, "milliseconds");
    args.Number("--silent-after", o.SilentAfter, 0, kMax, "a count of frames");
    args.Number("--hangup-after", o.HangupAfter, 0, kMax, "a count of frames");
    args.Number("--linger-ms", o.LingerMs, 0, kMax, "milliseconds");
    args.Number("--partial-ms", o.PartialMs, 1, kMax, "milliseconds");
    args.Number("--noise-ms", o.NoiseMs, 1, kMax, "milliseconds");
    args.Flag("--keep-asking", o.KeepAsking);
    if (!args.Parse(std::vector<std::string>(argv + 1, argv + argc), Exit)) return false;
    o.Seed = static_cast<uint32_t>(seed);
    if (version) {
        std::printf("dpu510tk3-sim %s\n", DPU510TK3_VERSION);
        Exit = 0;
        return false;
    }
    return true;
}

long NowMs() {
    using namespace std::chrono;
    return static_cast<long>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool MakeRaw(int fd, bool SetSpeed) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (SetSpeed) {
        cfsetispeed(&t, B115200);
        cfsetospeed(&t, B115200);
    }
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

// Writes atomically: a temporary file beside the target, then a rename.
bool WriteImage(const std::string& Path, const std::vector<uint8_t>& Data) {
    const std::string tmp = Path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(Data.data(), 1, Data.size(), f) == Data.size();
    if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), Path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

bool WriteAll(int fd, const void* Data, size_t Bytes) {
    const auto* p = static_cast<const uint8_t*>(Data);
    while (Bytes > 0) {
        const ssize_t n = write(fd, p, Bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        Bytes -= static_cast<size_t>(n);
    }
    return true;
}

bool SaveImage(const Options& o, const TDisplaySimulator& Sim) {
    if (Sim.HighestBlock() == 0) return true;
    const auto image = Sim.Image();
    if (!WriteImage(o.Out, image)) {
        std::fprintf(stderr, "dpu510tk3-sim: can not write %s: %s\n", o.Out.c_str(),
                     std::strerror(errno));
        return false;
    }
    std::printf("Image: %u blocks, %zu bytes written to %s\n", Sim.HighestBlock(), image.size(),
                o.Out.c_str());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    int status = 0;
    if (!ParseArgs(argc, argv, o, status)) return status;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    int fd = -1;
    if (o.Port.empty()) {
        fd = posix_openpt(O_RDWR | O_NOCTTY);
        if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) {
            std::fprintf(stderr, "dpu510tk3-sim: no pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
        // Raw from the start, so nothing the display sends before the host
        // configures its side is echoed or held back for a line end.
        MakeRaw(fd, false);
        std::printf("%s\n", ptsname(fd));
    } else {
        // Without O_NONBLOCK the open of a serial device waits for a carrier
        // that a plain three-wire cable never raises; CLOCAL then ignores it.
        fd = open(o.Port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || !MakeRaw(fd, true) ||
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
            std::fprintf(stderr, "dpu510tk3-sim: can not open %s: %s\n", o.Port.c_str(),
                         std::strerror(errno));
            return 1;
        }
        std::printf("%s\n", o.Port.c_str());
    }
    std::fflush(stdout);

    TDisplaySimulator sim(o.RejectPercent, o.Seed);
    long nextC = NowMs();
    long nextNoise = o.NoiseMs > 0 ? NowMs() + o.NoiseMs : -1;
    long lastByte = 0;
    long frames = 0;
    long transferBlocks = 0; // blocks accepted since the last finished transfer
    int rc = 0;
    bool done = false;
    auto silent = [&] { return o.SilentAfter >= 0 && frames > o.SilentAfter; };
    // The host may stop an upload without block 976: a 975-block image, ten
    // rejections of one frame, a hang-up. Keep what arrived and ask again, so
    // the next transfer does not wait for a "C" that would never come.
    auto endStoppedTransfer = [&](bool HungUp) {
        const bool hadBlocks = transferBlocks > 0;
        if (hadBlocks) {
            if (!SaveImage(o, sim)) rc = 1;
            std::printf("Frames: %u received, %u rejected\n", sim.FramesSeen(),
                        sim.FramesRejected());
            std::fflush(stdout);
        }
        if (HungUp)
            sim.Reset();
        else
            sim.Pause();
        transferBlocks = 0;
        nextC = NowMs() + o.CIntervalMs;
        if (o.Once && hadBlocks) done = true;
    };
    while (!StopRequested && !done) {
        const long now = NowMs();
        long wait = 200;
        if (!sim.Busy() || o.KeepAsking) wait = std::max(0L, std::min(wait, nextC - now));
        if (nextNoise >= 0) wait = std::max(0L, std::min(wait, nextNoise - now));
        if (sim.HasPartial())
            wait = std::max(0L, std::min(wait, lastByte + o.PartialMs - now));
        else if (sim.Busy() && !silent())
            wait = std::max(0L, std::min(wait, lastByte + o.IdleMs - now));
        pollfd p{fd, POLLIN, 0};
        const int n = poll(&p, 1, static_cast<int>(wait));
        if (n < 0 && errno != EINTR) {
            rc = 1;
            break;
        }
        bool hungUp = false;
        if (n > 0 && (p.revents & POLLIN)) {
            uint8_t buf[4096];
            const ssize_t got = read(fd, buf, sizeof buf);
            if (got < 0 && errno != EINTR && errno != EAGAIN) hungUp = true;
            for (ssize_t i = 0; i < got && !done; ++i) {
                lastByte = NowMs();
                uint8_t reply = 0;
                const auto r = sim.Feed(buf[i], reply);
                if (r == TDisplaySimulator::fr_None) continue;
                ++frames;
                if (o.HangupAfter >= 0 && frames > o.HangupAfter) {
                    std::printf("Hanging up after %ld frames\n", o.HangupAfter);
                    SaveImage(o, sim);
                    done = true;
                    break;
                }
                if (!silent()) WriteAll(fd, &reply, 1);
                if (r == TDisplaySimulator::fr_Block || r == TDisplaySimulator::fr_LastBlock)
                    ++transferBlocks;
                if (r == TDisplaySimulator::fr_DateTime) {
                    std::printf("Date-time: %s\n", sim.LastDateTime().c_str());
                    std::fflush(stdout);
                } else if (r == TDisplaySimulator::fr_LastBlock) {
                    if (!SaveImage(o, sim)) rc = 1;
                }
                if (r == TDisplaySimulator::fr_DateTime || r == TDisplaySimulator::fr_LastBlock) {
                    std::printf("Frames: %u received, %u rejected\n", sim.FramesSeen(),
                                sim.FramesRejected());
                    std::fflush(stdout);
                    sim.Reset();
                    transferBlocks = 0;
                    nextC = NowMs() + o.CIntervalMs;
                    if (o.Once) done = true;
                }
            }
        } else if (n > 0 && (p.revents & (POLLHUP | POLLERR))) {
            hungUp = true;
        }
        if (hungUp) {
            // Nobody on the other side (a pseudo-terminal whose host closed,
            // or an unplugged adapter): forget the transfer and wait.
            if (sim.Busy()) endStoppedTransfer(true);
            if (!o.Port.empty()) {
                std::fprintf(stderr, "dpu510tk3-sim: %s went away\n", o.Port.c_str());
                rc = 1;
                break;
            }
            usleep(20000);
            continue;
        }
        const long after = NowMs();
        if (sim.HasPartial() && after - lastByte >= o.PartialMs) {
            sim.DropPartial();
            const uint8_t nak = 0x15;
            WriteAll(fd, &nak, 1);
        } else if (!done && sim.Busy() && !silent() && after - lastByte >= o.IdleMs) {
            endStoppedTransfer(false);
            if (done) break;
        }
        if ((!sim.Busy() || o.KeepAsking) && after >= nextC) {
            const uint8_t c = 'C';
            WriteAll(fd, &c, 1);
            nextC = after + o.CIntervalMs;
        }
        if (nextNoise >= 0 && after >= nextNoise) {
            const uint8_t noise = 0x00;
            WriteAll(fd, &noise, 1);
            nextNoise = after + o.NoiseMs;
        }
    }
    if (!done && transferBlocks > 0) // stopped in the middle of an upload
        SaveImage(o, sim);
    if (done && o.HangupAfter < 0) tcdrain(fd);
    // Only a pseudo-terminal throws data away on close; a real port has
    // sent everything once tcdrain returns.
    if (done && o.HangupAfter < 0 && o.Port.empty()) {
        // Closing a pseudo-terminal throws away what the host has not read
        // yet, the last ACK among it, and a loaded machine may leave the host
        // unscheduled for seconds: wait until the host closes its side (the
        // master then sees a hang-up), bounded only so a host that never lets
        // go does not keep the simulator forever. Meanwhile answer frames as
        // the display does: a "C" sent before the first frame arrived may
        // reach a slow host in one read with the ACK, and the host then sends
        // its frame again and waits for the answer.
        sim.Reset();
        const long until = NowMs() + o.LingerMs;
        while (!StopRequested && NowMs() < until) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            if (p.revents & (POLLHUP | POLLERR)) break;
            uint8_t buf[256];
            const ssize_t got = read(fd, buf, sizeof buf);
            if (got <= 0) break;
            for (ssize_t i = 0; i < got; ++i) {
                uint8_t reply = 0;
                const auto r = sim.Feed(buf[i], reply);
                if (r == TDisplaySimulator::fr_None) continue;
                WriteAll(fd, &reply, 1);
                if (r == TDisplaySimulator::fr_DateTime || r == TDisplaySimulator::fr_LastBlock)
                    sim.Reset();
            }
        }
    }
    close(fd);
    return rc;
}
