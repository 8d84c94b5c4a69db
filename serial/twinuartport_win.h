#pragma once

#include "serial/tuartport.h"

#include <windows.h>

namespace YVclCtrl {

// Windows only. A COM port opened as \\.\COMn, exclusive and overlapped: the
// driver queues sized by SetupComm, a DCB built from the line settings, the
// comm time-outs, and the four-handle wait described in tuartport.h. Every
// Windows error code that means something to the component is sorted in one
// place (ReasonOf, NotSupported, LostDevice); LastErrno() holds the raw
// GetLastError() value.
class TWinUartPort : public TUartPort {
public:
    TWinUartPort() = default;
    ~TWinUartPort() override;
    TWinUartPort(const TWinUartPort&) = delete;
    TWinUartPort& operator=(const TWinUartPort&) = delete;

    bool Open(const std::string& Device, bool WriteThrough) override;
    bool SetQueues(unsigned RxdBytes, unsigned TxdBytes) override;
    bool Configure(const TUartLineSettings& Settings) override;
    bool SetTimeouts(const TUartTimeouts& Timeouts) override;
    bool SetEventMask(unsigned long Mask) override;
    bool SetModemLine(TModemLine Line, bool On) override;
    bool Close() override;

    long Write(const void* Data, size_t Bytes, TWriteCancel Cancel = TWriteCancel::Never) override;
    long Read(void* Data, size_t Bytes) override;
    bool ModemStatus(unsigned& Bits) override;

    bool PrepareWait(std::vector<std::string>& Missing) override;
    TPortEvents Wait() override;
    void Interrupt() override;
    bool Pause(unsigned Milliseconds) override;
    bool ArmTimer(unsigned Milliseconds) override;
    void NotifyTxQueued() override {}
    void StopWatchingDevice() override;
    bool Gone() const override;

    // The device handle; INVALID_HANDLE_VALUE while closed.
    HANDLE Handle() const { return Comm; }
    // How often the four-handle wait has woken up since Open.
    unsigned long WakeUps() const { return WakeCount; }

    // Base with every line setting of the component written over it (the
    // rest, such as the XON/XOFF characters, kept): what Configure applies.
    static DCB LineState(DCB Base, const TUartLineSettings& Settings);
    // The one place where Windows error codes become the component's reasons.
    static TPortFailure ReasonOf(unsigned long Err);
    // True for codes that mean the driver does not offer the request.
    static bool NotSupported(unsigned long Err);
    // True for codes that the pending operations end with once the device has
    // gone (a USB adapter pulled out, the far side of a virtual port closed).
    static bool LostDevice(unsigned long Err);

private:
    bool Fail(unsigned long Err);
    unsigned long QueuedBytes();
    void StartCommWait(TPortEvents& Events);
    void CommWaitEnded(TPortEvents& Events, unsigned long Mask);
    void CommWaitFailed(TPortEvents& Events, unsigned long Err);
    void PollRead(TPortEvents& Events);
    void FinishPending(OVERLAPPED& Olap, bool& Pending);

    HANDLE Comm = INVALID_HANDLE_VALUE;
    HANDLE WriteEvent = nullptr; // writes wait on their own event
    HANDLE TermEvent = nullptr;  // 0: set by Interrupt, for good
    HANDLE CommEvent = nullptr;  // 1: the overlapped WaitCommEvent
    HANDLE ReadEvent = nullptr;  // 2: a read left pending by Read
    HANDLE Timer = nullptr;      // 3: the one-shot timer of ArmTimer
    OVERLAPPED OlapEvt{};
    OVERLAPPED OlapRd{};
    DWORD EvtMask = 0; // filled by the outstanding WaitCommEvent
    unsigned long EventMask = 0;
    unsigned long HeldErrors = 0; // CE_* flags cleared by Read, reported by the next EV_ERR
    TUartTimeouts Timeouts;
    bool WaitPending = false;
    bool ReadPending = false;
    bool TimerArmed = false;
    bool DeviceWatched = true;
    bool HungUp = false; // a pending operation ended the way a lost device ends them
    unsigned long WakeCount = 0;
};

} // namespace YVclCtrl
