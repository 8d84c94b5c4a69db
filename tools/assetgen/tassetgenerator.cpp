#include "tassetgenerator.h"

#include "tarrowrenderer.h"
#include "tbitmapfontrenderer.h"
#include "tbmpwriter.h"
#include "tcontactsheet.h"
#include "tfloorglyphrenderer.h"
#include "tink.h"
#include "tinstallfiles.h"
#include "tmessagerenderer.h"

#include <QDir>
#include <QFile>
#include <QPainterPath>
#include <QPolygonF>

namespace {

const char kLiftStateDir[] = "DefaultImage2/LiftState/";
const char kUserFloorDir[] = "DefaultImage2/UserDefine/Floor/Style";

std::vector<uint8_t> Bytes(const QByteArray& From) {
    return {From.begin(), From.end()};
}

} // namespace

TAssetGenerator::TAssetGenerator(const QString& assetsDir, const QString& previewDir)
    : AssetsDir(assetsDir), PreviewDir(previewDir) {}

bool TAssetGenerator::WriteFile(const QString& relativePath, const QByteArray& bytes) {
    QString error;
    const QString path = QDir(AssetsDir).absoluteFilePath(relativePath);
    if (!TBmpWriter::SaveBytes(path, bytes, &error)) {
        LastErrMsg = error;
        return false;
    }
    Written.insert(QDir::cleanPath(path));
    return true;
}

bool TAssetGenerator::RemoveStaleBitmaps() {
    // The stock folders hold exactly what this run wrote, so a label or message
    // dropped from the generator does not linger in the installation.
    QStringList folders = {QLatin1String(kLiftStateDir), QStringLiteral("DefaultImage2/Logo")};
    for (int style = 0; style < TFloorGlyphRenderer::StyleCount; ++style)
        folders << QLatin1String(kUserFloorDir) + QString::number(style);
    for (const QString& folder : folders) {
        const QDir dir(QDir(AssetsDir).absoluteFilePath(folder));
        for (const QString& name : dir.entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
            const QString path = QDir::cleanPath(dir.absoluteFilePath(name));
            if (!Written.contains(path) && !QFile::remove(path)) {
                LastErrMsg = QStringLiteral("cannot remove the stale file %1").arg(path);
                return false;
            }
        }
    }
    return true;
}

bool TAssetGenerator::WriteBmp(const QString& relativePath, const QImage& picture) {
    return WriteFile(relativePath, TBmpWriter::Encode(picture));
}

bool TAssetGenerator::Put(int group, int index, const QImage& picture) {
    if (!Library.Put(group, index, Bytes(TBmpWriter::Encode(picture)))) {
        LastErrMsg =
            QStringLiteral("library entry (%1, %2) could not be stored").arg(group).arg(index);
        return false;
    }
    return true;
}

bool TAssetGenerator::WriteFloorGlyphs() {
    const TFloorGlyphRenderer renderer(Fonts);
    for (int style = 0; style < TFloorGlyphRenderer::StyleCount; ++style) {
        for (int code = 32; code <= 126; ++code) {
            if (!Put(1 + style, code, renderer.Glyph(style, code))) return false;
        }
    }
    return true;
}

bool TAssetGenerator::WriteArrows() {
    for (int style = 0; style < TArrowRenderer::StyleCount; ++style) {
        for (int frame = 0; frame < TArrowRenderer::FrameCount; ++frame) {
            if (!Put(0, 50 + 20 * style + frame, TArrowRenderer::Frame(style, frame))) return false;
        }
    }
    return true;
}

bool TAssetGenerator::WriteMessages() {
    TMessageRenderer renderer(Fonts);
    for (int state = 0; state < TMessageRenderer::StateCount; ++state) {
        const QStringList names = TMessageRenderer::FileNames(state);
        // Slots A..D: English, Chinese, English inverted, Chinese inverted.
        for (int slot = 0; slot < 4; ++slot) {
            const QImage picture = renderer.Render(state, slot % 2 == 1, slot >= 2);
            if (picture.isNull()) {
                LastErrMsg = renderer.LastErrMsg;
                return false;
            }
            if (!WriteBmp(QLatin1String(kLiftStateDir) + names[slot], picture)) return false;
        }
    }
    return true;
}

bool TAssetGenerator::WriteUserFloors() {
    const TFloorGlyphRenderer renderer(Fonts);
    for (int style = 0; style < TFloorGlyphRenderer::StyleCount; ++style) {
        for (const QString& label : TInstallFiles::UserFloorLabels()) {
            const QString path = QStringLiteral("%1%2/%3.bmp")
                                     .arg(QLatin1String(kUserFloorDir))
                                     .arg(style)
                                     .arg(label);
            if (!WriteBmp(path, renderer.Label(style, label))) return false;
        }
    }
    return true;
}

