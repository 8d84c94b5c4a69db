// The component's event, error and modem bits, taken before <windows.h>
// turns the same names into macros: they must be the values Windows uses, so
// that masks pass between the two unchanged.
#include "serial/uartevents.h"

namespace {
namespace C = YVclCtrl;
constexpr unsigned long kComponentBits[] = {
    C::EV_RXCHAR, C::EV_TXEMPTY, C::EV_CTS,     C::EV_DSR,      C::EV_RLSD,   C::EV_ERR,
    C::EV_RING,   C::CE_RXOVER,  C::CE_OVERRUN, C::CE_RXPARITY, C::CE_FRAME,  C::CE_BREAK,
    C::CE_TXFULL, C::MS_CTS_ON,  C::MS_DSR_ON,  C::MS_RING_ON,  C::MS_RLSD_ON};
} // namespace

#include "serial/twinuartport_win.h"

#include <algorithm>

namespace {
constexpr unsigned long kWindowsBits[] = {
    EV_RXCHAR, EV_TXEMPTY, EV_CTS,     EV_DSR,      EV_RLSD,   EV_ERR,
    EV_RING,   CE_RXOVER,  CE_OVERRUN, CE_RXPARITY, CE_FRAME,  CE_BREAK,
    CE_TXFULL, MS_CTS_ON,  MS_DSR_ON,  MS_RING_ON,  MS_RLSD_ON};
constexpr bool SameBits() {
    for (size_t i = 0; i < sizeof kWindowsBits / sizeof kWindowsBits[0]; ++i)
        if (kComponentBits[i] != kWindowsBits[i]) return false;
    return true;
}
static_assert(SameBits(), "the component's EV_/CE_/MS_ bits differ from Windows'");
} // namespace

namespace YVclCtrl {

namespace {
// Closing waits this long for an operation the driver was asked to cancel,
// so a driver that never completes it cannot hang Close.
constexpr DWORD kCancelWaitMs = 2000;

void CloseEvent(HANDLE& h) {
    if (h) {
        ::CloseHandle(h);
        h = nullptr;
    }
}
} // namespace

std::unique_ptr<TUartPort> CreatePlatformUartPort() {
    return std::make_unique<TWinUartPort>();
}

TWinUartPort::~TWinUartPort() {
    Close();
    CloseEvent(WriteEvent);
    CloseEvent(TermEvent);
    CloseEvent(CommEvent);
    CloseEvent(ReadEvent);
    if (Timer) {
        ::CancelWaitableTimer(Timer);
        CloseEvent(Timer);
    }
}

TPortFailure TWinUartPort::ReasonOf(unsigned long Err) {
    switch (Err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
        return TPortFailure::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return TPortFailure::AccessDenied;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return TPortFailure::NotADevice;
    default:
        return TPortFailure::Other;
    }
}

bool TWinUartPort::NotSupported(unsigned long Err) {
    return Err == ERROR_INVALID_FUNCTION || Err == ERROR_NOT_SUPPORTED ||
           Err == ERROR_CALL_NOT_IMPLEMENTED || Err == ERROR_INVALID_PARAMETER;
}

bool TWinUartPort::LostDevice(unsigned long Err) {
    // ERROR_NOT_READY: what a hung-up terminal's EIO becomes under Wine.
    return Err == ERROR_ACCESS_DENIED || Err == ERROR_OPERATION_ABORTED ||
           Err == ERROR_BAD_COMMAND || Err == ERROR_DEVICE_REMOVED ||
           Err == ERROR_DEVICE_NOT_CONNECTED || Err == ERROR_GEN_FAILURE ||
           Err == ERROR_NOT_READY || Err == ERROR_IO_DEVICE;
}

bool TWinUartPort::Fail(unsigned long Err) {
    Errno = static_cast<int>(Err);
    return false;
}

bool TWinUartPort::Open(const std::string& Device, bool WriteThrough) {
    Failure = TPortFailure::None;
    Errno = 0;
    if (Comm != INVALID_HANDLE_VALUE) return true;
    if (!WriteEvent && !(WriteEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr))) {
        Errno = static_cast<int>(::GetLastError());
        Failure = TPortFailure::Other;
        return false;
    }
    const DWORD flags = FILE_FLAG_OVERLAPPED | (WriteThrough ? FILE_FLAG_WRITE_THROUGH : 0);
    const HANDLE h = ::CreateFileA(Device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Errno = static_cast<int>(::GetLastError());
        Failure = ReasonOf(static_cast<unsigned long>(Errno));
        return false;
    }
    // A file on disk opens like any other; only the line settings would fail,
    // with a reason that hides the real mistake.
    if (::GetFileType(h) == FILE_TYPE_DISK) {
        ::CloseHandle(h);
        Errno = ERROR_NOT_SUPPORTED;
        Failure = ReasonOf(ERROR_NOT_SUPPORTED);
        return false;
    }
    Comm = h;
    WaitPending = ReadPending = TimerArmed = HungUp = false;
    DeviceWatched = true;
    HeldErrors = 0;
    WakeCount = 0;
    return true;
}

