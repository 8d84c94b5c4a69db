// A day of work in the window: nothing lost, undo, the grid as a spreadsheet,
// the keys, labels checked as typed, remembered files and dropped files.
#include "app/tgrideditor.h"
#include "app/thelpdialog.h"
#include "app/tsetuppage.h"
#include "apphelpers.h"
#include "tscriptededitorprompts.h"
#include "support/platformhelpers.h"
#include "support/ttestworkspace.h"
#include "serial/comports.h"

#include <QClipboard>
#include <QFileInfo>
#include <QTabWidget>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QToolButton>
#include <QUndoStack>
#include <QUrl>

using DpuProject::TProjectFile;

using namespace DpuProject;

namespace {

using TAnswer = TSaveQuestion::TAnswer;

// Points "COM n" at Target through the per-user ports folder.
void LinkComPortTo(unsigned N, const QString& Target) {
    const QString folder = QString::fromStdString(YVclCtrl::ComPortsFolder());
    QDir().mkpath(folder);
    const QString link = folder + QStringLiteral("COM%1").arg(N);
    QFile::remove(link);
    QFile::link(Target, link);
}

bool ModifiedShown(TForm1& Form) {
    return !Find<QLabel>(Form, "ModifiedIndicator")->isHidden();
}

QTableWidget* Grid(TForm1& Form) {
    return Find<QTableWidget>(Form, "CodeGrid");
}

// Selects the label cells (Col0, Row0)..(Col1, Row1) in the form's grid coordinates.
void SelectRange(TForm1& Form, int Col0, int Row0, int Col1, int Row1) {
    QTableWidget* grid = Grid(Form);
    grid->clearSelection();
    grid->setCurrentCell(Row0 - 1, Col0);
    grid->setRangeSelected(QTableWidgetSelectionRange(Row0 - 1, Col0, Row1 - 1, Col1), true);
}

void GridKey(TForm1& Form, Qt::Key Key, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QApplication::setActiveWindow(&Form);
    Grid(Form)->setFocus();
    QTest::keyClick(Grid(Form), Key, Mods);
}

// Drops the local file Path on Target as a file manager does.
bool DropFile(QWidget* Target, const QString& Path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path)});
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &drop);
    return drop.isAccepted();
}

std::string WriteProject(TTestWorkspace& Ws, const std::string& Name, const char* Label) {
    const std::string path = Ws.File(Name);
    QFile f(QString::fromStdString(path));
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray("[GLOBAL]\r\nCODENAME=DVE510TK3\r\n[CTBL0]\r\nCODE_0=") + Label + "\r\n");
    f.close();
    return path;
}

TEST(EditorUnsaved, CloseAndLoadAskSaveDiscardOrCancel) {
    ForgetSettings();
    TTestWorkspace ws;
    TScriptedEditorPrompts ask;
    auto form = std::make_unique<TForm1>(&ask);
    form->show();
    EXPECT_FALSE(form->HasUnsavedChanges());
    EXPECT_FALSE(ModifiedShown(*form));
    // Nothing to lose: closing asks nothing.
    EXPECT_TRUE(form->close());
    form->show();

    TypeInCell(*form, 2, 1, "1");
    EXPECT_TRUE(ModifiedShown(*form));
    EXPECT_EQ(form->StatusText(3), "Orvane Tech.");

    // Cancel keeps the window and the edit.
    ask.QueueSaveAnswer(TAnswer::Cancel);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(ask.SaveQuestions.size(), 1u);

    // Save, then a cancelled save dialog: still open, still unsaved.
    ask.QueueSaveAnswer(TAnswer::Save);
    ask.QueueFile("");
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(ModifiedShown(*form));

    // Load while unsaved: Cancel opens no dialog and loads nothing.
    const std::string other = WriteProject(ws, "other.dcf", "B9");
    ask.QueueSaveAnswer(TAnswer::Cancel);
    Click(*form, "LoadButton");
    EXPECT_TRUE(ask.DialogFilters.size() == 1u);
    EXPECT_EQ(form->Cell(2, 1), "1");

    // Save writes the file, then the load goes on.
    const std::string saved = ws.File("saved.dcf");
    ask.QueueSaveAnswer(TAnswer::Save);
    ask.QueueFile(saved);
    ask.QueueFile(other);
    Click(*form, "LoadButton");
    EXPECT_TRUE(ReadAll(saved).contains("CODE_0=1\r\n"));
    EXPECT_EQ(form->Cell(2, 1), "B9");
    EXPECT_FALSE(ModifiedShown(*form));

    // Discard closes without writing.
    TypeInCell(*form, 2, 2, "2");
    ask.QueueSaveAnswer(TAnswer::Discard);
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(ReadAll(other).contains("CODE_1="));
    EXPECT_TRUE(ask.Files.empty());
    EXPECT_TRUE(ask.SaveAnswers.empty());
}

