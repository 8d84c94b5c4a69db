#pragma once

#include "serial/tparitymarkdecoder.h"
#include "serial/tpolluartport_unix.h"

namespace YVclCtrl {

// POSIX only. A serial device on Linux: exclusive open (TIOCEXCL plus a
// non-blocking flock, since TIOCEXCL alone does not stop root), raw mode, any
// speed, and modem lines and error counters where the driver has them.
// Pseudo-terminals answer the modem and counter requests with ENOTTY: that
// reads as "not supported", never as a failure. A regular file is refused at
// Open (TPortFailure::NotADevice).
class TPosixUartPort : public TPollUartPort {
public:
    TPosixUartPort() = default;
    ~TPosixUartPort() override;

    bool Open(const std::string& Device, bool WriteThrough) override;
    bool SetQueues(unsigned RxdBytes, unsigned TxdBytes) override;
    bool Configure(const TUartLineSettings& Settings) override;
    bool SetTimeouts(const TUartTimeouts& Timeouts) override;
    bool SetModemLine(TModemLine Line, bool On) override;
    bool Close() override;

    long Write(const void* Data, size_t Bytes, TWriteCancel Cancel = TWriteCancel::Never) override;
    long Read(void* Data, size_t Bytes) override;
    long OutQueue() override;
    bool ModemStatus(unsigned& Bits) override;
    bool LineErrors(unsigned long& Flags) override;
    bool Gone() const override;

    // The one place where errno becomes the reason of a failed open.
    static TPortFailure ReasonOf(int Err);
    // How a file that is no character device is named ("a FIFO"), by st_mode.
    static const char* KindOf(unsigned Mode);
    // True for errno values that mean the request is not supported by the driver.
    static bool NotSupported(int Err);

protected:
    int DeviceFd() const override { return Fd; }

private:
    bool Fail(int Err);
    bool WaitWriteAllowed(const class TDeadline& Deadline, int CancelFd);

    int Fd = -1;
    bool WriteThrough = false;
    bool DsrOutFlow = false;
    bool ParityMarks = false;
    TParityMarkDecoder Marks;
    TUartTimeouts Timeouts;
    bool HaveCounters = false;
    unsigned LastCounts[5] = {}; // frame, parity, break, overrun, buffer overrun
};

} // namespace YVclCtrl
