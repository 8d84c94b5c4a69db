#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"
#include "rom/glyphlibrary.h"
#include "rom/tmakerom.h"
#include "rom/trombuilder.h"
#include "support/ttestglyphs.h"
#include "support/tscriptedprompts.h"
#include "support/bmpsuitehelpers.h"
#include "support/filehelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using DpuRom::ERomBuild;

using namespace DpuProject;
using namespace DpuRom;

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuRom::GlyphLibrary;
using DpuRom::TMakeRom;
using DpuRom::TRomBuilder;

namespace {

// The packing of a lit map written out pixel by pixel: bands of eight rows,
// bit 0 the top row; Turned gives packed pixel (x, y) the source pixel
// (Ws - 1 - y, x).
std::vector<uint8_t> PackReference(const BmpSuite::TLitMap& Map, bool Turned) {
    const int ws = Map.Width, hs = Map.Height;
    const int w = Turned ? hs : ws, h = Turned ? ws : hs;
    std::vector<uint8_t> out = {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>(w >> 8),
                                static_cast<uint8_t>(h & 0xFF), static_cast<uint8_t>(h >> 8)};
    out.resize(4 + static_cast<size_t>(w) * static_cast<size_t>(h) / 8, 0);
    for (int b = 0; b < h / 8; ++b)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 8; ++k) {
                const int y = 8 * b + k;
                const int sx = Turned ? ws - 1 - y : x, sy = Turned ? x : y;
                if (Map.Lit[static_cast<size_t>(sy) * static_cast<size_t>(ws) +
                            static_cast<size_t>(sx)])
                    out[4 + static_cast<size_t>(b) * static_cast<size_t>(w) +
                        static_cast<size_t>(x)] |= static_cast<uint8_t>(1 << k);
            }
    return out;
}

// Every picture of the BMP suite in every role a picture file plays in a
// build: a lift-state slot, the customer logo and a user floor bitmap.
class BmpSuiteBuild : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(
            WriteGlyphLibrary(Dir.filePath("TEST.GLB").toStdString(), FullTestLibrary().Entries));
        ASSERT_TRUE(Library.Load(Dir.filePath("TEST.GLB").toStdString()));
        Config.ProgramDir = Dir.path().toStdString() + "/";
        Config.GlbName = "TEST.GLB";
        Config.CFI = 1;
        UserFolder = QString::fromStdString(TRomBuilder::UserBitmapPath(Config.ProgramDir, 0, "X"));
        UserFolder.chop(5); // "X.bmp"
        ASSERT_TRUE(QDir().mkpath(UserFolder));
    }

    // Builds with the picture in Role; true and the image when it built, else
    // false with the message checked.
    bool Build(const std::string& Path, int Role, std::vector<uint8_t>& Image,
               std::string& Message) {
        TProject project;
        for (auto& state : project.LiftStateSlots)
            state.fill({});
        project.CodeTables[0][0] = "1";
        if (Role == 0) project.LiftStateSlots[2][3] = Path;
        if (Role == 1) {
            project.CUSLOGOENABLE = 1;
            project.TITLEFILENAME_C = Path;
        }
        if (Role == 2) project.CodeTables[1][9] = "suite";
        TScriptedPrompts prompts;
        TMakeRom make(project, Config, Library, prompts, &prompts);
        make.OutputFile = Dir.filePath("OUT.BIN").toStdString();
        QFile::remove(Dir.filePath("OUT.BIN"));
        const bool built = make.Run();
        EXPECT_TRUE(make.CancelledCells.empty());
        Message = make.LastErrMsg;
        Image = BmpSuite::Bytes(make.OutputFile);
        if (!built) {
            EXPECT_EQ(make.LastErrCaption, "Error");
            EXPECT_TRUE(Image.empty()) << "an image was written for a refused picture";
        } else {
            EXPECT_EQ(Image.size(), 64512u);
        }
        return built;
    }

    QTemporaryDir Dir;
    GlyphLibrary Library;
    TConfiguration Config;
    QString UserFolder;
};

} // namespace

