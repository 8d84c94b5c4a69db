// The generator's own writers: the 1-bit bitmap encoder and the library layout.
#include "tbmpwriter.h"
#include "tcolumnpacker.h"

#include "rom/bitmapconversion.h"
#include "rom/tglyphlibrarywriter.h"
#include "rom/tmonobmpwriter.h"
#include "support/packinghelpers.h"
#include "rom/glyphlibrary.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

using DpuRom::GlyphLibrary;
using DpuRom::PackImage;

namespace {

QImage Pattern(int w, int h) {
    QImage picture(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.scanLine(y)[x] = ((x * 7 + y * 3) % 5 == 0 || x == y) ? 0 : 255;
    return picture;
}

} // namespace

TEST(BmpWriter, OneBitFileLoadsBackPixelForPixelWithPaddedRows) {
    // Widths around the 32-pixel row padding and a one-pixel picture.
    for (QSize size : {QSize(1, 1), QSize(13, 5), QSize(32, 3), QSize(33, 9), QSize(64, 16)}) {
        const QImage source = Pattern(size.width(), size.height());
        const QByteArray bytes = TBmpWriter::Encode(source);
        const int rowBytes = (size.width() + 31) / 32 * 4;
        ASSERT_EQ(bytes.size(), 62 + rowBytes * size.height());
        EXPECT_EQ(bytes.left(2), QByteArray("BM"));
        EXPECT_EQ(uchar(bytes[28]), 1); // bits per pixel

        QImage loaded;
        ASSERT_TRUE(loaded.loadFromData(bytes, "BMP")) << size.width() << "x" << size.height();
        ASSERT_EQ(loaded.size(), size);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const bool black = source.constScanLine(y)[x] < 128;
                EXPECT_EQ(loaded.pixel(x, y) & 0xFFFFFF, black ? 0u : 0xFFFFFFu) << x << "," << y;
            }
        EXPECT_EQ(TBmpWriter::Encode(source), bytes); // same input, same bytes
    }
    EXPECT_TRUE(TBmpWriter::Encode(QImage()).isEmpty());
}

// One 1-bit writer: the generator's files are the program's writer's bytes.
TEST(BmpWriter, WritesThroughTheProgramsOneBitWriter) {
    const QImage source = Pattern(33, 9);
    const std::vector<uint8_t> theirs = DpuRom::TMonoBmpWriter::Encode(
        33, 9, [&](int X, int Y) { return source.constScanLine(Y)[X] < 128; });
    EXPECT_EQ(TBmpWriter::Encode(source), QByteArray(reinterpret_cast<const char*>(theirs.data()),
                                                     static_cast<qsizetype>(theirs.size())));
}

TEST(BmpWriter, DarkGreyCountsAsBlackOnlyBelowHalf) {
    QImage picture(2, 1, QImage::Format_Grayscale8);
    picture.scanLine(0)[0] = 127;
    picture.scanLine(0)[1] = 128;
    QImage loaded;
    ASSERT_TRUE(loaded.loadFromData(TBmpWriter::Encode(picture), "BMP"));
    EXPECT_EQ(loaded.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(loaded.pixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(ColumnPacker, MatchesTheRomBuildersPacking) {
    const QImage source = Pattern(16, 16);
    const QByteArray mine = TColumnPacker::Pack(source);
    QImage loaded;
    ASSERT_TRUE(loaded.loadFromData(TBmpWriter::Encode(source), "BMP"));
    const std::vector<uint8_t> theirs = PackImage(loaded, "pattern");
    ASSERT_EQ(theirs.size(), size_t(4 + mine.size()));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(theirs.data()) + 4, mine.size()), mine);
}

TEST(GlyphLibraryWriter, DirectoryIsBigEndianAndReadByTheLibraryLoader) {
    const auto text = [](const char* Text) {
        return std::vector<uint8_t>(Text, Text + std::strlen(Text));
    };
    DpuRom::TGlyphLibraryWriter writer;
    EXPECT_FALSE(writer.Put(8, 0, text("x")));
    EXPECT_FALSE(writer.Put(-1, 0, text("x")));
    EXPECT_FALSE(writer.Put(0, 256, text("x")));
    EXPECT_FALSE(writer.Put(0, 1, {}));
    ASSERT_TRUE(writer.Put(1, 48, std::vector<uint8_t>(300, 'a')));
    ASSERT_TRUE(writer.Put(0, 40, text("screen")));
    ASSERT_TRUE(writer.Put(7, 38, text("last")));
    ASSERT_TRUE(writer.Put(0, 40, text("screen2"))); // replaces
    const std::vector<uint8_t> built = writer.Build();
    const QByteArray file(reinterpret_cast<const char*>(built.data()),
                          static_cast<qsizetype>(built.size()));
    EXPECT_EQ(file.left(8), QByteArray("DPUGLB\x01\x00", 8));

    const int directoryEnd = 8 + 8 * 2048;
    // Payloads follow the directory in (group, index) order: (0,40), (1,48), (7,38).
    const auto be32 = [&](int at) {
        return (quint32(uchar(file[at])) << 24) | (quint32(uchar(file[at + 1])) << 16) |
               (quint32(uchar(file[at + 2])) << 8) | quint32(uchar(file[at + 3]));
    };
    EXPECT_EQ(be32(328), quint32(directoryEnd));
    EXPECT_EQ(be32(332), 7u);
    EXPECT_EQ(be32(2440), quint32(directoryEnd + 7));
    EXPECT_EQ(be32(2444), 300u);
    EXPECT_EQ(be32(336 + 4), 0u); // (0, 41) absent
    EXPECT_EQ(file.size(), directoryEnd + 7 + 300 + 4);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("T.GLB");
    std::string reason;
    ASSERT_TRUE(writer.Save(path.toStdString(), reason)) << reason;
    EXPECT_FALSE(writer.Save(dir.filePath("no/such/T.GLB").toStdString(), reason));
    EXPECT_FALSE(reason.empty());
    GlyphLibrary library;
    ASSERT_TRUE(library.Load(path.toStdString()));
    const std::vector<uint8_t> last = library.EntryBytes(7, 38);
    EXPECT_EQ(std::string(last.begin(), last.end()), "last");
    EXPECT_TRUE(library.EntryBytes(0, 41).empty());
}

TEST(BmpWriter, SaveReportsAFolderThatCannotBeMade) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString blocker = dir.filePath("file");
    ASSERT_TRUE(TBmpWriter::SaveBytes(blocker, "x"));
    QString error;
    EXPECT_FALSE(TBmpWriter::Save(blocker + "/sub/a.bmp", Pattern(4, 4), &error));
    EXPECT_FALSE(error.isEmpty());
}