TEST(EditorUndo, CellsChoicesClearAllAndPicturesGoBackAndForth) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QUndoStack* undo = form.UndoStack();

    TypeInCell(form, 2, 1, "5");
    TypeInCell(form, 3, 2, "G");
    Click(form, "FlStyle2");
    ASSERT_EQ(form.Project().DEF_FL, 2);
    Click(form, "DpStyleLeft");
    ASSERT_EQ(form.Project().DPSTYLE, 2);
    const std::string pic = ws.File("fire.bmp");
    TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 16, 7), pic);
    const std::string slotBefore = form.Project().Slot(1, 1);
    ask.QueueFile(pic);
    emit Find<TPictureBox>(form, "MsgImage1_0")->DoubleClicked();
    ASSERT_EQ(form.Project().Slot(1, 1), pic);
    Click(form, "ClearAllButton");
    ASSERT_EQ(form.Cell(2, 1), "");

    // Clear ALL comes back whole, in the record and the grid.
    undo->undo();
    EXPECT_EQ(form.Cell(2, 1), "5");
    EXPECT_EQ(form.Project().Label(1, 1), "G");
    undo->undo();
    EXPECT_EQ(form.Project().Slot(1, 1), slotBefore);
    EXPECT_FALSE(SameRgb(Picture(form, "MsgImage1_0"), TTestWorkspace::Mark(64, 16, 7)));
    undo->undo();
    EXPECT_EQ(form.Project().DPSTYLE, 1);
    EXPECT_TRUE(Find<QAbstractButton>(form, "DpStyleRight")->isChecked());
    undo->undo();
    EXPECT_EQ(form.Project().DEF_FL, 0);
    EXPECT_TRUE(Find<QAbstractButton>(form, "FlStyle0")->isChecked());
    undo->undo();
    EXPECT_EQ(form.Cell(3, 2), "");
    EXPECT_EQ(form.Project().Label(1, 1), "");
    // Back to where the window started: nothing unsaved.
    undo->undo();
    EXPECT_EQ(form.Project().Label(0, 0), "");
    EXPECT_FALSE(form.HasUnsavedChanges());

    // Ctrl+Y and Ctrl+Z are the same steps.
    QApplication::setActiveWindow(&form);
    QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form.Cell(2, 1), "5");
    EXPECT_TRUE(form.HasUnsavedChanges());
    for (int i = 0; i < 5; ++i)
        undo->redo();
    EXPECT_EQ(form.Cell(2, 1), "");
    EXPECT_EQ(form.Project().Slot(1, 1), pic);
    EXPECT_TRUE(SameRgb(Picture(form, "MsgImage1_0"), TTestWorkspace::Mark(64, 16, 7)));
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form.Cell(2, 1), "5");

    // Logo choices and the version list too.
    ask.QueueFile("");
    Click(form, "LogoOn");
    EXPECT_EQ(form.Project().CUSLOGOENABLE, 1);
    undo->undo();
    EXPECT_EQ(form.Project().CUSLOGOENABLE, 0);
    EXPECT_TRUE(Find<QAbstractButton>(form, "LogoOff")->isChecked());
    auto* version = Find<QComboBox>(form, "VersionBox");
    ASSERT_GE(version->count(), 2);
    const int before = form.Config().VersionIndex;
    const int other = before == 0 ? 1 : 0;
    version->setCurrentIndex(other);
    emit version->activated(other);
    EXPECT_EQ(form.Config().VersionIndex, other);
    undo->undo();
    EXPECT_EQ(form.Config().VersionIndex, before);
    EXPECT_EQ(version->currentIndex(), before);
}

