#include "app/qterrmsgbox.h"
#include "app/tform1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InstallQtErrMsgBoxHandler();
    TForm1 form;
    form.show();
    return app.exec();
}
