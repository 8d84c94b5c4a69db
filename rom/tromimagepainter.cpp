#include "rom/tromimagepainter.h"

#include "util/eygeneral.h"
#include "util/fileaccess.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace DpuRom {

namespace {

constexpr QRgb Lit = 0xFF000000, Unlit = 0xFFFFFFFF, Ground = 0xFFB0B0B0;

// The editor's preview takes the left 32 x 64 pixels of a glyph.
constexpr int PreviewGlyphWidth = 32, PreviewHeight = 64;

// Copies From into To at (X, Y), as much as fits; both are RGB32.
void Blit(QImage& To, const QImage& From, int X, int Y) {
    if (X >= To.width() || Y >= To.height()) return;
    const int w = std::min(From.width(), To.width() - X);
    const int h = std::min(From.height(), To.height() - Y);
    for (int y = 0; y < h; ++y)
        std::memcpy(reinterpret_cast<QRgb*>(To.scanLine(Y + y)) + X, From.constScanLine(y),
                    static_cast<size_t>(w) * sizeof(QRgb));
}

QImage Blank(int W, int H, QRgb Colour) {
    QImage image(std::max(W, 1), std::max(H, 1), QImage::Format_RGB32);
    image.fill(Colour);
    return image;
}

// Bytes of a W x H RGB32 picture, in 64 bits so no product wraps.
uint64_t BytesOf(uint64_t W, uint64_t H) {
    return W * H * sizeof(QRgb);
}

} // namespace

int TRomImagePainter::ZoomWithinBudget(int Width, int Height, int Factor) {
    int f = std::max(Factor, 1);
    while (f > 1 &&
           BytesOf(static_cast<uint64_t>(Width) * static_cast<uint64_t>(f),
                   static_cast<uint64_t>(Height) * static_cast<uint64_t>(f)) > MaxPictureBytes)
        --f;
    return f;
}

QImage TRomImagePainter::Zoomed(const QImage& Image, int Factor) {
    if (Image.isNull()) return Image;
    const int f = ZoomWithinBudget(Image.width(), Image.height(), Factor);
    if (f <= 1) return Image;
    // Nearest neighbour: each display pixel becomes a square.
    return Image.scaled(Image.width() * f, Image.height() * f, Qt::IgnoreAspectRatio,
                        Qt::FastTransformation);
}

QImage TRomImagePainter::Picture(const TRomPicture& P, int Scale) {
    if (!P.Present() || P.Width <= 0 || P.Height <= 0) return {};
    // The reader keeps pictures within the display's size; a picture made by
    // hand is held to the budget all the same.
    if (BytesOf(static_cast<uint64_t>(P.Width), static_cast<uint64_t>(P.Height)) > MaxPictureBytes)
        return {};
    QImage image(P.Width, P.Height, QImage::Format_RGB32);
    for (int y = 0; y < P.Height; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < P.Width; ++x)
            row[x] = P.Lit(x, y) ? Lit : Unlit;
    }
    return Zoomed(image, Scale);
}

QImage TRomImagePainter::Code(const TRomImage& Image, int Table, int CodeIndex, int Scale) {
    QImage out = Blank(PreviewHeight, PreviewHeight, Unlit);
    const TRomCode& c = Image.Codes[static_cast<size_t>(Table)][static_cast<size_t>(CodeIndex)];
    if (c.Kind == TRomCode::TKind::UserBitmap) {
        const size_t u = static_cast<size_t>(c.UserBitmap);
        if (u < Image.UserBitmaps.size()) {
            const QImage p = Picture(Image.UserBitmaps[u]);
            if (!p.isNull()) out = p;
        }
    } else if (c.Kind == TRomCode::TKind::Glyphs) {
        const size_t n = c.Label.size();
        for (size_t i = 0; i < n; ++i) {
            const unsigned char ch = static_cast<unsigned char>(c.Label[i]);
            if (ch >= Image.Glyphs.size()) continue;
            const QImage g = Picture(Image.Glyphs[ch]);
            if (g.isNull()) continue;
            // One glyph stands in the middle, two side by side.
            const int x = n == 1 ? (PreviewHeight - PreviewGlyphWidth) / 2
                                 : static_cast<int>(i) * PreviewGlyphWidth;
            Blit(out,
                 g.copy(0, 0, std::min(g.width(), PreviewGlyphWidth),
                        std::min(g.height(), PreviewHeight)),
                 x, 0);
        }
    }
    return Zoomed(out, Scale);
}

QImage TRomImagePainter::Sheet(const std::vector<QImage>& Pictures, int Columns) {
    if (Pictures.empty() || Columns <= 0) return {};
    int cellW = 1, cellH = 1;
    for (const QImage& p : Pictures) {
        cellW = std::max(cellW, p.width());
        cellH = std::max(cellH, p.height());
    }
    const int count = static_cast<int>(Pictures.size());
    const int cols = std::min(Columns, count);
    const int rows = (count + cols - 1) / cols;
    auto sheetBytes = [&](int W, int H) {
        return BytesOf(2 + static_cast<uint64_t>(cols) * static_cast<uint64_t>(W + 2),
                       2 + static_cast<uint64_t>(rows) * static_cast<uint64_t>(H + 2));
    };
    // One very wide picture and one very tall one must not make every cell
    // both: the larger side of the cell gives way first.
    while (sheetBytes(cellW, cellH) > MaxPictureBytes && (cellW > 1 || cellH > 1)) {
        if (cellW >= cellH)
            cellW = std::max(1, cellW * 3 / 4);
        else
            cellH = std::max(1, cellH * 3 / 4);
    }
    QImage sheet = Blank(2 + cols * (cellW + 2), 2 + rows * (cellH + 2), Ground);
    for (int i = 0; i < count; ++i) {
        const QImage& p = Pictures[static_cast<size_t>(i)];
        if (p.isNull()) continue;
        const QImage cell =
            p.width() > cellW || p.height() > cellH
                ? p.copy(0, 0, std::min(p.width(), cellW), std::min(p.height(), cellH))
                : p;
        Blit(sheet, cell.convertToFormat(QImage::Format_RGB32), 2 + (i % cols) * (cellW + 2),
             2 + (i / cols) * (cellH + 2));
    }
    return sheet;
}

