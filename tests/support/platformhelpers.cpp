#include "support/platformhelpers.h"

#include <QLibrary>
#include <QSysInfo>

bool RunningOnWindows() {
    return QSysInfo::kernelType() == QLatin1String("winnt");
}

bool RunningUnderWine() {
    return RunningOnWindows() && QLibrary::resolve(QStringLiteral("ntdll"), "wine_get_version");
}
