#pragma once

#include "tfontset.h"
#include "rom/tglyphlibrarywriter.h"

#include <QImage>
#include <QSet>
#include <QString>

// Renders and writes every installation file into an assets folder (glyph
// library, stock lift-state bitmaps, user floor bitmaps, blank logo,
// configuration file, sample project) and the preview pages into a docs folder.
class TAssetGenerator {
public:
    TAssetGenerator(const QString& assetsDir, const QString& previewDir);

    // Writes everything. Returns false at the first failure, with the reason in
    // LastErrMsg; files written before the failure stay.
    bool Run();

    // The three message-position pictures (64 x 128): the display's stack of
    // arrow, floor label and message, with the message at the top, in the
    // middle or at the bottom.
    QImage PositionPicture(int position);

    // The screen picture (64 x 32).
    QImage ScreenPicture();

    // A sample customer logo (64 x 64): a lift car with its call arrows.
    QImage SampleLogo();

    QString LastErrMsg;

private:
    bool WriteBmp(const QString& relativePath, const QImage& picture);
    bool WriteFile(const QString& relativePath, const QByteArray& bytes);
    bool Put(int group, int index, const QImage& picture);
    bool WriteFloorGlyphs();
    bool WriteArrows();
    bool WriteMessages();
    bool WriteUserFloors();
    bool WriteLibraryExtras();
    bool WritePreviews();
    bool RemoveStaleBitmaps();

    QString AssetsDir;
    QString PreviewDir;
    TFontSet Fonts;
    DpuRom::TGlyphLibraryWriter Library;
    QSet<QString> Written; // absolute paths of the files of this run
};
