#pragma once

#include "serial/tuartport.h"

#include <chrono>

namespace YVclCtrl {

// POSIX only. The wait of a port whose device is one descriptor: poll over a
// termination eventfd, the device, a completion eventfd (a block was handed to
// the driver) and a timerfd. The driver has no comm events, so this builds
// them: EV_RXCHAR from readability, EV_TXEMPTY by watching the output queue
// after each block, EV_ERR from the line-error counters at each wake-up, and
// the modem-line events by sampling the lines every 10 ms while they are
// watched. The timerfd serves the one-shot timer and those re-checks alike.
class TPollUartPort : public TUartPort {
public:
    TPollUartPort() = default;
    ~TPollUartPort() override;

    bool SetEventMask(unsigned long Mask) override;
    bool PrepareWait(std::vector<std::string>& Missing) override;
    TPortEvents Wait() override;
    void Interrupt() override;
    bool Pause(unsigned Milliseconds) override;
    bool ArmTimer(unsigned Milliseconds) override;
    void NotifyTxQueued() override;
    void StopWatchingDevice() override;

    // Bytes waiting in the driver's output queue; -1 on failure.
    virtual long OutQueue() = 0;
    // CE_* flags of line errors since the previous call; false when the
    // driver does not count them.
    virtual bool LineErrors(unsigned long& Flags) = 0;

protected:
    // The descriptor that is readable when bytes came in; -1 while closed.
    virtual int DeviceFd() const = 0;
    // Readable once Interrupt() has been called; -1 before PrepareWait.
    int InterruptFd() const { return TermFd; }
    // Time of one character on the line, which paces the transmitter re-checks.
    void SetCharacterTime(unsigned Baud, unsigned BitsPerCharacter);

private:
    using TClock = std::chrono::steady_clock;

    void CheckTxEmpty(unsigned long& Mask);
    void SampleModemLines(unsigned long& Mask);
    void RearmTimer();

    int TermFd = -1;
    int ComplFd = -1;
    int TimerFd = -1;
    unsigned long EventMask = 0;
    unsigned TxRecheckUsPerByte = 87; // 115200 baud, ten bits a character

    bool DeviceWatched = true;
    bool TxWatch = false;
    bool LineTimerArmed = false;
    TClock::time_point LineDue;
    bool TxRecheckArmed = false;
    TClock::time_point TxRecheckDue;
    bool ModemSampling = false;
    unsigned ModemBits = 0;
    TClock::time_point ModemDue;
    TClock::time_point TimerSetFor;
    bool TimerSet = false;
};

} // namespace YVclCtrl
