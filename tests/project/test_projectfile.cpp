#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "rom/glyphlibrary.h"
#include "support/filehelpers.h"
#include "support/trecordingsink.h"
#include "support/tscriptedprompts.h"
#include "support/ttestglyphs.h"
#include "support/ttestworkspace.h"
#include "util/errmsgbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuProject::TProjectFile;
using DpuRom::GlyphLibrary;

namespace {
const char* const kConfig =
    "[GLOBAL]\r\nGLB=D510TK3.GLB\r\nVCN=3\r\nITEM1=STD\r\nITEM2=ORV-GRY\r\nITEM3= ORV-GRY \r\n\r\n"
    "[STD]\r\nCFI=48\r\n\r\n[ORV-GRY]\r\nCFI=49\r\nENCODE=0\r\n\r\n";

struct ProjectFixture {
    TTestWorkspace Dir{TTestWorkspace::Empty()};
    TConfiguration Config;
    GlyphLibrary Library;
    TProject Project;
    TScriptedPrompts Ask;
    TRecordingSink Sink;
    TProjectFile File{Project, Config, Library, Ask, Sink};
    YVclUtil::ErrMsgBoxHandler PreviousHandler;
    std::vector<std::string> EngineErrors;

    ProjectFixture() {
        Config.StartupDir = Dir.Folder();
        Config.ProgramDir = Dir.Folder() + "/prog/";
        QDir().mkpath(QString::fromStdString(Config.ProgramDir + "DefaultImage2/LiftState"));
        WriteText(Dir.File("ORVDVE510TK3.INI"), kConfig);
        WriteFile(Dir.File("D510TK3.GLB"), MakeGlb({{1, 48, MakeBmp(32, 64)}}));
        TScriptedPrompts quiet;
        Config.Read(quiet);
        Library.Load(Config.GlbPath());
        PreviousHandler =
            YVclUtil::SetErrMsgBoxHandler([this](const std::string& c, const std::string& t) {
                EngineErrors.push_back(c + ": " + t);
            });
    }
    ~ProjectFixture() { YVclUtil::SetErrMsgBoxHandler(std::move(PreviousHandler)); }

    std::string Stock(const std::string& Name) const {
        return Config.ProgramDir + "DefaultImage2/LiftState/" + Name;
    }

