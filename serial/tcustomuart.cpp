#include "serial/tcustomuart.h"

#include "serial/comports.h"
#include "serial/tcommmonitorthread.h"
#include "serial/tuartport.h"
#include "serial/uartevents.h"
#include "util/errmsgbox.h"
#include "util/exception.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace YVclCtrl {

namespace {
const char* const kInvalidValue = "Invalid value !!!";
const char* const kInvalidSelection =
    "Invalid selection !!!\n Because FlowCtrlStyle != fcs_Hardware";
const char* const kNotOpened =
    "Illegal property access, because TCustomUart not in opened state !!!";
} // namespace

TCustomUart::TCustomUart(QObject* Owner) : QObject(Owner) {
    RunConstructor(Owner);
}

TCustomUart::~TCustomUart() {
    RunDestructor();
}

void TCustomUart::RunConstructor(QObject*) {
    UartPortNumber = 1;
    UartBaud = 9600;
    UartBitsPerByte = 8;
    UartParityBit = upb_None;
    UartStopBits = usb_1bit;
    FlowCtrlStyle = fcs_None;
    FlowCtrlHwRxd = fchr_None;
    FlowCtrlHwTxd = fcht_None;
    SysUartWriteStyle = suws_WriteViaQueue;
    SysUartRxdIntervalTimeout = 3;
    RxdFilter_Style = rfs_None;
    RxdFilter_DelimiterChar = '\n';
    RxdFilter_BytesOfPacket = 1;
    SendingTxtFile = false;
    pw_SysUartTxdQueueSize(1024);
    pw_SysUartRxdQueueSize(1024);
}

void TCustomUart::RunDestructor() {
    Close();
    FreeRxdBuffers();
}

// ---- properties -----------------------------------------------------------

void TCustomUart::pw_UartPortNumber(unsigned Value) {
    if (Value < 1 || Value > kComPortCount) {
        YVclUtil::ShowErrMsgBox_Printf(this, "%s", kInvalidValue);
        return;
    }
    UartPortNumber = Value;
}

void TCustomUart::pw_UartBaud(unsigned Value) {
    if (Value < 300 || Value > 921600) {
        YVclUtil::ShowErrMsgBox_Printf(this, "%s", "Invalid or unsupported value !!!");
        UartBaud = 9600;
        return;
    }
    UartBaud = Value;
}

void TCustomUart::pw_UartBitsPerByte(unsigned Value) {
    if (Value != 7 && Value != 8) {
        YVclUtil::ShowErrMsgBox_Printf(this, "%s", kInvalidValue);
        return;
    }
    UartBitsPerByte = Value;
}

void TCustomUart::pw_FlowCtrlStyle(TFlowCtrlStyle Value) {
    FlowCtrlStyle = Value;
    if (Value == fcs_None) {
        if (FlowCtrlHwRxd != fchr_None) pw_FlowCtrlHwRxd(fchr_None);
        if (FlowCtrlHwTxd != fcht_None) pw_FlowCtrlHwTxd(fcht_None);
    } else if (Value == fcs_Hardware) {
        pw_FlowCtrlHwRxd(fchr_None);
        pw_FlowCtrlHwTxd(fcht_CTS);
    }
}

void TCustomUart::pw_FlowCtrlHwRxd(TFlowCtrlHwRxd Value) {
    if (Value != fchr_None && FlowCtrlStyle != fcs_Hardware) {
        FlowCtrlHwRxd = fchr_None;
        YVclUtil::ShowErrMsgBox_Printf(this, "%s", kInvalidSelection);
        return;
    }
    FlowCtrlHwRxd = Value;
}

void TCustomUart::pw_FlowCtrlHwTxd(TFlowCtrlHwTxd Value) {
    if (Value != fcht_None && FlowCtrlStyle != fcs_Hardware) {
        FlowCtrlHwTxd = fcht_None;
        YVclUtil::ShowErrMsgBox_Printf(this, "%s", kInvalidSelection);
        return;
    }
    FlowCtrlHwTxd = Value;
}