TEST(EditorGrid, CopyPasteDeleteAndFillAsASpreadsheet) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    TypeInCell(form, 2, 1, "B2");
    TypeInCell(form, 3, 1, "X");
    TypeInCell(form, 2, 2, "7");

    // Copy two by two as tab-separated text.
    SelectRange(form, 2, 1, 3, 2);
    GridKey(form, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "B2\tX\n7\t\n");

    // Paste from a spreadsheet at another place: one undo step.
    QApplication::clipboard()->setText("a\tb\tc\r\nd\te\tf\r\n");
    SelectRange(form, 2, 10, 2, 10);
    const int steps = form.UndoStack()->count();
    GridKey(form, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form.Cell(2, 10), "a");
    EXPECT_EQ(form.Cell(4, 11), "f");
    EXPECT_EQ(form.Project().Label(2, 10), "f");
    EXPECT_EQ(form.UndoStack()->count(), steps + 1);
    // Pasted past the last column: the extra field is dropped.
    SelectRange(form, 4, 20, 4, 20);
    QApplication::clipboard()->setText("p\tq");
    GridKey(form, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form.Cell(4, 20), "p");

    // Delete empties the selection only.
    SelectRange(form, 2, 10, 3, 11);
    GridKey(form, Qt::Key_Delete);
    EXPECT_EQ(form.Cell(2, 10), "");
    EXPECT_EQ(form.Cell(3, 11), "");
    EXPECT_EQ(form.Cell(4, 11), "f");
    form.UndoStack()->undo();
    EXPECT_EQ(form.Cell(3, 11), "e");

    // Fill a series from B2 down six rows, then fill down.
    SelectRange(form, 2, 1, 2, 6);
    GridKey(form, Qt::Key_L, Qt::ControlModifier);
    QStringList series;
    for (int r = 1; r <= 6; ++r)
        series << form.Cell(2, r);
    EXPECT_EQ(series.join(','), "B2,B1,G,1,2,3");
    EXPECT_EQ(form.Project().Label(0, 5), "3");
    SelectRange(form, 3, 1, 3, 4);
    GridKey(form, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(form.Cell(3, 4), "X");
}

TEST(EditorGrid, SeriesAndTableText) {
    EXPECT_EQ(TGridEditor::NextInSeries("B3"), "B2");
    EXPECT_EQ(TGridEditor::NextInSeries("b1"), "G");
    EXPECT_EQ(TGridEditor::NextInSeries("G"), "1");
    EXPECT_EQ(TGridEditor::NextInSeries("9"), "10");
    EXPECT_EQ(TGridEditor::NextInSeries("P07"), "P08");
    EXPECT_EQ(TGridEditor::NextInSeries("M"), "M");
    const auto rows = TGridEditor::ParseTable("1\t2\r\n\t3\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], QStringList({"", "3"}));
    EXPECT_TRUE(TGridEditor::ParseTable("").empty());
}

TEST(EditorGrid, TabMovesBetweenCellsAndLeavesAtTheEdges) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QTableWidget* grid = Grid(form);
    grid->setCurrentCell(0, 4);
    GridKey(form, Qt::Key_Tab);
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_EQ(grid->currentColumn(), 2);
    GridKey(form, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid->currentColumn(), 4);
    EXPECT_EQ(grid->currentRow(), 0);
    // The last cell: Tab leaves the grid.
    grid->setCurrentCell(255, 4);
    GridKey(form, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), grid);
    grid->setCurrentCell(0, 2);
    GridKey(form, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_NE(QApplication::focusWidget(), grid);
}

TEST(EditorKeys, ShortcutsDoWhatTheirButtonsDo) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QApplication::setActiveWindow(&form);
    // The captions read as specified; '&' only underlines the mnemonic.
    EXPECT_EQ(Find<QAbstractButton>(form, "LoadButton")->text().remove('&'), "Load");
    EXPECT_EQ(Find<QAbstractButton>(form, "MakeRomButton")->text().remove('&'), "MAKE ROM");
    EXPECT_EQ(Find<QAbstractButton>(form, "DateTimeSyncButton")->text().remove('&'),
              "Date-Time Sync.");

    ask.QueueFile("");
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    ask.QueueFile("");
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(ask.DialogFilters.size(), 2u);
    EXPECT_EQ(ask.DialogFilters[0], TProjectFile::Filter);
    EXPECT_EQ(ask.DialogFilters[1], TProjectFile::Filter);
    // Not connected: Ctrl+U opens nothing.
    QTest::keyClick(&form, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(ask.DialogFilters.size(), 2u);
    // Alt+L is "Load".
    EXPECT_EQ(Find<QAbstractButton>(form, "LoadButton")->shortcut().toString().toStdString(),
              "Alt+L");
    ask.QueueFile("");
    QTest::keyClick(&form, Qt::Key_L, Qt::AltModifier);
    // A mnemonic presses the button visibly: the click follows a moment later.
    EXPECT_TRUE(WaitFor([&] { return ask.DialogFilters.size() == 3u; }, 5000));
    // Ctrl+B is MAKE ROM: with no label it stops at its own box.
    QTest::keyClick(&form, Qt::Key_B, Qt::ControlModifier);
    EXPECT_FALSE(ask.Boxes.empty());
    // F1: the short help.
    QTest::keyClick(&form, Qt::Key_F1);
    auto* help = form.findChild<THelpDialog*>("HelpDialog");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    for (const char* key : {"Ctrl+O", "Ctrl+S", "Ctrl+B", "Ctrl+U", "Ctrl+Z", "Ctrl+Y", "F1"})
        EXPECT_TRUE(THelpDialog::HelpText().contains(key)) << key;
    help->close();
}

