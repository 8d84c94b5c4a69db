#pragma once

#include <string>

namespace DpuProject {

// The six-character bit patterns of codes 0..63 shown in the grid's first
// column, most significant bit first: the plain binary table and the table of
// the "ORV-GRY" version (bit 5 kept, bits 4..0 reflected Gray code of the low
// five bits, so 32 -> "100000", 48 -> "111000", 63 -> "110000").
class TBitPatternTables {
public:
    // Entry Code (0..63) of the plain or the Gray table; empty out of range.
    static const std::string& Plain(int Code);
    static const std::string& Gray(int Code);
    // Gray when Version is exactly "ORV-GRY", plain otherwise.
    static const std::string& ForVersion(const std::string& Version, int Code);
    static constexpr const char* GrayVersionName = "ORV-GRY";
};

} // namespace DpuProject
