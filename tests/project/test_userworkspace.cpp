#include "project/tuserworkspace.h"
#include "support/filehelpers.h"
#include "support/ttestworkspace.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>

using DpuProject::TUserWorkspace;

namespace {

// A program folder holding the installation files, and beside it the place
// of a workspace two folders down (made by Prepare).
struct WorkspaceFixture {
    TTestWorkspace Root{TTestWorkspace::Aside()};
    std::string Program = Root.Folder() + "/program";
    std::string Workspace = Root.Folder() + "/profile/dpu510tk3/workspace";

    WorkspaceFixture() {
        QDir().mkpath(QString::fromStdString(Program));
        for (const std::string& name : TUserWorkspace::FileNames())
            Ship(name, "shipped " + name + " 1\r\n");
    }
    void Ship(const std::string& Name, const std::string& Text) const {
        WriteText(Program + "/" + Name, Text);
    }
    std::string InWorkspace(const std::string& Name) const {
        return ReadText(Workspace + "/" + Name);
    }
    bool Exists(const std::string& Name) const {
        return QFile::exists(QString::fromStdString(Workspace + "/" + Name));
    }
};

// Restores the current directory however the test ends.
struct CurrentDirGuard {
    QString Saved = QDir::currentPath();
    ~CurrentDirGuard() { QDir::setCurrent(Saved); }
};

} // namespace

TEST(UserWorkspace, FirstRunCopiesTheInstallationFiles) {
    WorkspaceFixture f;
    TUserWorkspace ws;
    ASSERT_TRUE(ws.Prepare(f.Program, f.Workspace)) << ws.LastError;
    EXPECT_TRUE(ws.Warnings.empty());
    for (const std::string& name : TUserWorkspace::FileNames())
        EXPECT_EQ(f.InWorkspace(name), "shipped " + name + " 1\r\n") << name;
    const std::string manifest = f.InWorkspace(TUserWorkspace::ManifestName);
    EXPECT_EQ(std::count(manifest.begin(), manifest.end(), '\n'), 4) << manifest;

    // Unchanged on both sides: a second run changes nothing.
    ASSERT_TRUE(ws.Prepare(f.Program, f.Workspace)) << ws.LastError;
    EXPECT_EQ(f.InWorkspace(TUserWorkspace::ManifestName), manifest);
}

// What the user did to the workspace outlives a newer installation; what the
// user left alone follows it.
TEST(UserWorkspace, NewerInstallationReachesOnlyUntouchedFiles) {
    WorkspaceFixture f;
    // Present before the first run, so never copied: the user's own.
    QDir().mkpath(QString::fromStdString(f.Workspace));
    WriteText(f.Workspace + "/SPACE_240x240.bmp", "my own logo");
    TUserWorkspace ws;
    ASSERT_TRUE(ws.Prepare(f.Program, f.Workspace)) << ws.LastError;
    EXPECT_EQ(f.InWorkspace("SPACE_240x240.bmp"), "my own logo");

    WriteText(f.Workspace + "/ORVDVE510TK3.INI", "edited by the user\r\n");
    ASSERT_TRUE(QFile::remove(QString::fromStdString(f.Workspace + "/sample.dcf")));
    for (const std::string& name : TUserWorkspace::FileNames())
        f.Ship(name, "shipped " + name + " 2\r\n");

    ASSERT_TRUE(ws.Prepare(f.Program, f.Workspace)) << ws.LastError;
    EXPECT_EQ(f.InWorkspace("D510TK3.GLB"), "shipped D510TK3.GLB 2\r\n");
    EXPECT_EQ(f.InWorkspace("ORVDVE510TK3.INI"), "edited by the user\r\n");
    EXPECT_EQ(f.InWorkspace("SPACE_240x240.bmp"), "my own logo");
    EXPECT_FALSE(f.Exists("sample.dcf"));

    // The user puts the shipped file back by hand: from then on it is the
    // installation's again and follows the next one.
    WriteText(f.Workspace + "/ORVDVE510TK3.INI", "shipped ORVDVE510TK3.INI 2\r\n");
    ASSERT_TRUE(ws.Prepare(f.Program, f.Workspace));
    f.Ship("ORVDVE510TK3.INI", "shipped ORVDVE510TK3.INI 3\r\n");
    ASSERT_TRUE(ws.Prepare(f.Program, f.Workspace));
    EXPECT_EQ(f.InWorkspace("ORVDVE510TK3.INI"), "shipped ORVDVE510TK3.INI 3\r\n");
    EXPECT_FALSE(f.Exists("sample.dcf"));
}

