#include "project/tlabelpreview.h"

#include "project/dputext.h"
#include "project/tglyphsource.h"
#include "project/tpictureimage.h"

#include <QColor>
#include <QImage>

namespace DpuProject {

namespace {
constexpr int kPreviewSize = 64;

void EnsureCanvas(QImage& Preview) {
    if (Preview.isNull() || Preview.width() != kPreviewSize || Preview.height() != kPreviewSize) {
        QImage canvas(kPreviewSize, kPreviewSize, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        if (!Preview.isNull()) {
            // Keep what was shown, as far as it overlaps the preview area.
            const QImage old = Preview.convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < kPreviewSize && y < old.height(); ++y)
                for (int x = 0; x < kPreviewSize && x < old.width(); ++x)
                    canvas.setPixel(x, y, old.pixel(x, y));
        }
        Preview = canvas;
    } else if (Preview.format() != QImage::Format_RGB32) {
        Preview = Preview.convertToFormat(QImage::Format_RGB32);
    }
}

// Copies the glyph's pixels x 0..31, y 0..63 (as far as it has them) to
// the preview at x Left.
void DrawGlyph(TGlyphSource& Library, int Group, unsigned char Char, int Left, QImage& Preview) {
    QImage glyph;
    if (!Library.ExtractImage(Group, Char, glyph)) return;
    for (int y = 0; y < 64 && y < glyph.height(); ++y)
        for (int x = 0; x < 32 && x < glyph.width(); ++x)
            Preview.setPixel(Left + x, y, glyph.pixel(x, y) | 0xFF000000u);
}
} // namespace

TLabelPreview::TPlan TLabelPreview::Plan(const std::string& CellText, int DefFl,
                                         const std::string& UserFloorStylePrefix) {
    TPlan plan;
    std::string text = DpuText::UpperCase(DpuText::Trim(CellText));
    if (text.empty()) return plan;
    if (text.size() == 2 && text[0] == '0') text.erase(0, 1);
    if (text.size() <= 2) {
        plan.Kind = TKind::Glyphs;
        plan.Chars = text;
    } else {
        plan.Kind = TKind::UserBitmap;
        plan.BitmapPath = UserFloorStylePrefix + std::to_string(DefFl) + "/" + text + ".bmp";
    }
    return plan;
}

bool TLabelPreview::Render(const std::string& CellText, int DefFl,
                           const std::string& UserFloorStylePrefix, TGlyphSource& Library,
                           QImage& Preview) {
    const TPlan plan = Plan(CellText, DefFl, UserFloorStylePrefix);
    switch (plan.Kind) {
    case TKind::None:
        return false;
    case TKind::UserBitmap: {
        if (!DpuText::FileExists(plan.BitmapPath)) return false;
        // The build's own reader: a picture the build would refuse is not shown.
        std::string reason;
        return TPictureImage::Load(plan.BitmapPath, Preview, reason);
    }
    case TKind::Glyphs:
        break;
    }
    // Floor style k draws from group k + 1, also for a style number kept as
    // read from a project file; the library answers groups outside its
    // directory as absent.
    const int group = DefFl >= -1 && DefFl < TGlyphSource::GroupCount ? DefFl + 1 : -1;
    EnsureCanvas(Preview);
    if (plan.Chars.size() == 1) {
        Preview.fill(Qt::white);
        DrawGlyph(Library, group, static_cast<unsigned char>(plan.Chars[0]), 16, Preview);
    } else {
        DrawGlyph(Library, group, static_cast<unsigned char>(plan.Chars[0]), 0, Preview);
        DrawGlyph(Library, group, static_cast<unsigned char>(plan.Chars[1]), 32, Preview);
    }
    return true;
}

} // namespace DpuProject
