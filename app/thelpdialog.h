#pragma once

#include "app/ttextdialog.h"

#include <QString>

namespace DpuProject {
class TConfiguration;
} // namespace DpuProject

// The short help window F1 opens: what the keys do in the window and the
// grid, with a button to the About box. Not modal, so it can stay open
// beside the window.
class THelpDialog : public TTextDialog {
public:
    // Config is what the About box shows; it must outlive the dialog.
    THelpDialog(const DpuProject::TConfiguration& Config, QWidget* Parent = nullptr);

    // The help text (one key or action a line). Never fails.
    static QString HelpText();
};