void TCustomUart::pw_SysUartTxdQueueSize(unsigned Value) {
    if (Value < 1024) {
        YVclUtil::ShowErrMsgBox_Printf(
            this, "%s", "Invalid value !!!\n Because SysUartTxdQueueSize must >= 1024");
        SysUartTxdQueueSize = 1024;
        return;
    }
    SysUartTxdQueueSize = Value;
}

void TCustomUart::pw_SysUartRxdQueueSize(unsigned Value) {
    if (Value < 1024) {
        YVclUtil::ShowErrMsgBox_Printf(
            this, "%s", "Invalid value !!!\n Because SysUartRxdQueueSize must >= 1024");
        SysUartRxdQueueSize = 1024;
        return;
    }
    SysUartRxdQueueSize = Value;
    // The monitor of an open port works in the current buffers; they are
    // resized at the next Open instead.
    if (!Monitor) AllocRxdBuffers(Value);
}

void TCustomUart::pw_BytesOfRxdPacket(unsigned Value) {
    if (Value == 0) {
        YVclUtil::ShowErrMsgBox_Printf(this, "%s",
                                       "Invalid value !!!\n Because this value must >= 1");
        RxdFilter_BytesOfPacket = 1;
        return;
    }
    if (Value > SysUartRxdQueueSize) {
        YVclUtil::ShowErrMsgBox_Printf(this, "%s",
                                       "Invalid value \nBecause great then SysUartRxdQueueSize");
        return;
    }
    RxdFilter_BytesOfPacket = Value;
}

std::string TCustomUart::pr_DevicePath() const {
    if (!UartDevicePath.empty()) return UartDevicePath;
    return ResolveComPort(UartPortNumber);
}

bool TCustomUart::AllocRxdBuffers(unsigned Bytes) {
    FreeRxdBuffers();
    const size_t size = static_cast<size_t>(Bytes) + 8;
    RawRxdBuff = static_cast<char*>(std::calloc(size, 1));
    FilteredRxdBuff = static_cast<char*>(std::calloc(size, 1));
    RxdDatasBuff = static_cast<char*>(std::calloc(size, 1));
    if (!RawRxdBuff || !FilteredRxdBuff || !RxdDatasBuff) {
        FreeRxdBuffers();
        return false;
    }
    RxdBuffBytes = Bytes;
    return true;
}

void TCustomUart::FreeRxdBuffers() {
    std::free(RawRxdBuff);
    std::free(FilteredRxdBuff);
    std::free(RxdDatasBuff);
    RawRxdBuff = FilteredRxdBuff = RxdDatasBuff = nullptr;
    RxdBuffBytes = 0;
}

unsigned TCustomUart::BitsPerCharacter() const {
    return 1 + UartBitsPerByte + (UartParityBit != upb_None ? 1 : 0) +
           (UartStopBits == usb_2bits ? 2 : 1);
}

// ---- line states ----------------------------------------------------------

bool TCustomUart::pr_RiState() {
    if (!IsOpened) throw YVclUtil::Exception(kNotOpened);
    unsigned bits = 0;
    return Port->ModemStatus(bits) && (bits & MS_RING_ON);
}

bool TCustomUart::pr_CdState() {
    if (!IsOpened) throw YVclUtil::Exception(kNotOpened);
    unsigned bits = 0;
    return Port->ModemStatus(bits) && (bits & MS_RLSD_ON);
}

bool TCustomUart::pr_DsrState() {
    if (!IsOpened) throw YVclUtil::Exception(kNotOpened);
    unsigned bits = 0;
    return Port->ModemStatus(bits) && (bits & MS_DSR_ON);
}

bool TCustomUart::pr_CtsState() {
    if (!IsOpened) throw YVclUtil::Exception(kNotOpened);
    unsigned bits = 0;
    return Port->ModemStatus(bits) && (bits & MS_CTS_ON);
}

