#include "util/scratchfolder.h"

#include "util/qstringconv.h"

#include <QDir>

namespace YVclUtil {

std::string ScratchParentFolder() {
    // Windows has no memory-backed folder to prefer; a "/dev/shm" would name
    // a folder on the current drive (under Wine the Unix one, where files
    // cannot be made).
    return FromQString(QDir::tempPath());
}

} // namespace YVclUtil
