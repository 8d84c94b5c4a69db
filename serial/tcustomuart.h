#pragma once

#include "serial/tuartport.h"

#include <QObject>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace YVclCtrl {

enum TUartParityBit { upb_None, upb_Odd, upb_Even };
enum TUartStopBits { usb_1bit, usb_2bits };
enum TFlowCtrlStyle { fcs_None, fcs_Hardware };
enum TFlowCtrlHwRxd { fchr_None, fchr_RTS, fchr_DTR };
enum TFlowCtrlHwTxd { fcht_None, fcht_CTS, fcht_DSR, fcht_DSR_CTS };
enum TSysUartWriteStyle { suws_WriteViaQueue, suws_WriteThrough };
enum TRxdFilter { rfs_None, rfs_ByDelimiterChar, rfs_ByBytesOfPacket };

// Event handlers; an empty function is an unassigned event. Sender is the
// component that raised the event.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TRxdDatasEvent = std::function<void(QObject* Sender, int Bytes, char* Datas)>;

class TCommMonitorThread;

// A serial port owned from Open to Close. Settings take effect at the next
// Open. Every event runs on the thread the component lives in (the main
// thread), which must run a Qt event loop while the port is open; the monitor
// thread waits until each handler has returned.
//
// Failures of Open, Close, SendData and SendTxtFile are reported by the result
// and the reason is kept in pr_LastErrMsg(); invalid property values are
// refused with an error box captioned with the component's Name (objectName).
class TCustomUart : public QObject {
    Q_OBJECT
public:
    explicit TCustomUart(QObject* Owner = nullptr);
    ~TCustomUart() override;

    // Opens "COM n" (pr_UartPortNumber), or pr_UartDevicePath() when that is
    // set, applies the settings and starts the monitor. True when open (also
    // when it already was); false with the reason in pr_LastErrMsg().
    bool Open();
    // Stops the monitor, ends a text-file transfer, lowers RTS and DTR and
    // releases the port. Always true; a failed release leaves
    // "Can not close comm" in pr_LastErrMsg(). May be called from an event handler.
    bool Close();

    // Blocking write of a block, bounded by the write time-out. 0 done,
    // 1 write failed, 2 port not open, 3 text-file transfer in progress,
    // 4 write completed short (time-out); reason in pr_LastErrMsg().
    int SendData(unsigned Bytes, const void* Data);
    // Formats into a 1024-byte buffer and sends the text through SendData.
    int SendData_printf(const char* format, ...) __attribute__((format(DPU_PRINTF_FORMAT, 2, 3)));
    // Starts sending a text file line by line; the first line goes out here,
    // the rest each time the transmitter runs empty, LineIntervalMs apart.
    // 0 started, 1 write failed / no memory, 2 not open, 3 already sending,
    // 4 first line short, 5 file cannot be opened or is empty.
    int SendTxtFile(const char* FileName, unsigned LineIntervalMs);

    // Modem line states. Throw YVclUtil::Exception while closed. Lines the
    // driver cannot report read false.
    bool pr_RiState();
    bool pr_CdState();
    bool pr_DsrState();
    bool pr_CtsState();

    // Reason of the most recent failure of Open, Close, SendData or
    // SendTxtFile, or of a lost device; empty after success.
    const std::string& pr_LastErrMsg() const { return LastErrMsg; }
    // What lies behind the fixed text of the last failed Open, for the owner
    // to show on a line of its own ("not a serial port (a regular file)");
    // empty when there is nothing more to say. Set by each Open attempt.
    const std::string& pr_LastErrDetail() const { return LastErrDetail; }
    bool pr_IsOpened() const { return IsOpened; }
    bool pr_SendingTxtFile() const { return SendingTxtFile.load(); }

    // A device path to open instead of "COM n" (the command-line tool's
    // --port /dev/ttyUSB0); empty means use pr_UartPortNumber().
    const std::string& pr_UartDevicePath() const { return UartDevicePath; }
    void pw_UartDevicePath(const std::string& Path) { UartDevicePath = Path; }
    // The device Open would use now; empty when "COM n" names no device.
    std::string pr_DevicePath() const;

