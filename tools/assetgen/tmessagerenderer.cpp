#include "tmessagerenderer.h"

#include "tink.h"

namespace {

struct StateText {
    const char* StemEn;
    const char* StemCht;
    const char* English;
    const char* Chinese; // UTF-8
};

const StateText kStates[TMessageRenderer::StateCount] = {
    {"FIRE", "FIRE", "FIRE", "火警"},
    {"QUAKE", "QUAKE", "EARTHQUAKE", "地震"},
    {"ALARM", "BREAKDOWN", "ALARM", "故障"},
    {"OUT_OF_SERVICE", "OUT_OF_SERVICE", "OUT OF\nSERVICE", "暫停服務"},
    {"OVERLOAD", "OVERLOAD", "OVERLOAD", "超載"},
    {"MAINTAIN", "MAINTAIN", "MAINTENANCE", "保養中"},
    {"FULL", "FULL", "FULL", "滿載"},
    {"VIP", "VIP", "VIP", "貴賓專用"},
    {"PARKING", "PARKING", "PARKING", "停車中"},
    {"IND", "IND", "INDEPENDENT\nSERVICE", "獨立運轉"},
};

} // namespace

TMessageRenderer::TMessageRenderer(const TFontSet& fonts) : Fonts(fonts) {}

QString TMessageRenderer::Stem(int state, bool chinese) {
    return QString::fromLatin1(chinese ? kStates[state].StemCht : kStates[state].StemEn);
}

QStringList TMessageRenderer::FileNames(int state) {
    return {Stem(state, false) + QStringLiteral("-16x64_EN.bmp"),
            Stem(state, true) + QStringLiteral("-16x64_CHT.bmp"),
            Stem(state, false) + QStringLiteral("-INV-16x64_EN.bmp"),
            Stem(state, true) + QStringLiteral("-INV-16x64_CHT.bmp")};
}

QString TMessageRenderer::Text(int state, bool chinese) {
    return chinese ? QString::fromUtf8(kStates[state].Chinese)
                   : QString::fromLatin1(kStates[state].English);
}

QImage TMessageRenderer::FitLine(const QString& line, const QList<TFontSet::Face>& faces,
                                 int maxWidth, int maxHeight, int pixelSize) const {
    // Drawn on a roomy scratch picture and measured by its ink, since hinting moves
    // the outline by whole pixels.
    for (TFontSet::Face face : faces) {
        const QRawFont font = Fonts.Raw(face, pixelSize, true);
        QImage scratch = TInk::Blank(4 * pixelSize * (line.size() + 1), 3 * pixelSize);
        TInk::DrawText(scratch, font, line, pixelSize, 2 * pixelSize);
        const QRect ink = TInk::InkBounds(scratch);
        if (ink.isEmpty()) return {};
        if (ink.width() <= maxWidth && ink.height() <= maxHeight) return scratch.copy(ink);
    }
    return {};
}

QImage TMessageRenderer::RenderLines(const QStringList& lines, const QList<TFontSet::Face>& faces,
                                     int w, int h, int maxPixelSize, int border) const {
    // A single line keeps the border; stacked lines share all rows, each followed
    // by one blank row. All lines take the largest size at which every one fits.
    const int slot = lines.size() == 1 ? h - 2 * border : h / lines.size();
    const int maxHeight = lines.size() == 1 ? slot : slot - 1;
    for (int size = maxPixelSize; size >= 6; --size) {
        QList<QImage> parts;
        for (const QString& line : lines) {
            const QImage part = FitLine(line, faces, w - 2 * border, maxHeight, size);
            if (part.isNull()) break;
            parts.append(part);
        }
        if (parts.size() != lines.size()) continue;
        QImage out = TInk::Blank(w, h);
        for (int i = 0; i < parts.size(); ++i) {
            const QImage& part = parts[i];
            const int x = (w - part.width()) / 2;
            const int y = lines.size() == 1 ? (h - part.height()) / 2
                                            : i * slot + (slot - 1 - part.height()) / 2;
            TInk::Blit(out, part, x, y);
        }
        return out;
    }
    return {};
}

QImage TMessageRenderer::Render(int state, bool chinese, bool inverted) {
    const QString text = Text(state, chinese);
    QImage out;
    if (chinese) {
        out = RenderLines({text}, {TFontSet::CjkSansTC}, Width, Height, 16, 0);
    } else {
        out = RenderLines(text.split(QLatin1Char('\n')),
                          {TFontSet::SansBold, TFontSet::SansCondensedBold}, Width, Height, 16, 1);
    }
    if (out.isNull()) {
        LastErrMsg =
            QStringLiteral("message \"%1\" does not fit %2 x %3").arg(text).arg(Width).arg(Height);
        return {};
    }
    return inverted ? TInk::Inverted(out) : out;
}
