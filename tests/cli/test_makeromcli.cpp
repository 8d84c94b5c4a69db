#include "cli/clioutput.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "project/tstartup.h"
#include "rom/glyphlibrary.h"
#include "rom/romlayout.h"
#include "rom/tmakerom.h"
#include "support/filehelpers.h"
#include "support/ttestglyphs.h"
#include "support/tscriptedprompts.h"
#include "util/crc8.h"
#include "util/fileaccess.h"
#include "support/pathhelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuProject::TProjectFile;
using DpuProject::TStartup;
using DpuRom::GlyphLibrary;
using DpuRom::TMakeRom;
using YVclUtil::ReadWholeFile;
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
    std::string Project(const std::string& Name, const std::string& Global,
                        const std::string& Labels, const std::string& CodeName = "DVE510TK3") {
        std::string text = "[GLOBAL]\r\nCODENAME=" + CodeName + "\r\nVERSION=1.0\r\n" + Global +
                           "[LiftStateImage]\r\nLeftState_0_A=" + Message + "\r\n[CTBL0]\r\n" +
                           Labels;
        WriteText(Dir.filePath(QString::fromStdString(Name)), text);
        return Name;
    }

    // Runs the tool in the directory; Modifier, when given, runs in the child
    // before the tool starts (to drop privileges or set limits).
    TRun Tool(const QStringList& Args, const std::function<void()>& Modifier = {}) {
        QProcess p;
        p.setWorkingDirectory(Dir.path());
        if (Modifier) p.setChildProcessModifier(Modifier);
        p.start(QCoreApplication::applicationDirPath() + "/dpu510tk3", Args);
        TRun r;
        if (!p.waitForFinished(60000)) return r;
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
    EXPECT_EQ(run.Out.substr(0, run.Out.find('\n') + 1),
              "[Warning] CTBL0-02 (2 ) not found --> auto cancel !!!\n");
    EXPECT_NE(run.Out.find("\n    NOPE.bmp looked for in \"" + Dir.path().toStdString() +
                           "/DefaultImage2/UserDefine/Floor/Style0\", then \""),
              std::string::npos)
        << run.Out;
    EXPECT_EQ(run.Out.substr(run.Out.size() - 23), "DPU-510TK3 Make ROM OK\n");
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
    EXPECT_EQ(std::memcmp(image.data() + AuxBlock, Glyphs.Entries[{0, 41}].data(), AuxBlockSize),
              0);
    EXPECT_EQ(image[MessageTable], 0x28); // the one message picture
    // The project file is not rewritten, and no working file is left behind.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 5);

    // The editor's road: start-up, Load, MAKE ROM after its save, gives the same bytes.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Dir.path()));
    TConfiguration config;
    config.SetDirectoriesFromProcess();
    GlyphLibrary library;
    TProject project;
    TScriptedPrompts prompts;
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
        {"logo not a picture", "CUSLOGOENABLE=1\r\nTITLEFILENAME_C=" + logo + "\r\n",
         "CODE_0=1\r\n", "DVE510TK3",
         [&] { WriteText(QString::fromStdString(logo), "BM not a picture"); }, logo},
        {"no glyph library", "", "CODE_0=1\r\n", "DVE510TK3",
         [&] { QFile::remove(File("TEST.GLB")); }, "TEST.GLB"},
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
            EXPECT_EQ(run.Err.find("GLB file not found!!", missing + 1), std::string::npos)
                << run.Err;
        }
    }
}

