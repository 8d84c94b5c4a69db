#pragma once

#include "util/prompts.h"

#include <cstdio>
#include <set>
#include <string>

// The tool's answers to the core's questions and its message log: log lines
// go to standard output one per line; boxes captioned "Status" are reports
// and go to standard output, every other box is a stop or a warning and goes
// to standard error. Questions are answered "No" and file dialogs are
// cancelled: the tool never asks.
class TCliOutput : public YVclUtil::Prompts, public YVclUtil::MessageSink {
public:
    TCliOutput(FILE* Out = stdout, FILE* Err = stderr) : Out(Out), Err(Err) {}

    void MessageBox(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;
    bool OpenFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool SaveFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool OpenPictureDialog(const std::string&, std::string&) override { return false; }
    void SetBusyCursor(bool) override {}

    void AppendLog(const std::string& Line) override;
    void ClearLog() override {}
    void SetStatus(int, const std::string&) override {}

    // Writes Text as one or more lines to standard error (trailing line ends dropped).
    void Error(const std::string& Text);

    // Number of messages written to standard error so far.
    int ErrorCount = 0;

    // While set, a box whose text was already written to standard error, and
    // a log line already written, is dropped: start-up and the project load
    // that follows it both report a missing glyph library (box and reason
    // line), and the tool says it once.
    bool DropRepeatedBoxes = false;

    // Text with its trailing line ends and blanks removed.
    static std::string Chomp(const std::string& Text);

private:
    FILE* Out;
    FILE* Err;
    std::set<std::string> BoxesShown;
    std::set<std::string> LinesShown;
};
