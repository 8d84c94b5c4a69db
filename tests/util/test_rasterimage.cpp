// The core's picture type: what the painter and the previews rely on.
#include "util/trasterimage.h"

#include <gtest/gtest.h>

#include <climits>

using YVclUtil::TRasterImage;

namespace {
constexpr uint32_t Black = 0xFF000000u, White = 0xFFFFFFFFu, Green = 0xFF00FF00u;
}

TEST(RasterImage, CopiesBlitsAndScalesWithinItsBounds) {
    TRasterImage p(3, 2, TRasterImage::TFormat::Rgb32, Black);
    p.SetPixel(2, 1, White);

    // A part is cut to the picture; a part wholly outside is null.
    const TRasterImage corner = p.Copied(1, 1, 5, 5);
    ASSERT_EQ(corner.Width(), 2);
    ASSERT_EQ(corner.Height(), 1);
    EXPECT_EQ(corner.Pixel(1, 0), White);
    EXPECT_EQ(p.Copied(-1, -1, 2, 2).Width(), 1);
    EXPECT_TRUE(p.Copied(3, 0, 1, 1).IsNull());
    EXPECT_TRUE(p.Copied(-5, 0, 5, 1).IsNull());

    // A blit writes as much as fits and nothing around it.
    TRasterImage canvas(4, 4, TRasterImage::TFormat::Rgb32, Green);
    canvas.Blit(p, 2, 3);
    canvas.Blit(p, 4, 0); // starts outside: nothing
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(canvas.Pixel(x, y), y == 3 && x >= 2 ? Black : Green) << x << "," << y;

    // Each pixel a square, whole.
    const TRasterImage big = p.Scaled(3);
    ASSERT_EQ(big.Width(), 9);
    ASSERT_EQ(big.Height(), 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(big.Pixel(x, y), x >= 6 && y >= 3 ? White : Black) << x << "," << y;
    EXPECT_EQ(p.Scaled(1), p);

    // Sides that are no size, or more pixels than memory could hold, give a
    // null picture rather than an exception.
    EXPECT_TRUE(TRasterImage(0, 5).IsNull());
    EXPECT_TRUE(TRasterImage(5, -1).IsNull());
    EXPECT_TRUE(TRasterImage(INT_MAX, INT_MAX).IsNull());
    EXPECT_TRUE(p.Scaled(INT_MAX / 2).IsNull());
    EXPECT_EQ(TRasterImage(INT_MAX, INT_MAX).Width(), 0);
}
