// Lines from the VTNet converter, as the serial component would hand them
// over: the codec must drop whatever is not a well-formed reply or packet,
// and the connected link must survive any sequence of such lines.

#include "fieldbus/tdpu4i4o.h"
#include "fieldbus/tvtnetlinecodec.h"
#include "fieldbus/tvtnetviadpu232.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The link without a port: connected by feeding it the handshake replies.
class TFuzzLink : public OrvCtrl::TVTNetViaDpu232 {
public:
    TFuzzLink() : TVTNetViaDpu232(nullptr) {
        OnConnectOK = [](QObject*) {};
        OnConnectFail = [](QObject*) {};
        OnUartTxdFail = [](QObject*) {};
        Connecting = true;
        for (const char* r : {"*R3=10\n", "*R4=11\n", "*R5=12\n", "*R6=13\n", "*R7=11\n",
                              "*R8=00\n", "*R9=00\n", "*R0=00\n", "*R1=00\n"})
            Feed(r, std::strlen(r));
        if (!Connected) std::abort();
    }
    void Feed(const char* Data, size_t Bytes) {
        std::vector<char> copy(Data, Data + Bytes);
        OnPcUartRxdDatas(this, static_cast<int>(Bytes), copy.data());
    }

protected:
    bool UartOpen() override { return true; }
    void UartClose() override {}
    int UartSend(const std::string&) override { return 0; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static int argc = 1;
    static char name[] = "fuzz_vtnet";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;

    const char* text = reinterpret_cast<const char*>(Data);
    const OrvCtrl::TVtnLine whole = OrvCtrl::TVTNetLineCodec::ParseLine(text, Size);
    if (whole.Kind == OrvCtrl::TVtnLine::lk_Packet &&
        (whole.Packet.BytesOfDatas < 1 || whole.Packet.BytesOfDatas > 17))
        std::abort();

    // Split at LF as the serial component does and hand each line to a link
    // with two nodes registered.
    TFuzzLink link;
    OrvCtrl::TDpu4i4o a(nullptr, OrvCtrl::evci_Dpu4i4o, 0x01, 0x02, &link);
    OrvCtrl::TDpu4i4o b(nullptr, OrvCtrl::evci_Dpu4i4o, 0x80, 0x7F, &link);
    size_t start = 0;
    for (size_t i = 0; i < Size; ++i) {
        if (text[i] == '\n') {
            link.Feed(text + start, i + 1 - start);
            start = i + 1;
        }
    }
    if (start < Size) link.Feed(text + start, Size - start);
    return 0;
}
