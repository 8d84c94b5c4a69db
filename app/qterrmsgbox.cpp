#include "app/qterrmsgbox.h"

#include "util/errmsgbox.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <cstdio>

namespace {

void ShowBox(const std::string& Caption, const std::string& Text) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(Caption.c_str()),
                    QString::fromUtf8(Text.c_str()), QMessageBox::Ok);
    box.exec();
}

} // namespace

void InstallQtErrMsgBoxHandler() {
    YVclUtil::SetErrMsgBoxHandler([](const std::string& Caption, const std::string& Text) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            std::fprintf(stderr, "%s: %s\n", Caption.c_str(), Text.c_str());
            return;
        }
        if (QThread::currentThread() == app->thread()) {
            ShowBox(Caption, Text);
            return;
        }
        QMetaObject::invokeMethod(
            app, [Caption, Text] { ShowBox(Caption, Text); }, Qt::QueuedConnection);
    });
}