TEST(EditorLabels, CellsTheDisplayCannotShowAreTintedWithTheReason) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    {
        // Typed through an input method: the editor receives the text, then Enter.
        QTableWidget* grid = Grid(form);
        QApplication::setActiveWindow(&form);
        grid->setCurrentCell(0, 2);
        grid->editItem(grid->item(0, 2));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->setText(QString::fromUtf8("\xC3\xA9"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    TypeInCell(form, 2, 2, "ZQXW");
    TypeInCell(form, 2, 3, "12");
    QTableWidget* grid = Grid(form);
    EXPECT_EQ(grid->item(0, 2)->toolTip(), QString::fromUtf8("No glyph for \xC3\xA9 in Style 0"));
    EXPECT_TRUE(grid->item(0, 2)->data(Qt::BackgroundRole).isValid());
    // The reason, then the folders looked in: the workspace's, then the program's.
    EXPECT_EQ(grid->item(1, 2)->toolTip(),
              "No user bitmap ZQXW.bmp in Style 0\nLooked in " + ws.Path() +
                  "/DefaultImage2/UserDefine/Floor/Style0\nthen in " +
                  QString::fromStdString(form.Config().UserFloorStylePrefix()) + "0");
    EXPECT_FALSE(grid->item(2, 2)->data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(grid->item(2, 2)->toolTip().isEmpty());
    // The text stays as typed: the check never blocks.
    EXPECT_EQ(form.Project().Label(0, 1), "ZQXW");
    // A user bitmap of that name in the style's folder makes it fine.
    const QString folder = QString::fromStdString(form.Config().UserFloorStylePrefix()) + "0";
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::string roof = (folder + "/ZQXW.bmp").toStdString();
    ASSERT_TRUE(TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 64, 1), roof));
    TypeInCell(form, 2, 2, "zqxw");
    EXPECT_TRUE(grid->item(1, 2)->toolTip().isEmpty()) << grid->item(1, 2)->toolTip().toStdString();
    QFile::remove(QString::fromStdString(roof));
}

TEST(EditorFiles, DialogsStartAtTheLastFileAndRecentProjectsAreKept) {
    ForgetSettings();
    TTestWorkspace ws;
    TScriptedEditorPrompts ask;
    const std::string first = WriteProject(ws, "first.dcf", "1");
    {
        TForm1 form(&ask);
        form.show();
        form.resize(1100, 760);
        ask.QueueFile(first);
        Click(form, "LoadButton");
        ASSERT_EQ(form.Cell(2, 1), "1");
        // Save starts at the project just loaded.
        ask.QueueFile("");
        Click(form, "SaveButton");
        ASSERT_EQ(ask.Suggestions.size(), 2u);
        EXPECT_EQ(ask.Suggestions[0], "");
        EXPECT_EQ(QFileInfo(QString::fromStdString(ask.Suggestions[1])).canonicalFilePath(),
                  QFileInfo(QString::fromStdString(first)).canonicalFilePath());
        EXPECT_EQ(form.RecentProjects().size(), 1);
        EXPECT_TRUE(form.close());
    }
    // The next run remembers the project, the recent list and the window's size.
    TForm1 again(&ask);
    again.show();
    EXPECT_EQ(again.size(), QSize(1100, 760));
    ASSERT_EQ(again.RecentProjects().size(), 1);
    EXPECT_EQ(QFileInfo(again.RecentProjects()[0]).fileName(), "first.dcf");
    ask.QueueFile("");
    Click(again, "LoadButton");
    EXPECT_EQ(QFileInfo(QString::fromStdString(ask.Suggestions.back())).fileName(), "first.dcf");
}

TEST(EditorDrops, ProjectOnTheWindowRomNameOnMakeBitmapOnAPicture) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    TypeInCell(form, 2, 1, "9");
    const std::string proj = WriteProject(ws, "dropped.dcf", "B3");
    // Unsaved changes: asked first; Cancel keeps them.
    ask.QueueSaveAnswer(TAnswer::Cancel);
    EXPECT_TRUE(DropFile(&form, QString::fromStdString(proj)));
    EXPECT_EQ(form.Cell(2, 1), "9");
    ask.QueueSaveAnswer(TAnswer::Discard);
    EXPECT_TRUE(DropFile(&form, QString::fromStdString(proj)));
    EXPECT_EQ(form.Cell(2, 1), "B3");
    EXPECT_FALSE(DropFile(&form, ws.Path() + "/notes.txt"));

    EXPECT_TRUE(DropFile(Find<QWidget>(form, "MakePage"), ws.Path() + "/TOWER.BIN"));
    EXPECT_EQ(Find<QLineEdit>(form, "RomFileNameEdit")->text(), "TOWER.BIN");
    EXPECT_EQ(form.Project().ROMFILENAME, "TOWER.BIN");

    const std::string pic = ws.File("drop.bmp");
    TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 16, 3), pic);
    EXPECT_TRUE(DropFile(Find<QWidget>(form, "MsgImage2_1"), QString::fromStdString(pic)));
    EXPECT_EQ(form.Project().Slot(2, 3), pic);
    EXPECT_TRUE(SameRgb(Picture(form, "MsgImage2_1"), TTestWorkspace::Mark(64, 16, 3)));
    EXPECT_TRUE(DropFile(Find<QWidget>(form, "LogoImage"), QString::fromStdString(pic)));
    EXPECT_EQ(form.Project().TITLEFILENAME_C, pic);
    form.UndoStack()->undo();
    EXPECT_EQ(form.Project().TITLEFILENAME_C, "");
}

} // namespace