// ---- open and close -------------------------------------------------------

bool TCustomUart::FailOpen(const char* Reason) {
    Close();
    LastErrMsg = Reason;
    return false;
}

bool TCustomUart::Open() {
    if (Port) return true;
    LastErrDetail.clear();

    const std::string device = pr_DevicePath();
    if (device.empty()) {
        LastErrMsg = "The comm device not exist";
        return false;
    }
    std::unique_ptr<TUartPort> port = CreateUartPort();
    if (!port->Open(device, SysUartWriteStyle == suws_WriteThrough)) {
        switch (port->LastFailure()) {
        case TPortFailure::NotFound:
            LastErrMsg = "The comm device not exist";
            break;
        case TPortFailure::AccessDenied:
            LastErrMsg = "The comm device can not access (may be opened by another)";
            break;
        case TPortFailure::NotADevice:
            // A file that is no device is "anything else" among the three open
            // failures; the owner shows why on a line of its own.
            LastErrMsg = "Can not open comm device file";
            LastErrDetail = port->LastFailureDetail().empty() ? "not a serial port (a regular file)"
                                                              : port->LastFailureDetail();
            break;
        default:
            LastErrMsg = "Can not open comm device file";
            LastErrDetail = port->LastFailureDetail();
            break;
        }
        return false;
    }
    Port = std::move(port);

    if (!Port->SetQueues(SysUartRxdQueueSize, SysUartTxdQueueSize))
        return FailOpen("Can not set comm buffer");
    if (RxdBuffBytes != SysUartRxdQueueSize && !AllocRxdBuffers(SysUartRxdQueueSize))
        return FailOpen("Can not set comm buffer");

    TUartLineSettings line;
    line.Baud = UartBaud;
    line.DataBits = UartBitsPerByte;
    line.Parity = UartParityBit == upb_Odd ? 1 : UartParityBit == upb_Even ? 2 : 0;
    line.StopBits = UartStopBits == usb_2bits ? 2 : 1;
    const bool hardware = FlowCtrlStyle == fcs_Hardware;
    if (hardware) {
        line.CtsOutFlow = FlowCtrlHwTxd == fcht_CTS || FlowCtrlHwTxd == fcht_DSR_CTS;
        line.DsrOutFlow = FlowCtrlHwTxd == fcht_DSR || FlowCtrlHwTxd == fcht_DSR_CTS;
        if (FlowCtrlHwRxd == fchr_RTS)
            line.Rts = TUartLineSettings::lm_Handshake;
        else if (FlowCtrlHwRxd == fchr_DTR)
            line.Dtr = TUartLineSettings::lm_Handshake;
    }
    if (!Port->Configure(line)) {
        // The fixed text stays; a device that is no terminal is named apart.
        LastErrDetail = Port->LastFailureDetail();
        return FailOpen("Can not set comm config");
    }

    // Whole seconds of a full queue at this speed, added to five seconds.
    const unsigned bits = BitsPerCharacter();
    TUartTimeouts timeouts;
    timeouts.ReadIntervalMs = SysUartRxdIntervalTimeout;
    timeouts.ReadTotalMs =
        5000 + static_cast<unsigned>(static_cast<unsigned long long>(SysUartRxdQueueSize) * bits /
                                     UartBaud);
    timeouts.WriteTotalMs =
        5000 + static_cast<unsigned>(static_cast<unsigned long long>(SysUartTxdQueueSize) * bits /
                                     UartBaud);
    if (!Port->SetTimeouts(timeouts)) return FailOpen("Can not set timeout");

    EventMask = EV_RXCHAR | EV_TXEMPTY;
    if (OnFrameErr || OnParityErr || OnBreakLevelErr || OnRxOverrunErr || OnTxOverrunErr)
        EventMask |= EV_ERR;
    if (OnRiChanged) EventMask |= EV_RING;
    if (OnCdChanged) EventMask |= EV_RLSD;
    if (OnCtsChanged && FlowCtrlHwTxd != fcht_CTS && FlowCtrlHwTxd != fcht_DSR_CTS)
        EventMask |= EV_CTS;
    if (OnDsrChanged && FlowCtrlHwTxd != fcht_DSR && FlowCtrlHwTxd != fcht_DSR_CTS)
        EventMask |= EV_DSR;
    if (!Port->SetEventMask(EventMask)) return FailOpen("Can not turn-on comm event mask");

    // Raising the lines is best effort: the port works without them.
    Port->SetModemLine(TUartPort::ml_Dtr, true);
    Port->SetModemLine(TUartPort::ml_Rts, true);

    Monitor = new TCommMonitorThread(this, Port.get(), RawRxdBuff, FilteredRxdBuff, RxdDatasBuff);
    if (!Monitor->Ready()) return FailOpen("Can not create TCommEventMonitorThread");
    Monitor->start(QThread::NormalPriority);
    IsOpened = true;
    LastErrMsg.clear();
    return true;
}

