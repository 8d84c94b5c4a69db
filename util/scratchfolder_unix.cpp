#include "util/scratchfolder.h"

#include "util/qstringconv.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace YVclUtil