QImage TRomImagePainter::SideBySide(const QImage& Before, const QImage& After) {
    const int w1 = Before.isNull() ? 0 : Before.width(), w2 = After.isNull() ? 0 : After.width();
    const int tallest =
        std::max(Before.isNull() ? 1 : Before.height(), After.isNull() ? 1 : After.height());
    // Each side keeps to the budget on its own; together they are cut to it.
    const uint64_t rowBytes = BytesOf(static_cast<uint64_t>(w1 + 4 + w2), 1);
    const int h = static_cast<int>(std::min<uint64_t>(
        static_cast<uint64_t>(tallest), std::max<uint64_t>(1, MaxPictureBytes / rowBytes)));
    QImage out = Blank(w1 + 4 + w2, h, Ground);
    if (!Before.isNull()) Blit(out, Before.convertToFormat(QImage::Format_RGB32), 0, 0);
    if (!After.isNull()) Blit(out, After.convertToFormat(QImage::Format_RGB32), w1 + 4, 0);
    return out;
}

bool TRomImagePainter::SavePng(const QImage& Picture, const std::string& Path,
                               std::string& Reason) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Three colours at most (lit, unlit, ground): a palette picture encodes
    // many times faster than 32-bit pixels and gives the same PNG image.
    const QImage indexed =
        Picture.isNull() ? Picture
                         : Picture.convertToFormat(QImage::Format_Indexed8, {Lit, Unlit, Ground},
                                                   Qt::ThresholdDither | Qt::AvoidDither);
    if (Picture.isNull() || !indexed.save(&buffer, "PNG")) {
        Reason = "the picture cannot be encoded as PNG";
        return false;
    }
    // The names are the painter's own: a link planted under one is refused,
    // never written through.
    return YVclUtil::WriteChosenFile(Path, bytes.constData(), static_cast<size_t>(bytes.size()),
                                     Reason);
}

bool TRomImagePainter::PaintAll(
    const TRomImage& Image, int Scale,
    const std::function<bool(const QImage&, const std::string&)>& Take) {
    auto take = [&](const QImage& Picture, const std::string& Name) {
        return Picture.isNull() || Take(Zoomed(Picture, Scale), Name);
    };
    // One zone at a time, so only one zone's pictures are held.
    {
        std::vector<QImage> glyphs;
        for (const TRomPicture& p : Image.Glyphs)
            if (p.Present()) glyphs.push_back(Picture(p));
        if (!take(Sheet(glyphs, 16), "floor-glyphs.png")) return false;
    }
    {
        std::vector<QImage> users;
        for (const TRomPicture& p : Image.UserBitmaps)
            users.push_back(Picture(p));
        if (!take(Sheet(users, 8), "user-bitmaps.png")) return false;
    }
    {
        std::vector<QImage> messages;
        for (const TRomPicture& p : Image.Messages)
            if (p.Present()) messages.push_back(Picture(p));
        if (!take(Sheet(messages, 10), "messages.png")) return false;
    }
    {
        std::vector<QImage> frames;
        for (const auto& style : Image.DirFrames)
            for (const TRomPicture& p : style)
                frames.push_back(Picture(p)); // one row per style, absent frames left empty
        if (!take(Sheet(frames, 12), "direction-frames.png")) return false;
    }
    if (!take(Picture(Image.Logo), "logo.png")) return false;
    {
        std::vector<QImage> small;
        for (const TRomPicture& p : Image.SmallGlyphs)
            small.push_back(Picture(p));
        if (!take(Sheet(small, 13), "small-glyphs.png")) return false;
    }
    if (!take(Picture(Image.Screen), "screen.png")) return false;
    for (int t = 0; t < TRomImage::TableCount; ++t)
        for (int n = 0; n < TRomImage::CodeCount; ++n)
            if (Image.Codes[static_cast<size_t>(t)][static_cast<size_t>(n)].Kind !=
                    TRomCode::TKind::Nothing &&
                !take(Code(Image, t, n), YVclUtil::Format("CTBL%d-%03d.png", t, n)))
                return false;
    return true;
}

bool TRomImagePainter::WriteAll(const TRomImage& Image, const std::string& Folder, int Scale,
                                std::vector<std::string>& Written, std::string& Reason) {
    std::vector<std::string> made;
    if (!YVclUtil::MakeFolders(Folder, Reason, made)) {
        Reason = "cannot make the folder \"" + Folder + "\": " + Reason;
        YVclUtil::RemoveMadeFolders(made);
        return false;
    }
    const bool ok = PaintAll(Image, Scale, [&](const QImage& Picture, const std::string& Name) {
        const std::string path = Folder + "/" + Name;
        if (!SavePng(Picture, path, Reason)) {
            Reason = "cannot write \"" + path + "\": " + Reason;
            return false;
        }
        Written.push_back(path);
        return true;
    });
    // A folder made for pictures none of which could be written goes again.
    if (!ok && Written.empty()) YVclUtil::RemoveMadeFolders(made);
    return ok;
}

} // namespace DpuRom
