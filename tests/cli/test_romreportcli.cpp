// inspect, diff and recover run as the tool, in a start-up directory holding
// the installation's configuration, glyph library and sample project.

#include "support/filehelpers.h"
#include "support/platformhelpers.h"
#include "support/programhelpers.h"
#include "util/fileaccess.h"
#include "support/pathhelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

using testing::HasSubstr;

namespace {

using TRun = TProgramRun;

std::vector<uint8_t> ReadAll(const QString& Path) {
    std::vector<uint8_t> data;
    std::string error;
    YVclUtil::ReadWholeFile(Path.toStdString(), data, error);
    return data;
}

// The pixels of a PNG file as the toolkit reads them, as 0xAARRGGBB words
// after its width and height, through FNV-1a (64 bits) from Seed on: the
// same picture gives the same number whatever the file's encoding.
uint64_t PixelPrint(const QString& Path, uint64_t Seed = 0xCBF29CE484222325u) {
    const QImage read = QImage(Path).convertToFormat(QImage::Format_RGB32);
    if (read.isNull()) return 0;
    uint64_t h = Seed;
    auto add = [&h](uint32_t Word) {
        for (int i = 0; i < 4; ++i, Word >>= 8)
            h = (h ^ (Word & 0xFF)) * 0x100000001B3u;
    };
    add(static_cast<uint32_t>(read.width()));
    add(static_cast<uint32_t>(read.height()));
    for (int y = 0; y < read.height(); ++y)
        for (int x = 0; x < read.width(); ++x)
            add(reinterpret_cast<const uint32_t*>(read.constScanLine(y))[x]);
    return h;
}

class InspectCliTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        for (const char* name :
             {"ORVDVE510TK3.INI", "D510TK3.GLB", "sample.dcf", "SPACE_240x240.bmp"})
            ASSERT_TRUE(
                QFile::copy(QString::fromStdString(AssetsDir()) + "/" + name, Dir.filePath(name)))
                << name;
        const TRun built = Tool({"make-rom", "sample.dcf", "-o", "SAMPLE.BIN"});
        ASSERT_EQ(built.Status, 0) << built.Err;
    }

    TRun Tool(const QStringList& Args) { return RunBuilt("dpu510tk3", Args, Dir.path()); }

    QTemporaryDir Dir;
};

// Names outside ASCII reach the tool whole, whatever code page the system
// has (Windows hands main() the ANSI code page's bytes), and the image is the
// same as under a plain name.
TEST_F(InspectCliTest, PathsOutsideAsciiAreTakenWhole) {
    const QString name = QString::fromUtf8("\xCE\xA9mega \xC3\xA9t\xC3\xA9");
    ASSERT_TRUE(QFile::copy(Dir.filePath("sample.dcf"), Dir.filePath(name + ".dcf")));
    const TRun r = Tool({"make-rom", name + ".dcf", "-o", name + ".BIN"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir.filePath(name + ".BIN")), ReadAll(Dir.filePath("SAMPLE.BIN")));
    const TRun inspect = Tool({"inspect", name + ".BIN"});
    EXPECT_EQ(inspect.Status, 0) << inspect.Err;
    EXPECT_THAT(inspect.Out, HasSubstr("CUSIDCODE: \"TK01\""));
}

