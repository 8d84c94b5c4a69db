#pragma once

#include <string>
#include <vector>

namespace DpuProject {

// The per-user workspace of the editor: a folder of the user's own that
// holds copies of the installation's configuration file, glyph library,
// blank logo and sample project, so the editor has a start-up directory the
// user may write to (projects, ROM images, user bitmaps) that is not the
// program's folder.
//
// A file of the workspace is replaced only while it still holds exactly what
// was copied there (so a newer installation reaches it); a file the user
// changed is never touched, and one the user deleted stays deleted. What was
// copied is remembered, with a checksum, in the workspace's ManifestName.
// On Linux the launcher script dpu510tk3-workspace keeps the same rules.
class TUserWorkspace {
public:
    static constexpr const char* ManifestName = ".dpu510tk3-installed";

    // The installation files copied into a workspace, in order.
    static const std::vector<std::string>& FileNames();

    // The folder the editor moves to when it is started in its own program
    // folder: on Windows "<local application data>/dpu510tk3/workspace" of
    // the user's profile. "" where the workspace is kept by a launcher
    // instead (Linux), and when the profile's folder cannot be found.
    static std::string DefaultFolder();

    // Makes Workspace (and the folders above it) and brings the files of
    // FileNames() from InstallDir into it by the rules above. An installation
    // file that is missing is skipped with a line in Warnings ("[Warning]
    // NAME is missing from DIR"). False when the workspace cannot be made or
    // its manifest cannot be written, or a copy fails; the reason is in
    // LastError and the files copied before stay.
    bool Prepare(const std::string& InstallDir, const std::string& Workspace);

    // Where the editor starts: when the process's current directory is
    // ProgramDir itself (a double-click in the file manager starts a program
    // there), or OpeningFiles is true and the current directory holds no
    // configuration file (a double-click on a project kept elsewhere starts
    // the editor in the project's folder), and Workspace is not "",
    // Workspace is prepared from ProgramDir and made the current directory;
    // otherwise the current directory is left as it is (a shortcut's "Start
    // in", a terminal, a folder made a workspace of its own). Returns the
    // current directory afterwards. When the workspace cannot be used the
    // current directory stays, and LastError says why.
    std::string EnterStartupFolder(const std::string& ProgramDir, const std::string& Workspace,
                                   bool OpeningFiles = false);

    // The folder holding the installation's copies of FileNames() for a
    // program in ProgramDir, ending in '/': the package's share folder
    // (ProgramDir + TConfiguration::InstalledDataFolder) or, as the Windows
    // zip has it, ProgramDir itself, whichever holds the configuration file
    // (so the share folder itself, as TConfiguration::StockRoot may give it,
    // answers as itself). "" when neither does (a build tree): there is then
    // nothing to name.
    static std::string InstallationFolder(const std::string& ProgramDir);

    // The one line start-up adds after its "... not found!!" message when the
    // current folder lacks the configuration file or the glyph library: where
    // the installed ones are and how to get a workspace. Never fails.
    static std::string NoWorkspaceHint(const std::string& ProgramDir);

    std::vector<std::string> Warnings;
    std::string LastError;
};

} // namespace DpuProject
