#include "app/qterrmsgbox.h"
#include "app/teditorarguments.h"
#include "app/tform1.h"
#include "app/tstderrprompts.h"
#include "dpu510tk3_version.h"
#include "project/tuserworkspace.h"
#include "util/errmsgbox.h"
#include "util/qstringconv.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <memory>

int main(int argc, char* argv[]) {
    // Answered before Qt starts: no display, no platform plug-in, no window.
    switch (TEditorArguments::Early(argc, argv)) {
    case TEditorArguments::TEarly::Help:
        std::fputs(TEditorArguments::HelpText(), stdout);
        return 0;
    case TEditorArguments::TEarly::Version:
        std::printf("dpu510tk3-editor %s\n", DPU510TK3_VERSION);
        return 0;
    case TEditorArguments::TEarly::Run:
        break;
    }
    QApplication app(argc, argv);
    QStringList files;
    QString badOption;
    if (!TEditorArguments::Files(QApplication::arguments(), files, badOption)) {
        std::fprintf(stderr, "dpu510tk3-editor: unknown option \"%s\"\n%s",
                     badOption.toLocal8Bit().constData(), TEditorArguments::HelpText());
        return 2;
    }
    // DPU510TK3_SMOKE_TEST: a check of an installed editor with nobody at the
    // screen. Every box, the window's and the libraries', goes to standard
    // error as "[Box] ..." and the editor ends as soon as its window is up,
    // with 0 when start-up ran to its end.
    const bool smokeTest = qEnvironmentVariableIsSet("DPU510TK3_SMOKE_TEST");
    std::unique_ptr<TStderrPrompts> smokePrompts;
    if (smokeTest) {
        smokePrompts = std::make_unique<TStderrPrompts>();
        YVclUtil::SetErrMsgBoxHandler(&TStderrPrompts::Write);
    } else {
        InstallQtErrMsgBoxHandler();
    }
    // Started in its own folder (a double-click in the file manager), or to
    // open a project from a folder without the configuration (a double-click
    // on the project), the editor works in the user's workspace instead,
    // which the user may write to; the files named above are already
    // absolute.
    DpuProject::TUserWorkspace workspace;
    workspace.EnterStartupFolder(YVclUtil::FromQString(QCoreApplication::applicationDirPath()),
                                 DpuProject::TUserWorkspace::DefaultFolder(), !files.isEmpty());
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(smokePrompts.get());
    } catch (const std::exception& e) {
        // Nothing can run without the window: say why and end.
        if (smokeTest) {
            TStderrPrompts::Write("dpu510tk3-editor", e.what());
            return 1;
        }
        QMessageBox::critical(nullptr, QStringLiteral("dpu510tk3-editor"),
                              QString::fromLocal8Bit(e.what()));
        return 1;
    }
    form->show();
    for (const std::string& line : workspace.Warnings)
        form->AppendLog(line);
    if (!workspace.LastError.empty())
        form->AppendLog("[Warning] " + workspace.LastError + " (the workspace is not used)");
    form->OpenFiles(files);
    if (smokeTest) {
        QTimer::singleShot(0, &app, [&app, &form] {
            const bool ok = form->StartupCompleted();
            std::fprintf(stderr, "[Smoke test] %s in %s\n",
                         ok ? "start-up completed" : "start-up stopped",
                         form->StartupDir().toLocal8Bit().constData());
            std::fprintf(stderr, "[Smoke test] %s\n",
                         form->StatusText(0).toLocal8Bit().constData());
            app.exit(ok ? 0 : 1);
        });
    }
    return app.exec();
}
