#pragma once

#include <QString>
#include <QStringList>

// The editor's command line. --help and --version are answered before Qt
// starts, so they work without a display and without a platform plug-in;
// what QApplication leaves after taking its own options are the files to open.
class TEditorArguments {
public:
    enum class TEarly { Run, Help, Version };
    // Help or Version when "-h", "--help" or "--version" comes before a "--"
    // (the first of them wins), Run otherwise. Never fails.
    static TEarly Early(int Argc, const char* const* Argv);

    // The files among Arguments (QApplication::arguments(): the program
    // first, Qt's options already taken out): every argument after "--" and
    // every one not starting with '-', made absolute against the current
    // directory. False for any other option, whose name is then in Error.
    static bool Files(const QStringList& Arguments, QStringList& Files, QString& Error);

    // The --help text, ending in a line feed.
    static const char* HelpText();
};