QImage TAssetGenerator::PositionPicture(int position) {
    const TFloorGlyphRenderer glyphs(Fonts);
    TMessageRenderer messages(Fonts);
    QImage floor = TInk::Blank(64, 64);
    TInk::Blit(floor, glyphs.Glyph(0, '1'), 0, 0);
    TInk::Blit(floor, glyphs.Glyph(0, '2'), 32, 0);
    const QImage arrow = TArrowRenderer::Frame(0, 0);
    const QImage message = messages.Render(0, false, true);

    QImage out = TInk::Blank(64, 128);
    // 16 + 48 + 64 = 128: the three parts stack without gaps.
    const int arrowY[] = {16, 0, 0};
    const int messageY[] = {0, 48, 112};
    const int floorY[] = {64, 64, 48};
    TInk::Blit(out, arrow, 8, arrowY[position]);
    TInk::Blit(out, floor, 0, floorY[position]);
    TInk::Blit(out, message, 0, messageY[position]);
    return out;
}

QImage TAssetGenerator::ScreenPicture() {
    TMessageRenderer messages(Fonts);
    QImage out =
        messages.RenderLines({QStringLiteral("DPU"), QStringLiteral("510TK3")},
                             {TFontSet::SansBold, TFontSet::SansCondensedBold}, 64, 32, 16, 3);
    if (out.isNull()) return out;
    for (int x = 0; x < 64; ++x) {
        out.setPixel(x, 0, 0);
        out.setPixel(x, 31, 0);
    }
    for (int y = 0; y < 32; ++y) {
        out.setPixel(0, y, 0);
        out.setPixel(63, y, 0);
    }
    return out;
}

QImage TAssetGenerator::SampleLogo() {
    QImage out = TInk::Blank(64, 64);
    // Frame 2 pixels wide with an open door inside, arrows above, a caption below.
    QPainterPath frame;
    frame.addRect(QRectF(1, 1, 62, 62));
    frame.addRect(QRectF(3, 3, 58, 58));
    frame.setFillRule(Qt::OddEvenFill);
    TInk::FillPath(out, frame);
    QPainterPath up;
    up.addPolygon(QPolygonF({QPointF(22, 7), QPointF(30, 17), QPointF(14, 17)}));
    QPainterPath down;
    down.addPolygon(QPolygonF({QPointF(34, 7), QPointF(50, 7), QPointF(42, 17)}));
    TInk::FillPath(out, up);
    TInk::FillPath(out, down);
    QPainterPath door;
    door.addRect(QRectF(16, 21, 32, 26));
    door.addRect(QRectF(18, 23, 28, 24));
    door.addRect(QRectF(31, 23, 2, 24));
    door.setFillRule(Qt::OddEvenFill);
    TInk::FillPath(out, door);
    TMessageRenderer messages(Fonts);
    const QImage caption =
        messages.RenderLines({QStringLiteral("LIFT")}, {TFontSet::SansBold}, 56, 12, 12, 1);
    if (!caption.isNull()) TInk::Blit(out, caption, 4, 48);
    return out;
}

bool TAssetGenerator::WriteLibraryExtras() {
    for (int position = 0; position < 3; ++position) {
        if (!Put(0, 30 + position, PositionPicture(position))) return false;
    }
    const QImage screen = ScreenPicture();
    if (screen.isNull()) {
        LastErrMsg = QStringLiteral("the screen picture text does not fit");
        return false;
    }
    if (!Put(0, 40, screen)) return false;

    const TBitmapFontRenderer font(Fonts);
    for (int i = 0; i < TBitmapFontRenderer::SmallGlyphCount; ++i) {
        if (!Put(7, i, font.SmallGlyph(i))) return false;
    }
    const QByteArray characters = font.CharacterBlock();
    const QByteArray auxiliary = font.AuxiliaryBlock();
    if (characters.size() != TBitmapFontRenderer::CharBlockSize ||
        auxiliary.size() != TBitmapFontRenderer::AuxBlockSize) {
        LastErrMsg = QStringLiteral("font blocks have %1 and %2 bytes")
                         .arg(characters.size())
                         .arg(auxiliary.size());
        return false;
    }
    // The character block goes to every entry a configured version names, and to
    // 48, the entry used when the configuration lists no version.
    QList<int> entries = TInstallFiles::CharacterBlockEntries();
    if (!entries.contains(48)) entries << 48;
    for (int entry : entries) {
        if (!Library.Put(0, entry, Bytes(characters))) {
            LastErrMsg = QStringLiteral("character block entry %1 could not be stored").arg(entry);
            return false;
        }
    }
    return Library.Put(0, 41, Bytes(auxiliary));
}

