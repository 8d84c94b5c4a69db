#pragma once

#include <QByteArray>
#include <QImage>

// The display's packed column format without the size header: bands of eight
// rows from the top, one byte per column from the left, bit 0 = top row of the
// band, a bit set where the pixel is black.
class TColumnPacker {
public:
    // Pixel bytes of `picture`: width * (height / 8) bytes (rows below the last
    // whole band are not encoded).
    static QByteArray Pack(const QImage& picture);
};