bool TWinUartPort::SetQueues(unsigned RxdBytes, unsigned TxdBytes) {
    if (!::SetupComm(Comm, RxdBytes, TxdBytes)) return Fail(::GetLastError());
    return true;
}

DCB TWinUartPort::LineState(DCB dcb, const TUartLineSettings& s) {
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = s.Baud;
    dcb.fBinary = TRUE; // Windows supports nothing else
    dcb.ByteSize = static_cast<BYTE>(s.DataBits == 7 ? 7 : 8);
    dcb.Parity = s.Parity == 1 ? ODDPARITY : s.Parity == 2 ? EVENPARITY : NOPARITY;
    dcb.fParity = s.Parity != 0;
    // A byte with a parity error arrives as a line feed, so a damaged frame
    // ends the text line it was in.
    dcb.fErrorChar = s.Parity != 0;
    dcb.ErrorChar = s.Parity != 0 ? '\n' : 0;
    dcb.StopBits = s.StopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fOutxCtsFlow = s.CtsOutFlow;
    dcb.fOutxDsrFlow = s.DsrOutFlow;
    dcb.fRtsControl =
        s.Rts == TUartLineSettings::lm_Handshake ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fDtrControl =
        s.Dtr == TUartLineSettings::lm_Handshake ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    return dcb;
}

bool TWinUartPort::Configure(const TUartLineSettings& s) {
    // Start from the driver's record so fields this layer does not own (the
    // XON/XOFF characters above all, which must differ) keep valid values.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(Comm, &dcb)) return Fail(::GetLastError());
    dcb = LineState(dcb, s);
    if (!::SetCommState(Comm, &dcb)) return Fail(::GetLastError());
    return true;
}

bool TWinUartPort::SetTimeouts(const TUartTimeouts& t) {
    // Reads take what is queued and return at once (an interval of MAXDWORD
    // with no total): a read of exactly the queued count under the interval
    // and total time-outs ends at once on Windows but stays pending under
    // Wine. The read values are kept, not applied.
    COMMTIMEOUTS ct{};
    ct.ReadIntervalTimeout = MAXDWORD;
    ct.ReadTotalTimeoutMultiplier = 0;
    ct.ReadTotalTimeoutConstant = 0;
    ct.WriteTotalTimeoutMultiplier = 0;
    ct.WriteTotalTimeoutConstant = t.WriteTotalMs;
    if (!::SetCommTimeouts(Comm, &ct)) return Fail(::GetLastError());
    Timeouts = t;
    return true;
}

bool TWinUartPort::SetEventMask(unsigned long Mask) {
    if (!::SetCommMask(Comm, Mask)) return Fail(::GetLastError());
    EventMask = Mask;
    return true;
}

bool TWinUartPort::SetModemLine(TModemLine Line, bool On) {
    const DWORD function = Line == ml_Dtr ? (On ? SETDTR : CLRDTR) : (On ? SETRTS : CLRRTS);
    if (!::EscapeCommFunction(Comm, function)) {
        const DWORD err = ::GetLastError();
        if (!NotSupported(err)) return Fail(err);
    }
    return true;
}

