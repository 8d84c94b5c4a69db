#include "fieldbus/tvtnet_node.h"

#include "fieldbus/tvtnet_topologic.h"
#include "fieldbus/vtnmessages.h"
#include "util/eygeneral.h"

namespace OrvCtrl {

TVTNet_Node::TVTNet_Node(QObject* Owner) : TVTNet(Owner) {
    RunConstructor();
}

TVTNet_Node::TVTNet_Node(QObject* Owner, int ClsId, uint8_t SegId, uint8_t NodeId,
                         TVTNet_Topologic* Topologic)
    : TVTNet(Owner) {
    RunConstructor();
    VtnClsId = ClsId;
    BindAndRegister(SegId, NodeId, Topologic);
}

TVTNet_Node::TVTNet_Node(QObject* Owner, int ClsId, uint8_t SegId, uint8_t NodeId,
                         TVTNet_Topologic* Topologic, const TVTNet_Node* Model)
    : TVTNet(Owner) {
    RunConstructor();
    CheckModelClass(Model, ClsId);
    CopyNodeFieldsFrom(*Model);
    VtnClsId = ClsId;
    BindAndRegister(SegId, NodeId, Topologic);
}

TVTNet_Node::~TVTNet_Node() {
    RunDestructor();
}

void TVTNet_Node::RunConstructor() {}

void TVTNet_Node::RunDestructor() {
    if (BindTo) BindTo->RemoveVtnComponentFromVtnTopologic(this);
}

void TVTNet_Node::BindAndRegister(uint8_t SegId, uint8_t NodeId, TVTNet_Topologic* Topologic) {
    pw_VtnSegId(SegId);
    pw_VtnNodeId(NodeId);
    pw_BindTo(Topologic);
    Register(vtf_RegisteredByConstructor);
}

void TVTNet_Node::CopyNodeFieldsFrom(const TVTNet_Node& Model) {
    CopyVtnFieldsFrom(Model);
    // The binding is not copied: the copy binds to the topology it is given.
}

void TVTNet_Node::pw_BindTo(TVTNet_Topologic* Value) {
    if (BindTo && BindTo.data() != Value) BindTo->RemoveVtnComponentFromVtnTopologic(this);
    BindTo = Value;
    PropertySetBits |= psb_BindTo;
}

void TVTNet_Node::pw_VtnSegId(uint8_t Value) {
    if (Value > VtnMaxSegId) throw YVclUtil::EYGeneral("%s", VtnMsg::SegIdRange);
    VtnSegId = Value;
    PropertySetBits |= psb_VtnSegId;
}

void TVTNet_Node::pw_VtnNodeId(uint8_t Value) {
    if (Value > VtnMaxNodeId) throw YVclUtil::EYGeneral("%s", VtnMsg::NodeIdRange);
    VtnNodeId = Value;
    PropertySetBits |= psb_VtnNodeId;
}

void TVTNet_Node::Register(uint32_t How) {
    if (!BindTo) return;
    try {
        BindTo->AddVtnComponentToVtnTopologic(this, How);
    } catch (const YVclUtil::EYGeneral&) {
        if (!Designing) throw;
    }
}

void TVTNet_Node::Loaded() {
    const uint8_t all = psb_BindTo | psb_VtnSegId | psb_VtnNodeId;
    if ((PropertySetBits & all) == all) Register(vtf_RegisteredByLoaded);
}

void TVTNet_Node::SendVtnPacket(const _SVTNTXDPACKET& Packet) {
    if (BindTo) BindTo->SendVtnPacket(Packet);
}

void TVTNet_Node::SendCode(const uint8_t* Datas, uint8_t Bytes) {
    _SVTNTXDPACKET packet;
    packet.VtnSegId = VtnSegId;
    packet.VtnNodeId = VtnNodeId;
    packet.BytesOfDatas = Bytes;
    for (uint8_t i = 0; i < Bytes; ++i)
        packet.Datas[i] = Datas[i];
    SendVtnPacket(packet);
}

void TVTNet_Node::BeforeRunRequestToReset() {}

void TVTNet_Node::RequestToReset() {
    BeforeRunRequestToReset();
    const uint8_t code = evpc_RequestToReset;
    SendCode(&code, 1);
}

void TVTNet_Node::QueryVtnProtocolVersion() {
    const uint8_t code = evpc_QueryProtocolVersion;
    SendCode(&code, 1);
}

void TVTNet_Node::QueryVtnClsId() {
    const uint8_t code = evpc_QueryClsId;
    SendCode(&code, 1);
}

void TVTNet_Node::QueryVtnCustomerId() {
    const uint8_t code = evpc_QueryCustomerId;
    SendCode(&code, 1);
}

} // namespace OrvCtrl
