#pragma once

#include "app/tsavequestion.h"
#include "util/prompts.h"

#include <QString>

class QWidget;

// The editor's answers to the core's questions: Qt message boxes, file
// dialogs and the hourglass cursor, owned by the main window.
class TQtPrompts : public YVclUtil::Prompts, public TSaveQuestion {
public:
    explicit TQtPrompts(QWidget* Owner = nullptr) : FOwner(Owner) {}

    void MessageBox(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;
    bool OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool OpenPictureDialog(const std::string& Filter, std::string& FileName) override;
    void SetBusyCursor(bool Busy) override;
    TAnswer AskSaveChanges(const std::string& Caption, const std::string& Text) override;

    // "Text (*.ext)|*.ext|Other|*.a;*.b" -> "Text (*.ext *.EXT);;Other (*.a *.A *.b *.B)".
    // An empty filter gives "All files (*)".
    static QString QtFilter(const std::string& Filter);
    // A file dialog's title: Verb and what the filter's first entry names
    // ("Save DVE510TK3 Project File"); Verb alone for an empty filter.
    static QString DialogTitle(const QString& Verb, const std::string& Filter);

private:
    QWidget* FOwner;
    int FBusyDepth = 0;
};
