#pragma once

#include "link/devicelink.h"

#include <memory>
#include <string>

namespace YVclCtrl {
class TCustomUart;
}

namespace DpuLink {

class TUartLinkPort;
class TQtLinkTimer;
class TSystemLinkClock;

// The one place where a device link is wired to a serial component, a QTimer
// and the PC clock: the editor's window and the command-line tool both hold
// one. Needs a QCoreApplication; lives on its thread.
//
// Tear-down always runs in the same order: the response timer stops and the
// port closes (its monitor thread is gone then), the component's handlers are
// detached while it is closed, and only then are link, timer and component
// destroyed.
class TLinkSession {
public:
    // Log receives the message-log lines; ResponseTimeoutMs is the period of
    // the response timer (10000 in the editor). Uart is the component to
    // drive (the editor passes its PcUart1, a child of the window); null makes
    // a plain one. The session owns it either way and names it "PcUart1".
    explicit TLinkSession(YVclUtil::MessageSink& Log, int ResponseTimeoutMs = 10000,
                          std::unique_ptr<YVclCtrl::TCustomUart> Uart = nullptr);
    ~TLinkSession();
    TLinkSession(const TLinkSession&) = delete;
    TLinkSession& operator=(const TLinkSession&) = delete;

    // The one way the window and the tool choose the port for the next
    // Connect: a port name as TPortName reads it ("COMn" or a device path).
    // A number the component does not open is refused by it (with its own
    // box) and the previous choice stays; false then, with the reason in
    // Reason ("port number 17 is out of range (COM1 to COM16)").
    bool SelectPort(const std::string& Port, std::string& Reason);
    // n of the chosen "COM n"; 0 while a device path is chosen.
    unsigned ComPortNumber() const;

    TDeviceLink& Link() { return *LinkPtr; }
    YVclCtrl::TCustomUart& Uart() { return *UartPtr; }

    // Stops the response timer and closes the port without a log line (the
    // window is closing). The link keeps its state; the handlers stay bound.
    void ReleasePort();

    // Ends the current transfer at once (TDeviceLink::Cancel): the port stays
    // open, RunUntilEnded returns TLinkOutcome::Cancelled. False when no
    // transfer was running.
    bool Cancel();

    // Runs the event loop until the current transfer ends (OnTransferEnded)
    // and returns how it ended. The link's OnTransferEnded belongs to the
    // session while this runs.
    TLinkOutcome RunUntilEnded();

private:
    std::unique_ptr<YVclCtrl::TCustomUart> UartPtr;
    std::unique_ptr<TUartLinkPort> Port;
    std::unique_ptr<TQtLinkTimer> Timer;
    std::unique_ptr<TSystemLinkClock> Clock;
    std::unique_ptr<TDeviceLink> LinkPtr;
};

} // namespace DpuLink
