#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "rom/glyphlibrary.h"
#include "rom/romlayout.h"
#include "rom/tglyphlibraryentries.h"
#include "rom/tmakerom.h"
#include "support/ttestglyphs.h"
#include "support/tscriptedprompts.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace DpuProject;
using namespace DpuRom;

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuRom::GlyphLibrary;
using DpuRom::TGlyphLibraryEntries;
using DpuRom::TMakeRom;
using YVclUtil::ReadWholeFile;
using YVclUtil::WriteFileAtomically;
namespace RomLayout = DpuRom::RomLayout;

using namespace RomLayout;

namespace {

unsigned Address(const std::vector<uint8_t>& Image, size_t At) {
    return Image[At] << 8 | Image[At + 1];
}

class MakeRomTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Glyphs = FullTestLibrary();
        ASSERT_TRUE(WriteGlyphLibrary(Path("TEST.GLB"), Glyphs.Entries));
        ASSERT_TRUE(Library.Load(Path("TEST.GLB")));
        Config.ProgramDir = Dir.path().toStdString() + "/";
        Config.StartupDir = Dir.path().toStdString();
        Config.GlbName = "TEST.GLB";
        Config.CFI = 1;
        Config.DISPHV = 0;
        for (auto& state : Project.LiftStateSlots)
            state.fill({});
        Make.OutputFile = Path("OUT.BIN");
    }

    std::string Path(const char* Name) const { return Dir.filePath(Name).toStdString(); }

    std::string SaveMessage(const char* Name) {
        const std::string path = Path(Name);
        EXPECT_TRUE(Marked(64, 16).save(QString::fromStdString(path), "BMP"));
        return path;
    }

    std::vector<uint8_t> Output() {
        std::vector<uint8_t> data;
        std::string error;
        EXPECT_TRUE(ReadWholeFile(Make.OutputFile, data, error)) << error;
        return data;
    }

    bool OutputExists() const { return QFile::exists(QString::fromStdString(Make.OutputFile)); }

    QTemporaryDir Dir;
    TTestGlyphs Glyphs;
    GlyphLibrary Library;
    TConfiguration Config;
    TProject Project;
    TScriptedPrompts Prompts;
    TMakeRom Make{Project, Config, Library, Prompts, &Prompts};
};

} // namespace

TEST_F(MakeRomTest, BlankTablesWarnBeforeSaving) {
    Project.CodeTables[1][4] = "   ";
    bool saved = false;
    Make.SaveStep = [&] { return saved = true; };
    EXPECT_FALSE(Make.Run());
    EXPECT_FALSE(saved);
    ASSERT_EQ(Prompts.Boxes.size(), 1u);
    EXPECT_EQ(Prompts.Boxes[0],
              std::make_pair(std::string("Warning"), std::string("All CTBL is empty!!\n\n")));
    EXPECT_FALSE(OutputExists());
}

TEST_F(MakeRomTest, DeclinedSaveAbortsTheBuild) {
    Project.CodeTables[2][255] = "7";
    Make.SaveStep = [] { return false; };
    EXPECT_FALSE(Make.Run());
    ASSERT_EQ(Prompts.Boxes.size(), 1u);
    EXPECT_EQ(Prompts.Boxes[0],
              std::make_pair(std::string("Make ROM abort"), std::string("User abort!!\n")));
    EXPECT_FALSE(OutputExists());
    ASSERT_FALSE(Prompts.Cursor.empty());
    EXPECT_FALSE(Prompts.Cursor.back());
}

