#include "project/tuserworkspace.h"

#include "util/qstringconv.h"

#include <QString>

#include <shlobj.h>
#include <windows.h>

namespace DpuProject {

std::string TUserWorkspace::DefaultFolder() {
    // Local application data, not the roaming profile: the workspace holds
    // ROM images and a glyph library that need not travel with the user.
    PWSTR base = nullptr;
    std::string out;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &base)) &&
        base && *base) {
        const QString folder = QString::fromWCharArray(base).replace('\\', '/');
        out = YVclUtil::FromQString(folder + QStringLiteral("/dpu510tk3/workspace"));
    }
    ::CoTaskMemFree(base);
    return out;
}

} // namespace DpuProject
