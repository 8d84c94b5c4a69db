#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QFileSystemWatcher;
class QListWidget;
class QListWidgetItem;

namespace YVclUtil {
class Prompts;
}

// The "Make" tab's drive list, directory list and file list, linked: the
// drive list drives the directory list, the directory list the file list.
// Entering a folder makes it the process's current directory. A folder that
// cannot be read is reported in a message box and the browser stays where it was.
// The lists follow the folder: files made or removed by other programs show
// while the browser is open (and again whenever it is shown). Only folders
// are offered as folders and only regular files as files: a link to a
// device (a serial port, a pseudo-terminal) is neither.
class TFileBrowser : public QWidget {
    Q_OBJECT
public:
    TFileBrowser(YVclUtil::Prompts* Prompts, QWidget* Parent = nullptr);

    // Shows Path and makes it the current directory. False (reported in a
    // message box, nothing changed) when it is not a readable folder.
    bool SetDirectory(const QString& Path);
    QString Directory() const { return FDirectory; }
    // Re-reads the current directory into the lists (after files changed).
    void Refresh();
    // The file list's mask, for example "*.BIN" (compared without case).
    void SetMask(const QString& Mask);

    QComboBox* DriveList() const { return FDrives; }
    QListWidget* DirectoryList() const { return FDirs; }
    QListWidget* FileList() const { return FFiles; }

protected:
    void showEvent(QShowEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

signals:
    // A file of the list was clicked, or chosen with Enter or Space: its
    // name without the folder.
    void FileClicked(const QString& FileName);
    void DirectoryChanged(const QString& Path);

private:
    void FillDrives();
    void FillDirectories();
    void FillFiles();
    void OnDriveChosen(int Index);
    void OnDirectoryActivated(QListWidgetItem* Item);
    // Watches FDirectory (and only it) for changes.
    void Watch();
    // The folder's entries changed: both lists again, the choices kept.
    void OnFolderChanged();

    YVclUtil::Prompts* FPrompts;
    QComboBox* FDrives;
    QListWidget* FDirs;
    QListWidget* FFiles;
    QFileSystemWatcher* FWatcher;
    QString FDirectory;
    QString FMask = QStringLiteral("*.BIN");
    bool FFilling = false;
};
