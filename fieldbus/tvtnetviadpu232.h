#pragma once

#include "fieldbus/tvtnet_rnsm.h"

#include <cstdint>
#include <string>

class QTimer;

namespace OrvCtrl {

class TPcUart;

// The bus master reached through the serial VTNet converter: reads and sets
// the converter's registers with ASCII command lines, sends and receives
// VTNet packets as hexadecimal lines, and runs the connect handshake (nine
// register queries answered within 2000 ms).
//
// Failures raise YVclUtil::Exception with the reason as its message: property
// access, queries, resets and sends while not connected, a missing event
// handler or an unopenable port at Connect, a packet of bad size. A failed
// write raises no exception; it raises OnUartTxdFail (and OnConnectFail
// during Connect). Malformed received lines are dropped silently.
// Main thread only; received lines and the time-out arrive there.
class TVTNetViaDpu232 : public TVTNet_Rnsm {
    Q_OBJECT
public:
    // Creates the port (38400 baud, 8N1, CTS flow control, lines split at LF)
    // and the disabled 2000 ms time-out timer; port number 1.
    explicit TVTNetViaDpu232(QObject* Owner);
    // Disconnects, then destroys the port and the timer.
    ~TVTNetViaDpu232() override;

    // Needs OnConnectOK, OnConnectFail and OnUartTxdFail assigned. Loads and
    // checks the topology file (its exceptions pass through), opens the port
    // (a port number the serial component refuses fails as an unopenable
    // port) and sends the handshake; the end is reported by OnConnectOK or
    // OnConnectFail. A link already connected is disconnected first.
    void Connect();
    // Closes the port when open; clears Connected (and a handshake in progress).
    // Run by itself, followed by OnConnectFail, when the port reports that
    // the converter went away.
    void Disconnect() override;

    unsigned pr_UartPortNumber() const { return UartPortNumber; }
    // Raises while connected (or connecting).
    void pw_UartPortNumber(unsigned Value);

    // All of the following raise the not-connected exception unless connected.
    uint8_t pr_Yout() const;
    // Stores the image and writes it to R0.
    void pw_Yout(uint8_t Value);
    // Bit i of the outputs (0..3); other i read false and write nothing.
    bool pr_Y(int i) const;
    void pw_Y(int i, bool Value);
    uint8_t pr_Xin() const;
    bool pr_X(int i) const;
    // The input image before the last R1 reply, and its bit i.
    uint8_t pr_Old_X() const;
    bool pr_Old_X(int i) const;
    uint8_t pr_R3() const;
    uint8_t pr_R4() const;
    uint8_t pr_R5() const;
    uint8_t pr_R6() const;
    // The largest number of data bytes a packet may carry.
    uint8_t pr_R7() const;
    uint8_t pr_R8() const;
    uint8_t pr_R9() const;
    uint8_t pr_RE() const;
    // Store the image, write it and ask it back.
    void pw_R8(uint8_t Value);
    void pw_R9(uint8_t Value);
    void QueryYout();
    void QueryXin();
    void QueryVtnFlags();
    // Writes 0 to the outputs, then orders the converter's reset; its report
    // raises OnResetRnsm_OK.
    void ResetRnsm();
    // One packet as a '>' line. Raises for 0 data bytes or more than R7.
    void SendVtnPacket(const _SVTNTXDPACKET& Packet) override;
    // Hands the file to the port's text-file sending; returns its result code
    // (0 started; see TCustomUart::SendTxtFile).
    int SendTxtFileToRS232(const std::string& FileName, unsigned Param);

    bool pr_Connecting() const { return Connecting; }
    bool pr_ResetPending() const { return ResetPending; }
    uint32_t pr_ReplyMask() const { return ReplyMask; }
    TPcUart* pr_Uart() const { return Uart; }
    QTimer* pr_TimeoutTimer() const { return TimeoutTimer; }

    // The port's received-data handler: one line, ended by LF.
    void OnPcUartRxdDatas(QObject* Sender, int Bytes, char* Datas);
    // The connect time-out.
    void OnTimeoutTimerReach();

    TVtnNotifyEvent OnConnectOK;
    TVtnNotifyEvent OnConnectFail;
    TVtnNotifyEvent OnUartTxdFail;
    TVtnNotifyEvent OnReplyYout;
    TVtnNotifyEvent OnReplyXin;
    TVtnNotifyEvent OnReplyVtnFlags;
    TVtnNotifyEvent OnResetRnsm_OK;
    TVtnNotifyEvent OnResetRnsm_WDT;

protected:
    // The port, behind virtual calls so the protocol can run without one.
    virtual bool UartOpen();
    virtual void UartClose();
    // 0 when the whole text went out.
    virtual int UartSend(const std::string& Text);
    virtual int UartSendTxtFile(const std::string& FileName, unsigned Param);

    // Sends one command; raises OnUartTxdFail when that fails. True when sent.
    bool SendCommand(const std::string& Text);
    void CheckConnected() const;
    void FireUartTxdFail();

    TPcUart* Uart = nullptr;
    QTimer* TimeoutTimer = nullptr;
    unsigned UartPortNumber = 1;
    uint8_t Yout = 0;
    uint8_t Xin = 0;
    uint8_t Old_X = 0;
    uint8_t R3 = 0, R4 = 0, R5 = 0, R6 = 0, R7 = 0, R8 = 0, R9 = 0;
    uint8_t RE = 0;
    bool Connecting = false;
    bool ResetPending = false;
    uint32_t ReplyMask = 0;

private:
    void RunConstructor();
    void RunDestructor();
    void TakeRegisterReply(char Register, uint8_t Value, uint32_t ReplyBit);
};

} // namespace OrvCtrl
