#include "support/packinghelpers.h"

#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"
#include "util/fileaccess.h"

#include <QImage>

namespace DpuRom {

namespace {

inline bool Lit(QRgb pixel) {
    return (pixel & 0x00FFFFFFu) == 0;
}

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

// Whether each pixel is lit, row after row. Palette pictures are looked up by
// index, every other layout is read as 32-bit colour words.
std::vector<uint8_t> LitPixels(const QImage& Picture, const std::string& Name) {
    const int w = Picture.width(), h = Picture.height();
    std::vector<uint8_t> lit(static_cast<size_t>(w) * static_cast<size_t>(h));
    const QImage::Format format = Picture.format();
    if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
        format == QImage::Format_Indexed8) {
        uint8_t table[256];
        PaletteLit(Picture, table);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                lit[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                    table[Picture.pixelIndex(x, y)];
        return lit;
    }
    const QImage words = Picture.convertToFormat(QImage::Format_ARGB32);
    if (words.isNull())
        throw ERomBuild("Error", "Cannot convert picture \"" + Name + "\": out of memory");
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            lit[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                Lit(words.pixel(x, y));
    return lit;
}

// The format's own words: per band and column, shift right and set bit 7 for
// each lit pixel from the top, so the first pixel ends in bit 0. Lit(x, y)
// reads the picture being packed (already turned when turning).
template <typename TLit>
std::vector<uint8_t> Pack(int W, int H, const std::string& Name, TLit&& LitAt) {
    if (W > 0xFFFF || H > 0xFFFF)
        throw ERomBuild("Error", "Picture too large (" + std::to_string(W) + " x " +
                                     std::to_string(H) + "): " + Name);
    std::vector<uint8_t> out(4 + static_cast<uint64_t>(W) * static_cast<uint64_t>(H) / 8, 0);
    out[0] = static_cast<uint8_t>(W & 0xFF);
    out[1] = static_cast<uint8_t>(W >> 8);
    out[2] = static_cast<uint8_t>(H & 0xFF);
    out[3] = static_cast<uint8_t>(H >> 8);
    size_t at = 4;
    for (int b = 0; b < H / 8; ++b)
        for (int x = 0; x < W; ++x) {
            uint8_t byte = 0;
            for (int k = 0; k < 8; ++k) {
                byte = static_cast<uint8_t>(byte >> 1);
                if (LitAt(x, 8 * b + k)) byte |= 0x80;
            }
            out[at++] = byte;
        }
    return out;
}

void WritePacked(const std::vector<uint8_t>& Packed, const std::string& Target) {
    std::string error;
    if (!YVclUtil::WriteFileAtomically(Target, Packed.data(), Packed.size(), error))
        throw ERomBuild("File error", "Cannot write \"" + Target + "\": " + error);
}

} // namespace

std::vector<uint8_t> PackImage(const QImage& Picture, const std::string& Name) {
    const int w = Picture.width(), h = Picture.height();
    if (w > 0xFFFF || h > 0xFFFF || w == 0 || h < 8)
        return Pack(w, h, Name, [](int, int) { return false; });
    const std::vector<uint8_t> lit = LitPixels(Picture, Name);
    return Pack(w, h, Name, [&](int x, int y) {
        return lit[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] != 0;
    });
}

std::vector<uint8_t> PackImageRotated(const QImage& Picture, const std::string& Name) {
    const int ws = Picture.width(), hs = Picture.height();
    if (ws > 0xFFFF || hs > 0xFFFF || hs == 0 || ws < 8)
        return Pack(hs, ws, Name, [](int, int) { return false; });
    const std::vector<uint8_t> lit = LitPixels(Picture, Name);
    // Packed pixel (x, y) is source pixel (Ws - 1 - y, x).
    return Pack(hs, ws, Name, [&](int x, int y) {
        return lit[static_cast<size_t>(x) * static_cast<size_t>(ws) +
                   static_cast<size_t>(ws - 1 - y)] != 0;
    });
}

std::vector<uint8_t> ConvertImage(const QImage& Picture, int DispHv, const std::string& Name) {
    return DispHv == 1 ? PackImageRotated(Picture, Name) : PackImage(Picture, Name);
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
