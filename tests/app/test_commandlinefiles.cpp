#include "apphelpers.h"
#include "tscriptededitorprompts.h"
#include "support/ttestworkspace.h"

#include "app/teditorarguments.h"
#include "app/tromimageview.h"
#include "rom/tmakerom.h"

#include <QDir>

using DpuRom::TMakeRom;

namespace {

TEditorArguments::TEarly Early(std::vector<const char*> Args) {
    Args.insert(Args.begin(), "dpu510tk3-editor");
    return TEditorArguments::Early(static_cast<int>(Args.size()), Args.data());
}

} // namespace

// --help and --version are found among Qt's options before Qt starts; a "--"
// makes the rest files, and whatever Qt left that looks like an option is refused.
TEST(EditorArguments, HelpAndVersionBeforeQtFilesAfter) {
    using E = TEditorArguments::TEarly;
    EXPECT_EQ(Early({}), E::Run);
    EXPECT_EQ(Early({"--help"}), E::Help);
    EXPECT_EQ(Early({"-h"}), E::Help);
    EXPECT_EQ(Early({"-platform", "offscreen", "--version"}), E::Version);
    EXPECT_EQ(Early({"a.dcf", "--version", "--help"}), E::Version);
    EXPECT_EQ(Early({"--", "--help"}), E::Run);
    EXPECT_EQ(Early({"help.dcf"}), E::Run);

    QStringList files;
    QString error;
    ASSERT_TRUE(TEditorArguments::Files({"editor", "a.dcf", "/x/B.BIN", "--", "-c.dcf", "--"},
                                        files, error));
    // "/x/B.BIN" stays as it is on Linux; Windows puts the current drive first.
    EXPECT_EQ(files, QStringList({QDir::current().absoluteFilePath("a.dcf"),
                                  QDir::current().absoluteFilePath("/x/B.BIN"),
                                  QDir::current().absoluteFilePath("-c.dcf"),
                                  QDir::current().absoluteFilePath("--")}));
    EXPECT_FALSE(TEditorArguments::Files({"editor", "a.dcf", "--bogus"}, files, error));
    EXPECT_EQ(error, "--bogus");
    EXPECT_TRUE(files.isEmpty());
    EXPECT_TRUE(std::string(TEditorArguments::HelpText()).find("--version") != std::string::npos);
}

// A project named on the command line opens as Load does: the unsaved-changes
// question first (Cancel keeps the window as it is), one project at a time.
TEST(EditorCommandLine, ProjectOpensAsLoadDoesAfterTheUnsavedQuestion) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    const std::string path = ws.File("named.dcf");
    TypeInCell(form, 2, 1, "7");
    ask.QueueFile(path);
    Click(form, "SaveButton");
    ASSERT_EQ(form.StatusText(0).toStdString(), "Project file: " + path);
    Click(form, "ClearAllButton");
    TypeInCell(form, 2, 1, "X");
    ASSERT_TRUE(form.HasUnsavedChanges());

    ask.QueueSaveAnswer(TSaveQuestion::TAnswer::Cancel);
    form.OpenFiles({"named.dcf", ws.Path() + "/second.dcf"});
    EXPECT_EQ(ask.SaveQuestions.size(), 1u);
    EXPECT_EQ(form.Cell(2, 1), "X");
    EXPECT_TRUE(LogText(form).contains(QString::fromStdString(
        "[Warning] One project at a time: " + ws.File("second.dcf") + " not opened")))
        << LogText(form).toStdString();

    // Relative names are taken in the current directory (the start-up one here).
    ask.QueueSaveAnswer(TSaveQuestion::TAnswer::Discard);
    form.OpenFiles({"named.dcf"});
    EXPECT_EQ(form.Cell(2, 1), "7");
    EXPECT_EQ(form.StatusText(0).toStdString(), "Project file: " + path);
    EXPECT_FALSE(form.HasUnsavedChanges());
    EXPECT_TRUE(ask.Boxes.empty());

    // A missing project is reported as Load reports it, by name as the
    // recent projects do, and kept in the log; nothing is asked first.
    TypeInCell(form, 2, 1, "8");
    form.OpenFiles({"gone.dcf"});
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0].first, "File error");
    EXPECT_EQ(ask.Boxes[0].second, "Project file not found!!\n\n" + ws.File("gone.dcf") + "\n\n");
    EXPECT_TRUE(LogText(form).contains(
        QString::fromStdString("[Error] Project file not found: " + ws.File("gone.dcf"))))
        << LogText(form).toStdString();
    EXPECT_EQ(ask.SaveQuestions.size(), 2u);
    EXPECT_EQ(form.Cell(2, 1), "8");
}

// A ROM image opens in a ROM image window of its own beside the main window;
// a file of another kind is refused with a box naming it.
TEST(EditorCommandLine, RomImageOpensInItsWindowOtherFilesAreRefused) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    form.Project().SetLabel(0, 3, "1");
    const std::string image = ws.File("SHOWN.BIN");
    TMakeRom make(form.Project(), form.Config(), form.Library(), ask, nullptr);
    make.OutputFile = image;
    ASSERT_TRUE(make.Run());
    ask.Boxes.clear(); // the build's own "Make ROM OK"

    form.OpenFiles({"SHOWN.BIN"});
    const auto views = form.findChildren<TRomImageView*>();
    ASSERT_EQ(views.size(), 1);
    EXPECT_TRUE(views[0]->isVisible());
    EXPECT_FALSE(views[0]->isModal());
    EXPECT_TRUE(views[0]->HasImage()) << views[0]->ErrorText();
    EXPECT_TRUE(ask.Boxes.empty());

    form.OpenFiles({"notes.txt"});
    ASSERT_EQ(ask.Boxes.size(), 1u);
    EXPECT_EQ(ask.Boxes[0].first, "File error");
    EXPECT_EQ(ask.Boxes[0].second, "Can not open " + ws.File("notes.txt") +
                                       ": not a project file (.dcf) or ROM image (.BIN)!!\n\n");
    EXPECT_EQ(form.findChildren<TRomImageView*>().size(), 1);
}
