#include "tink.h"

#include <QPainter>
#include <cmath>

QImage TInk::Blank(int w, int h) {
    QImage picture(w, h, QImage::Format_Grayscale8);
    picture.fill(255);
    return picture;
}

QPainterPath TInk::TextPath(const QRawFont& font, const QString& text, qreal extraSpacing) {
    QPainterPath path;
    const QList<quint32> glyphs = font.glyphIndexesForString(text);
    const QList<QPointF> advances = font.advancesForGlyphIndexes(glyphs);
    qreal x = 0;
    for (int i = 0; i < glyphs.size(); ++i) {
        QPainterPath glyph = font.pathForGlyph(glyphs[i]);
        glyph.translate(x, 0);
        path.addPath(glyph);
        x += advances[i].x() + extraSpacing;
    }
    path.setFillRule(Qt::WindingFill);
    return path;
}

void TInk::FillPath(QImage& picture, const QPainterPath& path, bool white) {
    // Painted on a layer of its own, so the half-coverage test sees this shape alone.
    QImage layer = Blank(picture.width(), picture.height());
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawPath(path);
    }
    const uchar ink = white ? 255 : 0;
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* src = layer.constScanLine(y);
        uchar* dst = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            if (src[x] < 128) dst[x] = ink;
        }
    }
}

qreal TInk::DrawText(QImage& picture, const QRawFont& font, const QString& text, qreal x, qreal y,
                     bool white, qreal extraSpacing) {
    // The glyphs' outlines as the face's hinting leaves them, on whole-pixel pen
    // positions (a fractional start moves single glyphs by a pixel and lets
    // neighbours touch), filled and cut at half coverage.
    const QList<quint32> glyphs = font.glyphIndexesForString(text);
    const QList<QPointF> advances = font.advancesForGlyphIndexes(glyphs);
    QPainterPath path;
    qreal pen = 0;
    for (int i = 0; i < glyphs.size(); ++i) {
        QPainterPath glyph = font.pathForGlyph(glyphs[i]);
        glyph.translate(std::round(x) + pen, std::round(y));
        path.addPath(glyph);
        pen += std::round(advances[i].x()) + extraSpacing;
    }
    path.setFillRule(Qt::WindingFill);
    FillPath(picture, path, white);
    return pen - (glyphs.isEmpty() ? 0 : extraSpacing);
}

QRect TInk::InkBounds(const QImage& picture) {
    int left = picture.width(), top = picture.height(), right = -1, bottom = -1;
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* row = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            if (row[x] < 128) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
        }
    }
    if (right < 0) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QImage TInk::Inverted(const QImage& picture) {
    QImage out = picture.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < out.height(); ++y) {
        uchar* row = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x)
            row[x] = row[x] < 128 ? 255 : 0;
    }
    return out;
}

void TInk::Blit(QImage& target, const QImage& source, int x, int y) {
    const QImage src = source.convertToFormat(QImage::Format_Grayscale8);
    for (int sy = 0; sy < src.height(); ++sy) {
        const int ty = y + sy;
        if (ty < 0 || ty >= target.height()) continue;
        const uchar* s = src.constScanLine(sy);
        uchar* t = target.scanLine(ty);
        for (int sx = 0; sx < src.width(); ++sx) {
            const int tx = x + sx;
            if (tx >= 0 && tx < target.width()) t[tx] = s[sx];
        }
    }
}

QImage TInk::Wrapped(const QImage& source, int dx, int dy) {
    const int w = source.width();
    const int h = source.height();
    QImage out = Blank(w, h);
    for (int y = 0; y < h; ++y) {
        const uchar* s = source.constScanLine(y);
        uchar* t = out.scanLine(((y + dy) % h + h) % h);
        for (int x = 0; x < w; ++x)
            t[((x + dx) % w + w) % w] = s[x];
    }
    return out;
}
