#include "apphelpers.h"
#include "app/guarded.h"
#include "support/filehelpers.h"
#include "support/ttestglyphs.h"
#include "tscriptededitorprompts.h"
#include "support/tptypair.h"
#include "support/ttestworkspace.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QUndoStack>

namespace {

bool FileHasLine(const std::string& Path, const QByteArray& Line) {
    return ReadAll(Path).split('\n').contains(Line + '\r');
}

TEST(EditorLogo, OnOffAndPictureRules) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    const std::string logo = ws.File("logo.bmp");
    TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 64, 4), logo);

    // "ON (Sec.)" without a logo asks for one; cancelled, the logo is on with no path.
    ask.QueueFile("");
    Click(form, "LogoOn");
    EXPECT_TRUE(ask.Files.empty());
    EXPECT_TRUE(Find<QAbstractButton>(form, "LogoOn")->isChecked());
    EXPECT_TRUE(Find<QComboBox>(form, "LogoSecondsBox")->isEnabled());
    EXPECT_EQ(form.Project().CUSLOGOENABLE, 1);
    EXPECT_EQ(form.Project().TITLEFILENAME_C, "");

    Click(form, "LogoOff");
    EXPECT_FALSE(Find<QComboBox>(form, "LogoSecondsBox")->isEnabled());
    EXPECT_EQ(form.Project().CUSLOGOENABLE, 0);
    EXPECT_EQ(Picture(form, "LogoImage").size(), QSize(240, 240));

    // A click on the picture while off sets the path and keeps the logo off.
    ask.QueueFile(logo);
    emit Find<TPictureBox>(form, "LogoImage")->Clicked();
    EXPECT_EQ(form.Project().TITLEFILENAME_C, logo);
    EXPECT_TRUE(Find<QAbstractButton>(form, "LogoOff")->isChecked());
    EXPECT_TRUE(SameRgb(Picture(form, "LogoImage"), TTestWorkspace::Mark(64, 64, 4)));

    TypeInCell(form, 2, 1, "1");
    ask.QueueFile(ws.File("logo-off.dcf"));
    Click(form, "SaveButton");
    EXPECT_TRUE(
        FileHasLine(ws.File("logo-off.dcf"), "TITLEFILENAME_C=" + QByteArray::fromStdString(logo)));
    EXPECT_TRUE(FileHasLine(ws.File("logo-off.dcf"), "CUSLOGOENABLE=0"));

    // With a path set, "ON (Sec.)" opens no dialog.
    Click(form, "LogoOn");
    EXPECT_EQ(form.Project().CUSLOGOENABLE, 1);
    EXPECT_EQ(form.Project().TITLEFILENAME_C, logo);
}

// Column 2 of a row is slot A; choosing a bitmap there leaves the row's name
// picture (also slot A) alone until the next full display.
TEST(EditorMessages, DoubleClickChoosesTheSlotBitmap) {
    TTestWorkspace ws;
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    const std::string pic = ws.File("quake.bmp");
    TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 16, 5), pic);
    const QImage nameBefore = Picture(form, "MsgName3");
    const std::string slotBefore = form.Project().Slot(3, 0);

    ask.QueueFile("");
    emit Find<TPictureBox>(form, "MsgImage3_2")->DoubleClicked();
    EXPECT_EQ(form.Project().Slot(3, 0), slotBefore);

    ask.QueueFile(pic);
    emit Find<TPictureBox>(form, "MsgImage3_2")->DoubleClicked();
    EXPECT_EQ(form.Project().Slot(3, 0), pic);
    EXPECT_TRUE(SameRgb(Picture(form, "MsgImage3_2"), TTestWorkspace::Mark(64, 16, 5)));
    EXPECT_EQ(Picture(form, "MsgName3").isNull(), nameBefore.isNull());
    if (!nameBefore.isNull()) {
        EXPECT_TRUE(SameRgb(Picture(form, "MsgName3"), nameBefore));
    }
    // A file that is not a bitmap gives a blank picture, not a failure.
    const std::string junk = ws.File("junk.bmp");
    QFile f(QString::fromStdString(junk));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("BMnot really a bitmap");
    f.close();
    ask.QueueFile(junk);
    emit Find<TPictureBox>(form, "MsgImage3_1")->DoubleClicked();
    EXPECT_EQ(form.Project().Slot(3, 3), junk);
    EXPECT_FALSE(Find<TPictureBox>(form, "MsgImage3_1")->HasPicture());
}

