#include "util/fileaccess.h"

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <cwctype>

// Paths arrive as UTF-8 and are handed to the wide functions, so names outside
// the ANSI code page work. Reasons are worded like the POSIX side where the
// same thing went wrong ("No such file or directory", "Is a directory"), so
// callers and their tests see one set of texts; anything else takes the
// system's own message.

namespace YVclUtil {

namespace {

std::wstring Wide(const std::string& Text) {
    if (Text.empty()) return std::wstring();
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), out.data(), n);
    return out;
}

// Path made absolute against the current directory; Path itself when that fails.
std::wstring FullPath(const std::wstring& Path) {
    const DWORD n = ::GetFullPathNameW(Path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return Path;
    std::wstring out(n, L'\0');
    const DWORD got = ::GetFullPathNameW(Path.c_str(), n, out.data(), nullptr);
    if (got == 0 || got >= n) return Path;
    out.resize(got);
    return out;
}

std::string WindowsReason(DWORD Error) {
    switch (Error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return SystemReason(ENOENT);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return SystemReason(EACCES);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "No space left on device";
    default:
        break;
    }
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, Error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason =
        n && text ? std::string(text, n) : "Windows error " + std::to_string(Error);
    if (text) ::LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

// Opens Path for status questions only (no read or write access), folders
// included. INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenForStatus(const std::wstring& Path) {
    return ::CreateFileW(Path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

TFileKind KindOf(HANDLE File, const BY_HANDLE_FILE_INFORMATION* Info) {
    if (::GetFileType(File) != FILE_TYPE_DISK)
        return TFileKind::Other; // a COM port, a pipe, the console, NUL
    if (Info && (Info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return TFileKind::Directory;
    return TFileKind::Regular;
}

// True for the names Windows gives to devices rather than files: "\\.\COM3",
// "\\?\..." and a last component such as "COM3", "NUL" or "con.txt", which
// name the device in any folder.
bool IsDevicePath(const std::wstring& Path) {
    if (Path.size() >= 4 && (Path[0] == L'\\' || Path[0] == L'/') &&
        (Path[1] == L'\\' || Path[1] == L'/') && (Path[2] == L'.' || Path[2] == L'?'))
        return true;
    const size_t slash = Path.find_last_of(L"/\\:");
    std::wstring stem = Path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    stem = stem.substr(0, stem.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        c = static_cast<wchar_t>(::towupper(c));
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$" ||
        stem == L"CONOUT$")
        return true;
    return stem.size() == 4 &&
           (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'0' && stem[3] <= L'9';
}

bool IsAbsence(DWORD Error) {
    return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND;
}

std::string FolderOf(const std::string& Path) {
    const size_t slash = Path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

// Writes all Size bytes to File: 0, or the system's error code of the first
// failure (a write that makes no progress counts as a full disk).
DWORD WriteAll(HANDLE File, const void* Data, size_t Size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(Data);
    size_t done = 0;
    while (done < Size) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(Size - done, 1u << 30));
        DWORD n = 0;
        if (!::WriteFile(File, bytes + done, want, &n, nullptr)) return ::GetLastError();
        if (n == 0) return ERROR_DISK_FULL;
        done += n;
    }
    return 0;
}

} // namespace

std::string SystemReason(int ErrorNumber) {
    switch (ErrorNumber) {
    case ENOENT:
        return "No such file or directory";
    case EACCES:
        return "Permission denied";
    case EISDIR:
        return "Is a directory";
    case ENOSPC:
        return "No space left on device";
    case EFBIG:
        return "File too large";
    case ENOMEM:
        return "Cannot allocate memory";
    default:
        break;
    }
    const char* text = std::strerror(ErrorNumber);
    return text ? std::string(text) : std::string("Unknown error");
}

bool QueryFileIdentity(const std::string& Path, TFileStatus& Status, std::string& Reason) {
    Status = TFileStatus();
    if (Path.empty()) return true;
    const HANDLE file = OpenForStatus(Wide(Path));
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (IsAbsence(error)) return true;
        Reason = WindowsReason(error);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool haveInfo = ::GetFileInformationByHandle(file, &info) != 0;
    Status.Kind = KindOf(file, haveInfo ? &info : nullptr);
    if (haveInfo && Status.Kind != TFileKind::Other) {
        Status.Size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        // 100 ns ticks since 1601-01-01 to seconds since 1970-01-01.
        const uint64_t ticks = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                               info.ftLastWriteTime.dwLowDateTime;
        Status.ModifiedSecs = static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
    }
    if (haveInfo) {
        Status.Device = info.dwVolumeSerialNumber;
        Status.Inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    ::CloseHandle(file);
    return true;
}

bool QueryFileStatus(const std::string& Path, TFileStatus& Status, std::string& Reason) {
    Status = TFileStatus();
    if (Path.empty()) return true;
    const std::wstring wide = Wide(Path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    // Devices, links and junctions, and every failure but absence, are left
    // to the handle, which sees what they lead to.
    if (!IsDevicePath(wide)) {
        if (::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
            if (!(data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))) {
                const bool folder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
                Status.Kind = folder ? TFileKind::Directory : TFileKind::Regular;
                if (!folder)
                    Status.Size =
                        (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
                const uint64_t ticks =
                    (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime;
                Status.ModifiedSecs = static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
                return true;
            }
        } else if (IsAbsence(::GetLastError())) {
            return true;
        }
    }
    return QueryFileIdentity(Path, Status, Reason);
}

bool ReadWholeFile(const std::string& Path, std::vector<uint8_t>& Bytes, std::string& Reason,
                   uint64_t MaxBytes, TFileStatus* Read, const TFileStatus* Found) {
    Bytes.clear();
    // The status check comes first: opening a COM port for reading would
    // already take it from its owner.
    TFileStatus status;
    if (Found)
        status = *Found;
    else if (!QueryFileStatus(Path, status, Reason))
        return false;
    if (status.Kind != TFileKind::Regular) {
        Reason = InputKindReason(status.Kind);
        return false;
    }
    const HANDLE file =
        ::CreateFileW(Wide(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Reason = WindowsReason(::GetLastError());
        return false;
    }
    bool ok = ::GetFileType(file) == FILE_TYPE_DISK;
    if (!ok) Reason = InputKindReason(TFileKind::Other);
    LARGE_INTEGER size{};
    if (ok && !::GetFileSizeEx(file, &size)) {
        Reason = WindowsReason(::GetLastError());
        ok = false;
    }
    if (ok && static_cast<uint64_t>(size.QuadPart) > MaxBytes) {
        Reason = SystemReason(EFBIG);
        ok = false;
    }
    if (ok) {
        try {
            Bytes.resize(static_cast<size_t>(size.QuadPart));
        } catch (const std::bad_alloc&) {
            Reason = SystemReason(ENOMEM);
            ok = false;
        }
    }
    size_t got = 0;
    while (ok && got < Bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(Bytes.size() - got, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(file, Bytes.data() + got, want, &n, nullptr)) {
            Reason = WindowsReason(::GetLastError());
            ok = false;
        } else if (n == 0) {
            break; // the file shrank since its size was read
        }
        got += n;
    }
    ::CloseHandle(file);
    if (!ok) {
        Bytes.clear();
        return false;
    }
    Bytes.resize(got);
    if (Read) {
        // The identity would cost a volume query: left for QueryFileIdentity.
        *Read = status;
        Read->Size = got;
    }
    return true;
}

bool ResolveOutputTarget(const std::string& Path, std::string& Target, std::string& Reason) {
    // Windows replaces through the name given: ReplaceFileW keeps the old
    // file's attributes and security, and links are rare enough on the
    // engineers' laptops that they are not followed here.
    Target = Path;
    if (Path.empty()) {
        Reason = SystemReason(ENOENT);
        return false;
    }
    const std::wstring wide = Wide(Path);
    const HANDLE file = OpenForStatus(wide);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (IsAbsence(error)) return true;
        Reason = WindowsReason(error);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool haveInfo = ::GetFileInformationByHandle(file, &info) != 0;
    const TFileKind kind = KindOf(file, haveInfo ? &info : nullptr);
    ::CloseHandle(file);
    if (kind != TFileKind::Regular) {
        Reason = InputKindReason(kind);
        return false;
    }
    if (haveInfo && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        Reason = SystemReason(EACCES);
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& Path, const void* Data, size_t Size,
                         std::string& Reason) {
    std::string target;
    if (!ResolveOutputTarget(Path, target, Reason)) return false;
    const std::string folder = FolderOf(target);
    const std::string base = target.substr(folder.size());
    // What killed runs left here goes first, so leftovers never pile up.
    RemoveStaleTemporariesOnce(folder);
    static std::atomic<unsigned> counter{0};
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temp = Wide(folder + TemporaryName(base, static_cast<long>(::GetCurrentProcessId()),
                                           counter.fetch_add(1)));
        file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
            Reason = WindowsReason(::GetLastError());
            return false;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        Reason = WindowsReason(ERROR_FILE_EXISTS);
        return false;
    }
    DWORD error = WriteAll(file, Data, Size);
    if (!error && !::FlushFileBuffers(file)) error = ::GetLastError();
    ::CloseHandle(file);
    if (!error) {
        const std::wstring wideTarget = Wide(target);
        const DWORD attributes = ::GetFileAttributesW(wideTarget.c_str());
        bool moved;
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            // Keeps the replaced file's attributes, owner and access rights.
            // Given full paths: Wine refuses relative ones (ERROR_DIRECTORY).
            moved = ::ReplaceFileW(FullPath(wideTarget).c_str(), FullPath(temp).c_str(), nullptr,
                                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
            if (!moved && ::GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
                moved = ::MoveFileExW(temp.c_str(), wideTarget.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        } else {
            moved = ::MoveFileExW(temp.c_str(), wideTarget.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        }
        if (!moved) error = ::GetLastError();
    }
    if (error) {
        ::DeleteFileW(temp.c_str());
        Reason = WindowsReason(error);
        return false;
    }
    return true;
}

// The attributes of what stands at Wide: true with Attributes set when
// something is there; false when nothing is (Reason cleared) or when they
// cannot be read (the reason in Reason).
static bool PresentAttributes(const std::wstring& Wide, DWORD& Attributes, std::string& Reason) {
    Attributes = ::GetFileAttributesW(Wide.c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = ::GetLastError();
    Reason = IsAbsence(error) ? std::string() : WindowsReason(error);
    return false;
}

bool CanWriteChosenFile(const std::string& Path, std::string& Reason) {
    if (Path.empty()) {
        Reason = SystemReason(ENOENT);
        return false;
    }
    const std::wstring wide = Wide(Path);
    if (IsDevicePath(wide)) {
        Reason = InputKindReason(TFileKind::Other);
        return false;
    }
    DWORD attributes = 0;
    if (!PresentAttributes(wide, attributes, Reason)) return Reason.empty();
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        Reason = "Is a symbolic link, which is not followed";
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        Reason = SystemReason(EISDIR);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DEVICE) {
        Reason = InputKindReason(TFileKind::Other);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        Reason = SystemReason(EACCES);
        return false;
    }
    return true;
}

bool WriteChosenFile(const std::string& Path, const void* Data, size_t Size, std::string& Reason) {
    // The Windows write goes through the name given, never a link's target;
    // a link or junction there is refused all the same.
    return CanWriteChosenFile(Path, Reason) && WriteFileAtomically(Path, Data, Size, Reason);
}

bool CreateNewFile(const std::string& Path, const void* Data, size_t Size, std::string& Reason) {
    if (Path.empty()) {
        Reason = SystemReason(ENOENT);
        return false;
    }
    // CREATE_NEW fails on any name already taken, a link or junction included,
    // so nothing is ever written where a link points.
    const std::wstring wide = Wide(Path);
    const HANDLE file =
        ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        Reason = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? "File exists"
                                                                             : WindowsReason(error);
        return false;
    }
    DWORD error = WriteAll(file, Data, Size);
    if (!::CloseHandle(file) && !error) error = ::GetLastError();
    if (error) {
        ::DeleteFileW(wide.c_str());
        Reason = WindowsReason(error);
        return false;
    }
    return true;
}

bool RemoveRegularFile(const std::string& Path, std::string& Reason) {
    if (Path.empty()) return true;
    const std::wstring wide = Wide(Path);
    DWORD attributes = 0;
    if (!PresentAttributes(wide, attributes, Reason)) return Reason.empty();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        Reason = SystemReason(EISDIR);
        return false;
    }
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) {
        Reason = InputKindReason(TFileKind::Other);
        return false;
    }
    if (!::DeleteFileW(wide.c_str())) {
        const DWORD error = ::GetLastError();
        if (IsAbsence(error)) return true;
        Reason = WindowsReason(error);
        return false;
    }
    return true;
}

bool OwnedByThisUser(const std::string& Path) {
    if (Path.empty()) return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // The entry itself: a link or junction's own owner, not its target's.
    if (::GetNamedSecurityInfoW(Wide(Path).c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                &owner, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool owned = false;
    HANDLE token = nullptr;
    if (owner && ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        // The user, and the owner the token gives new files (an elevated
        // process makes files owned by the administrators' group).
        for (const TOKEN_INFORMATION_CLASS which : {TokenUser, TokenOwner}) {
            DWORD size = 0;
            ::GetTokenInformation(token, which, nullptr, 0, &size);
            std::vector<uint8_t> buffer(size);
            if (size == 0 || !::GetTokenInformation(token, which, buffer.data(), size, &size))
                continue;
            const PSID sid = which == TokenUser
                                 ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                 : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
            if (sid && ::EqualSid(owner, sid)) owned = true;
        }
        ::CloseHandle(token);
    }
    ::LocalFree(descriptor);
    return owned;
}

bool ProcessIsGone(long ProcessId) {
    if (ProcessId <= 0) return false;
    const HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(ProcessId));
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER; // no such process
    DWORD code = 0;
    const bool ended = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    ::CloseHandle(process);
    return ended;
}

} // namespace YVclUtil
