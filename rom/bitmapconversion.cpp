#include "rom/bitmapconversion.h"

#include "rom/erombuild.h"
#include "rom/filehelpers.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace DpuRom {

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

// Bands of eight lit rows, one byte per column (Lit is W x H, row after row).
std::vector<uint8_t> PackLit(const std::vector<uint8_t>& Lit, int w, int h) {
    std::vector<uint8_t> out = NewPacked(static_cast<unsigned>(w), static_cast<unsigned>(h));
    const size_t stride = static_cast<size_t>(w);
    uint8_t* band = out.data() + 4;
    for (int b = 0; b < h / 8; ++b, band += w) {
        const uint8_t* rows = Lit.data() + 8 * static_cast<size_t>(b) * stride;
        for (int k = 0; k < 8; ++k) {
            const uint8_t* row = rows + static_cast<size_t>(k) * stride;
            for (int x = 0; x < w; ++x)
                band[x] |= static_cast<uint8_t>(row[x] << k);
        }
    }
    return out;
}

// The same turned a quarter counter-clockwise (Lit is Ws x Hs).
std::vector<uint8_t> PackLitRotated(const std::vector<uint8_t>& Lit, int ws, int hs) {
    // Packed W = Hs, H = Ws. Packed pixel (x, 8b + k) is source (Ws - 1 - 8b - k, x):
    // source row x feeds column x of every band, read from its right-hand end.
    std::vector<uint8_t> out = NewPacked(static_cast<unsigned>(hs), static_cast<unsigned>(ws));
    const int bands = ws / 8;
    uint8_t* data = out.data() + 4;
    for (int x = 0; x < hs; ++x) {
        const uint8_t* row = Lit.data() + static_cast<size_t>(x) * static_cast<size_t>(ws);
        for (int b = 0; b < bands; ++b) {
            const uint8_t* from = row + (ws - 1 - 8 * b);
            const uint8_t byte = static_cast<uint8_t>(from[0] | from[-1] << 1 | from[-2] << 2 | from[-3] << 3 |
                                                      from[-4] << 4 | from[-5] << 5 | from[-6] << 6 | from[-7] << 7);
            data[static_cast<size_t>(b) * static_cast<size_t>(hs) + static_cast<size_t>(x)] = byte;
        }
    }
    return out;
}

inline uint32_t Le16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// Bitmaps this small are decoded here; larger ones go through the picture
// loader so its size limits and messages stay the only ones.
constexpr int64_t DirectBmpMaxPixels = 1 << 22;

// The plain bitmap layout the installation's pictures use: 40-byte header, no
// compression, 1, 4, 8 or 24 bits a pixel, a colour table no longer than the
// depth allows, pixel data starting inside the file.
struct TPlainBmp {
    int32_t W = 0;
    int32_t H = 0;
    bool TopDown = false;
    uint32_t Bits = 0;
    size_t RowBytes = 0;
    size_t RowsInFile = 0;
    const uint8_t* Pixels = nullptr;
    // Lit-ness of each palette index, as PaletteLit gives it for the colour
    // table the picture loader would build.
    uint8_t Table[256] = {};
};

