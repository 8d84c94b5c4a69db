#include "fieldbus/tdpu4i4o.h"

namespace OrvCtrl {

namespace {
bool BitOf(uint8_t Image, int i) {
    return i >= 0 && i <= 3 && (Image >> i) & 1;
}
} // namespace

TDpu4i4o::TDpu4i4o(QObject* Owner) : TVTNet_Node(Owner) {
    RunConstructor();
    VtnClsId = evci_Dpu4i4o;
}

TDpu4i4o::TDpu4i4o(QObject* Owner, int ClsId, uint8_t SegId, uint8_t NodeId,
                   TVTNet_Topologic* Topologic)
    : TVTNet_Node(Owner, ClsId, SegId, NodeId, Topologic) {
    RunConstructor();
}

TDpu4i4o::TDpu4i4o(QObject* Owner, int ClsId, uint8_t SegId, uint8_t NodeId,
                   TVTNet_Topologic* Topologic, const TDpu4i4o* Model)
    : TVTNet_Node(Owner, ClsId, SegId, NodeId, Topologic, Model) {
    RunConstructor();
    // The base has checked Model and copied its TVTNet level.
    Yout = Model->Yout;
    Xin = Model->Xin;
    Old_Xin = Model->Old_Xin;
    OnInputChanged = Model->OnInputChanged;
}

TDpu4i4o::~TDpu4i4o() {
    RunDestructor();
}

void TDpu4i4o::RunConstructor() {}
void TDpu4i4o::RunDestructor() {}

void TDpu4i4o::pw_Yout(uint8_t Value) {
    Yout = Value;
    const uint8_t datas[2] = {evpc_Dpu4i4oWriteOutputs, Yout};
    SendCode(datas, 2);
}

bool TDpu4i4o::pr_BitOfY(int i) const {
    return BitOf(Yout, i);
}

void TDpu4i4o::pw_BitOfY(int i, bool Value) {
    if (i < 0 || i > 3) return;
    const uint8_t mask = static_cast<uint8_t>(1u << i);
    pw_Yout(Value ? (Yout | mask) : (Yout & ~mask));
}

bool TDpu4i4o::pr_BitOfX(int i) const {
    return BitOf(Xin, i);
}
bool TDpu4i4o::pr_Old_BitOfX(int i) const {
    return BitOf(Old_Xin, i);
}

void TDpu4i4o::FilteringReceivedVtnPacket(const _SVTNRXDPACKET& Packet) {
    if (Packet.Datas[0] != evpc_Dpu4i4oInputChanged) {
        TVTNet::FilteringReceivedVtnPacket(Packet);
        return;
    }
    Old_Xin = Xin;
    Xin = Packet.Datas[1];
    if (OnInputChanged) OnInputChanged(this, VtnSegId, VtnNodeId);
}

void TDpu4i4o::BeforeRunRequestToReset() {
    Yout = 0;
}

void TDpu4i4o::BeforeFireOnSuccessfulResetEvent(const _SVTNRXDPACKET&) {
    // A reset nobody asked for (the image is still set) cleared the module's
    // outputs: write them again.
    if (Yout != 0) pw_Yout(Yout);
}

} // namespace OrvCtrl
