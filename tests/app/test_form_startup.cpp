#include "apphelpers.h"
#include "app/tsetuppage.h"
#include "project/tstartup.h"
#include "tscriptededitorprompts.h"
#include "support/ttestworkspace.h"

#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QUndoStack>
#include <QRegularExpression>

#include <algorithm>
#include <memory>
#include <vector>

using DpuProject::TStartup;

namespace {

TEST(EditorStartup, CaptionStatusGridAndControlDefaults) {
    TTestWorkspace ws;
    TTestWorkspace::SaveBmp(TTestWorkspace::Mark(8, 8, 1), ws.File("ORV_TEMPBMP.BMP"));
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);

    EXPECT_TRUE(ask.Boxes.empty());
    EXPECT_TRUE(form.StartupCompleted());
    // No user glyph library: nothing but the blanks between the slash and the bracket.
    EXPECT_TRUE(
        QRegularExpression("^DPU-510TK3 Lift LCD Editor \\(R2-Build101117\\)  \\[ \\d{6} /  \\]$")
            .match(form.windowTitle())
            .hasMatch())
        << form.windowTitle().toStdString();
    EXPECT_EQ(form.StatusText(0), "Project file:");
    EXPECT_EQ(form.StatusText(1), "Version: V-TEST");
    EXPECT_EQ(form.StatusText(2), "D510TK3.GLB / ");
    EXPECT_EQ(form.StatusText(3), "Orvane Tech.");
    EXPECT_FALSE(QFile::exists(ws.Path() + "/ORV_TEMPBMP.BMP"));

    EXPECT_EQ(form.Cell(0, 0), "bit [ 5..0 ]");
    EXPECT_EQ(form.Cell(1, 0), "HEX (DEC)");
    EXPECT_EQ(form.Cell(2, 0), "CTBL0");
    EXPECT_EQ(form.Cell(4, 0), "CTBL2");
    EXPECT_EQ(form.Cell(1, 1), "00 (0 )");
    EXPECT_EQ(form.Cell(1, 11), "0A (10 )");
    EXPECT_EQ(form.Cell(1, 256), "FF (255 )");
    EXPECT_EQ(form.Cell(0, 1), "000000");
    EXPECT_EQ(form.Cell(0, 4), "000011");
    EXPECT_EQ(form.Cell(0, 64), "111111");
    EXPECT_EQ(form.Cell(0, 65), "");
    EXPECT_EQ(Find<QTableWidget>(form, "CodeGrid")->rowCount() + 1, TForm1::GridRows);

    // The blank ITEM2 is skipped; the first entry is selected.
    auto* version = Find<QComboBox>(form, "VersionBox");
    ASSERT_EQ(version->count(), 2);
    EXPECT_EQ(version->itemText(1), "ORV-GRY");
    EXPECT_EQ(version->currentIndex(), 0);

    ExpectChecked(form,
                  {"CtblRadio0", "FlStyle0", "DirStyle0", "DpStyleRight", "MsgCheck0", "MsgCheck1",
                   "LogoOff"},
                  {"MsgCheck2"});
    EXPECT_FALSE(Find<QComboBox>(form, "LogoSecondsBox")->isEnabled());
    EXPECT_EQ(Find<QComboBox>(form, "LogoSecondsBox")->count(), 30);
    // The position choice shown is the one a save writes.
    const std::string pos = "MsgPos" + std::to_string(form.Project().DEF_MSGPOS);
    EXPECT_TRUE(Find<QAbstractButton>(form, pos.c_str())->isChecked());
    EXPECT_EQ(Find<QLineEdit>(form, "RomFileNameEdit")->text(), "DPU510TK3.BIN");
    EXPECT_EQ(Find<QComboBox>(form, "PowerSavingBox")->itemText(16), "600");
    EXPECT_EQ(Find<QComboBox>(form, "NodeAddressBox")->count(), 64);
    auto* com = Find<QComboBox>(form, "ComPortBox");
    ASSERT_EQ(com->count(), 20);
    EXPECT_EQ(com->itemText(0), "COM 1");
    EXPECT_EQ(com->itemText(19), "COM 20");
    EXPECT_EQ(Find<QComboBox>(form, "BaudBox")->currentText(), "115200");
    EXPECT_FALSE(Find<QComboBox>(form, "BaudBox")->isVisibleTo(&form));
    EXPECT_FALSE(Find<QAbstractButton>(form, "UploadButton")->isEnabled());
    EXPECT_FALSE(Find<QAbstractButton>(form, "DateTimeSyncButton")->isEnabled());
    EXPECT_EQ(Find<QProgressBar>(form, "ProgressBar")->maximum(), 975);

