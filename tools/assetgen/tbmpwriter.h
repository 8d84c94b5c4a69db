#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Writes pictures as 1-bit Windows bitmap files through the program's one
// 1-bit writer (rom/tmonobmpwriter.h), byte for byte the same on every run: a
// pixel is black (palette entry 0, lit on the display) when its grey value is
// below 128, every other pixel is white (palette entry 1).
class TBmpWriter {
public:
    // The complete file image of `image` as a bottom-up 1-bit bitmap. An empty
    // image gives an empty array.
    static QByteArray Encode(const QImage& image);

    // Writes Encode(image) to `path` through a temporary file in the same folder
    // and a rename. Returns false on failure with the reason in *error (if given).
    static bool Save(const QString& path, const QImage& image, QString* error = nullptr);

    // Writes `bytes` to `path` atomically (temporary file, then rename). Returns
    // false on failure with the reason in *error (if given).
    static bool SaveBytes(const QString& path, const QByteArray& bytes, QString* error = nullptr);
};
