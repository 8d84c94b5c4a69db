#include "support/rasterhelpers.h"

#include <cstring>

YVclUtil::TRasterImage RasterOf(const QImage& Image) {
    if (Image.isNull()) return {};
    using TFormat = YVclUtil::TRasterImage::TFormat;
    const bool alpha = Image.hasAlphaChannel();
    const QImage words =
        Image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    YVclUtil::TRasterImage picture(words.width(), words.height(),
                                   alpha ? TFormat::Argb32 : TFormat::Rgb32);
    for (int y = 0; y < words.height(); ++y)
        std::memcpy(picture.Row(y), words.constScanLine(y),
                    static_cast<size_t>(words.width()) * sizeof(uint32_t));
    return picture;
}

QImage ImageOf(const YVclUtil::TRasterImage& Picture) {
    if (Picture.IsNull()) return {};
    QImage image(Picture.Width(), Picture.Height(),
                 Picture.HasAlpha() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < Picture.Height(); ++y)
        std::memcpy(image.scanLine(y), Picture.Row(y),
                    static_cast<size_t>(Picture.Width()) * sizeof(uint32_t));
    return image;
}
