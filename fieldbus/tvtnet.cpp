#include "fieldbus/tvtnet.h"

#include "fieldbus/vtnmessages.h"
#include "util/eygeneral.h"

#include <QVariant>

namespace OrvCtrl {

TVTNet::TVTNet(QObject* Owner) : QObject(Owner) {
    RunConstructor(Owner);
}

TVTNet::TVTNet(QObject* Owner, int ClsId, uint8_t SegId, uint8_t NodeId) : QObject(Owner) {
    RunConstructor(Owner);
    VtnClsId = ClsId;
    VtnSegId = SegId;
    VtnNodeId = NodeId;
}

TVTNet::TVTNet(QObject* Owner, int ClsId, uint8_t SegId, uint8_t NodeId, const TVTNet* Model)
    : QObject(Owner) {
    RunConstructor(Owner);
    CheckModelClass(Model, ClsId);
    CopyVtnFieldsFrom(*Model);
    VtnClsId = ClsId;
    VtnSegId = SegId;
    VtnNodeId = NodeId;
}

TVTNet::~TVTNet() {
    RunDestructor();
}

void TVTNet::RunConstructor(QObject* Owner) {
    Designing = Owner && Owner->property(DesigningProperty).toBool();
}

void TVTNet::RunDestructor() {}

void TVTNet::pw_VtnSegId(uint8_t Value) {
    VtnSegId = Value;
}
void TVTNet::pw_VtnNodeId(uint8_t Value) {
    VtnNodeId = Value;
}

uint8_t TVTNet::pr_PacketUnreachableInfo(int i) const {
    return (i >= 0 && i < 3) ? PacketUnreachableInfo[i] : 0;
}

void TVTNet::CheckModelClass(const TVTNet* Model, int ClsId) {
    if (!Model || Model->VtnClsId != ClsId)
        throw YVclUtil::EYGeneral("%s", VtnMsg::CopyClassDiffers);
}

void TVTNet::CopyVtnFieldsFrom(const TVTNet& Model) {
    VtnClsId = Model.VtnClsId;
    VtnSegId = Model.VtnSegId;
    VtnNodeId = Model.VtnNodeId;
    GotVtnProtocolVersion = Model.GotVtnProtocolVersion;
    GotVtnClsId = Model.GotVtnClsId;
    GotVtnCustomerId = Model.GotVtnCustomerId;
    for (int i = 0; i < 3; ++i)
        PacketUnreachableInfo[i] = Model.PacketUnreachableInfo[i];
    OnPacketUnreachable = Model.OnPacketUnreachable;
    OnSuccessfulReset = Model.OnSuccessfulReset;
    OnGotVtnProtocolVersion = Model.OnGotVtnProtocolVersion;
    OnGotVtnClsId = Model.OnGotVtnClsId;
    OnGotVtnCustomerId = Model.OnGotVtnCustomerId;
    OnUnfilteredRxdVtnPacket = Model.OnUnfilteredRxdVtnPacket;
}

void TVTNet::FilteringReceivedVtnPacket(const _SVTNRXDPACKET& Packet) {
    // A handled code ends at its event when the event is assigned; otherwise
    // the packet falls through to the unfiltered event.
    switch (Packet.Datas[0]) {
    case evpc_GotProtocolVersion:
        BeforeFireOnGotVtnProtocolVersionEvent(Packet);
        GotVtnProtocolVersion = Packet.Datas[1];
        if (OnGotVtnProtocolVersion) {
            OnGotVtnProtocolVersion(this);
            return;
        }
        break;
    case evpc_GotClsId:
        BeforeFireOnGotVtnClsIdEvent(Packet);
        GotVtnClsId = Packet.Datas[1];
        if (OnGotVtnClsId) {
            OnGotVtnClsId(this);
            return;
        }
        break;
    case evpc_GotCustomerId:
        BeforeFireOnGotVtnCustomerIdEvent(Packet);
        GotVtnCustomerId = Packet.Datas[1];
        if (OnGotVtnCustomerId) {
            OnGotVtnCustomerId(this);
            return;
        }
        break;
    case evpc_SuccessfulReset:
        BeforeFireOnSuccessfulResetEvent(Packet);
        if (OnSuccessfulReset) {
            OnSuccessfulReset(this);
            return;
        }
        break;
    case evpc_PacketUnreachable:
        BeforeFireOnPacketUnreachableEvent(Packet);
        for (int i = 0; i < 3; ++i)
            PacketUnreachableInfo[i] = Packet.Datas[1 + i];
        if (OnPacketUnreachable) {
            OnPacketUnreachable(this);
            return;
        }
        break;
    default:
        break;
    }
    BeforeFireOnUnfilteredRxdVtnPacketEvent(Packet);
    if (OnUnfilteredRxdVtnPacket) OnUnfilteredRxdVtnPacket(this, Packet);
}

void TVTNet::SendVtnPacket(const _SVTNTXDPACKET&) {}

void TVTNet::BeforeFireOnPacketUnreachableEvent(const _SVTNRXDPACKET&) {}
void TVTNet::BeforeFireOnSuccessfulResetEvent(const _SVTNRXDPACKET&) {}
void TVTNet::BeforeFireOnGotVtnProtocolVersionEvent(const _SVTNRXDPACKET&) {}
void TVTNet::BeforeFireOnGotVtnClsIdEvent(const _SVTNRXDPACKET&) {}
void TVTNet::BeforeFireOnGotVtnCustomerIdEvent(const _SVTNRXDPACKET&) {}
void TVTNet::BeforeFireOnUnfilteredRxdVtnPacketEvent(const _SVTNRXDPACKET&) {}

} // namespace OrvCtrl
