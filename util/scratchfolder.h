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

// This program's own folder under ScratchParentFolder(), made when missing:
// on Linux "dpu510tk3-<uid>", private to the user (a folder of that name that
// is a link or another user's is not taken); on Windows "dpu510tk3". Empty
// when it cannot be made or is not this user's.
std::string ProgramScratchFolder();

// A QTemporaryDir template ("...XXXXXX") for a scratch folder of this process
// inside ProgramScratchFolder(), named "<pid>-<Stem>-XXXXXX", so a run killed
// before it removed its folder leaves it where the next run finds it: the
// first call of a process removes the folders of processes that are gone.
// Directly under ScratchParentFolder() when the program's folder is refused.
std::string ScratchFolderTemplate(const std::string& Stem);

} // namespace YVclUtil
