#include "project/dputext.h"
#include "project/tsettingstable.h"
#include "rom/erombuild.h"
#include "rom/romlayout.h"
#include "rom/trombuilder.h"
#include "rom/trompictureconverter.h"
#include "support/ttestglyphs.h"
#include "util/crc8.h"
#include "util/prompts.h"
#include "util/fileaccess.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

using DpuRom::ERomBuild;

using namespace DpuProject;
using namespace DpuRom;

using DpuRom::TRomBuilder;
using DpuRom::TRomBuildInputs;
using DpuRom::TRomSettings;
using YVclUtil::ReadWholeFile;
namespace DpuText = DpuProject::DpuText;
namespace RomLayout = DpuRom::RomLayout;

using namespace RomLayout;
using YVclUtil::Crc8Table;

namespace {

class TLogRecorder : public YVclUtil::MessageSink {
public:
    std::vector<std::string> Lines;
    void AppendLog(const std::string& Line) override { Lines.push_back(Line); }
    void ClearLog() override { Lines.clear(); }
    void SetStatus(int, const std::string&) override {}
};

std::vector<uint8_t> Packed(int W, int H, uint8_t Fill) {
    std::vector<uint8_t> p{static_cast<uint8_t>(W), static_cast<uint8_t>(W >> 8),
                           static_cast<uint8_t>(H), static_cast<uint8_t>(H >> 8)};
    p.resize(4 + static_cast<size_t>(W) * H / 8, Fill);
    return p;
}

unsigned Address(const std::vector<uint8_t>& Image, size_t At) {
    return Image[At] << 8 | Image[At + 1];
}

class RomBuilderTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        AddRequiredEntries(Glyphs);
        In.ProgramDir = Dir.path().toStdString() + "/";
        In.Settings.DispHv = 0;
        In.OutputFile = Dir.filePath("OUT.BIN").toStdString();
    }

    // Saves a user bitmap for Label in floor style Style.
    std::string AddUserBitmap(const std::string& Label, const QImage& Image, int Style = 0) {
        const std::string path = TRomBuilder::UserBitmapPath(In.ProgramDir, Style, Label);
        QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
        EXPECT_TRUE(Image.save(QString::fromStdString(path), "BMP"));
        return path;
    }

    // A glyph for "-" in style 0, so a build has floor glyphs and does not
    // log that the style has none.
    void AddOneGlyph() { In.Pictures.FloorGlyphs[0]['-'] = Packed(8, 16, 1); }

    // A builder made from In runs one build; it stays in Made for its results.
    bool Run() {
        Made = std::make_unique<TRomBuilder>(In, Glyphs, &Log);
        return Made->BuildRomImage();
    }

    const std::vector<uint8_t>& Build() {
        EXPECT_TRUE(Run()) << Made->LastErrMsg;
        return Made->Image;
    }

    QTemporaryDir Dir;
    TTestGlyphs Glyphs;
    TLogRecorder Log;
    TRomBuildInputs In;
    std::unique_ptr<TRomBuilder> Made;
};

} // namespace

TEST_F(RomBuilderTest, SingleLabelFillsOnlyItsCodeBytesAndFixedTables) {
    In.Labels[0][0] = "1";
    const auto& image = Build();
    ASSERT_EQ(image.size(), 64512u);
    for (size_t i = CodeTables; i < MessageTable; ++i)
        EXPECT_EQ(image[i], i == 0x22B8 ? 0x31 : 0x00) << std::hex << i;
    EXPECT_EQ(std::memcmp(image.data() + CrcTable, Crc8Table, 256), 0);
    EXPECT_EQ(std::memcmp(image.data() + ReservedTable1, Crc8Table, 256), 0);
    EXPECT_EQ(std::memcmp(image.data() + ReservedTable2, Crc8Table, 256), 0);
    // No user bitmaps: their table keeps the CRC table bytes.
    EXPECT_EQ(std::memcmp(image.data() + UserBitmapTable, Crc8Table, 256), 0);
    // No glyphs: every glyph address is 0, the floor zone is the filler walk.
    for (size_t i = GlyphTable; i < GlyphTable + 256; ++i)
        ASSERT_EQ(image[i], 0) << i;
    for (size_t i = 0; i < FloorZoneSize; ++i)
        ASSERT_EQ(image[FloorZone + i], Crc8Table[i % 256]) << i;

    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(ReadWholeFile(In.OutputFile, file, error));
    EXPECT_EQ(file, image);
    EXPECT_EQ(Made->RomFilePath, In.OutputFile);
}

