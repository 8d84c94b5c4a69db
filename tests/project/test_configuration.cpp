#include "project/tconfiguration.h"
#include "support/filehelpers.h"
#include "support/trecordingsink.h"
#include "support/tscriptedprompts.h"
#include "support/ttestglyphs.h"
#include "support/ttestworkspace.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using DpuProject::TConfiguration;

namespace {
TConfiguration ConfigIn(const TTestWorkspace& Dir) {
    TConfiguration c;
    c.StartupDir = Dir.Folder();
    c.ProgramDir = Dir.Folder() + "/";
    return c;
}
} // namespace

TEST(Configuration, MissingFileKeepsInitialValues) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    TConfiguration c = ConfigIn(dir);
    TScriptedPrompts ask;
    EXPECT_FALSE(c.Read(ask));
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0].first, "Error");
    EXPECT_EQ(ask.Boxes[0].second, "ORVDVE510TK3.INI file not found!!\n\n");
    EXPECT_EQ(c.GlbName, "D510TK3.GLB");
    EXPECT_TRUE(c.VersionList.empty());
    EXPECT_EQ(c.SelectedVersion, "");
    EXPECT_EQ(c.CFI, 1);
    EXPECT_EQ(c.IFI, 41);
    // Choosing a version later must not create the configuration file.
    EXPECT_TRUE(c.ReadVersionSection("V1"));
    EXPECT_EQ(c.CFI, 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(c.IniPath())));
}

TEST(Configuration, NoVersionCountGivesTheBuiltInVersions) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    for (const char* global :
         {"[GLOBAL]\r\nGLB=MY.GLB\r\nVCN=0\r\n", "[GLOBAL]\r\nUBFGLB=U.GLB\r\n",
          "[GLOBAL]\r\nVCN=2\r\nITEM1= \r\n"}) {
        WriteText(dir.File("ORVDVE510TK3.INI"), global);
        TConfiguration c = ConfigIn(dir);
        TScriptedPrompts ask;
        EXPECT_TRUE(c.Read(ask)) << global;
        EXPECT_TRUE(ask.Boxes.empty());
        EXPECT_EQ(c.VersionList, (std::vector<std::string>{"ORV-INITDL", "ORV-PINITDL"}));
        EXPECT_EQ(c.VersionIndex, -1);
        EXPECT_EQ(c.SelectedVersion, "ORV-INITDL");
        EXPECT_EQ(c.CFI, 48);
        EXPECT_EQ(c.IFI, 41);
        EXPECT_EQ(c.DISPHV, 1);
        EXPECT_EQ(c.ENCODE, 1);
        EXPECT_EQ(c.CodeVerToSave(), "");
    }
    TConfiguration c = ConfigIn(dir);
    TScriptedPrompts ask;
    WriteText(dir.File("ORVDVE510TK3.INI"), "[GLOBAL]\r\nGLB=MY.GLB\r\nUBFGLB=U.GLB\r\n");
    c.Read(ask);
    EXPECT_EQ(c.GlbName, "MY.GLB");
    EXPECT_EQ(c.UbfGlbName, "U.GLB");
    // Picking a built-in name keeps the built-in values when the file has no such section.
    TRecordingSink sink;
    EXPECT_TRUE(c.SelectVersion(1, &sink));
    EXPECT_EQ(c.SelectedVersion, "ORV-PINITDL");
    EXPECT_EQ(c.CFI, 48);
    EXPECT_EQ(sink.Status[1], "Version: ORV-PINITDL");
}

