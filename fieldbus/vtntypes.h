#pragma once

// Wire records and shared types of the VTNet field-bus components.

#include <cstdint>
#include <functional>

class QObject;

namespace OrvCtrl {

// Class id of a bus participant (0..0xA8). Only the values the library itself
// uses are named; any integer in the range may be stored.
enum _EVtnClsId : int {
    evci_Unknown = 0x00,
    evci_Dpu4i4o = 0x80,
    evci_Rnsm = 0xA0,
    evci_Last = 0xA8,
};

// Address space of the bus: segments 0x00..0x80, nodes 0x00..0x7F.
constexpr unsigned VtnMaxSegId = 0x80;
constexpr unsigned VtnMaxNodeId = 0x7F;
constexpr unsigned VtnSegSlots = VtnMaxSegId + 1;   // 129
constexpr unsigned VtnNodeSlots = VtnMaxNodeId + 1; // 128

// Packet codes (first data byte).
enum _EVtnPacketCode : uint8_t {
    evpc_QueryProtocolVersion = 3,
    evpc_QueryClsId = 4,
    evpc_QueryCustomerId = 5,
    evpc_RequestToReset = 15,
    evpc_GotProtocolVersion = 19,
    evpc_GotClsId = 20,
    evpc_GotCustomerId = 21,
    evpc_SuccessfulReset = 31,
    evpc_PacketUnreachable = 33,
    evpc_Dpu4i4oInputChanged = 0x81,
    evpc_Dpu4i4oWriteOutputs = 0x84,
};

// A packet to send: segment, node, number of data bytes (at least 1; the
// converter's R7 is the upper bound), the data (first byte = code).
struct _SVTNTXDPACKET {
    uint8_t VtnSegId = 0;
    uint8_t VtnNodeId = 0;
    uint8_t BytesOfDatas = 0;
    uint8_t Datas[255] = {};
};

// A received packet, held in a zeroed 20-byte buffer: at most 17 data bytes,
// and every byte past BytesOfDatas reads 0.
struct _SVTNRXDPACKET {
    uint8_t VtnSegId = 0;
    uint8_t VtnNodeId = 0;
    uint8_t BytesOfDatas = 0;
    uint8_t Datas[17] = {};
};
static_assert(sizeof(_SVTNRXDPACKET) == 20, "received packet buffer is 20 bytes");

class TVTNet;

// One node slot of a topology.
struct _SVTNTOPOLOGICNODE {
    uint32_t ClsId = 0;          // 0 = free
    TVTNet* Component = nullptr; // the component standing for the node
    uint32_t Flags = 0;          // see the vtf_ bits
};

// Bits of _SVTNTOPOLOGICNODE::Flags.
enum : uint32_t {
    vtf_RegisteredByLoaded = 0x00000001u,
    vtf_RegisteredByConstructor = 0x00000002u,
    vtf_CreatedByTopologic = 0x00000004u,
    vtf_DeclaredInIniFile = 0x80000000u,
};

// Plain notification: the sender only.
using TVtnNotifyEvent = std::function<void(QObject* Sender)>;
// A received packet that no more specific event took.
using TVtnRxdPacketEvent = std::function<void(QObject* Sender, const _SVTNRXDPACKET& Packet)>;
// The inputs of a four-input/four-output module changed.
using TDpu4i4oInputChangedEvent =
    std::function<void(QObject* Sender, uint8_t VtnSegId, uint8_t VtnNodeId)>;

} // namespace OrvCtrl
