#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace YVclCtrl {

// Line settings of a port, already reduced from the component's properties.
struct TUartLineSettings {
    enum TLineMode { lm_Enable, lm_Handshake };
    unsigned Baud = 9600;
    unsigned DataBits = 8;
    int Parity = 0; // 0 none, 1 odd, 2 even
    unsigned StopBits = 1;
    bool CtsOutFlow = false;
    bool DsrOutFlow = false;
    TLineMode Rts = lm_Enable;
    TLineMode Dtr = lm_Enable;
};

// Time-outs in milliseconds. Reads take only bytes already queued and never
// wait, so only the write value bounds anything; the read values are kept so
// the settings stay whole.
struct TUartTimeouts {
    unsigned ReadIntervalMs = 0;
    unsigned ReadTotalMs = 0;
    unsigned WriteTotalMs = 0;
};

// Why an open failed, as the component words it.
enum class TPortFailure { None, NotFound, AccessDenied, NotADevice, Other };

// Whether a write gives up early once Interrupt() has been called, so that
// Close never waits out a whole write time-out for the monitor's text line.
enum class TWriteCancel { Never, OnInterrupt };

// What one TUartPort::Wait reports; several things may come together.
struct TPortEvents {
    bool Terminate = false;   // Interrupt() was called
    unsigned long Mask = 0;   // EV_* bits (uartevents.h): bytes in, transmitter empty, line events
    unsigned long Errors = 0; // CE_* flags cleared by this wait, when Mask has EV_ERR
    bool ReadDone = false;    // a read that Read() left pending has finished ...
    long ReadBytes = 0;       // ... with this many bytes in the buffer it was given
    bool Timer = false;       // the one-shot timer of ArmTimer has run out
    bool Gone = false;        // the device hung up; what it had queued can still be read
};

// The operating-system side of one serial port: the device and the wait for
// its events. The component and its monitor thread use only this. Writes come
// from one party at a time (the component's rules), so no member locks.
//
// The monitor blocks in Wait and dispatches what it reports. The wait set is
// four objects, which is what a Windows port keeps for WaitForMultipleObjects,
// in this order:
//   0 terminate event  - Interrupt() is SetEvent, plus SetCommMask(0) to end
//                        the outstanding WaitCommEvent;      -> Terminate
//   1 comm event       - the overlapped WaitCommEvent, re-armed by each Wait;
//                        its mask gives EV_RXCHAR, EV_TXEMPTY and the line
//                        events, ClearCommError the CE_* flags -> Mask, Errors
//                        (failures after removal, such as ERROR_ACCESS_DENIED
//                        or ERROR_BAD_COMMAND -> Gone)
//   2 read completion  - the OVERLAPPED of a ReadFile that Read() returned as
//                        kReadPending; GetOverlappedResult  -> ReadDone, ReadBytes
//   3 waitable timer   - ArmTimer is SetWaitableTimer, one-shot -> Timer
// Pause is WaitForSingleObject on the terminate event; a cancellable Write
// waits on its own write event and the terminate event, then CancelIo.
// NotifyTxQueued does nothing there, since the comm event reports EV_TXEMPTY
// itself. The POSIX port builds the same reports from poll over an eventfd,
// the device, a second eventfd and a timerfd (TPollUartPort).
class TUartPort {
public:
    enum TModemLine { ml_Dtr, ml_Rts };
    // Read's result when the read goes on in the background (never on POSIX).
    static constexpr long kReadPending = -2;

    virtual ~TUartPort() = default;

    // ---- the device (component thread) ----
    // Opens the device exclusively. False with LastFailure()/LastErrno() set.
    virtual bool Open(const std::string& Device, bool WriteThrough) = 0;
    // False when the driver refuses; each leaves LastErrno().
    virtual bool SetQueues(unsigned RxdBytes, unsigned TxdBytes) = 0;
    virtual bool Configure(const TUartLineSettings& Settings) = 0;
    virtual bool SetTimeouts(const TUartTimeouts& Timeouts) = 0;
    // The EV_* events Wait reports from now on. False when the driver refuses.
    virtual bool SetEventMask(unsigned long Mask) = 0;
    // Raises or lowers a modem line. A driver without modem lines counts as success.
    virtual bool SetModemLine(TModemLine Line, bool On) = 0;
    // Releases the device; false when the system reported a failure.
    virtual bool Close() = 0;

    // Writes the whole block within the write time-out. Returns the bytes
    // written (fewer on time-out or when cancelled), -1 on failure (LastErrno()).
    virtual long Write(const void* Data, size_t Bytes,
                       TWriteCancel Cancel = TWriteCancel::Never) = 0;
    // Reads what is there without waiting: bytes read, 0 for none,
    // kReadPending (see Wait), -1 on failure (LastErrno(); Gone() tells a
    // vanished device).
    virtual long Read(void* Data, size_t Bytes) = 0;
    // MS_* bits; false when the driver has no modem lines.
    virtual bool ModemStatus(unsigned& Bits) = 0;

    // ---- the wait (monitor thread, except where named) ----
    // Makes the wait objects. False when one cannot be made; Missing then
    // names each (the monitor reports them); Wait must not be called then.
    virtual bool PrepareWait(std::vector<std::string>& Missing) = 0;
    // Blocks until there is something to report; never returns an empty report.
    virtual TPortEvents Wait() = 0;
    // Any thread: wakes Wait with Terminate, now and for good, and lets a
    // cancellable write give up.
    virtual void Interrupt() = 0;
    // Sleeps Milliseconds; false when Interrupt() cut it short.
    virtual bool Pause(unsigned Milliseconds) = 0;
    // Arms the one-shot timer Milliseconds from now. False when it cannot be armed.
    virtual bool ArmTimer(unsigned Milliseconds) = 0;
    // Any thread: a block was handed to the driver; report EV_TXEMPTY when
    // the transmitter has sent it.
    virtual void NotifyTxQueued() = 0;
    // The device is gone: later waits report only Terminate and Timer.
    virtual void StopWatchingDevice() = 0;

    // True when the last failure means the device is gone.
    virtual bool Gone() const = 0;
    TPortFailure LastFailure() const { return Failure; }
    int LastErrno() const { return Errno; }
    // What the last failure of Open or Configure was beyond LastFailure, for
    // a line of its own ("not a serial port (a FIFO)", the system's reason);
    // "" when the port has nothing to add.
    const std::string& LastFailureDetail() const { return FailureDetail; }

protected:
    TPortFailure Failure = TPortFailure::None;
    std::string FailureDetail;
    // Written by the monitor's reads and the owner's writes alike.
    std::atomic<int> Errno{0};
};

// Makes the port used by Open. Tests may replace the maker (empty restores
// the platform's port); returns the previous one.
using TUartPortFactory = std::function<std::unique_ptr<TUartPort>()>;
TUartPortFactory SetUartPortFactory(TUartPortFactory Factory);
std::unique_ptr<TUartPort> CreateUartPort();
// The platform's own port; defined by the platform's port layer.
std::unique_ptr<TUartPort> CreatePlatformUartPort();

} // namespace YVclCtrl
