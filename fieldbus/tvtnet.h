#pragma once

#include "fieldbus/vtntypes.h"

#include <QObject>

#include <cstdint>

namespace OrvCtrl {

// A participant of the VTNet field bus: class id, segment, node, the values of
// its last replies, and the packet events. Owned by its owner QObject.
//
// Design state: a component whose owner carries the dynamic property
// "csDesigning" = true is being edited in a form designer; node components
// then swallow their registration errors instead of raising them.
class TVTNet : public QObject {
    Q_OBJECT
public:
    static constexpr const char* DesigningProperty = "csDesigning";

    // Class 0, segment 0x80, node 0.
    explicit TVTNet(QObject* Owner);
    // The three ids as given.
    TVTNet(QObject* Owner, int VtnClsId, uint8_t VtnSegId, uint8_t VtnNodeId);
    // Copy construction: Model must have class VtnClsId (else EYGeneral, the
    // "classes differ" message); its ids, stored reply values and event
    // handlers are copied, then the given ids are set.
    TVTNet(QObject* Owner, int VtnClsId, uint8_t VtnSegId, uint8_t VtnNodeId, const TVTNet* Model);
    ~TVTNet() override;

    int pr_VtnClsId() const { return VtnClsId; }
    void pw_VtnClsId(int Value) { VtnClsId = Value; }
    uint8_t pr_VtnSegId() const { return VtnSegId; }
    uint8_t pr_VtnNodeId() const { return VtnNodeId; }
    // Node components check the range and raise EYGeneral; here a plain store.
    virtual void pw_VtnSegId(uint8_t Value);
    virtual void pw_VtnNodeId(uint8_t Value);

    // Data byte 1 of the last reply of code 19, 20, 21; data bytes 1..3 of
    // the last reply of code 33 (i = 0..2, other i give 0).
    uint8_t pr_GotVtnProtocolVersion() const { return GotVtnProtocolVersion; }
    uint8_t pr_GotVtnClsId() const { return GotVtnClsId; }
    uint8_t pr_GotVtnCustomerId() const { return GotVtnCustomerId; }
    uint8_t pr_PacketUnreachableInfo(int i) const;

    bool pr_Designing() const { return Designing; }
    void pw_Designing(bool Value) { Designing = Value; }

    // Routes one received packet to the stored values, hooks and events.
    virtual void FilteringReceivedVtnPacket(const _SVTNRXDPACKET& Packet);
    // Sends one packet; nothing here, the node and master classes deliver it.
    // May raise (the converter link raises on a bad byte count or when not
    // connected).
    virtual void SendVtnPacket(const _SVTNTXDPACKET& Packet);

    TVtnNotifyEvent OnPacketUnreachable;
    TVtnNotifyEvent OnSuccessfulReset;
    TVtnNotifyEvent OnGotVtnProtocolVersion;
    TVtnNotifyEvent OnGotVtnClsId;
    TVtnNotifyEvent OnGotVtnCustomerId;
    TVtnRxdPacketEvent OnUnfilteredRxdVtnPacket;

protected:
    // Run before the matching event; do nothing here.
    virtual void BeforeFireOnPacketUnreachableEvent(const _SVTNRXDPACKET& Packet);
    virtual void BeforeFireOnSuccessfulResetEvent(const _SVTNRXDPACKET& Packet);
    virtual void BeforeFireOnGotVtnProtocolVersionEvent(const _SVTNRXDPACKET& Packet);
    virtual void BeforeFireOnGotVtnClsIdEvent(const _SVTNRXDPACKET& Packet);
    virtual void BeforeFireOnGotVtnCustomerIdEvent(const _SVTNRXDPACKET& Packet);
    virtual void BeforeFireOnUnfilteredRxdVtnPacketEvent(const _SVTNRXDPACKET& Packet);

    // Raises the "classes differ" EYGeneral unless Model exists and has class
    // VtnClsId.
    static void CheckModelClass(const TVTNet* Model, int VtnClsId);
    // Copies the TVTNet-level fields of Model (ids, stored values, handlers).
    void CopyVtnFieldsFrom(const TVTNet& Model);

    int VtnClsId = evci_Unknown;
    uint8_t VtnSegId = 0x80;
    uint8_t VtnNodeId = 0;
    uint8_t GotVtnProtocolVersion = 0;
    uint8_t GotVtnClsId = 0;
    uint8_t GotVtnCustomerId = 0;
    uint8_t PacketUnreachableInfo[3] = {};
    bool Designing = false;

private:
    void RunConstructor(QObject* Owner);
    void RunDestructor();
};

} // namespace OrvCtrl
