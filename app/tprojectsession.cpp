#include "app/tprojectsession.h"

#include "app/guarded.h"
#include "app/qtext.h"
#include "app/teditcommand.h"
#include "app/tsavequestion.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "util/fileaccess.h"

#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QUndoStack>

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuProject::TProjectFile;

TProjectSession::TProjectSession(QMainWindow& Window, YVclUtil::Prompts& Plain,
                                 TRememberingPrompts& Remember, YVclUtil::MessageSink& Log,
                                 std::function<void()> Save)
    : QObject(&Window), FWindow(Window), FPlain(Plain), FRemember(Remember), FLog(Log),
      FSave(std::move(Save)) {
    FUndo = new QUndoStack(this);
    connect(FUndo, &QUndoStack::cleanChanged, this, [this] { UpdateModified(); });
}

void TProjectSession::AddIndicator(QStatusBar* Bar) {
    // Beside the four panels, so their texts stay as they are.
    FModified = new QLabel(QStringLiteral("Unsaved changes"), Bar);
    FModified->setObjectName("ModifiedIndicator");
    FModified->setToolTip(QStringLiteral("The project has changes that are not saved"));
    FModified->setStyleSheet(
        QStringLiteral("QLabel { color: #b00000; font-weight: bold; padding: 0 6px; }"));
    FModified->setVisible(false);
    Bar->addWidget(FModified);
}

bool TProjectSession::HasUnsavedChanges() const {
    return !FUndo->isClean() || FOtherChanges;
}

void TProjectSession::UpdateModified() {
    if (FModified) FModified->setVisible(HasUnsavedChanges());
}

void TProjectSession::MarkOtherChange() {
    FOtherChanges = true;
    UpdateModified();
}

void TProjectSession::MarkSaved() {
    FUndo->setClean();
    FOtherChanges = false;
    UpdateModified();
}

bool TProjectSession::ConfirmUnsaved() {
    if (!HasUnsavedChanges()) return true;
    const std::string caption = "Unsaved changes";
    const std::string text = "The project has changes that are not saved.\n\nSave them first?";
    TSaveQuestion::TAnswer answer;
    if (auto* three = dynamic_cast<TSaveQuestion*>(&FPlain))
        answer = three->AskSaveChanges(caption, text);
    else
        answer = FRemember.AskYesNo(caption, text) ? TSaveQuestion::TAnswer::Save
                                                   : TSaveQuestion::TAnswer::Discard;
    switch (answer) {
    case TSaveQuestion::TAnswer::Save:
        FSave();
        // A cancelled or failed save keeps everything as it was.
        return !HasUnsavedChanges();
    case TSaveQuestion::TAnswer::Discard:
        return true;
    case TSaveQuestion::TAnswer::Cancel:
        break;
    }
    return false;
}

std::vector<TProjectSession::TInput> TProjectSession::ProgramInputs(const TProject& Project,
                                                                    const TConfiguration& Config) {
    std::vector<TInput> inputs{{"configuration file", Config.IniPath()},
                               {"glyph library", Config.GlbPath()}};
    if (!Config.UbfGlbName.empty()) inputs.push_back({"user glyph library", Config.UbfGlbPath()});
    inputs.push_back({"blank logo", Config.BlankLogoPath()});
    if (!Project.TITLEFILENAME_C.empty())
        inputs.push_back({"customer logo", Project.TITLEFILENAME_C});
    for (int state = 0; state < TProject::StateCount; ++state)
        for (int slot = 0; slot < 4; ++slot)
            if (!Project.Slot(state, slot).empty())
                inputs.push_back({"lift-state picture", Project.Slot(state, slot)});
    return inputs;
}

bool TProjectSession::RefuseInput(TProjectFile& File, const TProject& Project,
                                  const TConfiguration& Config, const std::string& Target) {
    for (const TInput& input : ProgramInputs(Project, Config)) {
        if (!YVclUtil::SameFile(Target, input.Path)) continue;
        File.LastError =
            "project file \"" + Target + "\" is the " + input.What + " \"" + input.Path + "\"";
        FLog.AppendLog("[Error] Can not write project file \"" + Target + "\": it is the " +
                       input.What + " \"" + input.Path + "\"");
        FRemember.MessageBox("File error", "Can not save the project over the " + input.What +
                                               "!!\n\n" + Target + "\nis the same file as\n" +
                                               input.Path + "\n\n");
        return true;
    }
    return false;
}

