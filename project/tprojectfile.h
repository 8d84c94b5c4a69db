#pragma once

#include <string>

namespace YVclUtil {
class Prompts;
class MessageSink;
} // namespace YVclUtil

namespace DpuProject {

class TProject;
class TConfiguration;
class TGlyphSource;

// "Save", "Load" and "Clear ALL" of the project file (".dcf", an INI file).
// Every question, message, file dialog and the busy cursor go through
// Prompts; status panel 0 through Sink. Nothing here touches a widget: after
// Load, Save or ClearAll the window shows the record (TProject) and the
// configuration (version list, VersionIndex, bit-pattern column) again and
// re-shows the 40 lift-state pictures and the logo.
//
// Callers rely on: Save() returning the done mark (also kept in
// TProject::SaveDone) that Make ROM inspects; a failure never being followed
// by the success status text; the file on disk staying as it was when a save
// fails; Load leaving the project untouched on a format error.
class TProjectFile {
public:
    static constexpr const char* Filter = "DVE510TK3 Project File (*.dcf)|*.dcf";
    static constexpr const char* DefaultExt = "dcf";
    static constexpr const char* CodeName = "DVE510TK3";
    static constexpr const char* FileVersion = "1.0";

    enum class TLoadResult {
        Loaded,          // everything applied
        Cancelled,       // the open dialog was cancelled; nothing changed
        NotFound,        // no such file; nothing changed
        OpenError,       // there but unreadable (a folder, a FIFO, no read permission):
                         // the "TYIniFile" error box, the reason in LastError and the
                         // log; nothing changed
        FormatError,     // CODENAME missing or not "DVE510TK3", a control byte in the
                         // file, or more sections (64) or keys (4096) than a project
                         // holds (the reason is logged); nothing changed
        ConversionError, // an integer key held no number; what came before it stays
    };

    TProjectFile(TProject& Project, TConfiguration& Config, TGlyphSource& Library,
                 YVclUtil::Prompts& Prompts, YVclUtil::MessageSink& Sink);

    // "Save": save dialog, the overwrite question for an existing file, then
    // SaveTo. Returns (and stores in Project.SaveDone) whether the file was
    // written; false on cancel, on "No" and on a write failure.
    bool Save();

    // Writes the project to Path without asking (the tool, and Save after its
    // questions): an existing file is read first and keeps its other
    // sections; the result replaces it whole (SaveToString, then the atomic
    // writer). Updates ROMFILENAME to the name written, DEF_MSG to the
    // normalised mask of the boxes, and status panel 0 on success. A failure
    // leaves an existing file unchanged (also a write-protected one, a folder
    // or a FIFO) and creates none; it shows the "TYIniFile" error box once,
    // sets LastError, logs "[Error] Can not write project file "<path>":
    // <reason>" and returns false (Project.SaveDone false).
    bool SaveTo(const std::string& Path);

    // "Load": open dialog, then LoadFrom.
    TLoadResult Load();

    // Reads the project at Path once, whole, and parses those bytes into the
    // record (read-only: a write-protected file loads; nothing is created),
    // reloads the glyph library and applies the version named by CODEVER. Reasons go to Prompts
    // (caption "Error" / "File error") and LastError; a file that cannot be read and a library that
    // cannot be reloaded also get an "[Error] ..." log line naming the file and the system's
    // reason.
    TLoadResult LoadFrom(const std::string& Path);

    // "Clear ALL": empties the 768 labels, resets the used-character flags,
    // status panel 0 := "Project file: ". Nothing else changes.
    void ClearAll();

    // Full path of the last file saved or loaded (empty before the first).
    std::string LastPath;
    // Why the last Save/SaveTo/Load/LoadFrom failed.
    std::string LastError;

    // Where a logo named in a project file is found here: the path itself,
    // else the same file name beside the project file, else in the start-up
    // directory; empty when none exists.
    std::string ResolveLogoPath(const std::string& Named, const std::string& ProjectPath) const;
    // The "[Warning] Customer logo ... --> logo off !!!" line a load logs when
    // the logo it names is found nowhere (missing, or not a regular file).
    static std::string LogoMissingLine(const std::string& Named);

private:
    TProject& Project;
    TConfiguration& Config;
    TGlyphSource& Library;
    YVclUtil::Prompts& Ask;
    YVclUtil::MessageSink& Sink;
};

} // namespace DpuProject
