#include "app/tprojectsession.h"

#include "app/guarded.h"
#include "app/qtext.h"
#include "app/teditcommand.h"
#include "app/tsavequestion.h"
#include "project/tprojectfile.h"

#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QUndoStack>

using DpuProject::TProjectFile;

TProjectSession::TProjectSession(QMainWindow& Window, YVclUtil::Prompts& Plain,
                                 TRememberingPrompts& Remember, std::function<void()> Save)
    : QObject(&Window), FWindow(Window), FPlain(Plain), FRemember(Remember),
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
        connect(a, &QAction::triggered, this,
                Guarded(FRemember, [Open, path] { Open(FromQ(path)); }));
    }
}
