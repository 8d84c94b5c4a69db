// The image reader against the builder: make-rom -> read -> recover -> make-rom
// over many random projects, refusals of damaged images, and diff by meaning.

#include "project/tconfiguration.h"
#include "project/tliftstatedefaults.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "project/tsettingstable.h"
#include "rom/glyphlibrary.h"
#include "rom/romlayout.h"
#include "rom/tglyphlibraryentries.h"
#include "rom/tmakerom.h"
#include "rom/tromimagediff.h"
#include "rom/tromimagepainter.h"
#include "rom/tromimagereader.h"
#include "rom/tromimagetext.h"
#include "rom/tromrebuildcheck.h"
#include "rom/tromrecovery.h"
#include "rom/trombuilder.h"
#include "support/ttestglyphs.h"
#include "support/tscriptedprompts.h"
#include "util/fileaccess.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

using DpuProject::TConfiguration;
using DpuProject::TLiftStateDefaults;
using DpuProject::TProject;
using DpuProject::TProjectFile;

using namespace DpuProject;
using namespace DpuRom;

using namespace DpuRom;
using testing::HasSubstr;
using TPicture = DpuRom::TRomImagePainter::TPicture;

namespace {

QImage Noise(int W, int H, std::mt19937& Rng) {
    QImage image(W, H, QImage::Format_RGB32);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            image.setPixel(x, y, Rng() % 3 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    return image;
}

bool SaveBmp(const QImage& Image, const std::string& Path) {
    QDir().mkpath(QFileInfo(QString::fromStdString(Path)).path());
    return Image.save(QString::fromStdString(Path), "BMP");
}

std::vector<uint8_t> ReadBytes(const std::string& Path) {
    std::vector<uint8_t> data;
    std::string error;
    EXPECT_TRUE(YVclUtil::ReadWholeFile(Path, data, error)) << Path << ": " << error;
    return data;
}

std::string DiffText(const std::vector<TRomImageDiff::TDifference>& Diffs) {
    std::string out;
    for (const auto& d : Diffs)
        out += d.Text + "\n";
    return out;
}

// An installation in a temporary folder: a library shaped like the real one
// (32 x 64 floor glyphs that differ between styles, 48 x 48 frames, 8 x 8 small
// glyphs, 64 x 32 screen picture), a configuration with the four mixes of
// DISPHV and ENCODE, and stock lift-state bitmaps so an empty slot would be
// taken by one on loading.
class RomImageTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        std::mt19937 rng(7);
        TTestGlyphs glyphs;
        AddRequiredEntries(glyphs);
        for (int i = 0; i < 39; ++i)
            glyphs.Entries[{7, i}] = BmpBytes(Noise(8, 8, rng));
        glyphs.Entries[{0, 40}] = BmpBytes(Noise(64, 32, rng));
        for (int s = 0; s < 5; ++s)
            for (int f = 0; f < 12; ++f)
                if ((s + f) % 7 != 3) // some frames absent
                    glyphs.Entries[{0, 50 + 20 * s + f}] = BmpBytes(Noise(48, 48, rng));
        for (int k = 0; k < 4; ++k)
            for (int c = 32; c < 127; ++c)
                glyphs.Entries[{1 + k, c}] = BmpBytes(Noise(32, 64, rng));
        ASSERT_TRUE(WriteGlyphLibrary(Path("TEST.GLB"), glyphs.Entries));
        const char* ini =
            "[GLOBAL]\r\nGLB=TEST.GLB\r\nVCN=4\r\nITEM1=TURN-ENC\r\nITEM2=TURN-PLAIN\r\n"
            "ITEM3=FLAT-ENC\r\nITEM4=FLAT-PLAIN\r\n"
            "[TURN-ENC]\r\nCFI=1\r\nIFI=41\r\nDISPHV=1\r\nENCODE=1\r\n"
            "[TURN-PLAIN]\r\nCFI=1\r\nIFI=41\r\nDISPHV=1\r\nENCODE=0\r\n"
            "[FLAT-ENC]\r\nCFI=1\r\nIFI=41\r\nDISPHV=0\r\nENCODE=1\r\n"
            "[FLAT-PLAIN]\r\nCFI=1\r\nIFI=41\r\nDISPHV=0\r\nENCODE=0\r\n";
        std::string error;
        ASSERT_TRUE(
            YVclUtil::WriteFileAtomically(Path("ORVDVE510TK3.INI"), ini, std::strlen(ini), error));
        Config.ProgramDir = Dir.path().toStdString() + "/";
        Config.StartupDir = Dir.path().toStdString();
        ASSERT_TRUE(Config.Read(Prompts));
        ASSERT_TRUE(Library.Load(Config.GlbPath()));
        for (int state = 0; state < 10; ++state)
            for (int slot = 0; slot < 4; ++slot)
                ASSERT_TRUE(SaveBmp(Noise(64, 16, rng), TLiftStateDefaults::DefaultPath(
                                                            Config.ProgramDir, state, slot)));
    }

    std::string Path(const std::string& Name) const {
        return Dir.filePath(QString::fromStdString(Name)).toStdString();
    }

