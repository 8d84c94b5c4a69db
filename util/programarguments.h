#pragma once

#include <string>
#include <vector>

// The command line as UTF-8 text, the encoding every path of the core is in.
// programarguments_unix.cpp takes main's argv as it is; programarguments_win.cpp
// reads the wide command line, since main's argv on Windows holds the ANSI
// code page's bytes and loses every character outside it.

namespace YVclUtil {

// The program's arguments, the program's own name first, in UTF-8. Argc and
// Argv are main's; on Windows they are the answer only when the wide command
// line cannot be read.
std::vector<std::string> ProgramArguments(int Argc, const char* const* Argv);

} // namespace YVclUtil