TEST(EditorProjectFile, SaveCancelOverwriteDeclinedAndAccepted) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    const std::string path = ws.File("p1.dcf");
    TypeInCell(form, 2, 1, " g ");

    ask.QueueFile("");
    Click(form, "SaveButton");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(form.StatusText(0), "Project file:");

    ask.QueueFile(path);
    Click(form, "SaveButton");
    ASSERT_TRUE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(form.StatusText(0).toStdString(), "Project file: " + path);
    EXPECT_TRUE(FileHasLine(path, "CODE_0=G"));
    const QByteArray first = ReadAll(path);

    TypeInCell(form, 2, 1, "H");
    ask.QueueFile(path);
    ask.QueueYesNo(false);
    Click(form, "SaveButton");
    ASSERT_EQ(ask.Questions.size(), 1u);
    EXPECT_EQ(ask.Questions[0].first, "Overlay file");
    EXPECT_EQ(ask.Questions[0].second, "File exist!!\n\nOverlay?\n");
    EXPECT_EQ(ReadAll(path), first);

    ask.QueueFile(path);
    ask.QueueYesNo(true);
    Click(form, "SaveButton");
    EXPECT_TRUE(FileHasLine(path, "CODE_0=H"));
    EXPECT_TRUE(ask.Files.empty());
}