    void Populate() {
        for (int code = 0; code < 256; ++code)
            for (int t = 0; t < 3; ++t)
                if ((code + t) % 3 == 0)
                    Project.CodeTables[t][code] = " l" + std::to_string(code * 3 + t) + " ";
        Project.DEF_CTBL = 2;
        Project.DEF_FL = 3;
        Project.DEF_DIR = 4;
        Project.DPSTYLE = 2;
        Project.MsgColumnChecked = {false, true, false, true};
        Project.DEF_MSGPOS = 0;
        Project.DISPDT = 1;
        Project.CUSLOGOENABLE = 1;
        Project.SWAPTIME = 29;
        Project.TITLEFILENAME_C = Dir.File("logo.bmp");
        WriteFile(Project.TITLEFILENAME_C, MakeBmp(64, 64));
        Project.PWRSAVING = 16;
        Project.NODEADDR = 63;
        Project.CUSIDCODE = " AB12 ";
        Project.ROMFILENAME = "site.rom";
        for (int s = 0; s < 10; ++s)
            for (int k = 0; k < 4; ++k) {
                Project.LiftStateSlots[s][k] =
                    Dir.File("slot" + std::to_string(s * 4 + k) + ".bmp");
                WriteFile(Project.LiftStateSlots[s][k], MakeBmp(64, 16));
            }
        TRecordingSink sink;
        Config.SelectVersion(1, &sink);
    }
};

int CountOf(const std::string& Text, const std::string& Needle) {
    int n = 0;
    for (size_t at = Text.find(Needle); at != std::string::npos; at = Text.find(Needle, at + 1))
        ++n;
    return n;
}

bool SetImmutable(const std::string& Path, bool On) {
    const int fd = ::open(Path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = On ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}
} // namespace

TEST(ProjectFile, SavedProjectLoadsBackWhole) {
    ProjectFixture f;
    f.Populate();
    f.Ask.Files = {f.Dir.File("site")}; // the default extension is added
    ASSERT_TRUE(f.File.Save()) << f.File.LastError;
    EXPECT_TRUE(f.Project.SaveDone);
    EXPECT_TRUE(f.Ask.Questions.empty());
    EXPECT_TRUE(f.Ask.CursorBalanced());
    EXPECT_EQ(f.File.LastPath, f.Dir.File("site.dcf"));
    EXPECT_EQ(f.Sink.Status[0], "Project file: " + f.Dir.File("site.dcf"));
    EXPECT_EQ(f.Project.ROMFILENAME, "site.BIN");
    EXPECT_EQ(f.Project.DEF_MSG, 10);
    EXPECT_EQ(f.Project.MsgColumnChecked, (std::array<bool, 4>{false, true, false, true}));

    TConfiguration config2 = f.Config;
    config2.SelectVersion(0);
    GlyphLibrary lib2;
    TProject loaded;
    TRecordingSink sink2;
    TScriptedPrompts ask2;
    ask2.Files = {f.Dir.File("site.dcf")};
    TProjectFile file2(loaded, config2, lib2, ask2, sink2);
    ASSERT_EQ(file2.Load(), TProjectFile::TLoadResult::Loaded) << file2.LastError;
    EXPECT_TRUE(ask2.Boxes.empty());
    EXPECT_TRUE(ask2.CursorBalanced());
    EXPECT_TRUE(lib2.IsLoaded()); // the glyph library is read again

    for (int code = 0; code < 256; ++code)
        for (int t = 0; t < 3; ++t)
            EXPECT_EQ(loaded.CodeTables[t][code],
                      (code + t) % 3 == 0 ? "L" + std::to_string(code * 3 + t) : std::string());
    EXPECT_EQ(loaded.DEF_CTBL, 2);
    EXPECT_EQ(loaded.DEF_FL, 3);
    EXPECT_EQ(loaded.DEF_DIR, 4);
    EXPECT_EQ(loaded.DPSTYLE, 2);
    EXPECT_EQ(loaded.DEF_MSG, 10);
    EXPECT_EQ(loaded.MsgColumnChecked, (std::array<bool, 4>{false, true, false, true}));
    EXPECT_EQ(loaded.DEF_MSGPOS, 0);
    EXPECT_EQ(loaded.DISPDT, 1);
    EXPECT_EQ(loaded.CUSLOGOENABLE, 1);
    EXPECT_EQ(loaded.SWAPTIME, 29);
    EXPECT_EQ(loaded.TITLEFILENAME_C, f.Dir.File("logo.bmp"));
    EXPECT_EQ(loaded.PWRSAVING, 16);
    EXPECT_EQ(loaded.NODEADDR, 63);
    EXPECT_EQ(loaded.CUSIDCODE, "AB12");
    EXPECT_EQ(loaded.ROMFILENAME, "site.BIN");
    EXPECT_EQ(loaded.LiftStateSlots, f.Project.LiftStateSlots);
    EXPECT_EQ(config2.VersionIndex, 2); // two entries trim to ORV-GRY: the last one
    EXPECT_EQ(config2.CFI, 49);
    EXPECT_EQ(config2.ENCODE, 0);
    EXPECT_EQ(sink2.Status[1], "Version: ORV-GRY");
    EXPECT_EQ(sink2.Status[0], "Project file: " + f.Dir.File("site.dcf"));
}

TEST(ProjectFile, SavedFileHasItsKeysInOrder) {
    ProjectFixture f;
    f.Project.SetLabel(0, 1, " b1 ");
    f.Project.SetLabel(2, 255, "lobby");
    f.Project.CUSIDCODE = "ID";
    f.Project.LiftStateSlots[0][0] = "/a/FIRE.bmp";
    f.Project.TITLEFILENAME_C = "/logo.bmp"; // picked while the logo is off: kept
    ASSERT_TRUE(f.File.SaveTo(f.Dir.File("p.dcf")));

    std::string expected =
        "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nVERSION=1.0\r\nCUSIDCODE=ID\r\nROMFILENAME=DPU510TK3."
        "BIN\r\n"
        "TITLEFILENAME_C=/"
        "logo.bmp\r\nSWAPTIME=0\r\nCUSLOGOENABLE=0\r\nPWRSAVING=0\r\nNODEADDR=0\r\n"
        "DEF_CTBL=0\r\nDEF_FL=0\r\nDEF_DIR=0\r\nCODEVER=STD\r\nDPSTYLE=1\r\nDISPDT=0\r\nDEF_MSG="
        "3\r\n"
        "DEF_MSGPOS=1\r\n\r\n[LiftStateImage]\r\n";
    for (int s = 0; s < 10; ++s)
        for (char k : {'A', 'B', 'C', 'D'})
            expected += "LeftState_" + std::to_string(s) + "_" + k + "=" +
                        (s == 0 && k == 'A' ? "/a/FIRE.bmp" : "") + "\r\n";
    expected += "\r\n";
    for (int t = 0; t < 3; ++t) {
        expected += "[CTBL" + std::to_string(t) + "]\r\n";
        for (int n = 0; n < 256; ++n) {
            std::string value = t == 0 && n == 1 ? "B1" : t == 2 && n == 255 ? "LOBBY" : "";
            expected += "CODE_" + std::to_string(n) + "=" + value + "\r\n";
        }
        expected += "\r\n";
    }
    EXPECT_EQ(ReadText(f.Dir.File("p.dcf")), expected);
}

TEST(ProjectFile, SavingOverAFileKeepsForeignSectionsOnly) {
    ProjectFixture f;
    WriteText(f.Dir.File("old.dcf"),
              "[GLOBAL]\r\nEXTRA=1\r\nCODENAME=DVE510TK3\r\n[USER]\r\nU=1\r\n[NOTES]\r\nWHO=me\r\n"
              "[CTBL1]\r\nCODE_999=x\r\n[LiftStateImage]\r\nOLD=1\r\n");
    // Cancel, then "No": nothing written, the save is not done.
    EXPECT_FALSE(f.File.Save());
    f.Ask.Files = {f.Dir.File("old.dcf")};
    EXPECT_FALSE(f.File.Save());
    ASSERT_EQ(f.Ask.Questions.size(), 1u);
    EXPECT_EQ(f.Ask.Questions[0].first, "Overlay file");
    EXPECT_EQ(f.Ask.Questions[0].second, "File exist!!\n\nOverlay?\n");
    EXPECT_FALSE(f.Project.SaveDone);
    EXPECT_NE(ReadText(f.Dir.File("old.dcf")).find("EXTRA=1"), std::string::npos);

    f.Ask.Files = {f.Dir.File("old.dcf")};
    f.Ask.Answers = {true};
    ASSERT_TRUE(f.File.Save());
    const std::string text = ReadText(f.Dir.File("old.dcf"));
    EXPECT_EQ(text.rfind("[NOTES]\r\nWHO=me\r\n\r\n[GLOBAL]\r\nCODENAME=DVE510TK3\r\n", 0), 0u)
        << text;
    for (const char* gone : {"EXTRA", "[USER]", "CODE_999", "OLD="})
        EXPECT_EQ(text.find(gone), std::string::npos) << gone;
    EXPECT_EQ(CountOf(text, "\r\nCODE_"), 768);
}

TEST(ProjectFile, ClearAllThenSaveWritesEmptyCodes) {
    ProjectFixture f;
    f.Populate();
    f.Project.UsedCharFlags[48] = 1;
    f.File.ClearAll();
    EXPECT_EQ(f.Sink.Status[0], "Project file: ");
    EXPECT_EQ(f.Project.UsedCharFlags[48], 0);
    EXPECT_EQ(f.Project.NODEADDR, 63);
    ASSERT_TRUE(f.File.SaveTo(f.Dir.File("c.dcf")));
    const std::string text = ReadText(f.Dir.File("c.dcf"));
    int empty = 0;
    for (int n = 0; n < 256; ++n)
        empty += CountOf(text, "\r\nCODE_" + std::to_string(n) + "=\r\n");
    EXPECT_EQ(empty, 768);
}

TEST(ProjectFile, WrongCodeNameIsRejectedAndNothingChanges) {
    ProjectFixture f;
    for (const char* global :
         {"CODENAME=dve510tk3\r\n", "CODENAME=  \r\n", "VERSION=1.0\r\n", ""}) {
        WriteText(f.Dir.File("bad.dcf"),
                  std::string("[GLOBAL]\r\n") + global +
                      "DEF_FL=2\r\nROMFILENAME=X.BIN\r\n[CTBL0]\r\nCODE_0=9\r\n");
        f.Library.Release();
        f.Ask.Boxes.clear();
        EXPECT_EQ(f.File.LoadFrom(f.Dir.File("bad.dcf")), TProjectFile::TLoadResult::FormatError);
        ASSERT_EQ(f.Ask.Boxes.size(), 1u);
        EXPECT_EQ(f.Ask.Boxes[0].first, "Error");
        EXPECT_EQ(f.Ask.Boxes[0].second, "DCF file format error!!\n\n");
        EXPECT_EQ(f.Project.DEF_FL, 0);
        EXPECT_EQ(f.Project.ROMFILENAME, "DPU510TK3.BIN");
        EXPECT_EQ(f.Project.CodeTables[0][0], "");
        EXPECT_FALSE(f.Library.IsLoaded()); // not reloaded for a rejected file
        EXPECT_TRUE(f.Ask.CursorBalanced());
        EXPECT_EQ(f.Sink.Status.count(0), 0u);
    }
    EXPECT_EQ(f.File.Load(), TProjectFile::TLoadResult::Cancelled);
    EXPECT_EQ(f.File.LoadFrom(f.Dir.File("none.dcf")), TProjectFile::TLoadResult::NotFound);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(f.Dir.File("none.dcf"))));
}

