#include "app/teditorarguments.h"

#include <QDir>

#include <cstring>

TEditorArguments::TEarly TEditorArguments::Early(int Argc, const char* const* Argv) {
    for (int i = 1; i < Argc; ++i) {
        const char* a = Argv[i];
        if (std::strcmp(a, "--") == 0) break;
        if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) return TEarly::Help;
        if (std::strcmp(a, "--version") == 0) return TEarly::Version;
    }
    return TEarly::Run;
}

bool TEditorArguments::Files(const QStringList& Arguments, QStringList& Files, QString& Error) {
    Files.clear();
    bool optionsEnded = false;
    for (qsizetype i = 1; i < Arguments.size(); ++i) {
        const QString& a = Arguments[i];
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // A lone "-" is no option, but no file the editor could open either.
        if (!optionsEnded && a.startsWith('-')) {
            Error = a;
            Files.clear();
            return false;
        }
        if (!a.isEmpty()) Files << QDir::current().absoluteFilePath(a);
    }
    return true;
}

const char* TEditorArguments::HelpText() {
    return "Usage: dpu510tk3-editor [QT-OPTIONS] [--] [FILE...]\n"
           "       dpu510tk3-editor --help | --version\n"
           "The DPU-510TK3 Lift LCD Editor. It reads its configuration file, glyph library\n"
           "and blank logo from the directory it is started in; dpu510tk3-workspace starts\n"
           "it in the user's workspace.\n"
           "  FILE       a project file (.dcf) opens as Load does, asking first about\n"
           "             unsaved changes (one project at a time); a ROM image (.BIN)\n"
           "             opens in the ROM image window\n"
           "  --help     show this help and exit\n"
           "  --version  print the version and exit\n"
           "Qt's options, for example -platform NAME, are taken as in every Qt program.\n"
           "Environment: DPU510TK3_SMOKE_TEST=1 writes each message box to standard error\n"
           "and ends the editor once its window is up.\n"
           "Exit status: 0 when the window was closed (smoke test: start-up completed),\n"
           "1 when the editor could not start, 2 for a usage error.\n";
}
