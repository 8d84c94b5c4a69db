#pragma once

#include "app/trememberingprompts.h"
#include "util/prompts.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace DpuProject {
class TConfiguration;
class TProject;
class TProjectFile;
} // namespace DpuProject

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
    // Log is the message log; Save is the window's Save action. All must
    // outlive the session.
    TProjectSession(QMainWindow& Window, YVclUtil::Prompts& Plain, TRememberingPrompts& Remember,
                    YVclUtil::MessageSink& Log, std::function<void()> Save);

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
    // How the window's Save finds its file.
    enum class TSaveMode {
        AskForFile, // the save dialog, then the overwrite question ("Save", MAKE ROM)
        InPlace,    // the project file last saved or loaded, when it still exists
                    // (Ctrl+S); otherwise as AskForFile
    };
    // The window's Save of Project through File. Refuses a target that is the
    // same file as one the program reads while the project is open
    // (ProgramInputs): nothing written, a "File error" box and an "[Error]"
    // log line naming both. On success nothing is unsaved any more and the
    // file becomes the most recent project. Returns whether the file was
    // written (also in Project.SaveDone); the reason of a failure is in
    // File.LastError.
    bool SaveProject(DpuProject::TProjectFile& File, DpuProject::TProject& Project,
                     const DpuProject::TConfiguration& Config, TSaveMode Mode);
    // A file the program reads, and what it is ("glyph library").
    struct TInput {
        std::string What;
        std::string Path;
    };
    // Every file read while Project is open: the configuration file, the
    // glyph libraries, the blank logo, the customer logo and the 40
    // lift-state pictures (those that are set).
    static std::vector<TInput> ProgramInputs(const DpuProject::TProject& Project,
                                             const DpuProject::TConfiguration& Config);

    // Pushes one undo step; Redo runs at once (the edit may already be done).
    void Record(const QString& What, std::function<void()> Redo, std::function<void()> Undo);

    // Most recent first, at most MaxRecent full paths.
    QStringList RecentProjects() const { return FRecent; }
    // Remembers a project just loaded or saved: recent list and dialog start.
    // An empty path is ignored.
    void NoteProjectFile(const std::string& Path);
    // Fills Menu with the recent projects; choosing one calls Open (guarded).
    // A project that no longer exists is reported by name ("Project file not
    // found!!") and Open is not called.
    void FillRecentMenu(QMenu* Menu, std::function<void(const std::string&)> Open);

    // The process's user settings; tests point XDG_CONFIG_HOME elsewhere.
    static std::unique_ptr<QSettings> OpenSettings();
    // Reading missing settings leaves the defaults; neither reports failure.
    void LoadSettings();
    void SaveSettings() const;

private:
    void UpdateModified();
    // False (reported) when Target is one of the program's inputs.
    bool RefuseInput(DpuProject::TProjectFile& File, const DpuProject::TProject& Project,
                     const DpuProject::TConfiguration& Config, const std::string& Target);

    QMainWindow& FWindow;
    YVclUtil::Prompts& FPlain;
    TRememberingPrompts& FRemember;
    YVclUtil::MessageSink& FLog;
    std::function<void()> FSave;
    QUndoStack* FUndo = nullptr;
    bool FOtherChanges = false;
    QLabel* FModified = nullptr;
    QStringList FRecent;
};