// A good picture packs to exactly the independent decoding, plainly and
// turned, and builds in every role; a bad one stops the build naming the
// file; a questionable one does one or the other. Whatever builds, builds the
// same image twice.
TEST_P(BmpSuiteBuild, PackedExactlyOrRefusedNamingTheFile) {
    const std::string folder = GetParam();
    const std::vector<std::string> files = BmpSuite::Files(folder);
    ASSERT_EQ(files.size(), BmpSuite::Count(folder))
        << "BMP suite missing from " << BmpSuite::Dir();
    int stopped = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        BmpSuite::TLitMap expected;
        const bool hasExpected = BmpSuite::Expected(path, expected);
        bool accepted = true;
        for (int turn = 0; turn < 2; ++turn) {
            try {
                const std::vector<uint8_t> packed = ConvertPictureFile(path, turn);
                ASSERT_TRUE(hasExpected)
                    << "packed without an independent decoding to compare with";
                EXPECT_EQ(packed, PackReference(expected, turn == 1)) << "turn " << turn;
            } catch (const ERomBuild& e) {
                accepted = false;
                EXPECT_NE(e.Message.find("\"" + path + "\""), std::string::npos) << e.Message;
            }
        }
        EXPECT_TRUE(accepted || folder != "g");
        EXPECT_TRUE(!accepted || folder != "b");

        // The user bitmap is found by its label in the style folder.
        const QString userCopy = UserFolder + "SUITE.bmp";
        QFile::remove(userCopy);
        ASSERT_TRUE(QFile::copy(QString::fromStdString(path), userCopy));
        for (int role = 0; role < 3; ++role) {
            SCOPED_TRACE("role " + std::to_string(role));
            const std::string named = role == 2 ? userCopy.toStdString() : path;
            std::vector<uint8_t> image, again;
            std::string message;
            const bool built = Build(named, role, image, message);
            EXPECT_EQ(built, accepted) << message;
            if (!built) {
                ++stopped;
                EXPECT_NE(message.find("\"" + named + "\""), std::string::npos) << message;
            } else if (role == 0) {
                ASSERT_TRUE(Build(named, role, again, message)) << message;
                EXPECT_TRUE(image == again) << "two builds of one project differ";
            }
        }
    }
    if (folder == "b") {
        EXPECT_EQ(stopped, 3 * 20);
    }
    RecordProperty("stopped", stopped);
}

INSTANTIATE_TEST_SUITE_P(BmpSuite, BmpSuiteBuild, testing::Values("g", "b", "q"));

namespace {
class CraftedInputs : public BmpSuiteBuild {
protected:
    bool UseLibrary(const std::vector<uint8_t>& Image) {
        const std::string path = Dir.filePath("CRAFTED.GLB").toStdString();
        WriteFile(path, Image);
        return Library.Load(path);
    }
};
} // namespace

// A kilobyte claiming 8192 x 8192 pixels stops the build in every role, and
// so does a library whose entries all name it, naming the file or the entry
// and the size, before anything is decoded. A library whose entries share
// one good picture builds the image that separate copies build.
TEST_F(CraftedInputs, ClaimedSizeStopsTheBuildNamingItAndSharedEntriesBuildAlike) {
    const std::vector<uint8_t> huge = ClaimingBmp(8192, 8192);
    const std::string path = Dir.filePath("huge.bmp").toStdString();
    WriteFile(path, huge);
    const QString userCopy = UserFolder + "SUITE.bmp";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(path), userCopy));
    std::vector<uint8_t> image;
    std::string message;
    for (int role = 0; role < 3; ++role) {
        SCOPED_TRACE("role " + std::to_string(role));
        const std::string named = role == 2 ? userCopy.toStdString() : path;
        EXPECT_FALSE(Build(named, role, image, message));
        EXPECT_EQ(message, "Cannot load picture \"" + named +
                               "\": picture too large: 8192 x 8192 pixels (at most 4096 a "
                               "side and 1048576 in all)");
    }

    ASSERT_TRUE(UseLibrary(RedirectedGlb(huge)));
    EXPECT_FALSE(Build("", 3, image, message));
    EXPECT_EQ(message.find("Cannot load picture \"glyph library entry 0/50\": picture too large: "
                           "8192 x 8192 pixels"),
              0u)
        << message;

    const std::vector<uint8_t> small = BmpBytes(Marked(8, 8));
    ASSERT_TRUE(UseLibrary(RedirectedGlb(small)));
    std::vector<uint8_t> shared, copies;
    ASSERT_TRUE(Build("", 3, shared, message)) << message;
    TTestGlyphs glyphs = FullTestLibrary();
    for (auto& [key, payload] : glyphs.Entries)
        if (key.first >= 1 || (key.second >= 50 && key.second < 142)) payload = small;
    for (int k = 1; k <= 4; ++k)
        for (int c = 0; c < 128; ++c)
            glyphs.Entries[{k, c}] = small;
    ASSERT_TRUE(WriteGlyphLibrary(Dir.filePath("CRAFTED.GLB").toStdString(), glyphs.Entries));
    ASSERT_TRUE(Library.Load(Dir.filePath("CRAFTED.GLB").toStdString()));
    ASSERT_TRUE(Build("", 3, copies, message)) << message;
    EXPECT_TRUE(shared == copies);
}
