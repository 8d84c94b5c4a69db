#pragma once

#include "app/trememberingprompts.h"
#include "util/prompts.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

class QLabel;
class QMainWindow;
class QMenu;
class QSettings;
class QStatusBar;
class QUndoStack;

// What the window keeps about the project beyond the record: the undo
// history, changes made outside it, the "Unsaved changes" indicator, the
// Save/Discard/Cancel guard and the settings kept between runs (recent
// projects, last files, window place).
class TProjectSession : public QObject {
public:
    static constexpr int MaxRecent = 8;

    // Plain answers the Save/Discard/Cancel question (through TSaveQuestion
    // when it offers three answers); Remember holds the dialogs' last files;
    // Save is the window's Save action. All must outlive the session.
    TProjectSession(QMainWindow& Window, YVclUtil::Prompts& Plain, TRememberingPrompts& Remember,
                    std::function<void()> Save);

    // Adds the (hidden) "Unsaved changes" indicator to Bar.
    void AddIndicator(QStatusBar* Bar);
    QUndoStack* UndoStack() const { return FUndo; }
    // True while the project has changes that no Save has written.
    bool HasUnsavedChanges() const;
    // A change outside the undo history (ROM file name, ID code).
    void MarkOtherChange();
    // After a Save that wrote the file or a Load: nothing unsaved.
    void MarkSaved();
    // Asks Save/Discard/Cancel when there are unsaved changes; true when the
    // caller may go on (saved, discarded, or nothing to lose), false when
    // cancelled or the save did not write the file.
    bool ConfirmUnsaved();
    // Pushes one undo step; Redo runs at once (the edit may already be done).
    void Record(const QString& What, std::function<void()> Redo, std::function<void()> Undo);

    // Most recent first, at most MaxRecent full paths.
    QStringList RecentProjects() const { return FRecent; }
    // Remembers a project just loaded or saved: recent list and dialog start.
    // An empty path is ignored.
    void NoteProjectFile(const std::string& Path);
    // Fills Menu with the recent projects; choosing one calls Open (guarded).
    void FillRecentMenu(QMenu* Menu, std::function<void(const std::string&)> Open);

    // The process's user settings; tests point XDG_CONFIG_HOME elsewhere.
    static std::unique_ptr<QSettings> OpenSettings();
    // Reading missing settings leaves the defaults; neither reports failure.
    void LoadSettings();
    void SaveSettings() const;

private:
    void UpdateModified();

    QMainWindow& FWindow;
    YVclUtil::Prompts& FPlain;
    TRememberingPrompts& FRemember;
    std::function<void()> FSave;
    QUndoStack* FUndo = nullptr;
    bool FOtherChanges = false;
    QLabel* FModified = nullptr;
    QStringList FRecent;
};
