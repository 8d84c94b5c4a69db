#include "app/qterrmsgbox.h"
#include "app/tform1.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InstallQtErrMsgBoxHandler();
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>();
    } catch (const std::exception& e) {
        // Nothing can run without the window: say why and end.
        QMessageBox::critical(nullptr, QStringLiteral("dpu510tk3-editor"), QString::fromLocal8Bit(e.what()));
        return 1;
    }
    form->show();
    return app.exec();
}
