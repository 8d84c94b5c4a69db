#include "app/tqtpicture.h"

#include <cstring>

QImage TQtPicture::Image(const YVclUtil::TRasterImage& Picture) {
    if (Picture.IsNull()) return {};
    // Both store a pixel as one 0xAARRGGBB word, so rows copy as they are.
    QImage image(Picture.Width(), Picture.Height(),
                 Picture.HasAlpha() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) return image;
    const size_t rowBytes = static_cast<size_t>(Picture.Width()) * sizeof(uint32_t);
    for (int y = 0; y < Picture.Height(); ++y)
        std::memcpy(image.scanLine(y), Picture.Row(y), rowBytes);
    return image;
}
