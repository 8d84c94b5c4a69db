#pragma once

#include "util/trasterimage.h"

#include <QImage>

#include <array>
#include <cstddef>

// Where the core's pictures (YVclUtil::TRasterImage) become the toolkit's:
// the window's one crossing between the two.
class TQtPicture {
public:
    // Picture as an RGB32 or ARGB32 image of the same pixels. A null image for
    // a null picture or when memory runs out.
    static QImage Image(const YVclUtil::TRasterImage& Picture);

    // Each of Pictures, as Image makes it.
    template <size_t N>
    static std::array<QImage, N> Images(const std::array<YVclUtil::TRasterImage, N>& Pictures) {
        std::array<QImage, N> images;
        for (size_t i = 0; i < N; ++i)
            images[i] = Image(Pictures[i]);
        return images;
    }
};