    unsigned pr_UartPortNumber() const { return UartPortNumber; }
    void pw_UartPortNumber(unsigned Value);
    unsigned pr_UartBaud() const { return UartBaud; }
    void pw_UartBaud(unsigned Value);
    unsigned pr_UartBitsPerByte() const { return UartBitsPerByte; }
    void pw_UartBitsPerByte(unsigned Value);
    TUartParityBit pr_UartParityBit() const { return UartParityBit; }
    void pw_UartParityBit(TUartParityBit Value) { UartParityBit = Value; }
    TUartStopBits pr_UartStopBits() const { return UartStopBits; }
    void pw_UartStopBits(TUartStopBits Value) { UartStopBits = Value; }
    TFlowCtrlStyle pr_FlowCtrlStyle() const { return FlowCtrlStyle; }
    void pw_FlowCtrlStyle(TFlowCtrlStyle Value);
    TFlowCtrlHwRxd pr_FlowCtrlHwRxd() const { return FlowCtrlHwRxd; }
    void pw_FlowCtrlHwRxd(TFlowCtrlHwRxd Value);
    TFlowCtrlHwTxd pr_FlowCtrlHwTxd() const { return FlowCtrlHwTxd; }
    void pw_FlowCtrlHwTxd(TFlowCtrlHwTxd Value);
    TSysUartWriteStyle pr_SysUartWriteStyle() const { return SysUartWriteStyle; }
    void pw_SysUartWriteStyle(TSysUartWriteStyle Value) { SysUartWriteStyle = Value; }
    unsigned pr_SysUartTxdQueueSize() const { return SysUartTxdQueueSize; }
    void pw_SysUartTxdQueueSize(unsigned Value);
    unsigned pr_SysUartRxdQueueSize() const { return SysUartRxdQueueSize; }
    // Must not be changed while open: the monitor uses the receive buffers.
    void pw_SysUartRxdQueueSize(unsigned Value);
    unsigned pr_SysUartRxdIntervalTimeout() const { return SysUartRxdIntervalTimeout; }
    void pw_SysUartRxdIntervalTimeout(unsigned Value) { SysUartRxdIntervalTimeout = Value; }
    TRxdFilter pr_RxdFilter_Style() const { return RxdFilter_Style; }
    void pw_RxdFilter_Style(TRxdFilter Value) { RxdFilter_Style = Value; }
    char pr_RxdFilter_DelimiterChar() const { return RxdFilter_DelimiterChar; }
    void pw_RxdFilter_DelimiterChar(char Value) { RxdFilter_DelimiterChar = Value; }
    unsigned pr_RxdFilter_BytesOfPacket() const { return RxdFilter_BytesOfPacket; }
    void pw_BytesOfRxdPacket(unsigned Value);
    void pw_RxdFilter_BytesOfPacket(unsigned Value) { pw_BytesOfRxdPacket(Value); }

    // Published events (unassigned = empty). Assign them while the port is
    // closed: the monitor thread reads them, and the event mask is fixed at Open.
    TNotifyEvent OnRiChanged;
    TNotifyEvent OnCdChanged;
    TNotifyEvent OnDsrChanged;
    TNotifyEvent OnCtsChanged;
    TNotifyEvent OnTxdEmpty;
    TRxdDatasEvent OnRxdDatas;
    TNotifyEvent OnFrameErr;
    TNotifyEvent OnParityErr;
    TNotifyEvent OnBreakLevelErr;
    TNotifyEvent OnRxOverrunErr;
    TNotifyEvent OnTxOverrunErr;
    // The device went away while open (adapter unplugged, peer hung up).
    // Raised once; pr_LastErrMsg() holds the reason; Close still has to be called.
    TNotifyEvent OnDeviceLost;

    // Raise the published events; main thread only (called by the monitor
    // through its hand-over).
    void FireUartErrEvent(unsigned long errors);
    void FireModemSignalEvent(unsigned long mask);
    void FireTxdEmptyEvent();
    void FireRxdDatasEvent(unsigned Bytes);
    void FireDeviceLostEvent();

    // Text-file pacing; monitor thread only. The first returns whether
    // OnTxdEmpty must be raised now, the second whether a line went out.
    bool PrrallelProcessingWhenDetectedTxdEmpty();
    bool PrrallelProcessingTrySendNextLineOfTxtFile();

protected:
    void RunConstructor(QObject* Owner);
    void RunDestructor();

private:
    friend class TCommMonitorThread;

    bool FailOpen(const char* Reason);
    void EndTxtFile();
    int ReadTxtLine();
    // Writes a whole block: 0 done, 1 failed, 4 short.
    int WriteBlock(const void* Data, unsigned Bytes, TWriteCancel Cancel = TWriteCancel::Never);
    unsigned BitsPerCharacter() const;
    void FreeRxdBuffers();
    bool AllocRxdBuffers(unsigned Bytes);
    int TrySendNextLine();

    unsigned UartPortNumber = 1;
    unsigned UartBaud = 9600;
    unsigned UartBitsPerByte = 8;
    TUartParityBit UartParityBit = upb_None;
    TUartStopBits UartStopBits = usb_1bit;
    TFlowCtrlStyle FlowCtrlStyle = fcs_None;
    TFlowCtrlHwRxd FlowCtrlHwRxd = fchr_None;
    TFlowCtrlHwTxd FlowCtrlHwTxd = fcht_None;
    TSysUartWriteStyle SysUartWriteStyle = suws_WriteViaQueue;
    unsigned SysUartTxdQueueSize = 0;
    unsigned SysUartRxdQueueSize = 0;
    unsigned SysUartRxdIntervalTimeout = 3;
    TRxdFilter RxdFilter_Style = rfs_None;
    char RxdFilter_DelimiterChar = '\n';
    unsigned RxdFilter_BytesOfPacket = 1;
    std::string UartDevicePath;

    std::unique_ptr<TUartPort> Port; // null while closed (stands for hComm)
    bool IsOpened = false;
    std::string LastErrMsg;
    std::string LastErrDetail;
    unsigned long EventMask = 0;

    // Text-file transfer; owned by the main thread until the first line is
    // out, by the monitor afterwards. TxtLock stands in for suspending the
    // monitor while a transfer starts.
    std::mutex TxtLock;
    std::atomic<bool> SendingTxtFile{false};
    unsigned TxtLineIntervalMs = 0;
    FILE* TxtFile = nullptr;
    char* TxtLineBuff = nullptr;
    unsigned TxtLineBuffSize = 0;
    unsigned TxtLineBytes = 0;

    unsigned RxdBuffBytes = 0; // capacity of each receive buffer less its 8 spare bytes
    char* RawRxdBuff = nullptr;
    char* FilteredRxdBuff = nullptr;
    char* RxdDatasBuff = nullptr;

    TCommMonitorThread* Monitor = nullptr;
};

} // namespace YVclCtrl