TEST(ProjectFile, WindowsPathsFallBackToThisInstallation) {
    ProjectFixture f;
    QDir().mkpath(QString::fromStdString(f.Dir.File("proj")));
    WriteFile(f.Dir.File("proj/CUSTOMER.bmp"), MakeBmp(64, 64));
    WriteText(
        f.Dir.File("proj/win.dcf"),
        "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nTITLEFILENAME_C=D:\\logos\\CUSTOMER.bmp\r\nSWAPTIME="
        "4\r\n"
        "CUSLOGOENABLE=1\r\nCODEVER=NOT-HERE\r\nDPSTYLE=2\r\n\r\n"
        "[LiftStateImage]\r\n"
        "LeftState_0_A=C:\\Program Files\\ORV\\DefaultImage2\\LiftState\\FIRE-16x64_EN.bmp\r\n"
        "LeftState_2_B=/elsewhere/DefaultImage2/LiftState/BREAKDOWN-16x64_CHT.bmp\r\n"
        "LeftState_3_C=" +
            f.Dir.File("mine.bmp") +
            "\r\n"
            "LeftState_4_D=   \r\n\r\n");
    WriteFile(f.Dir.File("mine.bmp"), MakeBmp(64, 16));
    f.Project.LiftStateSlots[4][3] = "/kept.bmp";
    TRecordingSink sink;
    f.Config.SelectVersion(1, &sink);
    ASSERT_EQ(f.File.LoadFrom(f.Dir.File("proj/win.dcf")), TProjectFile::TLoadResult::Loaded);
    EXPECT_EQ(f.Project.LiftStateSlots[0][0], f.Stock("FIRE-16x64_EN.bmp"));
    EXPECT_EQ(f.Project.LiftStateSlots[2][1], f.Stock("BREAKDOWN-16x64_CHT.bmp"));
    EXPECT_EQ(f.Project.LiftStateSlots[3][2], f.Dir.File("mine.bmp"));
    EXPECT_EQ(f.Project.LiftStateSlots[4][3], "/kept.bmp");
    EXPECT_EQ(f.Project.CUSLOGOENABLE, 1);
    EXPECT_EQ(f.Project.SWAPTIME, 4);
    EXPECT_EQ(f.Project.TITLEFILENAME_C, f.Dir.File("proj/CUSTOMER.bmp"));
    EXPECT_EQ(f.Project.DPSTYLE, 2);
    // An unknown CODEVER selects the first entry and applies it.
    EXPECT_EQ(f.Config.VersionIndex, 0);
    EXPECT_EQ(f.Config.SelectedVersion, "STD");
    EXPECT_EQ(f.Config.CFI, 48);
    EXPECT_EQ(f.Sink.Status[1], "Version: STD");
}

