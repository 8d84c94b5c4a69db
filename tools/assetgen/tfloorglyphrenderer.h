#pragma once

#include "tfontset.h"

#include <QImage>
#include <QPainterPath>
#include <QString>

// Draws the floor-label glyphs (32 x 64, one character) and the user floor
// bitmaps (64 x 64, a whole label) in the four floor styles:
//   0 condensed sans bold, 1 condensed serif bold, 2 condensed sans bold slanted,
//   3 dot matrix (square dots on a 4-pixel pitch).
// Capitals and digits share one baseline and height, so two glyphs side by side
// line up; each glyph is centred in its cell.
class TFloorGlyphRenderer {
public:
    static constexpr int StyleCount = 4;
    static constexpr int GlyphWidth = 32;
    static constexpr int GlyphHeight = 64;
    static constexpr int LabelSize = 64;

    explicit TFloorGlyphRenderer(const TFontSet& fonts);

    // The glyph of character `code` (32..126) in `style`. Space gives a blank cell.
    QImage Glyph(int style, int code) const;

    // A whole label (three or more characters) drawn into 64 x 64 in `style`.
    QImage Label(int style, const QString& text) const;

    // A short caption for the previews.
    static QString StyleName(int style);

private:
    struct Box {
        qreal Width;      // usable width
        qreal Height;     // picture height
        qreal CapHeight;  // wanted capital height
        qreal Baseline;   // baseline for glyphs that fit
        qreal MinSqueeze; // narrowest allowed width factor relative to height
    };

    QPainterPath Outline(int style, const QString& text, qreal* capHeight) const;
    static QTransform Fit(const QRectF& ink, qreal capHeight, const Box& box, qreal pictureWidth);
    static QImage Dots(const QPainterPath& path, int cols, int rows, int pitch, int dotSize,
                       QSize size);

    const TFontSet& Fonts;
};
