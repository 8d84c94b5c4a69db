#include "util/scratchfolder.h"

#include "util/fileaccess.h"
#include "util/qstringconv.h"

#include <QDir>

namespace YVclUtil {

std::string ScratchParentFolder() {
    // Windows has no memory-backed folder to prefer; a "/dev/shm" would name
    // a folder on the current drive (under Wine the Unix one, where files
    // cannot be made).
    return FromQString(QDir::tempPath());
}

std::string ProgramScratchFolder() {
    // The temporary folder is the user's own on Windows.
    const std::string folder = ScratchParentFolder() + "/dpu510tk3";
    std::string reason;
    return MakeFolder(folder, reason) ? folder : std::string();
}

} // namespace YVclUtil