TEST(ProjectFile, LogoRulesOnLoad) {
    ProjectFixture f;
    f.Project.SWAPTIME = 9;
    f.Project.TITLEFILENAME_C = "/x.bmp";
    f.Project.CUSLOGOENABLE = 1;
    WriteText(f.Dir.File("off.dcf"), "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nCUSLOGOENABLE="
                                     "0\r\nSWAPTIME=3\r\nTITLEFILENAME_C=/y.bmp\r\n");
    ASSERT_EQ(f.File.LoadFrom(f.Dir.File("off.dcf")), TProjectFile::TLoadResult::Loaded);
    EXPECT_EQ(f.Project.CUSLOGOENABLE, 0);
    EXPECT_EQ(f.Project.TITLEFILENAME_C, "");
    EXPECT_EQ(f.Project.SWAPTIME, 9); // not read while the logo is off
    EXPECT_EQ(f.Project.DEF_MSGPOS, 1);
    EXPECT_EQ(f.Project.DEF_MSG, 3);
    EXPECT_EQ(f.Project.DPSTYLE, 1);

    WriteText(f.Dir.File("gone.dcf"), "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nCUSLOGOENABLE="
                                      "1\r\nSWAPTIME=3\r\nTITLEFILENAME_C=/no/such.bmp\r\n"
                                      "DEF_MSG=15\r\nDISPDT=5\r\n");
    f.Sink.Log.clear();
    ASSERT_EQ(f.File.LoadFrom(f.Dir.File("gone.dcf")), TProjectFile::TLoadResult::Loaded);
    EXPECT_EQ(f.Project.CUSLOGOENABLE, 0);
    EXPECT_EQ(f.Project.TITLEFILENAME_C, "");
    // Switched off, and said.
    EXPECT_EQ(f.Sink.Log,
              std::vector<std::string>{
                  "[Warning] Customer logo \"/no/such.bmp\" not found --> logo off !!!"});
    EXPECT_EQ(f.Project.SWAPTIME, 3);
    EXPECT_EQ(f.Project.DEF_MSG, 15); // not normalised on load
    EXPECT_EQ(f.Project.MsgColumnChecked, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_EQ(f.Project.DISPDT, 5);
    ASSERT_TRUE(f.File.SaveTo(f.Dir.File("gone.dcf")));
    EXPECT_EQ(f.Project.DEF_MSG, 3);
    EXPECT_EQ(f.Project.DISPDT, 1);
}

TEST(ProjectFile, BadNumberEndsTheLoadKeepingWhatCameBefore) {
    ProjectFixture f;
    WriteText(
        f.Dir.File("n.dcf"),
        "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nROMFILENAME=NEW.BIN\r\nPWRSAVING=4\r\nDEF_CTBL=1\r\n"
        "DEF_FL=abc\r\nDEF_DIR=3\r\n[CTBL0]\r\nCODE_5=7\r\n");
    EXPECT_EQ(f.File.LoadFrom(f.Dir.File("n.dcf")), TProjectFile::TLoadResult::ConversionError);
    ASSERT_EQ(f.Ask.Boxes.size(), 1u);
    EXPECT_EQ(f.Ask.Boxes[0].first, "Error");
    EXPECT_TRUE(f.Ask.CursorBalanced());
    EXPECT_EQ(f.Project.ROMFILENAME, "NEW.BIN");
    EXPECT_EQ(f.Project.PWRSAVING, 4);
    EXPECT_EQ(f.Project.DEF_CTBL, 1);
    EXPECT_EQ(f.Project.DEF_FL, 0);
    EXPECT_EQ(f.Project.DEF_DIR, 0);
    EXPECT_EQ(f.Project.CodeTables[0][5], "");
    EXPECT_EQ(f.Sink.Status.count(0), 0u);
}

TEST(ProjectFile, MissingGlyphLibraryOnLoadLeavesNoImage) {
    ProjectFixture f;
    ASSERT_TRUE(f.Library.IsLoaded());
    ASSERT_TRUE(f.File.SaveTo(f.Dir.File("g.dcf")));
    QFile::remove(QString::fromStdString(f.Config.GlbPath()));
    EXPECT_EQ(f.File.LoadFrom(f.Dir.File("g.dcf")), TProjectFile::TLoadResult::Loaded);
    ASSERT_EQ(f.Ask.Boxes.size(), 1u);
    EXPECT_EQ(f.Ask.Boxes[0].second, "GLB file not found!!\n\n");
    EXPECT_FALSE(f.Library.IsLoaded());
    EXPECT_EQ(f.Config.GlbDate, "000000");
}

TEST(ProjectFile, FailedSaveKeepsThePreviousFileAndReportsNoSuccess) {
    ProjectFixture f;
    // A folder two levels down that does not exist: the engine cannot make it.
    f.Ask.Files = {f.Dir.File("no/such/p.dcf")};
    EXPECT_FALSE(f.File.Save());
    EXPECT_FALSE(f.Project.SaveDone);
    EXPECT_FALSE(f.File.LastError.empty());
    EXPECT_EQ(f.Sink.Status.count(0), 0u);
    EXPECT_TRUE(f.Ask.CursorBalanced());

    // An existing project in a folder that refuses new files (even to root).
    const std::string folder = f.Dir.File("locked");
    QDir().mkpath(QString::fromStdString(folder));
    f.Project.ROMFILENAME = "A.BIN";
    ASSERT_TRUE(f.File.SaveTo(folder + "/p.dcf"));
    const std::string before = ReadText(folder + "/p.dcf");
    f.Sink.Status.clear();
    if (!SetImmutable(folder, true)) GTEST_SKIP() << "file system without the immutable flag";
    f.Project.ROMFILENAME = "B.BIN";
    f.EngineErrors.clear();
    const bool saved = f.File.SaveTo(folder + "/p.dcf");
    SetImmutable(folder, false);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(f.Project.SaveDone);
    EXPECT_EQ(ReadText(folder + "/p.dcf"), before);
    EXPECT_EQ(f.Project.ROMFILENAME, "B.BIN");
    EXPECT_EQ(f.Sink.Status.count(0), 0u);
    EXPECT_EQ(f.EngineErrors.size(), 1u); // reported once, not again by the destructor
}

// A save writes the one file asked for, whole, or nothing: no folder is made
// for it, and a load creates nothing either.
TEST(ProjectFile, SaveAndLoadCreateNothingElse) {
    ProjectFixture f;
    const std::string gone = f.Dir.File("gone");
    EXPECT_FALSE(f.File.SaveTo(gone + "/p.dcf"));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(gone)));
    EXPECT_EQ(f.EngineErrors, std::vector<std::string>{"TYIniFile: Err: Can not create file \n \"" +
                                                       gone + "/p.dcf\" "});
    EXPECT_EQ(f.File.LastError,
              "can not write project file \"" + gone + "/p.dcf\": No such file or directory");
    EXPECT_EQ(f.Sink.Log, std::vector<std::string>{"[Error] Can not write project file \"" + gone +
                                                   "/p.dcf\": No such file or directory"});
    EXPECT_TRUE(f.Ask.CursorBalanced());

    f.EngineErrors.clear();
    EXPECT_EQ(f.File.LoadFrom(f.Dir.Folder()), TProjectFile::TLoadResult::OpenError);
    EXPECT_EQ(f.EngineErrors.size(), 1u);
    EXPECT_EQ(f.File.LastError,
              "can not open project file \"" + f.Dir.Folder() + "\": Is a directory");
    EXPECT_EQ(f.Project.SaveDone, false);
}

