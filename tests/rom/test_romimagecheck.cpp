// The check an upload makes on a file before any port is opened.

#include "rom/romimagecheck.h"
#include "rom/romlayout.h"
#include "rom/trombuilder.h"
#include "rom/tuploadimage.h"
#include "support/filehelpers.h"
#include "support/ttestglyphs.h"
#include "util/crc8.h"

#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

using DpuRom::CheckUploadImage;
using DpuRom::TRomBuilder;
using DpuRom::TRomBuildInputs;
using DpuRom::TUploadImage;
using testing::HasSubstr;
namespace RomLayout = DpuRom::RomLayout;

namespace {

// An image as MAKE ROM writes it, with a floor glyph, a message and frames.
std::vector<uint8_t> BuiltImage() {
    QTemporaryDir dir;
    TTestGlyphs glyphs = FullTestLibrary();
    TRomBuildInputs in;
    in.ProgramDir = dir.path().toStdString() + "/";
    in.OutputFile = dir.filePath("OUT.BIN").toStdString();
    std::vector<uint8_t> glyph{16, 0, 16, 0};
    glyph.resize(4 + 32, 0x5A);
    in.Pictures.FloorGlyphs[0]['1'] = glyph;
    in.Labels[0][1] = "1";
    std::vector<uint8_t> message{64, 0, 16, 0};
    message.resize(4 + 128, 0x3C);
    in.Pictures.Messages[0][1] = message;
    TRomBuilder builder(std::move(in), glyphs, nullptr);
    EXPECT_TRUE(builder.BuildRomImage()) << builder.LastErrMsg;
    return builder.Image;
}

bool Check(const std::vector<uint8_t>& Bytes, std::string& Problem) {
    return CheckUploadImage(Bytes.data(), Bytes.size(), Problem);
}

} // namespace

TEST(RomImageCheck, BuiltImagesPassWholeAndShort) {
    const std::vector<uint8_t> image = BuiltImage();
    ASSERT_EQ(image.size(), RomLayout::ImageSize);
    std::string problem = "stale";
    EXPECT_TRUE(Check(image, problem)) << problem;
    EXPECT_EQ(problem, "");

    const std::vector<uint8_t> shortImage(image.begin(), image.begin() + 62400);
    EXPECT_TRUE(Check(shortImage, problem)) << problem;
}

TEST(RomImageCheck, FilesThatAreNoImageGiveTheirFirstProblem) {
    const std::vector<uint8_t> image = BuiltImage();
    std::string problem;

    EXPECT_FALSE(CheckUploadImage(nullptr, 0, problem));
    EXPECT_THAT(problem, HasSubstr("cut short: 0 bytes, a ROM image has 64512 bytes (or 62400)"));
    const uint8_t one = 'x';
    EXPECT_FALSE(CheckUploadImage(&one, 1, problem));
    EXPECT_THAT(problem, HasSubstr("offset 0x0001 (end of file): the file is cut short: 1 byte,"));

    std::mt19937 rng(11);
    std::vector<uint8_t> noise(RomLayout::ImageSize);
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>(rng());
    EXPECT_FALSE(Check(noise, problem));
    EXPECT_THAT(problem, HasSubstr("(CRC table copy)"));

    std::vector<uint8_t> crc = image;
    crc[RomLayout::CrcTable + 9] ^= 1;
    EXPECT_FALSE(Check(crc, problem));
    EXPECT_THAT(problem, HasSubstr("offset 0x20B1 (CRC table copy)"));

    // The same damage in a short file, and a short file that is not one.
    std::vector<uint8_t> shortCrc(crc.begin(), crc.begin() + 62400);
    EXPECT_FALSE(Check(shortCrc, problem));
    EXPECT_THAT(problem, HasSubstr("(CRC table copy)"));
    std::vector<uint8_t> shortNoise(noise.begin(), noise.begin() + 62400);
    EXPECT_FALSE(Check(shortNoise, problem));

    std::vector<uint8_t> table = image;
    table[RomLayout::GlyphTable + 2 * '1'] = 0x20; // points at the reserved bytes
    table[RomLayout::GlyphTable + 2 * '1' + 1] = 0x00;
    EXPECT_FALSE(Check(table, problem));
    EXPECT_THAT(problem, HasSubstr("glyph address table"));

    std::vector<uint8_t> message = image;
    message[RomLayout::MessageTable] = 0xF5;
    EXPECT_FALSE(Check(message, problem));
    EXPECT_THAT(problem, HasSubstr("message table"));

    std::vector<uint8_t> longer = image;
    longer.push_back(0);
    EXPECT_FALSE(Check(longer, problem));
    EXPECT_THAT(problem, HasSubstr("end of image): the file is too long: 1 byte after"));
    std::vector<uint8_t> odd(image.begin(), image.begin() + 62401);
    EXPECT_FALSE(Check(odd, problem));
    EXPECT_THAT(problem, HasSubstr("cut short"));
}