namespace {

TEST(EditorLayout, NarrowWindowScrollsAndTableButtonsStayOverTheirColumns) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    for (const QSize size : {QSize(640, 480), QSize(900, 650), QSize(1600, 1000)}) {
        form.resize(size);
        QCoreApplication::processEvents();
        // The page keeps its own minimum: what does not fit scrolls.
        auto* page = Find<QWidget>(form, "SetupPage");
        EXPECT_GE(page->width(), page->minimumSizeHint().width()) << size.width();
        EXPECT_GE(page->height(), page->minimumSizeHint().height()) << size.width();
        QTableWidget* grid = Grid(form);
        for (int t = 0; t < 3; ++t) {
            auto* radio =
                Find<QWidget>(form, QStringLiteral("CtblRadio%1").arg(t).toLatin1().constData());
            const int centre = radio->mapTo(page, radio->rect().center()).x();
            const int left =
                grid->viewport()->mapTo(page, QPoint(grid->columnViewportPosition(2 + t), 0)).x();
            EXPECT_GE(centre, left) << "CTBL" << t << " at width " << size.width();
            EXPECT_LT(centre, left + grid->columnWidth(2 + t))
                << "CTBL" << t << " at width " << size.width();
        }
    }
}

TEST(EditorLayout, PreviewKeepsItsRoomWhateverItsNote) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    auto* setup = Find<TSetupPage>(form, "SetupPage");
    auto* note = Find<QLabel>(form, "PreviewReason");
    // Where the preview and everything beside and below it stand.
    auto places = [&] {
        QCoreApplication::processEvents();
        QStringList out;
        for (const char* name : {"PreviewImage", "PreviewReason", "FlStyleBox", "DirStyleBox",
                                 "DpStyleBox", "ClearAllButton", "MessagePages"}) {
            const QWidget* w = Find<QWidget>(form, name);
            const QPoint at = w->mapTo(&form, QPoint(0, 0));
            out << QStringLiteral("%1 %2,%3 %4x%5")
                       .arg(name)
                       .arg(at.x())
                       .arg(at.y())
                       .arg(w->width())
                       .arg(w->height());
        }
        return out.join("; ").toStdString();
    };
    setup->ShowPreview(QImage(), QString());
    const std::string empty = places();
    const QString notes[] = {
        "No user bitmap ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOP.bmp in Style 0",
        "The label is longer than the display can show in one line; it is cut on the display, "
        "and the preview shows what the display will show after the cut",
        "Empty cell"};
    for (const QString& why : notes) {
        setup->ShowPreview(QImage(64, 64, QImage::Format_RGB32), why);
        EXPECT_EQ(places(), empty) << why.toStdString();
        EXPECT_EQ(setup->PreviewReason(), why);
        EXPECT_EQ(note->toolTip(), why);
        // What shows fits the line's room; cut text ends in "...".
        const QStringList lines = note->text().split('\n');
        EXPECT_LE(lines.size(), TSetupPage::PreviewReasonLines) << why.toStdString();
        for (const QString& line : lines)
            EXPECT_LE(note->fontMetrics().horizontalAdvance(line), note->width())
                << line.toStdString();
        if (note->text() != why) {
            EXPECT_TRUE(note->text().endsWith(QChar(0x2026))) << why.toStdString();
        }
    }
    EXPECT_EQ(note->text(), "Empty cell");
    // A long label typed and selected: the same places.
    TypeInCell(form, 2, 2, "ABCDEFGHIJKLMNOPQRSTUVWX");
    SelectCell(form, 2, 2);
    EXPECT_FALSE(setup->PreviewReason().isEmpty());
    EXPECT_EQ(places(), empty);
}

