#pragma once

#include "trecordingsink.h"

#include "util/prompts.h"

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Answers the core's questions from a script and records what it was shown,
// asked and logged. A question or file dialog with nothing queued gets
// DefaultYes / a cancel; with Strict it is also a test failure.
class TScriptedPrompts : public YVclUtil::Prompts, public TRecordingSink {
public:
    void MessageBox(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;
    bool OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool OpenPictureDialog(const std::string& Filter, std::string& FileName) override;
    void SetBusyCursor(bool Busy) override;

    // Queues the answer of the next file dialog; "" cancels it.
    void QueueFile(const std::string& Path) { Files.push_back(Path); }
    void QueueYesNo(bool Yes) { Answers.push_back(Yes); }
    // True when every hourglass was taken back.
    bool CursorBalanced() const;

    // Runs while each question is open, before it is answered (what else
    // happens meanwhile: a file changes, a port goes).
    std::function<void()> WhileAsking;
    // Runs while each message box is open, before it is closed (what the
    // window already shows then).
    std::function<void()> WhileShowing;

    bool Strict = false;
    bool DefaultYes = false;
    std::deque<std::string> Files;
    std::deque<bool> Answers;

    // (caption, text) of every message box, in order.
    std::vector<std::pair<std::string, std::string>> Boxes;
    // Caption and text of every yes/no question.
    std::vector<std::pair<std::string, std::string>> Questions;
    // Filters the file dialogs were opened with, and their suggestions on entry.
    std::vector<std::string> DialogFilters;
    std::vector<std::string> Suggestions;
    // Busy-cursor calls: true = hourglass.
    std::vector<bool> Cursor;

private:
    bool NextFile(const std::string& Filter, std::string& FileName);
};
