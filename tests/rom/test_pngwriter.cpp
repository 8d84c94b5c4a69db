// PNG files of the core's pictures, read back by the toolkit's own PNG reader:
// every palette size, true colour with and without alpha, files of many
// compressed chunks.
#include "rom/tpngwriter.h"
#include "support/rasterhelpers.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using DpuRom::TPngWriter;
using YVclUtil::TRasterImage;

namespace {

// W x H pixels using Count colours (every one of them, when there are as many
// pixels), scattered; with Alpha, translucent ones among them.
TRasterImage Colours(int W, int H, uint32_t Count, bool Alpha) {
    TRasterImage p(W, H, Alpha ? TRasterImage::TFormat::Argb32 : TRasterImage::TFormat::Rgb32);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uint32_t k =
                (static_cast<uint32_t>(y) * static_cast<uint32_t>(W) + static_cast<uint32_t>(x)) %
                Count;
            const uint32_t rgb = (k * 2654435761u) & 0xFFFFFF;
            const uint32_t alpha = Alpha ? 1 + (k * 37) % 255 : 0xFF;
            p.SetPixel(x, y, alpha << 24 | rgb);
        }
    return p;
}

// Noise: as good as no two pixels alike, so it hardly compresses.
TRasterImage Noise(int W, int H) {
    TRasterImage p(W, H);
    uint32_t seed = 7;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            seed = seed * 1103515245u + 12345u;
            p.SetPixel(x, y, 0xFF000000u | (seed >> 8));
        }
    return p;
}

int Chunks(const std::vector<uint8_t>& Png, const std::string& Type) {
    int count = 0;
    for (size_t at = 8; at + 8 <= Png.size();) {
        const size_t length =
            static_cast<size_t>(Png[at]) << 24 | Png[at + 1] << 16 | Png[at + 2] << 8 | Png[at + 3];
        count += std::string(Png.begin() + static_cast<ptrdiff_t>(at) + 4,
                             Png.begin() + static_cast<ptrdiff_t>(at) + 8) == Type;
        at += 12 + length;
    }
    return count;
}

} // namespace

TEST(PngWriter, ReadsBackPixelForPixelAtTheFewestBits) {
    struct TCase {
        int W, H;
        uint32_t Count;
        bool Alpha;
        int Bits, Type; // IHDR: bit depth, colour type (3 palette, 2 RGB, 6 RGBA)
    };
    const TCase cases[] = {
        {1, 1, 1, false, 1, 3},     {13, 7, 2, false, 1, 3},   {67, 5, 3, false, 2, 3},
        {9, 9, 5, false, 4, 3},     {31, 3, 17, false, 8, 3},  {40, 40, 256, false, 8, 3},
        {40, 40, 257, false, 8, 2}, {21, 11, 6, true, 4, 3},   {50, 50, 400, true, 8, 6},
        {3, 1000, 3, false, 2, 3},  {1000, 2, 2, false, 1, 3},
    };
    for (const TCase& c : cases) {
        const std::string what = std::to_string(c.W) + "x" + std::to_string(c.H) + " of " +
                                 std::to_string(c.Count) + (c.Alpha ? " with alpha" : "");
        const TRasterImage picture = Colours(c.W, c.H, c.Count, c.Alpha);
        std::vector<uint8_t> png;
        std::string reason;
        ASSERT_TRUE(TPngWriter::Encode(picture, png, reason)) << what << ": " << reason;
        ASSERT_GT(png.size(), 33u) << what;
        EXPECT_EQ(png[24], c.Bits) << what;
        EXPECT_EQ(png[25], c.Type) << what;
        EXPECT_EQ(Chunks(png, "tRNS"), c.Alpha && c.Type == 3 ? 1 : 0) << what;
        QImage read;
        ASSERT_TRUE(read.loadFromData(png.data(), static_cast<int>(png.size()), "PNG")) << what;
        EXPECT_EQ(RasterOf(read), picture) << what;
    }
}

TEST(PngWriter, LargePicturesSpanManyChunksAndNullOnesAreRefused) {
    const TRasterImage noise = Noise(800, 700);
    std::vector<uint8_t> png;
    std::string reason;
    ASSERT_TRUE(TPngWriter::Encode(noise, png, reason)) << reason;
    EXPECT_GE(Chunks(png, "IDAT"), 2);
    EXPECT_EQ(Chunks(png, "IEND"), 1);
    QImage read;
    ASSERT_TRUE(read.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"));
    EXPECT_EQ(RasterOf(read), noise);

    EXPECT_FALSE(TPngWriter::Encode(TRasterImage(), png, reason));
    EXPECT_TRUE(png.empty());
    EXPECT_EQ(reason, "nothing to encode");
}
