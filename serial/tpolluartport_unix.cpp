#include "serial/tpolluartport_unix.h"

#include "serial/uartevents.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace YVclCtrl {

namespace {
constexpr unsigned long kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
// Lines that nobody else wakes us for are sampled this often, and only when
// the owner asked for modem-line events and the driver reports the lines.
constexpr auto kModemSamplePeriod = std::chrono::milliseconds(10);

void DrainCounter(int fd) {
    uint64_t value;
    while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}
} // namespace

TPollUartPort::~TPollUartPort() {
    for (int fd : {TermFd, ComplFd, TimerFd})
        if (fd >= 0) ::close(fd);
}

void TPollUartPort::SetCharacterTime(unsigned Baud, unsigned BitsPerCharacter) {
    const unsigned long long us = BitsPerCharacter * 1000000ull / std::max(1u, Baud);
    TxRecheckUsPerByte = std::max(1u, static_cast<unsigned>(us));
}

bool TPollUartPort::SetEventMask(unsigned long Mask) {
    EventMask = Mask;
    return true;
}

bool TPollUartPort::PrepareWait(std::vector<std::string>& Missing) {
    if (TermFd < 0 && (TermFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) < 0)
        Missing.push_back("hEventForTerminateThread");
    if (ComplFd < 0 && (ComplFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) < 0)
        Missing.push_back("OlapRdFile.hEvent");
    if (TimerFd < 0 &&
        (TimerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK)) < 0)
        Missing.push_back("WaitableTimer");
    if (EventMask & kModemEvents) {
        ModemSampling = ModemStatus(ModemBits);
        ModemDue = TClock::now() + kModemSamplePeriod;
    }
    return Missing.empty();
}

void TPollUartPort::Interrupt() {
    if (TermFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(TermFd, &one, sizeof one);
    }
}

bool TPollUartPort::Pause(unsigned Milliseconds) {
    pollfd p{TermFd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(Milliseconds)) <= 0 || !(p.revents & POLLIN);
}

void TPollUartPort::NotifyTxQueued() {
    if (ComplFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(ComplFd, &one, sizeof one);
    }
}

void TPollUartPort::StopWatchingDevice() {
    // A hung-up descriptor stays readable and would wake the poll forever.
    DeviceWatched = false;
    TxWatch = false;
    TxRecheckArmed = false;
}

bool TPollUartPort::ArmTimer(unsigned Milliseconds) {
    LineTimerArmed = true;
    LineDue = TClock::now() + std::chrono::milliseconds(Milliseconds);
    RearmTimer();
    if (!TimerSet) {
        LineTimerArmed = false;
        return false;
    }
    return true;
}

void TPollUartPort::RearmTimer() {
    bool any = false;
    TClock::time_point due{};
    auto consider = [&](bool armed, TClock::time_point at) {
        if (armed && (!any || at < due)) {
            due = at;
            any = true;
        }
    };
    consider(LineTimerArmed, LineDue);
    consider(TxRecheckArmed, TxRecheckDue);
    consider(ModemSampling && DeviceWatched, ModemDue);
    if (!any) {
        if (TimerSet) {
            itimerspec off{};
            ::timerfd_settime(TimerFd, 0, &off, nullptr);
            TimerSet = false;
        }
        return;
    }
    if (TimerSet && due == TimerSetFor) return;
    // steady_clock counts CLOCK_MONOTONIC, so its time point is the absolute expiry.
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch()).count();
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
    expiry.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
    if (expiry.it_value.tv_sec == 0 && expiry.it_value.tv_nsec == 0)
        expiry.it_value.tv_nsec = 1; // zero would disarm
    TimerSet = ::timerfd_settime(TimerFd, TFD_TIMER_ABSTIME, &expiry, nullptr) == 0;
    TimerSetFor = due;
}

TPortEvents TPollUartPort::Wait() {
    TPortEvents ev;
    for (;;) {
        RearmTimer();
        pollfd fds[4] = {{TermFd, POLLIN, 0},
                         {DeviceWatched ? DeviceFd() : -1, POLLIN, 0},
                         {ComplFd, POLLIN, 0},
                         {TimerFd, POLLIN, 0}};
        const int n = ::poll(fds, 4, -1);
        if (n < 0) {
            if (errno != EINTR) Pause(10);
            continue;
        }
        if (fds[0].revents) {
            ev.Terminate = true;
            return ev;
        }
        if (fds[2].revents & POLLIN) {
            DrainCounter(ComplFd);
            TxWatch = true;
        }
        if (fds[3].revents & POLLIN) {
            DrainCounter(TimerFd);
            TimerSet = false;
        }
        if (TxWatch) CheckTxEmpty(ev.Mask);
        ev.Gone = DeviceWatched && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL));
        if (DeviceWatched && (fds[1].revents & POLLIN)) ev.Mask |= EV_RXCHAR;
        unsigned long errors = 0;
        if (DeviceWatched && (EventMask & EV_ERR) && LineErrors(errors) && errors) {
            ev.Mask |= EV_ERR;
            ev.Errors = errors;
        }
        if (ModemSampling && DeviceWatched) SampleModemLines(ev.Mask);
        if (LineTimerArmed && TClock::now() >= LineDue) {
            LineTimerArmed = false;
            ev.Timer = true;
        }
        if (ev.Mask || ev.Gone || ev.Timer) return ev;
    }
}

void TPollUartPort::CheckTxEmpty(unsigned long& Mask) {
    const long queued = OutQueue();
    if (queued <= 0) {
        TxWatch = false;
        TxRecheckArmed = false;
        Mask |= EV_TXEMPTY;
        return;
    }
    // Still sending: look again about when the queued bytes should be out.
    TxRecheckArmed = true;
    const long us = std::max<long>(200, queued * TxRecheckUsPerByte);
    TxRecheckDue = TClock::now() + std::chrono::microseconds(us);
}

void TPollUartPort::SampleModemLines(unsigned long& Mask) {
    const auto now = TClock::now();
    unsigned bits = 0;
    if (!ModemStatus(bits)) return;
    const unsigned changed = bits ^ ModemBits;
    ModemBits = bits;
    unsigned long events = 0;
    if (changed & MS_CTS_ON) events |= EV_CTS;
    if (changed & MS_DSR_ON) events |= EV_DSR;
    if (changed & MS_RLSD_ON) events |= EV_RLSD;
    if (changed & MS_RING_ON) events |= EV_RING;
    Mask |= events & EventMask;
    ModemDue = now + kModemSamplePeriod;
}

} // namespace YVclCtrl
