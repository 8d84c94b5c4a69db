#include "tscriptedprompts.h"

#include <gtest/gtest.h>

void TScriptedPrompts::MessageBox(const std::string& Caption, const std::string& Text) {
    Boxes.emplace_back(Caption, Text);
}

bool TScriptedPrompts::AskYesNo(const std::string& Caption, const std::string& Text) {
    Questions.emplace_back(Caption, Text);
    if (Answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << Caption << " / " << Text;
        return false;
    }
    const bool yes = Answers.front();
    Answers.pop_front();
    return yes;
}

TSaveQuestion::TAnswer TScriptedPrompts::AskSaveChanges(const std::string&,
                                                        const std::string& Text) {
    SaveQuestions.push_back(Text);
    if (SaveAnswers.empty()) {
        ADD_FAILURE() << "unexpected save question: " << Text;
        return TAnswer::Cancel;
    }
    const TAnswer a = SaveAnswers.front();
    SaveAnswers.pop_front();
    return a;
}

bool TScriptedPrompts::NextFile(const std::string& Filter, std::string& FileName) {
    DialogFilters.push_back(Filter);
    Suggestions.push_back(FileName);
    if (Files.empty()) {
        ADD_FAILURE() << "unexpected file dialog with filter " << Filter;
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