TEST(EditorPictures, WholeNumberZoomKeepsEveryPixelSquare) {
    // Screen pixels per picture pixel at 100, 125, 150 and 200 %.
    EXPECT_EQ(TPictureBox::DevicePixels(1, 1.0), 1);
    EXPECT_EQ(TPictureBox::DevicePixels(1, 1.25), 1);
    EXPECT_EQ(TPictureBox::DevicePixels(1, 1.5), 2);
    EXPECT_EQ(TPictureBox::DevicePixels(2, 1.5), 3);
    EXPECT_EQ(TPictureBox::DevicePixels(2, 1.25), 3);
    EXPECT_EQ(TPictureBox::DevicePixels(4, 1.25), 5);
    EXPECT_EQ(TPictureBox::DevicePixels(3, 2.0), 6);

    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    TypeInCell(form, 2, 1, "5");
    SelectCell(form, 3, 1);
    SelectCell(form, 2, 1);
    auto* preview = Find<TPictureBox>(form, "PreviewImage");
    const QImage picture = preview->Picture().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(picture.isNull());
    for (int zoom : {2, 3}) {
        preview->SetZoom(zoom);
        EXPECT_EQ(preview->size(), QSize(64 * zoom + 2, 64 * zoom + 2));
        const QImage shown = preview->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Every picture pixel is a zoom x zoom block of its own colour.
        bool same = true;
        for (int y = 0; y < 64 && same; ++y)
            for (int x = 0; x < 64 && same; ++x)
                for (int d = 0; d < zoom * zoom && same; ++d)
                    same = shown.pixel(1 + x * zoom + d % zoom, 1 + y * zoom + d / zoom) ==
                           picture.pixel(x, y);
        EXPECT_TRUE(same) << "zoom " << zoom;
    }
    preview->SetZoom(9);
    EXPECT_EQ(preview->Zoom(), 4);
    // The message pictures zoom together.
    Find<TPictureBox>(form, "MsgImage0_0")->SetZoom(2);
    EXPECT_EQ(Find<TPictureBox>(form, "MsgImage9_3")->Zoom(), 2);
    EXPECT_EQ(Find<TPictureBox>(form, "MsgName4")->Zoom(), 2);
    // Their check boxes stay above their columns.
    QCoreApplication::processEvents();
    auto* page = Find<QWidget>(form, "SetupPage");
    for (int k = 0; k < 4; ++k) {
        auto* box = Find<QWidget>(form, QStringLiteral("MsgCheck%1").arg(k).toLatin1().constData());
        auto* pic =
            Find<QWidget>(form, QStringLiteral("MsgImage0_%1").arg(k).toLatin1().constData());
        const int centre = box->mapTo(page, box->rect().center()).x();
        const int left = pic->mapTo(page, QPoint(0, 0)).x();
        EXPECT_GE(centre, left) << k;
        EXPECT_LT(centre, left + pic->width()) << k;
    }
}

TEST(EditorLink, PortListMarksAbsentDevicesAndShowsThePortInUse) {
    // COM names are the system's own on Windows: no ports folder can point COM 5
    // at a missing device, and a real COM 5 (another test's peer) must not be opened.
    if (RunningOnWindows())
        GTEST_SKIP() << "Windows has no per-user ports folder to point a COM name elsewhere";
    TTestWorkspace ws;
    LinkComPortTo(5, ws.Path() + "/no-such-device");
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.show();
    auto* com = Find<QComboBox>(form, "ComPortBox");
    // COM 5 names a missing device, COM 18 is beyond what the component opens.
    EXPECT_TRUE(com->itemData(4, Qt::ForegroundRole).isValid());
    EXPECT_TRUE(com->itemData(17, Qt::ForegroundRole).isValid());
    // A refused number: the list goes back to the port the component kept.
    com->setCurrentIndex(17);
    Click(form, "ConnectButton");
    TakeErrorBoxes();
    EXPECT_EQ(com->currentText(),
              QStringLiteral("COM %1").arg(
                  form.findChild<QObject*>("PcUart1")->property("UartPortNumber").toUInt()));
    EXPECT_NE(com->currentIndex(), 17);
    if (form.Link().Connected()) Click(form, "ConnectButton");
}

} // namespace

