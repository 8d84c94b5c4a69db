#include "tbmpwriter.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

void PutLe16(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void PutLe32(QByteArray& out, quint32 value) {
    for (int i = 0; i < 4; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

} // namespace

QByteArray TBmpWriter::Encode(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    const int w = grey.width();
    const int h = grey.height();
    const int rowBytes = ((w + 31) / 32) * 4;
    const quint32 dataOffset = 14 + 40 + 8;
    const quint32 dataSize = quint32(rowBytes) * quint32(h);

    QByteArray out;
    out.reserve(int(dataOffset + dataSize));
    // File header.
    out.append("BM", 2);
    PutLe32(out, dataOffset + dataSize);
    PutLe32(out, 0);
    PutLe32(out, dataOffset);
    // Information header; fixed resolution (72 dpi) so nothing varies between runs.
    PutLe32(out, 40);
    PutLe32(out, quint32(w));
    PutLe32(out, quint32(h));
    PutLe16(out, 1);
    PutLe16(out, 1);
    PutLe32(out, 0);
    PutLe32(out, dataSize);
    PutLe32(out, 2835);
    PutLe32(out, 2835);
    PutLe32(out, 2);
    PutLe32(out, 2);
    // Palette: entry 0 black, entry 1 white.
    out.append("\x00\x00\x00\x00", 4);
    out.append("\xFF\xFF\xFF\x00", 4);

    QByteArray row(rowBytes, '\0');
    for (int y = h - 1; y >= 0; --y) {
        row.fill('\0');
        const uchar* src = grey.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            if (src[x] >= 128) row[x / 8] = char(uchar(row[x / 8]) | (0x80 >> (x % 8)));
        }
        out.append(row);
    }
    return out;
}

bool TBmpWriter::Save(const QString& path, const QImage& image, QString* error) {
    const QByteArray bytes = Encode(image);
    if (bytes.isEmpty()) {
        if (error) *error = QStringLiteral("empty picture for %1").arg(path);
        return false;
    }
    return SaveBytes(path, bytes, error);
}

bool TBmpWriter::SaveBytes(const QString& path, const QByteArray& bytes, QString* error) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        if (error) *error = QStringLiteral("cannot create folder %1").arg(info.absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