void TWinUartPort::FinishPending(OVERLAPPED& Olap, bool& Pending) {
    if (!Pending) return;
    DWORD n = 0;
    if (!::GetOverlappedResult(Comm, &Olap, &n, FALSE) && ::GetLastError() == ERROR_IO_INCOMPLETE)
        ::WaitForSingleObject(Olap.hEvent, kCancelWaitMs);
    Pending = false;
}

bool TWinUartPort::Close() {
    if (Comm == INVALID_HANDLE_VALUE) return true;
    // The monitor has stopped; its comm wait and read may still be out.
    ::SetCommMask(Comm, 0);
    ::CancelIoEx(Comm, nullptr);
    FinishPending(OlapEvt, WaitPending);
    FinishPending(OlapRd, ReadPending);
    ::PurgeComm(Comm, PURGE_TXABORT | PURGE_RXABORT);
    const BOOL closed = ::CloseHandle(Comm);
    const DWORD err = closed ? 0 : ::GetLastError();
    Comm = INVALID_HANDLE_VALUE;
    for (HANDLE h : {CommEvent, ReadEvent})
        if (h) ::ResetEvent(h);
    if (Timer) ::CancelWaitableTimer(Timer);
    TimerArmed = false;
    return closed ? true : Fail(err);
}

long TWinUartPort::Write(const void* Data, size_t Bytes, TWriteCancel Cancel) {
    if (Comm == INVALID_HANDLE_VALUE) {
        Errno = ERROR_INVALID_HANDLE;
        return -1;
    }
    if (Bytes == 0) return 0;
    OVERLAPPED olap{};
    olap.hEvent = WriteEvent;
    ::ResetEvent(WriteEvent);
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(std::min<size_t>(Bytes, MAXDWORD));
    if (::WriteFile(Comm, Data, size, &written, &olap)) {
        ::GetOverlappedResult(Comm, &olap, &written, FALSE);
        ::ResetEvent(WriteEvent);
        return static_cast<long>(written);
    }
    DWORD err = ::GetLastError();
    if (err != ERROR_IO_PENDING) {
        Errno = static_cast<int>(err);
        return -1;
    }
    // The driver's write time-out ends the write on Windows; the same bound
    // is kept here because not every driver applies it (Wine's does not).
    HANDLE handles[2] = {WriteEvent, TermEvent};
    const DWORD count = Cancel == TWriteCancel::OnInterrupt && TermEvent ? 2 : 1;
    // No write time-out (0) means none at all, as for the driver.
    const DWORD limit = Timeouts.WriteTotalMs ? Timeouts.WriteTotalMs : INFINITE;
    const DWORD woke = ::WaitForMultipleObjects(count, handles, FALSE, limit);
    if (woke != WAIT_OBJECT_0) ::CancelIoEx(Comm, &olap);
    // Waits for the end of the write either way: its OVERLAPPED lives on this stack.
    const BOOL done = ::GetOverlappedResult(Comm, &olap, &written, TRUE);
    err = done ? 0 : ::GetLastError();
    ::ResetEvent(WriteEvent);
    // Cut short by the time-out or by Interrupt: the bytes that went out count.
    if (done || err == ERROR_SEM_TIMEOUT ||
        (err == ERROR_OPERATION_ABORTED && woke != WAIT_OBJECT_0))
        return static_cast<long>(written);
    Errno = static_cast<int>(err);
    return -1;
}

long TWinUartPort::Read(void* Data, size_t Bytes) {
    if (Comm == INVALID_HANDLE_VALUE) {
        Errno = ERROR_INVALID_HANDLE;
        return -1;
    }
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(Comm, &errors, &stat)) {
        Errno = static_cast<int>(::GetLastError());
        return -1;
    }
    HeldErrors |= errors;
    // Exactly what is queued, so the read completes at once.
    const DWORD want = static_cast<DWORD>(std::min<size_t>(stat.cbInQue, Bytes));
    if (want == 0) return 0;
    OlapRd = OVERLAPPED{};
    OlapRd.hEvent = ReadEvent;
    ::ResetEvent(ReadEvent);
    DWORD got = 0;
    if (::ReadFile(Comm, Data, want, &got, &OlapRd)) {
        ::GetOverlappedResult(Comm, &OlapRd, &got, FALSE);
        ::ResetEvent(ReadEvent);
        return static_cast<long>(got);
    }
    const DWORD err = ::GetLastError();
    if (err == ERROR_IO_PENDING) {
        ReadPending = true;
        return kReadPending;
    }
    Errno = static_cast<int>(err);
    return -1;
}

