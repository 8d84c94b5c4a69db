#include "support/programhelpers.h"

#include <QCoreApplication>
#include <QStandardPaths>

QString BuiltProgram(const QString& Name) {
    // Looks for Name with each suffix the system runs (PATHEXT on Windows).
    return QStandardPaths::findExecutable(Name, {QCoreApplication::applicationDirPath()});
}

std::string OutputText(const QByteArray& Bytes) {
    QByteArray text = Bytes;
    text.replace("\r\n", "\n");
    return text.toStdString();
}
