#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The one picture reader of the program: every Windows bitmap that reaches an
// image (the ROM build, the label preview, the picture boxes of the window)
// is decoded here, so a preview never shows a picture the build would refuse,
// and every pixel comes out the same on every run.
//
// What it reads: the 'BM' file header followed by a core (12-byte), info
// (40), V2/V3 (52/56), V4 (108) or V5 (124) header, or an OS/2 2.x header
// (16 to 64 bytes, any other size in that range); 1, 2, 4, 8, 16, 24 and 32
// bits a pixel; uncompressed, RLE8, RLE4, bit fields and alpha bit fields;
// rows stored bottom-up or top-down.
//
// What it refuses, with the reason in words in Reason():
// - a file cut short: fewer bytes than the file header says, a header, a
//   colour table or pixel rows that run past the end;
// - header fields that contradict each other or the file: an unknown header
//   size, planes other than 1, a width or height of 0 or a negative width, an
//   image-size field larger than the pixel data, a colour table overlapping
//   the pixels, a resolution beyond 1,000,000 pixels a metre (no device has
//   one; such a value only comes from a damaged header);
// - a picture larger than the caller's limits (TLimits: by default 4096
//   pixels a side and 1 Mi pixels in all), checked on the declared size
//   before any pixel is decoded, so a file of a few bytes that claims a huge
//   picture costs nothing; a side beyond 65535 pixels (the packed header holds
//   16 bits) is refused whatever the limits say;
// - a palette index at or past the end of the colour table;
// - bit masks that are empty (red, green or blue), not one contiguous run of
//   bits, overlapping, or wider than the pixel;
// - a run-length stream that is malformed: a run or an absolute block that
//   goes past the end of its row or below the last row, a delta that leaves
//   the picture, or a stream that ends without its end-of-bitmap mark;
// - run-length data stored top-down, bit depths other than those above
//   (64 bits included), JPEG or PNG inside a bitmap, OS/2 Huffman 1D and RLE24.
//
// Questionable cases, decided here:
// - A colour table longer than the depth allows is accepted; the entries past
//   2^bits are never used. A shorter one is accepted as long as no pixel uses
//   an index past it.
// - A core (12-byte) header's colour table holds as many 3-byte entries as fit
//   between the header and the pixel data, at most 2^bits.
// - Pixels a run-length delta or an early end-of-line / end-of-bitmap skips
//   are unlit: opaque white, whatever colour index 0 is. The display shows
//   nothing there, which is what the picture's author left them as.
// - The file-size field may be smaller than the file (OS/2 writers put the
//   header size there); only a larger one is refused.
// - The unused top bits of 16-bit and 32-bit pixels without bit fields, and an
//   alpha mask, play no part in whether a pixel is lit; the alpha mask only
//   sets the alpha of DecodeArgb's output (opaque without one).
// - A colour channel wider than 8 bits is scaled to 8 bits for DecodeArgb; a
//   channel that is not 0 never scales to 0, so "lit" (red = green = blue = 0)
//   is the same test on the stored value and on the decoded colour.

namespace YVclUtil {

// How large a picture a use accepts. The defaults are far beyond anything
// the display can show (its whole image holds some 516,000 pixels) and keep a
// decoded picture at a few MB (4 MB as colours).
struct TBmpLimits {
    int32_t Side = 4096;
    uint64_t Pixels = uint64_t{1} << 20;
};

class TBmpReader {
public:
    // No limit reaches past these: the packed header holds 16-bit sides.
    static constexpr int32_t MaxSide = 65535;
    static constexpr uint64_t MaxPixels = uint64_t{64} << 20;
    // The largest picture file read at all (ReadWholeFile's MaxBytes).
    static constexpr uint64_t MaxFileBytes = uint64_t{64} << 20;

    using TLimits = TBmpLimits;

    // Reads and checks the headers of the bitmap held in Data[0, Size); the
    // bytes must stay in place until decoding is done. False when the file is
    // not a bitmap this reader accepts or declares a picture beyond Limits
    // ("picture too large: 8192 x 8192 pixels (at most 4096 a side and
    // 1048576 in all)"), with the reason in Reason(); nothing is allocated
    // for the pixels before the size has passed.
    bool Open(const uint8_t* Data, size_t Size, const TLimits& Limits = TLimits());

    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    // True when the picture carries an alpha mask.
    bool HasAlpha() const { return FMasks[3] != 0; }
    const std::string& Reason() const { return FReason; }

    // Decodes every pixel as 0xAARRGGBB, Width() x Height(), top row first.
    // False (Argb emptied) when Open failed or the pixel data are refused; the
    // reason is in Reason().
    bool DecodeArgb(std::vector<uint32_t>& Argb);

    // Decodes the lit map: one byte per pixel, top row first, 1 exactly where
    // red = green = blue = 0. Same refusals as DecodeArgb.
    bool DecodeLit(std::vector<uint8_t>& Lit);

    // The stored rows of an uncompressed 1-bit picture whose colour table has
    // both entries, leftmost pixel in bit 7 of each byte, for packers that
    // work on whole bytes. Row y of the picture (top first) starts at
    // Top + y * Stride. False for any other picture.
    struct TMonoRows {
        const uint8_t* Top = nullptr;
        ptrdiff_t Stride = 0;
        bool LitWhenSet = false;
        bool LitWhenClear = false;
    };
    bool MonoRows(TMonoRows& Rows) const;

private:
    enum class TKind { Indexed, Rle8, Rle4, Direct };

    bool Fail(std::string Why);
    bool ReadMasks(const uint8_t* At, int Count);
    bool CheckMasks();
    template <class TSink> bool Decode(TSink& Sink);
    template <class TSink> bool DecodeRows(TSink& Sink);
    template <class TSink> bool DecodeRle(TSink& Sink);

    const uint8_t* FData = nullptr;
    size_t FSize = 0;
    bool FOpen = false;
    std::string FReason;
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    bool FTopDown = false;
    uint32_t FBits = 0;
    TKind FKind = TKind::Indexed;
    size_t FPixelsAt = 0;
    size_t FRowBytes = 0;
    // Colour table as 0xFFRRGGBB; FColours[256] is the unlit white of pixels
    // a run-length stream skips.
    std::array<uint32_t, 257> FColours{};
    uint32_t FColourCount = 0;
    // Red, green, blue, alpha.
    std::array<uint32_t, 4> FMasks{};
};

} // namespace YVclUtil