// Reads the headers of a plain bitmap. False for anything else, which is then
// left to the picture loader.
bool ParsePlainBmp(const uint8_t* Data, size_t Size, TPlainBmp& Bmp) {
    constexpr size_t Headers = 14 + 40;
    if (Size < Headers || Data[0] != 'B' || Data[1] != 'M')
        return false;
    const uint32_t offBits = Le32(Data + 10);
    const uint8_t* info = Data + 14;
    if (Le32(info) != 40)
        return false;
    const int32_t w = static_cast<int32_t>(Le32(info + 4));
    const int32_t hSigned = static_cast<int32_t>(Le32(info + 8));
    const uint32_t planes = Le16(info + 12);
    const uint32_t bits = Le16(info + 14);
    const uint32_t compression = Le32(info + 16);
    const uint32_t colourCount = Le32(info + 32);
    if (planes != 1 || compression != 0 || !(bits == 1 || bits == 4 || bits == 8 || bits == 24))
        return false;
    if (w <= 0 || hSigned == 0 || hSigned == INT32_MIN)
        return false;
    const bool topDown = hSigned < 0;
    const int32_t h = topDown ? -hSigned : hSigned;
    if (static_cast<int64_t>(w) * h > DirectBmpMaxPixels)
        return false;
    uint32_t ncols = 0;
    // A colour count on a direct-colour bitmap is an odd file: the loader decides.
    if (bits == 24 && colourCount != 0)
        return false;
    if (bits != 24) {
        ncols = colourCount ? colourCount : 1u << bits;
        if (ncols > (1u << bits))
            return false;
    }
    const size_t pixelsAt = Headers + 4 * static_cast<size_t>(ncols);
    const size_t rowBytes = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;
    if (offBits < pixelsAt || offBits >= Size)
        return false;
    Bmp.W = w;
    Bmp.H = h;
    Bmp.TopDown = topDown;
    Bmp.Bits = bits;
    Bmp.RowBytes = rowBytes;
    // A file cut short in its pixel rows is still a picture; the rows it lacks
    // (and a row it holds only part of) are left unlit rather than whatever
    // memory held before.
    Bmp.RowsInFile = std::min((Size - offBits) / rowBytes, static_cast<size_t>(h));
    Bmp.Pixels = Data + offBits;
    const uint8_t* palette = Data + Headers;
    for (uint32_t i = 0; i < 256; ++i) {
        if (i < ncols)
            Bmp.Table[i] = (palette[4 * i] | palette[4 * i + 1] | palette[4 * i + 2]) == 0;
        else if (bits == 1 && ncols < 2)
            Bmp.Table[i] = 0;
        else
            Bmp.Table[i] = 1;
    }
    return true;
}

// The stored row of picture row Y; nullptr when the file lacks it.
const uint8_t* BmpRow(const TPlainBmp& Bmp, int32_t Y) {
    const size_t fileRow = static_cast<size_t>(Bmp.TopDown ? Y : Bmp.H - 1 - Y);
    return fileRow < Bmp.RowsInFile ? Bmp.Pixels + Bmp.RowBytes * fileRow : nullptr;
}

// One byte per pixel, row after row: 1 where the pixel is lit.
std::vector<uint8_t> BmpLit(const TPlainBmp& Bmp) {
    const int32_t w = Bmp.W;
    const uint8_t* table = Bmp.Table;
    std::vector<uint8_t> lit(static_cast<size_t>(w) * static_cast<size_t>(Bmp.H), 0);
    // One-bit rows go eight pixels at a time: each set bit of a byte spread to
    // a 1 byte, most significant bit first, then mapped through the two colours.
    static const auto spread = [] {
        std::array<uint64_t, 256> t{};
        for (int v = 0; v < 256; ++v)
            for (int k = 0; k < 8; ++k)
                if ((v >> (7 - k)) & 1)
                    t[static_cast<size_t>(v)] |= uint64_t{1} << (8 * k);
        return t;
    }();
    const uint64_t litWhenSet = table[1] ? ~uint64_t{0} : 0;
    const uint64_t litWhenClear = table[0] ? ~uint64_t{0} : 0;
    for (int32_t y = 0; y < Bmp.H; ++y) {
        const uint8_t* row = BmpRow(Bmp, y);
        if (!row)
            continue;
        uint8_t* out = lit.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
        switch (Bmp.Bits) {
        case 1: {
            int x = 0;
            for (; x + 8 <= w; x += 8) {
                const uint8_t v = row[x >> 3];
                const uint64_t eight = (spread[v] & litWhenSet) | (spread[static_cast<uint8_t>(~v)] & litWhenClear);
                std::memcpy(out + x, &eight, 8);
            }
            for (; x < w; ++x)
                out[x] = table[(row[x >> 3] >> (7 - (x & 7))) & 1];
            break;
        }
        case 4:
            for (int x = 0; x < w; ++x)
                out[x] = table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
            break;
        case 8:
            for (int x = 0; x < w; ++x)
                out[x] = table[row[x]];
            break;
        default:
            for (int x = 0; x < w; ++x)
                out[x] = (row[3 * x] | row[3 * x + 1] | row[3 * x + 2]) == 0;
            break;
        }
    }
    return lit;
}

