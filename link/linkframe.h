#pragma once

#include "util/tdatetime.h"

#include <cstddef>
#include <cstdint>

namespace DpuLink {

// Reply bytes of the display.
constexpr uint8_t kReplyReady = 0x43; // "C": send the first frame
constexpr uint8_t kReplyAck = 0x06;   // frame accepted, send the next
constexpr uint8_t kReplyNak = 0x15;   // frame rejected, send it again

// Frame commands.
constexpr uint8_t kCmdDateTime = 0x01;
constexpr uint8_t kCmdRomBlock = 0x03;

constexpr size_t kFrameSize = 68;
constexpr size_t kFrameDataSize = 64;

// Two decimal digits per byte, tens in the high nibble: BcdTable[v] for v 0..99.
extern const uint8_t BcdTable[100];

// The single 68-byte device frame: command, two index bytes, 64 data bytes and
// the CRC-8 of the first 67.
struct TLinkFrame {
    uint8_t Bytes[kFrameSize] = {};

    // Fills the frame for 1-based block BlockNo of Image (page (n-1)/8, block
    // (n-1)%8, data from offset (n-1)*64) and returns its CRC. Image must hold
    // at least BlockNo*64 bytes; BlockNo must be 1..2048.
    uint8_t BuildRomBlock(const uint8_t* Image, unsigned BlockNo);

    // Fills the date-time frame from Time (year within the century, month,
    // day, weekday Monday 1..Sunday 7, hour, minute, second; BCD except the
    // weekday; bytes 10..66 zero) and returns its CRC.
    uint8_t BuildDateTime(const YVclUtil::TDateTime& Time);

    uint8_t Crc() const { return Bytes[kFrameSize - 1]; }
};

// Weekday as the display counts it: Monday 1 .. Sunday 7.
int DisplayWeekday(const YVclUtil::TDateTime& Time);

} // namespace DpuLink
