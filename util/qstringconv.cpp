#include "util/qstringconv.h"

#include <QString>

namespace YVclUtil {

QString ToQString(const std::string& Text) {
    return QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::string FromQString(const QString& Text) {
    return Text.toLocal8Bit().toStdString();
}

} // namespace YVclUtil
