#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace DpuRom {

// Reads the whole file into Data. False when it cannot be opened or read;
// the reason is left in Error and Data is emptied.
bool ReadWholeFile(const std::string& FileName, std::vector<uint8_t>& Data, std::string& Error);

// Writes Size bytes through a temporary file in the target's folder that is
// renamed over FileName, so the target is either the old file or the complete
// new one. False on any failure, with the reason in Error; nothing half-written
// stays behind.
bool WriteFileAtomically(const std::string& FileName, const uint8_t* Data, size_t Size,
                         std::string& Error);

// True when FileName names an existing regular file (links followed), as the
// project's file-exists check decides it, from a single status call; Size then
// gets its length. False for a missing file, a folder or a device, and when
// the status cannot be read.
bool RegularFileSize(const std::string& FileName, uint64_t& Size);

} // namespace DpuRom