TEST_F(RomBuilderTest, LabelEncodingRules) {
    In.Labels[0][1] = "5";
    In.Labels[0][2] = "05";
    In.Labels[1][3] = "12";
    In.Labels[2][255] = "B2";
    const auto& image = Build();
    auto pair = [&](int t, int n) {
        return image[CodeTableFirst(t) + n] << 8 | image[CodeTableSecond(t) + n];
    };
    EXPECT_EQ(pair(0, 1), 0x0035);
    EXPECT_EQ(pair(0, 2), 0x0035);
    EXPECT_EQ(pair(1, 3), 0x3132);
    EXPECT_EQ(pair(2, 255), 0x4232);
}

TEST_F(RomBuilderTest, EncodeKeysTheFirst256BytesAndSkipsTheAuxiliaryEntry) {
    Glyphs.Entries.erase({0, 41}); // never looked up while encoding
    const auto& image = Build();
    const std::vector<uint8_t>& chars = Glyphs.Entries[{0, 1}];
    EXPECT_EQ(image[0], 0x00);
    EXPECT_EQ(image[1], chars[1] ^ 0x5E);
    for (size_t i = 0; i < 256; ++i)
        ASSERT_EQ(image[i], chars[i] ^ Crc8Table[i]) << i;
    EXPECT_EQ(std::memcmp(image.data() + 256, chars.data() + 256, CharBlockSize - 256), 0);
    for (size_t i = 0; i < AuxBlockSize; ++i)
        ASSERT_EQ(image[AuxBlock + i], Crc8Table[i % 256]) << i;
}

TEST_F(RomBuilderTest, WithoutEncodeTheBlocksAreCopiedPlainAndShortOnesLeaveFiller) {
    In.Settings.Encode = 0;
    Glyphs.Entries[{0, 1}] = {1, 2, 3};
    const auto& image = Build();
    EXPECT_EQ(image[0], 1);
    EXPECT_EQ(image[2], 3);
    EXPECT_EQ(image[3], Crc8Table[3]);
    EXPECT_EQ(image[300], Crc8Table[300 % 256]);
    const std::vector<uint8_t>& aux = Glyphs.Entries[{0, 41}];
    EXPECT_EQ(std::memcmp(image.data() + AuxBlock, aux.data(), AuxBlockSize), 0);
}

TEST_F(RomBuilderTest, MissingLibraryEntriesStopWithGlbFileError) {
    const std::pair<int, int> required[] = {{0, 1}, {0, 40}};
    for (const auto& entry : required) {
        TTestGlyphs glyphs = Glyphs;
        glyphs.Entries.erase(entry);
        TRomBuilder builder(In, glyphs, &Log);
        EXPECT_FALSE(builder.BuildRomImage());
        EXPECT_EQ(builder.LastErrMsg, "GLB File error!!");
        EXPECT_EQ(builder.LastErrCaption, "File error");
    }
    In.Settings.Encode = 0;
    Glyphs.Entries.erase({0, 41});
    EXPECT_FALSE(Run());
    EXPECT_EQ(Made->LastErrMsg, "GLB File error!!");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(In.OutputFile)));

    // An absent small glyph or no library at all: a picture error naming the library.
    In.Settings.Encode = 1;
    AddRequiredEntries(Glyphs);
    Glyphs.Entries.erase({7, 38});
    EXPECT_FALSE(Run());
    EXPECT_NE(Made->LastErrMsg.find("TEST.GLB"), std::string::npos);
    AddRequiredEntries(Glyphs);
    Glyphs.Loaded = false;
    EXPECT_FALSE(Run());
    EXPECT_NE(Made->LastErrMsg.find("not loaded"), std::string::npos) << Made->LastErrMsg;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(In.OutputFile)));
}