TEST_F(InspectCliTest, InspectPrintsSettingsAndCodesAndRefusesOthers) {
    const TRun r = Tool({"inspect", "SAMPLE.BIN"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_THAT(r.Out, HasSubstr("CUSIDCODE: \"TK01\""));
    EXPECT_THAT(r.Out, HasSubstr("DISPHV: 1 (library)"));
    EXPECT_THAT(r.Out, HasSubstr("  code   2 (02): LOBBY\n"));
    EXPECT_THAT(r.Out, HasSubstr("  code  12 (0C): 10\n"));

    QFile cut(Dir.filePath("CUT.BIN"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    const std::vector<uint8_t> bytes = ReadAll(Dir.filePath("SAMPLE.BIN"));
    cut.write(reinterpret_cast<const char*>(bytes.data()), 5000);
    cut.close();
    const TRun bad = Tool({"inspect", "CUT.BIN", "--json"});
    EXPECT_EQ(bad.Status, 1);
    EXPECT_THAT(bad.Err, HasSubstr("offset 0x1388 (end of file)"));
    const QJsonObject refusal =
        QJsonDocument::fromJson(QByteArray::fromStdString(bad.Out)).object();
    EXPECT_FALSE(refusal["valid"].toBool());
    EXPECT_EQ(refusal["offset"].toInt(), 5000);

    EXPECT_EQ(Tool({"inspect"}).Status, 2);
    EXPECT_EQ(Tool({"inspect", "SAMPLE.BIN", "--bogus"}).Status, 2);
    EXPECT_EQ(Tool({"inspect", "SAMPLE.BIN", "--png"}).Status, 2);
}

// The pictures of inspect --png and diff --png have the pixels they have
// always had: the numbers are those of the files the tool wrote when its
// PNG encoder was the toolkit's.
TEST_F(InspectCliTest, PngPicturesKeepTheirPixels) {
    const TRun r = Tool({"inspect", "SAMPLE.BIN", "--png", "pics"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::map<std::string, uint64_t> sheets = {
        {"floor-glyphs", 0xbce372a514836daau}, {"user-bitmaps", 0x4b620f9798ac2a86u},
        {"messages", 0x69d74848f4e05f2cu},     {"direction-frames", 0x8320969e49a649afu},
        {"logo", 0xbbbdcaf335a26595u},         {"small-glyphs", 0x956cd450e89a5bdfu},
        {"screen", 0xf58a369c3b42782au}};
    for (const auto& [name, print] : sheets)
        EXPECT_EQ(PixelPrint(Dir.filePath(QString::fromStdString("pics/" + name + ".png"))), print)
            << name;
    // The codes' pictures, one number for all of them in the order of their names.
    const QStringList codes =
        QDir(Dir.filePath("pics")).entryList({"CTBL*.png"}, QDir::Files, QDir::Name);
    EXPECT_EQ(codes.size(), 69);
    uint64_t print = 0xCBF29CE484222325u;
    for (const QString& code : codes)
        print = PixelPrint(Dir.filePath("pics/" + code), print);
    EXPECT_EQ(print, 0xc62211697aeb1c15u);

    // One pixel of direction frame 0 of style 0, side by side before and after.
    std::vector<uint8_t> bytes = ReadAll(Dir.filePath("SAMPLE.BIN"));
    const size_t frame = static_cast<size_t>(bytes[0x3C08]) << 8 | bytes[0x3C09];
    bytes[frame + 3] ^= 0x10;
    std::string reason;
    ASSERT_TRUE(YVclUtil::WriteFileAtomically(Dir.filePath("FRAME.BIN").toStdString(), bytes.data(),
                                              bytes.size(), reason));
    EXPECT_EQ(Tool({"diff", "SAMPLE.BIN", "FRAME.BIN", "--png", "changes"}).Status, 1);
    EXPECT_EQ(PixelPrint(Dir.filePath("changes/direction-0-00.png")), 0xc031b79f60737f7au);
}

TEST_F(InspectCliTest, JsonAndPicturesDescribeTheImage) {
    const TRun r = Tool({"inspect", "SAMPLE.BIN", "--json", "--png", "pictures"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    QJsonParseError error;
    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(r.Out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_TRUE(root["valid"].toBool());
    EXPECT_EQ(root["settings"].toObject()["PWRSAVING"].toInt(), 2);
    EXPECT_EQ(root["messages"].toArray().size(), 40);
    const QJsonArray ctbl2 = root["tables"].toArray()[2].toObject()["codes"].toArray();
    EXPECT_EQ(ctbl2[0].toObject()["kind"].toString(), "user_bitmap");
    EXPECT_EQ(ctbl2[2].toObject()["label"].toString(), "1"); // "01" shows its second digit alone
    const QJsonObject users = root["user_bitmaps"].toArray()[0].toObject();
    EXPECT_EQ(users["label"].toString(), "LOBBY");
    EXPECT_EQ(users["data"].toString().size(), 1024); // 512 bytes in hex
    for (const char* sheet :
         {"floor-glyphs.png", "messages.png", "direction-frames.png", "CTBL1-002.png"})
        EXPECT_TRUE(QFile::exists(Dir.filePath(QString("pictures/") + sheet))) << sheet;
}

TEST_F(InspectCliTest, RecoveredSampleBuildsTheSameImageAndDiffSaysSo) {
    const TRun rec =
        Tool({"recover", "SAMPLE.BIN", "-o", "back/SAMPLE.dcf", "--user-bitmaps", "inst"});
    ASSERT_EQ(rec.Status, 0) << rec.Err;
    // The sample's user bitmaps are the installation's own: recover keeps
    // their names and copies none of them (a copy would hide a later fix of
    // the installed one); every picture it did write, it names.
    EXPECT_FALSE(QFileInfo::exists(Dir.filePath("inst/DefaultImage2")));
    int written = 0;
    for (QDirIterator it(Dir.filePath("back"), QDir::Files, QDirIterator::Subdirectories);
         it.hasNext(); ++written)
        EXPECT_THAT(rec.Out, HasSubstr(QDir(Dir.path()).relativeFilePath(it.next()).toStdString()));
    EXPECT_GT(written, 1);
    const TRun again = Tool({"make-rom", "back/SAMPLE.dcf", "-o", "AGAIN.BIN"});
    ASSERT_EQ(again.Status, 0) << again.Err;
    EXPECT_EQ(ReadAll(Dir.filePath("AGAIN.BIN")), ReadAll(Dir.filePath("SAMPLE.BIN")));

    const TRun same = Tool({"diff", "SAMPLE.BIN", "AGAIN.BIN"});
    EXPECT_EQ(same.Status, 0);
    EXPECT_EQ(same.Out, "");

    std::vector<uint8_t> changed = ReadAll(Dir.filePath("SAMPLE.BIN"));
    changed[0x21A8 + 11] = 7; // NODEADDR
    std::string reason;
    ASSERT_TRUE(YVclUtil::WriteFileAtomically(Dir.filePath("OTHER.BIN").toStdString(),
                                              changed.data(), changed.size(), reason));
    const TRun differs = Tool({"diff", "SAMPLE.BIN", "OTHER.BIN", "--png", "changes"});
    EXPECT_EQ(differs.Status, 1);
    EXPECT_EQ(differs.Out, "NODEADDR: 1 \xE2\x86\x92 7\n");
    EXPECT_EQ(Tool({"diff", "SAMPLE.BIN"}).Status, 2);
    EXPECT_EQ(Tool({"recover", "SAMPLE.BIN"}).Status, 2);
}

// An image make-rom built recovers without a warning, also with --strict, and
// inspect has nothing to say about it either; a picture the library cannot
// give back is warned about by both, and --strict then exits 3.
TEST_F(InspectCliTest, RecoverChecksItsProjectByBuildingItAgain) {
    const TRun rec = Tool({"recover", "SAMPLE.BIN", "-o", "back/SAMPLE.dcf", "--strict"});
    ASSERT_EQ(rec.Status, 0) << rec.Out << rec.Err;
    EXPECT_THAT(rec.Out, testing::Not(HasSubstr("[Warning]")));
    const TRun inspect = Tool({"inspect", "SAMPLE.BIN"});
    ASSERT_EQ(inspect.Status, 0) << inspect.Err;
    EXPECT_THAT(inspect.Out, testing::Not(HasSubstr("[Warning]")));

    // A direction frame of style 0 that the library does not hold.
    std::vector<uint8_t> bytes = ReadAll(Dir.filePath("SAMPLE.BIN"));
    const size_t frame = static_cast<size_t>(bytes[0x3C08]) << 8 | bytes[0x3C09];
    ASSERT_NE(frame, 0u);
    bytes[frame + 3] ^= 0x10;
    std::string reason;
    ASSERT_TRUE(YVclUtil::WriteFileAtomically(Dir.filePath("FRAME.BIN").toStdString(), bytes.data(),
                                              bytes.size(), reason));
    const TRun warned = Tool({"recover", "FRAME.BIN", "-o", "frame/F.dcf", "--strict"});
    EXPECT_EQ(warned.Status, 3) << warned.Err;
    EXPECT_THAT(warned.Out, HasSubstr("[Warning] The recovered project does not rebuild "
                                      "direction style 0 frame 0: picture changed: a project "
                                      "takes direction frames from the glyph library"));
    const TRun lenient = Tool({"recover", "FRAME.BIN", "-o", "frame/F.dcf"});
    EXPECT_EQ(lenient.Status, 0) << lenient.Err;
    const TRun noted = Tool({"inspect", "FRAME.BIN"});
    EXPECT_EQ(noted.Status, 0);
    EXPECT_THAT(noted.Out, HasSubstr("[Warning] The recovered project does not rebuild "
                                     "direction style 0 frame 0"));
}

// No output of recover lands on a file it reads; -o replaces a file whole; a
// failed run leaves none of its pictures; user bitmaps go to the workspace.
TEST_F(InspectCliTest, RecoverWritesOnlyItsOwnFilesAndWhole) {
    const std::vector<uint8_t> image = ReadAll(Dir.filePath("SAMPLE.BIN"));
    const std::vector<uint8_t> library = ReadAll(Dir.filePath("D510TK3.GLB"));
    const std::vector<uint8_t> config = ReadAll(Dir.filePath("ORVDVE510TK3.INI"));

    const TRun self = Tool({"recover", "SAMPLE.BIN", "-o", "./SAMPLE.BIN"});
    EXPECT_EQ(self.Status, 1);
    EXPECT_THAT(self.Err, HasSubstr("Cannot write \"./SAMPLE.BIN\": it is the same file as the "
                                    "image \"SAMPLE.BIN\""));
    const TRun glb = Tool({"recover", "SAMPLE.BIN", "-o", "D510TK3.GLB"});
    EXPECT_EQ(glb.Status, 1);
    EXPECT_THAT(glb.Err, HasSubstr("the same file as the glyph library"));
    // A picture whose name is a link to the configuration (QFile::link makes a
    // shortcut file on Windows, which names nothing the program reads).
    if (!RunningOnWindows()) {
        ASSERT_TRUE(QDir(Dir.path()).mkpath("pics"));
        ASSERT_TRUE(QFile::link("../ORVDVE510TK3.INI", Dir.filePath("pics/FIRE_B.bmp")));
        const TRun link = Tool({"recover", "SAMPLE.BIN", "-o", "L.dcf", "--bitmaps", "pics"});
        EXPECT_EQ(link.Status, 1);
        EXPECT_THAT(link.Err, HasSubstr("it is the same file as the configuration"));
        EXPECT_EQ(ReadAll(Dir.filePath("SAMPLE.BIN")), image);
        EXPECT_EQ(ReadAll(Dir.filePath("D510TK3.GLB")), library);
        EXPECT_EQ(ReadAll(Dir.filePath("ORVDVE510TK3.INI")), config);
        EXPECT_EQ(QDir(Dir.filePath("pics")).entryList(QDir::Files | QDir::System),
                  QStringList{"FIRE_B.bmp"});
        EXPECT_FALSE(QFile::exists(Dir.filePath("L.dcf")));
        QDirIterator users(Dir.filePath("DefaultImage2"), QDir::Files,
                           QDirIterator::Subdirectories);
        EXPECT_FALSE(users.hasNext()) << "left by the refused run: " << users.next().toStdString();
    }

    // A project file that cannot be written: the pictures of the run go again.
    QFile blocker(Dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const TRun failed = Tool({"recover", "SAMPLE.BIN", "-o", "blocked/P.dcf", "--bitmaps", "gone",
                              "--user-bitmaps", "gone-users"});
    EXPECT_EQ(failed.Status, 1);
    EXPECT_TRUE(QDir(Dir.filePath("gone")).entryList(QDir::Files).isEmpty());
    QDirIterator left(Dir.filePath("gone-users"), QDir::Files, QDirIterator::Subdirectories);
    EXPECT_FALSE(left.hasNext()) << left.next().toStdString();

    // -o over a text file replaces it whole.
    QFile notes(Dir.filePath("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("[FOREIGN]\r\nKEEP=1\r\n");
    notes.close();
    const TRun over = Tool({"recover", "SAMPLE.BIN", "-o", "notes.txt"});
    ASSERT_EQ(over.Status, 0) << over.Err;
    const std::vector<uint8_t> text = ReadAll(Dir.filePath("notes.txt"));
    const std::string written(text.begin(), text.end());
    EXPECT_THAT(written, HasSubstr("CODENAME=DVE510TK3"));
    EXPECT_THAT(written, testing::Not(HasSubstr("FOREIGN")));

    // Without --user-bitmaps user bitmaps go to the workspace, never beside the
    // program; the sample's are all stock ones the build finds there, so none.
    EXPECT_THAT(over.Out, testing::Not(HasSubstr("DefaultImage2")));
    EXPECT_THAT(over.Out,
                testing::Not(HasSubstr(QCoreApplication::applicationDirPath().toStdString())));
}

// Every file under Folder (hidden ones too) with its bytes.
std::map<QString, std::vector<uint8_t>> FilesUnder(const QString& Folder) {
    std::map<QString, std::vector<uint8_t>> files;
    QDirIterator it(Folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[path] = ReadAll(path);
    }
    return files;
}

// A recover that fails leaves every file as it was and no folder it made:
// the project's place and every picture's name are checked before anything
// is written, and a name recover chose is never followed through a link.
TEST_F(InspectCliTest, RecoverThatFailsChangesNothing) {
    ASSERT_EQ(Tool({"recover", "SAMPLE.BIN", "-o", "P/p.dcf", "--user-bitmaps", "U"}).Status, 0);
    // The files of an earlier project, told apart from what recover writes.
    auto before = FilesUnder(Dir.path());
    for (auto& [path, bytes] : before)
        if (path.endsWith(".bmp")) {
            bytes = {'o', 'l', 'd'};
            std::string reason;
            ASSERT_TRUE(YVclUtil::WriteFileAtomically(path.toStdString(), bytes.data(), 3, reason));
        }
    ASSERT_TRUE(QFile::setPermissions(Dir.filePath("P/p.dcf"), QFileDevice::ReadOwner));
    TRun r = Tool({"recover", "SAMPLE.BIN", "-o", "P/p.dcf", "--user-bitmaps", "U"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_THAT(r.Err, HasSubstr("Cannot write project \"P/p.dcf\": Permission denied"));
    r = Tool({"recover", "SAMPLE.BIN", "-o", "P", "--user-bitmaps", "U"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_THAT(r.Err, HasSubstr("Cannot write project \"P\": Is a directory"));
    // A folder where a picture goes: no folder for the user bitmaps is left.
    ASSERT_TRUE(QDir(Dir.path()).mkpath("pics/FIRE_B.bmp"));
    r = Tool({"recover", "SAMPLE.BIN", "-o", "Q.dcf", "--bitmaps", "pics", "--user-bitmaps",
              "new/users"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_THAT(r.Err, HasSubstr("FIRE_B.bmp\": Is a directory"));
    EXPECT_FALSE(QFileInfo::exists(Dir.filePath("new")));
    if (!RunningOnWindows()) {
        // A link where a picture goes: refused, and its target stays.
        ASSERT_TRUE(QFile::remove(Dir.filePath("P/FIRE_B.bmp")));
        ASSERT_TRUE(QFile::link("../SPACE_240x240.bmp", Dir.filePath("P/FIRE_B.bmp")));
        ASSERT_TRUE(QFile::setPermissions(Dir.filePath("P/p.dcf"),
                                          QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const auto linked = FilesUnder(Dir.path());
        r = Tool({"recover", "SAMPLE.BIN", "-o", "P/p.dcf", "--user-bitmaps", "U"});
        EXPECT_EQ(r.Status, 1);
        EXPECT_THAT(r.Err, HasSubstr("Is a symbolic link, which is not followed"));
        EXPECT_EQ(FilesUnder(Dir.path()), linked);
    }
    if (QFileInfo(Dir.filePath("P/FIRE_B.bmp")).isSymLink()) {
        ASSERT_TRUE(QFile::remove(Dir.filePath("P/FIRE_B.bmp")));
        WriteText(Dir.filePath("P/FIRE_B.bmp").toStdString(), "old");
    }
    EXPECT_EQ(FilesUnder(Dir.path()), before);
}

// inspect --png never writes through a link under one of its names, and a
// folder it cannot make is said with the reason.
TEST_F(InspectCliTest, PicturesAreNeverWrittenThroughLinks) {
    if (RunningOnWindows()) GTEST_SKIP() << "QFile::link makes shortcut files on Windows";
    const TRun first = Tool({"inspect", "SAMPLE.BIN", "--png", "first"});
    ASSERT_EQ(first.Status, 0) << first.Err;
    const QStringList names = QDir(Dir.filePath("first")).entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    ASSERT_TRUE(QDir(Dir.path()).mkdir("shared"));
    const std::vector<uint8_t> precious = ReadAll(Dir.filePath("sample.dcf"));
    ASSERT_TRUE(QFile::link("../sample.dcf", Dir.filePath("shared/" + names.front())));
    const TRun r = Tool({"inspect", "SAMPLE.BIN", "--png", "shared"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_THAT(r.Err, HasSubstr("Is a symbolic link, which is not followed"));
    EXPECT_EQ(ReadAll(Dir.filePath("sample.dcf")), precious);
    EXPECT_TRUE(QFileInfo(Dir.filePath("shared/" + names.front())).isSymLink());

    const TRun file = Tool({"inspect", "SAMPLE.BIN", "--png", "sample.dcf"});
    EXPECT_EQ(file.Status, 1);
    EXPECT_THAT(file.Err, HasSubstr("cannot make the folder \"sample.dcf\": "));
    EXPECT_FALSE(QByteArray::fromStdString(file.Err).trimmed().endsWith(":"));
}

// Scratch folders sit in the program's own folder under the runtime folder,
// named by their process: a killed run's are swept by the next run, a live
// one's stay, and a run leaves none of its own.
TEST_F(InspectCliTest, ScratchFoldersOfKilledRunsAreSwept) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(QDir(Dir.path()).mkpath("run"));
    qputenv("XDG_RUNTIME_DIR", Dir.filePath("run").toLocal8Bit());
    const TRun warmUp = Tool({"inspect", "SAMPLE.BIN"});
    QDir own(Dir.filePath("run"));
    const QStringList made = own.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (made.size() == 1) {
        own.cd(made.front());
        // A process id no system hands out, and this test's own.
        ASSERT_TRUE(own.mkpath("999999999-recover-abc/deep"));
        const QString alive = QString::number(QCoreApplication::applicationPid()) + "-check-x";
        ASSERT_TRUE(own.mkpath(alive));
        const TRun r = Tool({"recover", "SAMPLE.BIN", "-o", "R.dcf"});
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(own.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{alive});
    }
    if (runtime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(warmUp.Status, 0) << warmUp.Err;
    if (!RunningOnWindows()) {
        EXPECT_EQ(made.size(), 1) << made.join(",").toStdString();
    }
}

// A library asked for by name that cannot be read stops the command; counts
// of one are worded in the singular.
// Outside a workspace recover writes nothing and stops, after the start-up
// messages and the line on where the installed files are; a library named
// with --glb lets it run. make-rom prints the same line after its messages.
TEST_F(InspectCliTest, OutsideAWorkspaceRecoverStopsAndSaysWhere) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir("elsewhere"));
    const QString elsewhere = Dir.filePath("elsewhere");
    const TRun r = RunBuilt("dpu510tk3", {"recover", "../SAMPLE.BIN", "-o", "s.dcf"}, elsewhere);
    EXPECT_EQ(r.Status, 1) << r.Out;
    const size_t box = r.Err.find("ORVDVE510TK3.INI file not found!!");
    const size_t hint = r.Err.find("[Warning] This folder is no workspace: ");
    ASSERT_NE(box, std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("GLB file not found!!"), std::string::npos) << r.Err;
    EXPECT_GT(hint, box) << r.Err;
    EXPECT_THAT(r.Err, HasSubstr("recover: stopped: run it where the image's configuration file "
                                 "and glyph library are, or name the library with --glb FILE"));
    EXPECT_TRUE(QDir(elsewhere).isEmpty());

    const TRun named =
        RunBuilt("dpu510tk3",
                 {"recover", "../SAMPLE.BIN", "-o", "s.dcf", "--glb", "../D510TK3.GLB"}, elsewhere);
    EXPECT_EQ(named.Status, 0) << named.Err;
    EXPECT_TRUE(QFileInfo::exists(Dir.filePath("elsewhere/s.dcf")));

    const TRun make = RunBuilt("dpu510tk3", {"make-rom", "../sample.dcf"}, elsewhere);
    EXPECT_EQ(make.Status, 1);
    EXPECT_THAT(make.Err, HasSubstr("ORVDVE510TK3.INI file not found!!"));
    EXPECT_THAT(make.Out, HasSubstr("[Warning] This folder is no workspace: "));
}

TEST_F(InspectCliTest, NamedLibraryMustBeReadAndCountsOfOne) {
    const TRun glb = Tool({"inspect", "SAMPLE.BIN", "--glb", "/nonexistent"});
    EXPECT_EQ(glb.Status, 1);
    EXPECT_THAT(glb.Err, HasSubstr("inspect: cannot read the glyph library /nonexistent: No such "
                                   "file or directory"));
    std::vector<uint8_t> bytes = ReadAll(Dir.filePath("SAMPLE.BIN"));
    bytes.push_back(0);
    std::string reason;
    ASSERT_TRUE(YVclUtil::WriteFileAtomically(Dir.filePath("LONG.BIN").toStdString(), bytes.data(),
                                              bytes.size(), reason));
    EXPECT_THAT(Tool({"inspect", "LONG.BIN"}).Err, HasSubstr("1 byte follows the"));
}

TEST_F(InspectCliTest, ReaderCommandsSayWhatIsWrong) {
    const TRun three = Tool({"diff", "SAMPLE.BIN", "SAMPLE.BIN", "SAMPLE.BIN"});
    EXPECT_EQ(three.Status, 2);
    EXPECT_THAT(three.Err, HasSubstr("usage: dpu510tk3 diff A.BIN B.BIN"));
    EXPECT_THAT(three.Err, testing::Not(HasSubstr("two images are needed")));

    // A small glyph the library does not hold: the turn is then assumed, as 1.
    std::vector<uint8_t> bytes = ReadAll(Dir.filePath("SAMPLE.BIN"));
    bytes[0x1E00 + 2] ^= 0x01;
    std::string reason;
    ASSERT_TRUE(YVclUtil::WriteFileAtomically(Dir.filePath("SMALL.BIN").toStdString(), bytes.data(),
                                              bytes.size(), reason));
    ASSERT_THAT(Tool({"inspect", "SMALL.BIN"}).Out, HasSubstr("DISPHV: 1 (assumed)"));
    const TRun small = Tool({"diff", "SAMPLE.BIN", "SMALL.BIN"});
    EXPECT_EQ(small.Status, 1);
    EXPECT_THAT(small.Out, HasSubstr("small glyph 0: picture changed"));
    EXPECT_THAT(small.Out, testing::Not(HasSubstr("DISPHV")));

    const TRun missing = Tool({"inspect", "NOPE.BIN"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_THAT(missing.Err, HasSubstr("cannot read NOPE.BIN: No such file or directory"));
    EXPECT_THAT(missing.Err, testing::Not(HasSubstr("not a ROM image")));
    ASSERT_TRUE(QDir(Dir.path()).mkdir("FOLDER.BIN"));
    EXPECT_THAT(Tool({"inspect", "FOLDER.BIN"}).Err,
                HasSubstr("cannot read FOLDER.BIN: Is a directory"));
}

} // namespace