bool TProjectSession::SaveProject(TProjectFile& File, TProject& Project,
                                  const TConfiguration& Config, TSaveMode Mode) {
    Project.SaveDone = false;
    File.LastError.clear();
    std::string target;
    const bool inPlace = Mode == TSaveMode::InPlace && !File.LastPath.empty() &&
                         QFileInfo(ToQ(File.LastPath)).isFile();
    if (inPlace) {
        // The file the person last saved or loaded: no dialog, no question.
        target = File.LastPath;
    } else {
        if (!FRemember.SaveFileDialog(TProjectFile::Filter, TProjectFile::DefaultExt, target) ||
            ToQ(target).trimmed().isEmpty()) {
            File.LastError = "save cancelled";
            return false;
        }
        if (!QFileInfo(ToQ(target)).fileName().contains('.'))
            target += std::string(".") + TProjectFile::DefaultExt;
    }
    // Refused before the overwrite question: there is nothing to agree to.
    if (RefuseInput(File, Project, Config, target)) return false;
    if (!inPlace && QFileInfo::exists(ToQ(target)) &&
        !FRemember.AskYesNo("Overlay file", "File exist!!\n\nOverlay?\n")) {
        File.LastError = "overwrite declined";
        return false;
    }
    if (!File.SaveTo(target)) return false;
    MarkSaved();
    NoteProjectFile(File.LastPath);
    return true;
}

void TProjectSession::Record(const QString& What, std::function<void()> Redo,
                             std::function<void()> Undo) {
    FUndo->push(new TEditCommand(What, std::move(Redo), std::move(Undo)));
}

std::unique_ptr<QSettings> TProjectSession::OpenSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("dpu510tk3"), QStringLiteral("editor"));
}

void TProjectSession::LoadSettings() {
    const auto settings = OpenSettings();
    FRecent = settings->value(QStringLiteral("RecentProjects")).toStringList();
    while (FRecent.size() > MaxRecent)
        FRecent.removeLast();
    settings->beginGroup(QStringLiteral("LastFiles"));
    for (const QString& purpose : settings->childKeys())
        FRemember.Remember(FromQ(purpose), FromQ(settings->value(purpose).toString()));
    settings->endGroup();
    const QByteArray geometry = settings->value(QStringLiteral("WindowGeometry")).toByteArray();
    if (!geometry.isEmpty()) FWindow.restoreGeometry(geometry);
}

void TProjectSession::SaveSettings() const {
    const auto settings = OpenSettings();
    settings->setValue(QStringLiteral("RecentProjects"), FRecent);
    settings->beginGroup(QStringLiteral("LastFiles"));
    for (const auto& [purpose, path] : FRemember.All())
        settings->setValue(ToQ(purpose), ToQ(path));
    settings->endGroup();
    settings->setValue(QStringLiteral("WindowGeometry"), FWindow.saveGeometry());
}

void TProjectSession::NoteProjectFile(const std::string& Path) {
    if (Path.empty()) return;
    const QString full = QFileInfo(ToQ(Path)).absoluteFilePath();
    FRemember.Remember(TRememberingPrompts::Purpose(TProjectFile::Filter), FromQ(full));
    FRecent.removeAll(full);
    FRecent.prepend(full);
    while (FRecent.size() > MaxRecent)
        FRecent.removeLast();
    SaveSettings();
}

void TProjectSession::FillRecentMenu(QMenu* Menu, std::function<void(const std::string&)> Open) {
    Menu->clear();
    if (FRecent.isEmpty()) {
        Menu->addAction(QStringLiteral("(no recent projects)"))->setEnabled(false);
        return;
    }
    for (const QString& path : FRecent) {
        QAction* a = Menu->addAction(path);
        connect(a, &QAction::triggered, this, Guarded(FRemember, [this, Open, path] {
                    // Asked about unsaved changes first, the person would
                    // learn only afterwards that there is nothing to open.
                    if (!QFileInfo::exists(path)) {
                        FRemember.MessageBox("File error",
                                             "Project file not found!!\n\n" + FromQ(path) + "\n\n");
                        return;
                    }
                    Open(FromQ(path));
                }));
    }
}
