#pragma once

#include <string>

// The folder of the running executable, found without an application object
// (the tool's early paths, tests). programdir_unix.cpp asks /proc/self/exe,
// programdir_win.cpp GetModuleFileNameW.

namespace YVclUtil {

// The executable's folder in UTF-8 with '/' separators (as Qt writes paths on
// both systems, "C:/Tools/dpu" on Windows) and no trailing separator, except
// for a root ("/", "C:/"). Empty when the system cannot tell.
std::string ExecutableFolder();

} // namespace YVclUtil
