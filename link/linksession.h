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

// A device link wired to a serial component, a QTimer and the PC clock, for a
// program that runs one transfer at a time without a window (the command-line
// tool, end-to-end tests, benchmarks). Needs a QCoreApplication; lives on its
// thread.
class TLinkSession {
public:
    // Log receives the message-log lines; ResponseTimeoutMs is the period of
    // the response timer (10000 in the editor).
    TLinkSession(YVclUtil::MessageSink& Log, int ResponseTimeoutMs = 10000);
    ~TLinkSession();

    // "COMn" (or "COM n", any case) chooses port number n; anything else is a
    // device path. False with the reason in Reason when n is out of range.
    bool SelectPort(const std::string& Port, std::string& Reason);

    TDeviceLink& Link() { return *LinkPtr; }
    YVclCtrl::TCustomUart& Uart() { return *UartPtr; }

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