TEST_F(RomBuilderTest, MessagesArePackedInListOrder) {
    for (int i = 0; i < 3; ++i) {
        // Slot B of states 0..2 heads the list.
        In.Pictures.Messages[i][1] = Packed(64, 16, static_cast<uint8_t>(0x11 * (i + 1)));
    }
    const auto& image = Build();
    EXPECT_EQ(Address(image, MessageTable + 0), 0x2808u);
    EXPECT_EQ(Address(image, MessageTable + 2), 0x2888u);
    EXPECT_EQ(Address(image, MessageTable + 4), 0x2908u);
    for (size_t i = 3; i < 40; ++i)
        EXPECT_EQ(Address(image, MessageTable + 2 * i), 0u);
    EXPECT_EQ(image[0x2808], 0x11);
    EXPECT_EQ(image[0x2888 + 127], 0x22);
    EXPECT_EQ(image[0x2908], 0x33);
    EXPECT_EQ(image[0x2988], 0x00);
}

// The list takes the slots in the order B, A, D, C, each by state, and closes
// up over empty ones; a cut item is named by its slot.
TEST_F(RomBuilderTest, MessagesAreListedBySlotOrderBADC) {
    In.Pictures.Messages[0][0] = Packed(64, 16, 0xA0);      // A0
    In.Pictures.Messages[9][1] = Packed(64, 16, 0xB9);      // B9
    In.Pictures.Messages[0][2] = Packed(64, 16 * 40, 0xC0); // C0: more than the room left
    In.Pictures.Messages[5][3] = Packed(64, 16, 0xD5);      // D5
    const auto& image = Build();
    EXPECT_EQ(image[0x2808], 0xB9);
    EXPECT_EQ(image[0x2888], 0xA0);
    EXPECT_EQ(image[0x2908], 0xD5);
    EXPECT_EQ(image[0x2988], 0xC0);
    EXPECT_EQ(Address(image, MessageTable + 6), 0x2988u);
    EXPECT_EQ(Address(image, MessageTable + 8), 0u);
    EXPECT_EQ(Log.Lines, (std::vector<std::string>{"[Warning] FL Style 0 has no glyphs in TEST.GLB "
                                                   "-- the image holds no floor glyph !!!",
                                                   "[Error] Message zone full!! -- M_190 cut at "
                                                   "4736 of 5120 bytes"}));
}

TEST_F(RomBuilderTest, DirectionFramesGoToTheirStyleAndFrameEntries) {
    In.Pictures.DirFrames[0][0] = Packed(48, 48, 0xAA);
    In.Pictures.DirFrames[3][11] = Packed(48, 48, 0xBB);
    const auto& image = Build();
    EXPECT_EQ(Address(image, DirTables), 0x3C80u);
    EXPECT_EQ(Address(image, DirTables + 24 * 3 + 22), 0x3C80u + 288u);
    EXPECT_EQ(image[0x3C80 + 287], 0xAA);
    EXPECT_EQ(image[0x3C80 + 288], 0xBB);
    EXPECT_EQ(image[0x3C80 + 576], 0x00);
    EXPECT_EQ(Address(image, DirTables + 2), 0u);
}

TEST_F(RomBuilderTest, OverlongItemsAreCutAtTheirZoneAndLogged) {
    AddOneGlyph();
    // 41 message pictures' worth in one: the zone holds 5120 bytes.
    In.Pictures.Messages[0][1] = Packed(64, 16 * 41, 0x5A); // "M_160": slot B, state 0
    In.Pictures.Messages[1][1] = Packed(64, 16, 0x11);      // "M_161"
    In.Pictures.DirFrames[0][0] = Packed(64, 2176, 0x77);
    const auto& image = Build();
    EXPECT_EQ(image[MessageZone + MessageZoneSize - 1], 0x5A);
    EXPECT_EQ(image[DirTables], 0x3C);               // the next area is untouched
    EXPECT_EQ(Address(image, MessageTable + 2), 0u); // no room left for the second
    EXPECT_EQ(image[GlyphTable], 0x00);
    EXPECT_EQ(image[DirZone + DirZoneSize - 1], 0x77);
    ASSERT_GE(Log.Lines.size(), 3u);
    EXPECT_EQ(Log.Lines[0], "[Error] DIR zone full!! -- DIR0_0 cut at 17280 of 17408 bytes");
    EXPECT_EQ(Log.Lines[1], "[Error] Message zone full!! -- M_160 cut at 5120 of 5248 bytes");
    EXPECT_EQ(Log.Lines[2], "[Error] Message zone full!! -- M_161 cut at 0 of 128 bytes");
}

