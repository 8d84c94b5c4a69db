#pragma once

#include "fieldbus/tvtnet_node.h"

namespace OrvCtrl {

// A bus module with four inputs and four outputs (bits 0..3 of its images).
// It reports input changes with code 0x81 and takes its outputs with 0x84;
// after a reset it did not ask for, it gets its outputs written again.
class TDpu4i4o : public TVTNet_Node {
    Q_OBJECT
public:
    // Class 0x80, segment 0x80, node 0, unbound.
    explicit TDpu4i4o(QObject* Owner);
    // Sets the ids, binds to Topologic and registers (how = bit 1); raises
    // EYGeneral as TVTNet_Node does.
    TDpu4i4o(QObject* Owner, int VtnClsId, uint8_t VtnSegId, uint8_t VtnNodeId,
             TVTNet_Topologic* Topologic);
    // Copy construction from Model (same class id, else EYGeneral): ids,
    // stored values, images and handlers, then as above.
    TDpu4i4o(QObject* Owner, int VtnClsId, uint8_t VtnSegId, uint8_t VtnNodeId,
             TVTNet_Topologic* Topologic, const TDpu4i4o* Model);
    ~TDpu4i4o() override;

    uint8_t pr_Yout() const { return Yout; }
    // Stores the image and sends it with code 0x84 (through BindTo).
    void pw_Yout(uint8_t Value);
    // Bit i (0..3) of the outputs; other i read false and write nothing.
    bool pr_BitOfY(int i) const;
    void pw_BitOfY(int i, bool Value);
    // The inputs last reported and those reported before; bit i (0..3), other
    // i read false.
    uint8_t pr_Xin() const { return Xin; }
    uint8_t pr_Old_Xin() const { return Old_Xin; }
    bool pr_BitOfX(int i) const;
    bool pr_Old_BitOfX(int i) const;

    void FilteringReceivedVtnPacket(const _SVTNRXDPACKET& Packet) override;

    TDpu4i4oInputChangedEvent OnInputChanged;

protected:
    void BeforeRunRequestToReset() override;
    void BeforeFireOnSuccessfulResetEvent(const _SVTNRXDPACKET& Packet) override;

    uint8_t Yout = 0;
    uint8_t Xin = 0;
    uint8_t Old_Xin = 0;

private:
    void RunConstructor();
    void RunDestructor();
};

} // namespace OrvCtrl
