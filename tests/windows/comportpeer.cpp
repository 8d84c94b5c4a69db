// The device side of the Windows port tests, run natively beside Wine.
//
// It opens two pseudo-terminals and links their slave sides into the Wine
// prefix as dosdevices/comN (the port under test) and dosdevices/comM (a
// control line). The Windows test program opens COMN with the port layer
// under test and speaks to this peer over COMM in text lines; the peer plays
// the display on the master of COMN and answers each command with one line,
// "OK ..." or "ERR ...".
//
//   comportpeer PREFIX PORT_NUMBER CONTROL_NUMBER
//
// Commands (one per line on the control port):
//   SETTINGS            line settings the port layer gave the device, as
//                       "OK baud=115200 bits=8 parity=N stop=1 crtscts=0"
//   SEND n seed         write n pattern bytes to the device's host
//   EXPECT n seed       read n bytes from the host (bounded wait) and
//                       compare them with the pattern
//   DRAIN               read and forget what the host has sent
//   HANGUP              close the device's master: the device is gone
//   REOPEN              a fresh pseudo-terminal linked as comN again, for
//                       the tests that follow a HANGUP
//   QUIT                end the peer
// The pattern byte i of seed s is (i * 131 + s) & 0xFF, so a dropped, doubled
// or reordered byte shows.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Generous bound for one command's wait: Wine on a busy machine is slow.
constexpr int kWaitMs = 30000;

uint8_t Pattern(size_t Index, unsigned Seed) {
    return static_cast<uint8_t>((Index * 131 + Seed) & 0xFF);
}

int OpenMaster(std::string& SlaveName) {
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0) return -1;
    SlaveName = ::ptsname(fd);
    // Raw on the master's side too, so bytes pass untouched both ways.
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

bool LinkPort(const std::string& Prefix, int Number, const std::string& Slave) {
    const std::string link = Prefix + "/dosdevices/com" + std::to_string(Number);
    ::unlink(link.c_str());
    return ::symlink(Slave.c_str(), link.c_str()) == 0;
}

// Waits for Fd to turn readable within the bound. A slave nobody holds open
// reports POLLHUP on the master; that is not data.
bool WaitReadable(int Fd, int Ms) {
    pollfd p{Fd, POLLIN, 0};
    const int n = ::poll(&p, 1, Ms);
    return n > 0 && (p.revents & POLLIN);
}

bool WriteAll(int Fd, const uint8_t* Data, size_t Size) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (Size > 0) {
        const ssize_t n = ::write(Fd, Data, Size);
        if (n > 0) {
            Data += n;
            Size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() > end) return false;
        pollfd p{Fd, POLLOUT, 0};
        ::poll(&p, 1, 100);
    }
    return true;
}

