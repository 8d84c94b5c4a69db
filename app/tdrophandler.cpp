#include "app/tdrophandler.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

QString TDropHandler::DroppedFile(const QMimeData* Data) {
    if (!Data || !Data->hasUrls() || Data->urls().size() != 1 ||
        !Data->urls().first().isLocalFile())
        return QString();
    return Data->urls().first().toLocalFile();
}

bool TDropHandler::HasSuffix(const QString& Path, const char* Suffix) {
    return QFileInfo(Path).suffix().compare(QLatin1String(Suffix), Qt::CaseInsensitive) == 0;
}
