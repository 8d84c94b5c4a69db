#include "util/scratchfolder.h"

#include "util/qstringconv.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace YVclUtil {

std::string ScratchParentFolder() {
    for (const QString& candidate :
         {QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR")), QStringLiteral("/dev/shm")}) {
        const QFileInfo dir(candidate);
        if (!candidate.isEmpty() && dir.isDir() && dir.isWritable())
            return FromQString(dir.absoluteFilePath());
    }
    return FromQString(QDir::tempPath());
}

std::string ProgramScratchFolder() {
    // Per user: the parent may be shared (/dev/shm, /tmp).
    const std::string folder =
        ScratchParentFolder() + "/dpu510tk3-" + std::to_string(static_cast<long>(::geteuid()));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return std::string();
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return std::string();
    return folder;
}

} // namespace YVclUtil