    // Style and position previews come from the library.
    EXPECT_TRUE(SameRgb(Picture(form, "FlStyleImage2"), TTestWorkspace::Glyph(2, '0')));
    EXPECT_TRUE(SameRgb(Picture(form, "DirStyleImage3"), TTestWorkspace::Mark(48, 48, 3 * 12)));
    EXPECT_TRUE(SameRgb(Picture(form, "MsgPosImage1"), TTestWorkspace::Mark(64, 128, 1)));
    // The blank logo shows while the logo is off.
    EXPECT_EQ(Picture(form, "LogoImage").size(), QSize(240, 240));
}

TEST(EditorStartup, GrayVersionRewritesTheBitColumnAndBack) {
    TTestWorkspace ws;
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    auto* version = Find<QComboBox>(form, "VersionBox");
    version->setCurrentIndex(1);
    emit version->activated(1);
    EXPECT_EQ(form.StatusText(1), "Version: ORV-GRY");
    EXPECT_EQ(form.Cell(0, 2), "000001");
    EXPECT_EQ(form.Cell(0, 3), "000011");
    EXPECT_EQ(form.Cell(0, 4), "000010");
    EXPECT_EQ(form.Cell(0, 33), "100000");
    EXPECT_EQ(form.Cell(0, 49), "111000");
    EXPECT_EQ(form.Cell(0, 64), "110000");
    EXPECT_EQ(form.Config().DISPHV, 0);

    version->setCurrentIndex(0);
    emit version->activated(0);
    EXPECT_EQ(form.Cell(0, 4), "000011");
    EXPECT_EQ(form.Cell(0, 64), "111111");
    EXPECT_EQ(form.Config().DISPHV, 1);
}

TEST(EditorStartup, NoVersionCountOffersTheBuiltInNames) {
    TTestWorkspace::TOptions o;
    o.IniText = "[GLOBAL]\r\nGLB=D510TK3.GLB\r\n";
    TTestWorkspace ws(o);
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    auto* version = Find<QComboBox>(form, "VersionBox");
    ASSERT_EQ(version->count(), 2);
    EXPECT_EQ(version->itemText(0), "ORV-INITDL");
    EXPECT_EQ(version->itemText(1), "ORV-PINITDL");
    EXPECT_EQ(version->currentIndex(), -1);
    EXPECT_EQ(form.StatusText(1), "Version: ORV-INITDL");
    EXPECT_EQ(form.Config().CFI, 48);
}

// A start-up that stops at the missing library leaves a window that works:
// blank pictures, the design caption, and every action survives.
TEST(EditorStartup, MissingLibraryStopsEarlyButTheWindowStaysUsable) {
    TTestWorkspace::TOptions o;
    o.WithGlb = false;
    TTestWorkspace ws(o);
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0],
              std::make_pair(std::string("Error"), std::string("GLB file not found!!\n\n")));
    EXPECT_FALSE(form.StartupCompleted());
    EXPECT_EQ(form.windowTitle(), TStartup::DesignCaption);
    EXPECT_EQ(form.StatusText(2), "Program start error!!");
    EXPECT_EQ(form.StatusText(1), "Version: V-TEST");
    EXPECT_FALSE(Find<TPictureBox>(form, "FlStyleImage0")->HasPicture());
    EXPECT_FALSE(Find<TPictureBox>(form, "MsgImage0_0")->HasPicture());

    form.show();
    TypeInCell(form, 2, 1, "5");
    SelectCell(form, 3, 1);
    SelectCell(form, 2, 1);
    EXPECT_EQ(form.Project().Label(0, 0), "5");

    // MAKE ROM without a library stops with a message and writes nothing.
    ask.Boxes.clear();
    ask.QueueFile(ws.File("nolib.dcf"));
    Click(form, "MakeRomButton");
    ASSERT_FALSE(ask.Boxes.empty());
    EXPECT_NE(ask.Boxes.back().first, "Status");
    EXPECT_FALSE(QFile::exists(ws.Path() + "/DPU510TK3.BIN"));
    EXPECT_TRUE(ask.Cursor.empty() || !ask.Cursor.back());
}

