#include "util/fileaccess.h"

#include <cerrno>
#include <chrono>
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
// How old a temporary must be before a sweep may take it.
constexpr std::chrono::seconds kStaleAfter{60};

// The writing process of a temporary's file name, or -1 when Name is not one.
// Only names with this program's own suffix count: ".NAME.<digits>.<digits>.tmp"
// alone is a pattern other programs use too, and their files are not ours.
long TemporaryOwner(const std::string& Name) {
    const std::string suffix = kTemporarySuffix;
    if (Name.size() <= suffix.size() + 1 ||
        Name.compare(Name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return -1;
    if (Name[0] != '.') return -1;
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

bool MakeFolders(const std::string& Path, std::string& Reason, std::vector<std::string>& Created) {
    namespace fs = std::filesystem;
    // The missing folders, found from Path upwards and made from the top.
    std::vector<std::string> missing;
    try {
        fs::path folder = fs::path(std::u8string(Path.begin(), Path.end())).lexically_normal();
        std::error_code ec;
        while (!folder.empty() && !fs::exists(fs::symlink_status(folder, ec))) {
            const std::u8string name = folder.u8string();
            missing.emplace_back(name.begin(), name.end());
            if (folder.parent_path() == folder) break;
            folder = folder.parent_path();
        }
    } catch (const std::exception&) {
        missing.clear(); // not UTF-8: MakeFolderPath says why
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!MakeFolderPath(*it, false, Reason)) return false;
        Created.push_back(*it);
    }
    return MakeFolderPath(Path, true, Reason);
}

void RemoveMadeFolders(std::vector<std::string>& Created) {
    namespace fs = std::filesystem;
    for (auto it = Created.rbegin(); it != Created.rend(); ++it) {
        std::error_code ec;
        try {
            const fs::path folder(std::u8string(it->begin(), it->end()));
            if (fs::is_directory(fs::symlink_status(folder, ec)) && fs::is_empty(folder, ec))
                fs::remove(folder, ec);
        } catch (const std::exception&) {
        }
    }
    Created.clear();
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
        // A file of the moment may be a run that has just started; one of
        // another user's is not for this user to judge.
        const auto written = fs::last_write_time(it->path(), statusError);
        if (statusError || fs::file_time_type::clock::now() - written < kStaleAfter) continue;
        const std::u8string full = it->path().u8string();
        if (!OwnedByThisUser(std::string(full.begin(), full.end()))) continue;
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
