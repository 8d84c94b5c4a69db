#include "serial/tcommmonitorthread.h"

#include "serial/tcustomuart.h"
#include "serial/tuartport.h"
#include "serial/uartevents.h"
#include "util/errmsgbox.h"
#include "util/eygeneral.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace YVclCtrl {

namespace {
const char* const kThreadCaption = "TCommEventMonitorThread";
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

template <typename F>
bool TCommMonitorThread::Synchronize(F&& Fn) {
    std::shared_ptr<THandover> h = Handover;
    {
        std::lock_guard<std::mutex> lock(h->Mutex);
        if (h->Cancelled)
            return false;
        h->Finished = false;
    }
    QMetaObject::invokeMethod(
        Owner,
        [h, Fn = std::forward<F>(Fn)] {
            {
                std::lock_guard<std::mutex> lock(h->Mutex);
                if (h->Cancelled)
                    return;
            }
            Fn();
            {
                std::lock_guard<std::mutex> lock(h->Mutex);
                h->Finished = true;
            }
            h->Done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(h->Mutex);
    h->Done.wait(lock, [&] { return h->Finished || h->Cancelled; });
    return !h->Cancelled;
}

TCommMonitorThread::TCommMonitorThread(TCustomUart* OwnerUart, TUartPort* UartPort, char* Raw, char* Filtered,
                                       char* Datas)
    : Owner(OwnerUart), Port(UartPort), RawRxdBuff(Raw), FilteredRxdBuff(Filtered), RxdDatasBuff(Datas),
      FilterStyle(OwnerUart->RxdFilter_Style), DelimiterChar(OwnerUart->RxdFilter_DelimiterChar),
      BytesOfPacket(static_cast<long>(OwnerUart->RxdFilter_BytesOfPacket)),
      QueueSize(static_cast<long>(OwnerUart->RxdBuffBytes)), EventMask(OwnerUart->EventMask),
      Handover(std::make_shared<THandover>()) {
    TermFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (TermFd < 0) {
        YVclUtil::ShowErrMsgBox_Printf(kThreadCaption, "%s", "Err: Can not create hEventForTerminateThread");
        ReadyFlag = false;
    }
    ComplFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (ComplFd < 0) {
        YVclUtil::ShowErrMsgBox_Printf(kThreadCaption, "%s", "Err: Can not create OlapRdFile.hEvent");
        ReadyFlag = false;
    }
    TimerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (TimerFd < 0) {
        YVclUtil::ShowErrMsgBox_Printf(kThreadCaption, "%s", "Err: Can not create WaitableTimer");
        ReadyFlag = false;
    }
    const unsigned baud = std::max(1u, OwnerUart->UartBaud);
    TxRecheckUsPerByte = std::max(1u, static_cast<unsigned>(OwnerUart->BitsPerCharacter() * 1000000ull / baud));
    if (EventMask & kModemEvents)
        ModemSampling = Port->ModemStatus(ModemBits);
}

TCommMonitorThread::~TCommMonitorThread() {
    Terminate();
    wait();
    for (int fd : {TermFd, ComplFd, TimerFd})
        if (fd >= 0)
            ::close(fd);
}

void TCommMonitorThread::Terminate() {
    TerminateFlag.store(true, std::memory_order_release);
    if (TermFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(TermFd, &one, sizeof one);
    }
    {
        std::lock_guard<std::mutex> lock(Handover->Mutex);
        Handover->Cancelled = true;
    }
    Handover->Done.notify_all();
}

void TCommMonitorThread::NotifyTxQueued() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(ComplFd, &one, sizeof one);
}

bool TCommMonitorThread::ArmLineTimer(unsigned Milliseconds) {
    LineTimerArmed = true;
    LineDue = TClock::now() + std::chrono::milliseconds(Milliseconds);
    RearmTimer();
    if (!TimerSet) {
        LineTimerArmed = false;
        return false;
    }
    return true;
}

void TCommMonitorThread::RearmTimer() {
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
    consider(ModemSampling && PortWatched, ModemDue);
    if (!any) {
        if (TimerSet) {
            itimerspec off{};
            ::timerfd_settime(TimerFd, 0, &off, nullptr);
            TimerSet = false;
        }
        return;
    }
    if (TimerSet && due == TimerSetFor)
        return;
    // steady_clock counts CLOCK_MONOTONIC, so its time point is the absolute expiry.
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch()).count();
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
    expiry.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
    if (expiry.it_value.tv_sec == 0 && expiry.it_value.tv_nsec == 0)
        expiry.it_value.tv_nsec = 1; // zero would disarm
    TimerSet = ::timerfd_settime(TimerFd, TFD_TIMER_ABSTIME, &expiry, nullptr) == 0;
    TimerSetFor = due;
}

void TCommMonitorThread::PauseAfterFailure() {
    pollfd p{TermFd, POLLIN, 0};
    ::poll(&p, 1, 10);
}

void TCommMonitorThread::run() {
    FilteredBytes = 0;
    pollfd fds[4] = {{TermFd, POLLIN, 0}, {Port->Handle(), POLLIN, 0}, {ComplFd, POLLIN, 0}, {TimerFd, POLLIN, 0}};
    if (ModemSampling) {
        ModemDue = TClock::now() + kModemSamplePeriod;
        RearmTimer();
    }
    while (!Terminated()) {
        fds[1].fd = PortWatched ? Port->Handle() : -1;
        const int n = ::poll(fds, 4, -1);
        if (n < 0) {
            if (errno != EINTR)
                PauseAfterFailure();
            continue;
        }
        if (Terminated() || fds[0].revents)
            break;

        unsigned long mask = 0;
        unsigned long errors = 0;
        if (fds[2].revents & POLLIN) {
            DrainCounter(ComplFd);
            TxWatch = true;
        }
        if (fds[3].revents & POLLIN) {
            DrainCounter(TimerFd);
            TimerSet = false;
        }
        if (TxWatch)
            CheckTxEmpty(mask);
        PortHungUp = PortWatched && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL));
        if (PortWatched && (fds[1].revents & POLLIN))
            mask |= EV_RXCHAR;
        if (PortWatched && (EventMask & EV_ERR) && Port->LineErrors(errors) && errors)
            mask |= EV_ERR;
        if (ModemSampling && PortWatched)
            SampleModemLines(mask);