TEST_F(RomBuilderTest, FloorGlyphsThenSharedUserBitmaps) {
    In.Settings.DEF_FL = 1;
    In.Pictures.FloorGlyphs[1][48] = Packed(32, 64, 0x30);
    In.Pictures.FloorGlyphs[1][49] = Packed(32, 64, 0x31);
    In.Pictures.FloorGlyphs[0][48] = Packed(32, 64, 0xEE); // another style: unused
    const std::string lobby = AddUserBitmap("LOBBY", Marked(64, 64), 1);
    AddUserBitmap("B2F", Marked(16, 8), 1);
    In.Labels[0][10] = "LOBBY";
    In.Labels[2][20] = "LOBBY";
    In.Labels[1][5] = "B2F";
    In.Labels[0][11] = "01";
    const auto& image = Build();

    EXPECT_EQ(Address(image, GlyphTable + 2 * 48), 0x8400u);
    EXPECT_EQ(Address(image, GlyphTable + 2 * 49), 0x8500u);
    EXPECT_EQ(Address(image, GlyphTable + 2 * 50), 0u);
    // LOBBY is first used by CTBL0 code 10, B2F by CTBL1 code 5; LOBBY is stored once.
    EXPECT_EQ(Address(image, UserBitmapTable), 0x8600u);
    EXPECT_EQ(Address(image, UserBitmapTable + 2), 0x8800u);
    EXPECT_EQ(image[UserBitmapTable + 4], Crc8Table[4]);
    EXPECT_EQ(image[CodeTableFirst(0) + 10], 0xFE);
    EXPECT_EQ(image[CodeTableSecond(0) + 10], 0);
    EXPECT_EQ(image[CodeTableFirst(2) + 20], 0xFE);
    EXPECT_EQ(image[CodeTableSecond(2) + 20], 0);
    EXPECT_EQ(image[CodeTableFirst(1) + 5], 0xFE);
    EXPECT_EQ(image[CodeTableSecond(1) + 5], 1);
    EXPECT_EQ(image[0x8600], 0x01);                                    // LOBBY's top-left pixel
    EXPECT_EQ(image[0x8800 + 16], Crc8Table[(0x8810 - 0x8400) % 256]); // filler after B2F
    EXPECT_EQ(Made->UserBitmapPaths()[0], lobby);
    EXPECT_EQ(Made->FindUserBitmap(lobby), 0);
    EXPECT_EQ(Made->FindUserBitmap(lobby + "x"), -1);
    EXPECT_TRUE(Log.Lines.empty());
}

TEST_F(RomBuilderTest, MissingUserBitmapIsWarnedAndCancelled) {
    AddOneGlyph();
    In.Labels[0][10] = "NOPE";
    In.Labels[2][255] = "NOPE";
    In.StartupDir = Dir.filePath("ws").toStdString();
    const auto& image = Build();
    // Each line is followed by where the bitmap was looked for.
    const std::string where = "    NOPE.bmp looked for in \"" + In.StartupDir +
                              "/DefaultImage2/UserDefine/Floor/Style0\", then \"" + In.ProgramDir +
                              "DefaultImage2/UserDefine/Floor/Style0\"";
    EXPECT_EQ(Log.Lines, (std::vector<std::string>{
                             "[Warning] CTBL0-0A (10 ) not found --> auto cancel !!!", where,
                             "[Warning] CTBL2-FF (255 ) not found --> auto cancel !!!", where}));
    EXPECT_EQ(Made->WarningCount, 2);
    EXPECT_EQ(Made->CancelledCells, (std::vector<std::pair<int, int>>{{0, 10}, {2, 255}}));
    EXPECT_EQ(image[CodeTableFirst(0) + 10], 0);
    EXPECT_EQ(image[CodeTableSecond(0) + 10], 0);
    EXPECT_EQ(In.Labels[0][10], "NOPE");
}

