#pragma once

#include "fieldbus/tvtnet_topologic.h"

#include <QPointer>

namespace OrvCtrl {

// A node of the bus: bound to a topology (BindTo), through which it sends its
// packets and in which it registers, either when built with a topology or
// when it finishes loading with BindTo, VtnSegId and VtnNodeId all set.
//
// A registration failure raises YVclUtil::EYGeneral, except in design state
// (see TVTNet), where it is swallowed. A node unregisters itself when it is
// destroyed or bound elsewhere, so the topology never routes to a dead one.
class TVTNet_Node : public TVTNet {
    Q_OBJECT
public:
    // Bits of pr_PropertySetBits(): which of the three have been set.
    enum : uint8_t { psb_BindTo = 0x1, psb_VtnSegId = 0x2, psb_VtnNodeId = 0x4 };

    // Class 0, segment 0x80, node 0, unbound.
    explicit TVTNet_Node(QObject* Owner);
    // Sets the ids, binds to Topologic and registers there (how = bit 1).
    // Raises EYGeneral for ids out of range or a failed registration.
    TVTNet_Node(QObject* Owner, int VtnClsId, uint8_t VtnSegId, uint8_t VtnNodeId,
                TVTNet_Topologic* Topologic);
    // Copy construction from Model (same class id, else EYGeneral), then as above.
    TVTNet_Node(QObject* Owner, int VtnClsId, uint8_t VtnSegId, uint8_t VtnNodeId,
                TVTNet_Topologic* Topologic, const TVTNet_Node* Model);
    ~TVTNet_Node() override;

    TVTNet_Topologic* pr_BindTo() const { return BindTo.data(); }
    // Binds to another topology (unregistering from the old one).
    void pw_BindTo(TVTNet_Topologic* Value);
    // Raise EYGeneral "Invalid value, ..." above 0x80 (segment) or 0x7F (node).
    void pw_VtnSegId(uint8_t Value) override;
    void pw_VtnNodeId(uint8_t Value) override;
    uint8_t pr_PropertySetBits() const { return PropertySetBits; }

    // Called when streaming has set the properties: registers in BindTo
    // (how = bit 0) when BindTo, VtnSegId and VtnNodeId were all set.
    virtual void Loaded();

    // Hands the packet to BindTo; nothing when unbound.
    void SendVtnPacket(const _SVTNTXDPACKET& Packet) override;
    // BeforeRunRequestToReset, then code 15.
    void RequestToReset();
    // Codes 3, 4, 5.
    void QueryVtnProtocolVersion();
    void QueryVtnClsId();
    void QueryVtnCustomerId();

protected:
    virtual void BeforeRunRequestToReset();
    // Sends a packet of this node's address carrying Bytes data bytes.
    void SendCode(const uint8_t* Datas, uint8_t Bytes);
    // Registers in BindTo with How; swallows the error in design state.
    void Register(uint32_t How);
    void CopyNodeFieldsFrom(const TVTNet_Node& Model);

    QPointer<TVTNet_Topologic> BindTo;
    uint8_t PropertySetBits = 0;

private:
    void RunConstructor();
    void RunDestructor();
    void BindAndRegister(uint8_t VtnSegId, uint8_t VtnNodeId, TVTNet_Topologic* Topologic);
};

} // namespace OrvCtrl
