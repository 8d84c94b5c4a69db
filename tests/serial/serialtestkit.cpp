#include "serialtestkit.h"

#include "util/errmsgbox.h"

#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    char name[256] = {};
    if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    SlavePath = name;
    termios tio{};
    ::tcgetattr(Master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(Master, TCSANOW, &tio);
    ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    CloseMaster();
    if (Slave >= 0) ::close(Slave);
}

void PtyPair::CloseMaster() {
    if (Master >= 0) ::close(Master);
    Master = -1;
}

void PtyPair::Write(const std::string& Bytes) {
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

std::string PtyPair::Read(size_t Bytes, int TimeoutMs) {
    std::string out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (out.size() < Bytes && std::chrono::steady_clock::now() < until) {
        char buf[4096];
        const ssize_t n = ::read(Master, buf, std::min(sizeof buf, Bytes - out.size()));
        if (n > 0) {
            out.append(buf, static_cast<size_t>(n));
            continue;
        }
        // Keep the component's events flowing while the device side waits.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{Master, POLLIN, 0};
        ::poll(&p, 1, 5);
    }
    return out;
}

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!Done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        // Sleeps in the event loop until an event comes or 2 ms pass.
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

ErrBoxRecorder::ErrBoxRecorder() {
    YVclUtil::SetErrMsgBoxHandler([this](const std::string& caption, const std::string& text) {
        std::lock_guard<std::mutex> lock(Mutex);
        Recorded.push_back({caption, text});
    });
}

ErrBoxRecorder::~ErrBoxRecorder() {
    YVclUtil::SetErrMsgBoxHandler({});
}

std::vector<ErrBoxRecorder::Box> ErrBoxRecorder::Boxes() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return Recorded;
}

size_t ErrBoxRecorder::Count() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return Recorded.size();
}
