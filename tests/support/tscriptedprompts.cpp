#include "tscriptedprompts.h"

#include <gtest/gtest.h>

void TScriptedPrompts::MessageBox(const std::string& Caption, const std::string& Text) {
    Boxes.emplace_back(Caption, Text);
    if (WhileShowing) WhileShowing();
}

bool TScriptedPrompts::AskYesNo(const std::string& Caption, const std::string& Text) {
    Questions.emplace_back(Caption, Text);
    if (WhileAsking) WhileAsking();
    if (Answers.empty()) {
        if (Strict) ADD_FAILURE() << "unexpected question: " << Caption << " / " << Text;
        return !Strict && DefaultYes;
    }
    const bool yes = Answers.front();
    Answers.pop_front();
    return yes;
}

bool TScriptedPrompts::NextFile(const std::string& Filter, std::string& FileName) {
    DialogFilters.push_back(Filter);
    Suggestions.push_back(FileName);
    if (Files.empty()) {
        if (Strict) ADD_FAILURE() << "unexpected file dialog with filter " << Filter;
        return false;
    }
    const std::string answer = Files.front();
    Files.pop_front();
    if (answer.empty()) return false;
    FileName = answer;
    return true;
}

bool TScriptedPrompts::OpenFileDialog(const std::string& Filter, const std::string&,
                                      std::string& FileName) {
    return NextFile(Filter, FileName);
}

bool TScriptedPrompts::SaveFileDialog(const std::string& Filter, const std::string&,
                                      std::string& FileName) {
    return NextFile(Filter, FileName);
}

bool TScriptedPrompts::OpenPictureDialog(const std::string& Filter, std::string& FileName) {
    return NextFile(Filter, FileName);
}

void TScriptedPrompts::SetBusyCursor(bool Busy) {
    Cursor.push_back(Busy);
}

bool TScriptedPrompts::CursorBalanced() const {
    int depth = 0;
    for (bool busy : Cursor)
        depth += busy ? 1 : -1;
    return depth == 0;
}
