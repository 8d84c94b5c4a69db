#pragma once

#include <cstddef>

// Offsets and sizes of the display's 64512-byte ROM image. Addresses stored
// inside the image are big-endian 16-bit offsets into the image itself.
namespace RomLayout {

constexpr size_t ImageSize = 0xFC00;         // 64512
constexpr size_t UploadSize = 0xF400;        // the part sent to the display
constexpr size_t EncodedSize = 256;          // bytes XOR-ed with Crc8Table when ENCODE is on

constexpr size_t CharBlock = 0x0000, CharBlockSize = 7168;
constexpr size_t LogoZone = 0x1C00, LogoZoneSize = 512;
constexpr size_t SmallGlyphZone = 0x1E00, SmallGlyphZoneSize = 512;
constexpr size_t Reserved0 = 0x2000, Reserved0Size = 168;
constexpr size_t CrcTable = 0x20A8;
constexpr size_t SettingsRecord = 0x21A8, SettingsRecordSize = 16;
constexpr size_t CodeTables = 0x21B8;        // per table: 256 first bytes, 256 second bytes
constexpr size_t MessageTable = 0x27B8, MessageCount = 40;
constexpr size_t MessageZone = 0x2808, MessageZoneSize = 5120;
constexpr size_t DirTables = 0x3C08, DirStyleCount = 5, DirFrameCount = 12;
constexpr size_t DirZone = 0x3C80, DirZoneSize = 17280;
constexpr size_t GlyphTable = 0x8000, GlyphCount = 128;
constexpr size_t UserBitmapTable = 0x8100, UserBitmapMax = 128;
constexpr size_t ReservedTable1 = 0x8200, ReservedTable2 = 0x8300;
constexpr size_t FloorZone = 0x8400, FloorZoneSize = 28672;
constexpr size_t FloorGlyphLimit = 10240;   // beyond this only a log line warns
constexpr size_t AuxBlock = 0xF400, AuxBlockSize = 1792;
constexpr size_t ScreenZone = 0xFB00, ScreenZoneSize = 256;

// Address of table t's first-byte array; its second-byte array follows 256 bytes on.
constexpr size_t CodeTableFirst(int t) { return CodeTables + 512 * static_cast<size_t>(t); }
constexpr size_t CodeTableSecond(int t) { return CodeTableFirst(t) + 256; }

} // namespace RomLayout
