#pragma once

#include <string>

// The three-way question before unsaved changes would be lost (closing the
// window, loading another project). Prompts that can ask it implement this
// beside YVclUtil::Prompts; the window falls back to a yes/no box otherwise.
class TSaveQuestion {
public:
    enum class TAnswer { Save, Discard, Cancel };
    virtual ~TSaveQuestion() = default;
    // Save, Discard or Cancel; a box closed without a choice is Cancel.
    virtual TAnswer AskSaveChanges(const std::string& Caption, const std::string& Text) = 0;
};
