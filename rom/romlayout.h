#pragma once

#include <cstddef>

namespace DpuRom {

// Offsets, sizes and counts of the display's 64512-byte ROM image: the one set
// of image constants (project-side counts are checked against these where
// both meet, in tmakerom.cpp). Addresses stored inside the image are
// big-endian 16-bit offsets into the image itself.
namespace RomLayout {

constexpr size_t ImageSize = 0xFC00;  // 64512
constexpr size_t UploadSize = 0xF400; // the part sent to the display
constexpr size_t EncodedSize = 256;   // bytes XOR-ed with Crc8Table when ENCODE is on

constexpr size_t CharBlock = 0x0000, CharBlockSize = 7168;
constexpr size_t LogoZone = 0x1C00, LogoZoneSize = 512;
constexpr size_t SmallGlyphZone = 0x1E00, SmallGlyphZoneSize = 512;
constexpr size_t Reserved0 = 0x2000, Reserved0Size = 168;
constexpr size_t CrcTable = 0x20A8;
constexpr size_t SettingsRecord = 0x21A8, SettingsRecordSize = 16;
constexpr size_t CodeTables = 0x21B8; // per table: 256 first bytes, 256 second bytes
constexpr size_t CodeTableCount = 3, CodeCount = 256;
constexpr size_t MessageTable = 0x27B8, MessageCount = 40;
// The message list holds the pictures of ten lift states in four slots (A..D),
// slot by slot in the order B, A, D, C, each slot by state; empty slots close up.
constexpr size_t MessageStateCount = 10, MessageSlotCount = 4;
constexpr int MessageSlotOrder[MessageSlotCount] = {1, 0, 3, 2};
constexpr size_t MessageZone = 0x2808, MessageZoneSize = 5120;
constexpr size_t DirTables = 0x3C08, DirStyleCount = 5, DirFrameCount = 12;
constexpr size_t DirZone = 0x3C80, DirZoneSize = 17280;
constexpr size_t GlyphTable = 0x8000, GlyphCount = 128;
constexpr size_t FloorStyleCount = 4;  // glyph groups 1..4
constexpr size_t SmallGlyphCount = 39; // glyph group 7, placed in SmallGlyphZone
constexpr size_t UserBitmapTable = 0x8100, UserBitmapMax = 128;
constexpr size_t ReservedTable1 = 0x8200, ReservedTable2 = 0x8300;
constexpr size_t FloorZone = 0x8400, FloorZoneSize = 28672;
constexpr size_t FloorGlyphLimit = 10240; // beyond this only a log line warns
constexpr size_t AuxBlock = 0xF400, AuxBlockSize = 1792;
constexpr size_t ScreenZone = 0xFB00, ScreenZoneSize = 256;

// Address of table t's first-byte array; its second-byte array follows 256 bytes on.
constexpr size_t CodeTableFirst(int t) {
    return CodeTables + 512 * static_cast<size_t>(t);
}
constexpr size_t CodeTableSecond(int t) {
    return CodeTableFirst(t) + 256;
}

static_assert(CodeTables + CodeTableCount * 2 * CodeCount == MessageTable);
static_assert(MessageTable + 2 * MessageCount == MessageZone);
static_assert(MessageStateCount * MessageSlotCount == MessageCount);
static_assert(DirTables + 2 * DirStyleCount * DirFrameCount == DirZone);
static_assert(ImageSize == 64512 && AuxBlock == UploadSize);

} // namespace RomLayout

} // namespace DpuRom
