#pragma once

#include <string>

namespace YVclUtil {

// Everything the core asks of a person: message boxes, the overwrite question,
// file dialogs and the busy cursor. The editor answers with Qt dialogs, the
// command-line tool from its arguments, tests from a script. Core code never
// opens a dialog itself.
class Prompts {
public:
    virtual ~Prompts() = default;

    // A modal box with an OK button.
    virtual void MessageBox(const std::string& Caption, const std::string& Text) = 0;
    // A Yes/No box; true for Yes.
    virtual bool AskYesNo(const std::string& Caption, const std::string& Text) = 0;
    // File dialogs. Filter is in the "Text (*.ext)|*.ext" form, DefaultExt
    // without the dot, FileName is the suggestion on entry and the choice on
    // return. False (FileName unchanged) when the person cancels.
    virtual bool OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                                std::string& FileName) = 0;
    virtual bool SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                                std::string& FileName) = 0;
    virtual bool OpenPictureDialog(const std::string& Filter, std::string& FileName) = 0;
    // Hourglass while true, the arrow again when false.
    virtual void SetBusyCursor(bool Busy) = 0;
};

// The message log under "Message box:" and the four status-bar panels, as
// plain text. The window shows them, the command-line tool prints the log.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void AppendLog(const std::string& Line) = 0;
    virtual void ClearLog() = 0;
    // Panel 0..3.
    virtual void SetStatus(int Panel, const std::string& Text) = 0;
};

} // namespace YVclUtil
