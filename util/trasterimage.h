#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace YVclUtil {

// A picture in memory for the core, without a graphics toolkit: Width x
// Height pixels, row after row from the top, each one 32-bit 0xAARRGGBB word.
// That is the layout the window's toolkit calls RGB32 / ARGB32, so the window
// takes the rows over as they are. An Rgb32 picture has no alpha: its pixels
// carry 0xFF there and nothing reads it.
class TRasterImage {
public:
    enum class TFormat { Rgb32, Argb32 };

    // A null picture: no pixels, 0 x 0.
    TRasterImage() = default;
    // Width x Height pixels of Fill. A null picture, never an exception, when
    // a side is not positive or memory runs out; callers check IsNull().
    TRasterImage(int Width, int Height, TFormat Format = TFormat::Rgb32,
                 uint32_t Fill = 0xFF000000u);

    bool IsNull() const { return FPixels.empty(); }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    TFormat Format() const { return FFormat; }
    bool HasAlpha() const { return FFormat == TFormat::Argb32; }
    // The pixels' bytes: 4 a pixel, rows without gaps.
    size_t SizeInBytes() const { return FPixels.size() * sizeof(uint32_t); }

    // Row Y's Width() pixels; Y must lie inside a picture that is not null.
    uint32_t* Row(int Y) { return FPixels.data() + static_cast<size_t>(Y) * RowLength(); }
    const uint32_t* Row(int Y) const {
        return FPixels.data() + static_cast<size_t>(Y) * RowLength();
    }
    // The pixel at (X, Y), which must lie inside.
    uint32_t Pixel(int X, int Y) const { return Row(Y)[X]; }
    void SetPixel(int X, int Y, uint32_t Argb) { Row(Y)[X] = Argb; }
    void Fill(uint32_t Argb);

    // The W x H part whose top left is (X, Y), cut to the picture; a null
    // picture when none of it lies inside or memory runs out.
    TRasterImage Copied(int X, int Y, int W, int H) const;
    // Copies From's pixels as they are (alpha included) to (X, Y), as much as
    // fits; nothing when either picture is null or From starts outside.
    void Blit(const TRasterImage& From, int X, int Y);
    // Each pixel a Factor x Factor square (nearest neighbour); the picture
    // itself for a Factor of 1 or less; a null picture when memory runs out.
    TRasterImage Scaled(int Factor) const;

    bool operator==(const TRasterImage& Other) const = default;

private:
    size_t RowLength() const { return static_cast<size_t>(FWidth); }

    int FWidth = 0, FHeight = 0;
    TFormat FFormat = TFormat::Rgb32;
    std::vector<uint32_t> FPixels;
};

} // namespace YVclUtil
