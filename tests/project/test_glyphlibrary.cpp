#include "project/dputext.h"
#include "project/tlabelpreview.h"
#include "rom/glyphlibrary.h"
#include "support/filehelpers.h"
#include "support/trecordingsink.h"
#include "support/tscriptedprompts.h"
#include "support/ttestglyphs.h"
#include "support/ttestworkspace.h"
#include "util/eygeneral.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

using DpuProject::TLabelPreview;
using DpuRom::GlyphLibrary;
namespace DpuText = DpuProject::DpuText;

namespace {
std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

bool WorkFileExists() {
    return QFile::exists(GlyphLibrary::WorkFileName);
}
} // namespace

TEST(GlyphLibrary, DirectoryEntriesAreWhereTheLayoutPutsThem) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    auto image = MakeGlb({});
    // Payloads placed by hand: entry (0, 40) at bytes 328..335, (1, 48) at 2440..2447.
    image.insert(image.end(), {'S', 'C', 'R', 'G', 'L', 'Y', 'P', 'H'});
    const uint32_t base = uint32_t(image.size() - 8);
    image[328 + 3] = uint8_t(base);
    image[328 + 2] = uint8_t(base >> 8);
    image[328 + 7] = 3;
    image[2440 + 3] = uint8_t(base + 3);
    image[2440 + 2] = uint8_t((base + 3) >> 8);
    image[2440 + 7] = 5;
    WriteFile(dir.File("lib.glb"), image);

    GlyphLibrary lib;
    ASSERT_TRUE(lib.Load(dir.File("lib.glb"))) << lib.LastError;
    EXPECT_EQ(lib.FileSize(), image.size());
    EXPECT_EQ(lib.Image().size(), image.size() + 1);
    EXPECT_EQ(lib.EntryBytes(0, 40), Bytes("SCR"));
    EXPECT_EQ(lib.ExtractGlbEntry(1, 48), "ORV_TEMPBMP.BMP");
    EXPECT_EQ(ReadText(dir.File("ORV_TEMPBMP.BMP")), "GLYPH");
    // A second extraction replaces the first working file.
    EXPECT_EQ(lib.ExtractGlbEntry(0, 40), "ORV_TEMPBMP.BMP");
    EXPECT_EQ(ReadText(dir.File("ORV_TEMPBMP.BMP")), "SCR");
    // An absent entry answers empty and leaves no working file behind.
    EXPECT_EQ(lib.ExtractGlbEntry(0, 41), "");
    EXPECT_FALSE(WorkFileExists());
    EXPECT_EQ(lib.Date().size(), 6u);
    EXPECT_NE(lib.Date(), "000000");
}

TEST(GlyphLibrary, WithoutALibraryTheWorkingFileNameNamesNoFile) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    WriteText(dir.File("ORV_TEMPBMP.BMP"), "stale");
    GlyphLibrary lib;
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_EQ(lib.Date(), "000000");
    EXPECT_EQ(lib.ExtractGlbEntry(0, 40), "ORV_TEMPBMP.BMP");
    EXPECT_FALSE(WorkFileExists());
    EXPECT_FALSE(lib.Load(dir.File("missing.glb")));
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_FALSE(lib.LastError.empty());
    EXPECT_EQ(DpuText::FileDateText(dir.File("missing.glb")), "000000");
}

TEST(GlyphLibrary, FailedReloadLeavesNoImage) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    WriteFile(dir.File("lib.glb"), MakeGlb({{0, 40, Bytes("payload")}}));
    GlyphLibrary lib;
    ASSERT_TRUE(lib.Load(dir.File("lib.glb")));
    ASSERT_EQ(lib.EntryBytes(0, 40), Bytes("payload"));
    QFile::remove(QString::fromStdString(dir.File("lib.glb")));
    EXPECT_FALSE(lib.Load(dir.File("lib.glb")));
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_TRUE(lib.Image().empty());
    EXPECT_EQ(lib.Date(), "000000");
    EXPECT_EQ(lib.ExtractGlbEntry(0, 40), "ORV_TEMPBMP.BMP");
    EXPECT_FALSE(WorkFileExists());
    // A folder of the library's name is no library either.
    QDir().mkpath(QString::fromStdString(dir.File("lib.glb")));
    EXPECT_FALSE(lib.Load(dir.File("lib.glb")));
    EXPECT_FALSE(lib.IsLoaded());
}

