// The one-step converter decodes plain bitmaps itself; whatever it decodes
// must come out byte for byte as the picture loader's path gives it, and
// whatever it refuses must be refused with the loader's message.

#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"
#include "rom/filehelpers.h"
#include "project/dputext.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using DpuRom::ERomBuild;
using DpuRom::ConvertImage;
using DpuRom::LoadPictureData;
using DpuRom::ConvertPictureData;
using DpuRom::ConvertPictureFile;
using DpuRom::ReadWholeFile;
using DpuRom::RegularFileSize;
namespace DpuText = DpuProject::DpuText;

namespace {

struct TOutcome {
    std::vector<uint8_t> Packed;
    std::string Error;
    bool operator==(const TOutcome&) const = default;
};

TOutcome ThroughLoader(const std::vector<uint8_t>& Bytes, int DispHv) {
    TOutcome o;
    try {
        o.Packed = ConvertImage(LoadPictureData(Bytes.data(), Bytes.size(), "p"), DispHv, "p");
    } catch (const ERomBuild& e) {
        o.Error = e.Caption + "|" + e.Message;
    }
    return o;
}

TOutcome OneStep(const std::vector<uint8_t>& Bytes, int DispHv) {
    TOutcome o;
    try {
        o.Packed = ConvertPictureData(Bytes.data(), Bytes.size(), DispHv, "p", "p");
    } catch (const ERomBuild& e) {
        o.Error = e.Caption + "|" + e.Message;
    }
    return o;
}

void ExpectSame(const std::vector<uint8_t>& Bytes, const std::string& What) {
    for (int turn = 0; turn < 2; ++turn) {
        const TOutcome loader = ThroughLoader(Bytes, turn);
        const TOutcome direct = OneStep(Bytes, turn);
        EXPECT_EQ(direct.Error, loader.Error) << What << " turn " << turn;
        EXPECT_TRUE(direct.Packed == loader.Packed) << What << " turn " << turn;
    }
}

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// A 40-byte-header bitmap written field by field, so odd but loadable
// layouts can be made: short colour tables, gaps before the pixels,
// top-down rows, indexes past the table, non-black palette padding bytes.
std::vector<uint8_t> Bmp(int W, int H, int Bits, uint32_t Colours, const std::vector<uint32_t>& Palette,
                         uint32_t Gap, unsigned Seed) {
    const size_t rowBytes = ((static_cast<size_t>(W) * Bits + 31) / 32) * 4;
    const size_t rows = static_cast<size_t>(H < 0 ? -H : H);
    const size_t pixelsAt = 54 + 4 * Palette.size() + Gap;
    std::vector<uint8_t> b(pixelsAt + rowBytes * rows, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, static_cast<uint32_t>(pixelsAt));
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<uint32_t>(W));
    Put32(b, 22, static_cast<uint32_t>(H));
    Put16(b, 26, 1);
    Put16(b, 28, static_cast<uint32_t>(Bits));
    Put32(b, 46, Colours);
    for (size_t i = 0; i < Palette.size(); ++i)
        Put32(b, 54 + 4 * i, Palette[i]);
    for (size_t i = pixelsAt; i < b.size(); ++i) {
        Seed = Seed * 1103515245u + 12345u;
        // Mostly zero bytes, so black runs (and all-zero colour words) are common.
        b[i] = (Seed >> 16) % 3 == 0 ? static_cast<uint8_t>(Seed >> 8) : 0;
    }
    return b;
}

} // namespace

