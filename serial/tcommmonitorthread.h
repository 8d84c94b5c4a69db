#pragma once

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace YVclCtrl {

class TCustomUart;
class TUartPort;

// The worker of an open port. Blocks in the port's Wait and dispatches what it
// reports: line errors, modem-line changes, the transmitter running empty,
// received bytes (read, cut into packets by the receive filter), the end of
// the device and the text-line pacing timer. Every event is handed to the
// component's thread, and the worker waits until the handler returns.
//
// The receive settings are taken when the thread is made (at Open).
class TCommMonitorThread : public QThread {
    Q_OBJECT
public:
    // When the port cannot make its wait objects, each is named in an error
    // box captioned "TCommEventMonitorThread"; Ready() is then false.
    TCommMonitorThread(TCustomUart* Owner, TUartPort* Port, char* RawRxdBuff, char* FilteredRxdBuff,
                       char* RxdDatasBuff);
    ~TCommMonitorThread() override;

    bool Ready() const { return ReadyFlag; }

    // Component thread: ends the loop and any hand-over wait. Safe from inside
    // an event handler; the caller then waits for the thread (wait()).
    void Terminate();
    bool Terminated() const { return TerminateFlag.load(std::memory_order_acquire); }

    // Monitor thread: arm the pacing timer once, Milliseconds from now. False
    // when the timer cannot be armed.
    bool ArmLineTimer(unsigned Milliseconds);

protected:
    void run() override;

private:
    // The hand-over to the component's thread, shared with the queued call so
    // a late call after Close finds it cancelled and does nothing.
    struct THandover {
        std::mutex Mutex;
        std::condition_variable Done;
        bool Finished = false;
        bool Cancelled = false;
    };
    // Runs Fn on the component's thread and waits; false when cancelled.
    template <typename F> bool Synchronize(F&& Fn);

    void HandleCommEvent(unsigned long Mask, unsigned long Errors);
    void ReadQueued();
    void ReadDone(long Bytes);
    void FilterBytes(long Bytes);
    void Deliver();
    void LineTimerStep();
    void ReportDeviceLost();

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

    long FilteredBytes = 0;
    bool OverflowReported = false;
    bool ReadyFlag = true;
    std::atomic<bool> TerminateFlag{false};
    std::shared_ptr<THandover> Handover;

    bool DeviceLost = false;
    bool PortHungUp = false;
    bool ReadPending = false;
    bool LineTimerArmed = false;
};

} // namespace YVclCtrl
