#include "rom/bitmapconversion.h"
#include "support/packinghelpers.h"
#include "rom/erombuild.h"
#include "util/fileaccess.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using DpuRom::ConvertBitmap;
using DpuRom::ERomBuild;
using DpuRom::PackBitmap;
using DpuRom::PackBitmapRotated;
using DpuRom::PackImage;
using DpuRom::PackImageRotated;
using YVclUtil::ReadWholeFile;

namespace {

QImage White(int w, int h, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    image.fill(Qt::white);
    return image;
}

std::vector<uint8_t> Header(int w, int h) {
    return {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>(w >> 8),
            static_cast<uint8_t>(h & 0xFF), static_cast<uint8_t>(h >> 8)};
}

std::vector<uint8_t> Head(const std::vector<uint8_t>& packed) {
    return {packed.begin(), packed.begin() + 4};
}

// The packing rule written out pixel by pixel, to compare the fast paths against.
std::vector<uint8_t> Reference(const QImage& image, bool rotate) {
    const int ws = image.width(), hs = image.height();
    const int w = rotate ? hs : ws, h = rotate ? ws : hs;
    std::vector<uint8_t> out = Header(w, h);
    out.resize(4 + static_cast<size_t>(w) * h / 8, 0);
    for (int b = 0; b < h / 8; ++b)
        for (int x = 0; x < w; ++x) {
            uint8_t byte = 0;
            for (int k = 0; k < 8; ++k) {
                const int y = 8 * b + k;
                const QRgb p = rotate ? image.pixel(ws - 1 - y, x) : image.pixel(x, y);
                byte >>= 1;
                if (qRed(p) == 0 && qGreen(p) == 0 && qBlue(p) == 0) byte |= 0x80;
            }
            out[4 + static_cast<size_t>(b) * w + x] = byte;
        }
    return out;
}

QImage Noise(int w, int h, QImage::Format format, unsigned seed) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            const bool black = (seed >> 16) & 1;
            const int alpha = (seed >> 20) & 0xFF;
            image.setPixel(x, y,
                           black ? qRgba(0, 0, 0, alpha) : qRgba((seed >> 8) & 1, 0, 0, alpha));
        }
    return format == QImage::Format_ARGB32 ? image : image.convertToFormat(format);
}

} // namespace

TEST(PackImage, Plain64x16HasHeaderAndTwoBands) {
    QImage image = White(64, 16);
    image.setPixel(3, 0, qRgb(0, 0, 0));  // band 0, column 3, bit 0
    image.setPixel(5, 15, qRgb(0, 0, 0)); // band 1, column 5, bit 7
    const std::vector<uint8_t> packed = PackImage(image, "t");
    ASSERT_EQ(packed.size(), 4u + 128u);
    EXPECT_EQ(Head(packed), Header(64, 16));
    for (size_t i = 4; i < packed.size(); ++i) {
        const uint8_t expected = i == 4 + 3 ? 0x01 : i == 4 + 64 + 5 ? 0x80 : 0x00;
        EXPECT_EQ(packed[i], expected) << "byte " << i;
    }
}

TEST(PackImage, Rotated64x16SwapsSidesAndPutsTopLeftInLastBand) {
    QImage image = White(64, 16);
    image.setPixel(0, 0, qRgb(0, 0, 0));
    const std::vector<uint8_t> plain = PackImage(image, "t");
    EXPECT_EQ(plain[4], 0x01);
    for (size_t i = 5; i < plain.size(); ++i)
        ASSERT_EQ(plain[i], 0) << i;

    const std::vector<uint8_t> turned = PackImageRotated(image, "t");
    ASSERT_EQ(turned.size(), 4u + 128u);
    EXPECT_EQ(Head(turned), Header(16, 64));
    // Eight bands of 16 columns; the top-left source pixel ends bottom-left.
    const size_t lastBandFirst = 4 + 7 * 16;
    for (size_t i = 4; i < turned.size(); ++i)
        EXPECT_EQ(turned[i], i == lastBandFirst ? 0x80 : 0x00) << "byte " << i;
}

TEST(PackImage, OnlyPureBlackIsLitWhateverTheAlpha) {
    QImage image = White(8, 8, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgb(0, 0, 1)); // nearly black: unlit
    image.setPixel(1, 0, qRgb(1, 0, 0));
    image.setPixel(2, 0, qRgba(0, 0, 0, 0)); // transparent black: lit
    image.setPixel(3, 0, qRgba(0, 0, 0, 128));
    image.setPixel(4, 0, qRgb(0x10, 0x10, 0x10)); // dark grey: unlit
    const std::vector<uint8_t> packed = PackImage(image, "t");
    EXPECT_EQ(packed[4 + 0], 0);
    EXPECT_EQ(packed[4 + 1], 0);
    EXPECT_EQ(packed[4 + 2], 1);
    EXPECT_EQ(packed[4 + 3], 1);
    EXPECT_EQ(packed[4 + 4], 0);
}

TEST(PackImage, MatchesThePixelRuleForEveryLayoutAndOddSizes) {
    const QImage::Format formats[] = {QImage::Format_ARGB32,   QImage::Format_RGB32,
                                      QImage::Format_RGB888,   QImage::Format_RGB16,
                                      QImage::Format_Indexed8, QImage::Format_Mono};
    const int sizes[][2] = {{64, 16}, {13, 21}, {7, 9}, {1, 8}, {33, 64}};
    unsigned seed = 1;
    for (QImage::Format format : formats)
        for (const auto& size : sizes) {
            const QImage image = Noise(size[0], size[1], format, seed++);
            SCOPED_TRACE(testing::Message()
                         << "format " << format << " size " << size[0] << "x" << size[1]);
            EXPECT_EQ(PackImage(image, "t"), Reference(image, false));
            EXPECT_EQ(PackImageRotated(image, "t"), Reference(image, true));
        }
}

