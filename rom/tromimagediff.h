#pragma once

#include "rom/tromimage.h"
#include "util/trasterimage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace DpuRom {

// The differences between two read images, by meaning: settings by key,
// codes by what they show, pictures by zone and item. Never fails.
class TRomImageDiff {
public:
    struct TDifference {
        std::string Text;              // "CTBL1 code 12 (0C): 12 → 12A"
        std::string Slug;              // file-name stem for its picture: "CTBL1-012"
        YVclUtil::TRasterImage Before; // what changed, drawn; null when it is not a picture
        YVclUtil::TRasterImage After;
    };

    // A and B as read; RawA and RawB their bytes, to catch changes in bytes no
    // item covers (the reserved bytes, the filler).
    static std::vector<TDifference> Compare(const TRomImage& A, const TRomImage& B,
                                            const std::vector<uint8_t>& RawA,
                                            const std::vector<uint8_t>& RawB);
};

} // namespace DpuRom
