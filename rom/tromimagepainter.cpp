#include "rom/tromimagepainter.h"

#include "util/eygeneral.h"
#include "util/fileaccess.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>

#include <algorithm>

namespace DpuRom {

namespace {

constexpr QRgb Lit = 0xFF000000, Unlit = 0xFFFFFFFF, Ground = 0xFFB0B0B0;

// The editor's preview takes the left 32 x 64 pixels of a glyph.
constexpr int PreviewGlyphWidth = 32, PreviewHeight = 64;

void Blit(QImage& To, const QImage& From, int X, int Y) {
    for (int y = 0; y < From.height(); ++y)
        for (int x = 0; x < From.width(); ++x)
            if (X + x < To.width() && Y + y < To.height())
                To.setPixel(X + x, Y + y, From.pixel(x, y));
}

QImage Blank(int W, int H, QRgb Colour) {
    QImage image(std::max(W, 1), std::max(H, 1), QImage::Format_RGB32);
    image.fill(Colour);
    return image;
}

QImage Scaled(const QImage& Image, int Scale) {
    if (Scale <= 1 || Image.isNull()) return Image;
    // Nearest neighbour: each display pixel becomes a square.
    return Image.scaled(Image.width() * Scale, Image.height() * Scale, Qt::IgnoreAspectRatio,
                        Qt::FastTransformation);
}

} // namespace

QImage TRomImagePainter::Picture(const TRomPicture& P, int Scale) {
    if (!P.Present() || P.Width <= 0 || P.Height <= 0) return {};
    QImage image(P.Width, P.Height, QImage::Format_RGB32);
    for (int y = 0; y < P.Height; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < P.Width; ++x)
            row[x] = P.Lit(x, y) ? Lit : Unlit;
    }
    return Scaled(image, Scale);
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
    return Scaled(out, Scale);
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
    QImage sheet = Blank(2 + cols * (cellW + 2), 2 + rows * (cellH + 2), Ground);
    for (int i = 0; i < count; ++i)
        if (!Pictures[static_cast<size_t>(i)].isNull())
            Blit(sheet, Pictures[static_cast<size_t>(i)], 2 + (i % cols) * (cellW + 2),
                 2 + (i / cols) * (cellH + 2));
    return sheet;
}

QImage TRomImagePainter::SideBySide(const QImage& Before, const QImage& After) {
    const int w1 = Before.isNull() ? 0 : Before.width(), w2 = After.isNull() ? 0 : After.width();
    const int h =
        std::max(Before.isNull() ? 1 : Before.height(), After.isNull() ? 1 : After.height());
    QImage out = Blank(w1 + 4 + w2, h, Ground);
    if (!Before.isNull()) Blit(out, Before, 0, 0);
    if (!After.isNull()) Blit(out, After, w1 + 4, 0);
    return out;
}

bool TRomImagePainter::SavePng(const QImage& Picture, const std::string& Path,
                               std::string& Reason) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (Picture.isNull() || !Picture.save(&buffer, "PNG")) {
        Reason = "the picture cannot be encoded as PNG";
        return false;
    }
    return YVclUtil::WriteFileAtomically(Path, bytes.constData(), static_cast<size_t>(bytes.size()),
                                         Reason);
}

bool TRomImagePainter::WriteAll(const TRomImage& Image, const std::string& Folder, int Scale,
                                std::vector<std::string>& Written, std::string& Reason) {
    if (!QDir().mkpath(QString::fromStdString(Folder))) {
        Reason = "cannot make the folder \"" + Folder + "\"";
        return false;
    }
    auto save = [&](const QImage& Picture, const std::string& Name) {
        if (Picture.isNull()) return true;
        const std::string path = Folder + "/" + Name;
        if (!SavePng(Scaled(Picture, Scale), path, Reason)) {
            Reason = "cannot write \"" + path + "\": " + Reason;
            return false;
        }
        Written.push_back(path);
        return true;
    };
    std::vector<QImage> glyphs, users, messages, frames, small;
    for (const TRomPicture& p : Image.Glyphs)
        if (p.Present()) glyphs.push_back(Picture(p));
    for (const TRomPicture& p : Image.UserBitmaps)
        users.push_back(Picture(p));
    for (const TRomPicture& p : Image.Messages)
        if (p.Present()) messages.push_back(Picture(p));
    for (const auto& style : Image.DirFrames)
        for (const TRomPicture& p : style)
            frames.push_back(Picture(p)); // one row per style, absent frames left empty
    for (const TRomPicture& p : Image.SmallGlyphs)
        small.push_back(Picture(p));
    if (!save(Sheet(glyphs, 16), "floor-glyphs.png") ||
        !save(Sheet(users, 8), "user-bitmaps.png") || !save(Sheet(messages, 10), "messages.png") ||
        !save(Sheet(frames, 12), "direction-frames.png") ||
        !save(Picture(Image.Logo), "logo.png") || !save(Sheet(small, 13), "small-glyphs.png") ||
        !save(Picture(Image.Screen), "screen.png"))
        return false;
    for (int t = 0; t < TRomImage::TableCount; ++t)
        for (int n = 0; n < TRomImage::CodeCount; ++n)
            if (Image.Codes[static_cast<size_t>(t)][static_cast<size_t>(n)].Kind !=
                    TRomCode::TKind::Nothing &&
                !save(Code(Image, t, n), YVclUtil::Format("CTBL%d-%03d.png", t, n)))
                return false;
    return true;
}

} // namespace DpuRom
