#include "app/twindowshortcuts.h"

#include "app/guarded.h"
#include "app/tmakepage.h"
#include "app/tsetuppage.h"

#include <QPushButton>
#include <QShortcut>
#include <QUndoStack>

void TWindowShortcuts::Attach(QWidget& Window, YVclUtil::Prompts& Ask, TSetupPage* Setup,
                              TMakePage* Make, QUndoStack* Undo, std::function<void()> Help,
                              std::function<void()> SaveInPlace) {
    auto key = [&Window, &Ask](const QKeySequence& Keys, const char* Name, auto Action) {
        auto* shortcut = new QShortcut(Keys, &Window);
        shortcut->setObjectName(QString::fromLatin1(Name));
        QObject::connect(shortcut, &QShortcut::activated, &Window, Guarded(Ask, Action));
    };
    // Each key does what its button does, so the rules of the button (a
    // disabled upload while not connected) hold for the key as well.
    auto press = [](QAbstractButton* Button) {
        return [Button] {
            if (Button->isEnabled()) Button->click();
        };
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_O), "LoadShortcut", press(Setup->LoadButton()));
    key(QKeySequence(Qt::CTRL | Qt::Key_S), "SaveShortcut", [SaveInPlace] { SaveInPlace(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), "SaveAsShortcut",
        press(Setup->SaveButton()));
    key(QKeySequence(Qt::CTRL | Qt::Key_B), "MakeRomShortcut", [Make] { Make->PressMakeRom(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_U), "UploadShortcut", [Make] { Make->PressUpload(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Z), "UndoShortcut", [Undo] { Undo->undo(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Y), "RedoShortcut", [Undo] { Undo->redo(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), "RedoShortcut2", [Undo] { Undo->redo(); });
    key(QKeySequence(Qt::Key_F1), "HelpShortcut", [Help] { Help(); });
}
