#pragma once

#include "fieldbus/tvtnetviadpu232.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace fbtest {

// The converter link with the port replaced by a recorder: what would go out
// is kept in Sent, received lines are fed with Feed.
class TRecordingLink : public OrvCtrl::TVTNetViaDpu232 {
public:
    explicit TRecordingLink(QObject* Owner = nullptr) : TVTNetViaDpu232(Owner) {}
    ~TRecordingLink() override { Disconnect(); }

    void Feed(const std::string& Line) {
        std::string copy = Line;
        OnPcUartRxdDatas(this, static_cast<int>(copy.size()), copy.data());
    }
    std::string TakeSent() {
        std::string out;
        out.swap(Sent);
        return out;
    }
    // Connects and answers the nine handshake queries.
    void ConnectAndAnswer(uint8_t R7 = 0x10) {
        Connect();
        for (const char* line : {"*R3=10\n", "*R4=11\n", "*R5=12\n", "*R6=13\n", "*R8=00\n",
                                 "*R9=00\n", "*R0=00\n", "*R1=00\n"})
            Feed(line);
        char r7[16];
        std::snprintf(r7, sizeof r7, "*R7=%02X\n", R7);
        Feed(r7);
        TakeSent();
    }

    bool PortOpen = false;
    bool OpenResult = true;
    int SendResult = 0;
    int OpenCount = 0;
    std::string Sent;

protected:
    bool UartOpen() override {
        ++OpenCount;
        PortOpen = OpenResult;
        return OpenResult;
    }
    void UartClose() override { PortOpen = false; }
    int UartSend(const std::string& Text) override {
        if (SendResult == 0) Sent += Text;
        return SendResult;
    }
};

} // namespace fbtest