TEST_F(RomBuilderTest, UserBitmapsComeFromTheWorkspaceFirstAndLabelsAreNeverPaths) {
    AddOneGlyph();
    const std::string program = In.ProgramDir;
    const std::string installed = AddUserBitmap("LOBBY", Marked(16, 8));
    const std::string roof = AddUserBitmap("ROOF", Marked(16, 8));
    In.ProgramDir = Dir.filePath("ws/").toStdString();
    const std::string workspace = AddUserBitmap("LOBBY", Marked(32, 8));
    In.StartupDir = Dir.filePath("ws").toStdString();
    In.ProgramDir = program;
    // Pictures where a label read as a path would lead: outside the style folder.
    const QString evil = Dir.filePath("ws/DefaultImage2/UserDefine/Floor/EVIL.bmp");
    ASSERT_TRUE(Marked(16, 8).save(evil, "BMP"));
    In.Labels[0][0] = "LOBBY";
    In.Labels[0][1] = "ROOF";
    In.Labels[0][2] = "../EVIL";
    In.Labels[0][3] = "STYLE0/../EVIL";
    In.Labels[0][4] = "A\\B";
    In.Labels[0][5] = "A\x01Z";
    const auto& image = Build();
    EXPECT_EQ(Made->UserBitmapPaths()[0], workspace);
    EXPECT_NE(Made->UserBitmapPaths()[0], installed);
    EXPECT_EQ(Made->UserBitmapPaths()[1], roof);
    EXPECT_EQ(Made->UserBitmapPaths().size(), 2u);
    EXPECT_EQ(image[CodeTableSecond(0) + 1], 1);
    EXPECT_EQ(
        Log.Lines,
        (std::vector<std::string>{
            "[Warning] CTBL0-02 (2 ) \"../EVIL\" is not a user bitmap name --> auto cancel !!!",
            "[Warning] CTBL0-03 (3 ) \"STYLE0/../EVIL\" is not a user bitmap name --> auto "
            "cancel !!!",
            "[Warning] CTBL0-04 (4 ) \"A\\B\" is not a user bitmap name --> auto cancel !!!",
            "[Warning] CTBL0-05 (5 ) \"A?Z\" is not a user bitmap name --> auto cancel !!!"}));
    EXPECT_EQ(Made->CancelledCells,
              (std::vector<std::pair<int, int>>{{0, 2}, {0, 3}, {0, 4}, {0, 5}}));
    for (int n = 2; n <= 5; ++n) {
        EXPECT_EQ(image[CodeTableFirst(0) + n], 0);
        EXPECT_EQ(image[CodeTableSecond(0) + n], 0);
    }
}

TEST_F(RomBuilderTest, FloorZoneLimits) {
    // 41 glyphs of 256 bytes pass the 10240-byte mark: a log line, still built.
    for (int c = 0; c < 41; ++c) {
        In.Pictures.FloorGlyphs[0][c] = Packed(32, 64, 1);
    }
    Build();
    ASSERT_EQ(Log.Lines.size(), 1u);
    EXPECT_EQ(Log.Lines[0], "[Error] Floor BMP zone full!! -- [ 10496 ]");

    // Exactly 28672 bytes reaches 0xF400: overflow, nothing written.
    Log.Lines.clear();
    ASSERT_TRUE(QFile::remove(QString::fromStdString(In.OutputFile)));
    In.Pictures.FloorGlyphs[0][0] = Packed(256, 28672 * 8 / 256, 1);
    In.Pictures.Messages[0][1] = Packed(64, 16, 1);
    EXPECT_FALSE(Run());
    EXPECT_EQ(Made->LastErrMsg, "FL element overflow!!\n\n");
    EXPECT_EQ(Made->LastErrCaption, "Element overflow");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(In.OutputFile)));

    // One byte less fits.
    In.Pictures.FloorGlyphs[0] = {};
    In.Pictures.FloorGlyphs[0][0] = Packed(8, 28671, 1);
    const auto& image = Build();
    EXPECT_EQ(image[0xF3FE], 1);
    EXPECT_EQ(image[0xF3FF], Crc8Table[0xFF]);
}

