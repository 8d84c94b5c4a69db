#pragma once

// The converter's line protocol as pure functions: the command lines the PC
// sends, and the decoding of the lines the converter sends back. Kept apart
// from the port so the protocol can be driven byte for byte without one.

#include "fieldbus/vtntypes.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace OrvCtrl {

// What a received line turned out to be.
struct TVtnLine {
    enum TKind { lk_Ignored, lk_Register, lk_Packet };
    TKind Kind = lk_Ignored;
    char Register = 0;     // lk_Register: '0', '1', '3'..'9', 'E' or 'F'
    uint8_t Value = 0;     // lk_Register: the register's value
    uint32_t ReplyBit = 0; // lk_Register: the register's bit in the handshake mask
    _SVTNRXDPACKET Packet; // lk_Packet: the decoded packet, zero-padded
};

class TVTNetLineCodec {
public:
    // Bits of the nine registers the connect handshake asks for (R0, R1, R3..R9).
    static constexpr uint32_t HandshakeReplyMask = 0x3FB;

    // Command lines; each begins with a blank and ends with CR LF.
    static std::string HandshakeLine();
    static std::string WriteOutputsLine(uint8_t Yout);
    static std::string QueryYoutLine();
    static std::string QueryXinLine();
    static std::string WriteR8Line(uint8_t Value);
    static std::string WriteR9Line(uint8_t Value);
    static std::string QueryVtnFlagsLine();
    static std::string ResetLine();

    // '>' and the BytesOfDatas + 3 bytes of the packet as upper-case hex pairs,
    // then CR LF. The caller has checked BytesOfDatas.
    static std::string PacketLine(const _SVTNTXDPACKET& Packet);

    // Decodes one received line of Bytes bytes (NULs allowed). Anything that is
    // not a well-formed register reply or packet comes back as lk_Ignored;
    // never reads outside [Line, Line + Bytes).
    static TVtnLine ParseLine(const char* Line, size_t Bytes);

    // The bit of a register character in the handshake mask; 0 for a
    // character that names no register the converter reports.
    static uint32_t ReplyBitOf(char Register);
};

} // namespace OrvCtrl