TEST(Configuration, VersionListSkipsBlankItemsAndReadsTheFirstSection) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    WriteText(dir.File("ORVDVE510TK3.INI"),
              "[GLOBAL]\r\nVCN=3\r\nITEM1= V-ONE \r\nITEM2=\r\nITEM3=ORV-GRY\r\n\r\n"
              "[V-ONE]\r\nCFI=60\r\nIFI=42\r\nDISPHV=0\r\nENCODE=0\r\n\r\n"
              "[ORV-GRY]\r\nCFI=61\r\n\r\n");
    TConfiguration c = ConfigIn(dir);
    TScriptedPrompts ask;
    ASSERT_TRUE(c.Read(ask));
    ASSERT_EQ(c.VersionList.size(), 2u);
    EXPECT_EQ(c.VersionList[1], "ORV-GRY");
    EXPECT_EQ(c.VersionIndex, 0);
    EXPECT_EQ(c.SelectedVersion, "V-ONE");
    EXPECT_EQ(c.CFI, 60);
    EXPECT_EQ(c.IFI, 42);
    EXPECT_EQ(c.DISPHV, 0);
    EXPECT_EQ(c.ENCODE, 0);
    EXPECT_EQ(c.CodeVerToSave(), "V-ONE");
    EXPECT_EQ(c.BitPattern(63), "111111");

    TRecordingSink sink;
    ASSERT_TRUE(c.SelectVersion(1, &sink));
    EXPECT_EQ(c.CFI, 61);
    EXPECT_EQ(c.IFI, 41); // absent keys give their defaults
    EXPECT_EQ(c.DISPHV, 1);
    EXPECT_EQ(sink.Status[1], "Version: ORV-GRY");
    EXPECT_EQ(c.BitPattern(2), "000011");
    EXPECT_EQ(c.BitPattern(63), "110000");
    EXPECT_EQ(c.BitPattern(64), "");
    EXPECT_FALSE(c.SelectVersion(2, &sink));
    EXPECT_EQ(c.SelectedVersion, "ORV-GRY");
    // An unknown section gives the plain defaults.
    ASSERT_TRUE(c.ReadVersionSection("NONE"));
    EXPECT_EQ(c.CFI, 0);
    EXPECT_EQ(c.BitPattern(2), "000010");
}

// A configuration in wide text, or with lines ended by CR alone, would read
// as no keys at all: the built-in values would be used without a word.
TEST(Configuration, TextTheEngineWouldMisreadIsRefusedAndNamed) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    const std::string ini = "[GLOBAL]\r\nGLB=MY.GLB\r\nVCN=1\r\nITEM1=V\r\n[V]\r\nCFI=60\r\n";
    const std::string path = dir.File("ORVDVE510TK3.INI");
    for (const auto& [text, what] : std::vector<std::pair<std::string, std::string>>{
             {"\xFF\xFE" + Utf16Text(ini), "is UTF-16 text (byte-order mark FF FE)"},
             {"[GLOBAL]\rGLB=MY.GLB\rVCN=1\rITEM1=V\r",
              "ends lines with CR alone (line 1); only CR LF or LF end a line"}}) {
        SCOPED_TRACE(what);
        WriteText(path, text);
        TConfiguration c = ConfigIn(dir);
        TScriptedPrompts ask;
        EXPECT_FALSE(c.Read(ask));
        const std::string said = "\"" + path + "\" " + what + ", not read";
        EXPECT_EQ(c.LastError, said);
        ASSERT_EQ(ask.Boxes.size(), 1u);
        EXPECT_EQ(ask.Boxes[0],
                  std::make_pair(std::string("Error"), "ORVDVE510TK3.INI: " + said + "\n\n"));
        EXPECT_EQ(c.GlbName, "D510TK3.GLB");
        EXPECT_TRUE(c.VersionList.empty());
        EXPECT_EQ(c.CFI, 1);
        // Choosing a version later reads nothing from it either.
        c.CFI = 7;
        EXPECT_FALSE(c.ReadVersionSection("V"));
        EXPECT_EQ(c.CFI, 7);
        EXPECT_EQ(c.LastError, said);
    }
    // The same keys as 8-bit text read as always.
    WriteText(path, ini);
    TConfiguration c = ConfigIn(dir);
    TScriptedPrompts ask;
    EXPECT_TRUE(c.Read(ask));
    EXPECT_EQ(c.CFI, 60);
}

