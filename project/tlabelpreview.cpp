#include "project/tlabelpreview.h"

#include "project/tglyphsource.h"
#include "project/tpictureimage.h"

namespace DpuProject {

namespace {
constexpr int kPreviewSize = 64;

YVclUtil::TRasterImage BlankPreview() {
    return YVclUtil::TRasterImage(kPreviewSize, kPreviewSize,
                                  YVclUtil::TRasterImage::TFormat::Rgb32, 0xFFFFFFFFu);
}

// Copies the glyph's pixels x 0..31, y 0..63 (as far as it has them) to
// the preview at x Left; false when the entry is no picture.
bool DrawGlyph(TGlyphSource& Library, int Group, unsigned char Char, int Left,
               YVclUtil::TRasterImage& Preview) {
    YVclUtil::TRasterImage glyph;
    if (!Library.ExtractImage(Group, Char, glyph)) return false;
    if (Preview.IsNull()) return true; // no memory for the preview: nothing to draw on
    for (int y = 0; y < 64 && y < glyph.Height(); ++y)
        for (int x = 0; x < 32 && x < glyph.Width(); ++x)
            Preview.SetPixel(Left + x, y, glyph.Pixel(x, y) | 0xFF000000u);
    return true;
}
} // namespace

TLabelRule::TResult TLabelPreview::Render(const std::string& CellText, int DefFl,
                                          const std::vector<std::string>& UserFolders,
                                          TGlyphSource& Library, YVclUtil::TRasterImage& Preview,
                                          std::string& Why) {
    const TLabelRule::TResult r = TLabelRule::Decide(CellText, DefFl, Library, UserFolders);
    // Whatever the label, nothing of an earlier one stays on show.
    Preview = BlankPreview();
    Why = r.Reason;
    switch (r.Kind) {
    case TLabelRule::TKind::Empty:
        Why = "Empty cell";
        break;
    case TLabelRule::TKind::Cancelled:
        break;
    case TLabelRule::TKind::UserBitmap: {
        // The build's own reader: a picture the build would refuse is not shown.
        YVclUtil::TRasterImage bitmap;
        std::string reason;
        if (TPictureImage::Load(r.BitmapPath, bitmap, reason))
            Preview = bitmap;
        else
            Why = r.BitmapName + " cannot be read: " + reason;
        break;
    }
    case TLabelRule::TKind::Glyphs: {
        // Only glyphs that the image gets are drawn, as the display will show them.
        const int left = r.Drawn.size() == 1 ? 16 : 0;
        for (size_t i = 0; i < r.Drawn.size(); ++i) {
            const auto c = static_cast<unsigned char>(r.Drawn[i]);
            // A glyph entry that is no picture stops MAKE ROM; say so here too.
            if (r.HasGlyph[i] &&
                !DrawGlyph(Library, DefFl + 1, c, left + 32 * static_cast<int>(i), Preview) &&
                Why.empty())
                Why = "The glyph of " +
                      TLabelRule::CharacterName(std::string(1, static_cast<char>(c))) +
                      " in Style " + std::to_string(DefFl) + " cannot be read";
        }
        break;
    }
    }
    return r;
}

} // namespace DpuProject
