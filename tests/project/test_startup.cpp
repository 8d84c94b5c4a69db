#include "project/dputext.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tstartup.h"
#include "project/tuserworkspace.h"
#include "rom/glyphlibrary.h"
#include "support/filehelpers.h"
#include "support/trecordingsink.h"
#include "support/tscriptedprompts.h"
#include "support/ttestglyphs.h"
#include "support/ttestworkspace.h"

#include <QDir>
#include <QFile>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuProject::TStartup;
using DpuProject::TStartupResult;
using DpuRom::GlyphLibrary;
namespace DpuText = DpuProject::DpuText;

namespace {
struct StartupFixture {
    TTestWorkspace Dir{TTestWorkspace::Empty()};
    TConfiguration Config;
    GlyphLibrary Library;
    TProject Project;
    TScriptedPrompts Ask;
    TRecordingSink Sink;

    StartupFixture() {
        Config.StartupDir = Dir.Folder();
        Config.ProgramDir = "/opt/prog/";
    }
    TStartupResult Run() { return TStartup::Run(Config, Library, Project, Ask, Sink); }
    void WriteLibrary() {
        std::vector<GlbEntry> entries;
        for (int k = 1; k <= 4; ++k)
            entries.push_back({k, 48, MakeBmp(32, 64)});
        for (int s = 0; s < 5; ++s)
            entries.push_back({0, 50 + 20 * s, MakeBmp(48, 48)});
        entries.push_back({0, 30, MakeBmp(64, 128)});
        entries.push_back({0, 32, MakeBmp(64, 128)});
        WriteFile(Dir.File("D510TK3.GLB"), MakeGlb(entries));
    }
};
} // namespace

TEST(Startup, CompletesWithCaptionStatusAndPreviews) {
    StartupFixture f;
    f.WriteLibrary();
    WriteText(f.Dir.File("ORVDVE510TK3.INI"),
              "[GLOBAL]\r\nVCN=1\r\nITEM1=ORV-GRY\r\n\r\n[ORV-GRY]\r\nCFI=50\r\n");
    WriteText(f.Dir.File("ORV_TEMPBMP.BMP"), "stale");
    f.Sink.AppendLog("old line");

    const TStartupResult r = f.Run();
    EXPECT_TRUE(r.Completed);
    EXPECT_TRUE(f.Ask.Boxes.empty());
    const std::string date = f.Library.Date();
    EXPECT_EQ(r.Caption, "DPU-510TK3 Lift LCD Editor (R2-Build101117)  [ " + date + " /  ]");
    EXPECT_EQ(f.Sink.Status[0], "Project file:");
    EXPECT_EQ(f.Sink.Status[1], "Version: ORV-GRY");
    EXPECT_EQ(f.Sink.Status[2], "D510TK3.GLB / ");
    EXPECT_TRUE(f.Sink.Log.empty());
    EXPECT_EQ(f.Config.CFI, 50);
    EXPECT_EQ(f.Config.BitPattern(32), "100000");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(f.Dir.File("ORV_TEMPBMP.BMP"))));
    for (const auto& img : r.FlStylePreviews)
        EXPECT_TRUE(img.Width() == 32 && img.Height() == 64);
    for (const auto& img : r.DirStylePreviews)
        EXPECT_TRUE(img.Width() == 48 && img.Height() == 48);
    EXPECT_FALSE(r.MsgPosPreviews[0].IsNull());
    EXPECT_TRUE(r.MsgPosPreviews[1].IsNull()); // absent entry: blank preview
    EXPECT_EQ(f.Project.LiftStateSlots[2][1],
              "/opt/prog/DefaultImage2/LiftState/BREAKDOWN-16x64_CHT.bmp");
    EXPECT_EQ(DpuText::CodeText(10), "0A (10 )");
    EXPECT_EQ(DpuText::CodeText(255), "FF (255 )");
    EXPECT_EQ(DpuText::CodeText(0), "00 (0 )");
    EXPECT_EQ(DpuText::CodeText(-1), "");
    EXPECT_EQ(DpuText::CodeText(256), "");
    EXPECT_EQ(TStartup::GridHeader(0), "bit [ 5..0 ]");
}

TEST(Startup, UserGlyphLibraryIsDatedNotRead) {
    StartupFixture f;
    f.WriteLibrary();
    WriteText(f.Dir.File("ORVDVE510TK3.INI"), "[GLOBAL]\r\nUBFGLB=USER.GLB\r\n");
    WriteText(f.Dir.File("USER.GLB"), "x");
    const TStartupResult r = f.Run();
    EXPECT_TRUE(r.Completed);
    EXPECT_EQ(f.Config.UbfGlbDate.size(), 6u);
    EXPECT_NE(f.Config.UbfGlbDate, "000000");
    EXPECT_EQ(r.Caption, std::string(TStartup::DesignCaption) + "  [ " + f.Config.GlbDate + " / " +
                             f.Config.UbfGlbDate + " ]");
    EXPECT_EQ(f.Sink.Status[2], "D510TK3.GLB / USER.GLB");
    EXPECT_EQ(f.Sink.Status[1], "Version: ORV-INITDL");
}