TEST(UserWorkspace, MissingInstallationFileAndUnusableWorkspace) {
    WorkspaceFixture f;
    ASSERT_TRUE(QFile::remove(QString::fromStdString(f.Program + "/D510TK3.GLB")));
    TUserWorkspace ws;
    ASSERT_TRUE(ws.Prepare(f.Program, f.Workspace)) << ws.LastError;
    ASSERT_EQ(ws.Warnings.size(), 1u);
    EXPECT_EQ(ws.Warnings[0], "[Warning] D510TK3.GLB is missing from " + f.Program);
    EXPECT_FALSE(f.Exists("D510TK3.GLB"));
    EXPECT_TRUE(f.Exists("sample.dcf"));

    // A file where the workspace's folder should be.
    WriteText(f.Root.Folder() + "/blocked", "x");
    TUserWorkspace blocked;
    EXPECT_FALSE(blocked.Prepare(f.Program, f.Root.Folder() + "/blocked/workspace"));
    EXPECT_EQ(
        blocked.LastError.rfind("Can not create " + f.Root.Folder() + "/blocked/workspace: ", 0),
        0u)
        << blocked.LastError;
}

TEST(UserWorkspace, AStartInTheProgramFolderOrOnAProjectOutsideAWorkspaceMovesToIt) {
    WorkspaceFixture f;
    CurrentDirGuard guard;
    const QString elsewhere = f.Root.Path();
    QDir::setCurrent(elsewhere);
    TUserWorkspace ws;
    EXPECT_EQ(ws.EnterStartupFolder(f.Program + "/", f.Workspace), elsewhere.toStdString());
    EXPECT_FALSE(QDir(QString::fromStdString(f.Workspace)).exists());

    QDir::setCurrent(QString::fromStdString(f.Program));
    // No workspace on this platform: the editor stays where it was started.
    EXPECT_EQ(ws.EnterStartupFolder(f.Program + "/", ""), f.Program);
    EXPECT_EQ(ws.EnterStartupFolder(f.Program + "/", f.Workspace), f.Workspace);
    EXPECT_TRUE(ws.LastError.empty()) << ws.LastError;
    EXPECT_EQ(QDir::currentPath().toStdString(), f.Workspace);
    EXPECT_EQ(f.InWorkspace("sample.dcf"), "shipped sample.dcf 1\r\n");

    // A project opened from a folder without the configuration (a
    // double-click on it) moves too; a folder with one is a workspace.
    QDir::setCurrent(elsewhere);
    EXPECT_EQ(ws.EnterStartupFolder(f.Program, f.Workspace, true), f.Workspace);
    WriteText(elsewhere.toStdString() + "/ORVDVE510TK3.INI", "[x]\r\n");
    QDir::setCurrent(elsewhere);
    EXPECT_EQ(ws.EnterStartupFolder(f.Program, f.Workspace, true), elsewhere.toStdString());

    // A workspace that cannot be made leaves the editor in its folder.
    QDir::setCurrent(QString::fromStdString(f.Program));
    WriteText(f.Root.Folder() + "/blocked", "x");
    EXPECT_EQ(ws.EnterStartupFolder(f.Program, f.Root.Folder() + "/blocked/ws"), f.Program);
    EXPECT_FALSE(ws.LastError.empty());
}
