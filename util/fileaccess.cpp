#include "util/fileaccess.h"

#include <cerrno>
#include <exception>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

// The parts of the file-access unit that are the same on every platform.

namespace YVclUtil {

std::string InputKindReason(TFileKind Kind) {
    switch (Kind) {
    case TFileKind::Regular:
        return std::string();
    case TFileKind::Missing:
        return SystemReason(ENOENT);
    case TFileKind::Directory:
        return SystemReason(EISDIR);
    case TFileKind::Other:
        break;
    }
    return "Not a regular file";
}

bool IsRegularFile(const std::string& Path, uint64_t* Size) {
    TFileStatus status;
    std::string reason;
    const bool regular = QueryFileStatus(Path, status, reason) && status.Kind == TFileKind::Regular;
    if (Size) *Size = regular ? status.Size : 0;
    return regular;
}

bool SameFile(const std::string& A, const std::string& B) {
    TFileStatus a, b;
    std::string reason;
    // One file has one kind and one size: files that differ there are told
    // apart without asking for their identity.
    if (!QueryFileStatus(A, a, reason) || !QueryFileStatus(B, b, reason)) return false;
    if (a.Kind == TFileKind::Missing || b.Kind == TFileKind::Missing) return false;
    if (a.Kind != b.Kind || a.Size != b.Size) return false;
    // Identity 0 is no file's: the quick answer did not carry it.
    if ((a.Inode == 0 && !QueryFileIdentity(A, a, reason)) ||
        (b.Inode == 0 && !QueryFileIdentity(B, b, reason)))
        return false;
    if (a.Kind == TFileKind::Missing || b.Kind == TFileKind::Missing) return false;
    return a.Device == b.Device && a.Inode == b.Inode;
}

namespace {

constexpr const char* kTemporarySuffix = ".dpu510.tmp";

// The writing process of a temporary's file name, or -1 when Name is not one.
// Earlier versions ended the same name in ".tmp" alone; theirs are taken too.
long TemporaryOwner(const std::string& Name) {
    auto endsWith = [&](const std::string& Suffix) {
        return Name.size() > Suffix.size() + 1 &&
               Name.compare(Name.size() - Suffix.size(), Suffix.size(), Suffix) == 0;
    };
    const std::string suffix = endsWith(kTemporarySuffix) ? std::string(kTemporarySuffix)
                               : endsWith(".tmp")         ? std::string(".tmp")
                                                          : std::string();
    if (suffix.empty() || Name[0] != '.') return -1;
    const std::string stem = Name.substr(0, Name.size() - suffix.size());
    // ".<base>.<pid>.<counter>"
    const size_t counterDot = stem.rfind('.');
    if (counterDot == std::string::npos || counterDot == 0) return -1;
    const size_t pidDot = stem.rfind('.', counterDot - 1);
    if (pidDot == std::string::npos || pidDot == 0) return -1;
    auto digits = [&](size_t From, size_t To) {
        if (To <= From || To - From > 18) return false;
        for (size_t i = From; i < To; ++i)
            if (stem[i] < '0' || stem[i] > '9') return false;
        return true;
    };
    if (!digits(counterDot + 1, stem.size()) || !digits(pidDot + 1, counterDot)) return -1;
    return std::stol(stem.substr(pidDot + 1, counterDot - pidDot - 1));
}

} // namespace

std::string TemporaryName(const std::string& Base, long ProcessId, unsigned Counter) {
    return "." + Base + "." + std::to_string(ProcessId) + "." + std::to_string(Counter) +
           kTemporarySuffix;
}

namespace {

// Makes the folder Path (and, with Parents, every missing folder above it).
bool MakeFolderPath(const std::string& Path, bool Parents, std::string& Reason) {
    namespace fs = std::filesystem;
    if (Path.empty()) {
        Reason = SystemReason(ENOENT);
        return false;
    }
    // On Windows the path is converted to UTF-16, which throws for bytes that
    // are no UTF-8 (a name from a file written in a legacy code page).
    fs::path folder;
    try {
        folder = fs::path(std::u8string(Path.begin(), Path.end()));
    } catch (const std::exception&) {
        Reason = SystemReason(EILSEQ);
        return false;
    }
    std::error_code ec;
    if (Parents)
        fs::create_directories(folder, ec);
    else
        fs::create_directory(folder, ec);
    if (!ec && fs::is_directory(folder, ec)) return true;
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    // The same words as SystemReason gives for the POSIX number.
    Reason = ec.category() == std::generic_category() ? SystemReason(ec.value()) : ec.message();
    return false;
}

} // namespace

bool MakeFolders(const std::string& Path, std::string& Reason) {
    return MakeFolderPath(Path, true, Reason);
}

bool MakeFolder(const std::string& Path, std::string& Reason) {
    return MakeFolderPath(Path, false, Reason);
}

int RemoveStaleTemporaries(const std::string& Folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // UTF-8 on every platform, as the other functions take their paths.
    const std::string name = Folder.empty() ? std::string(".") : Folder;
    fs::path folder;
    try {
        folder = fs::path(std::u8string(name.begin(), name.end()));
    } catch (const std::exception&) {
        return 0; // not UTF-8 (see MakeFolderPath): no folder of ours
    }
    fs::directory_iterator it(folder, ec);
    int removed = 0;
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::u8string file = it->path().filename().u8string();
        const long owner = TemporaryOwner(std::string(file.begin(), file.end()));
        if (owner <= 0) continue;
        // Only a plain file: a link or a folder of that name is not ours.
        std::error_code statusError;
        if (!fs::is_regular_file(it->symlink_status(statusError)) || statusError) continue;
        if (!ProcessIsGone(owner)) continue;
        std::error_code removeError;
        if (fs::remove(it->path(), removeError)) ++removed;
    }
    return removed;
}

void RemoveStaleTemporariesOnce(const std::string& Folder) {
    static std::mutex lock;
    static std::set<std::string> swept;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (!swept.insert(Folder).second) return;
    }
    RemoveStaleTemporaries(Folder);
}

} // namespace YVclUtil
