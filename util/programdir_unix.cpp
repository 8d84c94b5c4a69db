#include "util/programdir.h"

#include "util/qstringconv.h"

#include <QFileInfo>
#include <QString>

namespace YVclUtil {

std::string ExecutableFolder() {
    // The link's target, with any further links resolved, like the
    // application object's own answer.
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (exe.isEmpty()) return std::string();
    const QString dir = exe.section('/', 0, -2);
    return FromQString(dir.isEmpty() ? QStringLiteral("/") : dir);
}

} // namespace YVclUtil
