#include "app/tfilebrowser.h"

#include "util/prompts.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace {
constexpr int PathRole = Qt::UserRole + 1;
}

TFileBrowser::TFileBrowser(YVclUtil::Prompts* Prompts, QWidget* Parent)
    : QWidget(Parent), FPrompts(Prompts) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    FDrives = new QComboBox(this);
    FDrives->setObjectName("DriveList");
    // A screen reader names the list by the label it is the buddy of.
    auto* driveLabel = new QLabel(QStringLiteral("Drive:"), this);
    driveLabel->setBuddy(FDrives);
    FDirs = new QListWidget(this);
    FDirs->setObjectName("DirectoryList");
    FDirs->setToolTip(QStringLiteral("Double click a folder to open it"));
    FFiles = new QListWidget(this);
    FFiles->setObjectName("FileList");
    FWatcher = new QFileSystemWatcher(this);
    connect(FWatcher, &QFileSystemWatcher::directoryChanged, this, [this] { OnFolderChanged(); });
    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(driveLabel);
    driveRow->addWidget(FDrives, 1);
    layout->addLayout(driveRow);
    layout->addWidget(FDirs, 3);
    layout->addWidget(FFiles, 2);

    connect(FDrives, &QComboBox::activated, this, &TFileBrowser::OnDriveChosen);
    connect(FDirs, &QListWidget::itemActivated, this, &TFileBrowser::OnDirectoryActivated);
    connect(FFiles, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (item) emit FileClicked(item->text());
    });
    // The arrows only move through the list; Enter or Space choose, as a click does.
    FFiles->installEventFilter(this);

    FDirectory = QDir::currentPath();
    FillDrives();
    FillDirectories();
    FillFiles();
    Watch();
}

void TFileBrowser::Watch() {
    const QStringList watched = FWatcher->directories();
    if (watched == QStringList{FDirectory}) return;
    if (!watched.isEmpty()) FWatcher->removePaths(watched);
    // A folder that cannot be watched (too many watches, or gone) is still
    // read again whenever the browser is shown.
    if (QFileInfo(FDirectory).isDir()) FWatcher->addPath(FDirectory);
}

void TFileBrowser::OnFolderChanged() {
    // Keep the person's place in both lists.
    const QString file = FFiles->currentItem() ? FFiles->currentItem()->text() : QString();
    const QString dir =
        FDirs->currentItem() ? FDirs->currentItem()->data(PathRole).toString() : QString();
    FillDirectories();
    FillFiles();
    for (int i = 0; i < FDirs->count(); ++i)
        if (FDirs->item(i)->data(PathRole).toString() == dir) FDirs->setCurrentRow(i);
    const auto same = FFiles->findItems(file, Qt::MatchExactly);
    if (!file.isEmpty() && !same.isEmpty()) FFiles->setCurrentItem(same.first());
    // A folder removed and made again is a new one to the watcher.
    Watch();
}

void TFileBrowser::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    OnFolderChanged();
}

bool TFileBrowser::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched != FFiles || Event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(Watched, Event);
    auto* key = static_cast<QKeyEvent*>(Event);
    const bool chooses =
        key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
    if (!chooses || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier ||
        !FFiles->currentItem())
        return QWidget::eventFilter(Watched, Event);
    emit FileClicked(FFiles->currentItem()->text());
    return true;
}

void TFileBrowser::SetMask(const QString& Mask) {
    FMask = Mask;
    FillFiles();
}

bool TFileBrowser::SetDirectory(const QString& Path) {
    const QFileInfo info(Path);
    const QString abs = QDir::cleanPath(info.absoluteFilePath());
    QDir dir(abs);
    const bool readable = info.isDir() && dir.isReadable() && QFileInfo(abs).isExecutable();
    if (!readable || !QDir::setCurrent(abs)) {
        if (FPrompts)
            FPrompts->MessageBox("Error", std::string("Can not open folder ") +
                                              abs.toUtf8().toStdString() + " !!\n\n");
        FillDrives();
        return false;
    }
    FDirectory = abs;
    FillDrives();
    FillDirectories();
    FillFiles();
    Watch();
    emit DirectoryChanged(FDirectory);
    return true;
}

void TFileBrowser::Refresh() {
    // The process's current directory may have been changed behind our back.
    FDirectory = QDir::currentPath();
    FillDrives();
    FillDirectories();
    FillFiles();
    Watch();
}

void TFileBrowser::FillDrives() {
    FFilling = true;
    FDrives->clear();
    QStringList roots;
    roots << QStringLiteral("/");
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != QStringLiteral("/")) roots << home;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || roots.contains(root)) continue;
        if (root.startsWith(QStringLiteral("/media/")) ||
            root.startsWith(QStringLiteral("/mnt/")) ||
            root.startsWith(QStringLiteral("/run/media/")))
            roots << root;
    }
    // The entry that holds the current directory is the longest matching root.
    int current = 0, best = -1;
    for (int i = 0; i < roots.size(); ++i) {
        FDrives->addItem(roots[i], roots[i]);
        const QString prefix = roots[i].endsWith('/') ? roots[i] : roots[i] + '/';
        if ((FDirectory == roots[i] || FDirectory.startsWith(prefix)) && roots[i].size() > best) {
            best = static_cast<int>(roots[i].size());
            current = i;
        }
    }
    FDrives->setCurrentIndex(current);
    FFilling = false;
}

void TFileBrowser::FillDirectories() {
    FDirs->clear();
    // The path from the root down to the current folder, then its sub-folders.
    QStringList chain;
    QDir walk(FDirectory);
    chain.prepend(walk.absolutePath());
    while (walk.cdUp())
        chain.prepend(walk.absolutePath());
    int depth = 0;
    for (const QString& path : chain) {
        const QString name = path == QStringLiteral("/") ? path : QFileInfo(path).fileName();
        auto* item =
            new QListWidgetItem(QString(depth * 2, ' ') + QStringLiteral("\u25BE ") + name, FDirs);
        item->setData(PathRole, path);
        if (path == FDirectory) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            FDirs->setCurrentItem(item);
        }
        ++depth;
    }
    const QFileInfoList subs =
        QDir(FDirectory)
            .entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& sub : subs) {
        // The filter also passes links to devices; only a folder is one.
        if (!sub.isDir()) continue;
        auto* item = new QListWidgetItem(
            QString(depth * 2, ' ') + QStringLiteral("\u25B8 ") + sub.fileName(), FDirs);
        item->setData(PathRole, sub.absoluteFilePath());
    }
}

void TFileBrowser::FillFiles() {
    FFiles->clear();
    // The mask is compared without case, as on the system the files come from.
    QDir any(FDirectory);
    const QStringList masks = FMask.split(';', Qt::SkipEmptyParts);
    for (const QFileInfo& info : any.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        // Links to devices pass the filter too; only regular files are images.
        if (!info.isFile()) continue;
        const QString name = info.fileName();
        for (const QString& mask : masks) {
            const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(mask),
                                        QRegularExpression::CaseInsensitiveOption);
            if (re.match(name).hasMatch()) {
                FFiles->addItem(name);
                break;
            }
        }
    }
}

void TFileBrowser::OnDriveChosen(int Index) {
    if (FFilling || Index < 0) return;
    SetDirectory(FDrives->itemData(Index).toString());
}

void TFileBrowser::OnDirectoryActivated(QListWidgetItem* Item) {
    if (!Item) return;
    const QString path = Item->data(PathRole).toString();
    if (path != FDirectory) SetDirectory(path);
}