TEST(ProjectFile, JunkFilesLoadWithoutHarm) {
    ProjectFixture f;
    std::string junk = "[GLOBAL]\r\nCODENAME=DVE510TK3\r\n";
    // Any byte but the control bytes, which stop a load (see below).
    for (int i = 0; i < 4000; ++i) {
        const int b = (i * 7919) % 224 + 32;
        junk += static_cast<char>(b == 0x7F ? ' ' : b);
    }
    junk += "\n[LiftStateImage]\nLeftState_0_A=\\\\\\\n[CTBL1]\nCODE_3=" + std::string(20000, 'x') +
            "\n";
    junk += "[GLOBAL]\nDEF_DIR=2147483647\nNODEADDR=-5\nDEF_FL=0x10\n";
    WriteText(f.Dir.File("junk.dcf"), junk);
    EXPECT_EQ(f.File.LoadFrom(f.Dir.File("junk.dcf")), TProjectFile::TLoadResult::Loaded);
    EXPECT_EQ(f.Project.DEF_DIR, 2147483647); // out of range values are kept as read
    EXPECT_EQ(f.Project.NODEADDR, -5);
    EXPECT_EQ(f.Project.DEF_FL, 16);
    EXPECT_EQ(f.Project.LiftStateSlots[0][0], ""); // no file name: kept
    ASSERT_TRUE(f.File.SaveTo(f.Dir.File("junk2.dcf")));
    TProject again;
    TProjectFile file2(again, f.Config, f.Library, f.Ask, f.Sink);
    EXPECT_EQ(file2.LoadFrom(f.Dir.File("junk2.dcf")), TProjectFile::TLoadResult::Loaded);
    EXPECT_EQ(again.DEF_DIR, 2147483647);

    WriteFile(f.Dir.File("bin.dcf"), MakeGlb({{0, 1, MakeBmp(4, 4)}}));
    EXPECT_EQ(f.File.LoadFrom(f.Dir.File("bin.dcf")), TProjectFile::TLoadResult::FormatError);
}

