#include "app/thelpdialog.h"

#include "app/taboutdialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>

using DpuProject::TConfiguration;

QString THelpDialog::HelpText() {
    return QStringLiteral(
        "Window\n"
        "  Ctrl+O        Load a project (asks first about unsaved changes)\n"
        "  Ctrl+S        Save the project to its file (asks for one the first time)\n"
        "  Ctrl+Shift+S  Save the project, choosing the file\n"
        "  Ctrl+B        MAKE ROM\n"
        "  Ctrl+U        UpLoad ROM Image (while connected)\n"
        "  Esc           Cancel the upload or date-time sync under way\n"
        "  Ctrl+Z        Undo\n"
        "  Ctrl+Y        Redo (also Ctrl+Shift+Z)\n"
        "  F1            This help\n"
        "  Alt+letter    The button whose caption has that letter underlined\n"
        "\n"
        "Code-table grid\n"
        "  Tab           Next label cell; leaves the grid after the last one\n"
        "  Shift+Tab     Previous label cell; leaves the grid before the first one\n"
        "  F2 or typing  Edit the current cell\n"
        "  Ctrl+C        Copy the selection as tab-separated text\n"
        "  Ctrl+X        Cut\n"
        "  Ctrl+V        Paste tab-separated text at the selection\n"
        "  Delete        Empty the selected cells\n"
        "  Ctrl+D        Fill down: the top cell of the selection into the cells below it\n"
        "  Ctrl+L        Fill a series down the selection: 1, 2, 3 ... or B2, B1, G, 1, 2 ...\n"
        "\n"
        "A tinted cell holds a label the display cannot show; its tool tip says why.\n"
        "Drop a .dcf file on the window to load it, a .BIN file on the Make tab to\n"
        "make it the ROM file name, a BMP on a message picture or the logo to use it.");
}

THelpDialog::THelpDialog(const TConfiguration& Config, QWidget* Parent)
    : TTextDialog(QStringLiteral("DPU-510TK3 Lift LCD Editor Help"), QStringLiteral("HelpDialog"),
                  Parent) {
    QPlainTextEdit* text = AddText(HelpText(), QStringLiteral("HelpText"), QSize(620, 420));
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    text->setFont(mono);
    QPushButton* about =
        Buttons()->addButton(QStringLiteral("&About..."), QDialogButtonBox::ActionRole);
    about->setObjectName("HelpAboutButton");
    const TConfiguration* config = &Config;
    connect(about, &QPushButton::clicked, this, [this, config] {
        TAboutDialog box(*config, this);
        box.exec();
    });
}
