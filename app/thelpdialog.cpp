#include "app/thelpdialog.h"

#include "app/taboutdialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QStringList>

#include <algorithm>
#include <cmath>

using DpuProject::TConfiguration;

QString THelpDialog::HelpText() {
    return QStringLiteral(
        "Window\n"
        "  Ctrl+O          Load a project (asks first about unsaved changes)\n"
        "  Ctrl+S          Save the project to its file (asks for one the first time)\n"
        "  Ctrl+Shift+S    Save the project, choosing the file\n"
        "  Ctrl+B          MAKE ROM\n"
        "  Ctrl+U          UpLoad ROM Image (while connected)\n"
        "  Esc             Cancel the upload or date-time sync under way\n"
        "  Ctrl+Z, Ctrl+Y  Undo, redo (redo also Ctrl+Shift+Z)\n"
        "  Ctrl+PgDown     Next page (Setup, Make); Ctrl+PgUp the previous one\n"
        "  Ctrl+Tab        Next control, also out of the grid; Ctrl+Shift+Tab back\n"
        "  F1              This help\n"
        "  Alt+letter      The button whose caption has that letter underlined\n"
        "\n"
        "Code-table grid\n"
        "  Tab, Shift+Tab  Next, previous label cell; leave the grid at its ends\n"
        "  F2 or typing    Edit the current cell\n"
        "  Enter           Keep the label, go to the cell below (Shift+Enter: above)\n"
        "  Ctrl+C, Ctrl+X  Copy, cut the selection as tab-separated text\n"
        "  Ctrl+V          Paste tab-separated text at the selection\n"
        "  Delete          Empty the selected cells\n"
        "  Ctrl+D          Fill down: the top cell of the selection into the cells below\n"
        "  Ctrl+L          Fill a series down: 1, 2, 3 ... or B2, B1, G, 1, 2 ...\n"
        "\n"
        "Pictures and lists\n"
        "  Arrow keys      Move between the message pictures of a page\n"
        "  Up, Down        Switch the message pages from their tabs\n"
        "  Enter or Space  Choose a picture's bitmap, or the ROM file in the file list\n"
        "\n"
        "A tinted cell holds a label the display cannot show; its tool tip says why.\n"
        "Drop a .dcf file on the window to load it, a .BIN file on the Make tab to\n"
        "make it the ROM file name, a BMP on a message picture or the logo to use it.");
}

THelpDialog::THelpDialog(const TConfiguration& Config, QWidget* Parent)
    : TTextDialog(QStringLiteral("DPU-510TK3 Lift LCD Editor Help"), QStringLiteral("HelpDialog"),
                  Parent) {
    QPlainTextEdit* text = AddText(HelpText(), QStringLiteral("HelpText"), QSize(0, 0));
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    text->setFont(mono);
    text->ensurePolished();
    // Every line shows without scrolling: the panel is as large as the text
    // in its own font, with room for the frame and the document's margins
    // (on a screen too small for that, it scrolls).
    const QFontMetrics metrics = text->fontMetrics();
    const QStringList lines = HelpText().split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    // A pixel a line, half a line and two characters to spare: the panel lays
    // its lines out in fractions of a pixel and rounds them up.
    const int edge = 2 * text->frameWidth() +
                     2 * static_cast<int>(std::ceil(text->document()->documentMargin()));
    QSize whole(widest + edge + 2 * metrics.averageCharWidth(),
                static_cast<int>(lines.size()) * (metrics.lineSpacing() + 1) + edge +
                    metrics.lineSpacing() / 2);
    if (const QScreen* screen = Parent ? Parent->screen() : QGuiApplication::primaryScreen())
        // The title bar, the buttons and the margins take the rest.
        whole = whole.boundedTo(screen->availableGeometry().size() - QSize(40, 120));
    text->setMinimumSize(whole);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPushButton* about =
        Buttons()->addButton(QStringLiteral("&About..."), QDialogButtonBox::ActionRole);
    about->setObjectName("HelpAboutButton");
    const TConfiguration* config = &Config;
    connect(about, &QPushButton::clicked, this, [this, config] {
        TAboutDialog box(*config, this);
        box.exec();
    });
}
