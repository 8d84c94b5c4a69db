#include "app/taboutdialog.h"
#include "apphelpers.h"
#include "tscriptededitorprompts.h"
#include "support/ttestworkspace.h"

#include <QDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolButton>

using DpuProject::TConfiguration;

using namespace DpuProject;

namespace {

TEST(AboutDialog, FactsNameVersionLibraryDatesAndDirectories) {
    TConfiguration config;
    config.ProgramDir = "/usr/lib/dpu510tk3/";
    config.StartupDir = "/home/eng/work";
    config.GlbName = "D510TK3.GLB";
    config.GlbDate = "251208";
    const QString facts = TAboutDialog::Facts(config);
    EXPECT_TRUE(QRegularExpression("^Version \\d+\\.\\d+").match(facts).hasMatch())
        << facts.toStdString();
    EXPECT_TRUE(facts.contains("Glyph library: D510TK3.GLB, dated 2025-12-08 (251208)"))
        << facts.toStdString();
    EXPECT_TRUE(facts.contains("Program directory: /usr/lib/dpu510tk3/"));
    EXPECT_TRUE(facts.contains("Start-up directory: /home/eng/work"));
    EXPECT_FALSE(facts.contains("User glyph library"));

    // A library start-up did not find, and a named user library.
    config.GlbDate = "000000";
    config.UbfGlbName = "USER.GLB";
    config.UbfGlbDate = "000000";
    const QString missing = TAboutDialog::Facts(config);
    EXPECT_TRUE(missing.contains("Glyph library: D510TK3.GLB, not found")) << missing.toStdString();
    EXPECT_TRUE(missing.contains("User glyph library: USER.GLB, not found"))
        << missing.toStdString();

    const QString licences = TAboutDialog::Licences();
    EXPECT_TRUE(licences.contains("Qt 6") &&
                licences.contains("Lesser General Public License 3.0"));
}

TEST(AboutDialog, StatusBarButtonAndTheHelpWindowOpenTheBoxWithTheLoadedLibrary) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    ASSERT_TRUE(form.StartupCompleted());
    auto* button = form.statusBar()->findChild<QToolButton*>("AboutButton");
    ASSERT_NE(button, nullptr);

    // The box is modal: look at it from inside its own event loop, then close it.
    auto openAndRead = [&](const std::function<void()>& Open) {
        QString seen;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box) return;
            if (auto* facts = box->findChild<QLabel*>("AboutFacts"))
                seen = box->windowTitle() + "\n" + facts->text();
            box->close();
        });
        Open();
        // Without a box the timer is still pending: let it run while seen lives.
        QCoreApplication::processEvents();
        return seen;
    };
    const QString fromButton = openAndRead([&] { button->click(); });
    EXPECT_TRUE(fromButton.startsWith("About DPU-510TK3 Lift LCD Editor\n"))
        << fromButton.toStdString();
    EXPECT_TRUE(fromButton.contains(QString::fromStdString("Glyph library: D510TK3.GLB, dated 20" +
                                                           form.Config().GlbDate.substr(0, 2))))
        << fromButton.toStdString();
    EXPECT_TRUE(fromButton.contains("Start-up directory: " + ws.Path()))
        << fromButton.toStdString();

    // F1 opens the short help; its "About..." button leads to the same box.
    QApplication::setActiveWindow(&form);
    QTest::keyClick(&form, Qt::Key_F1);
    auto* help = form.findChild<QDialog*>("HelpDialog");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->findChild<QPlainTextEdit*>("HelpText")
                    ->toPlainText()
                    .contains(QRegularExpression(QStringLiteral("Ctrl\\+B +MAKE ROM"))));
    auto* about = help->findChild<QAbstractButton*>("HelpAboutButton");
    ASSERT_NE(about, nullptr);
    const QString fromHelp = openAndRead([&] { about->click(); });
    EXPECT_EQ(fromHelp, fromButton);
}

} // namespace
