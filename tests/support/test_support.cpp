// The support library holds the tests up: a fixture that quietly misbehaves
// (a pseudo-terminal that drops bytes, a workspace that leaves the current
// directory moved, a library writer the reader disagrees with) would make
// other tests pass or fail for the wrong reason.
#include "support/terrorboxrecorder.h"
#include "support/testmain.h"
#include "support/tptypair.h"
#include "support/rasterhelpers.h"
#include "support/tscriptedprompts.h"
#include "support/ttestglyphs.h"
#include "support/ttestworkspace.h"
#include "support/waithelpers.h"

#include "rom/glyphlibrary.h"
#include "util/errmsgbox.h"
#include "util/silentprompts.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(SilentPrompts, KeepsWhatItIsToldAndAnswersAsMade) {
    YVclUtil::SilentPrompts no;
    EXPECT_EQ(no.LastCaption(), "");
    EXPECT_EQ(no.LastText(), "");
    EXPECT_FALSE(no.AskYesNo("Overwrite", "Replace it?"));
    YVclUtil::SilentPrompts yes(true);
    EXPECT_TRUE(yes.AskYesNo("Overwrite", "Replace it?"));

    yes.MessageBox("File error", "first");
    yes.MessageBox("Warning", "second");
    EXPECT_EQ(yes.Boxes.size(), 2u);
    EXPECT_EQ(yes.LastCaption(), "Warning");
    EXPECT_EQ(yes.LastText(), "second");

    // A cancelled dialog leaves the suggestion as it was.
    std::string name = "SUGGESTED.dcf";
    EXPECT_FALSE(yes.OpenFileDialog("Project (*.dcf)|*.dcf", "dcf", name));
    EXPECT_FALSE(yes.SaveFileDialog("Project (*.dcf)|*.dcf", "dcf", name));
    EXPECT_FALSE(yes.OpenPictureDialog("Bitmap (*.bmp)|*.bmp", name));
    EXPECT_EQ(name, "SUGGESTED.dcf");

    YVclUtil::MessageSink& sink = yes;
    sink.AppendLog("one");
    sink.AppendLog("two");
    EXPECT_EQ(yes.Log, (std::vector<std::string>{"one", "two"}));
    sink.ClearLog();
    EXPECT_TRUE(yes.Log.empty());
}

TEST(ScriptedPrompts, AnswersFromTheQueueThenTheDefault) {
    TScriptedPrompts ask;
    ask.QueueYesNo(true);
    ask.QueueFile("/tmp/A.BIN");
    ask.QueueFile("");
    EXPECT_TRUE(ask.AskYesNo("Q", "first"));
    EXPECT_FALSE(ask.AskYesNo("Q", "second")); // nothing queued: DefaultYes (false)
    ask.DefaultYes = true;
    EXPECT_TRUE(ask.AskYesNo("Q", "third"));
    EXPECT_EQ(ask.Questions.size(), 3u);

    std::string name = "SUGGESTED.BIN";
    EXPECT_TRUE(ask.OpenFileDialog("ROM (*.bin)|*.bin", "bin", name));
    EXPECT_EQ(name, "/tmp/A.BIN");
    EXPECT_FALSE(ask.SaveFileDialog("ROM (*.bin)|*.bin", "bin", name)); // "" cancels
    EXPECT_EQ(name, "/tmp/A.BIN");
    EXPECT_FALSE(ask.OpenPictureDialog("Bitmap (*.bmp)|*.bmp", name)); // nothing queued
    EXPECT_EQ(ask.DialogFilters, (std::vector<std::string>{"ROM (*.bin)|*.bin", "ROM (*.bin)|*.bin",
                                                           "Bitmap (*.bmp)|*.bmp"}));
    EXPECT_EQ(ask.Suggestions.front(), "SUGGESTED.BIN");

    ask.SetBusyCursor(true);
    EXPECT_FALSE(ask.CursorBalanced());
    ask.SetBusyCursor(false);
    EXPECT_TRUE(ask.CursorBalanced());

    ask.AppendLog("[Warning] a");
    ask.AppendLog("[Warning] b");
    EXPECT_TRUE(ask.Has("[Warning] a"));
    EXPECT_EQ(ask.CountPrefix("[Warning]"), 2u);
}

TEST(ScriptedPrompts, StrictMakesAnUnqueuedQuestionOrDialogAFailure) {
    TScriptedPrompts ask;
    ask.Strict = true;
    ask.DefaultYes = true;
    bool answer = true;
    EXPECT_NONFATAL_FAILURE(answer = ask.AskYesNo("Save", "Save changes?"),
                            "unexpected question: Save / Save changes?");
    EXPECT_FALSE(answer);
    std::string name;
    EXPECT_NONFATAL_FAILURE(answer = ask.OpenFileDialog("ROM (*.bin)|*.bin", "bin", name),
                            "unexpected file dialog with filter ROM (*.bin)|*.bin");
    EXPECT_FALSE(answer);
}

