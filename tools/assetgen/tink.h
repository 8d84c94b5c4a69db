#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRawFont>
#include <QString>

// Drawing helpers shared by the renderers. Pictures are 8-bit grey images that
// hold only 0 (black, lit on the display) and 255 (white).
class TInk {
public:
    // A white picture of w x h pixels.
    static QImage Blank(int w, int h);

    // Outline of `text` set in `font` with its own advances plus `extraSpacing`
    // pixels between characters; the baseline starts at (0, 0).
    static QPainterPath TextPath(const QRawFont& font, const QString& text, qreal extraSpacing = 0);

    // Fills `path` (already in picture coordinates) anti-aliased and keeps the
    // pixels at least half covered, set to black or, with white = true, to white.
    static void FillPath(QImage& picture, const QPainterPath& path, bool white = false);

    // Draws `text` with `font` (usually hinted), keeping the pixels at least half
    // covered, on whole-pixel pen positions from the baseline start (x, y).
    // Returns the advance width drawn.
    static qreal DrawText(QImage& picture, const QRawFont& font, const QString& text, qreal x,
                          qreal y, bool white = false, qreal extraSpacing = 0);

    // Bounding box of the black pixels; an empty rectangle when there are none.
    static QRect InkBounds(const QImage& picture);

    // Black becomes white and white black.
    static QImage Inverted(const QImage& picture);

    // Copies `source` into `target` with its top-left corner at (x, y), clipped.
    static void Blit(QImage& target, const QImage& source, int x, int y);

    // A copy of `source` moved by (dx, dy) pixels, wrapping around the edges.
    static QImage Wrapped(const QImage& source, int dx, int dy);
};
