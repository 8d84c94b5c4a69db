#include "fieldbus/tvtnetlinecodec.h"

#include "util/errmsgbox.h"
#include "util/eygeneral.h"

namespace OrvCtrl {

namespace {

int HexValue(char c, bool AllowLower) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (AllowLower && c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// '*', 'R', register, '=', two hex digits, then only the line end.
TVtnLine ParseRegisterReply(const char* Line, size_t Bytes) {
    TVtnLine out;
    if (Bytes < 6 || Line[1] != 'R' || Line[3] != '=') return out;
    // The value converts as hexadecimal (either case, as the C conversion
    // takes it) to exactly two characters.
    const int hi = HexValue(Line[4], true);
    const int lo = HexValue(Line[5], true);
    if (hi < 0 || lo < 0) return out;
    for (size_t i = 6; i < Bytes; ++i)
        if (!IsLineEnd(Line[i])) return out;
    const uint32_t bit = TVTNetLineCodec::ReplyBitOf(Line[2]);
    if (bit == 0) return out;
    out.Kind = TVtnLine::lk_Register;
    out.Register = Line[2];
    out.Value = static_cast<uint8_t>(hi << 4 | lo);
    out.ReplyBit = bit;
    return out;
}

// '@', upper-case hex pairs into a zeroed 20-byte buffer, ended by CR or LF.
TVtnLine ParsePacket(const char* Line, size_t Bytes) {
    TVtnLine out;
    uint8_t buffer[sizeof(_SVTNRXDPACKET)] = {};
    size_t count = 0;
    size_t i = 1;
    for (;;) {
        if (i >= Bytes) return out; // no line end
        const int hi = HexValue(Line[i], false);
        if (hi < 0) break;
        if (i + 1 >= Bytes) return out;
        const int lo = HexValue(Line[i + 1], false);
        if (lo < 0) return out;
        if (count >= sizeof buffer) return out; // more than 20 bytes
        buffer[count++] = static_cast<uint8_t>(hi << 4 | lo);
        i += 2;
    }
    if (!IsLineEnd(Line[i])) return out;
    if (count < 4 || count != static_cast<size_t>(buffer[2]) + 3) return out;
    out.Kind = TVtnLine::lk_Packet;
    out.Packet.VtnSegId = buffer[0];
    out.Packet.VtnNodeId = buffer[1];
    out.Packet.BytesOfDatas = buffer[2];
    for (size_t k = 3; k < sizeof buffer; ++k)
        out.Packet.Datas[k - 3] = buffer[k];
    return out;
}

} // namespace

uint32_t TVTNetLineCodec::ReplyBitOf(char Register) {
    switch (Register) {
    case '0':
        return 0x1;
    case '1':
        return 0x2;
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
        return 1u << (Register - '0');
    case 'E':
        return 0x4000;
    case 'F':
        return 0x8000;
    default:
        return 0;
    }
}

std::string TVTNetLineCodec::HandshakeLine() {
    return " \n ?R3\r\n ?R4\r\n ?R5\r\n ?R6\r\n ?R7\r\n ?R8\r\n ?R9\r\n ?R0\r\n ?R1\r\n";
}

std::string TVTNetLineCodec::WriteOutputsLine(uint8_t Yout) {
    return YVclUtil::Format(" +R0=%02X\r\n", Yout);
}

std::string TVTNetLineCodec::QueryYoutLine() {
    return " ?R0\r\n";
}
std::string TVTNetLineCodec::QueryXinLine() {
    return " ?R1\r\n";
}

std::string TVTNetLineCodec::WriteR8Line(uint8_t Value) {
    return YVclUtil::Format(" +R8=%02X\r\n ?R8\r\n", Value);
}

std::string TVTNetLineCodec::WriteR9Line(uint8_t Value) {
    return YVclUtil::Format(" +R9=%02X\r\n ?R9\r\n", Value);
}

std::string TVTNetLineCodec::QueryVtnFlagsLine() {
    return " ?RE\r\n";
}
std::string TVTNetLineCodec::ResetLine() {
    return " +RF=00\r\n";
}

std::string TVTNetLineCodec::PacketLine(const _SVTNTXDPACKET& Packet) {
    const size_t bytes = static_cast<size_t>(Packet.BytesOfDatas) + 3;
    std::string line(1 + 2 * bytes + 2, '\0');
    line[0] = '>';
    YVclUtil::BinToHexAscii(Packet.VtnSegId, &line[1]);
    YVclUtil::BinToHexAscii(Packet.VtnNodeId, &line[3]);
    YVclUtil::BinToHexAscii(Packet.BytesOfDatas, &line[5]);
    for (size_t k = 0; k < Packet.BytesOfDatas; ++k)
        YVclUtil::BinToHexAscii(Packet.Datas[k], &line[7 + 2 * k]);
    line[1 + 2 * bytes] = '\r';
    line[2 + 2 * bytes] = '\n';
    return line;
}

TVtnLine TVTNetLineCodec::ParseLine(const char* Line, size_t Bytes) {
    if (!Line || Bytes == 0) return {};
    switch (Line[0]) {
    case '*':
        return ParseRegisterReply(Line, Bytes);
    case '@':
        return ParsePacket(Line, Bytes);
    default:
        return {};
    }
}

} // namespace OrvCtrl