TEST(PtyPair, CarriesBytesBothWaysAndKeepsTheMasterBlocking) {
    TPtyPair pty;
    ASSERT_FALSE(pty.SlavePath.empty());
    // A child process may be handed the master, so it must not be non-blocking.
    EXPECT_EQ(::fcntl(pty.Master, F_GETFL) & O_NONBLOCK, 0);

    const int device = ::open(pty.SlavePath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(device, 0);
    ASSERT_EQ(::write(device, "\x00\x01\xFFhello", 8), 8); // raw: no byte is changed
    EXPECT_EQ(pty.Read(8), std::string("\x00\x01\xFFhello", 8));

    ASSERT_TRUE(pty.Reply('C'));
    pty.Write(std::string("\x06\x15", 2));
    char got[3] = {};
    size_t n = 0;
    while (n < 3) {
        const ssize_t r = ::read(device, got + n, 3 - n);
        ASSERT_GT(r, 0);
        n += static_cast<size_t>(r);
    }
    EXPECT_EQ(std::string(got, 3), std::string("C\x06\x15", 3));

    // Nothing more comes: Read gives up after its time instead of blocking.
    EXPECT_EQ(pty.Read(1, 50), "");
    ::close(device);
}

TEST(Workspace, IsTheCurrentDirectoryWhileItLivesAndGoesAway) {
    const QString before = QDir::currentPath();
    std::string folder;
    {
        TTestWorkspace ws;
        folder = ws.Folder();
        EXPECT_EQ(QDir::currentPath(), QDir(ws.Path()).canonicalPath());
        for (const char* name : {"ORVDVE510TK3.INI", "D510TK3.GLB", "SPACE_240x240.bmp"})
            EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(ws.File(name)))) << name;
        EXPECT_EQ(ws.Write("note.txt", "abc"), ws.File("note.txt"));
        EXPECT_EQ(ws.Write("no/such/folder/note.txt", "abc"), "");
    }
    EXPECT_EQ(QDir::currentPath(), before);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(folder)));

    TTestWorkspace empty(TTestWorkspace::Empty());
    EXPECT_TRUE(QDir(empty.Path()).isEmpty());
    TTestWorkspace aside(TTestWorkspace::Aside());
    EXPECT_EQ(QDir::currentPath(), QDir(empty.Path()).canonicalPath());
}

// The workspace's library is read by the product's reader as written: the
// floor glyphs come back pixel for pixel.
TEST(Workspace, LibraryReadsBackThroughTheProductReader) {
    TTestWorkspace ws;
    DpuRom::GlyphLibrary library;
    ASSERT_TRUE(library.Load(ws.File("D510TK3.GLB"))) << library.LastError;
    for (int style : {0, 3})
        for (int c : {'0', 'A', '~'}) {
            YVclUtil::TRasterImage image;
            ASSERT_TRUE(library.ExtractImage(1 + style, c, image)) << style << " " << c;
            EXPECT_EQ(image, RasterOf(TTestWorkspace::Glyph(style, c)));
        }
}

TEST(GlyphFixtures, WrittenLibraryHoldsEveryEntryAsGiven) {
    TTestWorkspace ws(TTestWorkspace::Empty());
    const TTestGlyphs glyphs = FullTestLibrary();
    ASSERT_TRUE(WriteGlyphLibrary(ws.File("T.GLB"), glyphs.Entries));
    DpuRom::GlyphLibrary library;
    ASSERT_TRUE(library.Load(ws.File("T.GLB"))) << library.LastError;
    for (const auto& [key, payload] : glyphs.Entries) {
        ASSERT_EQ(library.EntryBytes(key.first, key.second), payload)
            << key.first << "/" << key.second;
    }
    EXPECT_FALSE(library.HasEntry(1, 'Q')); // the gap the fixture leaves
    EXPECT_FALSE(WriteGlyphLibrary(ws.File("no/such/T.GLB"), glyphs.Entries));
}

TEST(ErrorBoxes, RecorderPutsThePreviousHandlerBack) {
    TakeErrorBoxes();
    {
        TErrorBoxRecorder inner;
        YVclUtil::ShowErrMsgBox("PcUart1", "Invalid value !!!");
        ASSERT_EQ(inner.Count(), 1u);
        EXPECT_EQ(inner.Boxes()[0].Caption, "PcUart1");
    }
    // The test main's recorder has it again: nothing reached standard error.
    YVclUtil::ShowErrMsgBox("Caption", "Text");
    const auto boxes = TakeErrorBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Text");
    EXPECT_TRUE(TakeErrorBoxes().empty());
}

TEST(TestMain, RunsInsideAnApplicationWithAConfigurationOfItsOwn) {
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(config.isEmpty());
    EXPECT_TRUE(QFileInfo(config).isDir());
    EXPECT_NE(QDir(config).canonicalPath(), QDir(QDir::homePath() + "/.config").canonicalPath());
    bool fired = false;
    QTimer::singleShot(1, [&] { fired = true; });
    EXPECT_TRUE(WaitFor([&] { return fired; }, 10000));
}

} // namespace
