#include "tbmpwriter.h"

#include "rom/tmonobmpwriter.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

QByteArray TBmpWriter::Encode(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    // The program's own 1-bit writer: black (lit) below half grey.
    const std::vector<uint8_t> bytes =
        DpuRom::TMonoBmpWriter::Encode(grey.width(), grey.height(), [&grey](int X, int Y) {
            return grey.constScanLine(Y)[X] < 128;
        });
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
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
