#include "tscriptededitorprompts.h"

#include <gtest/gtest.h>

TSaveQuestion::TAnswer TScriptedEditorPrompts::AskSaveChanges(const std::string&,
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
