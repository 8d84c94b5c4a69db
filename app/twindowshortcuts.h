#pragma once

#include "util/prompts.h"

#include <functional>

class QUndoStack;
class QWidget;
class TMakePage;
class TSetupPage;

// The main window's keys: Ctrl+O/B/U press Load, Make ROM and Upload,
// Ctrl+S saves in place, Ctrl+Shift+S presses Save, Ctrl+Z/Y (and
// Ctrl+Shift+Z) undo and redo, F1 opens the help.
class TWindowShortcuts {
public:
    // Adds the shortcuts (named "...Shortcut") to Window; each runs guarded
    // through Ask, so a failure is a message box and nothing is returned.
    static void Attach(QWidget& Window, YVclUtil::Prompts& Ask, TSetupPage* Setup, TMakePage* Make,
                       QUndoStack* Undo, std::function<void()> Help,
                       std::function<void()> SaveInPlace);
};