namespace {

// Ctrl+S writes the project file last loaded or saved, with no dialog and no
// question; "Save" and Ctrl+Shift+S still ask for the file.
TEST(EditorSaveInPlace, CtrlSWritesTheLastFileWithoutADialog) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QApplication::setActiveWindow(&form);
    const std::string path = WriteProject(ws, "tower.dcf", "1");
    ASSERT_TRUE(form.LoadProjectFile(path));
    TypeInCell(form, 2, 2, "2");
    ASSERT_TRUE(ModifiedShown(form));

    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(ask.DialogFilters.empty());
    EXPECT_TRUE(ask.Questions.empty());
    EXPECT_TRUE(ReadAll(path).contains("CODE_1=2\r\n"));
    EXPECT_FALSE(ModifiedShown(form));
    EXPECT_FALSE(form.HasUnsavedChanges());
    EXPECT_EQ(form.StatusText(0).toStdString(),
              "Project file: " +
                  QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString());

    // "Save" and Ctrl+Shift+S: the dialog, then the overwrite question.
    ask.QueueFile("");
    Click(form, "SaveButton");
    EXPECT_EQ(ask.DialogFilters.size(), 1u);
    ask.QueueFile(path);
    ask.QueueYesNo(false);
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ask.DialogFilters.size(), 2u);
    ASSERT_EQ(ask.Questions.size(), 1u);
    EXPECT_EQ(ask.Questions[0].first, "Overlay file");

    // The file gone: Ctrl+S asks for one again.
    TypeInCell(form, 2, 3, "3");
    ASSERT_TRUE(QFile::remove(QString::fromStdString(path)));
    const std::string elsewhere = ws.File("elsewhere.dcf");
    ask.QueueFile(elsewhere);
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ask.DialogFilters.size(), 3u);
    EXPECT_TRUE(ReadAll(elsewhere).contains("CODE_2=3\r\n"));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_FALSE(form.HasUnsavedChanges());
    // ... and from then on saves there in place.
    TypeInCell(form, 2, 4, "4");
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ask.DialogFilters.size(), 3u);
    EXPECT_TRUE(ReadAll(elsewhere).contains("CODE_3=4\r\n"));
}

// Save never writes over a file the program reads: the glyph library (also
// through a link), the configuration, a picture of the project.
TEST(EditorSaveInPlace, SaveRefusesAFileTheProgramReads) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    TypeInCell(form, 2, 1, "5");
    const std::string glb = ws.File("D510TK3.GLB");
    const QByteArray glbBefore = ReadAll(glb);
    ASSERT_FALSE(glbBefore.isEmpty());
    // QFile::link makes a shortcut file on Windows: the library is named there.
    const std::string link = RunningOnWindows() ? glb : ws.File("lib.dcf");
    if (!RunningOnWindows()) {
        ASSERT_TRUE(QFile::link(QString::fromStdString(glb), QString::fromStdString(link)));
    }

    ask.QueueFile(link);
    Click(form, "SaveButton");
    EXPECT_TRUE(ask.Questions.empty()) << "no overwrite question for a refused file";
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0].first, "File error");
    EXPECT_NE(ask.Boxes[0].second.find("glyph library"), std::string::npos) << ask.Boxes[0].second;
    EXPECT_NE(ask.Boxes[0].second.find(link), std::string::npos) << ask.Boxes[0].second;
    EXPECT_NE(ask.Boxes[0].second.find(form.Config().GlbPath()), std::string::npos);
    EXPECT_TRUE(LogText(form).contains("[Error] Can not write project file"));
    EXPECT_EQ(ReadAll(glb), glbBefore);
    EXPECT_TRUE(form.HasUnsavedChanges());
    EXPECT_FALSE(form.Project().SaveDone);

    ask.QueueFile(form.Config().IniPath());
    Click(form, "SaveButton");
    ASSERT_EQ(ask.Boxes.size(), 2u);
    EXPECT_NE(ask.Boxes[1].second.find("configuration file"), std::string::npos);

    const std::string pic = ws.File("fire.bmp");
    TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 16, 2), pic);
    const QByteArray picBefore = ReadAll(pic);
    ask.QueueFile(pic);
    emit Find<TPictureBox>(form, "MsgImage0_0")->DoubleClicked();
    ask.QueueFile(pic);
    Click(form, "SaveButton");
    ASSERT_EQ(ask.Boxes.size(), 3u);
    EXPECT_NE(ask.Boxes[2].second.find("lift-state picture"), std::string::npos);
    EXPECT_EQ(ReadAll(pic), picBefore);
    EXPECT_TRUE(ask.Questions.empty());

    // MAKE ROM's save step is refused the same way, and nothing is built.
    ask.QueueFile(glb);
    Click(form, "MakeRomButton");
    EXPECT_EQ(ReadAll(glb), glbBefore);
}

