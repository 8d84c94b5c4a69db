#include "tfloorglyphrenderer.h"

#include "tink.h"

#include <QTransform>
#include <algorithm>
#include <cmath>

namespace {

constexpr qreal kOutlineSize = 200; // pixel size at which outlines are taken before scaling

TFontSet::Face FaceOf(int style, const QString& text) {
    switch (style) {
    case 1:
        return TFontSet::SerifCondensedBold;
    case 2:
        return TFontSet::SansCondensedBoldOblique;
    case 3: {
        // Letters from the monospaced face, drawn for narrow cells; digits from the
        // proportional one, whose zero has no dot inside.
        const bool digits = !text.isEmpty() && std::all_of(text.begin(), text.end(),
                                                           [](QChar c) { return c.isDigit(); });
        return digits ? TFontSet::SansBold : TFontSet::SansMonoBold;
    }
    default:
        return TFontSet::SansCondensedBold;
    }
}

} // namespace

TFloorGlyphRenderer::TFloorGlyphRenderer(const TFontSet& fonts) : Fonts(fonts) {}

QString TFloorGlyphRenderer::StyleName(int style) {
    switch (style) {
    case 0:
        return QStringLiteral("Style 0: condensed sans bold");
    case 1:
        return QStringLiteral("Style 1: condensed serif bold");
    case 2:
        return QStringLiteral("Style 2: slanted sans bold");
    default:
        return QStringLiteral("Style 3: dot matrix");
    }
}

QPainterPath TFloorGlyphRenderer::Outline(int style, const QString& text, qreal* capHeight) const {
    const QRawFont font = Fonts.Raw(FaceOf(style, text), kOutlineSize);
    *capHeight = TInk::TextPath(font, QStringLiteral("H")).boundingRect().height();
    return TInk::TextPath(font, text, style == 3 ? 0 : kOutlineSize * 0.04);
}

QTransform TFloorGlyphRenderer::Fit(const QRectF& ink, qreal capHeight, const Box& box,
                                    qreal pictureWidth) {
    qreal sy = box.CapHeight / capHeight;
    qreal sx = sy;
    if (ink.width() * sx > box.Width) {
        sx = box.Width / ink.width();
        if (sx < box.MinSqueeze * sy) sy = sx / box.MinSqueeze;
    }
    qreal dy = box.Baseline;
    if (sy < box.CapHeight / capHeight) {
        // Shrunk to fit the width: keep the capitals centred on the same middle line.
        const qreal middle = box.Baseline - box.CapHeight / 2;
        dy = middle + capHeight * sy / 2;
    }
    const qreal top = dy + ink.top() * sy;
    const qreal bottom = dy + ink.bottom() * sy;
    if (top < 1 || bottom > box.Height - 1) {
        // Tall shapes (brackets, descenders) are scaled down into the cell and centred.
        const qreal s = qMin(sy, (box.Height - 2) / ink.height());
        sx = qMin(sx, s);
        sy = s;
        dy = (box.Height - ink.height() * sy) / 2 - ink.top() * sy;
    }
    const qreal dx = (pictureWidth - ink.width() * sx) / 2 - ink.left() * sx;
    return QTransform(sx, 0, 0, sy, std::round(dx), std::round(dy));
}

QImage TFloorGlyphRenderer::Dots(const QPainterPath& path, int cols, int rows, int pitch,
                                 int dotSize, QSize size) {
    // The outline is sampled cell by cell at eight times the grid resolution; a cell
    // with at least 40 % ink becomes a dot.
    constexpr int kSub = 8;
    QImage fine = TInk::Blank(cols * kSub, rows * kSub);
    TInk::FillPath(fine, QTransform::fromScale(kSub, kSub).map(path));
    QImage out = TInk::Blank(size.width(), size.height());
    const int x0 = (size.width() - cols * pitch + (pitch - dotSize)) / 2;
    const int y0 = (size.height() - rows * pitch + (pitch - dotSize)) / 2;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            int ink = 0;
            for (int y = 0; y < kSub; ++y) {
                const uchar* line = fine.constScanLine(r * kSub + y);
                for (int x = 0; x < kSub; ++x)
                    ink += line[c * kSub + x] < 128 ? 1 : 0;
            }
            if (ink * 10 < kSub * kSub * 4) continue;
            for (int y = 0; y < dotSize; ++y)
                for (int x = 0; x < dotSize; ++x)
                    out.setPixel(x0 + c * pitch + x, y0 + r * pitch + y, 0);
        }
    }
    return out;
}

QImage TFloorGlyphRenderer::Glyph(int style, int code) const {
    QImage out = TInk::Blank(GlyphWidth, GlyphHeight);
    qreal capHeight = 0;
    const QPainterPath path = Outline(style, QString(QChar(code)), &capHeight);
    const QRectF ink = path.boundingRect();
    if (ink.isEmpty()) return out;
    if (style == 3) {
        // 7 x 15 dots of 3 x 3 pixels; capitals 11 dots high.
        const Box box{7, 15, 11, 13, 0.55};
        const QPainterPath grid = Fit(ink, capHeight, box, 7).map(path);
        return Dots(grid, 7, 15, 4, 3, out.size());
    }
    const Box box{29, GlyphHeight, 50, 57, 0.45};
    TInk::FillPath(out, Fit(ink, capHeight, box, GlyphWidth).map(path));
    return out;
}

QImage TFloorGlyphRenderer::Label(int style, const QString& text) const {
    QImage out = TInk::Blank(LabelSize, LabelSize);
    qreal capHeight = 0;
    const QPainterPath path = Outline(style, text, &capHeight);
    const QRectF ink = path.boundingRect();
    if (ink.isEmpty()) return out;
    if (style == 3) {
        // The dot pitch shrinks until the label fits across the picture without being
        // squeezed; at the finest pitch the dots touch.
        for (int pitch : {4, 3, 2}) {
            const int cells = LabelSize / pitch;
            const qreal cap = std::floor(cells * 0.7);
            const Box box{qreal(cells - 1), qreal(cells), cap, std::floor((cells + cap) / 2), 0.8};
            const QTransform t = Fit(ink, capHeight, box, cells);
            if (t.m11() >= 0.95 * t.m22() || pitch == 2)
                return Dots(t.map(path), cells, cells, pitch, qMax(2, pitch - 1), out.size());
        }
    }
    const Box box{62, LabelSize, 44, 54, 0.5};
    TInk::FillPath(out, Fit(ink, capHeight, box, LabelSize).map(path));
    return out;
}