bool TWinUartPort::ModemStatus(unsigned& Bits) {
    Bits = 0;
    DWORD status = 0;
    if (Comm == INVALID_HANDLE_VALUE || !::GetCommModemStatus(Comm, &status)) return false;
    Bits = static_cast<unsigned>(status & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON));
    return true;
}

bool TWinUartPort::PrepareWait(std::vector<std::string>& Missing) {
    if (!TermEvent && !(TermEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr)))
        Missing.push_back("hEventForTerminateThread");
    if (!CommEvent && !(CommEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr)))
        Missing.push_back("OlapUartEvt.hEvent");
    if (!ReadEvent && !(ReadEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr)))
        Missing.push_back("OlapRdFile.hEvent");
    // Auto-reset: the wait that sees it fire also clears it.
    if (!Timer && !(Timer = ::CreateWaitableTimerA(nullptr, FALSE, nullptr)))
        Missing.push_back("WaitableTimer");
    return Missing.empty();
}

void TWinUartPort::Interrupt() {
    if (TermEvent) ::SetEvent(TermEvent);
    // An empty mask also ends the outstanding WaitCommEvent.
    if (Comm != INVALID_HANDLE_VALUE) ::SetCommMask(Comm, 0);
}

bool TWinUartPort::Pause(unsigned Milliseconds) {
    if (!TermEvent) {
        ::Sleep(Milliseconds);
        return true;
    }
    return ::WaitForSingleObject(TermEvent, Milliseconds) != WAIT_OBJECT_0;
}

bool TWinUartPort::ArmTimer(unsigned Milliseconds) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(Milliseconds) * 10000; // relative, 100 ns units
    TimerArmed = Timer && ::SetWaitableTimer(Timer, &due, 0, nullptr, nullptr, FALSE);
    return TimerArmed;
}

void TWinUartPort::StopWatchingDevice() {
    DeviceWatched = false;
    if (WaitPending && Comm != INVALID_HANDLE_VALUE) ::CancelIoEx(Comm, &OlapEvt);
    FinishPending(OlapEvt, WaitPending);
    ::ResetEvent(CommEvent);
}

bool TWinUartPort::Gone() const {
    return HungUp || LostDevice(static_cast<unsigned long>(Errno.load()));
}

unsigned long TWinUartPort::QueuedBytes() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(Comm, &errors, &stat)) return 0;
    HeldErrors |= errors;
    return stat.cbInQue;
}

void TWinUartPort::StartCommWait(TPortEvents& Events) {
    OlapEvt = OVERLAPPED{};
    OlapEvt.hEvent = CommEvent;
    ::ResetEvent(CommEvent);
    EvtMask = 0;
    if (::WaitCommEvent(Comm, &EvtMask, &OlapEvt)) {
        ::ResetEvent(CommEvent);
        CommWaitEnded(Events, EvtMask);
        return;
    }
    const DWORD err = ::GetLastError();
    if (err == ERROR_IO_PENDING)
        WaitPending = true;
    else
        CommWaitFailed(Events, err);
}

void TWinUartPort::CommWaitEnded(TPortEvents& Events, unsigned long Mask) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (::ClearCommError(Comm, &errors, &stat)) HeldErrors |= errors;
    Mask &= EventMask;
    if ((Mask & EV_ERR) || ((EventMask & EV_ERR) && HeldErrors)) {
        Events.Mask |= EV_ERR;
        Events.Errors |= HeldErrors;
        HeldErrors = 0;
    }
    Events.Mask |= Mask & ~EV_ERR;
}