// The working file is made new in the current folder or not at all: a link
// of its name is never followed, and a link, FIFO or folder is left alone.
TEST(GlyphLibrary, WorkingFileIsNeverWrittenThroughALink) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    WriteFile(dir.File("lib.glb"), MakeGlb({{0, 40, Bytes("payload")}}));
    GlyphLibrary lib;
    ASSERT_TRUE(lib.Load(dir.File("lib.glb")));
    const QString work = QString::fromStdString(dir.File("ORV_TEMPBMP.BMP"));
    ASSERT_TRUE(QFile::link(QString::fromStdString(dir.File("elsewhere")), work));
    EXPECT_EQ(lib.ExtractGlbEntry(0, 40), "ORV_TEMPBMP.BMP");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.File("elsewhere"))));
    EXPECT_TRUE(QFileInfo(work).isSymLink());
    EXPECT_NE(lib.LastError.find("ORV_TEMPBMP.BMP: Not a regular file"), std::string::npos)
        << lib.LastError;
    QFile::remove(work);

    ASSERT_TRUE(QDir().mkdir(work));
    EXPECT_EQ(lib.ExtractGlbEntry(0, 40), "ORV_TEMPBMP.BMP");
    EXPECT_TRUE(QFileInfo(work).isDir());
    EXPECT_NE(lib.LastError.find("Is a directory"), std::string::npos) << lib.LastError;
    QDir().rmdir(work);

    EXPECT_EQ(lib.ExtractGlbEntry(0, 40), "ORV_TEMPBMP.BMP");
    EXPECT_EQ(ReadText(dir.File("ORV_TEMPBMP.BMP")), "payload");
    EXPECT_EQ(lib.LastError, "");
}

// "GLB file not found!!" only when there is no such file.
TEST(GlyphLibrary, FailedLoadSaysWhatIsWrong) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    GlyphLibrary lib;
    EXPECT_FALSE(lib.Load(dir.File("none.glb")));
    EXPECT_EQ(lib.LoadFailureText(), "GLB file not found!!\n\n");
    QDir().mkpath(QString::fromStdString(dir.File("dir.glb")));
    EXPECT_FALSE(lib.Load(dir.File("dir.glb")));
    EXPECT_EQ(lib.LoadFailureText(), "GLB file can not be read (Is a directory)!!\n\n");
    ASSERT_EQ(::mkfifo(dir.File("fifo.glb").c_str(), 0600), 0);
    EXPECT_FALSE(lib.Load(dir.File("fifo.glb")));
    EXPECT_EQ(lib.LoadFailureText(), "GLB file can not be read (Not a regular file)!!\n\n");
}