// A library named by an absolute path is that file, not one below the
// start-up directory.
TEST(Configuration, AbsoluteLibraryPathsStandForThemselves) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    TConfiguration c = ConfigIn(dir);
    c.GlbName = "/dev/zero";
    c.UbfGlbName = " /elsewhere/U.GLB ";
    EXPECT_EQ(c.GlbPath(), "/dev/zero");
    EXPECT_EQ(c.UbfGlbPath(), "/elsewhere/U.GLB");
    c.GlbName = "C:\\LIFT\\MY.GLB"; // a Windows path, wherever the file was made
    EXPECT_EQ(c.GlbPath(), "C:\\LIFT\\MY.GLB");
    c.GlbName = "lib/MY.GLB";
    EXPECT_EQ(c.GlbPath(), dir.Folder() + "/lib/MY.GLB");
}

TEST(Configuration, AHugeVersionCountDoesNotStallStartUp) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    WriteText(dir.File("ORVDVE510TK3.INI"), "[GLOBAL]\r\nVCN=2147483647\r\nITEM2=B\r\nITEM1=A\r\n");
    TConfiguration c = ConfigIn(dir);
    TScriptedPrompts ask;
    ASSERT_TRUE(c.Read(ask));
    EXPECT_EQ(c.VersionList, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(c.SelectedVersion, "A");
}

TEST(Configuration, CodeVerPicksTheLastMatchElseTheFirstEntry) {
    TConfiguration c;
    c.VersionList = {"A", " B ", "C", "B"};
    EXPECT_EQ(c.FindVersionForCodeVer("B"), 3);
    EXPECT_EQ(c.FindVersionForCodeVer("C"), 2);
    EXPECT_EQ(c.FindVersionForCodeVer("Z"), 0);
    EXPECT_EQ(c.FindVersionForCodeVer(""), 0);
    EXPECT_EQ(c.FindVersionForCodeVer("b"), 0);
    c.VersionList.clear();
    EXPECT_EQ(c.FindVersionForCodeVer("A"), -1);
}

TEST(Configuration, NumbersThatAreNoNumbersAreReported) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    WriteText(dir.File("ORVDVE510TK3.INI"), "[GLOBAL]\r\nGLB=X.GLB\r\nVCN=many\r\n");
    TConfiguration c = ConfigIn(dir);
    TScriptedPrompts ask;
    EXPECT_FALSE(c.Read(ask));
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0].first, "Error");
    EXPECT_EQ(c.GlbName, "X.GLB"); // read before the bad key
    EXPECT_FALSE(c.LastError.empty());

    WriteText(dir.File("ORVDVE510TK3.INI"),
              "[GLOBAL]\r\nVCN=1\r\nITEM1=V\r\n[V]\r\nCFI=7\r\nIFI=oops\r\n");
    TConfiguration d = ConfigIn(dir);
    TScriptedPrompts ask2;
    EXPECT_FALSE(d.Read(ask2));
    EXPECT_EQ(ask2.Boxes.size(), 1u);
    EXPECT_EQ(d.SelectedVersion, "V");
    EXPECT_EQ(d.CFI, 7);
}

// The stock bitmaps are found beside the program (build tree, Windows zip),
// else in the installed data folder derived from the program's own place
// (the Debian package: lib/dpu510tk3 -> share/dpu510tk3), wherever the tree
// is unpacked; a user's leftover DefaultImage2/UserDefine beside the program
// does not hide the installed ones.
TEST(Configuration, StockBitmapsBesideTheProgramElseInTheInstalledDataFolder) {
    TTestWorkspace root{TTestWorkspace::Aside()};
    QDir top(root.Path());
    const std::string lib = root.File("usr/lib/dpu510tk3");
    const std::string share = root.File("usr/share/dpu510tk3/");
    ASSERT_TRUE(top.mkpath("usr/lib/dpu510tk3/DefaultImage2/UserDefine/Floor/Style0"));
    EXPECT_EQ(TConfiguration::StockRoot(lib), lib + "/"); // nothing installed anywhere
    ASSERT_TRUE(top.mkpath("usr/share/dpu510tk3/DefaultImage2/LiftState"));
    EXPECT_EQ(TConfiguration::StockRoot(lib), share);
    EXPECT_EQ(TConfiguration::StockRoot(lib + "/"), share);
    ASSERT_TRUE(top.mkpath("usr/lib/dpu510tk3/DefaultImage2/LiftState"));
    EXPECT_EQ(TConfiguration::StockRoot(lib), lib + "/");
}