    bool Build(TProject& Project, TConfiguration& WithConfig, const std::string& Out) {
        TMakeRom make(Project, WithConfig, Library, Prompts, &Prompts);
        make.OutputFile = Out;
        const bool ok = make.Run();
        EXPECT_TRUE(ok) << make.LastErrCaption << ": " << make.LastErrMsg;
        EXPECT_TRUE(make.CancelledCells.empty());
        return ok;
    }

    // The reader as the tool sets it up, but assuming the wrong turn, so
    // only the library can have told it the right one.
    bool ReadImage(const std::vector<uint8_t>& Bytes, TRomImage& Image,
                   const std::string& ProgramDir) {
        Entries = std::make_unique<TGlyphLibraryEntries>(Library, Config.GlbName);
        TRomImageReader reader;
        reader.Library = Entries.get();
        reader.Cfi = 1;
        reader.AssumedDispHv = Config.DISPHV == 1 ? 0 : 1;
        reader.ProgramDir = ProgramDir;
        const bool ok = reader.Read(Bytes.data(), Bytes.size(), Image);
        EXPECT_TRUE(ok) << reader.LastErrMsg;
        return ok;
    }

    // A project as the editor could make it: labels of every kind in all
    // three tables, shared user bitmaps, some or all message slots, the logo
    // on or off, every setting somewhere in its range.
    TProject RandomProject(int Round, std::mt19937& Rng) {
        TProject p;
        p.DEF_FL = Round % 4;
        p.DPSTYLE = 1 + static_cast<int>(Rng() % 2);
        p.DISPDT = static_cast<int>(Rng() % 2);
        p.PWRSAVING = static_cast<int>(Rng() % 17);
        p.NODEADDR = static_cast<int>(Rng() % 64);
        p.DEF_DIR = static_cast<int>(Rng() % 5);
        p.DEF_MSGPOS = static_cast<int>(Rng() % 3);
        p.DEF_CTBL = static_cast<int>(Rng() % 3);
        for (bool& box : p.MsgColumnChecked)
            box = Rng() % 2;
        const std::string chars = "0123456789ABCDEFGHJKLMNPRSTUVWXYZ-";
        const int idLength = static_cast<int>(Rng() % 5);
        for (int i = 0; i < idLength; ++i)
            p.CUSIDCODE += chars[Rng() % chars.size()];

        const int userCount = static_cast<int>(Rng() % 6);
        std::vector<std::string> users;
        for (int u = 0; u < userCount; ++u) {
            users.push_back("U" + std::to_string(Round) + "X" + std::to_string(u));
            // Sizes differ, as drawn user bitmaps may.
            const int width = 8 * (4 + static_cast<int>(Rng() % 5));
            EXPECT_TRUE(
                SaveBmp(Noise(width, 64, Rng),
                        TRomBuilder::UserBitmapPath(Config.ProgramDir, p.DEF_FL, users.back())));
        }
        for (int t = 0; t < 3; ++t)
            for (int n = 0; n < 256; ++n) {
                const unsigned r = Rng() % 40;
                if (r == 0)
                    p.SetLabel(t, n, std::string(1, chars[Rng() % chars.size()]));
                else if (r == 1)
                    p.SetLabel(t, n,
                               std::string(1, chars[Rng() % chars.size()]) +
                                   chars[Rng() % chars.size()]);
                else if (r == 2)
                    p.SetLabel(t, n, "0" + std::string(1, chars[Rng() % 10]));
                else if (r == 3 && !users.empty())
                    p.SetLabel(t, n, users[Rng() % users.size()]);
            }
        const bool allSlots = Round % 3 == 0;
        for (int state = 0; state < 10; ++state)
            for (int slot = 0; slot < 4; ++slot) {
                const std::string path =
                    Path("r" + std::to_string(Round) + "/msg" + std::to_string(state) + "_" +
                         std::to_string(slot) + ".bmp");
                if (allSlots || Rng() % 3 == 0) {
                    EXPECT_TRUE(SaveBmp(Noise(64, 16, Rng), path));
                }
                p.SetSlot(state, slot, path); // a missing file is skipped by the build
            }
        if (Round % 2 == 0) {
            const std::string logo = Path("r" + std::to_string(Round) + "/logo.bmp");
            EXPECT_TRUE(SaveBmp(Noise(64, 64, Rng), logo));
            p.CUSLOGOENABLE = 1;
            p.TITLEFILENAME_C = Path("logo.bmp");
            p.TITLEFILENAME_C = logo;
            p.SWAPTIME = static_cast<int>(Rng() % 30);
        }
        return p;
    }

    QTemporaryDir Dir;
    TScriptedPrompts Prompts;
    TConfiguration Config;
    GlyphLibrary Library;
    std::unique_ptr<TGlyphLibraryEntries> Entries;
};

