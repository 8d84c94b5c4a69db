// Feeds arbitrary bytes to the picture reader. Whatever it accepts must decode
// the same way every time, with the colour decoding and the lit map agreeing
// pixel for pixel (lit exactly where red, green and blue are 0), and the
// stored one-bit rows it hands to the packer must say the same; whatever it
// refuses must come with a reason. Seeds: the BMP suite (corpus/bmpreader).
#include "util/tbmpreader.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using YVclUtil::TBmpReader;

namespace {

// Bigger pictures are only opened: decoding them is correct but slow enough
// to starve the rest of the run.
constexpr uint64_t DecodeLimit = uint64_t{1} << 20;

void Check(bool Condition) {
    if (!Condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TBmpReader reader;
    if (!reader.Open(Data, Size)) {
        Check(!reader.Reason().empty());
        return 0;
    }
    const int32_t w = reader.Width(), h = reader.Height();
    Check(w > 0 && h > 0 && w <= TBmpReader::MaxSide && h <= TBmpReader::MaxSide);
    if (static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > DecodeLimit) return 0;
    const size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h);

    std::vector<uint8_t> lit, again;
    std::vector<uint32_t> argb;
    const bool litOk = reader.DecodeLit(lit);
    const std::string litReason = reader.Reason();
    const bool argbOk = reader.DecodeArgb(argb);
    Check(litOk == argbOk);
    if (!litOk) {
        Check(!litReason.empty() && litReason == reader.Reason());
        Check(lit.empty() && argb.empty());
        return 0;
    }
    Check(lit.size() == pixels && argb.size() == pixels);
    for (size_t i = 0; i < pixels; ++i)
        Check(lit[i] == ((argb[i] & 0x00FFFFFFu) == 0));
    Check(reader.DecodeLit(again) && again == lit);

    TBmpReader::TMonoRows rows;
    if (reader.MonoRows(rows)) {
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* row = rows.Top + rows.Stride * y;
            for (int32_t x = 0; x < w; ++x) {
                const bool set = (row[x >> 3] >> (7 - (x & 7))) & 1;
                Check(
                    lit[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] ==
                    (set ? rows.LitWhenSet : rows.LitWhenClear));
            }
        }
    }
    return 0;
}