TEST_F(RomBuilderTest, SettingsRecordLogoScreenAndSmallGlyphs) {
    TRomSettings& s = In.Settings;
    s.DPSTYLE = 2;
    s.DISPDT = 1;
    s.PWRSAVING = 16;
    s.SWAPTIME = 29;
    s.CUSLOGOENABLE = 1;
    s.CusIdCode = "  AB ";
    s.DEF_MSGPOS = 2;
    s.NODEADDR = 63;
    s.DEF_DIR = 4;
    s.DEF_FL = 3;
    s.DEF_MSG = 12;
    s.DEF_CTBL = 2;
    const std::string logo = Dir.filePath("logo.bmp").toStdString();
    QImage logoImage = Marked(64, 64);
    logoImage.setPixel(63, 63, qRgb(0, 0, 0));
    ASSERT_TRUE(logoImage.save(QString::fromStdString(logo), "BMP"));
    s.TitleFileName = logo;
    const auto& image = Build();
    const uint8_t expected[16] = {0, 2, 1, 16, 30, 1, 'A', 'B', 0, 0, 2, 63, 4, 0, 12, 2};
    EXPECT_EQ(std::memcmp(image.data() + SettingsRecord, expected, 16), 0);
    EXPECT_EQ(image[LogoZone], 0x01);
    EXPECT_EQ(image[LogoZone + 511], 0x80);
    // The screen picture is turned whatever DISPHV says: 64 x 32 becomes 32 x 64,
    // and its top-left pixel lands in the first byte of the last band.
    EXPECT_EQ(image[ScreenZone + 7 * 32], 0x80);
    // 39 small glyphs of 8 bytes each, then zeros.
    for (int i = 0; i < 39; ++i)
        EXPECT_EQ(image[SmallGlyphZone + 8 * i], 0x01) << i;
    EXPECT_EQ(image[SmallGlyphZone + 312], 0x00);
    for (size_t i = Reserved0; i < Reserved0 + Reserved0Size; ++i)
        ASSERT_EQ(image[i], 0);

    s.TitleFileName = Dir.filePath("gone.bmp").toStdString();
    EXPECT_FALSE(Run());
    EXPECT_NE(Made->LastErrMsg.find("gone.bmp"), std::string::npos);
}

TEST_F(RomBuilderTest, RomFileNameRuleAndWriteFailure) {
    EXPECT_EQ(TRomBuilder::RomFileNameFor("  "), "DPU510TK3.BIN");
    EXPECT_EQ(TRomBuilder::RomFileNameFor(" lift.rom "), "lift.BIN");
    EXPECT_EQ(TRomBuilder::RomFileNameFor("lift"), "lift.BIN");
    EXPECT_EQ(DpuText::CodeText(0), "00 (0 )");

    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Dir.path()));
    In.OutputFile.clear();
    In.Settings.RomFileName = "tower.rom";
    EXPECT_TRUE(Run()) << Made->LastErrMsg;
    EXPECT_EQ(QFileInfo(Dir.filePath("tower.BIN")).size(), 64512);
    QDir::setCurrent(before);

    In.OutputFile = Dir.filePath("missing/folder/x.BIN").toStdString();
    EXPECT_FALSE(Run());
    EXPECT_EQ(Made->LastErrCaption, "File error");
    EXPECT_NE(Made->LastErrMsg.find("missing/folder/x.BIN"), std::string::npos);
}

TEST_F(RomBuilderTest, LogoScreenAndSmallGlyphsAreCutAtTheirZones) {
    AddOneGlyph();
    const std::string logo = Dir.filePath("wide.bmp").toStdString();
    ASSERT_TRUE(Marked(128, 64).save(QString::fromStdString(logo), "BMP"));
    In.Settings.TitleFileName = logo;
    Glyphs.Entries[{0, 40}] = BmpBytes(Marked(64, 64)); // 512 bytes for a 256-byte zone
    for (int i = 0; i < 39; ++i)
        Glyphs.Entries[{7, i}] = BmpBytes(Marked(16, 16)); // 32 bytes each: 16 fit
    const auto& image = Build();
    EXPECT_EQ(image[LogoZone], 0x01);
    EXPECT_EQ(image[SmallGlyphZone + 15 * 32], 0x01);
    EXPECT_EQ(image[Reserved0], 0x00); // nothing spilled past the small-glyph zone
    // One line for each item that lost bytes: glyphs 16 to 38 do not fit at all.
    ASSERT_EQ(Log.Lines.size(), 2u + 23u);
    EXPECT_EQ(Log.Lines[0], "[Error] Screen zone full!! -- screen picture cut at 256 of 512 bytes");
    EXPECT_EQ(Log.Lines[1], "[Error] Logo zone full!! -- " + logo + " cut at 512 of 1024 bytes");
    EXPECT_EQ(Log.Lines[2],
              "[Error] Small glyph zone full!! -- small glyph 16 cut at 0 of 32 bytes");
    EXPECT_EQ(Log.Lines[24],
              "[Error] Small glyph zone full!! -- small glyph 38 cut at 0 of 32 bytes");
}