// A user who cannot write the program's folder keeps user bitmaps in the
// workspace (the directory the tool runs in); labels never lead elsewhere.
TEST_F(MakeRomCliTest, UserBitmapsFromTheWorkingFolderAndNoLabelAsAPath) {
    const QString folder = File("DefaultImage2/UserDefine/Floor/Style0");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(Marked(64, 32).save(folder + "/MEZZ.bmp", "BMP"));
    ASSERT_TRUE(Marked(64, 32).save(File("DefaultImage2/UserDefine/EVIL.bmp"), "BMP"));
    Project("u.dcf", "", "CODE_0=mezz\r\nCODE_1=../../EVIL\r\n");
    const TRun run = Tool({"make-rom", "u.dcf", "-o", "U.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out,
              "[Warning] CTBL0-01 (1 ) \"../../EVIL\" is not a user bitmap name --> auto cancel "
              "!!!\nDPU-510TK3 Make ROM OK\n");
    const std::vector<uint8_t> image = ReadAll(File("U.BIN"));
    ASSERT_EQ(image.size(), 64512u);
    EXPECT_EQ(image[CodeTableFirst(0)], 0xFE);
    EXPECT_EQ(image[CodeTableSecond(0)], 0);
    EXPECT_EQ(image[CodeTableFirst(0) + 1], 0);
    EXPECT_EQ(image[CodeTableSecond(0) + 1], 0);
    // Only MEZZ in the user-bitmap table.
    EXPECT_NE(image[UserBitmapTable] << 8 | image[UserBitmapTable + 1], 0);
    EXPECT_EQ(image[UserBitmapTable + 2], YVclUtil::Crc8Table[2]);
}

TEST_F(MakeRomCliTest, WarningsAreLoggedAndStrictRefusesThem) {
    // "Q" has no glyph in the test library; 1000 does not fit DEF_DIR's byte.
    Project("w.dcf", "DEF_DIR=1000\r\n", "CODE_0=1\r\nCODE_1=Q\r\n");
    const std::string warnings =
        "[Warning] CTBL0-01 (1 ) \"Q\": no glyph for \"Q\" (code 81) in FL Style 0 !!!\n"
        "[Warning] DEF_DIR=1000 does not fit its byte of the settings record -- stored as 0xE8 "
        "!!!\n";
    TRun run = Tool({"make-rom", "w.dcf", "-o", "W.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, warnings + "DPU-510TK3 Make ROM OK\n");
    EXPECT_EQ(ReadAll(File("W.BIN"))[SettingsRecord + 12], 0xE8);

    run = Tool({"make-rom", "--strict", "w.dcf", "-o", "S.BIN"});
    EXPECT_EQ(run.Status, 3);
    EXPECT_EQ(run.Out, warnings);
    EXPECT_NE(run.Err.find("Strict build: 2 warning lines, no ROM file written!!"),
              std::string::npos)
        << run.Err;
    EXPECT_FALSE(QFile::exists(File("S.BIN")));

    // A clean project builds under --strict as without it.
    Project("c.dcf", "", "CODE_0=1\r\n");
    run = Tool({"make-rom", "c.dcf", "--strict", "-o", "C.BIN"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "DPU-510TK3 Make ROM OK\n");

    // A floor style the library has no glyphs for.
    Project("f.dcf", "DEF_FL=4\r\n", "CODE_0=1\r\n");
    run = Tool({"make-rom", "f.dcf", "-o", "F.BIN"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("[Warning] FL Style 4 has no glyphs in TEST.GLB -- the image holds no "
                           "floor glyph !!!\n"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(
        run.Out.find(
            "[Warning] CTBL0-00 (0 ) \"1\": no glyph for \"1\" (code 49) in FL Style 4 !!!\n"),
        std::string::npos)
        << run.Out;
    EXPECT_EQ(Tool({"make-rom", "f.dcf", "--strict", "-o", "G.BIN"}).Status, 3);
    EXPECT_FALSE(QFile::exists(File("G.BIN")));
}

// --strict counts what the whole run said, not only the build's own lines:
// start-up, the configuration and the settings a hand-edited project holds.
TEST_F(MakeRomCliTest, StrictCountsEveryReportOfTheRun) {
    // Each value fits its byte but no control of the editor offers it.
    Project("r.dcf", "DEF_CTBL=99\r\nDISPDT=2\r\n", "CODE_0=1\r\n");
    TRun run = Tool({"make-rom", "r.dcf", "-o", "R.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out,
              "[Warning] DISPDT=2 is outside the editor's range 0..1 -- stored as 0x02 !!!\n"
              "[Warning] DEF_CTBL=99 is outside the editor's range 0..2 -- stored as 0x63 !!!\n"
              "DPU-510TK3 Make ROM OK\n");
    EXPECT_EQ(Tool({"make-rom", "r.dcf", "--strict", "-o", "S.BIN"}).Status, 3);

    Project("c.dcf", "", "CODE_0=1\r\n");
    const std::vector<uint8_t> config = ReadAll(File("ORVDVE510TK3.INI"));
    const std::string ini(config.begin(), config.end());
    ASSERT_TRUE(QFile::copy(File("TEST.GLB"), File("D510TK3.GLB"))); // the built-in name
    struct TCase {
        std::string Config; // the configuration file's bytes
        std::string Said;   // on standard output or error
        std::function<void()> Plant = {};
    };
    const std::string path = File("ORVDVE510TK3.INI").toStdString();
    const std::vector<TCase> cases = {
        {"\xFF\xFE" + Utf16Text(ini),
         "ORVDVE510TK3.INI: \"" + path + "\" is UTF-16 text (byte-order mark FF FE), not read\n"},
        {"[GLOBAL]\rGLB=TEST.GLB\r", "ORVDVE510TK3.INI: \"" + path +
                                         "\" ends lines with CR alone (line 1); only CR LF or LF "
                                         "end a line, not read\n"},
        {ini + "[GLOBAL]\r\nUBFGLB=GONE.GLB\r\n", "User define BMP file not found!!\n"},
        {ini, "ORV_TEMPBMP.BMP\" left alone: Not a regular file !!!\n",
         [&] { ASSERT_TRUE(QFile::link(File("planted.txt"), File("ORV_TEMPBMP.BMP"))); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Said);
        WriteText(File("ORVDVE510TK3.INI"), c.Config);
        if (c.Plant) c.Plant();
        run = Tool({"make-rom", "c.dcf", "-o", "C.BIN"});
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_NE((run.Out + run.Err).find(c.Said), std::string::npos) << run.Out << run.Err;
        ASSERT_TRUE(QFile::remove(File("C.BIN")));
        run = Tool({"make-rom", "c.dcf", "--strict", "-o", "C.BIN"});
        EXPECT_EQ(run.Status, 3) << run.Out << run.Err;
        EXPECT_NE(run.Err.find("Strict build: "), std::string::npos) << run.Err;
        EXPECT_FALSE(QFile::exists(File("C.BIN")));
    }

    // A library named by its absolute path is that file: a clean build.
    QFile::remove(File("ORV_TEMPBMP.BMP"));
    QFile::remove(File("D510TK3.GLB"));
    std::string absolute = ini;
    absolute.replace(absolute.find("GLB=TEST.GLB"), 12, "GLB=" + File("TEST.GLB").toStdString());
    WriteText(File("ORVDVE510TK3.INI"), absolute);
    run = Tool({"make-rom", "c.dcf", "--strict", "-o", "C.BIN"});
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    WriteText(File("ORVDVE510TK3.INI"), "[GLOBAL]\r\nGLB=/no/such/LIB.GLB\r\n");
    run = Tool({"make-rom", "c.dcf", "-o", "C.BIN"});
    EXPECT_NE(run.Out.find("\"/no/such/LIB.GLB\""), std::string::npos) << run.Out;
}

TEST_F(MakeRomCliTest, UnwritableImageIsReportedNotOk) {
    Project("a.dcf", "", "CODE_0=1\r\n");
    const TRun run = Tool({"make-rom", "a.dcf", "-o", "no/such/dir/x.BIN"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("no/such/dir/x.BIN"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
}

// The image replaces only a regular file or nothing: a FIFO, a folder, a
// socket, and a link to any of them, are refused by name and left as they
// were. A link to a regular file is followed: the new image is written beside
// the target, which keeps its permission bits, and the link stays a link.
TEST_F(MakeRomCliTest, ImageReplacesOnlyRegularFilesAndFollowsLinks) {
    Project("a.dcf", "", "CODE_0=1\r\n");
    const std::string fifo = File("image.fifo").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_TRUE(QDir(Dir.path()).mkdir("image.dir"));
    const std::string sock = File("image.sock").toStdString();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(sock.size(), sizeof addr.sun_path);
    std::copy(sock.begin(), sock.end(), addr.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_TRUE(QFile::link("image.fifo", File("fifo-link.BIN")));

    const std::vector<std::pair<std::string, std::string>> refused = {
        {"image.fifo", "Not a regular file"},
        {"image.dir", "Is a directory"},
        {"image.sock", "Not a regular file"},
        {"fifo-link.BIN", "Not a regular file"},
    };
    for (const auto& [target, reason] : refused) {
        SCOPED_TRACE(target);
        const TRun run = Tool({"make-rom", "a.dcf", "-o", QString::fromStdString(target)});
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Err.find("Cannot write ROM file \"" + target + "\": " + reason),
                  std::string::npos)
            << run.Err;
        EXPECT_EQ(run.Out.find("Make ROM OK"), std::string::npos);
    }
    ::close(fd);
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::lstat(File("image.dir").toStdString().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    ASSERT_EQ(::lstat(sock.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));

    ASSERT_TRUE(QDir(Dir.path()).mkdir("real"));
    WriteText(File("real/lift.BIN"), "old image");
    ASSERT_EQ(::chmod(File("real/lift.BIN").toStdString().c_str(), 0640), 0);
    ASSERT_TRUE(QFile::link("real/lift.BIN", File("lift.BIN")));
    const TRun run = Tool({"make-rom", "a.dcf", "-o", "lift.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(::lstat(File("lift.BIN").toStdString().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(File("real/lift.BIN").toStdString().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 64512);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(File("real")).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1)
        << "the temporary file went";
}

// A project and a configuration that the user may only read build; as root
// the tool runs as "nobody" for this, so the protection holds.
TEST_F(MakeRomCliTest, WriteProtectedProjectAndConfigurationBuild) {
    Project("ro.dcf", "", "CODE_0=1\r\n");
    ASSERT_EQ(::chmod(Dir.path().toStdString().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(File("ro.dcf").toStdString().c_str(), 0444), 0);
    ASSERT_EQ(::chmod(File("ORVDVE510TK3.INI").toStdString().c_str(), 0444), 0);
    const bool root = ::geteuid() == 0;
    const TRun run = Tool({"make-rom", "ro.dcf", "-o", "ro.BIN"}, [root] {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
    });
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_NE(run.Out.find("DPU-510TK3 Make ROM OK"), std::string::npos);
    EXPECT_EQ(QFileInfo(File("ro.BIN")).size(), 64512);
}

// A write that fails part way (here a file-size limit, EFBIG, as a full disk
// gives ENOSPC) names the file and the system's reason, and leaves no image
// and no temporary file.
TEST_F(MakeRomCliTest, FailedImageWriteSaysWhyAndLeavesNothing) {
    Project("a.dcf", "", "CODE_0=1\r\n");
    WriteText(File("x.BIN"), "old image");
    const TRun run = Tool({"make-rom", "a.dcf", "-o", "x.BIN"}, [] {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 8192;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("Cannot write ROM file \"x.BIN\": File too large"), std::string::npos)
        << run.Err;
    EXPECT_EQ(ReadAll(File("x.BIN")),
              std::vector<uint8_t>({'o', 'l', 'd', ' ', 'i', 'm', 'a', 'g', 'e'}));
    EXPECT_TRUE(QDir(Dir.path()).entryList({".x.BIN*"}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(MakeRomCliTest, UsageAndHelp) {
    TRun run = Tool({"--help"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("make-rom PROJECT.dcf [-o FILE] [--strict]"), std::string::npos);
    EXPECT_NE(run.Out.find("the exit status is 3"), std::string::npos);
    EXPECT_NE(run.Out.find("DPU-510TK3 Make ROM OK"), std::string::npos);
    for (const QStringList& bad :
         {QStringList{}, QStringList{"make-rom"}, QStringList{"make-rom", "a", "b"},
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

// A slot or logo picture that is not there is still skipped, but said, so
// --strict refuses the image that lacks it.
TEST_F(MakeRomCliTest, MissingPicturesAreSaidAndStrictRefusesThem) {
    const std::string gone = Dir.filePath("gone.bmp").toStdString();
    const std::string logo = Dir.filePath("nologo.bmp").toStdString();
    std::string text =
        "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nCUSLOGOENABLE=1\r\nTITLEFILENAME_C=" + logo +
        "\r\n[LiftStateImage]\r\nLeftState_0_A=" + Message + "\r\nLeftState_3_B=" + gone +
        "\r\n[CTBL0]\r\nCODE_0=1\r\n";
    WriteText(File("m.dcf"), text);
    TRun run = Tool({"make-rom", "m.dcf", "-o", "M.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("[Warning] Customer logo \"" + logo + "\" not found --> logo off !!!\n"),
              std::string::npos)
        << run.Out;
    // The project's file is not there, nor its stock namesake.
    EXPECT_NE(run.Out.find("[Warning] Lift state 3 slot B \""), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("gone.bmp\" not found --> skipped !!!\n"), std::string::npos) << run.Out;
    EXPECT_EQ(ReadAll(File("M.BIN"))[SettingsRecord + 5], 0); // logo off

    run = Tool({"make-rom", "m.dcf", "--strict", "-o", "S.BIN"});
    EXPECT_EQ(run.Status, 3) << run.Out << run.Err;
    EXPECT_NE(run.Err.find("Strict build: 2 warning lines, no ROM file written!!"),
              std::string::npos)
        << run.Err;
    EXPECT_FALSE(QFile::exists(File("S.BIN")));
}

// The image never replaces a file the build reads, however it is named:
// nothing is written and the message names both.
TEST_F(MakeRomCliTest, ImageNeverReplacesAnInput) {
    const std::string logo = Dir.filePath("logo.bmp").toStdString();
    ASSERT_TRUE(Marked(64, 64).save(QString::fromStdString(logo), "BMP"));
    Project("p.dcf", "CUSLOGOENABLE=1\r\nTITLEFILENAME_C=" + logo + "\r\n", "CODE_0=1\r\n");
    ASSERT_TRUE(QFile::link("p.dcf", File("alias.BIN")));
    const std::vector<std::pair<QString, std::string>> inputs = {
        {"p.dcf", "project file"},
        {"alias.BIN", "project file"},
        {"TEST.GLB", "glyph library"},
        {"ORVDVE510TK3.INI", "configuration file"},
        {"FIRE-16x64_EN.bmp", "lift state 0 slot A picture"},
        {"logo.bmp", "customer logo"},
    };
    for (const auto& [target, what] : inputs) {
        SCOPED_TRACE(target.toStdString());
        const std::vector<uint8_t> before = ReadAll(File(target.toLocal8Bit().constData()));
        const TRun run = Tool({"make-rom", "p.dcf", "-o", target});
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Err.find("Cannot write ROM file \"" + target.toStdString() +
                               "\": it is the " + what + " \""),
                  std::string::npos)
            << run.Err;
        EXPECT_EQ(run.Out.find("Make ROM OK"), std::string::npos);
        EXPECT_EQ(ReadAll(File(target.toLocal8Bit().constData())), before);
    }
    // The project's own ROM file name is no way round.
    Project("q.BIN", "ROMFILENAME=q.BIN\r\n", "CODE_0=1\r\n");
    const TRun run = Tool({"make-rom", "q.BIN"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("it is the project file \"q.BIN\""), std::string::npos) << run.Err;
    EXPECT_NE(ReadAll(File("q.BIN")).size(), 64512u);
}

// Control bytes stop the load naming the line; a byte-order mark is no
// fault; the ROM file name of a project never leaves the build's folder.
TEST_F(MakeRomCliTest, ProjectInputIsGuarded) {
    const std::string body = "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nROMFILENAME=G.BIN\r\n"
                             "[CTBL0]\r\nCODE_0=1\r\n";
    for (const char bad : {'\0', '\x01', '\x1B', '\x7F'}) {
        SCOPED_TRACE(static_cast<int>(bad));
        WriteText(File("nul.dcf"), body + std::string(1, bad) + "[CTBL1]\r\nCODE_0=2\r\n");
        const TRun run = Tool({"make-rom", "nul.dcf"});
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Err.find("DCF file format error!!"), std::string::npos) << run.Err;
        EXPECT_NE(run.Err.find("line 6 holds the control byte"), std::string::npos) << run.Err;
        EXPECT_FALSE(QFile::exists(File("G.BIN")));
    }
    // Tabs and line ends of either kind are text.
    WriteText(File("tab.dcf"),
              "[GLOBAL]\nCODENAME=DVE510TK3\r\n[USER]\nNOTE=a\tb\r\n[CTBL0]\nCODE_0=1\n");
    EXPECT_EQ(Tool({"make-rom", "tab.dcf", "-o", "T.BIN"}).Status, 0);

    WriteText(File("bom.dcf"), "\xEF\xBB\xBF" + body);
    TRun run = Tool({"make-rom", "bom.dcf"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadAll(File("G.BIN")).size(), 64512u);

    ASSERT_TRUE(QDir(Dir.path()).mkdir("sub"));
    for (const std::string& named :
         {std::string("sub/inner.rom"), Dir.filePath("sub/abs.rom").toStdString(),
          std::string("sub\\win.rom")}) {
        SCOPED_TRACE(named);
        Project("r.dcf", "ROMFILENAME=" + named + "\r\n", "CODE_0=1\r\n");
        run = Tool({"make-rom", "r.dcf"});
        ASSERT_EQ(run.Status, 0) << run.Err;
    }
    EXPECT_TRUE(QFile::exists(File("inner.BIN")));
    EXPECT_TRUE(QFile::exists(File("abs.BIN")));
    EXPECT_TRUE(QFile::exists(File("win.BIN")));
    EXPECT_TRUE(QDir(File("sub")).isEmpty());
    // -o still goes anywhere.
    run = Tool({"make-rom", "r.dcf", "-o", "sub/chosen.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(QFile::exists(File("sub/chosen.BIN")));
}

// The working picture file is never created through a link, and whatever
// else has its name is left alone with a line saying so.
TEST_F(MakeRomCliTest, WorkingFileNeverFollowsALink) {
    Project("a.dcf", "", "CODE_0=1\r\n");
    ASSERT_TRUE(QFile::link(File("planted.txt"), File("ORV_TEMPBMP.BMP")));
    TRun run = Tool({"make-rom", "a.dcf", "-o", "A.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_FALSE(QFile::exists(File("planted.txt")));
    EXPECT_TRUE(QFileInfo(File("ORV_TEMPBMP.BMP")).isSymLink());
    EXPECT_NE(run.Out.find("ORV_TEMPBMP.BMP\" left alone: Not a regular file !!!"),
              std::string::npos)
        << run.Out;

    ASSERT_TRUE(QFile::remove(File("ORV_TEMPBMP.BMP")));
    ASSERT_EQ(::mkfifo(File("ORV_TEMPBMP.BMP").toStdString().c_str(), 0600), 0);
    run = Tool({"make-rom", "a.dcf", "-o", "A.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    struct stat st {};
    ASSERT_EQ(::lstat(File("ORV_TEMPBMP.BMP").toStdString().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A stale regular one goes, and no new one is made.
    ASSERT_TRUE(QFile::remove(File("ORV_TEMPBMP.BMP")));
    WriteText(File("ORV_TEMPBMP.BMP"), "stale");
    run = Tool({"make-rom", "a.dcf", "-o", "A.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_FALSE(QFile::exists(File("ORV_TEMPBMP.BMP")));
}

// A temporary file that a killed run left beside the image goes with the
// next run in that folder; one of a running process stays.
TEST_F(MakeRomCliTest, TemporariesOfKilledRunsAreRemoved) {
    Project("a.dcf", "", "CODE_0=1\r\n");
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const QString dead = QString(".OUT.BIN.%1.0.dpu510.tmp").arg(child);
    const QString alive = QString(".OUT.BIN.%1.0.dpu510.tmp").arg(::getpid());
    // Other programs' temporaries look alike without our suffix.
    const QString notes = ".notes.2024.12.tmp", thesis = ".thesis.docx.20241208.1.tmp";
    for (const QString& name : {dead, alive, notes, thesis}) {
        WriteText(File(name.toLocal8Bit().constData()), "half an image");
        MakeOld(File(name.toLocal8Bit().constData()).toStdString());
    }
    const TRun run = Tool({"make-rom", "a.dcf", "-o", "OUT.BIN"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_FALSE(QFile::exists(File(dead.toLocal8Bit().constData())));
    for (const QString& name : {alive, notes, thesis})
        EXPECT_TRUE(QFile::exists(File(name.toLocal8Bit().constData()))) << name.toStdString();
}

// What goes wrong is said in the tool's words, once, with what is wrong.
TEST_F(MakeRomCliTest, MessagesSayWhatIsWrong) {
    Project("a.dcf", "", "CODE_0=1\r\n");
    ASSERT_TRUE(QDir(Dir.path()).mkdir("folder.dcf"));
    TRun run = Tool({"make-rom", "folder.dcf"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err.find("TYIniFile"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.rfind("Cannot load project \"folder.dcf\"", 0), 0u) << run.Err;

    // A library that is there but no file says so, not "not found".
    ASSERT_TRUE(QFile::remove(File("TEST.GLB")));
    ASSERT_TRUE(QDir(Dir.path()).mkdir("TEST.GLB"));
    run = Tool({"make-rom", "a.dcf", "-o", "X.BIN"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("GLB file can not be read (Is a directory)!!"), std::string::npos)
        << run.Err;
    EXPECT_EQ(run.Err.find("GLB file not found!!"), std::string::npos) << run.Err;
    ASSERT_TRUE(QDir(Dir.path()).rmdir("TEST.GLB"));

    // A missing entry the image needs is named.
    auto entries = Glyphs.Entries;
    entries.erase({0, 40});
    ASSERT_TRUE(WriteGlyphLibrary(File("TEST.GLB").toStdString(), entries));
    run = Tool({"make-rom", "a.dcf", "-o", "X.BIN"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Out.find("[Error] GLB entry (0, 40) of TEST.GLB is absent !!!"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Err.find("GLB File error!!"), std::string::npos) << run.Err;
    EXPECT_FALSE(QFile::exists(File("X.BIN")));
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
    const QString assets = QString::fromStdString(AssetsDir());
    if (!QFile::exists(assets + "/sample.dcf") || !QFile::exists(assets + "/D510TK3.GLB"))
        GTEST_SKIP() << "the installation files are not generated yet";
    QTemporaryDir dir;
    for (const char* name : {"sample.dcf", "D510TK3.GLB", "ORVDVE510TK3.INI", "SPACE_240x240.bmp"})
        QFile::copy(assets + "/" + name, dir.filePath(name));
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QCoreApplication::applicationDirPath() + "/dpu510tk3",
            {"make-rom", "sample.dcf", "-o", "S.BIN"});
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
