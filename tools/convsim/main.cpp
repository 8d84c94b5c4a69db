// convsim: the serial VTNet converter on a pseudo-terminal.
//
//   convsim [--link PATH] [--node SS:NN]... [--mute R] [--wdt-ms N]
//
// Prints "PTY <slave device>" first; a program opens that device (or the
// symlink given with --link) as its converter port. Then one line per event
// on standard output ("R0 05", "OUT 01 02 0F", "PKT 01020103", "WDT", ...).
// Commands on standard input, one a line:
//   input SS NN VV    node SS:NN reports inputs VV (hex)
//   node-reset SS NN  node SS:NN resets by itself
//   wdt               the converter resets by itself (watchdog)
//   xin VV            the converter's own inputs (register R1)
//   raw TEXT          sends TEXT and CR LF as they are
//   quit
// Ends on "quit", SIGINT or SIGTERM.

#include "tconvertersim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: convsim [--link PATH] [--node SS:NN]... [--mute R] [--wdt-ms N]\n");
}

bool ParseHexByte(const char* s, uint8_t& out) {
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(s, &end, 16);
    if (errno || end == s || *end || v > 0xFF) return false;
    out = static_cast<uint8_t>(v);
    return true;
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 200) <= 0)
                return; // nobody reads: the converter drops it, as a full line driver would
        } else {
            return;
        }
    }
}

void FlushLog(TConverterSim& sim) {
    for (const std::string& line : sim.TakeLog())
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string HandleCommand(TConverterSim& sim, const std::string& line, bool& quit) {
    char word[32] = {};
    char a[16] = {}, b[16] = {}, c[16] = {};
    const int n = std::sscanf(line.c_str(), "%31s %15s %15s %15s", word, a, b, c);
    if (n < 1) return {};
    const std::string cmd = word;
    uint8_t x = 0, y = 0, z = 0;
    if (cmd == "quit") {
        quit = true;
    } else if (cmd == "wdt") {
        return sim.WatchdogReset();
    } else if (cmd == "input" && n == 4 && ParseHexByte(a, x) && ParseHexByte(b, y) &&
               ParseHexByte(c, z)) {
        return sim.SetNodeInputs(x, y, z);
    } else if (cmd == "node-reset" && n == 3 && ParseHexByte(a, x) && ParseHexByte(b, y)) {
        return sim.NodeSelfReset(x, y);
    } else if (cmd == "xin" && n == 2 && ParseHexByte(a, x)) {
        sim.SetRegister('1', x);
    } else if (cmd == "raw") {
        const size_t at = line.find("raw ");
        return at == std::string::npos ? std::string("\r\n") : line.substr(at + 4) + "\r\n";
    } else {
        std::fprintf(stderr, "convsim: unknown command: %s\n", line.c_str());
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    TConverterSim sim;
    std::string link;
    long wdtMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--link" && hasValue) {
            link = argv[++i];
        } else if (arg == "--node" && hasValue) {
            const std::string v = argv[++i];
            const size_t colon = v.find(':');
            uint8_t seg = 0, node = 0;
            if (colon == std::string::npos || !ParseHexByte(v.substr(0, colon).c_str(), seg) ||
                !ParseHexByte(v.substr(colon + 1).c_str(), node) || seg > 0x80 || node > 0x7F) {
                std::fprintf(stderr, "convsim: bad node address: %s\n", v.c_str());
                return 2;
            }
            sim.AddNode(seg, node);
        } else if (arg == "--mute" && hasValue) {
            sim.MuteRegister(argv[++i][0]);
        } else if (arg == "--wdt-ms" && hasValue) {
            wdtMs = std::strtol(argv[++i], nullptr, 10);
        } else {
            Usage();
            return 2;
        }
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("convsim: pseudo-terminal");
        return 1;
    }
    const char* slaveName = ptsname(master);
    if (!slaveName) {
        std::perror("convsim: ptsname");
        return 1;
    }
    const std::string slave = slaveName;
    // Held open so the master never sees a hang-up between clients, and put
    // in raw mode so nothing is echoed before the client configures it.
    const int keep = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (keep >= 0) {
        termios tio{};
        if (tcgetattr(keep, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(keep, TCSANOW, &tio);
        }
    }
    if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(slave.c_str(), link.c_str()) != 0) {
            std::perror("convsim: symlink");
            return 1;
        }
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("PTY %s\n", slave.c_str());
    std::fflush(stdout);

    timespec lastWdt{};
    clock_gettime(CLOCK_MONOTONIC, &lastWdt);
    std::string command;
    bool stdinOpen = true;
    bool quit = false;
    while (!g_stop && !quit) {
        pollfd fds[2] = {{master, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        const int ready = poll(fds, 2, 50);
        if (ready < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            char buf[4096];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) {
                WriteAll(master, sim.Feed(buf, static_cast<size_t>(n)));
                FlushLog(sim);
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buf[1024];
            const ssize_t n = read(0, buf, sizeof buf);
            if (n <= 0) {
                stdinOpen = false;
            } else {
                for (ssize_t i = 0; i < n; ++i) {
                    if (buf[i] != '\n') {
                        command += buf[i];
                        continue;
                    }
                    WriteAll(master, HandleCommand(sim, command, quit));
                    FlushLog(sim);
                    command.clear();
                }
            }
        }
        if (wdtMs > 0) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const long elapsed =
                (now.tv_sec - lastWdt.tv_sec) * 1000 + (now.tv_nsec - lastWdt.tv_nsec) / 1000000;
            if (elapsed >= wdtMs) {
                lastWdt = now;
                WriteAll(master, sim.WatchdogReset());
                FlushLog(sim);
            }
        }
    }
    if (!link.empty()) unlink(link.c_str());
    if (keep >= 0) close(keep);
    close(master);
    return 0;
}
