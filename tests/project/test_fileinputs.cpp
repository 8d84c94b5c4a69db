// Files that are read: the project, the configuration and the glyph library
// load from write-protected files, and whatever is not a regular file is
// refused at once, saying which file and why.

#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "project/tstartup.h"
#include "rom/glyphlibrary.h"
#include "rom/tmakerom.h"
#include "support/filehelpers.h"
#include "support/trecordingsink.h"
#include "support/tscriptedprompts.h"
#include "support/ttestglyphs.h"
#include "support/ttestworkspace.h"
#include "support/ttestglyphs.h"
#include "support/tboundedcall.h"
#include "support/tunprivilegedfiles.h"
#include "util/errmsgbox.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

using namespace DpuProject;
using namespace DpuRom;

namespace {

bool Logged(const TRecordingSink& Sink, const std::string& Line) {
    return std::find(Sink.Log.begin(), Sink.Log.end(), Line) != Sink.Log.end();
}

bool Shown(const TScriptedPrompts& Ask, const std::string& Text) {
    for (const auto& [caption, text] : Ask.Boxes)
        if (text == Text) return true;
    return false;
}

// A start-up directory with a configuration, a library a build can use and
// a project with one label; error boxes of the INI engine are recorded.
struct TInputsFixture {
    TTestWorkspace Dir{TTestWorkspace::Empty()};
    TConfiguration Config;
    GlyphLibrary Library;
    TProject Project;
    TScriptedPrompts Ask;
    TRecordingSink Sink;
    std::vector<std::string> EngineBoxes;
    YVclUtil::ErrMsgBoxHandler Previous;

    TInputsFixture() {
        Config.StartupDir = Dir.Folder();
        Config.ProgramDir = Dir.Folder() + "/";
        WriteText(
            Dir.File("ORVDVE510TK3.INI"),
            "[GLOBAL]\r\nGLB=TEST.GLB\r\nVCN=1\r\nITEM1=PLAIN\r\n[PLAIN]\r\nCFI=1\r\nIFI=41\r\n");
        WriteGlyphLibrary(Dir.File("TEST.GLB"), FullTestLibrary().Entries);
        WriteText(Dir.File("lift.dcf"),
                  "[GLOBAL]\r\nCODENAME=DVE510TK3\r\nCODEVER=PLAIN\r\n[CTBL0]\r\nCODE_0=b1\r\n");
        Previous = YVclUtil::SetErrMsgBoxHandler(
            [this](const std::string&, const std::string& Text) { EngineBoxes.push_back(Text); });
    }
    ~TInputsFixture() { YVclUtil::SetErrMsgBoxHandler(Previous); }
};

} // namespace

