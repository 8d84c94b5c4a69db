#pragma once

#include "app/tqtprompts.h"

#include <memory>

// Answers the editor's questions without a person, for a start-up check of
// an installed editor: every message box is written to standard error as
// "[Box] <caption>: <text>" instead of being shown, and Yes/No questions are
// answered No. File dialogs and the busy cursor are the Qt ones.
class TStderrPrompts : public TQtPrompts {
public:
    void MessageBox(const std::string& Caption, const std::string& Text) override;
    // Always false (No), after writing the question like a message box.
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;
    // Writes one box as MessageBox does; safe from any thread, so it also
    // serves as the libraries' error-box handler.
    static void Write(const std::string& Caption, const std::string& Text);
};