TEST(Startup, MissingFilesEndStartUpEarly) {
    {
        StartupFixture f; // no configuration, no library
        const TStartupResult r = f.Run();
        EXPECT_FALSE(r.Completed);
        ASSERT_EQ(f.Ask.Boxes.size(), 2u);
        EXPECT_EQ(f.Ask.Boxes[0].second, "ORVDVE510TK3.INI file not found!!\n\n");
        EXPECT_EQ(f.Ask.Boxes[1].second, "GLB file not found!!\n\n");
        EXPECT_EQ(r.Caption, TStartup::DesignCaption);
        EXPECT_EQ(f.Sink.Status[2], "Program start error!!");
        EXPECT_EQ(f.Sink.Status[1], "Version: ");
        EXPECT_EQ(f.Config.GlbDate, "000000");
        EXPECT_FALSE(f.Library.IsLoaded());
        EXPECT_TRUE(r.FlStylePreviews[0].IsNull());
        // The slots still point at the stock bitmaps.
        EXPECT_EQ(f.Project.LiftStateSlots[0][0],
                  "/opt/prog/DefaultImage2/LiftState/FIRE-16x64_EN.bmp");
    }
    {
        StartupFixture f;
        f.WriteLibrary();
        WriteText(f.Dir.File("ORVDVE510TK3.INI"), "[GLOBAL]\r\nUBFGLB=GONE.GLB\r\n");
        WriteText(f.Dir.File("ORV_TEMPBMP.BMP"), "stale");
        const TStartupResult r = f.Run();
        EXPECT_FALSE(r.Completed);
        ASSERT_EQ(f.Ask.Boxes.size(), 1u);
        EXPECT_EQ(f.Ask.Boxes[0].first, "Error");
        EXPECT_EQ(f.Ask.Boxes[0].second, "User define BMP file not found!!\n\n");
        EXPECT_EQ(f.Config.UbfGlbName, "");
        EXPECT_EQ(f.Config.UbfGlbDate, "000000");
        EXPECT_TRUE(f.Library.IsLoaded());
        EXPECT_EQ(f.Sink.Status[2], "Program start error!!");
        // Start-up stopped before the stale working file step.
        EXPECT_TRUE(QFile::exists(QString::fromStdString(f.Dir.File("ORV_TEMPBMP.BMP"))));
    }
}

// Started outside a workspace, start-up keeps its boxes and then says in the
// log where the installed files are and how to get a workspace: the package's
// share folder, or the program's own folder as the Windows zip has it. In a
// workspace nothing is added.
TEST(Startup, OutsideAWorkspaceTheLogNamesTheInstalledFiles) {
    using DpuProject::TUserWorkspace;
    TTestWorkspace install{TTestWorkspace::Empty()};
    QDir(QString::fromStdString(install.Folder())).mkpath("lib/dpu510tk3");
    QDir(QString::fromStdString(install.Folder())).mkpath("share/dpu510tk3");
    WriteText(install.File("share/dpu510tk3/ORVDVE510TK3.INI"), "[GLOBAL]\r\n");
    const auto native = [](const std::string& Path) {
        return QDir::toNativeSeparators(QString::fromStdString(Path)).toStdString();
    };
    const std::string shared = native(install.File("share/dpu510tk3/"));
    const std::string how = TUserWorkspace::DefaultFolder().empty()
                                ? "\"dpu510tk3-workspace --prepare\""
                                : native(TUserWorkspace::DefaultFolder());
    {
        StartupFixture f; // neither the configuration nor the library
        f.Config.ProgramDir = install.File("lib/dpu510tk3/");
        EXPECT_FALSE(f.Run().Completed);
        ASSERT_EQ(f.Ask.Boxes.size(), 2u);
        EXPECT_EQ(f.Ask.Boxes[1].second, "GLB file not found!!\n\n");
        ASSERT_FALSE(f.Sink.Log.empty());
        EXPECT_THAT(f.Sink.Log.back(),
                    testing::StartsWith("[Warning] This folder is no workspace: the installed "
                                        "configuration file and glyph library are in " +
                                        shared + ";"));
        EXPECT_THAT(f.Sink.Log.back(), testing::HasSubstr(how));
    }
    {
        StartupFixture f; // a library, no configuration: start-up completes
        f.WriteLibrary();
        f.Config.ProgramDir = install.File("share/dpu510tk3/"); // beside, as in the zip
        EXPECT_TRUE(f.Run().Completed);
        ASSERT_EQ(f.Ask.Boxes.size(), 1u);
        ASSERT_EQ(f.Sink.Log.size(), 1u); // kept through the clearing of the log
        EXPECT_THAT(f.Sink.Log[0], testing::HasSubstr("are in " + shared + ";"));
    }
    {
        StartupFixture f; // a workspace
        f.WriteLibrary();
        WriteText(f.Dir.File("ORVDVE510TK3.INI"), "[GLOBAL]\r\n");
        f.Config.ProgramDir = install.File("lib/dpu510tk3/");
        EXPECT_TRUE(f.Run().Completed);
        EXPECT_TRUE(f.Sink.Log.empty());
    }
    // Nothing installed anywhere near (a build tree): the line says so.
    EXPECT_THAT(TUserWorkspace::NoWorkspaceHint(install.File("lib/dpu510tk3/nothing/")),
                testing::HasSubstr("no installed configuration file and glyph library were found"));
}
