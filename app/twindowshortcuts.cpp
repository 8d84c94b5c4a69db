#include "app/twindowshortcuts.h"

#include "app/guarded.h"
#include "app/tmakepage.h"
#include "app/tsetuppage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QTabWidget>
#include <QUndoStack>
#include <QWidget>

TWindowShortcuts::TWindowShortcuts(QWidget& Window) : QObject(&Window), FWindow(Window) {
    // A field asks for a key before any shortcut sees it (the shortcut
    // override): the question is answered here for the window's own keys,
    // before it reaches the field.
    qApp->installEventFilter(this);
}

void TWindowShortcuts::Attach(QWidget& Window, YVclUtil::Prompts& Ask, QTabWidget* Pages,
                              TSetupPage* Setup, TMakePage* Make, QUndoStack* Undo,
                              std::function<void()> Help, std::function<void()> SaveInPlace) {
    auto* keeper = new TWindowShortcuts(Window);
    auto key = [&Window, &Ask, keeper](const QKeySequence& Keys, const char* Name, auto Action,
                                       bool Wins = true) {
        auto* shortcut = new QShortcut(Keys, &Window);
        shortcut->setObjectName(QString::fromLatin1(Name));
        QObject::connect(shortcut, &QShortcut::activated, &Window, Guarded(Ask, Action));
        if (Wins) keeper->FWinning << Keys;
    };
    // Each Make-page key presses its button, so the rules of the button (a
    // disabled upload while not connected) hold for the key as well.
    // The Setup page's buttons are always enabled: the keys ask for the same.
    key(QKeySequence(Qt::CTRL | Qt::Key_O), "LoadShortcut",
        [Setup] { emit Setup->LoadRequested(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_S), "SaveShortcut", [SaveInPlace] { SaveInPlace(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), "SaveAsShortcut",
        [Setup] { emit Setup->SaveRequested(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_B), "MakeRomShortcut", [Make] { Make->PressMakeRom(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_U), "UploadShortcut", [Make] { Make->PressUpload(); });
    key(
        QKeySequence(Qt::CTRL | Qt::Key_Z), "UndoShortcut", [Undo] { Undo->undo(); }, false);
    key(
        QKeySequence(Qt::CTRL | Qt::Key_Y), "RedoShortcut", [Undo] { Undo->redo(); }, false);
    key(
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), "RedoShortcut2", [Undo] { Undo->redo(); },
        false);
    key(QKeySequence(Qt::Key_F1), "HelpShortcut", [Help] { Help(); });
    auto turn = [Pages](int By) {
        const int n = Pages->count();
        if (n > 0) Pages->setCurrentIndex((Pages->currentIndex() + By + n) % n);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_PageDown), "NextPageShortcut", [turn] { turn(1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_PageUp), "PreviousPageShortcut", [turn] { turn(-1); });
}

bool TWindowShortcuts::eventFilter(QObject* Watched, QEvent* Event) {
    const bool press = Event->type() == QEvent::KeyPress;
    if ((!press && Event->type() != QEvent::ShortcutOverride) || !Watched->isWidgetType())
        return QObject::eventFilter(Watched, Event);
    // Only fields of this window: a dialog over it keeps its keys.
    auto* widget = static_cast<QWidget*>(Watched);
    if (widget->window() != &FWindow) return QObject::eventFilter(Watched, Event);
    auto* key = static_cast<QKeyEvent*>(Event);
    if (press) {
        // A Ctrl+Tab no control used has come up to a page control, which
        // would switch pages with it: it moves to the next control instead.
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (!tab || !(key->modifiers() & Qt::ControlModifier) || !qobject_cast<QTabWidget*>(widget))
            return QObject::eventFilter(Watched, Event);
        const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        QWidget* focus = QApplication::focusWidget();
        if (focus && focus->window() == &FWindow) {
            QKeyEvent plain(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab,
                            back ? Qt::ShiftModifier : Qt::NoModifier);
            QCoreApplication::sendEvent(focus, &plain);
        }
        Event->accept();
        return true;
    }
    const QKeySequence pressed(key->keyCombination());
    // Left unaccepted and kept from the field, the key goes to the shortcut.
    for (const QKeySequence& keys : FWinning)
        if (pressed.matches(keys) == QKeySequence::ExactMatch) {
            Event->ignore();
            return true;
        }
    return QObject::eventFilter(Watched, Event);
}
