#include "tptypair.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

TPtyPair::TPtyPair() {
    char name[256] = {};
    if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    SlavePath = name;
    termios tio{};
    ::tcgetattr(Master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(Master, TCSANOW, &tio);
}

TPtyPair::~TPtyPair() {
    CloseMaster();
    if (Slave >= 0) ::close(Slave);
}

void TPtyPair::CloseMaster() {
    if (Master >= 0) ::close(Master);
    Master = -1;
}

void TPtyPair::Write(const std::string& Bytes) {
    size_t done = 0;
    while (done < Bytes.size()) {
        const ssize_t n = ::write(Master, Bytes.data() + done, Bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{Master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else if (n < 0 && errno != EINTR) {
            throw std::runtime_error("write to pty master failed");
        }
    }
}

bool TPtyPair::Reply(char Byte) {
    return Master >= 0 && ::write(Master, &Byte, 1) == 1;
}

std::string TPtyPair::Read(size_t Bytes, int TimeoutMs) {
    std::string out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (out.size() < Bytes && std::chrono::steady_clock::now() < until) {
        // The master stays blocking (a child process may be handed it), so
        // it is read only when poll says bytes are there.
        pollfd p{Master, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = ::read(Master, buf, std::min(sizeof buf, Bytes - out.size()));
            if (n > 0) {
                out.append(buf, static_cast<size_t>(n));
                continue;
            }
        }
        // Keep the component's events flowing while the device side waits.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ::poll(&p, 1, 5);
    }
    return out;
}