bool TCustomUart::Close() {
    if (!Port) return true;
    if (Monitor) {
        // Also right from inside an event handler: Terminate releases the
        // monitor's wait for this very handler, so the thread can end now.
        Monitor->Terminate();
        Monitor->wait();
        delete Monitor;
        Monitor = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(TxtLock);
        EndTxtFile();
    }
    Port->SetModemLine(TUartPort::ml_Rts, false);
    Port->SetModemLine(TUartPort::ml_Dtr, false);
    const bool released = Port->Close();
    Port.reset();
    IsOpened = false;
    if (released)
        LastErrMsg.clear();
    else
        LastErrMsg = "Can not close comm";
    return true;
}

// ---- sending --------------------------------------------------------------

int TCustomUart::WriteBlock(const void* Data, unsigned Bytes, TWriteCancel Cancel) {
    if (Bytes == 0) return 0;
    const long written = Port->Write(Data, Bytes, Cancel);
    if (written < 0) return 1;
    return static_cast<unsigned long>(written) < Bytes ? 4 : 0;
}

int TCustomUart::SendData(unsigned Bytes, const void* Data) {
    LastErrMsg.clear();
    if (!Port) return 2;
    if (SendingTxtFile.load()) return 3;
    const int rc = WriteBlock(Data, Bytes);
    if (rc == 1)
        LastErrMsg = "Can not send to comm";
    else if (rc == 4)
        LastErrMsg = "Timeout when send to comm";
    else if (OnTxdEmpty && Monitor)
        Port->NotifyTxQueued();
    return rc;
}

int TCustomUart::SendData_printf(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    const unsigned bytes = n < 0                                  ? 0u
                           : n >= static_cast<int>(sizeof buffer) ? sizeof buffer - 1
                                                                  : static_cast<unsigned>(n);
    return SendData(bytes, buffer);
}

void TCustomUart::EndTxtFile() {
    if (TxtFile) std::fclose(TxtFile);
    TxtFile = nullptr;
    std::free(TxtLineBuff);
    TxtLineBuff = nullptr;
    TxtLineBuffSize = 0;
    TxtLineBytes = 0;
    SendingTxtFile = false;
}

int TCustomUart::ReadTxtLine() {
    if (!std::fgets(TxtLineBuff, static_cast<int>(TxtLineBuffSize), TxtFile)) return -1;
    TxtLineBytes = static_cast<unsigned>(std::strlen(TxtLineBuff));
    return static_cast<int>(TxtLineBytes);
}