TEST(FileInputs, WriteProtectedProjectAndConfigurationLoadAndBuild) {
    TInputsFixture f;
    ASSERT_EQ(::chmod(f.Dir.Folder().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(f.Dir.File("ORVDVE510TK3.INI").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(f.Dir.File("lift.dcf").c_str(), 0444), 0);
    const std::string before = ReadText(f.Dir.File("lift.dcf"));
    TUnprivilegedFiles nobody;
    ASSERT_TRUE(nobody.Effective());

    EXPECT_TRUE(TStartup::Run(f.Config, f.Library, f.Project, f.Ask, f.Sink).Completed);
    EXPECT_EQ(f.Config.SelectedVersion, "PLAIN");
    TProjectFile file(f.Project, f.Config, f.Library, f.Ask, f.Sink);
    ASSERT_EQ(file.LoadFrom(f.Dir.File("lift.dcf")), TProjectFile::TLoadResult::Loaded)
        << file.LastError;
    EXPECT_EQ(f.Project.CodeTables[0][0], "b1");

    TMakeRom make(f.Project, f.Config, f.Library, f.Ask, &f.Sink);
    make.OutputFile = f.Dir.File("out.BIN");
    ASSERT_TRUE(make.Run()) << make.LastErrMsg;
    EXPECT_EQ(QFileInfo(QString::fromStdString(f.Dir.File("out.BIN"))).size(), 64512);
    EXPECT_TRUE(f.EngineBoxes.empty());

    // Only the save needs write access, and it says so.
    EXPECT_FALSE(file.SaveTo(f.Dir.File("lift.dcf")));
    EXPECT_FALSE(f.Project.SaveDone);
    EXPECT_NE(file.LastError.find("Permission denied"), std::string::npos) << file.LastError;
    EXPECT_TRUE(Logged(f.Sink, "[Error] Can not write project file \"" + f.Dir.File("lift.dcf") +
                                   "\": Permission denied"));
    EXPECT_EQ(ReadText(f.Dir.File("lift.dcf")), before);
}

TEST(FileInputs, FoldersAndFifosAreRefusedAtOnceWithTheirReason) {
    TInputsFixture f;
    const std::string fifo = f.Dir.File("lift.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(f.Dir.File("folder.dcf").c_str(), 0700), 0);

    // Projects: not "not found", but the engine's box and the reason.
    TProjectFile file(f.Project, f.Config, f.Library, f.Ask, f.Sink);
    EXPECT_EQ(file.LoadFrom(f.Dir.File("folder.dcf")), TProjectFile::TLoadResult::OpenError);
    EXPECT_TRUE(Logged(f.Sink, "[Error] Can not read project file \"" + f.Dir.File("folder.dcf") +
                                   "\": Is a directory"));
    TProjectFile::TLoadResult fromFifo = TProjectFile::TLoadResult::Loaded;
    EXPECT_TRUE(TBoundedCall::Run([&] { fromFifo = file.LoadFrom(fifo); }, fifo));
    EXPECT_EQ(fromFifo, TProjectFile::TLoadResult::OpenError);
    EXPECT_TRUE(
        Logged(f.Sink, "[Error] Can not read project file \"" + fifo + "\": Not a regular file"));
    EXPECT_FALSE(Shown(f.Ask, "Project file not found!!\n\n"));
    EXPECT_EQ(f.EngineBoxes.size(), 2u);

    // Glyph library: a box that says what is wrong (not "not found", kept
    // for a missing file), and a log line naming the file.
    for (const std::string& name : {std::string("folder.dcf"), std::string("lift.fifo")}) {
        SCOPED_TRACE(name);
        WriteText(f.Dir.File("ORVDVE510TK3.INI"), "[GLOBAL]\r\nGLB=" + name + "\r\n");
        f.Sink.Log.clear();
        f.Ask.Boxes.clear();
        bool completed = true;
        EXPECT_TRUE(TBoundedCall::Run(
            [&] {
                completed = TStartup::Run(f.Config, f.Library, f.Project, f.Ask, f.Sink).Completed;
            },
            fifo));
        EXPECT_FALSE(completed);
        EXPECT_FALSE(f.Library.IsLoaded());
        EXPECT_TRUE(
            Shown(f.Ask, std::string("GLB file can not be read (") +
                             (name == "lift.fifo" ? "Not a regular file" : "Is a directory") +
                             ")!!\n\n"));
        EXPECT_FALSE(Shown(f.Ask, "GLB file not found!!\n\n"));
        EXPECT_TRUE(Logged(
            f.Sink, "[Error] Glyph library \"" + f.Dir.File(name) +
                        "\": " + (name == "lift.fifo" ? "Not a regular file" : "Is a directory")));
    }

    // A configuration that is a folder is no missing configuration.
    ASSERT_EQ(::unlink(f.Dir.File("ORVDVE510TK3.INI").c_str()), 0);
    ASSERT_EQ(::mkdir(f.Dir.File("ORVDVE510TK3.INI").c_str(), 0700), 0);
    f.Ask.Boxes.clear();
    f.Sink.Log.clear();
    EXPECT_FALSE(f.Config.Read(f.Ask, &f.Sink));
    EXPECT_FALSE(Shown(f.Ask, "ORVDVE510TK3.INI file not found!!\n\n"));
    EXPECT_TRUE(Logged(f.Sink, "[Error] Can not read \"" + f.Dir.File("ORVDVE510TK3.INI") +
                                   "\": Is a directory"));
}
