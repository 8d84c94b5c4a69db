#include "rom/bitmapconversion.h"

#include "rom/erombuild.h"
#include "project/dputext.h"
#include "rom/filehelpers.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QString>

namespace {

// No picture of the display comes near this; a bigger file is refused before
// it is read whole.
constexpr size_t MaxPictureFileSize = 64u << 20;

inline bool Lit(QRgb pixel) { return (pixel & 0x00FFFFFFu) == 0; }

// Lit-ness of each palette index, filled the way the picture converter fills a
// short or missing colour table: a 1-bit picture without one is black and
// white, an 8-bit one grey levels, and indexes past a short table are black.
void PaletteLit(const QImage& Picture, uint8_t (&Table)[256]) {
    const QList<QRgb> colours = Picture.colorTable();
    const bool mono = Picture.depth() == 1;
    for (int i = 0; i < 256; ++i) {
        if (i < colours.size())
            Table[i] = Lit(colours[i]);
        else if (mono && colours.size() < 2)
            Table[i] = i == 0 && colours.empty() ? 1 : 0;
        else
            Table[i] = colours.empty() ? (i == 0) : 1;
    }
}

// One byte per pixel, row after row: 1 where red, green and blue are all 0.
// Palette pictures are looked up by index, direct-colour ones read as QRgb
// words; other layouts (16-bit, 24-bit, ...) are converted first.
std::vector<uint8_t> LitPixels(const QImage& Picture, const std::string& name) {
    const int w = Picture.width();
    const int h = Picture.height();
    std::vector<uint8_t> lit(static_cast<size_t>(w) * static_cast<size_t>(h));
    uint8_t* out = lit.data();
    const QImage::Format format = Picture.format();
    if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB || format == QImage::Format_Indexed8) {
        uint8_t table[256];
        PaletteLit(Picture, table);
        for (int y = 0; y < h; ++y, out += w) {
            const uchar* row = Picture.constScanLine(y);
            if (format == QImage::Format_Indexed8)
                for (int x = 0; x < w; ++x)
                    out[x] = table[row[x]];
            else if (format == QImage::Format_Mono)
                for (int x = 0; x < w; ++x)
                    out[x] = table[(row[x >> 3] >> (7 - (x & 7))) & 1];
            else
                for (int x = 0; x < w; ++x)
                    out[x] = table[(row[x >> 3] >> (x & 7)) & 1];
        }
        return lit;
    }
    QImage words = Picture;
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        words = Picture.convertToFormat(QImage::Format_ARGB32);
    if (words.isNull())
        throw ERomBuild("Error", "Cannot convert picture \"" + name + "\": out of memory");
    for (int y = 0; y < h; ++y, out += w) {
        const QRgb* row = reinterpret_cast<const QRgb*>(words.constScanLine(y));
        for (int x = 0; x < w; ++x)
            out[x] = Lit(row[x]);
    }
    return lit;
}

void CheckSize(int w, int h, const std::string& name) {
    if (w > 0xFFFF || h > 0xFFFF)
        throw ERomBuild("Error", "Picture too large (" + std::to_string(w) + " x " + std::to_string(h) +
                                     "): " + name);
}

std::vector<uint8_t> NewPacked(unsigned w, unsigned h) {
    const uint64_t bytes = static_cast<uint64_t>(w) * h / 8;
    std::vector<uint8_t> out(4 + bytes, 0);
    out[0] = static_cast<uint8_t>(w & 0xFF);
    out[1] = static_cast<uint8_t>(w >> 8);
    out[2] = static_cast<uint8_t>(h & 0xFF);
    out[3] = static_cast<uint8_t>(h >> 8);
    return out;
}

std::string LoaderMessage(const QImageReader& reader, const std::string& name) {
    std::string reason = reader.errorString().toStdString();
    if (reason.empty())
        reason = "not a picture";
    return "Cannot load picture \"" + name + "\": " + reason;
}

QImage Read(QImageReader& reader, const std::string& name) {
    // Orientation tags and gamma handling are not part of the packed format.
    reader.setAutoTransform(false);
    QImage picture;
    if (!reader.read(&picture) || picture.isNull())
        throw ERomBuild("Error", LoaderMessage(reader, name));
    return picture;
}

void WritePacked(const std::vector<uint8_t>& packed, const std::string& target) {
    std::string error;
    if (!WriteFileAtomically(target, packed.data(), packed.size(), error))
        throw ERomBuild("File error", "Cannot write \"" + target + "\": " + error);
}

} // namespace

