#include "link/linksession.h"

#include "link/portname.h"
#include "link/qtlinktimer.h"
#include "link/systemlinkclock.h"
#include "link/uartlinkport.h"
#include "serial/tcustomuart.h"

#include <QEventLoop>

#include <utility>

namespace DpuLink {

TLinkSession::TLinkSession(YVclUtil::MessageSink& Log, int ResponseTimeoutMs,
                           std::unique_ptr<YVclCtrl::TCustomUart> Uart)
    : UartPtr(Uart ? std::move(Uart) : std::make_unique<YVclCtrl::TCustomUart>()),
      Port(std::make_unique<TUartLinkPort>(*UartPtr)),
      Timer(std::make_unique<TQtLinkTimer>(ResponseTimeoutMs)),
      Clock(std::make_unique<TSystemLinkClock>()),
      LinkPtr(std::make_unique<TDeviceLink>(*Port, *Timer, *Clock, Log)) {
    UartPtr->setObjectName("PcUart1");
    TUartLinkPort::ApplyLinkSettings(*UartPtr);
    Port->Bind(*LinkPtr);
    Timer->OnExpired = [this] { LinkPtr->OnResponseTimer(); };
}

TLinkSession::~TLinkSession() {
    // The component's handlers may change only while it is closed: its
    // monitor thread reads them. So the port closes first, then the handlers
    // go, then everything they pointed at.
    ReleasePort();
    Port.reset();
    Timer->OnExpired = nullptr;
    LinkPtr.reset();
    Timer.reset();
    Clock.reset();
    UartPtr.reset();
}

void TLinkSession::ReleasePort() {
    Timer->Stop();
    if (UartPtr->pr_IsOpened()) UartPtr->Close();
}

bool TLinkSession::SelectPort(const std::string& Name, std::string& Reason) {
    const TPortName port(Name);
    if (!port.IsComName()) {
        UartPtr->pw_UartDevicePath(Name);
        return true;
    }
    // The component has the last word on a number: one it does not open gets
    // its box, and it keeps the port it had (a device path as well).
    UartPtr->pw_UartPortNumber(port.Number());
    if (!port.Usable(Reason)) return false;
    UartPtr->pw_UartDevicePath("");
    return true;
}

unsigned TLinkSession::ComPortNumber() const {
    return UartPtr->pr_UartDevicePath().empty() ? UartPtr->pr_UartPortNumber() : 0;
}

bool TLinkSession::Cancel() {
    return LinkPtr->Cancel();
}

TLinkOutcome TLinkSession::RunUntilEnded() {
    QEventLoop loop;
    TLinkOutcome outcome = TLinkOutcome::Aborted;
    LinkPtr->OnTransferEnded = [&](TLinkOutcome o) {
        outcome = o;
        loop.quit();
    };
    if (LinkPtr->LinkState() != TLinkState::Idle) loop.exec();
    LinkPtr->OnTransferEnded = nullptr;
    return outcome;
}

} // namespace DpuLink
