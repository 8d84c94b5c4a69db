#pragma once

#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace YVclCtrl {

class TCustomUart;
class TUartPort;

// The worker of an open port. Blocks in one poll on four descriptors, in this
// order: a termination eventfd, the port, a completion eventfd (a block was
// handed to the driver, so watch for the transmitter running empty) and a
// timerfd (text-line pacing and transmitter re-checks). It reads what the
// driver has queued, cuts it into packets by the receive filter and hands
// every event to the component's thread, waiting until the handler returns.
//
// The receive settings are taken when the thread is made (at Open).
class TCommMonitorThread : public QThread {
    Q_OBJECT
public:
    // Failures to make a descriptor show an error box captioned
    // "TCommEventMonitorThread"; Ready() is then false.
    TCommMonitorThread(TCustomUart* Owner, TUartPort* Port, char* RawRxdBuff, char* FilteredRxdBuff,
                       char* RxdDatasBuff);
    ~TCommMonitorThread() override;

    bool Ready() const { return ReadyFlag; }

    // Component thread: ends the loop and any hand-over wait. Safe from inside
    // an event handler; the caller then waits for the thread (wait()).
    void Terminate();
    bool Terminated() const { return TerminateFlag.load(std::memory_order_acquire); }
    // Readable once Terminate has been called; lets a write on this thread give up.
    int CancelFd() const { return TermFd; }

    // Any thread: a block was handed to the driver; report the transmitter
    // running empty.
    void NotifyTxQueued();

    // Monitor thread: arm the pacing timer once, Milliseconds from now. False
    // when the timer cannot be armed.
    bool ArmLineTimer(unsigned Milliseconds);

protected:
    void run() override;

private:
    using TClock = std::chrono::steady_clock;

    // The hand-over to the component's thread, shared with the queued call so
    // a late call after Close finds it cancelled and does nothing.
    struct THandover {
        std::mutex Mutex;
        std::condition_variable Done;
        bool Finished = false;
        bool Cancelled = false;
    };
    // Runs Fn on the component's thread and waits; false when cancelled.
    template <typename F>
    bool Synchronize(F&& Fn);

    void HandleCommEvent(unsigned long Mask, unsigned long Errors);
    void ReadQueued();
    void ReadDone(long Bytes);
    void FilterBytes(long Bytes);
    void Deliver();
    void LineTimerStep();
    void CheckTxEmpty(unsigned long& Mask);
    void SampleModemLines(unsigned long& Mask);
    void ReportDeviceLost();
    void RearmTimer();
    void PauseAfterFailure();

    TCustomUart* Owner;
    TUartPort* Port;
    char* RawRxdBuff;
    char* FilteredRxdBuff;
    char* RxdDatasBuff;

    // Receive settings at Open.
    int FilterStyle;
    char DelimiterChar;
    long BytesOfPacket;
    long QueueSize;
    unsigned long EventMask;
    unsigned TxRecheckUsPerByte;

    long FilteredBytes = 0;
    bool OverflowReported = false;
    int TermFd = -1;
    int ComplFd = -1;
    int TimerFd = -1;
    bool ReadyFlag = true;
    std::atomic<bool> TerminateFlag{false};
    std::shared_ptr<THandover> Handover;

    bool PortWatched = true;
    bool PortHungUp = false;
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
