#pragma once

// The program's command line as UTF-8 text, the encoding every path and
// message of the program uses. commandline_unix.cpp and commandline_win.cpp
// hold the two implementations.

#include <string>
#include <vector>

namespace YVclUtil {

// The arguments after the program name. On Unix these are argv as given. On
// Windows argv is in the ANSI code page, which cannot name every file (and
// whose bytes read as UTF-8 name none outside ASCII), so the wide command
// line is taken instead; should it be unavailable, argv is used as given.
std::vector<std::string> ProgramArguments(int argc, char** argv);

} // namespace YVclUtil