TEST_F(MakeRomTest, LabelsAreUpperCasedAndFlagTheirGlyphs) {
    Project.CodeTables[1][7] = " b1 ";
    Project.CodeTables[0][8] = "Q";    // the library has no Q glyph
    Project.CodeTables[0][9] = "\xC8"; // flagged, but only codes 0..127 get glyphs
    bool saved = false;
    Make.SaveStep = [&] { return saved = true; };
    ASSERT_TRUE(Make.Run()) << Make.LastErrMsg;
    EXPECT_TRUE(saved);
    EXPECT_EQ(Prompts.Boxes.back(),
              std::make_pair(std::string("Status"), std::string("DPU-510TK3 Make ROM OK\n\n")));
    EXPECT_EQ(Prompts.Cursor, (std::vector<bool>{true, false}));

    for (int c : {int('B'), int('1'), int('Q'), int('-'), int('S'), int('0'), int('9'), 0xC8})
        EXPECT_EQ(Project.UsedCharFlags[c], 1) << c;
    EXPECT_EQ(Project.UsedCharFlags['A'], 0);
    const TRomBuildInputs& in = Make.Builder().BuildInputs();
    EXPECT_EQ(in.Labels[1][7], "B1");
    // Glyphs of the chosen style only, packed with their size header.
    EXPECT_EQ(in.Pictures.FloorGlyphs[0]['B'].size(), 4u + 16u * 16u / 8u);
    EXPECT_TRUE(in.Pictures.FloorGlyphs[3]['B'].empty());
    EXPECT_TRUE(in.Pictures.FloorGlyphs[0]['Q'].empty());
    EXPECT_TRUE(in.Pictures.FloorGlyphs[0]['A'].empty()); // not used by any label
    EXPECT_EQ(Prompts.Log,
              (std::vector<std::string>{
                  "[Warning] CTBL0-08 (8 ) \"Q\": no glyph for \"Q\" (code 81) in FL Style 0 !!!",
                  "[Warning] CTBL0-09 (9 ) \"\xC8\": no glyph for code 200 in FL Style 0 !!!"}));

    const std::vector<uint8_t> image = Output();
    ASSERT_EQ(image.size(), ImageSize);
    EXPECT_EQ(image[CodeTableFirst(1) + 7], 'B');
    EXPECT_EQ(image[CodeTableSecond(1) + 7], '1');
    // The minus sign is the lowest code in use, so its glyph comes first; style 0 glyphs are 32
    // bytes.
    EXPECT_EQ(Address(image, GlyphTable + 2 * '-'), 0x8400u);
    EXPECT_EQ(Address(image, GlyphTable + 2 * '0'), 0x8420u);
    EXPECT_NE(Address(image, GlyphTable + 2 * 'S'), 0u);
    EXPECT_NE(Address(image, GlyphTable + 2 * 'B'), 0u);
    EXPECT_EQ(Address(image, GlyphTable + 2 * 'Q'), 0u);
    EXPECT_EQ(Address(image, GlyphTable + 2 * 'A'), 0u);
    // Every direction frame of every style: 60 frames of 32 bytes.
    EXPECT_EQ(Address(image, DirTables), 0x3C80u);
    EXPECT_EQ(Address(image, DirTables + 24 * 4 + 22), 0x3C80u + 59 * 32);
}

TEST_F(MakeRomTest, FloorStyleSelectsWhichGlyphsReachTheImage) {
    Project.CodeTables[0][0] = "1";
    Project.DEF_FL = 2; // 32 x 16 glyphs: 64 bytes each
    ASSERT_TRUE(Make.Run()) << Make.LastErrMsg;
    const std::vector<uint8_t> image = Output();
    EXPECT_EQ(Address(image, GlyphTable + 2 * '-'), 0x8400u);
    EXPECT_EQ(Address(image, GlyphTable + 2 * '0'), 0x8440u);
}