// Undoing Clear ALL shows the project file again as it was named.
TEST(EditorUndo, ClearAllUndoKeepsTheProjectFileInTheStatusBar) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    Click(form, "ClearAllButton");
    EXPECT_EQ(form.StatusText(0), "Project file: ");
    form.UndoStack()->undo();
    EXPECT_EQ(form.StatusText(0), "Project file:");

    const std::string path = WriteProject(ws, "tower.dcf", "B1");
    ASSERT_TRUE(form.LoadProjectFile(path));
    const QString named = form.StatusText(0);
    ASSERT_TRUE(named.endsWith("tower.dcf"));
    Click(form, "ClearAllButton");
    EXPECT_EQ(form.StatusText(0), "Project file: ");
    // The status bar says how to take it back, until it is.
    auto* note = Find<QLabel>(form, "StatusNote");
    EXPECT_EQ(note->text(), "Clear ALL emptied the code tables: Ctrl+Z brings them back");
    form.UndoStack()->undo();
    EXPECT_EQ(note->text(), "");
    EXPECT_EQ(form.StatusText(0), named);
    EXPECT_EQ(form.Cell(2, 1), "B1");
    form.UndoStack()->redo();
    EXPECT_EQ(form.StatusText(0), "Project file: ");
    EXPECT_EQ(form.Cell(2, 1), "");
}

// A recent project that was deleted is named in the box; nothing is asked
// about unsaved changes for it.
TEST(EditorFiles, PictureDialogsStartAtThePicturesNotTheWorkingFolder) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QApplication::setActiveWindow(&form);
    // Nothing chosen yet: a message picture's dialog starts at its own picture.
    auto* fireA = Find<TPictureBox>(form, "MsgImage0_2");
    ask.QueueFile("");
    fireA->setFocus();
    QTest::keyClick(fireA, Qt::Key_Return);
    ASSERT_FALSE(ask.Suggestions.empty());
    EXPECT_EQ(ask.Suggestions.back(), form.Project().Slot(0, 0));
    EXPECT_NE(QFileInfo(QString::fromStdString(ask.Suggestions.back())).absolutePath(), ws.Path());
    // The logo's, with the logo off, at the stock logo's folder.
    Find<QTabWidget>(form, "PageControl")->setCurrentIndex(1);
    ask.QueueFile("");
    Find<TPictureBox>(form, "LogoImage")->Activate();
    EXPECT_EQ(ask.Suggestions.back(), form.Config().ProgramDir + "DefaultImage2/Logo/");
    // Once a picture is chosen, every picture dialog starts there.
    const std::string pic = ws.File("mine.bmp");
    ASSERT_TRUE(TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 16, 4), pic));
    ask.QueueFile(pic);
    Find<TPictureBox>(form, "LogoImage")->Activate();
    ask.QueueFile("");
    fireA->Activate();
    EXPECT_EQ(ask.Suggestions.back(), pic);
}

TEST(EditorFiles, DeletedRecentProjectIsReportedByName) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    const std::string path = WriteProject(ws, "gone.dcf", "1");
    ASSERT_TRUE(form.LoadProjectFile(path));
    TypeInCell(form, 2, 2, "2");
    ASSERT_TRUE(QFile::remove(QString::fromStdString(path)));
    QMenu* menu = Find<QToolButton>(form, "RecentButton")->menu();
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    ASSERT_FALSE(menu->actions().isEmpty());
    menu->actions().first()->trigger();
    EXPECT_TRUE(ask.SaveQuestions.empty());
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0].first, "File error");
    const std::string full =
        QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    EXPECT_EQ(ask.Boxes[0].second, "Project file not found!!\n\n" + full + "\n\n");
    EXPECT_EQ(form.Cell(2, 2), "2");
}

} // namespace
