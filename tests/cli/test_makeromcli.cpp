#include "cli/clioutput.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "project/tstartup.h"
#include "rom/filehelpers.h"
#include "rom/glyphlibrary.h"
#include "rom/romlayout.h"
#include "rom/tmakerom.h"
#include "tests/rom/testglyphs.h"
#include "tests/rom/testprompts.h"
#include "util/crc8.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

using DpuRom::GlyphLibrary;
using DpuProject::TConfiguration;
using DpuProject::TProjectFile;
using DpuProject::TProject;
using DpuProject::TStartup;
using DpuRom::ReadWholeFile;
using DpuRom::TMakeRom;
namespace RomLayout = DpuRom::RomLayout;

using namespace RomLayout;

namespace {

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

std::vector<uint8_t> ReadAll(const QString& Path) {
    std::vector<uint8_t> data;
    std::string error;
    ReadWholeFile(Path.toStdString(), data, error);
    return data;
}

void WriteText(const QString& Path, const std::string& Text) {
    QFile f(Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Text.data(), static_cast<qint64>(Text.size()));
}

// A start-up directory of its own: configuration, glyph library, project files.
class MakeRomCliTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        WriteText(Dir.filePath("ORVDVE510TK3.INI"),
                  "[GLOBAL]\r\nGLB=TEST.GLB\r\nVCN=2\r\nITEM1=PLAIN\r\nITEM2=RAW\r\n"
                  "[PLAIN]\r\nCFI=1\r\nIFI=41\r\nDISPHV=1\r\nENCODE=1\r\n"
                  "[RAW]\r\nCFI=1\r\nIFI=41\r\nDISPHV=0\r\nENCODE=0\r\n");
        Glyphs = FullTestLibrary();
        ASSERT_TRUE(WriteGlyphLibrary(Dir.filePath("TEST.GLB").toStdString(), Glyphs.Entries));
        Message = Dir.filePath("FIRE-16x64_EN.bmp").toStdString();
        ASSERT_TRUE(Marked(64, 16).save(QString::fromStdString(Message), "BMP"));
    }

    // A project file; Extra lines are added to GLOBAL, Labels to CTBL0.
    std::string Project(const std::string& Name, const std::string& Global, const std::string& Labels,
                        const std::string& CodeName = "DVE510TK3") {
        std::string text = "[GLOBAL]\r\nCODENAME=" + CodeName + "\r\nVERSION=1.0\r\n" + Global +
                           "[LiftStateImage]\r\nLeftState_0_A=" + Message + "\r\n[CTBL0]\r\n" + Labels;
        WriteText(Dir.filePath(QString::fromStdString(Name)), text);
        return Name;
    }

    TRun Tool(const QStringList& Args) {
        QProcess p;
        p.setWorkingDirectory(Dir.path());
        p.start(QCoreApplication::applicationDirPath() + "/dpu510tk3", Args);
        TRun r;
        if (!p.waitForFinished(60000))
            return r;
        r.Status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.Out = p.readAllStandardOutput().toStdString();
        r.Err = p.readAllStandardError().toStdString();
        return r;
    }

    QString File(const char* Name) const { return Dir.filePath(Name); }

    QTemporaryDir Dir;
    TTestGlyphs Glyphs;
    std::string Message;
};

} // namespace

