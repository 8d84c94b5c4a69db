#pragma once

#include "app/tsavequestion.h"
#include "support/tscriptedprompts.h"

#include <deque>
#include <string>
#include <vector>

// The scripted answers of the support library, strict (every question and
// dialog must be queued), plus the window's Save/Discard/Cancel question.
class TScriptedEditorPrompts : public TScriptedPrompts, public TSaveQuestion {
public:
    TScriptedEditorPrompts() { Strict = true; }
    TAnswer AskSaveChanges(const std::string& Caption, const std::string& Text) override;
    void QueueSaveAnswer(TAnswer A) { SaveAnswers.push_back(A); }
    std::deque<TAnswer> SaveAnswers;
    // Texts of the Save/Discard/Cancel questions asked.
    std::vector<std::string> SaveQuestions;
};
