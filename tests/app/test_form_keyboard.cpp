// The window by keyboard alone: its command keys from every field, and the
// ways through the grid, the file list, the message pages and the pictures.
#include "app/thelpdialog.h"
#include "apphelpers.h"

#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>

namespace {

TMakePage* MakePage(TForm1& Form) {
    return Find<TMakePage>(Form, "MakePage");
}

// A field that keeps Ctrl+U for itself, as text fields do under X11 (delete
// the line): it claims the key when asked before any shortcut and empties
// itself when the key comes. The offscreen platform's fields claim nothing.
class TLineKiller : public QObject {
public:
    using QObject::QObject;
    int Kills = 0;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        const bool over = Event->type() == QEvent::ShortcutOverride;
        if (!over && Event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(Event);
        if (key->keyCombination() != QKeyCombination(Qt::ControlModifier, Qt::Key_U)) return false;
        if (over) {
            Event->accept();
            return true;
        }
        ++Kills;
        if (auto* edit = qobject_cast<QLineEdit*>(Watched)) edit->clear();
        return true;
    }
};

// Every visible control of the current tab that the keyboard can reach.
QList<QWidget*> KeyboardFields(TForm1& Form) {
    QList<QWidget*> fields;
    for (QWidget* w : Form.findChildren<QWidget*>())
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            !w->focusProxy())
            fields << w;
    return fields;
}

TEST(Shortcuts, CtrlUFromEveryFieldAsksForTheUpload) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QApplication::setActiveWindow(&form);
    TMakePage* make = MakePage(form);
    ASSERT_NE(make, nullptr);
    // Only the request is looked at here: the link's answer is its own test.
    QObject::disconnect(make, &TMakePage::UploadRequested, nullptr, nullptr);
    QSignalSpy upload(make, &TMakePage::UploadRequested);
    make->ShowLinkControls(true, true, true);
    auto* tabs = Find<QTabWidget>(form, "PageControl");
    const QString romName = Find<QLineEdit>(form, "RomFileNameEdit")->text();
    TLineKiller killer;
    int pressed = 0;
    for (int tab = 0; tab < 2; ++tab) {
        tabs->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        const QList<QWidget*> fields = KeyboardFields(form);
        ASSERT_GT(fields.size(), 5);
        for (QWidget* field : fields) {
            field->setFocus();
            ASSERT_EQ(QApplication::focusWidget(), field) << field->objectName().toStdString();
            field->installEventFilter(&killer);
            QTest::keyClick(field, Qt::Key_U, Qt::ControlModifier);
            EXPECT_EQ(upload.count(), ++pressed) << field->objectName().toStdString();
        }
    }
    // The grid's own editor, mid-edit.
    tabs->setCurrentIndex(0);
    auto* grid = Find<QTableWidget>(form, "CodeGrid");
    grid->setCurrentCell(3, 2);
    grid->editItem(grid->item(3, 2));
    auto* cellEditor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(cellEditor, nullptr);
    cellEditor->installEventFilter(&killer);
    QTest::keyClicks(cellEditor, "7F");
    QTest::keyClick(cellEditor, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(upload.count(), ++pressed);
    EXPECT_EQ(cellEditor->text(), "7F");
    // No field lost its text to the key.
    EXPECT_EQ(killer.Kills, 0);
    EXPECT_EQ(Find<QLineEdit>(form, "RomFileNameEdit")->text(), romName);
    EXPECT_FALSE(form.HasUnsavedChanges());
}

TEST(Shortcuts, UndoInATextFieldStaysTheFields) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QApplication::setActiveWindow(&form);
    TypeInCell(form, 2, 2, "5");
    Find<QTabWidget>(form, "PageControl")->setCurrentIndex(1);
    auto* id = Find<QLineEdit>(form, "IdCodeEdit");
    id->setFocus();
    id->clear();
    QTest::keyClicks(id, "AB");
    QTest::keyClick(id, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(id->text(), "AB");
    // The label typed before is still there: the window's undo was not run.
    EXPECT_EQ(form.Project().Label(0, 1), "5");
}

TEST(Keyboard, TabComesIntoTheGridOnTheDefaultTablesColumn) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QApplication::setActiveWindow(&form);
    auto* grid = Find<QTableWidget>(form, "CodeGrid");
    Find<QAbstractButton>(form, "CtblRadio1")->click();
    // From the page tabs, the control before the grid.
    QWidget* before = Find<QTabWidget>(form, "PageControl")->tabBar();
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(grid->currentColumn(), 3);
    EXPECT_EQ(grid->currentRow(), 0);
    // Typing goes into that cell.
    QTest::keyClicks(QApplication::focusWidget(), "7");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Project().Label(1, 0), "7");
    // A cell of a fixed column clicked earlier is left the same way, in its
    // row; so it is coming back with Shift+Tab.
    grid->setCurrentCell(40, 0);
    QWidget* after = Find<QWidget>(form, "CtblRadio1");
    after->setFocus();
    QTest::keyClick(after, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(grid->currentColumn(), 3);
    EXPECT_EQ(grid->currentRow(), 40);
}