int TCustomUart::SendTxtFile(const char* FileName, unsigned LineIntervalMs) {
    LastErrMsg.clear();
    if (!Port) return 2;
    if (SendingTxtFile.load()) return 3;
    FILE* file = FileName ? std::fopen(FileName, "r+b") : nullptr;
    if (!file) {
        LastErrMsg = "Can not open file";
        return 5;
    }
    std::lock_guard<std::mutex> lock(TxtLock);
    TxtFile = file;
    TxtLineBuffSize = SysUartTxdQueueSize;
    TxtLineBuff = static_cast<char*>(std::malloc(TxtLineBuffSize));
    if (!TxtLineBuff) {
        EndTxtFile();
        LastErrMsg = "Can not alloc mem";
        return 1;
    }
    if (ReadTxtLine() < 0) {
        EndTxtFile();
        LastErrMsg = "Can not read file";
        return 5;
    }
    SendingTxtFile = true;
    TxtLineIntervalMs = LineIntervalMs;
    const int rc = WriteBlock(TxtLineBuff, TxtLineBytes);
    if (rc != 0) {
        EndTxtFile();
        LastErrMsg =
            rc == 4 ? "Timeout when send txt file to comm" : "Can not send txt file to comm";
        return rc;
    }
    if (Monitor) Port->NotifyTxQueued();
    return 0;
}

// Called with TxtLock held. 1 when a line went out.
int TCustomUart::TrySendNextLine() {
    if (!SendingTxtFile.load()) return 0;
    if (ReadTxtLine() < 0) {
        EndTxtFile();
        return 0;
    }
    // Close must not wait out a whole write time-out for this line.
    if (WriteBlock(TxtLineBuff, TxtLineBytes, TWriteCancel::OnInterrupt) != 0) {
        EndTxtFile();
        return 0;
    }
    Port->NotifyTxQueued();
    return 1;
}

bool TCustomUart::PrrallelProcessingTrySendNextLineOfTxtFile() {
    std::lock_guard<std::mutex> lock(TxtLock);
    return TrySendNextLine() != 0;
}

bool TCustomUart::PrrallelProcessingWhenDetectedTxdEmpty() {
    std::lock_guard<std::mutex> lock(TxtLock);
    if (!SendingTxtFile.load()) return static_cast<bool>(OnTxdEmpty);
    if (TxtLineIntervalMs == 0) {
        if (TrySendNextLine()) return false;
        return static_cast<bool>(OnTxdEmpty);
    }
    if (Monitor->ArmLineTimer(TxtLineIntervalMs)) return false;
    EndTxtFile();
    return static_cast<bool>(OnTxdEmpty);
}

// ---- events (component thread) ---------------------------------------------

void TCustomUart::FireUartErrEvent(unsigned long errors) {
    if ((errors & CE_FRAME) && OnFrameErr) OnFrameErr(this);
    if ((errors & CE_RXPARITY) && OnParityErr) OnParityErr(this);
    if ((errors & CE_BREAK) && OnBreakLevelErr) OnBreakLevelErr(this);
    if ((errors & CE_RXOVER) && OnRxOverrunErr) OnRxOverrunErr(this);
    if ((errors & CE_TXFULL) && OnTxOverrunErr) OnTxOverrunErr(this);
}

void TCustomUart::FireModemSignalEvent(unsigned long mask) {
    if ((mask & EV_RING) && OnRiChanged) OnRiChanged(this);
    if ((mask & EV_RLSD) && OnCdChanged) OnCdChanged(this);
    if ((mask & EV_DSR) && OnDsrChanged) OnDsrChanged(this);
    if ((mask & EV_CTS) && OnCtsChanged) OnCtsChanged(this);
}

void TCustomUart::FireTxdEmptyEvent() {
    if (OnTxdEmpty) OnTxdEmpty(this);
}

void TCustomUart::FireRxdDatasEvent(unsigned Bytes) {
    if (OnRxdDatas) OnRxdDatas(this, static_cast<int>(Bytes), RxdDatasBuff);
}

void TCustomUart::FireDeviceLostEvent() {
    LastErrMsg = "The comm device has gone (disconnected)";
    if (OnDeviceLost) OnDeviceLost(this);
}

} // namespace YVclCtrl
