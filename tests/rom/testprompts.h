#pragma once

#include "util/prompts.h"

#include <string>
#include <utility>
#include <vector>

// Records every box, log line and cursor change; questions get ScriptedYes.
class TTestPrompts : public YVclUtil::Prompts, public YVclUtil::MessageSink {
public:
    std::vector<std::pair<std::string, std::string>> Boxes;
    std::vector<std::string> Log;
    std::vector<bool> Cursor;
    bool ScriptedYes = false;

    void MessageBox(const std::string& Caption, const std::string& Text) override {
        Boxes.emplace_back(Caption, Text);
    }
    bool AskYesNo(const std::string&, const std::string&) override { return ScriptedYes; }
    bool OpenFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool SaveFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool OpenPictureDialog(const std::string&, std::string&) override { return false; }
    void SetBusyCursor(bool Busy) override { Cursor.push_back(Busy); }
    void AppendLog(const std::string& Line) override { Log.push_back(Line); }
    void ClearLog() override { Log.clear(); }
    void SetStatus(int, const std::string&) override {}
};
