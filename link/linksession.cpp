#include "link/linksession.h"

#include "link/qtlinktimer.h"
#include "link/systemlinkclock.h"
#include "link/uartlinkport.h"
#include "serial/tcustomuart.h"

#include <QEventLoop>

#include <cctype>
#include <cstdlib>
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
    const bool com = Name.size() > 3 && std::toupper(static_cast<unsigned char>(Name[0])) == 'C' &&
                     std::toupper(static_cast<unsigned char>(Name[1])) == 'O' &&
                     std::toupper(static_cast<unsigned char>(Name[2])) == 'M';
    if (com) {
        std::string digits = Name.substr(3);
        if (!digits.empty() && digits[0] == ' ') digits.erase(0, 1);
        bool allDigits = !digits.empty() && digits.size() <= 3;
        for (char c : digits)
            allDigits = allDigits && std::isdigit(static_cast<unsigned char>(c));
        if (allDigits) {
            const unsigned n = static_cast<unsigned>(std::strtoul(digits.c_str(), nullptr, 10));
            if (n < 1 || n > 16) {
                Reason = "port number " + digits + " is out of range (COM1 to COM16)";
                return false;
            }
            UartPtr->pw_UartDevicePath("");
            UartPtr->pw_UartPortNumber(n);
            return true;
        }
    }
    UartPtr->pw_UartDevicePath(Name);
    return true;
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