TEST(ConvertPictureData, MatchesTheLoaderForEveryPlainLayout) {
    const std::vector<uint32_t> mono = {0x00000000, 0x00FFFFFF};
    const std::vector<uint32_t> monoInverted = {0x00FFFFFF, 0xAB000000};
    std::vector<uint32_t> sixteen, full;
    for (uint32_t i = 0; i < 16; ++i)
        sixteen.push_back(i % 3 ? i * 0x00111111 : 0xFF000000u * (i & 1));
    for (uint32_t i = 0; i < 256; ++i)
        full.push_back(i % 5 ? i * 0x00010203 : 0);
    struct TCase {
        int Bits;
        uint32_t Colours;
        std::vector<uint32_t> Palette;
    };
    const std::vector<TCase> cases = {
        {1, 0, mono}, {1, 2, monoInverted}, {1, 1, {0}}, {1, 1, {0x00FFFFFF}}, {4, 0, sixteen},
        {4, 5, {0, 0x00FFFFFF, 0x0000FF00, 0, 0x00010000}}, {8, 0, full}, {8, 3, {0x00FFFFFF, 0, 0x00000100}},
        {24, 0, {}}};
    const int sizes[][2] = {{64, 64}, {1, 1}, {7, 9}, {8, 8}, {13, 17}, {33, 7}, {9, -16}, {64, -5}, {31, 40}};
    unsigned seed = 1;
    for (const TCase& c : cases)
        for (const auto& size : sizes)
            for (uint32_t gap : {0u, 6u}) {
                const std::string what = std::to_string(c.Bits) + " bits, " + std::to_string(c.Colours) +
                                         " colours, " + std::to_string(size[0]) + " x " + std::to_string(size[1]) +
                                         ", gap " + std::to_string(gap);
                ExpectSame(Bmp(size[0], size[1], c.Bits, c.Colours, c.Palette, gap, seed++), what);
            }
}

TEST(ConvertPictureData, DamagedHeadersAreLeftToTheLoader) {
    const std::vector<uint8_t> good = Bmp(16, 16, 1, 0, {0, 0x00FFFFFF}, 0, 7);
    ExpectSame(good, "good");
    auto damaged = [&](size_t at, uint32_t value, bool wide) {
        std::vector<uint8_t> b = good;
        wide ? Put32(b, at, value) : Put16(b, at, value);
        return b;
    };
    ExpectSame(damaged(10, 10, true), "pixels inside the header");
    ExpectSame(damaged(10, 0x7FFFFFF0, true), "pixels past the end");
    ExpectSame(damaged(26, 2, false), "two planes");
    ExpectSame(damaged(28, 2, false), "two bits");
    ExpectSame(Bmp(16, 16, 32, 0, {}, 0, 7), "32 bits");
    ExpectSame(Bmp(16, 16, 16, 0, {}, 0, 7), "16 bits");
    ExpectSame(damaged(30, 1, true), "run-length compressed");
    ExpectSame(Bmp(16, 16, 1, 3, {0, 0x00FFFFFF, 0}, 0, 7), "three colours for one bit");
    ExpectSame(damaged(46, 300, true), "300 colours");
    ExpectSame(damaged(18, 0, true), "no width");
    ExpectSame(damaged(18, 0xFFFFFFFF, true), "negative width");
    ExpectSame(damaged(22, 0, true), "no height");
    ExpectSame(damaged(22, 0x80000000, true), "most negative height");
    ExpectSame(damaged(14, 12, true), "old header size");
    std::vector<uint8_t> cut = good;
    cut.resize(40);
    ExpectSame(cut, "header cut");
    std::vector<uint8_t> direct = Bmp(8, 8, 24, 0, {}, 8, 3);
    Put32(direct, 46, 2);
    ExpectSame(direct, "colour count on a 24-bit bitmap");
}

TEST(ConvertPictureData, MatchesTheLoaderOnSavedPicturesAndTheSuite) {
    for (QImage::Format format : {QImage::Format_Mono, QImage::Format_Indexed8, QImage::Format_RGB32,
                                  QImage::Format_ARGB32, QImage::Format_RGB888}) {
        QImage image(37, 21, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, (x * 3 + y * 5) % 7 < 3 ? qRgb(0, 0, 0) : qRgb(x * 6, 255, y));
        QByteArray saved;
        QBuffer buffer(&saved);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.convertToFormat(format).save(&buffer, "BMP"));
        ExpectSame(std::vector<uint8_t>(saved.begin(), saved.end()), "saved format " + std::to_string(format));
    }
    int files = 0;
    for (const char* folder : {"g", "b", "q"}) {
        const QDir dir(QString(DPU_TESTDATA_DIR) + "/bmpsuite/" + folder);
        for (const QString& name : dir.entryList({"*.bmp"}, QDir::Files, QDir::Name)) {
            std::vector<uint8_t> bytes;
            std::string error;
            ASSERT_TRUE(ReadWholeFile(dir.filePath(name).toStdString(), bytes, error)) << error;
            // The loader leaves the rows missing from a cut file as whatever its
            // memory held, so there is nothing to compare with there.
            if (name != "shortfile.bmp")
                ExpectSame(bytes, name.toStdString());
            ++files;
        }
    }
    if (files == 0)
        GTEST_SKIP() << "no BMP test suite here";
}