TEST_F(MakeRomTest, MessageListIsCompactInSlotOrderBADC) {
    Project.CodeTables[0][0] = "1";
    Project.LiftStateSlots[3][1] = SaveMessage("b3.bmp"); // slot B, state 3 -> M_163
    Project.LiftStateSlots[0][0] = SaveMessage("a0.bmp"); // slot A, state 0 -> M_170
    Project.LiftStateSlots[9][2] = Path("missing.bmp");   // skipped
    ASSERT_TRUE(Make.Run()) << Make.LastErrMsg;
    {
        const auto& messages = Make.Builder().BuildInputs().Pictures.Messages;
        int present = 0;
        for (const auto& state : messages)
            for (const auto& packed : state)
                present += packed.empty() ? 0 : 1;
        EXPECT_EQ(present, 2);
        EXPECT_FALSE(messages[3][1].empty());
        EXPECT_FALSE(messages[0][0].empty());
    }
    std::vector<uint8_t> image = Output();
    EXPECT_EQ(Address(image, MessageTable), 0x2808u);
    EXPECT_EQ(Address(image, MessageTable + 2), 0x2888u);
    EXPECT_EQ(Address(image, MessageTable + 4), 0u);
    // B3 first (its top-left pixel is lit), then A0.
    EXPECT_EQ(image[0x2808], 0x01);
    EXPECT_EQ(image[0x2888], 0x01);

    // A later build with fewer pictures keeps nothing of the earlier list.
    Project.LiftStateSlots[3][1].clear();
    ASSERT_TRUE(Make.Run());
    image = Output();
    EXPECT_EQ(Address(image, MessageTable), 0x2808u);
    EXPECT_EQ(Address(image, MessageTable + 2), 0u);
    EXPECT_TRUE(Make.Builder().BuildInputs().Pictures.Messages[3][1].empty());
}

// A slot whose picture is not a readable file is skipped as always, with a
// line naming the state, the slot and the file; Strict refuses the build.
TEST_F(MakeRomTest, SkippedSlotsAreSaidAndStrictRefusesThem) {
    Project.CodeTables[0][0] = "1";
    Project.LiftStateSlots[0][0] = SaveMessage("a0.bmp");
    Project.LiftStateSlots[2][1] = Path("missing.bmp");
    ASSERT_TRUE(QDir(Dir.path()).mkdir("folder.bmp"));
    Project.LiftStateSlots[4][2] = Path("folder.bmp");
    ASSERT_EQ(::mkfifo(Path("fifo.bmp").c_str(), 0600), 0);
    Project.LiftStateSlots[9][3] = Path("fifo.bmp");
    Project.LiftStateSlots[5][0] = "  "; // no picture asked for: nothing to say
    ASSERT_TRUE(Make.Run()) << Make.LastErrMsg;
    // In the order the message list is made: slots B, A, D, C.
    const std::vector<std::string> lines = {
        "[Warning] Lift state 2 slot B \"" + Path("missing.bmp") + "\" not found --> skipped !!!",
        "[Warning] Lift state 9 slot D \"" + Path("fifo.bmp") +
            "\" not a regular file --> skipped !!!",
        "[Warning] Lift state 4 slot C \"" + Path("folder.bmp") +
            "\" not a regular file --> skipped !!!",
    };
    EXPECT_EQ(Prompts.Log, lines);
    const std::vector<uint8_t> image = Output();
    EXPECT_EQ(Address(image, MessageTable), 0x2808u);
    EXPECT_EQ(Address(image, MessageTable + 2), 0u);

    Prompts.Log.clear();
    Make.Strict = true;
    Make.OutputFile = Path("STRICT.BIN");
    EXPECT_FALSE(Make.Run());
    EXPECT_TRUE(Make.StrictStop);
    EXPECT_EQ(Make.LastErrMsg, "Strict build: 3 warning lines, no ROM file written!!\n\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("STRICT.BIN"))));
    // Lines the caller logged before (the project load's) count too.
    Project.LiftStateSlots[2][1].clear();
    Project.LiftStateSlots[4][2].clear();
    Project.LiftStateSlots[9][3].clear();
    Make.EarlierWarnings = 1;
    EXPECT_FALSE(Make.Run());
    EXPECT_EQ(Make.LastErrMsg, "Strict build: 1 warning line, no ROM file written!!\n\n");
    Make.EarlierWarnings = 0;
    EXPECT_TRUE(Make.Run()) << Make.LastErrMsg;
}

// The window's MAKE ROM: the image never replaces the project it saved, nor
// a picture the build read, however its name is spelt; nothing is written and
// both are named.
TEST_F(MakeRomTest, ImageNeverReplacesWhatTheBuildReads) {
    Project.CodeTables[0][0] = "1";
    Project.CodeTables[1][1] = "ROOF";
    const std::string message = SaveMessage("m.bmp");
    Project.LiftStateSlots[2][3] = Path("./m.bmp");
    const std::string roof = TRomBuilder::UserBitmapPath(Config.ProgramDir, 0, "ROOF");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(QString::fromStdString(roof)).path()));
    ASSERT_TRUE(Marked(64, 64).save(QString::fromStdString(roof), "BMP"));
    const std::string project = Path("lift.dcf");
    {
        QFile f(QString::fromStdString(project));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[GLOBAL]\r\n");
    }
    Make.SaveStep = [&] {
        Make.ProjectPath = project;
        return true;
    };
    for (const std::string& target : {project, roof, message, Path("TEST.GLB")}) {
        SCOPED_TRACE(target);
        std::vector<uint8_t> before, after;
        std::string error;
        ASSERT_TRUE(ReadWholeFile(target, before, error));
        Make.OutputFile = target;
        EXPECT_FALSE(Make.Run());
        EXPECT_EQ(Make.LastErrCaption, "File error");
        EXPECT_EQ(Make.LastErrMsg.rfind("Cannot write ROM file \"" + target + "\": it is the ", 0),
                  0u)
            << Make.LastErrMsg;
        EXPECT_NE(Make.LastErrMsg.find("that the build reads"), std::string::npos);
        ASSERT_TRUE(ReadWholeFile(target, after, error));
        EXPECT_EQ(after, before);
    }
    EXPECT_NE(Make.LastErrMsg.find("glyph library"), std::string::npos);
    Make.OutputFile = Path("OUT.BIN");
    EXPECT_TRUE(Make.Run()) << Make.LastErrMsg;
}