TEST(GlyphLibrary, HostileLibrariesNeverReadOutsideTheImage) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    GlyphLibrary lib;

    // Shorter than the header: loads, but nothing is present.
    WriteFile(dir.File("tiny.glb"), Bytes("HEAD"));
    ASSERT_TRUE(lib.Load(dir.File("tiny.glb")));
    EXPECT_EQ(lib.ExtractGlbEntry(0, 0), "");
    // An empty file.
    WriteFile(dir.File("empty.glb"), {});
    ASSERT_TRUE(lib.Load(dir.File("empty.glb")));
    EXPECT_EQ(lib.ExtractGlbEntry(0, 0), "");

    // Only group 0 in the file: the directory slot of (1, 0) overlaps the
    // payload and runs past the end, so it is absent; group 0 still works.
    WriteFile(dir.File("cut.glb"), MakeGlb({{0, 40, Bytes("ok")}}, 1));
    ASSERT_TRUE(lib.Load(dir.File("cut.glb")));
    EXPECT_EQ(lib.FileSize(), 8u + 2048u + 2u);
    EXPECT_EQ(lib.EntryBytes(0, 40), Bytes("ok"));
    EXPECT_EQ(lib.ExtractGlbEntry(1, 0), "");
    EXPECT_EQ(lib.ExtractGlbEntry(3, 0), "");

    // Offsets and lengths that point outside the file, or wrap in 32 bits.
    auto bad = MakeGlb({{0, 1, Bytes("abcd")}});
    const uint32_t size = uint32_t(bad.size());
    PokeDirectory(bad, 0, 2, size, 1);           // starts at the end
    PokeDirectory(bad, 0, 3, size - 4, 5);       // one byte too long
    PokeDirectory(bad, 0, 4, 0, 0xFFFFFFFFu);    // length 0xFFFFFFFF
    PokeDirectory(bad, 0, 5, 0xFFFFFFF0u, 0x20); // sum wraps in 32 bits
    PokeDirectory(bad, 0, 6, 0xFFFFFFFFu, 0xFFFFFFFFu);
    PokeDirectory(bad, 0, 7, size - 4, 4); // exactly to the end: fine
    WriteFile(dir.File("bad.glb"), bad);
    ASSERT_TRUE(lib.Load(dir.File("bad.glb")));
    for (int index : {2, 3, 4, 5, 6}) {
        EXPECT_EQ(lib.ExtractGlbEntry(0, index), "") << index;
        EXPECT_FALSE(WorkFileExists()) << index;
    }
    EXPECT_EQ(lib.ExtractGlbEntry(0, 7), "ORV_TEMPBMP.BMP");
    EXPECT_EQ(ReadText(dir.File("ORV_TEMPBMP.BMP")), "abcd");

    // Each of those is broken, not absent, and says what is wrong; only length 0 is absent.
    using State = GlyphLibrary::TEntryState;
    uint32_t offset = 0, length = 0;
    std::string fault;
    const std::string end = " past the end of the file (" + std::to_string(size) + " bytes)";
    const std::pair<int, std::string> faults[] = {
        {2, YVclUtil::Format("offset 0x%08X is", size) + end},
        {3, YVclUtil::Format("length 0x00000005 from offset 0x%08X runs", size - 4) + end},
        {4, "length 0xFFFFFFFF from offset 0x00000000 runs" + end},
        {5, "offset 0xFFFFFFF0 is" + end},
        {6, "offset 0xFFFFFFFF is" + end},
    };
    for (const auto& [index, text] : faults) {
        EXPECT_EQ(lib.LocateEntry(0, index, offset, length, &fault), State::Broken) << index;
        EXPECT_EQ(fault, text);
        lib.ExtractGlbEntry(0, index);
        EXPECT_EQ(lib.LastError, "glyph library entry (0, " + std::to_string(index) + ") " + text);
    }
    EXPECT_EQ(lib.LocateEntry(0, 8, offset, length, &fault), State::Absent);
    EXPECT_EQ(fault, "");
    ASSERT_EQ(lib.LocateEntry(0, 7, offset, length, &fault), State::Present);
    EXPECT_EQ(offset, size - 4);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(lib.LocateEntry(8, 0, offset, length, &fault), State::Broken);
    EXPECT_EQ(fault, "is outside the directory (groups 0-7, entries 0-255)");
    ASSERT_TRUE(lib.Load(dir.File("cut.glb")));
    EXPECT_EQ(lib.LocateEntry(1, 0, offset, length, &fault), State::Broken);
    EXPECT_EQ(fault, "directory slot at 2056 is past the end of the file (2058 bytes)");
    lib.Release();
    EXPECT_EQ(lib.LocateEntry(0, 7, offset, length, &fault), State::NoLibrary);
    ASSERT_TRUE(lib.Load(dir.File("bad.glb")));
    // Groups and indexes outside the addressed range.
    EXPECT_EQ(lib.ExtractGlbEntry(8, 0), "");
    EXPECT_EQ(lib.ExtractGlbEntry(-1, 0), "");
    EXPECT_EQ(lib.ExtractGlbEntry(0, 256), "");
}

