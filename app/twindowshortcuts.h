#pragma once

#include "util/prompts.h"

#include <QKeySequence>
#include <QList>
#include <QObject>

#include <functional>

class QTabWidget;
class QUndoStack;
class QWidget;
class TMakePage;
class TSetupPage;

// The main window's keys: Ctrl+O/B/U press Load, Make ROM and Upload,
// Ctrl+S saves in place, Ctrl+Shift+S presses Save, Ctrl+Z/Y (and
// Ctrl+Shift+Z) undo and redo, Ctrl+PgDown/PgUp switch between the window's
// pages, F1 opens the help. Ctrl+Tab (Ctrl+Shift+Tab) has one meaning
// everywhere: the next (previous) control, even out of a control that keeps
// Tab for itself, such as the grid; it never switches a page.
//
// The window's own command keys win over a field that would take the same
// key for itself (Ctrl+U is "delete the line" in a text field on Linux):
// in the window they always mean the command. Undo and redo stay the field's
// while a field edits text, as in any text field.
class TWindowShortcuts : public QObject {
    Q_OBJECT
public:
    // Adds the shortcuts (named "...Shortcut") to Window; each runs guarded
    // through Ask, so a failure is a message box and nothing is returned.
    // The keys' keeper is a child of Window and lives as long as it does.
    // Pages are the window's pages the Ctrl+PgDown/PgUp keys switch.
    static void Attach(QWidget& Window, YVclUtil::Prompts& Ask, QTabWidget* Pages,
                       TSetupPage* Setup, TMakePage* Make, QUndoStack* Undo,
                       std::function<void()> Help, std::function<void()> SaveInPlace);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    explicit TWindowShortcuts(QWidget& Window);

    QWidget& FWindow;
    // The keys no field of the window may keep for itself.
    QList<QKeySequence> FWinning;
};