TEST(ConvertPictureData, RowsMissingFromACutFileAreUnlit) {
    // 16 x 16, one bit, black = index 0; rows are stored bottom first, so the
    // last 2-byte rows in the file are the top rows of the picture.
    const std::vector<uint8_t> whole = Bmp(16, 16, 1, 0, {0, 0x00FFFFFF}, 0, 11);
    for (size_t missing : {1u, 4u, 5u, 60u}) {
        std::vector<uint8_t> cut = whole;
        cut.resize(whole.size() - missing);
        std::vector<uint8_t> blanked = whole;
        const size_t fullRowsLeft = (64 - missing) / 4;
        for (size_t i = 62 + 4 * fullRowsLeft; i < blanked.size(); ++i)
            blanked[i] = 0xFF;
        for (int turn = 0; turn < 2; ++turn) {
            const std::vector<uint8_t> packed = ConvertPictureData(cut.data(), cut.size(), turn, "p", "p");
            EXPECT_EQ(packed, ConvertPictureData(blanked.data(), blanked.size(), turn, "p", "p"))
                << missing << " bytes missing, turn " << turn;
            EXPECT_EQ(packed, ThroughLoader(blanked, turn).Packed);
        }
    }
}

TEST(ConvertPictureFile, RefusesLikeTheLoaderAndNamesTheFile) {
    EXPECT_THROW(
        {
            try {
                ConvertPictureFile("/no/such/picture.bmp", 1);
            } catch (const ERomBuild& e) {
                EXPECT_EQ(e.Message, "Cannot load picture \"/no/such/picture.bmp\": file not found");
                throw;
            }
        },
        ERomBuild);
}

TEST(RegularFileSize, AgreesWithTheProjectsFileCheck) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("pic.bmp");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("BMxyz", 5);
    }
    ASSERT_TRUE(QFile::link(file, dir.filePath("link.bmp")));
    ASSERT_TRUE(QFile::link(dir.filePath("gone.bmp"), dir.filePath("dangling.bmp")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.bmp"));
    for (const QString& path : {file, dir.filePath("link.bmp"), dir.filePath("dangling.bmp"),
                                dir.filePath("folder.bmp"), dir.filePath("missing.bmp"), QString("/dev/null"),
                                QString()}) {
        const std::string name = path.toStdString();
        uint64_t size = 99;
        EXPECT_EQ(RegularFileSize(name, size), DpuText::FileExists(name)) << name;
        EXPECT_EQ(size, DpuText::FileExists(name) ? 5u : 0u) << name;
    }
}

// Header fields set to random values must never make the converter read
// outside the bytes it was given (the sanitizer build checks the reads).
TEST(ConvertPictureData, RandomHeadersStayInsideTheFile) {
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const std::vector<std::vector<uint8_t>> bases = {Bmp(16, 16, 1, 0, {0, 0x00FFFFFF}, 0, 1),
                                                     Bmp(9, 5, 4, 0, std::vector<uint32_t>(16, 0), 0, 2),
                                                     Bmp(7, 7, 8, 2, {0, 0x00FFFFFF}, 0, 3), Bmp(5, 9, 24, 0, {}, 0, 4)};
    const size_t fields[] = {10, 14, 18, 22, 26, 28, 30, 46};
    int packed = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> b = bases[static_cast<size_t>(round) % bases.size()];
        const size_t at = fields[next() % std::size(fields)];
        const uint32_t value = next() % 4 == 0 ? next() : next() % 80;
        Put32(b, at, value);
        b.resize(b.size() - next() % 8);
        try {
            packed += !ConvertPictureData(b.data(), b.size(), static_cast<int>(next() % 2), "p", "p").empty();
        } catch (const ERomBuild&) {
        }
    }
    EXPECT_GT(packed, 0);
}