TEST_F(MakeRomTest, MissingUserBitmapEmptiesTheCell) {
    Project.CodeTables[2][3] = "nope";
    Project.CodeTables[0][0] = "1";
    ASSERT_TRUE(Make.Run()) << Make.LastErrMsg;
    EXPECT_EQ(Make.CancelledCells, (std::vector<std::pair<int, int>>{{2, 3}}));
    EXPECT_EQ(Project.CodeTables[2][3], "");
    EXPECT_EQ(Project.CodeTables[0][0], "1");
    ASSERT_EQ(Prompts.Log.size(), 2u);
    EXPECT_EQ(Prompts.Log[0], "[Warning] CTBL2-03 (3 ) not found --> auto cancel !!!");
    // Where it looked; here the start-up folder is the program's, named once.
    EXPECT_EQ(Prompts.Log[1], "    NOPE.bmp looked for in \"" + Config.StartupDir +
                                  "/DefaultImage2/UserDefine/Floor/Style0\"");
}

TEST_F(MakeRomTest, PictureThatCannotBeLoadedStopsAndNamesIt) {
    Project.CodeTables[0][0] = "1";
    const std::string junk = Path("JUNK-16x64.bmp");
    {
        QFile f(QString::fromStdString(junk));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("BM garbage");
    }
    Project.LiftStateSlots[4][3] = junk;
    EXPECT_FALSE(Make.Run());
    ASSERT_EQ(Prompts.Boxes.size(), 1u);
    EXPECT_EQ(Prompts.Boxes[0].first, "Error");
    EXPECT_NE(Prompts.Boxes[0].second.find(junk), std::string::npos) << Prompts.Boxes[0].second;
    EXPECT_FALSE(OutputExists());
    EXPECT_FALSE(Prompts.Cursor.back());
    // Nothing of the stopped run lingers in the current directory either.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 2); // TEST.GLB and the junk picture
}

TEST_F(MakeRomTest, NoLibraryLoadedStopsOnTheFirstLibraryPicture) {
    Project.CodeTables[0][0] = "1";
    Library.Release();
    EXPECT_FALSE(Make.Run());
    ASSERT_EQ(Prompts.Boxes.size(), 1u);
    EXPECT_NE(Prompts.Boxes[0].second.find("TEST.GLB"), std::string::npos);
    EXPECT_FALSE(OutputExists());
}

