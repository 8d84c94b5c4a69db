#pragma once

#include "app/ttextdialog.h"

#include <QString>

namespace DpuProject {
class TConfiguration;
} // namespace DpuProject
class QMainWindow;

// The editor's About box: the program's version, the glyph library in use
// with its date, where the program and its start-up directory are, and the
// licences of what the program is built from and links.
class TAboutDialog : public TTextDialog {
public:
    // Shows the facts of Config as they are when the box is made.
    explicit TAboutDialog(const DpuProject::TConfiguration& Config, QWidget* Parent = nullptr);

    // Version, glyph library (name and date, "not found" for a missing
    // library), user glyph library when one is named, program and start-up
    // directories; one fact per line. Never fails.
    static QString Facts(const DpuProject::TConfiguration& Config);
    // The licences of the program's parts and of the libraries it links, one
    // per line. Never fails.
    static QString Licences();

    // Gives Window an "About" button at the right of its status bar opening
    // the box for Config, which must outlive Window. (F1 opens the help
    // window, which leads here too.)
    static void Attach(QMainWindow& Window, const DpuProject::TConfiguration& Config);
};
