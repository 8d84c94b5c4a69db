#include "support/programhelpers.h"

#include <QCoreApplication>
#include <QProcess>
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

TProgramRun RunBuilt(const QString& Program, const QStringList& Args, const QString& Dir) {
    QProcess p;
    p.setWorkingDirectory(Dir);
    const QString program = BuiltProgram(Program);
    p.start(program.isEmpty() ? QCoreApplication::applicationDirPath() + "/" + Program : program,
            Args);
    TProgramRun r;
    if (!p.waitForFinished(60000)) return r;
    r.Status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.Out = OutputText(p.readAllStandardOutput());
    r.Err = OutputText(p.readAllStandardError());
    return r;
}
