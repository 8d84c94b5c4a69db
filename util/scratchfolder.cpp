#include "util/scratchfolder.h"

#include "util/fileaccess.h"

#include <QCoreApplication>

#include <exception>
#include <filesystem>
#include <mutex>
#include <system_error>

// The part of the scratch folders that is the same on every platform: their
// names and the sweep of those that killed runs left.

namespace YVclUtil {

namespace {

// The process a scratch folder's name ("<pid>-...") gives, or -1.
long FolderOwner(const std::string& Name) {
    size_t digits = 0;
    while (digits < Name.size() && digits < 18 && Name[digits] >= '0' && Name[digits] <= '9')
        ++digits;
    if (digits == 0 || digits >= Name.size() || Name[digits] != '-') return -1;
    return std::stol(Name.substr(0, digits));
}

void SweepScratchFolders(const std::string& Folder) {
    namespace fs = std::filesystem;
    try {
        std::error_code ec;
        fs::directory_iterator it(fs::path(std::u8string(Folder.begin(), Folder.end())), ec);
        for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
            const std::u8string name = it->path().filename().u8string();
            const long owner = FolderOwner(std::string(name.begin(), name.end()));
            std::error_code statusError;
            // remove_all takes links inside away, never what they lead to.
            if (owner <= 0 || !fs::is_directory(it->symlink_status(statusError)) || statusError ||
                !ProcessIsGone(owner))
                continue;
            std::error_code removeError;
            fs::remove_all(it->path(), removeError);
        }
    } catch (const std::exception&) {
    }
}

} // namespace

std::string ScratchFolderTemplate(const std::string& Stem) {
    static std::once_flag swept;
    static std::string own;
    std::call_once(swept, [] {
        own = ProgramScratchFolder();
        if (!own.empty()) SweepScratchFolders(own);
    });
    const std::string parent = own.empty() ? ScratchParentFolder() : own;
    return parent + "/" + std::to_string(QCoreApplication::applicationPid()) + "-" + Stem +
           "-XXXXXX";
}

} // namespace YVclUtil
