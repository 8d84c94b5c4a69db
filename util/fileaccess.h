#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The one place where the program touches the file system for whole files:
// status checks, whole-file reads that take regular files only, and atomic
// replacement that never goes over a device, a FIFO, a socket or a folder.
// fileaccess_unix.cpp holds the POSIX implementation and fileaccess_win.cpp the
// Windows one, behind the same declarations; fileaccess.cpp has what both share.
//
// Every failure leaves the operating system's reason in words ("No space left
// on device", "Is a directory") in the caller's Reason; the caller names the
// file in its own message.

namespace YVclUtil {

enum class TFileKind { Missing, Regular, Directory, Other };

struct TFileStatus {
    TFileKind Kind = TFileKind::Missing;
    uint64_t Size = 0;
    // Last write, seconds since 1970-01-01 UTC.
    int64_t ModifiedSecs = 0;
    // Which file this is: device and inode (on Windows the volume serial and
    // the file index). Two paths name the same file when both are equal.
    // Only QueryFileIdentity is sure to fill them.
    uint64_t Device = 0;
    uint64_t Inode = 0;
};

// Status of Path with symbolic links followed: kind, size and time; Device
// and Inode may stay 0 (Windows answers the rest from the path alone, where
// a file's identity costs a handle and a volume query, under Wine about a
// millisecond a file). A missing file is not a failure (Kind Missing, true);
// false only when the status cannot be read for another reason, which is
// left in Reason.
bool QueryFileStatus(const std::string& Path, TFileStatus& Status, std::string& Reason);

// As QueryFileStatus, with Device and Inode filled for an existing file.
bool QueryFileIdentity(const std::string& Path, TFileStatus& Status, std::string& Reason);

// True when Path names an existing regular file (links followed); Size, when
// given, then gets its length. False for a missing file, a folder or a device,
// and when the status cannot be read.
bool IsRegularFile(const std::string& Path, uint64_t* Size = nullptr);

// True when A and B both exist and name the same file once symbolic links
// are followed (same device and inode), however each is spelt. False when
// either is missing or its status cannot be read.
bool SameFile(const std::string& A, const std::string& B);

// The reason text for an errno value, as strerror words it.
std::string SystemReason(int ErrorNumber);

// Why Kind cannot be read as an input file: "" for a regular file,
// "No such file or directory", "Is a directory" or "Not a regular file".
std::string InputKindReason(TFileKind Kind);

// Reads the whole regular file at Path into Bytes. A folder, device, FIFO or
// socket is refused without blocking, and so is a file larger than MaxBytes
// ("File too large"). False with Bytes emptied and the reason in Reason.
// Read, when given, gets the status of the file as it was read (with its
// identity where that costs nothing more, on POSIX systems). Found, when
// given, is the status the caller has just asked (QueryFileStatus), which is
// then not asked again before the file is opened: anything but a regular file
// is refused as above, and the opened file's own status still decides, so a
// device put there since is refused unread.
bool ReadWholeFile(const std::string& Path, std::vector<uint8_t>& Bytes, std::string& Reason,
                   uint64_t MaxBytes = UINT64_MAX, TFileStatus* Read = nullptr,
                   const TFileStatus* Found = nullptr);

// The file an atomic write of Path replaces: symbolic links followed to their
// end, so the new file is written beside the link's target. False (Reason set)
// when that target exists and is not a regular file, when it is
// write-protected ("Permission denied"), or when a link cannot be followed.
bool ResolveOutputTarget(const std::string& Path, std::string& Target, std::string& Reason);

// Writes Size bytes to a temporary file beside the resolved target (named by
// TemporaryName, after removing the ones killed runs left there), flushes it
// to the disk and renames it over the target, so readers see the old file
// or the whole new one. A replaced file keeps its permission bits. False on
// any failure with the reason in Reason; the target is left untouched and no
// temporary file stays behind.
bool WriteFileAtomically(const std::string& Path, const void* Data, size_t Size,
                         std::string& Reason);

// Whether WriteChosenFile may write Path, a name the program chose itself:
// true when nothing is there or a regular file this process may replace.
// False, with the reason in Reason, for a symbolic link (never followed:
// "Is a symbolic link, which is not followed"), a folder, a FIFO, a device
// or a write-protected file.
bool CanWriteChosenFile(const std::string& Path, std::string& Reason);

// WriteFileAtomically for a name the program chose (a picture beside a
// project, a sheet in a folder), where a link planted under that name must
// not lead the write elsewhere: refused as CanWriteChosenFile says, before
// anything is written. False with the reason in Reason.
bool WriteChosenFile(const std::string& Path, const void* Data, size_t Size, std::string& Reason);

// Creates the new file Path in its folder and writes Size bytes to it, never
// following a symbolic link and never opening anything that is already there
// (a file, a link, a FIFO, a folder): for working files in a folder others may
// write to. False with the reason in Reason ("File exists" when the name is
// taken); a file this call created is removed again when the write fails.
bool CreateNewFile(const std::string& Path, const void* Data, size_t Size, std::string& Reason);

// Removes Path when it is a regular file, without following a symbolic link.
// True when it was removed or nothing is there; false, leaving it alone, when
// it is something else (a link: "Not a regular file", a folder, a FIFO, a
// device) or cannot be removed, with the reason in Reason.
bool RemoveRegularFile(const std::string& Path, std::string& Reason);

// Makes the folder Path and every missing folder above it. True when it
// exists as a folder afterwards; false with the reason in Reason ("Permission
// denied", "Not a directory" when a file stands in the way).
bool MakeFolders(const std::string& Path, std::string& Reason);

// MakeFolders, adding each folder it made to Created (outermost first), so
// a run that fails later can take them away again (RemoveMadeFolders).
bool MakeFolders(const std::string& Path, std::string& Reason, std::vector<std::string>& Created);

// Removes the folders of Created, innermost first, each only while it is
// empty; Created is emptied. Never fails: a folder something went into stays.
void RemoveMadeFolders(std::vector<std::string>& Created);

// Makes the one folder Path (its parent must exist). True when it exists as a
// folder afterwards; false with the reason in Reason ("No such file or
// directory" when the parent is missing, "Not a directory" when a file stands
// there).
bool MakeFolder(const std::string& Path, std::string& Reason);

// Whether the process with this id is gone (not merely another user's): the
// leftovers of a killed run may then be removed.
bool ProcessIsGone(long ProcessId);

// True when the entry Path itself (a symbolic link not followed) belongs to
// the user this process runs as; false when it belongs to another or its
// owner cannot be read.
bool OwnedByThisUser(const std::string& Path);

// Removes, in Folder ("" = the current folder; ending in a separator or
// not), the temporary files of WriteFileAtomically whose writing process is
// gone (a run that was killed). Returns how many went. Only what this
// program provably made goes: a regular file named as TemporaryName names
// them, owned by this user, last written over a minute ago. Temporaries of
// running processes, names without the program's own suffix (other programs
// end theirs in ".<digits>.<digits>.tmp" too), links and folders stay.
int RemoveStaleTemporaries(const std::string& Folder);

// RemoveStaleTemporaries the first time this process writes into Folder:
// the editor saves and builds into one folder all day, and a killed run's
// leftovers are there from before it started. Never fails.
void RemoveStaleTemporariesOnce(const std::string& Folder);

// The name WriteFileAtomically gives its temporary file for Base ("OUT.BIN")
// in process ProcessId, attempt Counter: ".OUT.BIN.<pid>.<counter>.dpu510.tmp".
std::string TemporaryName(const std::string& Base, long ProcessId, unsigned Counter);

} // namespace YVclUtil