// A control byte would shift or hide lines inside the engine: the load
// stops with the format error and a line naming where, and nothing changes.
TEST(ProjectFile, ControlBytesStopTheLoadNamingTheLine) {
    ProjectFixture f;
    const std::string head = "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nDEF_FL=2\r\n[CTBL0]\r\n"
                             "CODE_0=A\r\n";
    WriteText(f.Dir.File("nul.dcf"), head + std::string("\0[CTBL1]\r\nCODE_0=B\r\n", 20));
    EXPECT_EQ(f.File.LoadFrom(f.Dir.File("nul.dcf")), TProjectFile::TLoadResult::FormatError);
    ASSERT_EQ(f.Ask.Boxes.size(), 1u);
    EXPECT_EQ(f.Ask.Boxes[0],
              std::make_pair(std::string("Error"), std::string("DCF file format error!!\n\n")));
    EXPECT_EQ(f.Sink.Log,
              std::vector<std::string>{"[Error] Project file \"" + f.Dir.File("nul.dcf") +
                                       "\" line 6 holds the control byte 0x00 !!!"});
    EXPECT_EQ(f.File.LastError,
              "\"" + f.Dir.File("nul.dcf") + "\" line 6 holds the control byte 0x00");
    EXPECT_EQ(f.Project.DEF_FL, 0);
    EXPECT_EQ(f.Project.CodeTables[0][0], "");
    EXPECT_TRUE(f.Ask.CursorBalanced());

    // A byte-order mark first is no fault; tabs and line ends are text.
    WriteText(f.Dir.File("bom.dcf"), "\xEF\xBB\xBF" + head + "[CTBL1]\nCODE_0=\tB\t\n");
    ASSERT_EQ(f.File.LoadFrom(f.Dir.File("bom.dcf")), TProjectFile::TLoadResult::Loaded);
    EXPECT_EQ(f.Project.DEF_FL, 2);
    EXPECT_EQ(f.Project.CodeTables[0][0], "A");
    EXPECT_EQ(f.Project.CodeTables[1][0], "B");
}