TEST(EditorStartup, MissingConfigurationIsReportedAndStartUpGoesOn) {
    TTestWorkspace::TOptions o;
    o.WithIni = false;
    TTestWorkspace ws(o);
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0].second, "ORVDVE510TK3.INI file not found!!\n\n");
    EXPECT_TRUE(form.StartupCompleted());
    EXPECT_EQ(Find<QComboBox>(form, "VersionBox")->count(), 0);
}

// The preview of a label cell, pixel by pixel against the library's glyphs:
// always the selected cell's label as MAKE ROM builds it, in the current floor
// style, with a line saying what cannot be shown.
QImage Centred(int Style, int C) {
    QImage centred(64, 64, QImage::Format_RGB32);
    centred.fill(Qt::white);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x)
            centred.setPixel(16 + x, y, TTestWorkspace::Glyph(Style, C).pixel(x, y));
    return centred;
}

QImage Blank() {
    QImage blank(64, 64, QImage::Format_RGB32);
    blank.fill(Qt::white);
    return blank;
}

// The whole note under the preview (the label itself may show it cut short,
// as with a wider font under Wine).
QString PreviewReason(TForm1& Form) {
    auto* setup = Find<TSetupPage>(Form, "SetupPage");
    return setup ? setup->PreviewReason() : QString("<none>");
}