bool TAssetGenerator::WritePreviews() {
    QString error;
    const auto save = [&](const TContactSheet& sheet, const char* name) {
        if (!sheet.Save(QDir(PreviewDir).filePath(QLatin1String(name)), &error)) {
            LastErrMsg = error;
            return false;
        }
        return true;
    };

    const TFloorGlyphRenderer glyphs(Fonts);
    TContactSheet floors(
        QStringLiteral("Floor-label glyphs, 32 x 64, codes 32..126 (library groups 1..4)"), 2);
    for (int style = 0; style < TFloorGlyphRenderer::StyleCount; ++style) {
        QList<QImage> row;
        for (int code = 32; code <= 126; ++code)
            row << glyphs.Glyph(style, code);
        floors.AddRow(TFloorGlyphRenderer::StyleName(style), row);
    }
    if (!save(floors, "floor-glyphs.png")) return false;

    TContactSheet arrows(
        QStringLiteral(
            "Direction arrows, 48 x 48, frames 0..11 (library group 0, entries 50 + 20 s + f)"),
        2);
    for (int style = 0; style < TArrowRenderer::StyleCount; ++style) {
        QList<QImage> row;
        QStringList labels;
        for (int frame = 0; frame < TArrowRenderer::FrameCount; ++frame) {
            row << TArrowRenderer::Frame(style, frame);
            labels << QString::number(50 + 20 * style + frame);
        }
        arrows.AddRow(TArrowRenderer::StyleName(style), row, labels);
    }
    if (!save(arrows, "direction-arrows.png")) return false;

    TMessageRenderer renderer(Fonts);
    TContactSheet messages(
        QStringLiteral("Lift-state messages, 64 x 16 (DefaultImage2/LiftState), slots A B C D"), 3);
    for (int state = 0; state < TMessageRenderer::StateCount; ++state) {
        QList<QImage> row;
        for (int slot = 0; slot < 4; ++slot)
            row << renderer.Render(state, slot % 2 == 1, slot >= 2);
        messages.AddRow(
            QStringLiteral("State %1: %2 / %3")
                .arg(state)
                .arg(TMessageRenderer::Stem(state, false), TMessageRenderer::Stem(state, true)),
            row, TMessageRenderer::FileNames(state));
    }
    if (!save(messages, "lift-state-messages.png")) return false;

    TContactSheet other(
        QStringLiteral("User floor bitmaps, positions, screen picture and small glyphs"), 2);
    for (int style = 0; style < TFloorGlyphRenderer::StyleCount; ++style) {
        QList<QImage> row;
        for (const QString& label : TInstallFiles::UserFloorLabels())
            row << glyphs.Label(style, label);
        other.AddRow(QStringLiteral("UserDefine/Floor/Style%1, 64 x 64").arg(style), row,
                     TInstallFiles::UserFloorLabels());
    }
    other.AddRow(
        QStringLiteral("Message positions 0, 1, 2 (entries 30..32, 64 x 128) and screen picture "
                       "(entry 40, 64 x 32), sample logo"),
        {PositionPicture(0), PositionPicture(1), PositionPicture(2), ScreenPicture(), SampleLogo()},
        {QStringLiteral("30"), QStringLiteral("31"), QStringLiteral("32"), QStringLiteral("40"),
         QStringLiteral("Logo/LOGO-64x64")});
    const TBitmapFontRenderer font(Fonts);
    QList<QImage> small;
    QStringList smallLabels;
    for (int i = 0; i < TBitmapFontRenderer::SmallGlyphCount; ++i) {
        small << font.SmallGlyph(i);
        smallLabels << QString::number(i);
    }
    other.AddRow(QStringLiteral("Small glyphs, 8 x 8 (group 7, entries 0..38)"), small, smallLabels,
                 4);
    if (!save(other, "user-floors-and-small-glyphs.png")) return false;

    TContactSheet blocks(QStringLiteral("Font blocks: character block 16 x 16 (entry 48), "
                                        "auxiliary block 8 x 8 (entry 41), codes 32..255"),
                         2);
    QList<QImage> big, little;
    for (int code = TBitmapFontRenderer::FirstCode; code <= TBitmapFontRenderer::LastCode; ++code) {
        big << font.Cell(code, 16);
        little << font.Cell(code, 8);
    }
    blocks.AddRow(QStringLiteral("Character block"), big);
    blocks.AddRow(QStringLiteral("Auxiliary block"), little, {}, 4);
    return save(blocks, "font-blocks.png");
}

bool TAssetGenerator::Run() {
    if (!Fonts.Load()) {
        LastErrMsg = Fonts.LastErrMsg;
        return false;
    }
    if (!WriteFloorGlyphs() || !WriteArrows() || !WriteLibraryExtras() || !WriteMessages() ||
        !WriteUserFloors())
        return false;
    const std::vector<uint8_t> library = Library.Build();
    if (!WriteFile(QStringLiteral("D510TK3.GLB"),
                   QByteArray(reinterpret_cast<const char*>(library.data()),
                              static_cast<qsizetype>(library.size()))))
        return false;
    if (!WriteBmp(QStringLiteral("SPACE_240x240.bmp"), TInk::Blank(240, 240))) return false;
    if (!WriteBmp(QStringLiteral("DefaultImage2/Logo/LOGO-64x64.bmp"), SampleLogo())) return false;
    if (!WriteFile(QStringLiteral("ORVDVE510TK3.INI"), TInstallFiles::ConfigFile())) return false;
    if (!WriteFile(QStringLiteral("sample.dcf"), TInstallFiles::SampleProject())) return false;
    return RemoveStaleBitmaps() && WritePreviews();
}