// Every control set through the window comes back from the file in a fresh window.
TEST(EditorProjectFile, LoadRestoresEveryControl) {
    TTestWorkspace ws;
    const std::string logo = ws.File("logo.bmp");
    TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 64, 4), logo);
    const std::string fire = ws.File("fire.bmp");
    TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 16, 2), fire);
    const std::string path = ws.File("full.dcf");
    {
        TScriptedEditorPrompts ask;
        TForm1 form(&ask);
        form.show();
        TypeInCell(form, 2, 1, "b2");
        TypeInCell(form, 3, 2, "1");
        TypeInCell(form, 4, 256, "LOBBY");
        Click(form, "CtblRadio2");
        Click(form, "FlStyle3");
        Click(form, "DirStyle4");
        Click(form, "DpStyleLeft");
        Click(form, "MsgCheck1"); // off: boxes 0 and 3 -> mask 9
        Click(form, "MsgCheck3");
        Click(form, "MsgPos0");
        Click(form, "DateTimeCheck");
        ask.QueueFile(logo);
        Click(form, "LogoOn");
        auto* secs = Find<QComboBox>(form, "LogoSecondsBox");
        secs->setCurrentIndex(7);
        emit secs->activated(7);
        auto* power = Find<QComboBox>(form, "PowerSavingBox");
        power->setCurrentIndex(5);
        emit power->activated(5);
        auto* node = Find<QComboBox>(form, "NodeAddressBox");
        node->setCurrentIndex(33);
        emit node->activated(33);
        auto* id = Find<QLineEdit>(form, "IdCodeEdit");
        id->setFocus();
        QTest::keyClicks(id, "AB12");
        auto* rom = Find<QLineEdit>(form, "RomFileNameEdit");
        rom->clear();
        QTest::keyClicks(rom, "tower.rom");
        ask.QueueFile(fire);
        emit Find<TPictureBox>(form, "MsgImage0_0")->DoubleClicked(); // state 0, slot B
        EXPECT_TRUE(SameRgb(Picture(form, "MsgImage0_0"), TTestWorkspace::Mark(64, 16, 2)));
        auto* version = Find<QComboBox>(form, "VersionBox");
        version->setCurrentIndex(1);
        emit version->activated(1);

        ask.QueueFile(path);
        Click(form, "SaveButton");
        EXPECT_EQ(rom->text(), "tower.BIN");
        ASSERT_TRUE(ask.Files.empty());
    }
    EXPECT_TRUE(FileHasLine(path, "DEF_MSG=9"));

    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    ask.QueueFile(path);
    Click(form, "LoadButton");
    EXPECT_EQ(form.StatusText(0).toStdString(), "Project file: " + path);
    EXPECT_EQ(form.Cell(2, 1), "B2");
    EXPECT_EQ(form.Cell(3, 2), "1");
    EXPECT_EQ(form.Cell(4, 256), "LOBBY");
    ExpectChecked(form,
                  {"CtblRadio2", "FlStyle3", "DirStyle4", "DpStyleLeft", "MsgCheck0", "MsgCheck3",
                   "MsgPos0", "DateTimeCheck", "LogoOn"},
                  {"MsgCheck1", "MsgCheck2"});
    EXPECT_TRUE(Find<QComboBox>(form, "LogoSecondsBox")->isEnabled());
    EXPECT_EQ(Find<QComboBox>(form, "LogoSecondsBox")->currentIndex(), 7);
    EXPECT_TRUE(SameRgb(Picture(form, "LogoImage"), TTestWorkspace::Mark(64, 64, 4)));
    EXPECT_EQ(Find<QComboBox>(form, "PowerSavingBox")->currentIndex(), 5);
    EXPECT_EQ(Find<QComboBox>(form, "NodeAddressBox")->currentIndex(), 33);
    EXPECT_EQ(Find<QLineEdit>(form, "IdCodeEdit")->text(), "AB12");
    EXPECT_EQ(Find<QLineEdit>(form, "RomFileNameEdit")->text(), "tower.BIN");
    EXPECT_TRUE(SameRgb(Picture(form, "MsgImage0_0"), TTestWorkspace::Mark(64, 16, 2)));
    EXPECT_EQ(Find<QComboBox>(form, "VersionBox")->currentText(), "ORV-GRY");
    EXPECT_EQ(form.StatusText(1), "Version: ORV-GRY");
    EXPECT_EQ(form.Cell(0, 64), "110000");
    EXPECT_TRUE(ask.Boxes.empty());
}

// A kilobyte claiming 8192 x 8192 pixels in all 40 slots: the project loads
// with the slots it names, each box stays empty saying why, and no box shows
// a raw exception; running out of memory in an action is said in words.
TEST(EditorProjectFile, PicturesClaimingHugeSizesLoadAsEmptyBoxesNamingTheSize) {
    TTestWorkspace ws;
    const std::string huge = ws.File("huge.bmp");
    WriteFile(huge, ClaimingBmp(8192, 8192));
    std::string project = "[GLOBAL]\r\nCODENAME=DVE510TK3\r\n[LiftStateImage]\r\n";
    for (int s = 0; s < 10; ++s)
        for (const char* k : {"A", "B", "C", "D"})
            project += "LeftState_" + std::to_string(s) + "_" + k + "=" + huge + "\r\n";
    WriteText(ws.File("huge.dcf"), project + "[CTBL0]\r\nCODE_1=1\r\n");
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    ask.QueueFile(ws.File("huge.dcf"));
    Click(form, "LoadButton");
    EXPECT_TRUE(ask.Boxes.empty());
    for (const auto& state : form.Project().LiftStateSlots)
        for (const std::string& slot : state)
            EXPECT_EQ(slot, huge);
    auto* box = Find<TPictureBox>(form, "MsgImage9_2");
    EXPECT_TRUE(box->Picture().isNull());
    EXPECT_EQ(box->LastError().toStdString(),
              "Cannot load picture \"" + huge +
                  "\": picture too large: 8192 x 8192 pixels (at most 4096 a side and 1048576 in "
                  "all)");

    Guarded(ask, [] { throw std::bad_alloc(); })();
    EXPECT_EQ(ask.Boxes, (std::vector<std::pair<std::string, std::string>>{
                             {"Error", "Not enough memory!!\n\n"}}));
}

