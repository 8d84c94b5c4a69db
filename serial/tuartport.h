#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

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
enum class TPortFailure { None, NotFound, AccessDenied, Other };

// The operating-system side of one serial port. The component and its monitor
// thread use only this; the POSIX implementation is TPosixUartPort. Writes
// come from one party at a time (the component's rules), so no member locks.
class TUartPort {
public:
    enum TModemLine { ml_Dtr, ml_Rts };

    virtual ~TUartPort() = default;

    // Opens the device exclusively. False with LastFailure()/LastErrno() set.
    virtual bool Open(const std::string& Device, bool WriteThrough) = 0;
    // False when the driver refuses; each leaves LastErrno().
    virtual bool SetQueues(unsigned RxdBytes, unsigned TxdBytes) = 0;
    virtual bool Configure(const TUartLineSettings& Settings) = 0;
    virtual bool SetTimeouts(const TUartTimeouts& Timeouts) = 0;
    // Raises or lowers a modem line. A driver without modem lines counts as success.
    virtual bool SetModemLine(TModemLine Line, bool On) = 0;
    // Releases the device; false when the system reported a failure.
    virtual bool Close() = 0;

    // The descriptor to wait on (readable, hang-up); -1 while closed.
    virtual int Handle() const = 0;
    // Writes the whole block within the write time-out. Returns the bytes
    // written (fewer on time-out or when CancelFd became readable), -1 on failure.
    virtual long Write(const void* Data, size_t Bytes, int CancelFd = -1) = 0;
    // Reads what is there without waiting: bytes read, 0 for none, -1 on
    // failure (LastErrno(); Gone() tells a vanished device).
    virtual long Read(void* Data, size_t Bytes) = 0;
    // Bytes waiting in the driver's input / output queue; -1 on failure.
    virtual long InQueue() = 0;
    virtual long OutQueue() = 0;
    // MS_* bits; false when the driver has no modem lines.
    virtual bool ModemStatus(unsigned& Bits) = 0;
    // CE_* flags of line errors since the previous call; false when the
    // driver does not count them.
    virtual bool LineErrors(unsigned long& Flags) = 0;

    // True when the last failure means the device is gone.
    virtual bool Gone() const = 0;
    TPortFailure LastFailure() const { return Failure; }
    int LastErrno() const { return Errno; }

protected:
    TPortFailure Failure = TPortFailure::None;
    // Written by the monitor's reads and the owner's writes alike.
    std::atomic<int> Errno{0};
};

// Makes the port used by Open. Tests may replace the maker (empty restores
// the POSIX port); returns the previous one.
using TUartPortFactory = std::function<std::unique_ptr<TUartPort>()>;
TUartPortFactory SetUartPortFactory(TUartPortFactory Factory);
std::unique_ptr<TUartPort> CreateUartPort();

} // namespace YVclCtrl