TEST(PackImage, PartialBandKeepsTheByteCountAndZeroFill) {
    QImage black(10, 12, QImage::Format_RGB32);
    black.fill(Qt::black);
    const std::vector<uint8_t> packed = PackImage(black, "t");
    // floor(10 * 12 / 8) = 15 bytes: one band of 10, then 5 bytes not encoded.
    ASSERT_EQ(packed.size(), 4u + 15u);
    for (size_t i = 4; i < 14; ++i)
        EXPECT_EQ(packed[i], 0xFF);
    for (size_t i = 14; i < packed.size(); ++i)
        EXPECT_EQ(packed[i], 0x00);
    // Fewer than eight rows: no band at all, still W * H / 8 bytes.
    EXPECT_EQ(PackImage(White(16, 4), "t").size(), 4u + 8u);
    EXPECT_EQ(PackImageRotated(White(4, 16), "t").size(), 4u + 8u);
}

TEST(ConvertBitmap, FilesRoundTripAndDispHvChoosesTheTurn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string source = dir.filePath("logo.bmp").toStdString();
    QImage logo = White(64, 64);
    logo.setPixel(63, 0, qRgb(0, 0, 0));
    ASSERT_TRUE(logo.save(QString::fromStdString(source), "BMP"));
    // A 1-bit bitmap on disk too: the palette decides black.
    const std::string mono = dir.filePath("mono.bmp").toStdString();
    ASSERT_TRUE(
        logo.convertToFormat(QImage::Format_Mono).save(QString::fromStdString(mono), "BMP"));

    for (const std::string& file : {source, mono}) {
        const std::string target = dir.filePath("SCR").toStdString();
        ConvertBitmap(file, target, 0);
        std::vector<uint8_t> data;
        std::string error;
        ASSERT_TRUE(ReadWholeFile(target, data, error)) << error;
        ASSERT_EQ(data.size(), 516u);
        EXPECT_EQ(Head(data), Header(64, 64));
        EXPECT_EQ(data[4 + 63], 0x01);

        ConvertBitmap(file, target, 1);
        ASSERT_TRUE(ReadWholeFile(target, data, error)) << error;
        ASSERT_EQ(data.size(), 516u);
        // Source (63, 0) is packed pixel (0, 0) after the quarter turn.
        EXPECT_EQ(data[4], 0x01);

        PackBitmap(file, target);
        ASSERT_TRUE(ReadWholeFile(target, data, error));
        EXPECT_EQ(data[4 + 63], 0x01);
        PackBitmapRotated(file, target);
        ASSERT_TRUE(ReadWholeFile(target, data, error));
        EXPECT_EQ(data[4], 0x01);
    }
}

TEST(ConvertBitmap, UnloadableSourceNamesTheFileAndWritesNoTarget) {
    QTemporaryDir dir;
    const std::string target = dir.filePath("UBF_0").toStdString();
    const std::string missing = dir.filePath("missing.bmp").toStdString();
    const std::string junk = dir.filePath("junk.bmp").toStdString();
    {
        QFile f(QString::fromStdString(junk));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("BM this is not a bitmap at all");
    }
    for (const std::string& source : {missing, junk}) {
        try {
            ConvertBitmap(source, target, 1);
            FAIL() << "no error for " << source;
        } catch (const ERomBuild& e) {
            EXPECT_NE(e.Message.find(source), std::string::npos) << e.Message;
            EXPECT_EQ(e.Caption, "Error");
        }
        EXPECT_FALSE(QFile::exists(QString::fromStdString(target)));
    }
}

TEST(ConvertBitmap, UnwritableTargetIsReported) {
    QTemporaryDir dir;
    const std::string source = dir.filePath("a.bmp").toStdString();
    ASSERT_TRUE(White(8, 8).save(QString::fromStdString(source), "BMP"));
    EXPECT_THROW(ConvertBitmap(source, dir.filePath("no/such/folder/SCR").toStdString(), 0),
                 ERomBuild);
}

TEST(PackImage, ShortOrMissingColourTablesReadLikeTheConverter) {
    QImage indexed(16, 8, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    indexed.fill(0);
    indexed.setPixel(1, 0, 1);
    indexed.scanLine(2)[3] = 7; // past the table
    QImage grey(16, 8, QImage::Format_Indexed8);
    grey.setColorTable({});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            grey.scanLine(y)[x] = static_cast<uchar>(x * 16 + y);
    QImage mono(16, 8, QImage::Format_Mono);
    mono.fill(1);
    mono.setColorTable({});
    mono.scanLine(4)[0] = 0x7F; // pixel (0, 4) has index 0
    // An index past the table reads as black, as the converter pads it.
    EXPECT_EQ(PackImage(indexed, "t")[4 + 3], 0x04);
    EXPECT_EQ(PackImage(mono, "t")[4 + 0], 0x10);
    for (const QImage& image : {indexed, grey, mono}) {
        const QImage words = image.convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(PackImage(image, "t"), Reference(words, false));
        EXPECT_EQ(PackImageRotated(image, "t"), Reference(words, true));
    }
}