// What an upload reads it reads once: the image holds the bytes, the block
// count, the bytes the frames carry and why the bytes are no image; a file
// that cannot be used has its fault and log lines instead.
TEST(UploadImage, ReadOnceHoldsWhatTheUploadSends) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("ROM.BIN").toStdString();
    const std::vector<uint8_t> image = BuiltImage();
    WriteFile(path, image);
    const TUploadImage read = TUploadImage::Read(path);
    WriteFile(path, {1, 2, 3}); // changed after the read: nothing reads it again
    ASSERT_TRUE(read.IsImage()) << read.Problem();
    EXPECT_EQ(read.Bytes(), image);
    EXPECT_EQ(read.BlockCount(), 976u);
    EXPECT_EQ(read.SizeWarning(), "");
    const std::vector<uint8_t> sent = read.SentBytes();
    ASSERT_EQ(sent.size(), RomLayout::UploadSize);
    for (size_t i = 0; i < sent.size(); ++i)
        ASSERT_EQ(sent[i], i < 256 ? image[i] ^ YVclUtil::Crc8Table[i] : image[i]) << i;

    const TUploadImage shortImage = TUploadImage::FromBytes(
        std::vector<uint8_t>(image.begin(), image.begin() + 62400), "short.bin");
    EXPECT_TRUE(shortImage.IsImage()) << shortImage.Problem();
    EXPECT_EQ(shortImage.BlockCount(), 975u);
    EXPECT_EQ(shortImage.SentBytes()[62400], 0);

    const TUploadImage odd = TUploadImage::FromBytes(std::vector<uint8_t>(1000, 7), "odd.bin");
    EXPECT_TRUE(odd.Readable());
    EXPECT_FALSE(odd.IsImage());
    EXPECT_THAT(odd.Problem(), HasSubstr("cut short: 1000 bytes"));
    EXPECT_EQ(odd.SizeWarning(), "*** Warning: odd.bin is 1000 bytes; a built image holds 64512 "
                                 "bytes, of which 62464 are sent ***");

    const std::string missing = dir.filePath("none.bin").toStdString();
    const TUploadImage none = TUploadImage::Read(missing);
    EXPECT_EQ(none.Fault(), TUploadImage::TFault::NotOpened);
    EXPECT_FALSE(none.IsImage());
    EXPECT_EQ(none.FaultLines(), std::vector<std::string>{"*** Can not open ROM file " + missing +
                                                          ": No such file or directory ***"});
    const TUploadImage folder = TUploadImage::Read(dir.path().toStdString());
    EXPECT_EQ(folder.Fault(), TUploadImage::TFault::NotRegular);
    EXPECT_EQ(folder.Reason(), "Is a directory");
    WriteFile(path, std::vector<uint8_t>(TUploadImage::MaxFileSize + 1, 0));
    const TUploadImage large = TUploadImage::Read(path);
    EXPECT_EQ(large.Fault(), TUploadImage::TFault::TooLarge);
    EXPECT_TRUE(large.Bytes().empty());
    EXPECT_EQ(large.FaultLines(),
              (std::vector<std::string>{"*** Warning.... ***", "=== ROM image too large!! ==="}));
}
