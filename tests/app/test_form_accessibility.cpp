// The window through the keyboard and a screen reader's view of it: every
// control named by its caption or the label beside it, label cells read with
// their table and code, pictures reached and opened from the keyboard, Enter
// and Ctrl+Tab in the grid, Alt keys in the unsaved-changes question.
#include "app/tqtprompts.h"
#include "apphelpers.h"
#include "tscriptededitorprompts.h"
#include "support/ttestworkspace.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSettings>
#include <QTabWidget>
#include <QUndoStack>

using namespace DpuProject;

namespace {

// What a screen reader calls the control. Qt on Linux reads a combo box by
// its value and names it only through the label it is the buddy of (the
// Labelled-by relation): without one, the combo box is nameless here.
// (Elsewhere its accessible name is read; that is checked apart.)
QString SpokenName(QAccessibleInterface* Iface) {
    if (Iface->role() == QAccessible::ComboBox) {
        for (const auto& [label, relation] : Iface->relations(QAccessible::Label))
            if (qobject_cast<QLabel*>(label->object())) return label->text(QAccessible::Name);
        return QString();
    }
    return Iface->text(QAccessible::Name);
}

QString SpokenName(QWidget* Widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(Widget);
    return iface ? SpokenName(iface) : QString();
}

// Walks the accessibility tree under Root and lists every visible focusable
// element without a name (by its object's name, or its role).
void Nameless(QAccessibleInterface* Root, QSet<QAccessibleInterface*>& Seen, QStringList& Out) {
    if (!Root || Seen.contains(Root)) return;
    Seen.insert(Root);
    const QAccessible::State state = Root->state();
    if (state.focusable && !state.invisible && SpokenName(Root).trimmed().isEmpty()) {
        const QObject* object = Root->object();
        Out << (object && !object->objectName().isEmpty()
                    ? object->objectName()
                    : QStringLiteral("role %1").arg(static_cast<int>(Root->role())));
    }
    for (int i = 0; i < Root->childCount(); ++i)
        Nameless(Root->child(i), Seen, Out);
}

QStringList NamelessControls(TForm1& Form) {
    QSet<QAccessibleInterface*> seen;
    QStringList out;
    Nameless(QAccessible::queryAccessibleInterface(&Form), seen, out);
    return out;
}

TEST(Accessibility, NoFocusableControlOfEitherTabIsNameless) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    auto* tabs = Find<QTabWidget>(form, "PageControl");
    auto* messages = Find<QTabWidget>(form, "MessagePages");
    ASSERT_TRUE(tabs && messages);
    // Hidden controls are left out of the tree's view, so each page is shown in turn.
    for (int page = 0; page < 2; ++page) {
        messages->setCurrentIndex(page);
        tabs->setCurrentIndex(0);
        QCoreApplication::processEvents();
        EXPECT_EQ(NamelessControls(form).join(',').toStdString(), "")
            << "Setup, message page " << page;
    }
    tabs->setCurrentIndex(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(NamelessControls(form).join(',').toStdString(), "") << "Make";
}

TEST(Accessibility, ControlsAreNamedByTheirCaptionOrTheLabelBesideThem) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    auto* tabs = Find<QTabWidget>(form, "PageControl");
    const std::pair<const char*, const char*> setup[] = {
        {"CodeGrid", "Code tables"},
        {"CtblRadio1", "Default code table CTBL1"},
        {"MsgCheck0", "Use message column 1 (slot B)"},
        {"MsgCheck2", "Use message column 3 (slot A)"},
        {"VersionBox", "Version:"},
        {"FlStyle2", "FL Style 2"},
        {"DirStyle2", "DIR Style 2"},
        {"DpStyleLeft", "Left"},
        {"ClearAllButton", "Clear ALL"},
        {"MsgImage0_2", "Fire, slot A"},
        {"MsgImage9_3", "Independent service, slot C"},
    };
    tabs->setCurrentIndex(0);
    for (const auto& [object, name] : setup)
        EXPECT_EQ(SpokenName(Find<QWidget>(form, object)).toStdString(), name);
    const std::pair<const char*, const char*> make[] = {
        {"RomFileNameEdit", "ROM Filename"},
        {"IdCodeEdit", "ID Code (4 bytes)"},
        {"ComPortBox", "COM port:"},
        {"PowerSavingBox", "LCD BL Power saving:"},
        {"NodeAddressBox", "Node Address:"},
        {"LogoSecondsBox", "seconds"},
        {"DriveList", "Drive:"},
        {"MsgPos0", "Massage position 1"},
        {"MsgPos2", "Massage position 3"},
        {"ProgressBar", "Upload progress"},
        {"DirectoryList", "Folders"},
        {"FileList", "ROM files (*.BIN)"},
        {"MessageLog", "Message box"},
        {"LogoImage", "Customer logo"},
        {"MakeRomButton", "MAKE ROM"},
    };
    tabs->setCurrentIndex(1);
    for (const auto& [object, name] : make)
        EXPECT_EQ(SpokenName(Find<QWidget>(form, object)).toStdString(), name);
    // On every platform the combo boxes carry their label as their own name too.
    EXPECT_EQ(Find<QWidget>(form, "NodeAddressBox")->accessibleName(), "Node Address");
    EXPECT_EQ(Find<QWidget>(form, "LogoSecondsBox")->accessibleName(), "Customer logo seconds");
}