std::vector<uint8_t> PackImage(const QImage& Picture, const std::string& Name) {
    const int w = Picture.width();
    const int h = Picture.height();
    CheckSize(w, h, Name);
    std::vector<uint8_t> out = NewPacked(static_cast<unsigned>(w), static_cast<unsigned>(h));
    if (w == 0 || h < 8)
        return out;
    const std::vector<uint8_t> lit = LitPixels(Picture, Name);
    const size_t stride = static_cast<size_t>(w);
    uint8_t* band = out.data() + 4;
    for (int b = 0; b < h / 8; ++b, band += w) {
        const uint8_t* rows = lit.data() + 8 * static_cast<size_t>(b) * stride;
        for (int k = 0; k < 8; ++k) {
            const uint8_t* row = rows + static_cast<size_t>(k) * stride;
            for (int x = 0; x < w; ++x)
                band[x] |= static_cast<uint8_t>(row[x] << k);
        }
    }
    return out;
}

std::vector<uint8_t> PackImageRotated(const QImage& Picture, const std::string& Name) {
    const int ws = Picture.width();
    const int hs = Picture.height();
    CheckSize(hs, ws, Name);
    // Packed W = Hs, H = Ws. Packed pixel (x, 8b + k) is source (Ws - 1 - 8b - k, x):
    // source row x feeds column x of every band, read from its right-hand end.
    std::vector<uint8_t> out = NewPacked(static_cast<unsigned>(hs), static_cast<unsigned>(ws));
    if (hs == 0 || ws < 8)
        return out;
    const std::vector<uint8_t> lit = LitPixels(Picture, Name);
    const int bands = ws / 8;
    uint8_t* data = out.data() + 4;
    for (int x = 0; x < hs; ++x) {
        const uint8_t* row = lit.data() + static_cast<size_t>(x) * static_cast<size_t>(ws);
        for (int b = 0; b < bands; ++b) {
            const uint8_t* from = row + (ws - 1 - 8 * b);
            const uint8_t byte = static_cast<uint8_t>(from[0] | from[-1] << 1 | from[-2] << 2 | from[-3] << 3 |
                                                      from[-4] << 4 | from[-5] << 5 | from[-6] << 6 | from[-7] << 7);
            data[static_cast<size_t>(b) * static_cast<size_t>(hs) + static_cast<size_t>(x)] = byte;
        }
    }
    return out;
}

std::vector<uint8_t> ConvertImage(const QImage& Picture, int DispHv, const std::string& Name) {
    return DispHv == 1 ? PackImageRotated(Picture, Name) : PackImage(Picture, Name);
}

QImage LoadPicture(const std::string& FileName) {
    // One read of the whole file, then decoding from memory: cheaper than the
    // reader's own probing of the file, and the same decoders.
    std::vector<uint8_t> data;
    std::string error;
    if (!DpuText::FileExists(FileName))
        throw ERomBuild("Error", "Cannot load picture \"" + FileName + "\": file not found");
    const QFileInfo info(QString::fromLocal8Bit(FileName.data(), static_cast<qsizetype>(FileName.size())));
    if (static_cast<uint64_t>(info.size()) > MaxPictureFileSize)
        throw ERomBuild("Error", "Cannot load picture \"" + FileName + "\": file too large");
    if (!ReadWholeFile(FileName, data, error))
        throw ERomBuild("Error", "Cannot load picture \"" + FileName + "\": " + error);
    // A file that grew since it was looked at.
    if (data.size() > MaxPictureFileSize)
        throw ERomBuild("Error", "Cannot load picture \"" + FileName + "\": file too large");
    return LoadPictureData(data.data(), data.size(), FileName);
}

QImage LoadPictureData(const uint8_t* Data, size_t Size, const std::string& Name) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Library pictures are bitmaps: name the format rather than probe every handler.
    if (Size >= 2 && Data[0] == 'B' && Data[1] == 'M')
        reader.setFormat("bmp");
    QImage picture = Read(reader, Name);
    // The reader may share the caller's bytes; detach before they go away.
    picture.detach();
    return picture;
}

void PackBitmap(const std::string& Source, const std::string& Target) {
    WritePacked(PackImage(LoadPicture(Source), Source), Target);
}

void PackBitmapRotated(const std::string& Source, const std::string& Target) {
    WritePacked(PackImageRotated(LoadPicture(Source), Source), Target);
}

void ConvertBitmap(const std::string& Source, const std::string& Target, int DispHv) {
    WritePacked(ConvertImage(LoadPicture(Source), DispHv, Source), Target);
}
