#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace DpuRom {

// Older names of the whole-file helpers, kept for the code that still uses
// them; each forwards to util/fileaccess.h, which new code includes instead.

// YVclUtil::ReadWholeFile: regular files only, never blocks. False with the
// reason in Error and Data emptied.
bool ReadWholeFile(const std::string& FileName, std::vector<uint8_t>& Data, std::string& Error);

// YVclUtil::WriteFileAtomically: refuses devices, FIFOs, sockets, folders and
// write-protected files; a link is followed. False with the reason in Error.
bool WriteFileAtomically(const std::string& FileName, const uint8_t* Data, size_t Size,
                         std::string& Error);

// True when FileName names an existing regular file (links followed); Size
// then gets its length. False (Size 0) for a missing file, a folder or a
// device, and when the status cannot be read.
bool RegularFileSize(const std::string& FileName, uint64_t& Size);

} // namespace DpuRom