// Sections and keys are bounded by what a project holds, not only by the
// file's size: past them the load stops with the format error and a line
// naming the limit, and nothing changes. A whole project is well inside.
TEST(ProjectFile, MoreSectionsOrKeysThanAProjectHoldsStopTheLoad) {
    ProjectFixture f;
    f.Populate();
    ASSERT_TRUE(f.File.SaveTo(f.Dir.File("full.dcf")));
    const std::string head = "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nDEF_FL=2\r\n";
    std::string sections = head, keys = head + "[CTBL0]\r\n";
    for (int n = 0; n < 64; ++n)
        sections += "[S" + std::to_string(n) + "]\nA=1\n";
    for (int n = 0; n < 4096; ++n)
        keys += "K" + std::to_string(n) + "=1\n";
    WriteText(f.Dir.File("sections.dcf"), sections);
    WriteText(f.Dir.File("keys.dcf"), keys);
    for (const auto& [name, limit] :
         {std::make_pair("sections", "64 sections"), std::make_pair("keys", "4096 keys")}) {
        SCOPED_TRACE(name);
        TProject fresh;
        f.Project = fresh;
        f.Ask.Boxes.clear();
        f.Sink.Log.clear();
        const std::string path = f.Dir.File(std::string(name) + ".dcf");
        EXPECT_EQ(f.File.LoadFrom(path), TProjectFile::TLoadResult::FormatError);
        EXPECT_EQ(f.Ask.Boxes, (std::vector<std::pair<std::string, std::string>>{
                                   {"Error", "DCF file format error!!\n\n"}}));
        EXPECT_EQ(f.Sink.Log, std::vector<std::string>{"[Error] Project file \"" + path +
                                                       "\" holds more than " + limit + " !!!"});
        EXPECT_EQ(f.Project.DEF_FL, 0);
        EXPECT_TRUE(f.Ask.CursorBalanced());
    }
    EXPECT_EQ(f.File.LoadFrom(f.Dir.File("full.dcf")), TProjectFile::TLoadResult::Loaded);
    EXPECT_EQ(f.Project.DEF_FL, 3);
}

