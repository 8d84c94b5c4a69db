#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

// Running the programs built beside the test programs (the tool, the
// simulator) alike on Linux and on Windows.

// The path of the program Name in the test program's own folder, with the
// system's suffix for programs (".exe" on Windows); empty when it is not there.
QString BuiltProgram(const QString& Name);

// A program's text output with the line ends of a Windows console program
// ("\r\n") made "\n", so one expected text serves both systems.
std::string OutputText(const QByteArray& Bytes);

// What a finished program left: its exit status (-1 when it did not finish
// within a minute, -2 when it crashed) and its text output.
struct TProgramRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Runs the built program Program with Args in the folder Dir and waits for it.
TProgramRun RunBuilt(const QString& Program, const QStringList& Args, const QString& Dir);
