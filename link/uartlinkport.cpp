#include "link/uartlinkport.h"

#include "link/devicelink.h"
#include "serial/tcustomuart.h"

namespace DpuLink {

TUartLinkPort::TUartLinkPort(YVclCtrl::TCustomUart& Uart_) : Uart(Uart_) {}

TUartLinkPort::~TUartLinkPort() {
    if (!Bound) return;
    // The monitor thread reads the handlers while the port is open, so they
    // are cleared only after it has closed.
    if (Uart.pr_IsOpened()) Uart.Close();
    Uart.OnRxdDatas = nullptr;
    Uart.OnDeviceLost = nullptr;
}

void TUartLinkPort::ApplyLinkSettings(YVclCtrl::TCustomUart& Uart) {
    Uart.pw_UartBaud(115200);
    Uart.pw_UartBitsPerByte(8);
    Uart.pw_UartParityBit(YVclCtrl::upb_None);
    Uart.pw_UartStopBits(YVclCtrl::usb_1bit);
    Uart.pw_FlowCtrlStyle(YVclCtrl::fcs_None);
    Uart.pw_SysUartTxdQueueSize(1024);
    Uart.pw_SysUartRxdQueueSize(1024);
    Uart.pw_SysUartRxdIntervalTimeout(3);
    Uart.pw_RxdFilter_Style(YVclCtrl::rfs_None);
    Uart.pw_RxdFilter_DelimiterChar('\n');
    Uart.pw_BytesOfRxdPacket(1);
}

void TUartLinkPort::Bind(TDeviceLink& Link) {
    Bound = true;
    Uart.OnRxdDatas = [&Link](QObject*, int Bytes, char* Datas) { Link.OnRxdDatas(Bytes, Datas); };
    // The component allows Close from its own event handler, so the link may
    // close the port right here.
    Uart.OnDeviceLost = [&Link, this](QObject*) {
        const std::string reason = Uart.pr_LastErrMsg();
        Link.OnPortLost(reason.empty() ? std::string("the device went away") : reason);
    };
}

bool TUartLinkPort::IsOpened() const {
    return Uart.pr_IsOpened();
}
bool TUartLinkPort::Open() {
    return Uart.Open();
}
bool TUartLinkPort::Close() {
    return Uart.Close();
}
int TUartLinkPort::SendData(unsigned Bytes, const void* Data) {
    return Uart.SendData(Bytes, Data);
}
std::string TUartLinkPort::LastErrMsg() const {
    return Uart.pr_LastErrMsg();
}
void TUartLinkPort::SetBaud(unsigned Baud) {
    Uart.pw_UartBaud(Baud);
}

std::string TUartLinkPort::PortLabel() const {
    if (!Uart.pr_UartDevicePath().empty()) return Uart.pr_UartDevicePath();
    return "COM " + std::to_string(Uart.pr_UartPortNumber());
}

} // namespace DpuLink