TEST_F(MakeRomTest, WithoutSaveStepTheRecordTakesItsSavedForm) {
    Project.CodeTables[0][0] = "1";
    Project.DEF_MSG = 4;
    Project.MsgColumnChecked = {false, false, true, false};
    Project.ROMFILENAME = " tower.rom";
    Make.OutputFile.clear();
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Dir.path()));
    const bool built = Make.Run();
    QDir::setCurrent(before);
    ASSERT_TRUE(built) << Make.LastErrMsg;
    EXPECT_EQ(Project.DEF_MSG, 12);
    EXPECT_EQ(Project.ROMFILENAME, "tower.BIN");
    EXPECT_EQ(Make.RomFilePath, "tower.BIN");
    std::vector<uint8_t> image;
    std::string error;
    ASSERT_TRUE(ReadWholeFile(Path("tower.BIN"), image, error));
    EXPECT_EQ(image[SettingsRecord + 14], 12);
}

TEST_F(MakeRomTest, LibraryEntryPointingOutsideTheFileStopsTheBuild) {
    Project.CodeTables[0][0] = "1";
    // Glyph "0" of style 0, which every image holds; then the character block.
    struct TCase {
        int Group, Index;
        uint32_t Offset, Length;
        std::string Fault;
    };
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(ReadWholeFile(Path("TEST.GLB"), file, error)) << error;
    const uint32_t size = static_cast<uint32_t>(file.size());
    const std::vector<TCase> cases = {
        {1, 48, 16392, 0xFFFFFFFFu,
         "length 0xFFFFFFFF from offset 0x00004008 runs past the end of the file (" +
             std::to_string(size) + " bytes)"},
        {0, 1, size, 1,
         YVclUtil::Format("offset 0x%08X is past the end of the file (%u bytes)", size, size)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Index);
        std::vector<uint8_t> bad = file;
        const size_t at =
            8 + 2048 * static_cast<size_t>(c.Group) + 8 * static_cast<size_t>(c.Index);
        for (int i = 0; i < 4; ++i) {
            bad[at + i] = static_cast<uint8_t>(c.Offset >> (24 - 8 * i));
            bad[at + 4 + i] = static_cast<uint8_t>(c.Length >> (24 - 8 * i));
        }
        ASSERT_TRUE(WriteFileAtomically(Path("TEST.GLB"), bad.data(), bad.size(), error)) << error;
        ASSERT_TRUE(Library.Load(Path("TEST.GLB")));
        Prompts.Log.clear();
        EXPECT_FALSE(Make.Run());
        EXPECT_EQ(Prompts.Boxes.back(),
                  std::make_pair(std::string("File error"), std::string("GLB File error!!")));
        ASSERT_FALSE(Prompts.Log.empty());
        EXPECT_EQ(Prompts.Log.back(),
                  YVclUtil::Format("[Error] GLB entry (%d, %d) of TEST.GLB: ", c.Group, c.Index) +
                      c.Fault + " !!!");
        EXPECT_FALSE(OutputExists());
    }
}

TEST(GlyphLibraryEntries, ReadsEntriesInPlaceAndTreatsOutsideAsAbsent) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("T.GLB").toStdString();
    ASSERT_TRUE(WriteGlyphLibrary(path, {{{0, 40}, {1, 2, 3}}, {{7, 38}, {9}}}));
    GlyphLibrary library;
    ASSERT_TRUE(library.Load(path));
    const std::string name = "T.GLB";
    const TGlyphLibraryEntries entries(library, name);
    EXPECT_TRUE(entries.IsLoaded());
    const std::span<const uint8_t> screen = entries.Entry(0, 40);
    EXPECT_EQ(std::vector<uint8_t>(screen.begin(), screen.end()), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(entries.Entry(7, 38).size(), 1u);
    EXPECT_TRUE(entries.Entry(0, 41).empty());
    EXPECT_TRUE(entries.Entry(8, 0).empty());
    EXPECT_TRUE(entries.Entry(-1, 0).empty());
    // Absent is not broken; outside the directory is.
    EXPECT_EQ(entries.EntryFault(0, 41), "");
    EXPECT_EQ(entries.EntryFault(0, 40), "");
    EXPECT_NE(entries.EntryFault(8, 0), "");
    library.Release();
    EXPECT_FALSE(entries.IsLoaded());
    EXPECT_TRUE(entries.Entry(0, 40).empty());
}