TEST(Accessibility, LabelCellsReadTheirTableCodeAndLabel) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    TypeInCell(form, 3, 11, "LOBBY"); // CTBL1, code 10
    auto* grid = Find<QTableWidget>(form, "CodeGrid");
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    ASSERT_TRUE(table && table->tableInterface());
    auto cell = [&](int Row, int Col) {
        QAccessibleInterface* c = table->tableInterface()->cellAt(Row, Col);
        return c ? c->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(cell(10, 3), "CTBL1, code 0A (10): LOBBY");
    EXPECT_EQ(cell(255, 4), "CTBL2, code FF (255): empty");
    EXPECT_EQ(cell(0, 1), "Code 00 (0)");
    // Undo: the name follows the text.
    form.UndoStack()->undo();
    EXPECT_EQ(cell(10, 3), "CTBL1, code 0A (10): empty");
}

TEST(Accessibility, PicturesAreReachedAndOpenedFromTheKeyboard) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    QApplication::setActiveWindow(&form);
    const std::string pic = ws.File("fire.bmp");
    ASSERT_TRUE(TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 16, 4), pic));

    // State 0, column 2 (slot A): Tab reaches it, Space opens the dialog.
    auto* fireA = Find<TPictureBox>(form, "MsgImage0_2");
    auto* fireB = Find<TPictureBox>(form, "MsgImage0_0");
    ASSERT_TRUE(fireA && fireB);
    EXPECT_NE(fireA->focusPolicy() & Qt::TabFocus, 0);
    fireB->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), fireA);
    ask.QueueFile(pic);
    QTest::keyClick(fireA, Qt::Key_Space);
    EXPECT_EQ(form.Project().Slot(0, 0), pic);
    EXPECT_TRUE(ask.Files.empty());
    // Enter does the same; a cancelled dialog changes nothing.
    ask.QueueFile("");
    QTest::keyClick(fireA, Qt::Key_Return);
    EXPECT_EQ(form.Project().Slot(0, 0), pic);
    EXPECT_TRUE(ask.Files.empty());

    // The logo on the Make tab, with Enter.
    Find<QTabWidget>(form, "PageControl")->setCurrentIndex(1);
    auto* logo = Find<TPictureBox>(form, "LogoImage");
    ASSERT_NE(logo, nullptr);
    EXPECT_NE(logo->focusPolicy() & Qt::TabFocus, 0);
    logo->setFocus();
    ask.QueueFile(pic);
    QTest::keyClick(logo, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form.Project().TITLEFILENAME_C, pic);
    EXPECT_TRUE(ask.Files.empty());
    // Pictures that open nothing (the style pickers) stay out of the Tab order.
    EXPECT_EQ(Find<QWidget>(form, "FlStyleImage0")->focusPolicy(), Qt::NoFocus);
}

TEST(Accessibility, EnterCommitsAndMovesDownCtrlTabLeavesTheGrid) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    auto* grid = Find<QTableWidget>(form, "CodeGrid");
    TypeInCell(form, 2, 5, "4");
    EXPECT_EQ(form.Project().Label(0, 4), "4");
    EXPECT_EQ(grid->currentRow(), 5);
    EXPECT_EQ(grid->currentColumn(), 2);
    // Enter on a cell not being edited moves too; Shift+Enter goes back up.
    QApplication::setActiveWindow(&form);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(grid->currentRow(), 6);
    QTest::keyClick(grid, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(grid->currentRow(), 5);
    // The last row stays where it is.
    grid->setCurrentCell(255, 3);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(grid->currentRow(), 255);

    // Ctrl+Tab leaves from the middle of the grid, forwards and backwards,
    // without switching the tab.
    auto* tabs = Find<QTabWidget>(form, "PageControl");
    grid->setCurrentCell(100, 3);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_NE(QApplication::focusWidget(), grid);
    EXPECT_EQ(tabs->currentIndex(), 0);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_NE(QApplication::focusWidget(), grid);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(grid->currentRow(), 100);
}