TEST_F(RomImageTest, RecoveredProjectsBuildTheSameImage) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Every mix of turn and ENCODE, every floor style.
        ASSERT_TRUE(Config.SelectVersion((round / 4 + round) % 4));
        TProject project = RandomProject(round, rng);
        const std::string first = Path("r" + std::to_string(round) + "/A.BIN");
        ASSERT_TRUE(Build(project, Config, first));
        const std::vector<uint8_t> bytes = ReadBytes(first);

        // Odd rounds name their user bitmaps afresh, in a folder of their own.
        const bool ownRoot = round % 2 == 1;
        TRomImage image;
        ASSERT_TRUE(ReadImage(bytes, image, ownRoot ? std::string() : Config.ProgramDir));
        EXPECT_EQ(image.Settings.DispHv, Config.DISPHV);
        EXPECT_EQ(image.Settings.Encode, Config.ENCODE);
        EXPECT_EQ(image.Settings.DEF_FL, project.DEF_FL);
        EXPECT_EQ(image.DefFlSource, TRomImage::TSource::Library);

        TConfiguration config = Config;
        ASSERT_TRUE(config.SelectVersion(0));
        if (ownRoot) config.ProgramDir = Path("r" + std::to_string(round) + "/inst") + "/";
        TRomRecovery recovery(image, config);
        recovery.BitmapDir = Path("r" + std::to_string(round) + "/rec");
        recovery.UserRoot = config.ProgramDir;
        const std::string dcf = Path("r" + std::to_string(round) + "/rec/P.dcf");
        ASSERT_TRUE(recovery.RecoverTo(dcf)) << recovery.LastErrMsg;
        EXPECT_EQ(config.ENCODE, Config.ENCODE);
        EXPECT_EQ(config.DISPHV, Config.DISPHV);
        // recover's own check finds nothing to warn about either.
        TRomImageReader checkReader;
        checkReader.Library = Entries.get();
        checkReader.Cfi = 1;
        TRomRebuildCheck check(Library, checkReader);
        EXPECT_TRUE(check.Run(dcf, config, recovery.UserRoot, image, bytes));
        EXPECT_EQ(recovery.Warnings.size() + check.Warnings.size(), 0u)
            << (check.Warnings.empty() ? recovery.Warnings.front() : check.Warnings.front());

        TProject again;
        TLiftStateDefaults::FillDefaults(again, Config.ProgramDir);
        TConfiguration loadConfig = config;
        TProjectFile file(again, loadConfig, Library, Prompts, Prompts);
        ASSERT_EQ(file.LoadFrom(dcf), TProjectFile::TLoadResult::Loaded) << file.LastError;
        const std::string second = Path("r" + std::to_string(round) + "/B.BIN");
        ASSERT_TRUE(Build(again, loadConfig, second));
        const std::vector<uint8_t> rebuilt = ReadBytes(second);
        if (rebuilt != bytes) {
            TRomImage other;
            ReadImage(rebuilt, other, std::string());
            ADD_FAILURE() << "the rebuilt image differs:\n"
                          << DiffText(TRomImageDiff::Compare(image, other, bytes, rebuilt));
        }
    }
}

