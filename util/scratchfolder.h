#pragma once

#include <string>

// Where a check puts its many short-lived scratch files. scratchfolder_unix.cpp
// prefers a memory-backed folder, scratchfolder_win.cpp takes the user's
// temporary folder.

namespace YVclUtil {

// An existing folder (UTF-8, '/' separators, no trailing separator) to make
// scratch folders in: on Linux the session's runtime folder or the
// shared-memory folder when writable, so neither the flush nor the removal of
// the files waits for a disk; otherwise, and on Windows, the temporary folder.
// Never empty: the temporary folder is the answer when nothing better is there.
std::string ScratchParentFolder();

} // namespace YVclUtil
