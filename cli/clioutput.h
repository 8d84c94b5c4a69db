#pragma once

#include "util/errmsgbox.h"
#include "util/prompts.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// The tool's answers to the core's questions and its message log: log lines
// go to standard output one per line; boxes captioned "Status" are reports
// and go to standard output, every other box is a stop or a warning and goes
// to standard error. Questions are answered "No" and file dialogs are
// cancelled: the tool never asks.
class TCliOutput : public YVclUtil::Prompts, public YVclUtil::MessageSink {
public:
    TCliOutput(FILE* Out = stdout, FILE* Err = stderr) : Out(Out), Err(Err) {}
    // Puts back the error-box handler HoldLibraryBoxes replaced and writes
    // the boxes it held, unless a message of the command's own went out.
    ~TCliOutput() override;
    TCliOutput(const TCliOutput&) = delete;
    TCliOutput& operator=(const TCliOutput&) = delete;

    // From now on the error boxes of the libraries (the INI engine's "Err:
    // Can not open file ...", the serial component's) are held instead of
    // written at once: the command says what went wrong in its own words,
    // and a box is written (at the end, "caption: text") only when nothing
    // else reported the trouble.
    void HoldLibraryBoxes();

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
    // Number of log lines beginning "[Warning]" or "[Error]" written so far.
    int WarningLines = 0;
    // Every report written so far: those lines and the messages on standard
    // error (a box dropped as a repeat is not written, nor counted).
    int Reports() const { return WarningLines + ErrorCount; }

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
    bool Holding = false;
    YVclUtil::ErrMsgBoxHandler Previous;
    std::mutex HeldLock; // boxes may come from the serial monitor thread
    std::vector<std::string> Held;
    std::set<std::string> BoxesShown;
    std::set<std::string> LinesShown;
};
