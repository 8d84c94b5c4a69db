#include "fieldbus/tvtnetviadpu232.h"

#include "fieldbus/tpcuart.h"
#include "fieldbus/tvtnetlinecodec.h"
#include "fieldbus/vtnmessages.h"
#include "util/errmsgbox.h"
#include "util/eygeneral.h"
#include "util/exception.h"

#include <QTimer>

namespace OrvCtrl {

namespace {
constexpr int ConnectTimeoutMs = 2000;
bool BitOf(uint8_t Image, int i) {
    return i >= 0 && i <= 3 && (Image >> i) & 1;
}
} // namespace

TVTNetViaDpu232::TVTNetViaDpu232(QObject* Owner) : TVTNet_Rnsm(Owner) {
    RunConstructor();
}

TVTNetViaDpu232::~TVTNetViaDpu232() {
    RunDestructor();
}

void TVTNetViaDpu232::RunConstructor() {
    using namespace YVclCtrl;
    Uart = new TPcUart(this);
    Uart->setObjectName(QStringLiteral("Uart"));
    Uart->pw_UartPortNumber(UartPortNumber);
    Uart->pw_UartBaud(38400);
    Uart->pw_UartBitsPerByte(8);
    Uart->pw_UartParityBit(upb_None);
    Uart->pw_UartStopBits(usb_1bit);
    Uart->pw_FlowCtrlStyle(fcs_Hardware);
    Uart->pw_FlowCtrlHwRxd(fchr_None);
    Uart->pw_FlowCtrlHwTxd(fcht_CTS);
    Uart->pw_SysUartWriteStyle(suws_WriteViaQueue);
    Uart->pw_SysUartTxdQueueSize(8192);
    Uart->pw_SysUartRxdQueueSize(8192);
    Uart->pw_SysUartRxdIntervalTimeout(3);
    Uart->pw_RxdFilter_Style(rfs_ByDelimiterChar);
    Uart->pw_RxdFilter_DelimiterChar('\n');
    Uart->OnRxdDatas = [this](QObject* Sender, int Bytes, char* Datas) {
        OnPcUartRxdDatas(Sender, Bytes, Datas);
    };

    // A converter that goes away (adapter unplugged) ends the link at once
    // rather than leaving it connected to nothing.
    Uart->OnDeviceLost = [this](QObject*) {
        if (!Connected && !Connecting) return;
        Disconnect();
        if (OnConnectFail) OnConnectFail(this);
    };

    TimeoutTimer = new QTimer(this);
    TimeoutTimer->setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the converter gets its full 2 s.
    TimeoutTimer->setTimerType(Qt::PreciseTimer);
    TimeoutTimer->setInterval(ConnectTimeoutMs);
    QObject::connect(TimeoutTimer, &QTimer::timeout, this, [this] { OnTimeoutTimerReach(); });
}

void TVTNetViaDpu232::RunDestructor() {
    Disconnect();
    // The port's handler points back here: cut it before the port goes.
    Uart->OnRxdDatas = nullptr;
    Uart->OnDeviceLost = nullptr;
    delete Uart;
    Uart = nullptr;
    delete TimeoutTimer;
    TimeoutTimer = nullptr;
}

bool TVTNetViaDpu232::UartOpen() {
    Uart->pw_UartPortNumber(UartPortNumber);
    // The port refuses a number it cannot name (with its own error box) and
    // keeps the old one: opening that would talk to some other device.
    if (Uart->pr_UartPortNumber() != UartPortNumber && Uart->pr_UartDevicePath().empty())
        return false;
    return Uart->Open();
}

void TVTNetViaDpu232::UartClose() {
    if (Uart && Uart->pr_IsOpened()) Uart->Close();
}

int TVTNetViaDpu232::UartSend(const std::string& Text) {
    return Uart->SendData(static_cast<unsigned>(Text.size()), Text.data());
}

int TVTNetViaDpu232::UartSendTxtFile(const std::string& FileName, unsigned Param) {
    return Uart->SendTxtFile(FileName.c_str(), Param);
}

void TVTNetViaDpu232::FireUartTxdFail() {
    if (OnUartTxdFail) OnUartTxdFail(this);
}

bool TVTNetViaDpu232::SendCommand(const std::string& Text) {
    if (UartSend(Text) == 0) return true;
    FireUartTxdFail();
    return false;
}

void TVTNetViaDpu232::CheckConnected() const {
    if (!Connected) throw YVclUtil::Exception(VtnMsg::NotConnected);
}

void TVTNetViaDpu232::Connect() {
    auto need = [](bool Handled, const char* Event) {
        if (!Handled) throw YVclUtil::Exception(YVclUtil::Format(VtnMsg::NoHandler, Event));
    };
    need(bool(OnConnectOK), "OnConnectOK");
    need(bool(OnConnectFail), "OnConnectFail");
    need(bool(OnUartTxdFail), "OnUartTxdFail");
    // A second Connect starts over; otherwise a handshake on top of a live
    // link would leave Connecting set and swallow every later reply.
    if (Connected || Connecting) Disconnect();

    LoadAndChkTopologicIniAndAssignDefaultVtnComponentToVtnTopologic();

    if (!UartOpen()) throw YVclUtil::Exception(VtnMsg::OpenUartFail);

    ReplyMask = 0;
    // Set before sending: a reply must never find the flag still clear.
    Connecting = true;
    if (UartSend(TVTNetLineCodec::HandshakeLine()) != 0) {
        // The port is closed before either handler hears of the failure.
        Disconnect();
        FireUartTxdFail();
        if (OnConnectFail) OnConnectFail(this);
        return;
    }
    TimeoutTimer->start(ConnectTimeoutMs);
}

void TVTNetViaDpu232::Disconnect() {
    TimeoutTimer->stop();
    Connecting = false;
    ResetPending = false;
    UartClose();
    TVTNet_Rnsm::Disconnect();
}

void TVTNetViaDpu232::OnTimeoutTimerReach() {
    TimeoutTimer->stop();
    if (Connecting && !Connected) {
        Connecting = false;
        Disconnect();
        if (OnConnectFail) OnConnectFail(this);
    }
}

void TVTNetViaDpu232::pw_UartPortNumber(unsigned Value) {
    if (Connected || Connecting) throw YVclUtil::Exception(VtnMsg::NowConnected);
    UartPortNumber = Value;
}

uint8_t TVTNetViaDpu232::pr_Yout() const {
    CheckConnected();
    return Yout;
}

void TVTNetViaDpu232::pw_Yout(uint8_t Value) {
    CheckConnected();
    Yout = Value;
    SendCommand(TVTNetLineCodec::WriteOutputsLine(Yout));
}

bool TVTNetViaDpu232::pr_Y(int i) const {
    CheckConnected();
    return BitOf(Yout, i);
}

void TVTNetViaDpu232::pw_Y(int i, bool Value) {
    CheckConnected();
    if (i < 0 || i > 3) return;
    const uint8_t mask = static_cast<uint8_t>(1u << i);
    pw_Yout(Value ? (Yout | mask) : (Yout & ~mask));
}

uint8_t TVTNetViaDpu232::pr_Xin() const {
    CheckConnected();
    return Xin;
}

bool TVTNetViaDpu232::pr_X(int i) const {
    CheckConnected();
    return BitOf(Xin, i);
}

uint8_t TVTNetViaDpu232::pr_Old_X() const {
    CheckConnected();
    return Old_X;
}

bool TVTNetViaDpu232::pr_Old_X(int i) const {
    CheckConnected();
    return BitOf(Old_X, i);
}

uint8_t TVTNetViaDpu232::pr_R3() const {
    CheckConnected();
    return R3;
}
uint8_t TVTNetViaDpu232::pr_R4() const {
    CheckConnected();
    return R4;
}
uint8_t TVTNetViaDpu232::pr_R5() const {
    CheckConnected();
    return R5;
}
uint8_t TVTNetViaDpu232::pr_R6() const {
    CheckConnected();
    return R6;
}
uint8_t TVTNetViaDpu232::pr_R7() const {
    CheckConnected();
    return R7;
}
uint8_t TVTNetViaDpu232::pr_R8() const {
    CheckConnected();
    return R8;
}
uint8_t TVTNetViaDpu232::pr_R9() const {
    CheckConnected();
    return R9;
}
uint8_t TVTNetViaDpu232::pr_RE() const {
    CheckConnected();
    return RE;
}

void TVTNetViaDpu232::pw_R8(uint8_t Value) {
    CheckConnected();
    R8 = Value;
    SendCommand(TVTNetLineCodec::WriteR8Line(R8));
}

void TVTNetViaDpu232::pw_R9(uint8_t Value) {
    CheckConnected();
    R9 = Value;
    SendCommand(TVTNetLineCodec::WriteR9Line(R9));
}

void TVTNetViaDpu232::QueryYout() {
    CheckConnected();
    SendCommand(TVTNetLineCodec::QueryYoutLine());
}

void TVTNetViaDpu232::QueryXin() {
    CheckConnected();
    SendCommand(TVTNetLineCodec::QueryXinLine());
}

void TVTNetViaDpu232::QueryVtnFlags() {
    CheckConnected();
    SendCommand(TVTNetLineCodec::QueryVtnFlagsLine());
}

void TVTNetViaDpu232::ResetRnsm() {
    CheckConnected();
    pw_Yout(0);
    SendCommand(TVTNetLineCodec::ResetLine());
    ResetPending = true;
}

void TVTNetViaDpu232::SendVtnPacket(const _SVTNTXDPACKET& Packet) {
    CheckConnected();
    if (Packet.BytesOfDatas == 0) throw YVclUtil::Exception(VtnMsg::BytesOfDatasTooSmall);
    if (Packet.BytesOfDatas > R7) throw YVclUtil::Exception(VtnMsg::BytesOfDatasTooLarge);
    SendCommand(TVTNetLineCodec::PacketLine(Packet));
}

int TVTNetViaDpu232::SendTxtFileToRS232(const std::string& FileName, unsigned Param) {
    CheckConnected();
    return UartSendTxtFile(FileName, Param);
}

void TVTNetViaDpu232::OnPcUartRxdDatas(QObject*, int Bytes, char* Datas) {
    if (Bytes <= 0 || !Datas) return;
    const TVtnLine line = TVTNetLineCodec::ParseLine(Datas, static_cast<size_t>(Bytes));
    switch (line.Kind) {
    case TVtnLine::lk_Register:
        TakeRegisterReply(line.Register, line.Value, line.ReplyBit);
        break;
    case TVtnLine::lk_Packet:
        // A node may answer a packet by sending one (a module putting its
        // outputs back after a reset); when that cannot go out (not yet
        // connected, packet larger than R7) the reason must not unwind into
        // the port's event delivery. The line is then dropped like a bad one.
        try {
            FilteringReceivedVtnPacket(line.Packet);
        } catch (const YVclUtil::Exception& e) {
            YVclUtil::SendDbgString_Printf("%s: packet handling failed: %s",
                                           objectName().toStdString().c_str(), e.what());
        }
        break;
    case TVtnLine::lk_Ignored:
        break;
    }
}

void TVTNetViaDpu232::TakeRegisterReply(char Register, uint8_t Value, uint32_t ReplyBit) {
    switch (Register) {
    case '0':
        Yout = Value;
        break;
    case '1':
        Old_X = Xin;
        Xin = Value;
        break;
    case '3':
        R3 = Value;
        break;
    case '4':
        R4 = Value;
        break;
    case '5':
        R5 = Value;
        break;
    case '6':
        R6 = Value;
        break;
    case '7':
        R7 = Value;
        break;
    case '8':
        R8 = Value;
        break;
    case '9':
        R9 = Value;
        break;
    case 'E':
        RE = Value;
        break;
    default:
        break; // 'F' stores nothing
    }

    if (Connecting) {
        ReplyMask |= ReplyBit;
        if (ReplyMask == TVTNetLineCodec::HandshakeReplyMask) {
            TimeoutTimer->stop();
            Connected = true;
            Connecting = false;
            if (OnConnectOK) OnConnectOK(this);
        }
        return;
    }

    switch (Register) {
    case '0':
        if (OnReplyYout) OnReplyYout(this);
        break;
    case '1':
        if (OnReplyXin) OnReplyXin(this);
        break;
    case 'E':
        if (OnReplyVtnFlags) OnReplyVtnFlags(this);
        break;
    case 'F':
        if (ResetPending) {
            ResetPending = false;
            if (OnResetRnsm_OK) OnResetRnsm_OK(this);
        } else {
            // The converter reset by itself (its watchdog): its outputs are
            // off now, so put back what the application last set.
            SendCommand(TVTNetLineCodec::WriteOutputsLine(Yout));
            if (OnResetRnsm_WDT) OnResetRnsm_WDT(this);
        }
        break;
    default:
        break;
    }
}

} // namespace OrvCtrl