// PackLitRotated for a one-bit bitmap, straight from its rows: a packed byte
// is eight neighbouring pixels of one stored row, leftmost in bit 7, which is
// the stored bit order, so each is a (possibly shifted) stored byte mapped
// through the two colours. Needs W >= 8.
std::vector<uint8_t> PackMonoBmpRotated(const TPlainBmp& Bmp) {
    const int32_t ws = Bmp.W, hs = Bmp.H;
    std::vector<uint8_t> out = NewPacked(static_cast<unsigned>(hs), static_cast<unsigned>(ws));
    const uint8_t litWhenSet = Bmp.Table[1] ? 0xFF : 0;
    const uint8_t litWhenClear = Bmp.Table[0] ? 0xFF : 0;
    const int bands = ws / 8;
    uint8_t* data = out.data() + 4;
    for (int32_t x = 0; x < hs; ++x) {
        const uint8_t* row = BmpRow(Bmp, x);
        if (!row)
            continue;
        for (int b = 0; b < bands; ++b) {
            // Pixels first .. first + 7 of the row, first = Ws - 8 - 8b >= 0.
            const int first = ws - 8 - 8 * b;
            const int at = first >> 3, shift = first & 7;
            const uint8_t v = shift ? static_cast<uint8_t>(row[at] << shift | row[at + 1] >> (8 - shift)) : row[at];
            data[static_cast<size_t>(b) * static_cast<size_t>(hs) + static_cast<size_t>(x)] =
                static_cast<uint8_t>((v & litWhenSet) | (~v & litWhenClear));
        }
    }
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
    if (w == 0 || h < 8)
        return NewPacked(static_cast<unsigned>(w), static_cast<unsigned>(h));
    return PackLit(LitPixels(Picture, Name), w, h);
}

std::vector<uint8_t> PackImageRotated(const QImage& Picture, const std::string& Name) {
    const int ws = Picture.width();
    const int hs = Picture.height();
    CheckSize(hs, ws, Name);
    if (hs == 0 || ws < 8)
        return NewPacked(static_cast<unsigned>(hs), static_cast<unsigned>(ws));
    return PackLitRotated(LitPixels(Picture, Name), ws, hs);
}

std::vector<uint8_t> ConvertImage(const QImage& Picture, int DispHv, const std::string& Name) {
    return DispHv == 1 ? PackImageRotated(Picture, Name) : PackImage(Picture, Name);
}

namespace {

void ReadPictureFile(const std::string& FileName, std::vector<uint8_t>& data) {
    std::string error;
    uint64_t size = 0;
    if (!RegularFileSize(FileName, size))
        throw ERomBuild("Error", "Cannot load picture \"" + FileName + "\": file not found");
    if (size > MaxPictureFileSize)
        throw ERomBuild("Error", "Cannot load picture \"" + FileName + "\": file too large");
    if (!ReadWholeFile(FileName, data, error))
        throw ERomBuild("Error", "Cannot load picture \"" + FileName + "\": " + error);
    // A file that grew since it was looked at.
    if (data.size() > MaxPictureFileSize)
        throw ERomBuild("Error", "Cannot load picture \"" + FileName + "\": file too large");
}

} // namespace

std::vector<uint8_t> ConvertPictureData(const uint8_t* Data, size_t Size, int DispHv, const std::string& LoadName,
                                        const std::string& PackName) {
    TPlainBmp bmp;
    if (!ParsePlainBmp(Data, Size, bmp))
        return ConvertImage(LoadPictureData(Data, Size, LoadName), DispHv, PackName);
    const int w = bmp.W, h = bmp.H;
    if (DispHv == 1) {
        CheckSize(h, w, PackName);
        if (w < 8)
            return NewPacked(static_cast<unsigned>(h), static_cast<unsigned>(w));
        return bmp.Bits == 1 ? PackMonoBmpRotated(bmp) : PackLitRotated(BmpLit(bmp), w, h);
    }
    CheckSize(w, h, PackName);
    return h < 8 ? NewPacked(static_cast<unsigned>(w), static_cast<unsigned>(h)) : PackLit(BmpLit(bmp), w, h);
}

std::vector<uint8_t> ConvertPictureFile(const std::string& FileName, int DispHv) {
    std::vector<uint8_t> data;
    ReadPictureFile(FileName, data);
    return ConvertPictureData(data.data(), data.size(), DispHv, FileName, FileName);
}

QImage LoadPicture(const std::string& FileName) {
    // One read of the whole file, then decoding from memory: cheaper than the
    // reader's own probing of the file, and the same decoders.
    std::vector<uint8_t> data;
    ReadPictureFile(FileName, data);
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
    WritePacked(ConvertPictureFile(Source, 0), Target);
}

void PackBitmapRotated(const std::string& Source, const std::string& Target) {
    WritePacked(ConvertPictureFile(Source, 1), Target);
}

void ConvertBitmap(const std::string& Source, const std::string& Target, int DispHv) {
    WritePacked(ConvertPictureFile(Source, DispHv), Target);
}

} // namespace DpuRom
