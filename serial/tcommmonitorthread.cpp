#include "serial/tcommmonitorthread.h"

#include "serial/tcustomuart.h"
#include "serial/tuartport.h"
#include "serial/uartevents.h"
#include "util/errmsgbox.h"
#include "util/eygeneral.h"

#include <cstring>
#include <string>
#include <vector>

namespace YVclCtrl {

namespace {
const char* const kThreadCaption = "TCommEventMonitorThread";
constexpr unsigned long kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
} // namespace

template <typename F> bool TCommMonitorThread::Synchronize(F&& Fn) {
    std::shared_ptr<THandover> h = Handover;
    {
        std::lock_guard<std::mutex> lock(h->Mutex);
        if (h->Cancelled) return false;
        h->Finished = false;
    }
    QMetaObject::invokeMethod(
        Owner,
        [h, Fn = std::forward<F>(Fn)] {
            {
                std::lock_guard<std::mutex> lock(h->Mutex);
                if (h->Cancelled) return;
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

TCommMonitorThread::TCommMonitorThread(TCustomUart* OwnerUart, TUartPort* UartPort, char* Raw,
                                       char* Filtered, char* Datas)
    : Owner(OwnerUart), Port(UartPort), RawRxdBuff(Raw), FilteredRxdBuff(Filtered),
      RxdDatasBuff(Datas), FilterStyle(OwnerUart->RxdFilter_Style),
      DelimiterChar(OwnerUart->RxdFilter_DelimiterChar),
      BytesOfPacket(static_cast<long>(OwnerUart->RxdFilter_BytesOfPacket)),
      QueueSize(static_cast<long>(OwnerUart->RxdBuffBytes)),
      Handover(std::make_shared<THandover>()) {
    std::vector<std::string> missing;
    if (!Port->PrepareWait(missing)) {
        for (const std::string& name : missing)
            YVclUtil::ShowErrMsgBox_Printf(kThreadCaption, "Err: Can not create %s", name.c_str());
        ReadyFlag = false;
    }
}

TCommMonitorThread::~TCommMonitorThread() {
    Terminate();
    wait();
}

void TCommMonitorThread::Terminate() {
    TerminateFlag.store(true, std::memory_order_release);
    Port->Interrupt();
    {
        std::lock_guard<std::mutex> lock(Handover->Mutex);
        Handover->Cancelled = true;
    }
    Handover->Done.notify_all();
}

bool TCommMonitorThread::ArmLineTimer(unsigned Milliseconds) {
    LineTimerArmed = Port->ArmTimer(Milliseconds);
    return LineTimerArmed;
}

void TCommMonitorThread::run() {
    FilteredBytes = 0;
    while (!Terminated()) {
        const TPortEvents events = Port->Wait();
        if (Terminated() || events.Terminate) break;
        PortHungUp = events.Gone;
        if (events.Mask) HandleCommEvent(events.Mask, events.Errors);
        if (events.ReadDone && !Terminated()) {
            ReadPending = false;
            ReadDone(events.ReadBytes);
        }
        if (PortHungUp && !(events.Mask & EV_RXCHAR) && !Terminated()) ReadQueued();
        if (events.Timer && LineTimerArmed && !Terminated()) LineTimerStep();
    }
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
    if ((Mask & EV_RXCHAR) && !Terminated()) ReadQueued();
}

void TCommMonitorThread::ReadQueued() {
    if (DeviceLost || ReadPending) return;
    // The read takes exactly what the driver has queued, up to the receive
    // buffer; what does not fit stays queued and wakes the next wait.
    const long got = Port->Read(RawRxdBuff, static_cast<size_t>(QueueSize));
    if (got == TUartPort::kReadPending) {
        ReadPending = true;
        return;
    }
    if (got > 0) {
        ReadDone(got);
        return;
    }
    // Readable with nothing to read: a race, or the end of the device.
    if ((got < 0 && Port->Gone()) || (got == 0 && PortHungUp)) {
        ReportDeviceLost();
        return;
    }
    if (got < 0) Port->Pause(10);
}

void TCommMonitorThread::ReportDeviceLost() {
    // Reported once: a hung-up device would otherwise wake every wait.
    DeviceLost = true;
    Port->StopWatchingDevice();
    TCustomUart* owner = Owner;
    Synchronize([owner] { owner->FireDeviceLostEvent(); });
}

void TCommMonitorThread::ReadDone(long Bytes) {
    if (Bytes <= 0 || !Owner->OnRxdDatas) return;
    try {
        FilterBytes(Bytes);
    } catch (const YVclUtil::EYGeneral& e) {
        // The packet buffer is already empty; keep receiving. A stream that
        // never brings a delimiter would overflow again every buffer-full, so
        // it is reported once until a packet has come through again.
        if (OverflowReported) return;
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
                if (Terminated()) return;
            } else if (FilteredBytes >= QueueSize) {
                FilteredBytes = 0;
                if (byDelimiter)
                    throw YVclUtil::EYGeneral("%s", "TCustomUart FilteredRxdBuff overflow, when "
                                                    "delimiting the received datas !!!");
                throw YVclUtil::EYGeneral("%s", "TCustomUart FilteredRxdBuff overflow, when "
                                                "collection bytes of the received datas !!!");
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