// The ROM file name a project names is only a file name: the image goes where
// the build writes, never to a folder the file names.
TEST(ProjectFile, RomFileNameKeepsOnlyItsFileName) {
    ProjectFixture f;
    for (const auto& [named, kept] :
         std::vector<std::pair<std::string, std::string>>{{"/elsewhere/abs.BIN", "abs.BIN"},
                                                          {"../up.BIN", "up.BIN"},
                                                          {"C:\\roms\\win.bin", "win.bin"},
                                                          {"../", "DPU510TK3.BIN"},
                                                          {"plain.rom", "plain.rom"}}) {
        SCOPED_TRACE(named);
        WriteText(f.Dir.File("r.dcf"),
                  "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nROMFILENAME=" + named + "\r\n");
        ASSERT_EQ(f.File.LoadFrom(f.Dir.File("r.dcf")), TProjectFile::TLoadResult::Loaded);
        EXPECT_EQ(f.Project.ROMFILENAME, kept);
    }
    EXPECT_EQ(TProject::RomFileNameToSave(" /a/b/x.rom "), "x.BIN");
    EXPECT_EQ(TProject::RomFileNameToSave("..\\"), "DPU510TK3.BIN");
}

TEST(ProjectFile, LineBreaksInValuesCannotAddKeys) {
    ProjectFixture f;
    f.Project.CUSIDCODE = "AB\r\n[GLOBAL]\r\nCODENAME=X";
    f.Project.SetLabel(1, 2, "b\nDEF_FL=3");
    f.Project.LiftStateSlots[0][0] = "/a.bmp\r\nLeftState_0_B=/evil.bmp";
    ASSERT_TRUE(f.File.SaveTo(f.Dir.File("l.dcf")));
    TProject again;
    TProjectFile file2(again, f.Config, f.Library, f.Ask, f.Sink);
    ASSERT_EQ(file2.LoadFrom(f.Dir.File("l.dcf")), TProjectFile::TLoadResult::Loaded);
    EXPECT_EQ(again.CUSIDCODE, "AB  [GLOBAL]  CODENAME=X");
    EXPECT_EQ(again.CodeTables[1][2], "B DEF_FL=3");
    EXPECT_EQ(again.DEF_FL, 0);
    EXPECT_EQ(again.LiftStateSlots[0][1], "");
}
