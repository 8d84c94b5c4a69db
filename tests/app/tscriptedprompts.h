#pragma once

#include "app/tsavequestion.h"
#include "util/prompts.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

// Answers the window's questions from a script and records what it was shown.
// A dialog asked for with no answer queued is a test failure (and is cancelled).
class TScriptedPrompts : public YVclUtil::Prompts, public TSaveQuestion {
public:
    void MessageBox(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;
    bool OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool OpenPictureDialog(const std::string& Filter, std::string& FileName) override;
    void SetBusyCursor(bool Busy) override;
    TAnswer AskSaveChanges(const std::string& Caption, const std::string& Text) override;
    void QueueSaveAnswer(TAnswer A) { SaveAnswers.push_back(A); }
    std::deque<TAnswer> SaveAnswers;
    // Texts of the Save/Discard/Cancel questions asked.
    std::vector<std::string> SaveQuestions;
    // What each file dialog was opened with as its suggestion.
    std::vector<std::string> Suggestions;

    // Queues the answer of the next file dialog; "" cancels it.
    void QueueFile(const std::string& Path) { Files.push_back(Path); }
    void QueueYesNo(bool Yes) { Answers.push_back(Yes); }

    // (caption, text) of every message box, in order.
    std::vector<std::pair<std::string, std::string>> Boxes;
    // Caption and text of every yes/no question.
    std::vector<std::pair<std::string, std::string>> Questions;
    // Filters the file dialogs were opened with.
    std::vector<std::string> DialogFilters;
    // Busy-cursor calls: true = hourglass.
    std::vector<bool> Cursor;

    std::deque<std::string> Files;
    std::deque<bool> Answers;

private:
    bool NextFile(const std::string& Filter, std::string& FileName);
};
