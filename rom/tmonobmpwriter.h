#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace DpuRom {

// Writes 1-bit Windows bitmap files: palette entry 0 black (a lit display
// pixel), entry 1 white; rows bottom-up as the format stores them. The
// picture conversion reads them back pixel for pixel.
class TMonoBmpWriter {
public:
    // The whole file image of a Width x Height picture whose lit pixels Lit
    // names. An empty picture gives an empty vector.
    static std::vector<uint8_t> Encode(int Width, int Height,
                                       const std::function<bool(int X, int Y)>& Lit);

    // Encode, written atomically to Path. False with the reason in Reason
    // (also for an empty picture); an existing file is then left as it was.
    static bool Save(const std::string& Path, int Width, int Height,
                     const std::function<bool(int X, int Y)>& Lit, std::string& Reason);
};

} // namespace DpuRom
