#pragma once

#include <cstddef>
#include <cstdint>

namespace YVclUtil {

// The Dallas/Maxim (1-Wire) CRC-8 table, reflected polynomial 0x8C. The device
// frames are checked with it, and the ROM image carries a copy, fills its empty
// areas from it and keys the encoding of its first 256 bytes with it.
extern const uint8_t Crc8Table[256];

// CRC-8 over Length bytes starting from Seed (0 for a fresh frame).
uint8_t Crc8(const uint8_t* Data, size_t Length, uint8_t Seed = 0);

} // namespace YVclUtil
