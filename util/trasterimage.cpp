#include "util/trasterimage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace YVclUtil {

TRasterImage::TRasterImage(int Width, int Height, TFormat Format, uint32_t Fill) {
    if (Width <= 0 || Height <= 0) return;
    try {
        FPixels.assign(static_cast<size_t>(Width) * static_cast<size_t>(Height), Fill);
    } catch (const std::bad_alloc&) {
        // The callers bound their pictures and treat a null one as "cannot be
        // drawn"; running out of memory is one more such case.
        return;
    } catch (const std::length_error&) {
        return; // more pixels than a vector can count
    }
    FWidth = Width;
    FHeight = Height;
    FFormat = Format;
}

void TRasterImage::Fill(uint32_t Argb) {
    std::fill(FPixels.begin(), FPixels.end(), Argb);
}

TRasterImage TRasterImage::Copied(int X, int Y, int W, int H) const {
    const int left = std::max(X, 0), top = std::max(Y, 0);
    const int right = std::min(X + std::max(W, 0), FWidth);
    const int bottom = std::min(Y + std::max(H, 0), FHeight);
    if (IsNull() || right <= left || bottom <= top) return {};
    TRasterImage part(right - left, bottom - top, FFormat);
    if (part.IsNull()) return part;
    for (int y = top; y < bottom; ++y)
        std::memcpy(part.Row(y - top), Row(y) + left,
                    static_cast<size_t>(right - left) * sizeof(uint32_t));
    return part;
}

void TRasterImage::Blit(const TRasterImage& From, int X, int Y) {
    if (IsNull() || From.IsNull() || X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return;
    const int w = std::min(From.FWidth, FWidth - X);
    const int h = std::min(From.FHeight, FHeight - Y);
    for (int y = 0; y < h; ++y)
        std::memcpy(Row(Y + y) + X, From.Row(y), static_cast<size_t>(w) * sizeof(uint32_t));
}

TRasterImage TRasterImage::Scaled(int Factor) const {
    if (Factor <= 1 || IsNull()) return *this;
    const int64_t w = int64_t{FWidth} * Factor, h = int64_t{FHeight} * Factor;
    if (w > INT32_MAX || h > INT32_MAX) return {};
    TRasterImage out(static_cast<int>(w), static_cast<int>(h), FFormat);
    if (out.IsNull()) return out;
    for (int y = 0; y < FHeight; ++y) {
        uint32_t* first = out.Row(y * Factor);
        const uint32_t* from = Row(y);
        for (int x = 0; x < FWidth; ++x)
            std::fill_n(first + static_cast<size_t>(x) * static_cast<size_t>(Factor), Factor,
                        from[x]);
        // The square's other rows repeat its first.
        for (int k = 1; k < Factor; ++k)
            std::memcpy(out.Row(y * Factor + k), first, out.RowLength() * sizeof(uint32_t));
    }
    return out;
}

} // namespace YVclUtil
