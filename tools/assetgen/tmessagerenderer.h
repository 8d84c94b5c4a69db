#pragma once

#include "tfontset.h"

#include <QImage>
#include <QString>
#include <QStringList>

// Draws the 64 x 16 lift-state message bitmaps: English text in a hinted bold
// sans face (one line, or two stacked lines for the long texts) and traditional
// Chinese text in a CJK face, each at the largest size that fits, centred; the
// inverted variant is the same picture with black and white exchanged.
class TMessageRenderer {
public:
    static constexpr int Width = 64;
    static constexpr int Height = 16;
    static constexpr int StateCount = 10;

    explicit TMessageRenderer(const TFontSet& fonts);

    // File-name stem of state `state` (0..9) for the English or the Chinese set,
    // for example "ALARM" and "BREAKDOWN" for state 2.
    static QString Stem(int state, bool chinese);

    // The four stock file names of a state in slot order A, B, C, D.
    static QStringList FileNames(int state);

    // The text shown for a state; lines are separated by '\n'.
    static QString Text(int state, bool chinese);

    // The message picture. Returns a null image when the text cannot be fitted
    // (the reason is in LastErrMsg).
    QImage Render(int state, bool chinese, bool inverted);

    // Renders `lines` centred into a w x h picture with the largest hinted size of
    // `faces` that fits, keeping `border` blank rows above and below a single line;
    // a null image when none fits.
    QImage RenderLines(const QStringList& lines, const QList<TFontSet::Face>& faces, int w, int h,
                       int maxPixelSize, int border) const;

    QString LastErrMsg;

private:
    QImage FitLine(const QString& line, const QList<TFontSet::Face>& faces, int maxWidth,
                   int maxHeight, int pixelSize) const;

    const TFontSet& Fonts;
};
