#include "tarrowrenderer.h"

#include "tink.h"

#include <QPainterPathStroker>
#include <QPolygonF>

namespace {

constexpr qreal kMid = TArrowRenderer::Size / 2.0;

} // namespace

QString TArrowRenderer::StyleName(int style) {
    switch (style) {
    case 0:
        return QStringLiteral("Style 0: scrolling arrow");
    case 1:
        return QStringLiteral("Style 1: scrolling chevrons");
    case 2:
        return QStringLiteral("Style 2: blinking arrow");
    case 3:
        return QStringLiteral("Style 3: filling arrow");
    default:
        return QStringLiteral("Style 4: running triangles");
    }
}

QPainterPath TArrowRenderer::SolidArrow(qreal top, qreal height) {
    // Head: 60 % of the width-limited triangle; shaft a third of the width.
    const qreal head = height * 0.5;
    const qreal halfHead = 19;
    const qreal halfShaft = 7;
    QPolygonF poly;
    poly << QPointF(kMid, top) << QPointF(kMid + halfHead, top + head)
         << QPointF(kMid + halfShaft, top + head) << QPointF(kMid + halfShaft, top + height)
         << QPointF(kMid - halfShaft, top + height) << QPointF(kMid - halfShaft, top + head)
         << QPointF(kMid - halfHead, top + head);
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

QPainterPath TArrowRenderer::Chevron(qreal top) {
    // An inverted V, 8 pixels thick measured vertically, 22 pixels high, so two
    // fit a frame with a gap between them.
    const qreal half = 17;
    const qreal rise = 14;
    const qreal thick = 8;
    QPolygonF poly;
    poly << QPointF(kMid, top) << QPointF(kMid + half, top + rise)
         << QPointF(kMid + half, top + rise + thick) << QPointF(kMid, top + thick)
         << QPointF(kMid - half, top + rise + thick) << QPointF(kMid - half, top + rise);
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

QPainterPath TArrowRenderer::Triangle(qreal top, qreal height, qreal halfWidth) {
    QPolygonF poly;
    poly << QPointF(kMid, top) << QPointF(kMid + halfWidth, top + height)
         << QPointF(kMid - halfWidth, top + height);
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

QImage TArrowRenderer::Frame(int style, int frame) {
    QImage out = TInk::Blank(Size, Size);
    switch (style) {
    case 0: {
        // One arrow 38 pixels high every 48 pixels; drawn in a still picture and
        // moved up with wrap-around, so the next arrow rises from the bottom.
        QImage still = TInk::Blank(Size, Size);
        TInk::FillPath(still, SolidArrow(5, 38));
        return TInk::Wrapped(still, 0, -4 * frame);
    }
    case 1: {
        // Two chevrons 24 pixels apart: a period of 24 pixels, 2 pixels a frame.
        QImage still = TInk::Blank(Size, Size);
        // Drawn across the edges too, so the pattern wraps without a seam.
        for (int top = 2 - 48; top < 48; top += 24)
            TInk::FillPath(still, Chevron(top));
        return TInk::Wrapped(still, 0, -2 * frame);
    }
    case 2:
        if (frame < FrameCount / 2) TInk::FillPath(out, SolidArrow(3, 42));
        return out;
    case 3: {
        // Outline 3 pixels wide; the inside fills from the bottom up, full at frame 11.
        const QPainterPath arrow = SolidArrow(5, 40);
        QPainterPathStroker stroker;
        stroker.setWidth(3);
        stroker.setJoinStyle(Qt::MiterJoin);
        TInk::FillPath(out, stroker.createStroke(arrow));
        const qreal level = 45 - 40.0 * (frame + 1) / FrameCount;
        QPainterPath below;
        below.addRect(QRectF(0, level, Size, Size - level));
        TInk::FillPath(out, arrow.intersected(below));
        return out;
    }
    default: {
        // Three triangles, bottom to top; the one filled moves up every four frames.
        const int lit = frame / 4;
        for (int i = 0; i < 3; ++i) {
            const qreal top = 32 - 15 * i;
            const QPainterPath tri = Triangle(top, 13, 18);
            if (i == lit) {
                TInk::FillPath(out, tri);
            } else {
                QPainterPathStroker stroker;
                stroker.setWidth(2);
                stroker.setJoinStyle(Qt::MiterJoin);
                TInk::FillPath(out, stroker.createStroke(Triangle(top + 1, 12, 16.5)));
            }
        }
        return out;
    }
    }
}
