#include "tcolumnpacker.h"

QByteArray TColumnPacker::Pack(const QImage& picture) {
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    const int bands = grey.height() / 8;
    QByteArray out;
    out.reserve(grey.width() * bands);
    for (int b = 0; b < bands; ++b) {
        for (int x = 0; x < grey.width(); ++x) {
            uchar byte = 0;
            for (int k = 0; k < 8; ++k) {
                if (grey.constScanLine(8 * b + k)[x] < 128) byte |= uchar(1u << k);
            }
            out.append(char(byte));
        }
    }
    return out;
}
