#pragma once

#include "tfontset.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Draws small fixed-cell characters with a hinted monospaced face: the 39 small
// glyphs (8 x 8) and the two raw font blocks the display keeps for its own text,
// the character block (16 x 16 cells) and the auxiliary block (8 x 8 cells), both
// for the codes 32..255 (ISO 8859-1; 127..159 are blank) in the packed column
// format, one cell after the other.
class TBitmapFontRenderer {
public:
    static constexpr int SmallGlyphCount = 39;
    static constexpr int FirstCode = 32;
    static constexpr int LastCode = 255;
    static constexpr int CharBlockSize = 7168;
    static constexpr int AuxBlockSize = 1792;

    explicit TBitmapFontRenderer(const TFontSet& fonts);

    // The character shown by small glyph `index`: digits 0-9, letters A-Z, then
    // '-', '/', ':' (for dates and times).
    static QChar SmallGlyphChar(int index);

    // Small glyph `index` (0..38) as an 8 x 8 picture.
    QImage SmallGlyph(int index) const;

    // Character `code` in a cell of cellSize x cellSize pixels (8 or 16).
    QImage Cell(int code, int cellSize) const;

    // The raw blocks: 224 cells of 32 bytes (7168) and of 8 bytes (1792).
    QByteArray CharacterBlock() const;
    QByteArray AuxiliaryBlock() const;

private:
    const TFontSet& Fonts;
};