std::string Settings(int Master) {
    termios t{};
    if (::tcgetattr(Master, &t) != 0) return "ERR tcgetattr " + std::string(std::strerror(errno));
    const speed_t speed = ::cfgetospeed(&t);
    struct {
        speed_t Code;
        unsigned Baud;
    } const speeds[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
                        {B19200, 19200},   {B38400, 38400},   {B57600, 57600},  {B115200, 115200},
                        {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    unsigned baud = 0;
    for (const auto& s : speeds)
        if (s.Code == speed) baud = s.Baud;
    const unsigned bits = (t.c_cflag & CSIZE) == CS5   ? 5
                          : (t.c_cflag & CSIZE) == CS6 ? 6
                          : (t.c_cflag & CSIZE) == CS7 ? 7
                                                       : 8;
    const char parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
    std::ostringstream out;
    out << "OK baud=" << baud << " bits=" << bits << " parity=" << parity
        << " stop=" << ((t.c_cflag & CSTOPB) ? 2 : 1)
        << " crtscts=" << ((t.c_cflag & CRTSCTS) ? 1 : 0);
    return out.str();
}

std::string Expect(int Master, size_t Count, unsigned Seed) {
    std::vector<uint8_t> got;
    got.reserve(Count);
    uint8_t buffer[4096];
    while (got.size() < Count) {
        if (!WaitReadable(Master, kWaitMs))
            return "ERR timeout after " + std::to_string(got.size()) + " of " +
                   std::to_string(Count);
        const ssize_t n = ::read(Master, buffer, std::min(sizeof buffer, Count - got.size()));
        if (n <= 0) return "ERR read " + std::string(n < 0 ? std::strerror(errno) : "end");
        got.insert(got.end(), buffer, buffer + n);
    }
    for (size_t i = 0; i < Count; ++i)
        if (got[i] != Pattern(i, Seed))
            return "ERR byte " + std::to_string(i) + " is " + std::to_string(got[i]);
    return "OK " + std::to_string(Count);
}

std::string Drain(int Master) {
    size_t total = 0;
    uint8_t buffer[4096];
    while (WaitReadable(Master, 200)) {
        const ssize_t n = ::read(Master, buffer, sizeof buffer);
        if (n <= 0) break;
        total += static_cast<size_t>(n);
    }
    return "OK " + std::to_string(total);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: comportpeer PREFIX PORT_NUMBER CONTROL_NUMBER\n");
        return 2;
    }
    const std::string prefix = argv[1];
    const int portNumber = std::atoi(argv[2]);
    const int controlNumber = std::atoi(argv[3]);
    std::string deviceSlave, controlSlave;
    int device = OpenMaster(deviceSlave);
    const int control = OpenMaster(controlSlave);
    if (device < 0 || control < 0 || !LinkPort(prefix, portNumber, deviceSlave) ||
        !LinkPort(prefix, controlNumber, controlSlave)) {
        std::fprintf(stderr, "comportpeer: cannot set up the ports: %s\n", std::strerror(errno));
        return 1;
    }
    // The line tells the script the links are in place.
    std::printf("ready COM%d=%s COM%d=%s\n", portNumber, deviceSlave.c_str(), controlNumber,
                controlSlave.c_str());
    std::fflush(stdout);

    std::string line;
    uint8_t c;
    for (;;) {
        // The control slave is opened and closed by each test program in turn;
        // a master without an opener reports hang-up, so poll gently.
        pollfd p{control, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0 || !(p.revents & POLLIN)) continue;
        const ssize_t n = ::read(control, &c, 1);
        if (n <= 0) continue;
        if (c == '\r') continue;
        if (c != '\n') {
            line.push_back(static_cast<char>(c));
            continue;
        }
        std::istringstream in(line);
        line.clear();
        std::string command;
        in >> command;
        std::string answer;
        if (command == "SETTINGS") {
            answer = device >= 0 ? Settings(device) : "ERR gone";
        } else if (command == "SEND") {
            size_t count = 0;
            unsigned seed = 0;
            in >> count >> seed;
            std::vector<uint8_t> data(count);
            for (size_t i = 0; i < count; ++i)
                data[i] = Pattern(i, seed);
            answer = device >= 0 && WriteAll(device, data.data(), data.size())
                         ? "OK " + std::to_string(count)
                         : "ERR write";
        } else if (command == "EXPECT") {
            size_t count = 0;
            unsigned seed = 0;
            in >> count >> seed;
            answer = device >= 0 ? Expect(device, count, seed) : "ERR gone";
        } else if (command == "DRAIN") {
            answer = device >= 0 ? Drain(device) : "ERR gone";
        } else if (command == "HANGUP") {
            if (device >= 0) ::close(device);
            device = -1;
            answer = "OK";
        } else if (command == "REOPEN") {
            if (device >= 0) ::close(device);
            device = OpenMaster(deviceSlave);
            answer = device >= 0 && LinkPort(prefix, portNumber, deviceSlave) ? "OK " + deviceSlave
                                                                              : "ERR reopen";
        } else if (command == "QUIT") {
            answer = "OK";
        } else {
            answer = "ERR unknown command " + command;
        }
        answer += "\n";
        WriteAll(control, reinterpret_cast<const uint8_t*>(answer.data()), answer.size());
        if (command == "QUIT") break;
    }
    return 0;
}
