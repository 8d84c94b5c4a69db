#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "rom/glyphlibrary.h"
#include "rom/tmakerom.h"
#include "rom/trombuilder.h"
#include "tests/rom/testglyphs.h"
#include "tests/rom/testprompts.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using DpuProject::TProject;
using DpuRom::GlyphLibrary;
using DpuProject::TConfiguration;
using DpuRom::TMakeRom;
using DpuRom::TRomBuilder;

namespace {

// Every picture of the BMP test suite in every role a picture file plays in a
// build: a lift-state slot, the customer logo and a user floor bitmap. A
// picture the loader reads builds; one it cannot read stops the build with a
// message naming the file, and no image is written.
class BadPictureTest : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(WriteGlyphLibrary(Dir.filePath("TEST.GLB").toStdString(), FullTestLibrary().Entries));
        ASSERT_TRUE(Library.Load(Dir.filePath("TEST.GLB").toStdString()));
        Config.ProgramDir = Dir.path().toStdString() + "/";
        Config.GlbName = "TEST.GLB";
        Config.CFI = 1;
        UserFolder = QString::fromStdString(TRomBuilder::UserBitmapPath(Config.ProgramDir, 0, "X"));
        UserFolder.chop(5);  // "X.bmp"
        ASSERT_TRUE(QDir().mkpath(UserFolder));
    }

    QTemporaryDir Dir;
    GlyphLibrary Library;
    TConfiguration Config;
    QString UserFolder;
};

QStringList SuiteFiles(const char* Folder) {
    const QDir dir(QString(DPU_TESTDATA_DIR) + "/bmpsuite/" + Folder);
    QStringList files;
    for (const QString& name : dir.entryList({"*.bmp"}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

} // namespace

TEST_P(BadPictureTest, BuildsOrStopsNamingTheFile) {
    const QStringList files = SuiteFiles(GetParam());
    if (files.isEmpty())
        GTEST_SKIP() << "no BMP test suite here";
    const bool mustLoad = std::string(GetParam()) == "g";
    int stopped = 0;
    for (const QString& file : files) {
        QImageReader reader(file);
        const bool readable = !reader.read().isNull();
        if (mustLoad) {
            EXPECT_TRUE(readable) << file.toStdString();
        }
        // The user bitmap is found by its label in the style folder.
        const QString userCopy = UserFolder + "SUITE.bmp";
        QFile::remove(userCopy);
        ASSERT_TRUE(QFile::copy(file, userCopy));
        const std::string path = file.toStdString();
        for (int role = 0; role < 3; ++role) {
            SCOPED_TRACE(path + " role " + std::to_string(role));
            TProject project;
            for (auto& state : project.LiftStateSlots)
                state.fill({});
            project.CodeTables[0][0] = "1";
            std::string named = path;
            if (role == 0)
                project.LiftStateSlots[2][3] = path;
            if (role == 1) {
                project.CUSLOGOENABLE = 1;
                project.TITLEFILENAME_C = path;
            }
            if (role == 2) {
                project.CodeTables[1][9] = "suite";
                named = userCopy.toStdString();
            }
            TTestPrompts prompts;
            TMakeRom make(project, Config, Library, prompts, &prompts);
            make.OutputFile = Dir.filePath("OUT.BIN").toStdString();
            QFile::remove(Dir.filePath("OUT.BIN"));
            const bool built = make.Run();
            EXPECT_TRUE(make.CancelledCells.empty());
            EXPECT_EQ(built, readable) << make.LastErrMsg;
            if (!built) {
                ++stopped;
                EXPECT_EQ(make.LastErrCaption, "Error");
                EXPECT_NE(make.LastErrMsg.find(named), std::string::npos) << make.LastErrMsg;
                EXPECT_FALSE(QFile::exists(Dir.filePath("OUT.BIN")));
            } else {
                EXPECT_EQ(QFileInfo(Dir.filePath("OUT.BIN")).size(), 64512);
            }
        }
    }
    if (std::string(GetParam()) == "b") {
        EXPECT_GT(stopped, 0);
    }
    RecordProperty("stopped", stopped);
}

INSTANTIATE_TEST_SUITE_P(BmpSuite, BadPictureTest, testing::Values("g", "b", "q"));