TEST(Accessibility, PicturesThatOpenSomethingAreButtonsAScreenReaderPresses) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    auto pressable = [&](const QString& Name) {
        QAccessibleInterface* iface =
            QAccessible::queryAccessibleInterface(Find<QWidget>(form, Name.toLatin1().constData()));
        const bool press = iface && iface->actionInterface() &&
                           iface->actionInterface()->actionNames().contains(
                               QAccessibleActionInterface::pressAction());
        return iface && iface->role() == QAccessible::Button && press;
    };
    QStringList notButtons;
    for (int s = 0; s < TProject::StateCount; ++s)
        for (int k = 0; k < 4; ++k)
            if (!pressable(QStringLiteral("MsgImage%1_%2").arg(s).arg(k)))
                notButtons << QStringLiteral("MsgImage%1_%2").arg(s).arg(k);
    if (!pressable(QStringLiteral("LogoImage"))) notButtons << "LogoImage";
    EXPECT_EQ(notButtons.join(',').toStdString(), "");
    // Pictures that only show are pictures, with nothing to press.
    for (const char* name : {"PreviewImage", "FlStyleImage0", "MsgName0"}) {
        QAccessibleInterface* iface =
            QAccessible::queryAccessibleInterface(Find<QWidget>(form, name));
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), QAccessible::Graphic) << name;
        EXPECT_FALSE(pressable(QString::fromLatin1(name))) << name;
    }
    // Pressed, a message picture opens the picture dialog as Enter does.
    const std::string pic = ws.File("alarm.bmp");
    ASSERT_TRUE(TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 16, 4), pic));
    ask.QueueFile(pic);
    QAccessibleInterface* alarmA =
        QAccessible::queryAccessibleInterface(Find<QWidget>(form, "MsgImage2_2"));
    alarmA->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(form.Project().Slot(2, 0), pic);
    EXPECT_TRUE(ask.Files.empty());
}

TEST(Accessibility, RadiosAreToldApartAndContainersTakeNoFocus) {
    TShownEditor editor;
    auto& [ws, ask, form] = editor;
    // No two choices read alike, wherever they are.
    QStringList names;
    for (QRadioButton* radio : form.findChildren<QRadioButton*>())
        names << SpokenName(radio);
    const QSet<QString> distinct(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), names.size()) << names.join(',').toStdString();
    // "Right" and "Left" are read with the title of their group.
    for (const char* name : {"DpStyleRight", "DpStyleLeft"}) {
        QStringList groups;
        QAccessibleInterface* iface =
            QAccessible::queryAccessibleInterface(Find<QWidget>(form, name));
        for (const auto& [label, relation] : iface->relations(QAccessible::Label))
            groups << label->text(QAccessible::Name);
        EXPECT_TRUE(groups.join(',').contains("Display style"))
            << name << ": " << groups.join(',').toStdString();
    }
    // A container that takes the focus shows no focus of its own: only
    // controls take it, never what holds them.
    auto* tabs = Find<QTabWidget>(form, "PageControl");
    for (int page = 0; page < 2; ++page) {
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
        auto takesTab = [](const QWidget* W) {
            return W->isVisible() && W->isEnabled() && (W->focusPolicy() & Qt::TabFocus);
        };
        QStringList containers;
        for (QWidget* w : form.findChildren<QWidget*>()) {
            if (!takesTab(w)) continue;
            for (QWidget* inner : w->findChildren<QWidget*>())
                if (takesTab(inner)) {
                    containers << (w->accessibleName().isEmpty() ? w->objectName()
                                                                 : w->accessibleName());
                    break;
                }
        }
        EXPECT_EQ(containers.join(',').toStdString(), "") << "page " << page;
    }
}

TEST(Accessibility, SaveQuestionAnswersWithAltKeys) {
    TQtPrompts prompts;
    const std::pair<Qt::Key, TSaveQuestion::TAnswer> keys[] = {
        {Qt::Key_S, TSaveQuestion::TAnswer::Save},
        {Qt::Key_D, TSaveQuestion::TAnswer::Discard},
        {Qt::Key_C, TSaveQuestion::TAnswer::Cancel},
    };
    for (const auto& [key, answer] : keys) {
        QStringList captions;
        bool pressed = false;
        QElapsedTimer since;
        // The box is modal: the key is pressed from the event loop it runs. A
        // mnemonic presses its button visibly, the click follows a moment later.
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&, key = key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            if (pressed) {
                // A key that did nothing: the box is closed as Cancel (and Save
                // or Discard fail).
                if (since.elapsed() > 5000) box->reject();
                return;
            }
            for (QAbstractButton* b : box->buttons())
                captions << b->text();
            QApplication::setActiveWindow(box);
            pressed = true;
            since.start();
            QTest::keyClick(box, key, Qt::AltModifier);
        });
        timer.start();
        const TSaveQuestion::TAnswer got = prompts.AskSaveChanges("Unsaved changes", "Save?");
        timer.stop();
        EXPECT_TRUE(pressed);
        EXPECT_EQ(got, answer) << "Alt+" << static_cast<char>(key);
        EXPECT_TRUE(captions.contains("&Save") && captions.contains("&Discard") &&
                    captions.contains("&Cancel"))
            << captions.join(',').toStdString();
    }
}

} // namespace
