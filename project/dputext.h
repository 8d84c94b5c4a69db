#pragma once

#include <string>

namespace DpuProject {

// Text and path rules shared by the project file, the configuration and the
// ROM builder. Plain 8-bit strings, no encoding assumed.
namespace DpuText {

// Removes every byte <= 0x20 (blanks, tabs, line ends, other control bytes)
// from both ends; that is how text fields and grid cells are cleaned.
std::string Trim(const std::string& Text);

// Upper-cases the ASCII letters a..z; other bytes stay as they are.
std::string UpperCase(const std::string& Text);

// The file name and extension after the last '/' or '\' (and after a drive
// colon), so paths written on Windows ("C:\x\DefaultImage2\LiftState\A.bmp")
// give "A.bmp" here too. Empty when the path ends in a separator.
std::string ExtractFileNameAny(const std::string& Path);

// Replaces the extension (from the last '.' after the last separator) by
// NewExt, or appends NewExt when there is none. NewExt includes the dot.
std::string ChangeFileExt(const std::string& Path, const std::string& NewExt);

// Folder + '/' + Name, without doubling a trailing separator of Folder.
// An empty Folder gives Name alone.
std::string JoinPath(const std::string& Folder, const std::string& Name);

// True when Path names an existing regular file (false for an empty path).
bool FileExists(const std::string& Path);

// The absolute form of Path (against the current directory when relative).
std::string AbsolutePath(const std::string& Path);

// The code column text of a position code: "0A (10 )" for 10, "FF (255 )"
// for 255; empty outside 0..255. The grid and the build's log share it.
std::string CodeText(int Code);

// "yymmdd" of the file's last-write time; "000000" when Path names no file.
std::string FileDateText(const std::string& Path);

} // namespace DpuText

} // namespace DpuProject
