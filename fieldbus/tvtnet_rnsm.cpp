#include "fieldbus/tvtnet_rnsm.h"

#include "fieldbus/vtnmessages.h"
#include "util/eygeneral.h"

namespace OrvCtrl {

TVTNet_Rnsm::TVTNet_Rnsm(QObject* Owner) : TVTNet_Topologic(Owner) {
    RunConstructor();
}

TVTNet_Rnsm::~TVTNet_Rnsm() {
    RunDestructor();
}

void TVTNet_Rnsm::RunConstructor() {
    VtnClsId = evci_Rnsm;
    VtnSegId = 0x80;
    VtnNodeId = 0x80;
}

void TVTNet_Rnsm::RunDestructor() {
    if (Connected) TVTNet_Rnsm::Disconnect();
}

void TVTNet_Rnsm::Disconnect() {
    Connected = false;
}

TDpu4i4o* TVTNet_Rnsm::pr_Dpu4i4o(unsigned SegId, unsigned NodeId) const {
    const _SVTNTOPOLOGICNODE* entry = FindNode(SegId, NodeId);
    if (!entry) throw YVclUtil::EYGeneral("%s", VtnMsg::AddressNotInTopologic);
    TDpu4i4o* module =
        entry->ClsId == evci_Dpu4i4o ? qobject_cast<TDpu4i4o*>(entry->Component) : nullptr;
    if (!module) throw YVclUtil::EYGeneral("%s", VtnMsg::NotADpu4i4o);
    return module;
}

void TVTNet_Rnsm::FilteringReceivedVtnPacket(const _SVTNRXDPACKET& Packet) {
    if (Packet.VtnSegId > VtnMaxSegId || Packet.VtnNodeId > VtnMaxNodeId) return;
    const _SVTNTOPOLOGICNODE* entry = FindNode(Packet.VtnSegId, Packet.VtnNodeId);
    if (entry && entry->ClsId != 0 && entry->Component) {
        entry->Component->FilteringReceivedVtnPacket(Packet);
        return;
    }
    TVTNet::FilteringReceivedVtnPacket(Packet);
}

TVTNet* TVTNet_Rnsm::CreateDefaultVtnComponentAndAddToVtnTopologic(int ClsId, uint8_t SegId,
                                                                   uint8_t NodeId,
                                                                   TVTNet_Topologic* Topologic) {
    if (ClsId != evci_Dpu4i4o || !DefHandler_Dpu4i4o) return nullptr;
    return new TDpu4i4o(this, ClsId, SegId, NodeId, Topologic, DefHandler_Dpu4i4o.data());
}

} // namespace OrvCtrl