void TWinUartPort::CommWaitFailed(TPortEvents& Events, unsigned long Err) {
    ::ResetEvent(CommEvent);
    // An aborted wait alone does not prove the device gone: Wine ends every
    // pending wait on a port without modem lines that way. A device that
    // has gone also refuses the status query.
    DWORD errors = 0;
    COMSTAT stat{};
    const bool answered = ::ClearCommError(Comm, &errors, &stat);
    const DWORD probe = answered ? 0 : ::GetLastError();
    if (answered) HeldErrors |= errors;
    if (LostDevice(Err) && !answered && LostDevice(probe)) {
        Errno = static_cast<int>(probe);
        HungUp = true;
        Events.Gone = true;
        // A read still out on a vanished device may never end; end it now so
        // the monitor is free to find the device gone.
        if (ReadPending) ::CancelIoEx(Comm, &OlapRd);
        return;
    }
    // Silent, with a breather so a failing driver cannot spin this thread.
    if (!Pause(10)) Events.Terminate = true;
}

void TWinUartPort::PollRead(TPortEvents& Events) {
    DWORD got = 0;
    if (::GetOverlappedResult(Comm, &OlapRd, &got, FALSE)) {
        ReadPending = false;
        ::ResetEvent(ReadEvent);
        Events.ReadDone = true;
        Events.ReadBytes = static_cast<long>(got);
        return;
    }
    const DWORD err = ::GetLastError();
    if (err == ERROR_IO_INCOMPLETE) return;
    // A failed read still ends: the monitor learns it may read again.
    ReadPending = false;
    ::ResetEvent(ReadEvent);
    Events.ReadDone = true;
    Events.ReadBytes = 0;
    if (LostDevice(err)) {
        Errno = static_cast<int>(err);
        if (DeviceWatched) {
            HungUp = true;
            Events.Gone = true;
        }
    }
}

TPortEvents TWinUartPort::Wait() {
    TPortEvents ev;
    for (;;) {
        if (::WaitForSingleObject(TermEvent, 0) == WAIT_OBJECT_0) {
            ev.Terminate = true;
            return ev;
        }
        if (DeviceWatched && !WaitPending && Comm != INVALID_HANDLE_VALUE) {
            StartCommWait(ev);
            if (ev.Terminate) return ev;
            // Ended at once with nothing the owner asked for: wait again,
            // unless the timer has run out meanwhile.
            if (!WaitPending && !ev.Mask && !ev.Gone) {
                if (TimerArmed && ::WaitForSingleObject(Timer, 0) == WAIT_OBJECT_0) {
                    TimerArmed = false;
                    ev.Timer = true;
                    return ev;
                }
                continue;
            }
        }
        // Bytes that came while no wait was out, or that did not fit the
        // last read, would wake no comm wait on some drivers: report them.
        if (!ev.Mask && !ev.Gone && DeviceWatched && !ReadPending && (EventMask & EV_RXCHAR) &&
            QueuedBytes() > 0)
            ev.Mask |= EV_RXCHAR;
        if (!ev.Mask && !ev.Gone) {
            HANDLE handles[4] = {TermEvent, CommEvent, ReadEvent, Timer};
            const DWORD woke = ::WaitForMultipleObjects(4, handles, FALSE, INFINITE);
            ++WakeCount;
            if (woke == WAIT_FAILED && !Pause(10)) {
                ev.Terminate = true;
                return ev;
            }
            if (woke == WAIT_OBJECT_0 + 3 && TimerArmed) {
                TimerArmed = false;
                ev.Timer = true;
            }
        }
        if (::WaitForSingleObject(TermEvent, 0) == WAIT_OBJECT_0) {
            ev.Terminate = true;
            return ev;
        }
        if (WaitPending) {
            DWORD n = 0;
            if (::GetOverlappedResult(Comm, &OlapEvt, &n, FALSE)) {
                WaitPending = false;
                ::ResetEvent(CommEvent);
                CommWaitEnded(ev, EvtMask);
            } else if (const DWORD err = ::GetLastError(); err != ERROR_IO_INCOMPLETE) {
                WaitPending = false;
                CommWaitFailed(ev, err);
                if (ev.Terminate) return ev;
            }
        }
        if (ReadPending) PollRead(ev);
        // The timer is auto-reset: a zero wait both tests and clears it.
        if (TimerArmed && !ev.Timer && ::WaitForSingleObject(Timer, 0) == WAIT_OBJECT_0) {
            TimerArmed = false;
            ev.Timer = true;
        }
        if (ev.Mask || ev.Gone || ev.Timer || ev.ReadDone) return ev;
    }
}

} // namespace YVclCtrl