TEST(EditorProjectFile, WrongCodeNameIsRejectedAndClearAllEmptiesOnlyTheTables) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    TypeInCell(form, 2, 1, "7");
    TypeInCell(form, 4, 10, "X");
    Click(form, "DpStyleLeft");

    const std::string bad = ws.File("bad.dcf");
    QFile f(QString::fromStdString(bad));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[GLOBAL]\r\nCODENAME=dve510tk3\r\n[CTBL0]\r\nCODE_0=9\r\n");
    f.close();
    ask.QueueSaveAnswer(TSaveQuestion::TAnswer::Discard);
    ask.QueueFile(bad);
    Click(form, "LoadButton");
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0],
              std::make_pair(std::string("Error"), std::string("DCF file format error!!\n\n")));
    EXPECT_EQ(form.Cell(2, 1), "7");

    Click(form, "ClearAllButton");
    EXPECT_EQ(form.Cell(2, 1), "");
    EXPECT_EQ(form.Cell(4, 10), "");
    EXPECT_EQ(form.Project().Label(2, 9), "");
    EXPECT_EQ(form.StatusText(0), "Project file: ");
    EXPECT_TRUE(Find<QAbstractButton>(form, "DpStyleLeft")->isChecked());
    EXPECT_EQ(form.Cell(1, 10), "09 (9 )");
}

TEST(EditorMakeRom, EmptyTablesAndCancelledSaveBuildNothing) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    TypeInCell(form, 2, 1, "   ");
    Click(form, "MakeRomButton");
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0],
              std::make_pair(std::string("Warning"), std::string("All CTBL is empty!!\n\n")));
    EXPECT_TRUE(ask.DialogFilters.empty());

    TypeInCell(form, 2, 1, "1");
    ask.QueueFile("");
    Click(form, "MakeRomButton");
    ASSERT_EQ(ask.Boxes.size(), 2u);
    EXPECT_EQ(ask.Boxes[1],
              std::make_pair(std::string("Make ROM abort"), std::string("User abort!!\n")));
    EXPECT_FALSE(QFile::exists(ws.Path() + "/DPU510TK3.BIN"));
}

