// The build packs pictures in one step, straight from the picture reader's lit
// map (and from the stored rows of one-bit pictures when the panel is turned);
// the window loads the same files as colour pictures. Both must agree byte for
// byte, refuse the same files with the same message, and match the pixel rule.

#include "rom/bitmapconversion.h"
#include "support/packinghelpers.h"
#include "support/rasterhelpers.h"
#include "rom/erombuild.h"
#include "project/dputext.h"
#include "support/bmpsuitehelpers.h"
#include "util/fileaccess.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace DpuProject;
using namespace DpuRom;

using DpuRom::ConvertImage;
using DpuRom::ConvertPictureData;
using DpuRom::ConvertPictureFile;
using DpuRom::ERomBuild;
using DpuRom::LoadPictureData;
using YVclUtil::IsRegularFile;
using YVclUtil::ReadWholeFile;
namespace DpuText = DpuProject::DpuText;

namespace {

struct TOutcome {
    std::vector<uint8_t> Packed;
    std::string Error;
    bool operator==(const TOutcome&) const = default;
};

TOutcome ThroughColour(const std::vector<uint8_t>& Bytes, int DispHv) {
    TOutcome o;
    try {
        o.Packed =
            ConvertImage(ImageOf(LoadPictureData(Bytes.data(), Bytes.size(), "p")), DispHv, "p");
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
        const TOutcome loader = ThroughColour(Bytes, turn);
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
std::vector<uint8_t> Bmp(int W, int H, int Bits, uint32_t Colours,
                         const std::vector<uint32_t>& Palette, uint32_t Gap, unsigned Seed) {
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

TEST(ConvertPictureData, OneStepMatchesTheColourPathForEveryLayout) {
    const std::vector<uint32_t> mono = {0x00000000, 0x00FFFFFF};
    const std::vector<uint32_t> monoInverted = {0x00FFFFFF, 0xAB000000};
    std::vector<uint32_t> sixteen, full;
    for (uint32_t i = 0; i < 16; ++i)
        sixteen.push_back(i % 3 ? i * 0x00111111 : 0xFF000000u * (i & 1));
    for (uint32_t i = 0; i < 256; ++i)
        full.push_back(i % 5 ? i * 0x00010203 : 0);
    struct TCase {
        int Bits;
        std::vector<uint32_t> Palette;
    };
    const std::vector<TCase> cases = {
        {1, mono}, {1, monoInverted}, {4, sixteen}, {8, full}, {24, {}}};
    const int sizes[][2] = {{64, 64}, {1, 1},   {7, 9},   {8, 8},  {13, 17},
                            {33, 7},  {9, -16}, {64, -5}, {31, 40}};
    unsigned seed = 1;
    for (const TCase& c : cases)
        for (const auto& size : sizes)
            for (uint32_t gap : {0u, 6u}) {
                const std::string what = std::to_string(c.Bits) + " bits, " +
                                         std::to_string(size[0]) + " x " + std::to_string(size[1]) +
                                         ", gap " + std::to_string(gap);
                const std::vector<uint8_t> bytes =
                    Bmp(size[0], size[1], c.Bits, static_cast<uint32_t>(c.Palette.size()),
                        c.Palette, gap, seed++);
                ExpectSame(bytes, what);
                EXPECT_EQ(OneStep(bytes, 0).Error, "") << what;
            }
}

TEST(ConvertPictureData, DamagedHeadersAreRefusedTheSameWayByBothPaths) {
    const std::vector<uint8_t> good = Bmp(16, 16, 1, 2, {0, 0x00FFFFFF}, 0, 7);
    ExpectSame(good, "good");
    auto damaged = [&](size_t at, uint32_t value, bool wide) {
        std::vector<uint8_t> b = good;
        wide ? Put32(b, at, value) : Put16(b, at, value);
        return b;
    };
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
        {damaged(10, 10, true), "pixels inside the header"},
        {damaged(10, 0x7FFFFFF0, true), "pixels past the end"},
        {damaged(26, 2, false), "two planes"},
        {damaged(28, 3, false), "three bits"},
        {damaged(30, 1, true), "run-length with one bit"},
        {damaged(46, 300, true), "300 colours"},
        {damaged(18, 0, true), "no width"},
        {damaged(18, 0xFFFFFFFF, true), "negative width"},
        {damaged(22, 0, true), "no height"},
        {damaged(22, 0x80000000, true), "most negative height"},
        {damaged(14, 13, true), "odd header size"},
        {{good.begin(), good.begin() + 40}, "header cut"},
        {{good.begin(), good.end() - 1}, "last row cut"}};
    for (const auto& [bytes, what] : cases) {
        ExpectSame(bytes, what);
        EXPECT_EQ(OneStep(bytes, 1).Error.rfind("Error|Cannot load picture \"p\": ", 0), 0u)
            << what;
    }
}

TEST(ConvertPictureData, SavedPicturesPackByThePixelRule) {
    for (QImage::Format format :
         {QImage::Format_Mono, QImage::Format_Indexed8, QImage::Format_RGB32, QImage::Format_ARGB32,
          QImage::Format_RGB888}) {
        QImage image(37, 21, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, (x * 3 + y * 5) % 7 < 3 ? qRgb(0, 0, 0) : qRgb(x * 6, 255, y));
        const QImage stored = image.convertToFormat(format);
        QByteArray saved;
        QBuffer buffer(&saved);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(stored.save(&buffer, "BMP"));
        const std::vector<uint8_t> bytes(saved.begin(), saved.end());
        const std::string what = "saved format " + std::to_string(format);
        ExpectSame(bytes, what);
        for (int turn = 0; turn < 2; ++turn)
            EXPECT_EQ(OneStep(bytes, turn).Packed, ConvertImage(stored, turn, "p"))
                << what << " turn " << turn;
    }
}

// The window's pictures come from LoadPicture: it refuses exactly what the
// build refuses, and what it shows packs to what the build packs.
TEST(LoadPicture, ShowsExactlyWhatTheBuildPacks) {
    int files = 0;
    for (const char* folder : {"g", "b", "q"}) {
        const std::vector<std::string> paths = BmpSuite::Files(folder);
        ASSERT_EQ(paths.size(), BmpSuite::Count(folder))
            << "BMP suite missing from " << BmpSuite::Dir();
        for (const std::string& path : paths) {
            ++files;
            const std::vector<uint8_t> bytes = BmpSuite::Bytes(path);
            ExpectSame(bytes, path);
            std::string shown, built;
            try {
                LoadPicture(path);
            } catch (const ERomBuild& e) {
                shown = e.Message;
            }
            try {
                ConvertPictureFile(path, 1);
            } catch (const ERomBuild& e) {
                built = e.Message;
            }
            EXPECT_EQ(shown, built) << path;
        }
    }
    EXPECT_EQ(files, 90);
}

TEST(ConvertPictureFile, RefusesWhatIsNotARegularFileWithoutBlocking) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string fifo = dir.filePath("pipe.bmp").toStdString();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {std::string("/no/such/picture.bmp"), dir.path().toStdString(), fifo}) {
        try {
            ConvertPictureFile(path, 1);
            ADD_FAILURE() << "no error for " << path;
        } catch (const ERomBuild& e) {
            EXPECT_EQ(e.Message.rfind("Cannot load picture \"" + path + "\": ", 0), 0u)
                << e.Message;
        }
        EXPECT_THROW(LoadPicture(path), ERomBuild) << path;
    }
    try {
        ConvertPictureFile("/no/such/picture.bmp", 0);
    } catch (const ERomBuild& e) {
        EXPECT_EQ(e.Message,
                  "Cannot load picture \"/no/such/picture.bmp\": No such file or directory");
    }
}

TEST(IsRegularFile, AgreesWithTheProjectsFileCheck) {
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
    for (const QString& path :
         {file, dir.filePath("link.bmp"), dir.filePath("dangling.bmp"), dir.filePath("folder.bmp"),
          dir.filePath("missing.bmp"), QString("/dev/null"), QString()}) {
        const std::string name = path.toStdString();
        uint64_t size = 99;
        EXPECT_EQ(YVclUtil::IsRegularFile(name, &size), DpuText::FileExists(name)) << name;
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
    const std::vector<std::vector<uint8_t>> bases = {
        Bmp(16, 16, 1, 0, {0, 0x00FFFFFF}, 0, 1),
        Bmp(9, 5, 4, 0, std::vector<uint32_t>(16, 0), 0, 2), Bmp(7, 7, 8, 2, {0, 0x00FFFFFF}, 0, 3),
        Bmp(5, 9, 24, 0, {}, 0, 4)};
    const size_t fields[] = {10, 14, 18, 22, 26, 28, 30, 46};
    int packed = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> b = bases[static_cast<size_t>(round) % bases.size()];
        const size_t at = fields[next() % std::size(fields)];
        const uint32_t value = next() % 4 == 0 ? next() : next() % 80;
        Put32(b, at, value);
        b.resize(b.size() - next() % 8);
        try {
            packed +=
                !ConvertPictureData(b.data(), b.size(), static_cast<int>(next() % 2), "p", "p")
                     .empty();
        } catch (const ERomBuild&) {
        }
    }
    EXPECT_GT(packed, 0);
}