TEST_F(RomBuilderTest, MoreThan128UserBitmapsStop) {
    for (int n = 0; n < 129; ++n) {
        const std::string label = "U" + std::to_string(100 + n);
        AddUserBitmap(label, Marked(8, 8));
        In.Labels[n / 64][n % 64] = label;
    }
    EXPECT_FALSE(Run());
    EXPECT_EQ(Made->LastErrCaption, "Element overflow");
    EXPECT_EQ(Made->LastErrMsg, "UBF element overflow!!\n\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(In.OutputFile)));

    // 128 fit, numbered 0..127.
    In.Labels[2][0].clear();
    const auto& image = Build();
    EXPECT_EQ(image[CodeTableSecond(1) + 63], 127);
    EXPECT_EQ(Address(image, UserBitmapTable + 2 * 127), 0x8400u + 127 * 8);
}

TEST_F(RomBuilderTest, FloorStyleOutsideItsRangePlacesNoGlyphs) {
    In.Settings.DEF_FL = 7;
    In.Pictures.FloorGlyphs[0][48] = Packed(32, 64, 1);
    In.Labels[0][0] = "LOBBY";
    const auto& image = Build();
    EXPECT_EQ(Address(image, GlyphTable + 2 * 48), 0u);
    EXPECT_EQ(Made->CancelledCells.size(), 1u);
}

TEST_F(RomBuilderTest, BrokenLibraryEntryStopsWithGlbFileErrorAndNamesIt) {
    Glyphs.Faults[{0, 40}] = "offset 0x00FFFFFF is past the end of the file (2000 bytes)";
    EXPECT_FALSE(Run());
    EXPECT_EQ(Made->LastErrCaption, "File error");
    EXPECT_EQ(Made->LastErrMsg, "GLB File error!!");
    EXPECT_EQ(Log.Lines.back(), "[Error] GLB entry (0, 40) of TEST.GLB: offset 0x00FFFFFF is past "
                                "the end of the file (2000 bytes) !!!");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(In.OutputFile)));
    // Not required, still a stop: a broken entry is not an absent one.
    Glyphs.Faults.clear();
    Glyphs.Faults[{7, 3}] =
        "length 0xFFFFFFFF from offset 0x00000010 runs past the end of the file (2000 bytes)";
    const TRomPictureConverter converter(Glyphs, 0, {});
    EXPECT_THROW(converter.LibraryEntry(7, 3, false), ERomBuild);
    EXPECT_TRUE(converter.LibraryEntry(7, 200, false).empty());
}

TEST_F(RomBuilderTest, LabelCharactersWithoutAGlyphAreWarned) {
    for (char c : {'1', '5'}) {
        In.Pictures.FloorGlyphs[0][static_cast<size_t>(c)] = Packed(8, 16, 1);
    }
    In.Pictures.FloorGlyphs[1]['Q'] = Packed(8, 16, 1); // another style's glyph does not count
    In.Labels[0][0] = "1";
    In.Labels[0][1] = "Q1";
    In.Labels[0][2] = "05"; // the leading zero is never drawn
    In.Labels[1][3] = "QQ";
    In.Labels[2][4] = "\xC9";
    const auto& image = Build();
    EXPECT_EQ(Log.Lines,
              (std::vector<std::string>{
                  "[Warning] CTBL0-01 (1 ) \"Q1\": no glyph for \"Q\" (code 81) in FL Style 0 !!!",
                  "[Warning] CTBL1-03 (3 ) \"QQ\": no glyph for \"Q\" (code 81) in FL Style 0 !!!",
                  "[Warning] CTBL2-04 (4 ) \"\xC9\": no glyph for code 201 in FL Style 0 !!!"}));
    EXPECT_EQ(Made->WarningCount, 3);
    // The labels themselves are still stored as they are.
    EXPECT_EQ(image[CodeTableFirst(0) + 1], 'Q');
    EXPECT_EQ(image[CodeTableSecond(2) + 4], 0xC9);
}

TEST_F(RomBuilderTest, StyleWithoutGlyphsSaysSoOnce) {
    In.Pictures.FloorGlyphs[0]['1'] = Packed(8, 16, 1);
    In.Settings.DEF_FL = 3;
    In.Labels[0][0] = "1";
    Build();
    EXPECT_EQ(
        Log.Lines,
        (std::vector<std::string>{
            "[Warning] FL Style 3 has no glyphs in TEST.GLB -- the image holds no floor glyph !!!",
            "[Warning] CTBL0-00 (0 ) \"1\": no glyph for \"1\" (code 49) in FL Style 3 !!!"}));
}

