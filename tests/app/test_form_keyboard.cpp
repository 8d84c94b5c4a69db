// The window by keyboard alone: its command keys from every field, and the
// ways through the grid, the file list, the message pages and the pictures.
#include "apphelpers.h"

#include <QKeyEvent>
#include <QSignalSpy>
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

} // namespace