TEST(GlyphLibrary, PreviewPicturesComeFromMemory) {
    TTestWorkspace dir{TTestWorkspace::Empty()};
    auto glyph0 = MakeBmp(32, 64, 0xFF000000u);
    WriteFile(dir.File("lib.glb"), MakeGlb({{1, '5', glyph0},
                                            {1, 'B', MakeBmp(32, 64, 0xFF00FF00u)},
                                            {5, '7', MakeBmp(32, 64, 0xFF00FF00u)},
                                            {0, 30, Bytes("not a picture")},
                                            {1, 'C', Bytes("not a picture")}}));
    GlyphLibrary lib;
    ASSERT_TRUE(lib.Load(dir.File("lib.glb")));
    YVclUtil::TRasterImage img;
    // A stale working file stays as it is: a preview needs none.
    WriteText(dir.File("ORV_TEMPBMP.BMP"), "stale");
    ASSERT_TRUE(lib.ExtractImage(1, '5', img));
    EXPECT_EQ(img.Width(), 32);
    EXPECT_EQ(ReadText(dir.File("ORV_TEMPBMP.BMP")), "stale");
    QFile::remove(QString::fromStdString(dir.File("ORV_TEMPBMP.BMP")));
    YVclUtil::TRasterImage untouched(3, 3);
    EXPECT_FALSE(lib.ExtractImage(0, 30, untouched));
    EXPECT_EQ(untouched.Width(), 3);

    // "05" previews as "5" centred on white.
    const std::vector<std::string> folders = {dir.File("Style0"), dir.File("Style1")};
    YVclUtil::TRasterImage preview;
    std::string why;
    TLabelPreview::Render("05", 0, folders, lib, preview, why);
    EXPECT_EQ(why, "");
    EXPECT_TRUE(preview.Width() == 64 && preview.Height() == 64);
    EXPECT_EQ(preview.Pixel(15, 10) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(preview.Pixel(16, 0) & 0xFFFFFF, 0xFF0000u); // the glyph's red corner
    EXPECT_EQ(preview.Pixel(17, 10) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(preview.Pixel(48, 10) & 0xFFFFFF, 0xFFFFFFu);
    // Two glyphs side by side; the absent one leaves its half white, whatever
    // was shown before, and the line names it.
    TLabelPreview::Render("B7", 0, folders, lib, preview, why);
    EXPECT_EQ(why, "No glyph for 7 in Style 0");
    EXPECT_EQ(preview.Pixel(5, 5) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(preview.Pixel(40, 5) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(preview.Pixel(50, 5) & 0xFFFFFF, 0xFFFFFFu);
    // A style number outside 0..3, kept as read from a file, has no glyphs,
    // as in the image, though the library has a group 5.
    TLabelPreview::Render("7", 4, folders, lib, preview, why);
    EXPECT_EQ(why, "No glyph for 7 in Style 4");
    EXPECT_EQ(preview.Pixel(20, 5) & 0xFFFFFF, 0xFFFFFFu);
    // A missing user bitmap blanks the preview; an existing one replaces it.
    TLabelPreview::Render("lobby", 1, folders, lib, preview, why);
    EXPECT_EQ(why, "No user bitmap LOBBY.bmp in Style 1");
    EXPECT_EQ(preview.Pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
    QDir().mkpath(QString::fromStdString(dir.File("Style1")));
    WriteFile(dir.File("Style1/LOBBY.bmp"), MakeBmp(64, 64, 0xFF0000FFu));
    const auto found = TLabelPreview::Render("lobby", 1, folders, lib, preview, why);
    EXPECT_EQ(found.BitmapPath, dir.File("Style1") + "/LOBBY.bmp");
    EXPECT_EQ(why, "");
    EXPECT_EQ(preview.Pixel(30, 30) & 0xFFFFFF, 0x0000FFu);
    // One that the build would refuse is not shown either.
    QDir().mkpath(QString::fromStdString(dir.File("Style0")));
    WriteFile(dir.File("Style0/ROOF.bmp"), Bytes("not a picture"));
    TLabelPreview::Render("ROOF", 1, folders, lib, preview, why);
    EXPECT_EQ(why.rfind("ROOF.bmp cannot be read: ", 0), 0u) << why;
    EXPECT_EQ(preview.Pixel(30, 30) & 0xFFFFFF, 0xFFFFFFu);
    TLabelPreview::Render("  ", 1, folders, lib, preview, why);
    EXPECT_EQ(why, "Empty cell");
    // A glyph entry that is no picture (MAKE ROM stops on it) is said too.
    TLabelPreview::Render("5C", 0, folders, lib, preview, why);
    EXPECT_EQ(why, "The glyph of C in Style 0 cannot be read");
    EXPECT_EQ(preview.Pixel(40, 5) & 0xFFFFFF, 0xFFFFFFu);
}
