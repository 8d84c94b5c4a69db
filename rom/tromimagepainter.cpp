#include "rom/tromimagepainter.h"

#include "rom/tpngwriter.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"

#include <algorithm>
#include <cstdint>

namespace DpuRom {

namespace {

using TPicture = TRomImagePainter::TPicture;

constexpr uint32_t Lit = 0xFF000000, Unlit = 0xFFFFFFFF, Ground = 0xFFB0B0B0;

// The editor's preview takes the left 32 x 64 pixels of a glyph.
constexpr int PreviewGlyphWidth = 32, PreviewHeight = 64;

TPicture Blank(int W, int H, uint32_t Colour) {
    return TPicture(std::max(W, 1), std::max(H, 1), TPicture::TFormat::Rgb32, Colour);
}

// Bytes of a W x H RGB32 picture, in 64 bits so no product wraps.
uint64_t BytesOf(uint64_t W, uint64_t H) {
    return W * H * sizeof(uint32_t);
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

TPicture TRomImagePainter::Zoomed(const TPicture& Image, int Factor) {
    if (Image.IsNull()) return Image;
    // Nearest neighbour: each display pixel becomes a square.
    return Image.Scaled(ZoomWithinBudget(Image.Width(), Image.Height(), Factor));
}

TPicture TRomImagePainter::Picture(const TRomPicture& P, int Scale) {
    if (!P.Present() || P.Width <= 0 || P.Height <= 0) return {};
    // The reader keeps pictures within the display's size; a picture made by
    // hand is held to the budget all the same.
    if (BytesOf(static_cast<uint64_t>(P.Width), static_cast<uint64_t>(P.Height)) > MaxPictureBytes)
        return {};
    TPicture image(P.Width, P.Height);
    if (image.IsNull()) return image;
    for (int y = 0; y < P.Height; ++y) {
        uint32_t* row = image.Row(y);
        for (int x = 0; x < P.Width; ++x)
            row[x] = P.Lit(x, y) ? Lit : Unlit;
    }
    return Zoomed(image, Scale);
}

TPicture TRomImagePainter::Code(const TRomImage& Image, int Table, int CodeIndex, int Scale) {
    TPicture out = Blank(PreviewHeight, PreviewHeight, Unlit);
    const TRomCode& c = Image.Codes[static_cast<size_t>(Table)][static_cast<size_t>(CodeIndex)];
    if (c.Kind == TRomCode::TKind::UserBitmap) {
        const size_t u = static_cast<size_t>(c.UserBitmap);
        if (u < Image.UserBitmaps.size()) {
            const TPicture p = Picture(Image.UserBitmaps[u]);
            if (!p.IsNull()) out = p;
        }
    } else if (c.Kind == TRomCode::TKind::Glyphs) {
        const size_t n = c.Label.size();
        for (size_t i = 0; i < n; ++i) {
            const unsigned char ch = static_cast<unsigned char>(c.Label[i]);
            if (ch >= Image.Glyphs.size()) continue;
            const TPicture g = Picture(Image.Glyphs[ch]);
            if (g.IsNull()) continue;
            // One glyph stands in the middle, two side by side.
            const int x = n == 1 ? (PreviewHeight - PreviewGlyphWidth) / 2
                                 : static_cast<int>(i) * PreviewGlyphWidth;
            out.Blit(g.Copied(0, 0, PreviewGlyphWidth, PreviewHeight), x, 0);
        }
    }
    return Zoomed(out, Scale);
}

TPicture TRomImagePainter::Sheet(const std::vector<TPicture>& Pictures, int Columns) {
    if (Pictures.empty() || Columns <= 0) return {};
    int cellW = 1, cellH = 1;
    for (const TPicture& p : Pictures) {
        cellW = std::max(cellW, p.Width());
        cellH = std::max(cellH, p.Height());
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
    TPicture sheet = Blank(2 + cols * (cellW + 2), 2 + rows * (cellH + 2), Ground);
    for (int i = 0; i < count; ++i) {
        const TPicture& p = Pictures[static_cast<size_t>(i)];
        if (p.IsNull()) continue;
        // Blit cuts a larger picture to its cell's top left part.
        const TPicture cell =
            p.Width() > cellW || p.Height() > cellH ? p.Copied(0, 0, cellW, cellH) : p;
        sheet.Blit(cell, 2 + (i % cols) * (cellW + 2), 2 + (i / cols) * (cellH + 2));
    }
    return sheet;
}

TPicture TRomImagePainter::SideBySide(const TPicture& Before, const TPicture& After) {
    const int w1 = Before.IsNull() ? 0 : Before.Width(), w2 = After.IsNull() ? 0 : After.Width();
    const int tallest =
        std::max(Before.IsNull() ? 1 : Before.Height(), After.IsNull() ? 1 : After.Height());
    // Each side keeps to the budget on its own; together they are cut to it.
    const uint64_t rowBytes = BytesOf(static_cast<uint64_t>(w1 + 4 + w2), 1);
    const int h = static_cast<int>(std::min<uint64_t>(
        static_cast<uint64_t>(tallest), std::max<uint64_t>(1, MaxPictureBytes / rowBytes)));
    TPicture out = Blank(w1 + 4 + w2, h, Ground);
    out.Blit(Before, 0, 0);
    out.Blit(After, w1 + 4, 0);
    return out;
}

bool TRomImagePainter::SavePng(const TPicture& Picture, const std::string& Path,
                               std::string& Reason) {
    // Three colours at most (lit, unlit, ground): the writer stores them as a
    // palette of two bits a pixel.
    std::vector<uint8_t> bytes;
    std::string why;
    if (!TPngWriter::Encode(Picture, bytes, why)) {
        Reason = "the picture cannot be encoded as PNG";
        return false;
    }
    // The names are the painter's own: a link planted under one is refused,
    // never written through.
    return YVclUtil::WriteChosenFile(Path, bytes.data(), bytes.size(), Reason);
}

bool TRomImagePainter::PaintAll(
    const TRomImage& Image, int Scale,
    const std::function<bool(const TPicture&, const std::string&)>& Take) {
    auto take = [&](const TPicture& Picture, const std::string& Name) {
        return Picture.IsNull() || Take(Zoomed(Picture, Scale), Name);
    };
    // One zone at a time, so only one zone's pictures are held.
    {
        std::vector<TPicture> glyphs;
        for (const TRomPicture& p : Image.Glyphs)
            if (p.Present()) glyphs.push_back(Picture(p));
        if (!take(Sheet(glyphs, 16), "floor-glyphs.png")) return false;
    }
    {
        std::vector<TPicture> users;
        for (const TRomPicture& p : Image.UserBitmaps)
            users.push_back(Picture(p));
        if (!take(Sheet(users, 8), "user-bitmaps.png")) return false;
    }
    {
        std::vector<TPicture> messages;
        for (const TRomPicture& p : Image.Messages)
            if (p.Present()) messages.push_back(Picture(p));
        if (!take(Sheet(messages, 10), "messages.png")) return false;
    }
    {
        std::vector<TPicture> frames;
        for (const auto& style : Image.DirFrames)
            for (const TRomPicture& p : style)
                frames.push_back(Picture(p)); // one row per style, absent frames left empty
        if (!take(Sheet(frames, 12), "direction-frames.png")) return false;
    }
    if (!take(Picture(Image.Logo), "logo.png")) return false;
    {
        std::vector<TPicture> small;
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
    const bool ok = PaintAll(Image, Scale, [&](const TPicture& Picture, const std::string& Name) {
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
