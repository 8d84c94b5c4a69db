#include "tbitmapfontrenderer.h"

#include "tcolumnpacker.h"
#include "tink.h"

TBitmapFontRenderer::TBitmapFontRenderer(const TFontSet& fonts) : Fonts(fonts) {}

QChar TBitmapFontRenderer::SmallGlyphChar(int index) {
    if (index < 10) return QChar('0' + index);
    if (index < 36) return QChar('A' + index - 10);
    static const char kSigns[] = {'-', '/', ':'};
    return QChar(kSigns[index - 36]);
}

QImage TBitmapFontRenderer::SmallGlyph(int index) const {
    return Cell(SmallGlyphChar(index).unicode(), 8);
}

QImage TBitmapFontRenderer::Cell(int code, int cellSize) const {
    QImage out = TInk::Blank(cellSize, cellSize);
    if (code <= 32 || (code >= 127 && code <= 160)) return out;
    // 8-pixel cells: capitals 7 rows high from the top row. 16-pixel cells:
    // capitals 10 rows high from row 3, leaving room for accents above and
    // descenders below.
    const bool small = cellSize == 8;
    const int pixelSize = small ? 9 : 14;
    const int baseline = small ? 7 : 13;
    // The 8-pixel cells use a proportional bold face: its zero has no inner dot
    // that would make it read as an eight at this size.
    const TFontSet::Face face = small ? TFontSet::SansBold : TFontSet::SansMono;
    const QString text = QString(QChar(ushort(code)));
    QImage scratch = TInk::Blank(cellSize * 3, cellSize * 2);
    TInk::DrawText(scratch, Fonts.Raw(face, pixelSize, true), text, cellSize, baseline);
    const QRect ink = TInk::InkBounds(scratch);
    if (ink.isEmpty()) return out;
    // Centred by ink across the cell, so narrow signs do not lean to one side.
    const int x = (cellSize - ink.width()) / 2 - ink.left();
    TInk::Blit(out, scratch, x, 0);
    return out;
}

QByteArray TBitmapFontRenderer::CharacterBlock() const {
    QByteArray block;
    for (int code = FirstCode; code <= LastCode; ++code)
        block.append(TColumnPacker::Pack(Cell(code, 16)));
    return block;
}

QByteArray TBitmapFontRenderer::AuxiliaryBlock() const {
    QByteArray block;
    for (int code = FirstCode; code <= LastCode; ++code)
        block.append(TColumnPacker::Pack(Cell(code, 8)));
    return block;
}
