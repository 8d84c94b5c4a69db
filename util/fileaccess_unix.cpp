#include "util/fileaccess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace YVclUtil {

namespace {

constexpr int kMaxLinkDepth = 40;

TFileKind KindOf(mode_t Mode) {
    if (S_ISREG(Mode)) return TFileKind::Regular;
    if (S_ISDIR(Mode)) return TFileKind::Directory;
    return TFileKind::Other;
}

std::string FolderOf(const std::string& Path) {
    const size_t slash = Path.rfind('/');
    return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

bool WriteAll(int Fd, const uint8_t* Data, size_t Size) {
    while (Size > 0) {
        const ssize_t n = ::write(Fd, Data, Size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        Data += n;
        Size -= static_cast<size_t>(n);
    }
    return true;
}

// A regular file this process may replace. The rename would go over a
// write-protected file too, also for root; a file nobody may write stays as
// it is.
bool IsWritableRegularFile(const std::string& Path, const struct stat& St, std::string& Reason) {
    if (!S_ISREG(St.st_mode)) {
        Reason = InputKindReason(KindOf(St.st_mode));
        return false;
    }
    if ((St.st_mode & 0222) == 0 || ::access(Path.c_str(), W_OK) != 0) {
        Reason = SystemReason(EACCES);
        return false;
    }
    return true;
}

} // namespace

std::string SystemReason(int ErrorNumber) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(ErrorNumber, buffer, sizeof buffer);
    return text ? std::string(text) : std::string("Unknown error");
}

bool QueryFileStatus(const std::string& Path, TFileStatus& Status, std::string& Reason) {
    Status = TFileStatus();
    struct stat st {};
    if (Path.empty() || ::stat(Path.c_str(), &st) != 0) {
        const int error = Path.empty() ? ENOENT : errno;
        if (error == ENOENT || error == ENOTDIR) return true;
        Reason = SystemReason(error);
        return false;
    }
    Status.Kind = KindOf(st.st_mode);
    Status.Size = static_cast<uint64_t>(st.st_size);
    Status.ModifiedSecs = static_cast<int64_t>(st.st_mtim.tv_sec);
    Status.Device = static_cast<uint64_t>(st.st_dev);
    Status.Inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool QueryFileIdentity(const std::string& Path, TFileStatus& Status, std::string& Reason) {
    // One stat answers everything here.
    return QueryFileStatus(Path, Status, Reason);
}

bool ReadWholeFile(const std::string& Path, std::vector<uint8_t>& Bytes, std::string& Reason,
                   uint64_t MaxBytes, TFileStatus* Read, const TFileStatus* Found) {
    Bytes.clear();
    // A device is never opened at all: opening a serial port can already
    // change its modem lines.
    if (Found) {
        if (Found->Kind != TFileKind::Regular) {
            Reason = InputKindReason(Found->Kind);
            return false;
        }
    } else {
        struct stat first {};
        if (!Path.empty() && ::stat(Path.c_str(), &first) == 0 && !S_ISREG(first.st_mode)) {
            Reason = InputKindReason(KindOf(first.st_mode));
            return false;
        }
    }
    // Non-blocking, so a FIFO swapped in after the check above cannot hold the
    // caller; the status of the opened file decides.
    const int fd =
        Path.empty() ? -1 : ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        Reason = SystemReason(Path.empty() ? ENOENT : errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        Reason = SystemReason(errno);
    } else if (!S_ISREG(st.st_mode)) {
        Reason = InputKindReason(KindOf(st.st_mode));
        ok = false;
    } else if (static_cast<uint64_t>(st.st_size) > MaxBytes) {
        Reason = SystemReason(EFBIG);
        ok = false;
    }
    if (ok) {
        try {
            Bytes.resize(static_cast<size_t>(st.st_size));
        } catch (const std::bad_alloc&) {
            Reason = SystemReason(ENOMEM);
            ok = false;
        }
    }
    size_t got = 0;
    while (ok) {
        if (got == Bytes.size()) {
            // At the size the status call gave, one byte more tells the end
            // from a file that has grown since; only a grown file makes the
            // buffer grow (in steps, still within the limit), so a whole file
            // is never copied into a larger buffer.
            uint8_t probe = 0;
            const ssize_t extra = ::read(fd, &probe, 1);
            if (extra < 0 && errno == EINTR) continue;
            if (extra == 0) break;
            if (extra < 0 || Bytes.size() >= MaxBytes) {
                Reason = SystemReason(extra < 0 ? errno : EFBIG);
                ok = false;
                break;
            }
            Bytes.resize(Bytes.size() + 4096 > MaxBytes ? static_cast<size_t>(MaxBytes)
                                                        : Bytes.size() + 4096);
            Bytes[got++] = probe;
            continue;
        }
        const ssize_t n = ::read(fd, Bytes.data() + got, Bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            Reason = SystemReason(errno);
            ok = false;
            break;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (!ok) {
        Bytes.clear();
        return false;
    }
    Bytes.resize(got);
    if (Read) {
        *Read = TFileStatus();
        Read->Kind = TFileKind::Regular;
        Read->Size = got;
        Read->ModifiedSecs = static_cast<int64_t>(st.st_mtim.tv_sec);
        Read->Device = static_cast<uint64_t>(st.st_dev);
        Read->Inode = static_cast<uint64_t>(st.st_ino);
    }
    return true;
}

bool ResolveOutputTarget(const std::string& Path, std::string& Target, std::string& Reason) {
    if (Path.empty()) {
        Reason = SystemReason(ENOENT);
        return false;
    }
    Target = Path;
    struct stat st {};
    for (int depth = 0;; ++depth) {
        if (::lstat(Target.c_str(), &st) != 0) {
            if (errno == ENOENT) return true; // a new file (or a dangling link's target) is created
            Reason = SystemReason(errno);
            return false;
        }
        if (!S_ISLNK(st.st_mode)) break;
        if (depth == kMaxLinkDepth) {
            Reason = SystemReason(ELOOP);
            return false;
        }
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(Target.c_str(), buffer, sizeof buffer - 1);
        if (n < 0) {
            Reason = SystemReason(errno);
            return false;
        }
        const std::string link(buffer, static_cast<size_t>(n));
        Target = link.front() == '/' ? link : FolderOf(Target) + link;
    }
    return IsWritableRegularFile(Target, st, Reason);
}

bool CanWriteChosenFile(const std::string& Path, std::string& Reason) {
    struct stat st {};
    if (Path.empty() || ::lstat(Path.c_str(), &st) != 0) {
        const int error = Path.empty() ? ENOENT : errno;
        if (error == ENOENT) return true;
        Reason = SystemReason(error);
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        Reason = "Is a symbolic link, which is not followed";
        return false;
    }
    return IsWritableRegularFile(Path, st, Reason);
}

namespace {

// The atomic write, into the file Path leads to (FollowLinks) or into the
// name Path itself, which rename(2) then replaces whatever was put there.
bool WriteAtomically(const std::string& Path, const void* Data, size_t Size, std::string& Reason,
                     bool FollowLinks) {
    std::string target = Path;
    const auto check = [&](std::string& Target) {
        return FollowLinks ? ResolveOutputTarget(Path, Target, Reason)
                           : CanWriteChosenFile(Path, Reason);
    };
    if (!check(target)) return false;
    struct stat st {};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    const std::string folder = FolderOf(target);
    const std::string base = target.substr(folder.size());

    // What killed runs left here goes first, so leftovers never pile up.
    RemoveStaleTemporariesOnce(folder);
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + TemporaryName(base, static_cast<long>(::getpid()), counter.fetch_add(1));
        // A replaced file's readers only: a private file must not be readable
        // by others while its successor is being written.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    existed ? (st.st_mode & 0666) : 0666);
        if (fd < 0 && errno != EEXIST) {
            Reason = SystemReason(errno);
            return false;
        }
    }
    if (fd < 0) {
        Reason = SystemReason(EEXIST);
        return false;
    }
    bool ok = WriteAll(fd, static_cast<const uint8_t*>(Data), Size);
    if (ok && existed) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    // The target may have been swapped for a FIFO or a folder while the data
    // was written; a rename would go over it.
    std::string late = Path;
    if (ok && !check(late)) {
        ::unlink(temp.c_str());
        return false;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        Reason = SystemReason(error);
        return false;
    }
    // Make the rename itself durable; a folder that cannot be synced does not
    // undo a write that has already replaced the file.
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::string& Path, const void* Data, size_t Size,
                         std::string& Reason) {
    return WriteAtomically(Path, Data, Size, Reason, true);
}

bool WriteChosenFile(const std::string& Path, const void* Data, size_t Size, std::string& Reason) {
    return WriteAtomically(Path, Data, Size, Reason, false);
}

bool CreateNewFile(const std::string& Path, const void* Data, size_t Size, std::string& Reason) {
    if (Path.empty()) {
        Reason = SystemReason(ENOENT);
        return false;
    }
    // O_EXCL with O_CREAT never follows a link, not even a dangling one, and
    // fails on anything already there; O_NOFOLLOW says the same twice.
    const int fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        Reason = SystemReason(errno);
        return false;
    }
    bool ok = WriteAll(fd, static_cast<const uint8_t*>(Data), Size);
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(Path.c_str());
        Reason = SystemReason(error);
    }
    return ok;
}

bool RemoveRegularFile(const std::string& Path, std::string& Reason) {
    struct stat st {};
    if (Path.empty() || ::lstat(Path.c_str(), &st) != 0) {
        const int error = Path.empty() ? ENOENT : errno;
        if (error == ENOENT || error == ENOTDIR) return true;
        Reason = SystemReason(error);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        Reason = InputKindReason(KindOf(st.st_mode));
        return false;
    }
    if (::unlink(Path.c_str()) != 0 && errno != ENOENT) {
        Reason = SystemReason(errno);
        return false;
    }
    return true;
}

bool OwnedByThisUser(const std::string& Path) {
    struct stat st {};
    return !Path.empty() && ::lstat(Path.c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

bool ProcessIsGone(long ProcessId) {
    if (ProcessId <= 0 || static_cast<long>(static_cast<pid_t>(ProcessId)) != ProcessId)
        return false;
    // EPERM: alive, only another user's.
    return ::kill(static_cast<pid_t>(ProcessId), 0) != 0 && errno == ESRCH;
}

} // namespace YVclUtil
