#include "app/tqtprompts.h"

#include "util/qstringconv.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace {

constexpr auto& ToQ = YVclUtil::ToQString;
constexpr auto& FromQ = YVclUtil::FromQString;

QMessageBox::Icon IconFor(const std::string& Caption) {
    if (Caption == "Status") return QMessageBox::Information;
    if (Caption == "Warning" || Caption == "Make ROM abort" || Caption == "No service!!")
        return QMessageBox::Warning;
    return QMessageBox::Critical;
}

// Shows a file dialog set up by the caller; FileName is the suggestion on
// entry and the absolute choice on return (unchanged when cancelled).
bool RunFileDialog(QFileDialog& Dialog, const QString& NameFilter, const std::string& DefaultExt,
                   std::string& FileName) {
    Dialog.setNameFilter(NameFilter);
    if (!DefaultExt.empty()) Dialog.setDefaultSuffix(ToQ(DefaultExt));
    if (!FileName.empty()) Dialog.selectFile(ToQ(FileName));
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty()) return false;
    FileName = FromQ(QFileInfo(Dialog.selectedFiles().first()).absoluteFilePath());
    return true;
}

} // namespace

QString TQtPrompts::QtFilter(const std::string& Filter) {
    const QStringList parts = ToQ(Filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString text = parts[i].trimmed();
        // Files made on other systems carry upper- or lower-case extensions:
        // each pattern is offered in both forms.
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            for (const QString& form : {p.trimmed(), p.trimmed().toLower(), p.trimmed().toUpper()})
                if (!patterns.contains(form)) patterns << form;
        }
        QString label = text;
        // The entry's own "(*.ext)" is replaced by the full pattern list.
        const int paren = static_cast<int>(label.lastIndexOf('('));
        if (label.endsWith(')') && paren >= 0) label = label.left(paren).trimmed();
        out << QStringLiteral("%1 (%2)").arg(label, patterns.join(' '));
    }
    if (out.isEmpty()) out << QStringLiteral("All files (*)");
    return out.join(QStringLiteral(";;"));
}

QString TQtPrompts::DialogTitle(const QString& Verb, const std::string& Filter) {
    // The first entry of the filter says what is being chosen: "Save DVE510TK3 Project File".
    QString what = ToQ(Filter).section('|', 0, 0).trimmed();
    const int paren = static_cast<int>(what.lastIndexOf('('));
    if (what.endsWith(')') && paren >= 0) what = what.left(paren).trimmed();
    return what.isEmpty() ? Verb : Verb + ' ' + what;
}

void TQtPrompts::MessageBox(const std::string& Caption, const std::string& Text) {
    // The arrow must be visible while a box waits for the person.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(IconFor(Caption), ToQ(Caption), ToQ(Text), QMessageBox::Ok, FOwner);
    box.exec();
    QApplication::restoreOverrideCursor();
}

bool TQtPrompts::AskYesNo(const std::string& Caption, const std::string& Text) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::Question, ToQ(Caption), ToQ(Text),
                    QMessageBox::Yes | QMessageBox::No, FOwner);
    box.setDefaultButton(QMessageBox::No);
    const int answer = box.exec();
    QApplication::restoreOverrideCursor();
    return answer == QMessageBox::Yes;
}

TSaveQuestion::TAnswer TQtPrompts::AskSaveChanges(const std::string& Caption,
                                                  const std::string& Text) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::Warning, ToQ(Caption), ToQ(Text),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, FOwner);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    // Alt+S, Alt+D and Alt+C answer from the keyboard (Enter saves, Esc cancels).
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Cancel"));
    const int answer = box.exec();
    QApplication::restoreOverrideCursor();
    if (answer == QMessageBox::Save) return TAnswer::Save;
    return answer == QMessageBox::Discard ? TAnswer::Discard : TAnswer::Cancel;
}

bool TQtPrompts::OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                                std::string& FileName) {
    QFileDialog dialog(FOwner, DialogTitle(QStringLiteral("Open"), Filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return RunFileDialog(dialog, QtFilter(Filter), DefaultExt, FileName);
}

bool TQtPrompts::SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                                std::string& FileName) {
    QFileDialog dialog(FOwner, DialogTitle(QStringLiteral("Save"), Filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The overwrite question is the core's own ("File exist!!"), not the dialog's.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    return RunFileDialog(dialog, QtFilter(Filter), DefaultExt, FileName);
}

bool TQtPrompts::OpenPictureDialog(const std::string& Filter, std::string& FileName) {
    const std::string filter = Filter.empty() ? std::string("Bitmaps (*.bmp)|*.bmp;*.BMP") : Filter;
    return OpenFileDialog(filter, std::string(), FileName);
}

void TQtPrompts::SetBusyCursor(bool Busy) {
    if (Busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++FBusyDepth;
    } else {
        // Restores every hourglass still set, so a failed operation never leaves one behind.
        while (FBusyDepth > 0) {
            QApplication::restoreOverrideCursor();
            --FBusyDepth;
        }
    }
}
