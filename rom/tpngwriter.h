#pragma once

#include "util/trasterimage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace DpuRom {

// PNG files of the core's pictures, on zlib alone, the same code on every
// system. A picture of at most 256 colours is written with a palette at the
// fewest bits a pixel that hold them (the drawn images have two or three, so
// a file is a sixteenth of its pixels' size before compression); any other
// as 8-bit RGB, or RGBA when it has an alpha channel that is not opaque
// everywhere. Rows are stored unfiltered, compressed at zlib's default level.
class TPngWriter {
public:
    // Encodes Picture into Png (replaced). False with Png empty and the reason
    // in Reason ("nothing to encode" for a null picture, "out of memory",
    // zlib's words) when it cannot.
    static bool Encode(const YVclUtil::TRasterImage& Picture, std::vector<uint8_t>& Png,
                       std::string& Reason);
};

} // namespace DpuRom