// Single bits flipped all over a built image, most of them where its items
// lie: each flipped image is refused, or recovers to a project that builds
// it again byte for byte, or gets a warning line naming what does not come
// back. Projects the check passes are built again here, as make-rom would.
TEST_F(RomImageTest, EveryFlippedBitRebuildsOrIsWarnedAbout) {
    ASSERT_TRUE(Config.SelectVersion(0));
    std::mt19937 rng(99);
    TProject project = RandomProject(0, rng);
    ASSERT_TRUE(Build(project, Config, Path("FLIP.BIN")));
    const std::vector<uint8_t> good = ReadBytes(Path("FLIP.BIN"));
    Entries = std::make_unique<TGlyphLibraryEntries>(Library, Config.GlbName);
    TRomImageReader reader;
    reader.Library = Entries.get();
    reader.Cfi = Config.CFI;
    reader.AssumedDispHv = Config.DISPHV;
    reader.ProgramDir = Config.ProgramDir;

    // Where the items are: settings, code tables, the first pictures of each zone.
    const std::vector<std::pair<size_t, size_t>> busy = {
        {RomLayout::CharBlock, 512},     {RomLayout::LogoZone, 1024},
        {RomLayout::SettingsRecord, 16}, {RomLayout::CodeTables, 1536},
        {RomLayout::MessageTable, 2000}, {RomLayout::DirTables, 3000},
        {RomLayout::GlyphTable, 256},    {RomLayout::FloorZone, 6000},
        {RomLayout::AuxBlock, 1792},     {RomLayout::ScreenZone, 256}};
    int same = 0, warned = 0, refused = 0;
    for (int k = 0; k < 160; ++k) {
        size_t at = rng() % RomLayout::ImageSize;
        if (k % 4 != 0) {
            const auto& [from, size] = busy[rng() % busy.size()];
            at = from + rng() % size;
        }
        SCOPED_TRACE(testing::Message() << "flip " << k << " at 0x" << std::hex << at);
        std::vector<uint8_t> bytes = good;
        bytes[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        TRomImage image;
        if (!reader.Read(bytes.data(), bytes.size(), image)) {
            ++refused;
            continue;
        }
        const std::string dir = Path("flip" + std::to_string(k));
        TConfiguration config = Config;
        TRomRecovery recovery(image, config);
        recovery.Durable = false;
        recovery.BitmapDir = dir + "/pictures";
        recovery.UserRoot = dir + "/";
        ASSERT_TRUE(recovery.RecoverTo(dir + "/P.dcf")) << recovery.LastErrMsg;
        TRomRebuildCheck check(Library, reader);
        const bool identical = check.Run(dir + "/P.dcf", config, recovery.UserRoot, image, bytes);
        std::vector<std::string> warnings = recovery.Warnings;
        warnings.insert(warnings.end(), check.Warnings.begin(), check.Warnings.end());
        if (!warnings.empty()) {
            ++warned;
            for (const std::string& w : warnings)
                EXPECT_THAT(w, testing::StartsWith("[Warning] "));
            continue;
        }
        ASSERT_TRUE(identical);
        // Not warned about: make-rom's way gives the flipped image back.
        TProject again;
        TLiftStateDefaults::FillDefaults(again, Config.ProgramDir);
        TConfiguration loadConfig = config;
        loadConfig.ProgramDir = recovery.UserRoot;
        TProjectFile file(again, loadConfig, Library, Prompts, Prompts);
        ASSERT_EQ(file.LoadFrom(dir + "/P.dcf"), TProjectFile::TLoadResult::Loaded);
        ASSERT_TRUE(Build(again, loadConfig, dir + "/AGAIN.BIN"));
        EXPECT_TRUE(ReadBytes(dir + "/AGAIN.BIN") == bytes) << "rebuilt differently, no warning";
        ++same;
    }
    // The flips reached every outcome.
    EXPECT_GT(same, 0);
    EXPECT_GT(warned, 0);
    EXPECT_GT(refused, 0);

    // The image as built: no warning at all.
    TRomImage image;
    ASSERT_TRUE(reader.Read(good.data(), good.size(), image));
    TRomRebuildCheck check(Library, reader);
    EXPECT_TRUE(check.RunOnScratch(Config, image, good));
    EXPECT_TRUE(check.Warnings.empty()) << check.Warnings.front();
}

// Two stock bitmaps of one picture: the build places each file once, so the
// image holds the picture twice; each comes back under a label of its own.
TEST_F(RomImageTest, TwoStockBitmapsOfOnePictureKeepTheirLabels) {
    ASSERT_TRUE(Config.SelectVersion(0));
    std::mt19937 rng(21);
    const QImage same = Noise(64, 64, rng);
    for (const char* label : {"HALL", "LOBBY"})
        ASSERT_TRUE(SaveBmp(same, TRomBuilder::UserBitmapPath(Config.ProgramDir, 0, label)));
    TProject p;
    p.SetLabel(0, 1, "LOBBY");
    p.SetLabel(0, 2, "HALL");
    p.SetLabel(1, 7, "LOBBY");
    ASSERT_TRUE(Build(p, Config, Path("TWICE.BIN")));
    const std::vector<uint8_t> bytes = ReadBytes(Path("TWICE.BIN"));
    TRomImage image;
    ASSERT_TRUE(ReadImage(bytes, image, Config.ProgramDir));
    // Which name goes to which copy the image cannot tell; they only must differ.
    ASSERT_EQ(image.UserBitmapLabels.size(), 2u);
    EXPECT_NE(image.UserBitmapLabels[0], image.UserBitmapLabels[1]);
    EXPECT_FALSE(image.UserBitmapLabels[1].empty());
    TRomImageReader reader;
    reader.Library = Entries.get();
    reader.Cfi = Config.CFI;
    reader.ProgramDir = Config.ProgramDir;
    TRomRebuildCheck check(Library, reader);
    EXPECT_TRUE(check.RunOnScratch(Config, image, bytes));
    EXPECT_TRUE(check.Warnings.empty()) << check.Warnings.front();
}

TEST_F(RomImageTest, ReadsWhatTheBuilderPlaced) {
    ASSERT_TRUE(Config.SelectVersion(2)); // flat, encoded
    TProject p;
    p.DEF_FL = 2;
    p.SetLabel(0, 0, "05");
    p.SetLabel(0, 1, "B2");
    p.SetLabel(2, 255, "K");
    const std::string user = TRomBuilder::UserBitmapPath(Config.ProgramDir, 2, "LOBBY");
    std::mt19937 rng(3);
    ASSERT_TRUE(SaveBmp(Noise(64, 64, rng), user));
    p.SetLabel(1, 12, "LOBBY");
    p.SetLabel(2, 12, "LOBBY");
    ASSERT_TRUE(SaveBmp(Noise(64, 16, rng), Path("fire.bmp")));
    p.SetSlot(0, 1, Path("fire.bmp")); // FIRE slot B, the only message
    p.CUSIDCODE = "AB";
    p.PWRSAVING = 3;
    ASSERT_TRUE(Build(p, Config, Path("ONE.BIN")));

    TRomImage image;
    ASSERT_TRUE(ReadImage(ReadBytes(Path("ONE.BIN")), image, Config.ProgramDir));
    EXPECT_EQ(image.Codes[0][0].Label, "5");
    EXPECT_EQ(image.Codes[0][1].Label, "B2");
    EXPECT_EQ(image.Codes[2][255].Label, "K");
    EXPECT_EQ(image.Codes[1][12].Kind, TRomCode::TKind::UserBitmap);
    EXPECT_EQ(image.Codes[2][12].UserBitmap, image.Codes[1][12].UserBitmap);
    ASSERT_EQ(image.UserBitmaps.size(), 1u);
    EXPECT_EQ(image.UserBitmapLabels[0], "LOBBY");
    EXPECT_EQ(image.UserBitmaps[0].Width, 64);
    EXPECT_EQ(image.UserBitmaps[0].Length, 512u);
    EXPECT_EQ(image.MessagePictures, 1);
    EXPECT_EQ(image.Messages[0].Width, 64);
    EXPECT_EQ(image.Messages[0].Height, 16);
    EXPECT_EQ(image.Settings.CusIdCode, "AB");
    EXPECT_EQ(image.Settings.PWRSAVING, 3);
    EXPECT_EQ(image.Settings.DEF_FL, 2);
    EXPECT_FALSE(image.LogoZoneSet);
    // The drawn message is the file's picture, pixel for pixel.
    const QImage drawn(QString::fromStdString(Path("fire.bmp")));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(image.Messages[0].Lit(x, y), drawn.pixel(x, y) == qRgb(0, 0, 0))
                << x << "," << y;
}

class RomRefusalTest : public RomImageTest {
protected:
    void SetUp() override {
        RomImageTest::SetUp();
        ASSERT_TRUE(Config.SelectVersion(0));
        TProject p;
        p.SetLabel(0, 3, "12");
        std::mt19937 rng(5);
        ASSERT_TRUE(
            SaveBmp(Noise(64, 64, rng), TRomBuilder::UserBitmapPath(Config.ProgramDir, 0, "ROOF")));
        p.SetLabel(0, 4, "ROOF");
        ASSERT_TRUE(SaveBmp(Noise(64, 16, rng), Path("m.bmp")));
        p.SetSlot(2, 0, Path("m.bmp"));
        ASSERT_TRUE(Build(p, Config, Path("GOOD.BIN")));
        Good = ReadBytes(Path("GOOD.BIN"));
    }

    // Reads Bytes, expects a refusal naming At and Table; returns the reason.
    std::string Refused(const std::vector<uint8_t>& Bytes, size_t At, const std::string& Table) {
        TRomImageReader reader;
        TRomImage image;
        EXPECT_FALSE(reader.Read(Bytes.data(), Bytes.size(), image));
        EXPECT_EQ(reader.LastErrOffset, At) << reader.LastErrMsg;
        char offset[32];
        std::snprintf(offset, sizeof offset, "offset 0x%04zX (", At);
        EXPECT_THAT(reader.LastErrMsg, HasSubstr(offset + Table));
        return reader.LastErrMsg;
    }

    void Point(std::vector<uint8_t>& Bytes, size_t At, unsigned Address) {
        Bytes[At] = static_cast<uint8_t>(Address >> 8);
        Bytes[At + 1] = static_cast<uint8_t>(Address);
    }

    std::vector<uint8_t> Good;
};

TEST_F(RomRefusalTest, DamagedImagesAreRefusedNamingTheOffset) {
    TRomImageReader reader;
    TRomImage image;
    ASSERT_TRUE(reader.Read(Good.data(), Good.size(), image)) << reader.LastErrMsg;

    std::vector<uint8_t> cut(Good.begin(), Good.begin() + 40000);
    EXPECT_THAT(Refused(cut, 40000, "end of file"), HasSubstr("cut short"));
    std::vector<uint8_t> longer = Good;
    longer.push_back(0);
    Refused(longer, RomLayout::ImageSize, "end of image");

    std::vector<uint8_t> crc = Good;
    crc[RomLayout::CrcTable + 5] ^= 0x40;
    Refused(crc, RomLayout::CrcTable + 5, "CRC table copy");

    std::vector<uint8_t> glyph = Good;
    Point(glyph, RomLayout::GlyphTable + 2 * '2', 0x2000);
    EXPECT_THAT(Refused(glyph, RomLayout::GlyphTable + 2 * '2', "glyph address table"),
                HasSubstr("outside the floor zone"));

    std::vector<uint8_t> user = Good;
    Point(user, RomLayout::UserBitmapTable, 0xF500);
    Refused(user, RomLayout::UserBitmapTable, "user-bitmap address table");

    std::vector<uint8_t> message = Good;
    Point(message, RomLayout::MessageTable + 2, 0x3C08); // one past the zone
    Refused(message, RomLayout::MessageTable + 2, "message table");

    std::vector<uint8_t> frame = Good;
    Point(frame, RomLayout::DirTables + 24 * 3 + 2 * 4, 0x8000);
    Refused(frame, RomLayout::DirTables + 24 * 3 + 2 * 4, "direction tables");

    std::vector<uint8_t> backwards = Good;
    Point(backwards, RomLayout::GlyphTable + 2 * '2', 0x8400); // the same as the glyph before it
    EXPECT_THAT(Refused(backwards, RomLayout::GlyphTable + 2 * '2', "glyph address table"),
                HasSubstr("not after"));

    // The last floor glyph placed where its library picture cannot fit.
    std::vector<uint8_t> last = Good;
    last[RomLayout::CodeTableFirst(0) + 4] = 0; // the user bitmap's code, so a glyph is last
    last[RomLayout::CodeTableSecond(0) + 4] = 0;
    Point(last, RomLayout::GlyphTable + 2 * 'S', 0xF39A);
    TRomImageReader withLibrary;
    TGlyphLibraryEntries entries(Library, Config.GlbName);
    withLibrary.Library = &entries;
    withLibrary.Cfi = Config.CFI;
    EXPECT_FALSE(withLibrary.Read(last.data(), last.size(), image));
    EXPECT_EQ(withLibrary.LastErrOffset, 0xF39Au);
    EXPECT_THAT(withLibrary.LastErrMsg,
                HasSubstr("offset 0xF39A (floor zone): the last glyph needs 256 bytes"));

    std::vector<uint8_t> number = Good;
    number[RomLayout::CodeTableSecond(0) + 4] = 200;
    Refused(number, RomLayout::CodeTableSecond(0) + 4, "CTBL0 second bytes");
}

// Tables that claim huge items, one of whole bands and one of a byte less,
// in every zone: each picture keeps its zone's height and lies in its zone,
// and everything inspect --png and diff --png draw keeps to the budget.
// A setting no control offers still reads, shown as it is, with a note.
TEST_F(RomRefusalTest, SettingsOutsideTheEditorsRangeAreNoted) {
    std::vector<uint8_t> bytes = Good;
    bytes[RomLayout::SettingsRecord + 15] = 99; // DEF_CTBL
    bytes[RomLayout::SettingsRecord + 2] = 2;   // DISPDT
    TRomImageReader reader;
    TRomImage image;
    ASSERT_TRUE(reader.Read(bytes.data(), bytes.size(), image)) << reader.LastErrMsg;
    EXPECT_EQ(image.Settings.DEF_CTBL, 99);
    EXPECT_EQ(image.Notes,
              (std::vector<std::string>{
                  "settings record byte 2: DISPDT=2 is outside the editor's range 0..1",
                  "settings record byte 15: DEF_CTBL=99 is outside the editor's range 0..2"}));
    TRomImage good;
    ASSERT_TRUE(reader.Read(Good.data(), Good.size(), good));
    EXPECT_TRUE(good.Notes.empty()) << good.Notes.front();
}

TEST_F(RomRefusalTest, HugeItemsAreDrawnWithinTheBudget) {
    std::vector<uint8_t> huge = Good;
    for (size_t i = 0; i < 60; ++i)
        Point(huge, RomLayout::DirTables + 2 * i, 0);
    Point(huge, RomLayout::DirTables, 0x3C80);
    Point(huge, RomLayout::DirTables + 2, 0x3C80 + 8640);        // 8640 bytes: 180 bands
    Point(huge, RomLayout::DirTables + 4, 0x3C80 + 8640 + 8639); // a byte short of that
    for (size_t i = 0; i < 40; ++i)
        Point(huge, RomLayout::MessageTable + 2 * i, 0);
    Point(huge, RomLayout::MessageTable, 0x2808);
    Point(huge, RomLayout::MessageTable + 2, 0x2808 + 2561);
    for (size_t k = 0x3C80; k < 0x8000; ++k)
        huge[k] = static_cast<uint8_t>(k * 13 + 1);
    for (size_t k = 0x2808; k < 0x3C08; ++k)
        huge[k] = static_cast<uint8_t>(k * 7 + 1);
    // The floor zone: glyph '1' of 14000 bytes, the user bitmap of 13999.
    for (size_t c = 0; c < 128; ++c)
        Point(huge, RomLayout::GlyphTable + 2 * c, 0);
    Point(huge, RomLayout::GlyphTable + 2 * '1', 0x8400);
    Point(huge, RomLayout::UserBitmapTable, 0x8400 + 14000);

    for (const bool withLibrary : {false, true}) {
        SCOPED_TRACE(withLibrary ? "with the library" : "without the library");
        TRomImage image;
        TRomImageReader reader;
        TGlyphLibraryEntries entries(Library, Config.GlbName);
        if (withLibrary) reader.Library = &entries;
        ASSERT_TRUE(reader.Read(huge.data(), huge.size(), image)) << reader.LastErrMsg;
        auto bounded = [](const TRomPicture& P, int Height) {
            if (!P.Present()) return;
            ASSERT_EQ(P.Height, Height) << P.Offset;
            ASSERT_LE(P.Width, TRomImageReader::MaxDrawnSide) << P.Offset;
            ASSERT_LE(static_cast<size_t>(P.Width) * static_cast<size_t>(P.Height),
                      8 * P.Length + 8 * static_cast<size_t>(Height))
                << P.Offset;
        };
        for (const auto& style : image.DirFrames)
            for (const TRomPicture& p : style)
                bounded(p, 48);
        bounded(image.Messages[0], 16);
        bounded(image.Messages[1], 16);
        bounded(image.Glyphs['1'], 64);
        ASSERT_EQ(image.UserBitmaps.size(), 1u);
        bounded(image.UserBitmaps[0], 64);
        EXPECT_EQ(image.DirFrames[0][1].Length, 8639u);

        size_t pictures = 0;
        EXPECT_TRUE(
            TRomImagePainter::PaintAll(image, 4, [&](const TPicture& P, const std::string&) {
                ++pictures;
                EXPECT_LE(P.SizeInBytes(), TRomImagePainter::MaxPictureBytes);
                return true;
            }));
        EXPECT_GE(pictures, 7u);
        TRomImage good;
        ASSERT_TRUE(reader.Read(Good.data(), Good.size(), good));
        for (const auto& d : TRomImageDiff::Compare(good, image, Good, huge)) {
            const TPicture side =
                TRomImagePainter::Zoomed(TRomImagePainter::SideBySide(d.Before, d.After), 4);
            EXPECT_LE(side.SizeInBytes(), TRomImagePainter::MaxPictureBytes) << d.Text;
        }
    }

    // A sheet of one very wide and one very tall picture gives way to the budget.
    const TPicture sheet = TRomImagePainter::Sheet({TPicture(3000, 8), TPicture(8, 3000)}, 1);
    EXPECT_LE(sheet.SizeInBytes(), TRomImagePainter::MaxPictureBytes);
    EXPECT_LE(TRomImagePainter::Zoomed(sheet, 16).SizeInBytes(), TRomImagePainter::MaxPictureBytes);
}

TEST_F(RomImageTest, DiffFindsOneLabelAndOnePixelAndNothingInARebuild) {
    ASSERT_TRUE(Config.SelectVersion(0));
    std::mt19937 rng(11);
    TProject p;
    p.PWRSAVING = 3;
    for (int n = 0; n < 20; ++n)
        p.SetLabel(1, n, std::to_string(n));
    ASSERT_TRUE(
        SaveBmp(Noise(64, 64, rng), TRomBuilder::UserBitmapPath(Config.ProgramDir, 0, "12A")));
    QImage fire = Noise(64, 16, rng);
    for (int state = 0; state < 10; ++state)
        for (int slot = 0; slot < 4; ++slot) {
            const std::string path =
                Path("m" + std::to_string(state) + std::to_string(slot) + ".bmp");
            ASSERT_TRUE(SaveBmp(state == 0 && slot == 1 ? fire : Noise(64, 16, rng), path));
            p.SetSlot(state, slot, path);
        }
    ASSERT_TRUE(Build(p, Config, Path("A.BIN")));
    ASSERT_TRUE(Build(p, Config, Path("A2.BIN")));
    p.SetLabel(1, 12, "12A");
    ASSERT_TRUE(Build(p, Config, Path("B.BIN")));
    p.SetLabel(1, 12, "12");
    fire.setPixel(10, 5, fire.pixel(10, 5) == qRgb(0, 0, 0) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    ASSERT_TRUE(SaveBmp(fire, p.Slot(0, 1)));
    p.PWRSAVING = 4;
    ASSERT_TRUE(Build(p, Config, Path("C.BIN")));

    const std::vector<uint8_t> a = ReadBytes(Path("A.BIN")), a2 = ReadBytes(Path("A2.BIN")),
                               b = ReadBytes(Path("B.BIN")), c = ReadBytes(Path("C.BIN"));
    TRomImage ia, ia2, ib, ic;
    ASSERT_TRUE(ReadImage(a, ia, Config.ProgramDir));
    ASSERT_TRUE(ReadImage(a2, ia2, Config.ProgramDir));
    ASSERT_TRUE(ReadImage(b, ib, Config.ProgramDir));
    ASSERT_TRUE(ReadImage(c, ic, Config.ProgramDir));

    EXPECT_EQ(DiffText(TRomImageDiff::Compare(ia, ia2, a, a2)), "");
    EXPECT_EQ(DiffText(TRomImageDiff::Compare(ia, ib, a, b)),
              "CTBL1 code 12 (0C): 12 \xE2\x86\x92 12A\n");
    const auto pixel = TRomImageDiff::Compare(ia, ic, a, c);
    EXPECT_EQ(DiffText(pixel),
              "PWRSAVING: 20 \xE2\x86\x92 30\nmessage FIRE slot B: picture changed\n");
    ASSERT_EQ(pixel.size(), 2u);
    EXPECT_TRUE(pixel[1].Before.Width() == 64 && pixel[1].Before.Height() == 16);
    EXPECT_NE(pixel[1].Before, pixel[1].After);

    // A change in bytes no item covers is still reported.
    std::vector<uint8_t> reserved = a;
    reserved[RomLayout::Reserved0 + 3] = 0x77;
    TRomImage ir;
    ASSERT_TRUE(ReadImage(reserved, ir, Config.ProgramDir));
    EXPECT_THAT(DiffText(TRomImageDiff::Compare(ia, ir, a, reserved)),
                HasSubstr("1 byte differs where no item lies"));
}

} // namespace

// Every entry of the settings table, at both ends of its range, goes the
// whole way: project key -> project file -> loaded record -> MAKE ROM's
// record byte -> reader -> --json name and readable report.
TEST_F(RomImageTest, EverySettingOfTheTableRoundTrips) {
    ASSERT_TRUE(Config.SelectVersion(2));
    std::mt19937 rng(5);
    ASSERT_TRUE(SaveBmp(Noise(64, 64, rng), Path("logo.bmp")));
    std::set<int> bytes;
    std::set<std::string> keys;
    for (const TSettingsTable::TField& f : TSettingsTable::Fields()) {
        SCOPED_TRACE(f.Key);
        EXPECT_TRUE(keys.insert(f.Key).second) << "key listed twice";
        EXPECT_LE(f.Min, f.Initial);
        EXPECT_GE(f.Max, f.Initial);
        EXPECT_EQ(TProject().*(f.Member), f.Initial) << "a new project starts elsewhere";
        if (f.RecordByte >= 0) {
            // Bytes 6..9 hold the identification code.
            EXPECT_TRUE(f.RecordByte < 16 && (f.RecordByte < TSettingsTable::IdCodeByte ||
                                              f.RecordByte >= TSettingsTable::IdCodeByte +
                                                                  TSettingsTable::IdCodeLength));
            EXPECT_TRUE(bytes.insert(f.RecordByte).second) << "record byte used twice";
            EXPECT_STREQ(f.JsonName, f.Key);
        }
        for (const int value : {f.Min, f.Max}) {
            SCOPED_TRACE(value);
            TProject p;
            p.SetLabel(0, 1, "7");
            // The logo time is kept only while the logo is on, and the boxes
            // make the message mask that is saved.
            p.CUSLOGOENABLE = 1;
            p.TITLEFILENAME_C = Path("logo.bmp");
            ASSERT_NE(p.IntSetting(f.Key), nullptr);
            *p.IntSetting(f.Key) = value;
            if (f.Member == &TSettingValues::DEF_MSG) p.SetMsgBoxesFromMask(value);
            const std::string dcf = Path(std::string(f.Key) + std::to_string(value) + ".dcf");
            {
                TProjectFile file(p, Config, Library, Prompts, Prompts);
                ASSERT_TRUE(file.SaveTo(dcf)) << file.LastError;
            }
            const std::vector<uint8_t> text = ReadBytes(dcf);
            const int saved =
                f.Member == &TSettingValues::DEF_MSG ? TProject::NormaliseMsgMask(value) : value;
            EXPECT_THAT(
                std::string(text.begin(), text.end()),
                HasSubstr("\r\n" + std::string(f.Key) + "=" + std::to_string(saved) + "\r\n"));

            TProject loaded;
            TConfiguration loadConfig = Config;
            TProjectFile file(loaded, loadConfig, Library, Prompts, Prompts);
            ASSERT_EQ(file.LoadFrom(dcf), TProjectFile::TLoadResult::Loaded) << file.LastError;
            EXPECT_EQ(loaded.*(f.Member), saved);
            ASSERT_TRUE(Build(loaded, loadConfig, Path("SET.BIN")));
            const std::vector<uint8_t> image = ReadBytes(Path("SET.BIN"));
            if (f.RecordByte >= 0) {
                EXPECT_EQ(image[RomLayout::SettingsRecord + static_cast<size_t>(f.RecordByte)],
                          saved + f.RecordOffset);
            }

            TRomImage read;
            ASSERT_TRUE(ReadImage(image, read, Config.ProgramDir));
            EXPECT_EQ(read.Settings.*(f.Member), saved);
            const QJsonObject json =
                QJsonDocument::fromJson(QByteArray::fromStdString(TRomImageText::Json(read, "x")))
                    .object();
            const QJsonValue named = f.RecordByte >= 0 ? json["settings"].toObject()[f.JsonName]
                                                       : json[f.JsonName].toObject()["value"];
            EXPECT_EQ(named.toInt(-1), saved);
            const std::string shown =
                f.RecordByte >= 0 ? TSettingsTable::ValueText(f, saved) : std::to_string(saved);
            EXPECT_THAT(TRomImageText::Summary(read, "x"),
                        HasSubstr("  " + std::string(f.Key) + ": " + shown));
        }
    }
    // Every byte of the record but the unused ones and the identification code.
    EXPECT_EQ(bytes.size(), 10u);
    EXPECT_EQ(TSettingsTable::UnusedRecordBytes(), (std::vector<int>{0, 13}));

    // The unused bytes are written 0, and an image with anything else there
    // is no image of the builder.
    TProject p;
    p.SetLabel(0, 1, "7");
    p.CUSIDCODE = "WXYZ";
    ASSERT_TRUE(Build(p, Config, Path("ZERO.BIN")));
    std::vector<uint8_t> image = ReadBytes(Path("ZERO.BIN"));
    EXPECT_EQ(std::string(image.begin() + RomLayout::SettingsRecord + 6,
                          image.begin() + RomLayout::SettingsRecord + 10),
              "WXYZ");
    for (const int unused : TSettingsTable::UnusedRecordBytes()) {
        SCOPED_TRACE(unused);
        uint8_t& byte = image[RomLayout::SettingsRecord + static_cast<size_t>(unused)];
        EXPECT_EQ(byte, 0);
        byte = 0x5A;
        TGlyphLibraryEntries entries(Library, Config.GlbName);
        TRomImageReader reader;
        reader.Library = &entries;
        TRomImage read;
        EXPECT_FALSE(reader.Read(image.data(), image.size(), read));
        EXPECT_THAT(reader.LastErrMsg, HasSubstr("settings record"));
        byte = 0;
    }
}