// Labels MAKE ROM empties for want of a user bitmap: one undo step, the
// project unsaved, the cells' checks and the preview brought up to date.
TEST(EditorMakeRom, AutoCancelIsOneUndoStep) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    const QString folder = ws.Path() + "/DefaultImage2/UserDefine/Floor/Style0";
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 64, 3),
                                        (folder + "/MEZZ.bmp").toStdString()));
    TypeInCell(form, 2, 1, "5");
    TypeInCell(form, 2, 2, "mezz");
    TypeInCell(form, 3, 5, "ZZZ");
    TypeInCell(form, 2, 4, " nope ");
    // Enter went on to the cell below; the preview is to show this one.
    SelectCell(form, 2, 4);
    auto* grid = Find<QTableWidget>(form, "CodeGrid");
    EXPECT_TRUE(grid->item(4, 3)->data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(grid->item(4, 3)->toolTip().isEmpty());
    const int stepsBefore = form.UndoStack()->count();
    ask.QueueFile(ws.File("cancel.dcf"));
    Click(form, "MakeRomButton");
    ASSERT_FALSE(ask.Boxes.empty());
    EXPECT_EQ(ask.Boxes.back().second, "DPU-510TK3 Make ROM OK\n\n");

    // Emptied in the record and the grid, checks cleared, the preview says so.
    EXPECT_EQ(form.Cell(3, 5), "");
    EXPECT_EQ(form.Cell(2, 4), "");
    EXPECT_EQ(form.Project().Label(1, 4), "");
    EXPECT_EQ(form.Project().Label(0, 3), "");
    EXPECT_EQ(form.Cell(2, 2), "mezz");
    EXPECT_FALSE(grid->item(4, 3)->data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(grid->item(4, 3)->toolTip().isEmpty());
    EXPECT_EQ(Find<QLabel>(form, "PreviewReason")->text(), "Empty cell");
    // The saved file still has the labels: the project is unsaved now.
    EXPECT_TRUE(form.HasUnsavedChanges());
    ASSERT_EQ(form.UndoStack()->count(), stepsBefore + 1);
    EXPECT_EQ(form.UndoStack()->undoText(), "MAKE ROM emptied 2 labels");

    // One Ctrl+Z brings both back, as saved.
    form.UndoStack()->undo();
    EXPECT_EQ(form.Cell(3, 5), "ZZZ");
    EXPECT_EQ(form.Cell(2, 4), " nope ");
    EXPECT_EQ(form.Project().Label(1, 4), "ZZZ");
    EXPECT_EQ(form.Project().Label(0, 3), " nope ");
    EXPECT_TRUE(grid->item(4, 3)->data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(Find<QLabel>(form, "PreviewReason")->text(), "No user bitmap NOPE.bmp in Style 0");
    EXPECT_FALSE(form.HasUnsavedChanges());
    form.UndoStack()->redo();
    EXPECT_EQ(form.Cell(3, 5), "");
    EXPECT_TRUE(form.HasUnsavedChanges());
}

// The window's MAKE ROM and the command-line tool make the same image of the same project.
TEST(EditorMakeRom, BuildsWhatTheCommandLineToolBuilds) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    TypeInCell(form, 2, 1, "b1");
    TypeInCell(form, 2, 3, "12");
    TypeInCell(form, 3, 5, "-1");
    TypeInCell(form, 4, 7, "NOSUCHBMP");
    Click(form, "FlStyle1");
    Click(form, "MsgCheck2");
    auto* id = Find<QLineEdit>(form, "IdCodeEdit");
    QTest::keyClicks(id, "Q7");
    const std::string dcf = ws.File("build.dcf");
    ask.QueueFile(dcf);
    // While the success box is up, the log and the status bar already tell
    // where the image went and how many labels the build emptied.
    QString logAtBox, noteAtBox;
    ask.WhileShowing = [&] {
        logAtBox = LogText(form);
        noteAtBox = Find<QLabel>(form, "StatusNote")->text();
    };
    Click(form, "MakeRomButton");
    ask.WhileShowing = nullptr;
    EXPECT_TRUE(logAtBox.contains("===> ROM image written: ")) << logAtBox.toStdString();
    EXPECT_TRUE(logAtBox.contains(
        "[Warning] 1 label emptied: user bitmap not found (Ctrl+Z brings them back)"))
        << logAtBox.toStdString();
    EXPECT_EQ(noteAtBox, "MAKE ROM emptied 1 label: Ctrl+Z brings them back");

    ASSERT_FALSE(ask.Boxes.empty());
    EXPECT_EQ(ask.Boxes.back(),
              std::make_pair(std::string("Status"), std::string("DPU-510TK3 Make ROM OK\n\n")));
    // The label whose user bitmap is missing is emptied and reported.
    EXPECT_EQ(form.Cell(4, 7), "");
    EXPECT_TRUE(LogText(form).contains("[Warning] CTBL2-06 (6 ) not found --> auto cancel !!!"))
        << LogText(form).toStdString();
    EXPECT_TRUE(
        LogText(form).contains("===> ROM image written: " + ws.Path() + "/DPU510TK3.BIN <==="))
        << LogText(form).toStdString();
    const QByteArray image = ReadAll(ws.File("DPU510TK3.BIN"));
    ASSERT_EQ(image.size(), 64512);
    EXPECT_FALSE(ask.Cursor.empty());
    EXPECT_FALSE(ask.Cursor.back());
    EXPECT_TRUE(
        Find<QListWidget>(form, "FileList")->findItems("DPU510TK3.BIN", Qt::MatchExactly).size() ==
        1);
    // The ROM image window's dialog starts at the image just built (the upload offers it too).
    EXPECT_EQ(form.LastFile("bin"), ws.File("DPU510TK3.BIN"));

    const QString cli = QCoreApplication::applicationDirPath() + "/dpu510tk3";
    if (!QFile::exists(cli)) GTEST_SKIP() << "the command-line tool is not built";
    QProcess tool;
    tool.setWorkingDirectory(ws.Path());
    tool.start(cli, {"make-rom", QString::fromStdString(dcf), "-o", "cli.BIN"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    EXPECT_TRUE(ReadAll(ws.File("cli.BIN")) == image);
}

TEST(EditorFileBrowser, ClickingAFilePutsItsNameAndFoldersChangeTheCurrentDirectory) {
    TTestWorkspace ws;
    QDir(ws.Path()).mkdir("roms");
    QFile(ws.Path() + "/roms/TOWER.bin").open(QIODevice::WriteOnly);
    QFile(ws.Path() + "/roms/notes.txt").open(QIODevice::WriteOnly);
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    auto* browser = Find<TFileBrowser>(form, "FileBrowser");
    ASSERT_TRUE(browser->SetDirectory(ws.Path() + "/roms"));
    EXPECT_EQ(QDir::currentPath(), QDir(ws.Path() + "/roms").absolutePath());
    EXPECT_EQ(form.StartupDir(), QDir(ws.Path()).absolutePath());
    auto* files = Find<QListWidget>(form, "FileList");
    ASSERT_EQ(files->count(), 1);
    EXPECT_EQ(files->item(0)->text(), "TOWER.bin");
    emit files->itemClicked(files->item(0));
    EXPECT_EQ(Find<QLineEdit>(form, "RomFileNameEdit")->text(), "TOWER.bin");

    EXPECT_FALSE(browser->SetDirectory(ws.Path() + "/missing"));
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0].first, "Error");
    EXPECT_EQ(QDir::currentPath(), QDir(ws.Path() + "/roms").absolutePath());
}

// Files made outside the editor show without reopening the folder; links to
// devices (a pseudo-terminal, /dev/null) are neither folders nor files.
TEST(EditorFileBrowser, FollowsTheFolderAndListsNoDevicesAsFolders) {
    TTestWorkspace ws;
    const QString roms = ws.Path() + "/roms";
    QDir(ws.Path()).mkdir("roms");
    QDir(roms).mkdir("older");
    TPtyPair pty;
    ASSERT_TRUE(QFile::link(QString::fromStdString(pty.SlavePath), roms + "/COM1"));
    ASSERT_TRUE(QFile::link("/dev/null", roms + "/DEV.BIN"));
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    auto* browser = Find<TFileBrowser>(form, "FileBrowser");
    ASSERT_TRUE(browser->SetDirectory(roms));
    auto* files = Find<QListWidget>(form, "FileList");
    auto* dirs = Find<QListWidget>(form, "DirectoryList");
    auto listed = [](QListWidget* List, const QString& Name) {
        for (int i = 0; i < List->count(); ++i)
            if (List->item(i)->text().endsWith(' ' + Name) || List->item(i)->text() == Name)
                return true;
        return false;
    };
    EXPECT_TRUE(listed(dirs, "older"));
    EXPECT_FALSE(listed(dirs, "COM1"));
    EXPECT_FALSE(listed(dirs, "DEV.BIN"));
    EXPECT_FALSE(listed(files, "DEV.BIN"));
    EXPECT_EQ(files->count(), 0);

    // Another program writes an image into the folder, makes and removes folders.
    QFile made(roms + "/MADE.BIN");
    ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    made.write(QByteArray(10, 'x'));
    made.close();
    QDir(roms).mkdir("newer");
    EXPECT_TRUE(WaitFor([&] { return listed(files, "MADE.BIN"); }, 20000));
    EXPECT_TRUE(WaitFor([&] { return listed(dirs, "newer"); }, 20000));
    QFile::remove(roms + "/MADE.BIN");
    EXPECT_TRUE(WaitFor([&] { return !listed(files, "MADE.BIN"); }, 20000));
}

} // namespace
