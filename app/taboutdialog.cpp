#include "app/taboutdialog.h"

#include "dpu510tk3_version.h"
#include "project/tconfiguration.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

using DpuProject::TConfiguration;

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// "yymmdd" as the library's date; the start-up code keeps "000000" for a
// library it did not find.
QString LibraryDate(const std::string& Date) {
    if (Date.empty() || Date == "000000") return QStringLiteral("not found");
    if (Date.size() == 6)
        return QStringLiteral("dated 20%1-%2-%3 (%4)")
            .arg(Q(Date.substr(0, 2)), Q(Date.substr(2, 2)), Q(Date.substr(4, 2)), Q(Date));
    return QStringLiteral("dated %1").arg(Q(Date));
}

} // namespace

QString TAboutDialog::Facts(const TConfiguration& Config) {
    QStringList lines;
    lines << QStringLiteral("Version %1").arg(QStringLiteral(DPU510TK3_VERSION));
    lines << QStringLiteral("Qt %1 (built with %2)")
                 .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR));
    lines << QStringLiteral("Glyph library: %1, %2")
                 .arg(Q(Config.GlbName), LibraryDate(Config.GlbDate));
    if (!Config.UbfGlbName.empty())
        lines << QStringLiteral("User glyph library: %1, %2")
                     .arg(Q(Config.UbfGlbName), LibraryDate(Config.UbfGlbDate));
    if (!Config.SelectedVersion.empty())
        lines << QStringLiteral("Version section: %1").arg(Q(Config.SelectedVersion));
    lines << QStringLiteral("Program directory: %1").arg(Q(Config.ProgramDir));
    lines << QStringLiteral("Start-up directory: %1").arg(Q(Config.StartupDir));
    return lines.join('\n');
}

QString TAboutDialog::Licences() {
    return QStringLiteral(
        "Qt 6 (Core, Gui, Widgets): GNU Lesser General Public License 3.0\n"
        "GNU C++ library (libstdc++, libgcc): GNU General Public License 3.0 with the GCC Runtime "
        "Library Exception\n"
        "GNU C library: GNU Lesser General Public License 2.1 or later\n"
        "Libraries loaded by Qt (ICU, FreeType, HarfBuzz, libpng, zlib, PCRE2, X11, D-Bus and "
        "others): "
        "each under its own licence, stated in /usr/share/doc/<package>/copyright\n"
        "Glyph library and stock bitmaps: drawn from the DejaVu fonts (Bitstream Vera licence, "
        "public domain) "
        "and Noto Sans CJK (SIL Open Font License 1.1)");
}

TAboutDialog::TAboutDialog(const TConfiguration& Config, QWidget* Parent) : QDialog(Parent) {
    setObjectName("AboutDialog");
    setWindowTitle(QStringLiteral("About DPU-510TK3 Lift LCD Editor"));
    auto* layout = new QVBoxLayout(this);

    auto* title = new QLabel(QStringLiteral("<b>DPU-510TK3 Lift LCD Editor</b>"), this);
    layout->addWidget(title);
    auto* facts = new QLabel(Facts(Config), this);
    facts->setObjectName("AboutFacts");
    facts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(facts);

    layout->addWidget(new QLabel(QStringLiteral("Licences:"), this));
    auto* licences = new QPlainTextEdit(Licences(), this);
    licences->setObjectName("AboutLicences");
    licences->setReadOnly(true);
    licences->setMinimumSize(560, 150);
    layout->addWidget(licences);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void TAboutDialog::Attach(QMainWindow& Window, const TConfiguration& Config) {
    QWidget* window = &Window;
    const TConfiguration* config = &Config;
    auto open = [window, config] {
        TAboutDialog box(*config, window);
        box.exec();
    };
    auto* button = new QToolButton(Window.statusBar());
    button->setObjectName("AboutButton");
    button->setText(QStringLiteral("About"));
    button->setAutoRaise(true);
    Window.statusBar()->addPermanentWidget(button);
    QObject::connect(button, &QToolButton::clicked, window, open);
}
