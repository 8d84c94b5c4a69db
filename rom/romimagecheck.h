#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace DpuRom {

// Whether Size bytes at Data read as a display image before they are sent:
// the image reader's checks on size, the CRC table copy and the address
// tables. A 62400-byte file (an image without its last 64 floor bytes and
// the blocks after them, as the display takes it) is checked as far as it
// goes, read as the upload pads it. False with the first problem in words in
// Problem ("offset 0x20AD (CRC table copy): byte ..."); Problem is emptied on
// success.
bool CheckUploadImage(const uint8_t* Data, size_t Size, std::string& Problem);

} // namespace DpuRom