        if (mask)
            HandleCommEvent(mask, errors);
        if (PortHungUp && !(mask & EV_RXCHAR) && !Terminated())
            ReadQueued();

        if (!Terminated() && LineTimerArmed && TClock::now() >= LineDue)
            LineTimerStep();
        if (!Terminated())
            RearmTimer();
    }
}

void TCommMonitorThread::CheckTxEmpty(unsigned long& Mask) {
    const long queued = Port->OutQueue();
    if (queued <= 0) {
        TxWatch = false;
        TxRecheckArmed = false;
        Mask |= EV_TXEMPTY;
        return;
    }
    // Still sending: look again about when the queued bytes should be out.
    TxRecheckArmed = true;
    TxRecheckDue = TClock::now() + std::chrono::microseconds(std::max<long>(200, queued * TxRecheckUsPerByte));
}

void TCommMonitorThread::SampleModemLines(unsigned long& Mask) {
    const auto now = TClock::now();
    unsigned bits = 0;
    if (!Port->ModemStatus(bits))
        return;
    const unsigned changed = bits ^ ModemBits;
    ModemBits = bits;
    unsigned long events = 0;
    if (changed & MS_CTS_ON)
        events |= EV_CTS;
    if (changed & MS_DSR_ON)
        events |= EV_DSR;
    if (changed & MS_RLSD_ON)
        events |= EV_RLSD;
    if (changed & MS_RING_ON)
        events |= EV_RING;
    Mask |= events & EventMask;
    ModemDue = now + kModemSamplePeriod;
}

void TCommMonitorThread::HandleCommEvent(unsigned long Mask, unsigned long Errors) {
    TCustomUart* owner = Owner;
    if ((Mask & EV_ERR) && !Terminated())
        Synchronize([owner, Errors] { owner->FireUartErrEvent(Errors); });
    if ((Mask & kModemEvents) && !Terminated()) {
        const unsigned long modem = Mask & kModemEvents;
        Synchronize([owner, modem] { owner->FireModemSignalEvent(modem); });
    }
    if ((Mask & EV_TXEMPTY) && !Terminated()) {
        if (Owner->PrrallelProcessingWhenDetectedTxdEmpty() && !Terminated())
            Synchronize([owner] { owner->FireTxdEmptyEvent(); });
    }
    if ((Mask & EV_RXCHAR) && !Terminated())
        ReadQueued();
}