TEST(EditorPreview, GlyphsUserBitmapsAndEmptyCells) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    // User bitmaps: LOB in the workspace (the start-up folder), ROOF beside
    // the program (a folder standing for the installation's).
    const std::string prog = ws.File("prog/");
    form.Config().ProgramDir = prog;
    const std::string style0 = "DefaultImage2/UserDefine/Floor/Style0/";
    QDir().mkpath(QString::fromStdString(ws.File(style0)));
    QDir().mkpath(QString::fromStdString(prog + style0));
    const QImage lobby = TTestWorkspace::Mark(64, 64, 9);
    const QImage roof = TTestWorkspace::Mark(64, 64, 4);
    TTestWorkspace::SaveBmp(lobby, ws.File(style0 + "LOB.bmp"));
    TTestWorkspace::SaveBmp(roof, prog + style0 + "ROOF.bmp");

    TypeInCell(form, 2, 1, "5");
    // Enter went on to the cell below; back to the one typed into.
    SelectCell(form, 2, 1);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Centred(0, '5'))) << "shown as typed";
    EXPECT_EQ(PreviewReason(form), "");
    TypeInCell(form, 2, 2, "05");
    TypeInCell(form, 3, 1, "ab");
    TypeInCell(form, 3, 2, "roof");
    TypeInCell(form, 4, 1, " lob ");
    TypeInCell(form, 4, 2, "MEZZ");

    SelectCell(form, 2, 1);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Centred(0, '5')));
    SelectCell(form, 3, 1);
    EXPECT_TRUE(RegionEquals(Picture(form, "PreviewImage"), 0, 0, TTestWorkspace::Glyph(0, 'A')));
    EXPECT_TRUE(RegionEquals(Picture(form, "PreviewImage"), 32, 0, TTestWorkspace::Glyph(0, 'B')));
    SelectCell(form, 2, 2);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Centred(0, '5'))) << "05 previews like 5";
    SelectCell(form, 3, 2);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), roof));

    // An empty cell and a missing user bitmap: blank, and the line says why.
    SelectCell(form, 2, 9);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Blank()));
    EXPECT_EQ(PreviewReason(form), "Empty cell");
    SelectCell(form, 4, 2);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Blank()));
    EXPECT_EQ(PreviewReason(form), "No user bitmap MEZZ.bmp in Style 0");
    SelectCell(form, 4, 1);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), lobby));
    EXPECT_EQ(PreviewReason(form), "");

    // An edit shows at once; undo and redo follow.
    TypeInCell(form, 4, 1, "5");
    SelectCell(form, 4, 1);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Centred(0, '5')));
    form.UndoStack()->undo();
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), lobby));
    form.UndoStack()->redo();
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Centred(0, '5')));

    // Another floor style shows at once, and goes back with undo.
    Click(form, "FlStyle2");
    EXPECT_EQ(form.Project().DEF_FL, 2);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Centred(2, '5')));
    SelectCell(form, 4, 2);
    EXPECT_EQ(PreviewReason(form), "No user bitmap MEZZ.bmp in Style 2");
    SelectCell(form, 4, 1);
    form.UndoStack()->undo();
    EXPECT_EQ(form.Project().DEF_FL, 0);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Centred(0, '5')));

    // A character beyond ASCII: no glyph in any style, named as typed.
    {
        // Typed through an input method: the editor receives the text, then Enter.
        auto* grid = Find<QTableWidget>(form, "CodeGrid");
        grid->editItem(grid->item(0, 4));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->setText(QString::fromUtf8("\xC3\xA9"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    SelectCell(form, 4, 1);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Blank()));
    EXPECT_EQ(PreviewReason(form), QString::fromUtf8("No glyph for \xC3\xA9 in Style 0"));

    // Paste, delete and fill on the current cell.
    auto* grid = Find<QTableWidget>(form, "CodeGrid");
    QApplication::setActiveWindow(&form);
    grid->setFocus();
    QApplication::clipboard()->setText("ab");
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(form.Project().Label(2, 0), "ab");
    EXPECT_TRUE(RegionEquals(Picture(form, "PreviewImage"), 0, 0, TTestWorkspace::Glyph(0, 'A')));
    QTest::keyClick(grid, Qt::Key_Delete);
    ASSERT_EQ(form.Project().Label(2, 0), "");
    EXPECT_EQ(PreviewReason(form), "Empty cell");
    // Fill down from " lob "... the top cell of the selection, the current one at the bottom.
    TypeInCell(form, 4, 1, "LOB");
    grid->setCurrentCell(2, 4);
    grid->setRangeSelected(QTableWidgetSelectionRange(0, 4, 2, 4), true);
    EXPECT_EQ(PreviewReason(form), "Empty cell");
    QTest::keyClick(grid, Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(form.Project().Label(2, 2), "LOB");
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), lobby));

    // Load shows the loaded label of the current cell.
    const std::string dcf = ws.File("p.dcf");
    {
        QFile f(QString::fromStdString(dcf));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[GLOBAL]\r\nCODENAME=DVE510TK3\r\nDEF_FL=2\r\n[CTBL2]\r\nCODE_2=5\r\n");
    }
    ASSERT_TRUE(form.LoadProjectFile(dcf));
    EXPECT_EQ(grid->currentRow(), 2);
    EXPECT_TRUE(SameRgb(Picture(form, "PreviewImage"), Centred(2, '5')));
}

std::vector<QString> g_qtMessages;

// Closing and destroying the window (connected, with a transfer running)
// leaves nothing on stderr: every message Qt would print is caught here.
TEST(EditorShutdown, ExitPrintsNoQtWarnings) {
    TTestWorkspace ws;
    g_qtMessages.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& Text) {
            g_qtMessages.push_back(Text);
        });
    {
        TScriptedEditorPrompts ask;
        auto form = std::make_unique<TForm1>(&ask);
        form->show();
        TypeInCell(*form, 2, 1, "1");
        Click(*form, "ClearAllButton");
        ask.QueueSaveAnswer(TSaveQuestion::TAnswer::Discard);
        EXPECT_TRUE(form->close());
        form.reset();
    }
    qInstallMessageHandler(previous);
    for (const QString& m : g_qtMessages)
        EXPECT_FALSE(m.contains("disconnect")) << m.toStdString();
    EXPECT_TRUE(std::none_of(g_qtMessages.begin(), g_qtMessages.end(), [](const QString& m) {
        return m.contains("Unexpected nullptr parameter");
    }));
}

} // namespace