TEST_F(MakeRomCliTest, BuildsTheSameImageAsTheEditorCommand) {
    const std::string labels = "CODE_0=b1\r\nCODE_1=5\r\nCODE_2=NOPE\r\nCODE_255=12\r\n";
    Project("lift.dcf",
            "CUSIDCODE=TK01\r\nROMFILENAME=tower.rom\r\nPWRSAVING=2\r\nNODEADDR=7\r\nDEF_MSG=4\r\n"
            "CODEVER=RAW\r\nDISPDT=1\r\n",
            labels);
    const TRun run = Tool({"make-rom", "lift.dcf"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "[Warning] CTBL0-02 (2 ) not found --> auto cancel !!!\nDPU-510TK3 Make ROM OK\n");
    EXPECT_EQ(run.Err, "");
    const std::vector<uint8_t> image = ReadAll(File("tower.BIN"));
    ASSERT_EQ(image.size(), 64512u);
    EXPECT_EQ(image[CodeTableFirst(0)], 'B');
    EXPECT_EQ(image[CodeTableSecond(0)], '1');
    EXPECT_EQ(image[CodeTableSecond(0) + 1], '5');
    EXPECT_EQ(image[CodeTableSecond(0) + 2], 0);
    EXPECT_EQ(image[CodeTableFirst(0) + 255], '1');
    const uint8_t settings[16] = {0, 1, 1, 2, 1, 0, 'T', 'K', '0', '1', 1, 7, 0, 0, 12, 0};
    EXPECT_EQ(std::memcmp(image.data() + SettingsRecord, settings, 16), 0);
    // Version RAW: no encoding, the auxiliary block from the library.
    EXPECT_EQ(std::memcmp(image.data(), Glyphs.Entries[{0, 1}].data(), 256), 0);
    EXPECT_EQ(std::memcmp(image.data() + AuxBlock, Glyphs.Entries[{0, 41}].data(), AuxBlockSize), 0);
    EXPECT_EQ(image[MessageTable], 0x28);  // the one message picture
    // The project file is not rewritten, and no working file is left behind.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 5);

    // The editor's road: start-up, Load, MAKE ROM after its save, gives the same bytes.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Dir.path()));
    TConfiguration config;
    config.SetDirectoriesFromProcess();
    GlyphLibrary library;
    TProject project;
    TTestPrompts prompts;
    TStartup::Run(config, library, project, prompts, prompts);
    TProjectFile file(project, config, library, prompts, prompts);
    ASSERT_EQ(file.LoadFrom("lift.dcf"), TProjectFile::TLoadResult::Loaded);
    TMakeRom make(project, config, library, prompts, &prompts);
    make.SaveStep = [&] { return file.SaveTo("saved.dcf"); };
    make.OutputFile = "editor.BIN";
    const bool built = make.Run();
    QDir::setCurrent(before);
    ASSERT_TRUE(built) << make.LastErrMsg;
    EXPECT_EQ(ReadAll(File("editor.BIN")), image);
}

TEST_F(MakeRomCliTest, OutputOptionAndFileNameRule) {
    Project("a.dcf", "ROMFILENAME=\r\n", "CODE_0=1\r\n");
    TRun run = Tool({"make-rom", "a.dcf"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(QFileInfo(File("DPU510TK3.BIN")).size(), 64512);

    Project("b.dcf", "ROMFILENAME=noext\r\n", "CODE_0=1\r\n");
    run = Tool({"make-rom", "b.dcf"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(QFile::exists(File("noext.BIN")));

    QDir(Dir.path()).mkdir("out");
    run = Tool({"make-rom", "b.dcf", "-o", "out/x.img"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(QFileInfo(File("out/x.img")).size(), 64512);
    EXPECT_EQ(ReadAll(File("out/x.img")), ReadAll(File("noext.BIN")));
}

TEST_F(MakeRomCliTest, StopsGoToStandardErrorWithStatusOneAndNoImage) {
    struct TCase {
        const char* What;
        std::string Global, Labels, CodeName;
        std::function<void()> Prepare;
        std::string Expected;
    };
    const std::string logo = Dir.filePath("logo.bmp").toStdString();
    std::vector<TCase> cases = {
        {"empty tables", "", "CODE_0=  \r\n", "DVE510TK3", [] {}, "All CTBL is empty!!"},
        {"wrong code name", "", "CODE_0=1\r\n", "dve510tk3", [] {}, "DCF file format error!!"},
        {"character block absent", "", "CODE_0=1\r\n", "DVE510TK3",
         [&] {
             auto entries = Glyphs.Entries;
             entries.erase({0, 1});
             WriteGlyphLibrary(File("TEST.GLB").toStdString(), entries);
         },
         "GLB File error!!"},
        {"floor zone overflow", "", "", "DVE510TK3",
         [&] {
             auto entries = Glyphs.Entries;
             for (int c = 32; c < 127; ++c)
                 entries[{1, c}] = BmpBytes(Marked(512, 8));
             WriteGlyphLibrary(File("TEST.GLB").toStdString(), entries);
         },
         "FL element overflow!!"},
        {"logo not a picture", "CUSLOGOENABLE=1\r\nTITLEFILENAME_C=" + logo + "\r\n", "CODE_0=1\r\n", "DVE510TK3",
         [&] { WriteText(QString::fromStdString(logo), "BM not a picture"); }, logo},
        {"no glyph library", "", "CODE_0=1\r\n", "DVE510TK3", [&] { QFile::remove(File("TEST.GLB")); },
         "TEST.GLB"},
    };
    // Labels using every printable character, for the overflow case.
    for (int c = 33, n = 0; c < 127; c += 2, ++n)
        cases[3].Labels += "CODE_" + std::to_string(n) + "=" + char(c) + char(c + 1) + "\r\n";

    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        ASSERT_TRUE(WriteGlyphLibrary(File("TEST.GLB").toStdString(), Glyphs.Entries));
        c.Prepare();
        Project("p.dcf", "ROMFILENAME=STOP.BIN\r\n" + c.Global, c.Labels, c.CodeName);
        const TRun run = Tool({"make-rom", "p.dcf"});
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Err.find(c.Expected), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out.find("Make ROM OK"), std::string::npos) << run.Out;
        EXPECT_FALSE(QFile::exists(File("STOP.BIN")));
        // Start-up and the project load both miss the library; it is said once.
        const size_t missing = run.Err.find("GLB file not found!!");
        if (missing != std::string::npos) {
            EXPECT_EQ(run.Err.find("GLB file not found!!", missing + 1), std::string::npos) << run.Err;
        }
    }
}

TEST_F(MakeRomCliTest, UnwritableImageIsReportedNotOk) {
    Project("a.dcf", "", "CODE_0=1\r\n");
    const TRun run = Tool({"make-rom", "a.dcf", "-o", "no/such/dir/x.BIN"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("no/such/dir/x.BIN"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
}

TEST_F(MakeRomCliTest, UsageAndHelp) {
    TRun run = Tool({"--help"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("make-rom PROJECT.dcf [-o FILE]"), std::string::npos);
    EXPECT_NE(run.Out.find("DPU-510TK3 Make ROM OK"), std::string::npos);
    for (const QStringList& bad : {QStringList{}, QStringList{"make-rom"}, QStringList{"make-rom", "a", "b"},
                                   QStringList{"make-rom", "a.dcf", "-o"}, QStringList{"make-rom", "-x", "a"},
                                   QStringList{"frobnicate"}}) {
        run = Tool(bad);
        EXPECT_EQ(run.Status, 2) << bad.join(' ').toStdString();
        EXPECT_FALSE(run.Err.empty());
    }
    run = Tool({"make-rom", "absent.dcf"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("absent.dcf"), std::string::npos) << run.Err;
}

TEST(CliOutput, StatusBoxesAndLogGoOutEverythingElseToErr) {
    char outBuf[256] = {}, errBuf[256] = {};
    FILE* out = fmemopen(outBuf, sizeof outBuf - 1, "w");
    FILE* err = fmemopen(errBuf, sizeof errBuf - 1, "w");
    {
        TCliOutput o(out, err);
        o.AppendLog("line one");
        o.MessageBox("Status", "DPU-510TK3 Make ROM OK\n\n");
        o.MessageBox("Element overflow", "FL element overflow!!\n\n");
        EXPECT_FALSE(o.AskYesNo("Overlay file", "File exist!!"));
        std::string name = "x";
        EXPECT_FALSE(o.SaveFileDialog("", "dcf", name));
        EXPECT_EQ(name, "x");
        EXPECT_EQ(o.ErrorCount, 2);
    }
    std::fclose(out);
    std::fclose(err);
    EXPECT_STREQ(outBuf, "line one\nDPU-510TK3 Make ROM OK\n");
    EXPECT_EQ(std::string(errBuf).rfind("FL element overflow!!\n", 0), 0u);
}

TEST(SampleProject, BuildsThroughTheTool) {
    const QString assets = DPU_ASSETS_DIR;
    if (!QFile::exists(assets + "/sample.dcf") || !QFile::exists(assets + "/D510TK3.GLB"))
        GTEST_SKIP() << "the installation files are not generated yet";
    QTemporaryDir dir;
    for (const char* name : {"sample.dcf", "D510TK3.GLB", "ORVDVE510TK3.INI", "SPACE_240x240.bmp"})
        QFile::copy(assets + "/" + name, dir.filePath(name));
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QCoreApplication::applicationDirPath() + "/dpu510tk3", {"make-rom", "sample.dcf", "-o", "S.BIN"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const std::string out = p.readAllStandardOutput().toStdString();
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_NE(out.find("DPU-510TK3 Make ROM OK\n"), std::string::npos);
    const std::vector<uint8_t> image = ReadAll(dir.filePath("S.BIN"));
    ASSERT_EQ(image.size(), 64512u);
    EXPECT_EQ(std::memcmp(image.data() + CrcTable, YVclUtil::Crc8Table, 256), 0);
    // The sample fills at least one label, some glyphs and the lift-state messages.
    EXPECT_NE(image[CodeTableSecond(0)], 0);
    EXPECT_EQ(image[GlyphTable + 2 * '-'], 0x84);
    EXPECT_EQ(image[MessageTable], 0x28);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