TEST_F(RomBuilderTest, SettingsOutsideTheirByteOrTheEditorsRangeAreWarned) {
    In.Pictures.FloorGlyphs[0]['1'] = Packed(8, 16, 1);
    TRomSettings& s = In.Settings;
    s.DEF_DIR = 1000;
    s.NODEADDR = 999999;
    s.SWAPTIME = 2147483647;
    s.DEF_CTBL = -1;
    s.PWRSAVING = 255; // fits its byte, not the list
    const auto& image = Build();
    EXPECT_EQ(image[SettingsRecord + 12], 0xE8);
    EXPECT_EQ(image[SettingsRecord + 11], 0x3F);
    EXPECT_EQ(image[SettingsRecord + 4], 0x00);
    EXPECT_EQ(image[SettingsRecord + 15], 0xFF);
    EXPECT_EQ(image[SettingsRecord + 3], 0xFF);
    EXPECT_EQ(
        Log.Lines,
        (std::vector<std::string>{
            "[Warning] PWRSAVING=255 is outside the editor's range 0..16 -- stored as 0xFF !!!",
            "[Warning] SWAPTIME=2147483647 does not fit its byte of the settings record -- stored "
            "as 0x00 !!!",
            "[Warning] NODEADDR=999999 does not fit its byte of the settings record -- stored as "
            "0x3F !!!",
            "[Warning] DEF_DIR=1000 does not fit its byte of the settings record -- stored as 0xE8 "
            "!!!",
            "[Warning] DEF_CTBL=-1 does not fit its byte of the settings record -- stored as 0xFF "
            "!!!"}));
    // 254 seconds' position is the largest that fits once one is added.
    s = TRomSettings{};
    s.SWAPTIME = 254;
    Log.Lines.clear();
    EXPECT_EQ(Build()[SettingsRecord + 4], 0xFF);
    EXPECT_EQ(Log.Lines, (std::vector<std::string>{"[Warning] SWAPTIME=254 is outside the "
                                                   "editor's range 0..29 -- stored as 0xFF !!!"}));

    // A hand-edited project: each value fits its byte but no control offers it.
    s = TRomSettings{};
    s.DEF_CTBL = 99;
    s.DEF_DIR = 99;
    s.DISPDT = 2;
    s.DPSTYLE = 0;
    Log.Lines.clear();
    EXPECT_EQ(Build()[SettingsRecord + 15], 99);
    EXPECT_EQ(Log.Lines,
              (std::vector<std::string>{
                  "[Warning] DPSTYLE=0 is outside the editor's range 1..2 -- stored as 0x00 !!!",
                  "[Warning] DISPDT=2 is outside the editor's range 0..1 -- stored as 0x02 !!!",
                  "[Warning] DEF_DIR=99 is outside the editor's range 0..4 -- stored as 0x63 !!!",
                  "[Warning] DEF_CTBL=99 is outside the editor's range 0..2 -- stored as 0x63 "
                  "!!!"}));
    // The edges of every range are the editor's own values: nothing to say.
    for (const auto* f : DpuProject::TSettingsTable::RecordFields()) {
        s = TRomSettings{};
        for (const int value : {f->Min, f->Max}) {
            s.*(f->Member) = value;
            Log.Lines.clear();
            Build();
            EXPECT_TRUE(Log.Lines.empty()) << f->Key << "=" << value;
        }
    }
}

TEST_F(RomBuilderTest, StrictBuildWritesNothingAfterAnyWarning) {
    In.Pictures.FloorGlyphs[0]['1'] = Packed(8, 16, 1);
    In.Labels[0][0] = "1";
    In.Strict = true;
    Build();
    EXPECT_FALSE(Made->StrictStop);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(In.OutputFile)));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Log.Lines.clear();
        if (round == 0) {
            In.Labels[0][1] = "NOPE"; // a missing user bitmap
        } else {
            In.Labels[0][1].clear();
            In.Settings.NODEADDR = 300;
        }
        EXPECT_FALSE(Run());
        EXPECT_TRUE(Made->StrictStop);
        EXPECT_EQ(Made->LastErrCaption, "Make ROM abort");
        EXPECT_EQ(Made->LastErrMsg, "Strict build: 1 warning line, no ROM file written!!\n\n");
        // A missing bitmap's warning is followed by where it was looked for.
        EXPECT_EQ(Log.Lines.size(), round == 0 ? 2u : 1u);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(In.OutputFile)));
    }
}