void TCommMonitorThread::ReadQueued() {
    if (!PortWatched)
        return;
    // A non-blocking read takes exactly what the driver has queued, up to the
    // receive buffer; what does not fit stays queued and wakes the next poll.
    const long got = Port->Read(RawRxdBuff, static_cast<size_t>(QueueSize));
    if (got > 0) {
        ReadDone(got);
        return;
    }
    // Readable with nothing to read: a race, or the end of the device.
    if ((got < 0 && Port->Gone()) || (got == 0 && PortHungUp)) {
        ReportDeviceLost();
        return;
    }
    if (got < 0)
        PauseAfterFailure();
}

void TCommMonitorThread::ReportDeviceLost() {
    // Stop watching the port: a hung-up descriptor stays readable and would
    // wake the poll forever.
    PortWatched = false;
    TxWatch = false;
    TxRecheckArmed = false;
    TCustomUart* owner = Owner;
    Synchronize([owner] { owner->FireDeviceLostEvent(); });
}

void TCommMonitorThread::ReadDone(long Bytes) {
    if (Bytes <= 0 || !Owner->OnRxdDatas)
        return;
    try {
        FilterBytes(Bytes);
    } catch (const YVclUtil::EYGeneral& e) {
        // The packet buffer is already empty; keep receiving. A stream that
        // never brings a delimiter would overflow again every buffer-full, so
        // it is reported once until a packet has come through again.
        if (OverflowReported)
            return;
        OverflowReported = true;
        const std::string text = e.what();
        Synchronize([text] { YVclUtil::ShowErrMsgBox_Printf(kThreadCaption, "%s", text.c_str()); });
    }
}

void TCommMonitorThread::FilterBytes(long Bytes) {
    switch (FilterStyle) {
    case rfs_ByDelimiterChar:
    case rfs_ByBytesOfPacket: {
        const bool byDelimiter = FilterStyle == rfs_ByDelimiterChar;
        for (long i = 0; i < Bytes; ++i) {
            const char c = RawRxdBuff[i];
            FilteredRxdBuff[FilteredBytes++] = c;
            const bool complete = byDelimiter ? c == DelimiterChar : FilteredBytes == BytesOfPacket;
            if (complete) {
                Deliver();
                FilteredBytes = 0;
                if (Terminated())
                    return;
            } else if (FilteredBytes >= QueueSize) {
                FilteredBytes = 0;
                if (byDelimiter)
                    throw YVclUtil::EYGeneral(
                        "%s", "TCustomUart FilteredRxdBuff overflow, when delimiting the received datas !!!");
                throw YVclUtil::EYGeneral(
                    "%s", "TCustomUart FilteredRxdBuff overflow, when collection bytes of the received datas !!!");
            }
        }
        break;
    }
    default:
        std::memcpy(FilteredRxdBuff, RawRxdBuff, static_cast<size_t>(Bytes));
        FilteredBytes = Bytes;
        Deliver();
        FilteredBytes = 0;
        break;
    }
}

void TCommMonitorThread::Deliver() {
    OverflowReported = false;
    TCustomUart* owner = Owner;
    const char* from = FilteredRxdBuff;
    char* to = RxdDatasBuff;
    const long bytes = FilteredBytes;
    Synchronize([owner, from, to, bytes] {
        std::memcpy(to, from, static_cast<size_t>(bytes));
        owner->FireRxdDatasEvent(static_cast<unsigned>(bytes));
    });
}

void TCommMonitorThread::LineTimerStep() {
    LineTimerArmed = false;
    const bool sent = Owner->PrrallelProcessingTrySendNextLineOfTxtFile();
    if (!sent && Owner->OnTxdEmpty && !Terminated()) {
        TCustomUart* owner = Owner;
        Synchronize([owner] { owner->FireTxdEmptyEvent(); });
    }
}

} // namespace YVclCtrl