TEST(Keyboard, EnterOrSpaceChoosesTheRomFileArrowsOnlyMove) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    ASSERT_FALSE(ws.Write("A.BIN", "a").empty());
    ASSERT_FALSE(ws.Write("B.BIN", "b").empty());
    Find<QTabWidget>(form, "PageControl")->setCurrentIndex(1);
    QApplication::setActiveWindow(&form);
    auto* files = Find<QListWidget>(form, "FileList");
    auto* name = Find<QLineEdit>(form, "RomFileNameEdit");
    files->setFocus();
    ASSERT_TRUE(WaitFor([&] { return files->count() == 2; }));
    files->setCurrentRow(0);
    QTest::keyClick(files, Qt::Key_Down);
    EXPECT_EQ(files->currentRow(), 1);
    EXPECT_EQ(name->text(), "DPU510TK3.BIN");
    QTest::keyClick(files, Qt::Key_Return);
    EXPECT_EQ(name->text(), "B.BIN");
    QTest::keyClick(files, Qt::Key_Up);
    QTest::keyClick(files, Qt::Key_Space);
    EXPECT_EQ(name->text(), "A.BIN");
    EXPECT_EQ(form.Project().ROMFILENAME, "A.BIN");
}

TEST(Keyboard, CtrlTabMovesOnCtrlPageSwitchesArrowsMoveAmongPictures) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QApplication::setActiveWindow(&form);
    auto* tabs = Find<QTabWidget>(form, "PageControl");
    auto* messages = Find<QTabWidget>(form, "MessagePages");
    // Ctrl+Tab from a picture of the message pages: the next control, no page switched.
    auto* fire = Find<TPictureBox>(form, "MsgImage0_1");
    fire->setFocus();
    QTest::keyClick(fire, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(form, "MsgImage0_2"));
    EXPECT_EQ(messages->currentIndex(), 0);
    EXPECT_EQ(tabs->currentIndex(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                    Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), fire);
    EXPECT_EQ(messages->currentIndex(), 0);
    // Arrows: the neighbours on the page, no further than its edges.
    const std::pair<Qt::Key, const char*> moves[] = {
        {Qt::Key_Right, "MsgImage0_2"}, {Qt::Key_Down, "MsgImage1_2"},
        {Qt::Key_Left, "MsgImage1_1"},  {Qt::Key_Up, "MsgImage0_1"},
        {Qt::Key_Up, "MsgImage0_1"},
    };
    for (const auto& [key, to] : moves) {
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), to);
    }
    // Up and Down on the page tabs switch the message pages.
    QTabBar* pageTabs = messages->tabBar();
    pageTabs->setFocus();
    QTest::keyClick(pageTabs, Qt::Key_Down);
    EXPECT_EQ(messages->currentIndex(), 1);
    QTest::keyClick(pageTabs, Qt::Key_Up);
    EXPECT_EQ(messages->currentIndex(), 0);
    // Ctrl+PgDown and Ctrl+PgUp switch Setup and Make, from anywhere.
    QTest::keyClick(pageTabs, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(messages->currentIndex(), 0);
    auto* log = Find<QWidget>(form, "MessageLog");
    log->setFocus();
    QTest::keyClick(log, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_NE(QApplication::focusWidget(), log);
    EXPECT_EQ(tabs->currentIndex(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST(Keyboard, HelpNamesEveryKeyAndShowsAllItsLines) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    THelpDialog* help = form.ShowHelp();
    for (const char* key : {"Ctrl+Tab", "Ctrl+PgDown", "Enter", "Shift+Enter", "Arrow keys",
                            "Enter or Space", "Up, Down"})
        EXPECT_TRUE(THelpDialog::HelpText().contains(key)) << key;
    auto* text = help->findChild<QPlainTextEdit*>("HelpText");
    ASSERT_NE(text, nullptr);
    ASSERT_TRUE(WaitFor([&] { return help->isVisible(); }));
    QCoreApplication::processEvents();
    // Every line shows, unless the screen is too small for the whole text
    // (the offscreen screen under Wine, whose monospace font is wider): the
    // panel then takes what the screen leaves and scrolls.
    const QSize room = form.screen()->availableGeometry().size() - QSize(40, 120);
    if (text->minimumHeight() < room.height()) {
        EXPECT_EQ(text->verticalScrollBar()->maximum(), 0);
    }
    if (text->minimumWidth() < room.width()) {
        EXPECT_EQ(text->horizontalScrollBar()->maximum(), 0);
    }
    // Within the screen the window opens on.
    EXPECT_TRUE(form.screen()->availableGeometry().contains(help->frameGeometry()))
        << help->frameGeometry().width() << "x" << help->frameGeometry().height();
}

} // namespace
