#pragma once

#include "fieldbus/tdpu4i4o.h"
#include "fieldbus/tvtnet_topologic.h"

#include <QPointer>

namespace OrvCtrl {

// The bus master: a topology that delivers received packets to the node
// components and handles those of nodes without a component itself, with
// the events published under the OnUnhandled... names. Creates default
// TDpu4i4o components, copied from DefHandler_Dpu4i4o, for nodes the
// topology file declares and nobody registered.
class TVTNet_Rnsm : public TVTNet_Topologic {
    Q_OBJECT
public:
    // Class 0xA0, segment 0x80, node 0x80 (outside the node range: the master
    // has no slot of its own).
    explicit TVTNet_Rnsm(QObject* Owner);
    // Disconnects when connected.
    ~TVTNet_Rnsm() override;

    bool pr_Connected() const { return Connected; }
    // Clears Connected; the converter link also closes its port.
    virtual void Disconnect();

    TDpu4i4o* pr_DefHandler_Dpu4i4o() const { return DefHandler_Dpu4i4o.data(); }
    void pw_DefHandler_Dpu4i4o(TDpu4i4o* Value) { DefHandler_Dpu4i4o = Value; }

    // The TDpu4i4o at that address. Raises EYGeneral "not belong to the
    // topologic" for an address outside the bus or an unallocated segment,
    // "not a TDpu4i4o component" for a slot of another class.
    TDpu4i4o* pr_Dpu4i4o(unsigned VtnSegId, unsigned VtnNodeId) const;

    // Drops packets from outside the bus, hands those of a registered node to
    // its component, handles the rest with the TVTNet events.
    void FilteringReceivedVtnPacket(const _SVTNRXDPACKET& Packet) override;

    // For class 0x80 with a model set: a copy of the model owned by this
    // master, bound to and registered in Topologic. Null otherwise.
    TVTNet* CreateDefaultVtnComponentAndAddToVtnTopologic(int VtnClsId, uint8_t VtnSegId,
                                                          uint8_t VtnNodeId,
                                                          TVTNet_Topologic* Topologic) override;

    // The TVTNet events under the master's names (the same handlers).
    TVtnNotifyEvent& OnUnhandledPacketUnreachable = OnPacketUnreachable;
    TVtnNotifyEvent& OnUnhandledSuccessfulReset = OnSuccessfulReset;
    TVtnNotifyEvent& OnUnhandledGotVtnProtocolVersion = OnGotVtnProtocolVersion;
    TVtnNotifyEvent& OnUnhandledGotVtnClsId = OnGotVtnClsId;
    TVtnNotifyEvent& OnUnhandledGotVtnCustomerId = OnGotVtnCustomerId;
    TVtnRxdPacketEvent& OnUnhandledRxdVtnPacket = OnUnfilteredRxdVtnPacket;

protected:
    bool Connected = false;
    QPointer<TDpu4i4o> DefHandler_Dpu4i4o;

private:
    void RunConstructor();
    void RunDestructor();
};

} // namespace OrvCtrl
