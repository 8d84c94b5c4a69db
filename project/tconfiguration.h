#pragma once

#include <string>
#include <vector>

namespace YVclUtil {
class Prompts;
class MessageSink;
} // namespace YVclUtil

namespace DpuProject {

// The configuration of this run: where things are, the contents of
// "ORVDVE510TK3.INI" (glyph library names, version list, selected version and
// its four values) and the library dates. Read by the project file, the ROM
// builder (CFI, IFI, DISPHV, ENCODE) and the upload (ENCODE).
//
// Callers rely on: the member names below; VersionIndex being the selected
// entry of the "Version:" list (-1 = none selected) while SelectedVersion is
// the section in force (they differ when the list holds the two built-in
// names: nothing selected, "ORV-INITDL" in force); the configuration file
// never being created or written by this class.
class TConfiguration {
public:
    static constexpr const char* FileName = "ORVDVE510TK3.INI";
    static constexpr const char* BuiltInVersion0 = "ORV-INITDL";
    static constexpr const char* BuiltInVersion1 = "ORV-PINITDL";
    // Where the package installs the data (stock bitmaps, configuration,
    // glyph library), relative to the programs' folder (lib/dpu510tk3 to
    // share/dpu510tk3): found from the program's own place, so an unpacked or
    // relocated installation finds its own data.
    static constexpr const char* InstalledDataFolder = "../../share/dpu510tk3";

    // The root of "DefaultImage2/", ending in '/': the executable's folder
    // (the build tree, the Windows zip), or the installed data folder when no
    // stock bitmaps stand beside the executable (see StockRoot).
    std::string ProgramDir;
    // The current directory when the window was made, without a trailing
    // separator: configuration file, glyph libraries, blank logo.
    std::string StartupDir;

    std::string GlbName = "D510TK3.GLB";
    std::string UbfGlbName;               // empty = no user glyph library
    std::vector<std::string> VersionList; // entries as read (untrimmed)
    int VersionIndex = -1;                // selected entry, -1 = none
    std::string SelectedVersion;          // section in force
    int CFI = 1;
    int IFI = 41;
    int DISPHV = 1;
    int ENCODE = 1;
    std::string GlbDate = "000000"; // "yymmdd"
    std::string UbfGlbDate;         // "yymmdd", "000000" or empty

    // Fills ProgramDir with StockRoot of the running executable's folder
    // (QCoreApplication, else YVclUtil::ExecutableFolder) and StartupDir from
    // the current directory.
    void SetDirectoriesFromProcess();

    // The root of "DefaultImage2/" for a program in ExecutableDir, ending in
    // '/': ExecutableDir when "DefaultImage2/LiftState" stands beside it,
    // else ExecutableDir + InstalledDataFolder when that holds one, else
    // ExecutableDir (whose stock bitmaps are then reported missing where
    // they are used). Never fails; "" gives "/".
    static std::string StockRoot(const std::string& ExecutableDir);

    // StartupDir + "/" + the name; a library name from a root ("/...",
    // "\\...", "C:...") stands for itself.
    std::string IniPath() const;
    std::string GlbPath() const;
    std::string UbfGlbPath() const;
    // StartupDir + "/SPACE_240x240.bmp".
    std::string BlankLogoPath() const;
    // ProgramDir + "DefaultImage2/UserDefine/Floor/Style": the installation's
    // user bitmaps (looked in after the start-up directory's, see below).
    std::string UserFloorStylePrefix() const;
    // Where the user bitmaps of floor style Style are looked for, in order:
    // StartupDir's "DefaultImage2/UserDefine/Floor/Style<n>" (the workspace,
    // writable by the user), then the same below ProgramDir. The preview,
    // the label check and MAKE ROM all look there (TLabelRule).
    std::vector<std::string> UserBitmapFolders(int Style) const;

    // Reads the configuration file (ITEM1..ITEM4096 at most, whatever VCN
    // says); a write-protected file reads as any other. Missing file: the
    // message "ORVDVE510TK3.INI file not found!!\n\n" (caption "Error"),
    // nothing changes, false. A file that is there but cannot be read (a
    // folder, no read permission): the engine's box, LastError and, when Log
    // is given, the log line "[Error] Can not read "<path>": <reason>";
    // nothing changes, false. An integer key holding text that is no number:
    // the conversion message is shown (caption "Error"), the values read
    // before it stay, false. A file that is not 8-bit text with CR LF or LF
    // line ends (UTF-16 or UTF-32, a zero byte, lines ended by CR alone):
    // "ORVDVE510TK3.INI: "<path>" <what it is>, not read" (caption "Error")
    // and in LastError; nothing changes, false. True when the file was read
    // whole.
    bool Read(YVclUtil::Prompts& Prompts, YVclUtil::MessageSink* Log = nullptr);

    // Makes Index (into VersionList) the selected entry, reads its section
    // (trimmed name) and makes it the version in force. An index outside the
    // list is ignored (false). Panel 1 of Sink, when given, shows
    // "Version: " + the version.
    bool SelectVersion(int Index, YVclUtil::MessageSink* Sink = nullptr);

    // Reads CFI (default 0), IFI (41), DISPHV (1), ENCODE (1) from [Section]
    // and makes Section the version in force. A missing file or section gives
    // the defaults, except that the two built-in names fall back to the
    // built-in values (CFI 48) when the file has no such section. A number
    // that does not convert keeps the values read before it, a file that is
    // not 8-bit text (see Read) keeps all four; false then and the reason in
    // LastError.
    bool ReadVersionSection(const std::string& Section);

    // The entry that a project's CODEVER selects: the last entry whose trimmed
    // text equals CodeVer, else the first; -1 when the list is empty.
    int FindVersionForCodeVer(const std::string& CodeVer) const;
    // CODEVER as saved: the selected entry's trimmed text, empty when none.
    std::string CodeVerToSave() const;

    // The grid's column 0 text for Code (0..63; empty for others): Gray
    // table when the version in force is "ORV-GRY", else plain.
    const std::string& BitPattern(int Code) const;

    // Text of the last failure of Read/ReadVersionSection.
    std::string LastError;
};

} // namespace DpuProject
