#pragma once

#include "serial/tcustomuart.h"

namespace OrvCtrl {

// The serial port component as placed on a form: all of TCustomUart with its
// settings published as properties; no behaviour of its own. Failures are
// reported as TCustomUart reports them (results, pr_LastErrMsg()).
class TPcUart : public YVclCtrl::TCustomUart {
    Q_OBJECT
    Q_PROPERTY(unsigned UartPortNumber READ pr_UartPortNumber WRITE pw_UartPortNumber)
    Q_PROPERTY(unsigned UartBaud READ pr_UartBaud WRITE pw_UartBaud)
    Q_PROPERTY(unsigned UartBitsPerByte READ pr_UartBitsPerByte WRITE pw_UartBitsPerByte)
    Q_PROPERTY(int UartParityBit READ prop_UartParityBit WRITE propw_UartParityBit)
    Q_PROPERTY(int UartStopBits READ prop_UartStopBits WRITE propw_UartStopBits)
    Q_PROPERTY(int FlowCtrlStyle READ prop_FlowCtrlStyle WRITE propw_FlowCtrlStyle)
    Q_PROPERTY(int FlowCtrlHwRxd READ prop_FlowCtrlHwRxd WRITE propw_FlowCtrlHwRxd)
    Q_PROPERTY(int FlowCtrlHwTxd READ prop_FlowCtrlHwTxd WRITE propw_FlowCtrlHwTxd)
    Q_PROPERTY(int SysUartWriteStyle READ prop_SysUartWriteStyle WRITE propw_SysUartWriteStyle)
    Q_PROPERTY(
        unsigned SysUartTxdQueueSize READ pr_SysUartTxdQueueSize WRITE pw_SysUartTxdQueueSize)
    Q_PROPERTY(
        unsigned SysUartRxdQueueSize READ pr_SysUartRxdQueueSize WRITE pw_SysUartRxdQueueSize)
    Q_PROPERTY(unsigned SysUartRxdIntervalTimeout READ pr_SysUartRxdIntervalTimeout WRITE
                   pw_SysUartRxdIntervalTimeout)
    Q_PROPERTY(int RxdFilter_Style READ prop_RxdFilter_Style WRITE propw_RxdFilter_Style)
    Q_PROPERTY(int RxdFilter_DelimiterChar READ prop_RxdFilter_DelimiterChar WRITE
                   propw_RxdFilter_DelimiterChar)
    Q_PROPERTY(
        unsigned RxdFilter_BytesOfPacket READ pr_RxdFilter_BytesOfPacket WRITE pw_BytesOfRxdPacket)
public:
    explicit TPcUart(QObject* Owner = nullptr);
    ~TPcUart() override;

private:
    void RunConstructor(QObject* Owner);
    void RunDestructor();

    // Enumerations travel through the property system as their numbers.
    int prop_UartParityBit() const { return pr_UartParityBit(); }
    void propw_UartParityBit(int v) { pw_UartParityBit(static_cast<YVclCtrl::TUartParityBit>(v)); }
    int prop_UartStopBits() const { return pr_UartStopBits(); }
    void propw_UartStopBits(int v) { pw_UartStopBits(static_cast<YVclCtrl::TUartStopBits>(v)); }
    int prop_FlowCtrlStyle() const { return pr_FlowCtrlStyle(); }
    void propw_FlowCtrlStyle(int v) { pw_FlowCtrlStyle(static_cast<YVclCtrl::TFlowCtrlStyle>(v)); }
    int prop_FlowCtrlHwRxd() const { return pr_FlowCtrlHwRxd(); }
    void propw_FlowCtrlHwRxd(int v) { pw_FlowCtrlHwRxd(static_cast<YVclCtrl::TFlowCtrlHwRxd>(v)); }
    int prop_FlowCtrlHwTxd() const { return pr_FlowCtrlHwTxd(); }
    void propw_FlowCtrlHwTxd(int v) { pw_FlowCtrlHwTxd(static_cast<YVclCtrl::TFlowCtrlHwTxd>(v)); }
    int prop_SysUartWriteStyle() const { return pr_SysUartWriteStyle(); }
    void propw_SysUartWriteStyle(int v) {
        pw_SysUartWriteStyle(static_cast<YVclCtrl::TSysUartWriteStyle>(v));
    }
    int prop_RxdFilter_Style() const { return pr_RxdFilter_Style(); }
    void propw_RxdFilter_Style(int v) { pw_RxdFilter_Style(static_cast<YVclCtrl::TRxdFilter>(v)); }
    int prop_RxdFilter_DelimiterChar() const {
        return static_cast<unsigned char>(pr_RxdFilter_DelimiterChar());
    }
    void propw_RxdFilter_DelimiterChar(int v) { pw_RxdFilter_DelimiterChar(static_cast<char>(v)); }
};

} // namespace OrvCtrl
