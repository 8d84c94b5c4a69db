#pragma once

#include "util/trasterimage.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace DpuProject {

// A picture for the window, decoded by the same strict reader the ROM build
// uses (YVclUtil::TBmpReader), so a preview never shows a picture the build
// would refuse.
class TPictureImage {
public:
    // Reads the regular file at FileName (at most TBmpReader::MaxFileBytes)
    // and decodes it with the reader's default limits. False with Picture
    // untouched and the reason (the system's or the reader's words, without
    // the file name; "out of memory" when memory ran out) in Reason.
    static bool Load(const std::string& FileName, YVclUtil::TRasterImage& Picture,
                     std::string& Reason);
    // The same for a picture held in memory.
    static bool Decode(const uint8_t* Data, size_t Size, YVclUtil::TRasterImage& Picture,
                       std::string& Reason);
};

} // namespace DpuProject
