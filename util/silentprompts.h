#pragma once

#include "util/prompts.h"

#include <string>
#include <utility>
#include <vector>

namespace YVclUtil {

// Prompts and MessageSink for work nobody watches (a recovery, the rebuild
// check, the tool's quiet reads, benchmarks, fuzz targets): boxes and log
// lines are kept here instead of shown, every yes/no question gets the answer
// chosen at construction, file dialogs are cancelled (false) and the busy
// cursor is ignored. It never fails; what it was told stays in Boxes and Log.
class SilentPrompts : public Prompts, public MessageSink {
public:
    explicit SilentPrompts(bool AnswerYes = false) : AnswerYes(AnswerYes) {}

    void MessageBox(const std::string& Caption, const std::string& Text) override {
        Boxes.emplace_back(Caption, Text);
    }
    bool AskYesNo(const std::string&, const std::string&) override { return AnswerYes; }
    bool OpenFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool SaveFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool OpenPictureDialog(const std::string&, std::string&) override { return false; }
    void SetBusyCursor(bool) override {}
    void AppendLog(const std::string& Line) override { Log.push_back(Line); }
    void ClearLog() override { Log.clear(); }
    void SetStatus(int, const std::string&) override {}

    // Caption and text of the last box; "" when none was shown.
    std::string LastCaption() const { return Boxes.empty() ? std::string() : Boxes.back().first; }
    std::string LastText() const { return Boxes.empty() ? std::string() : Boxes.back().second; }

    // (caption, text) of every box, in order.
    std::vector<std::pair<std::string, std::string>> Boxes;
    // The log lines since the last ClearLog.
    std::vector<std::string> Log;

private:
    bool AnswerYes;
};

} // namespace YVclUtil
