#include "util/qstringconv.h"

#include <QString>

namespace YVclUtil {

QString ToQString(const std::string& Text) {
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::string FromQString(const QString& Text) {
    return Text.toUtf8().toStdString();
}

} // namespace YVclUtil
