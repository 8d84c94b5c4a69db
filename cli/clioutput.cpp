#include "cli/clioutput.h"

TCliOutput::~TCliOutput() {
    if (!Holding) return;
    YVclUtil::SetErrMsgBoxHandler(std::move(Previous));
    std::lock_guard<std::mutex> lock(HeldLock);
    if (ErrorCount > 0) return;
    for (const std::string& box : Held) {
        std::fflush(Out);
        std::fprintf(Err, "%s\n", Chomp(box).c_str());
    }
    std::fflush(Err);
}

void TCliOutput::HoldLibraryBoxes() {
    if (Holding) return;
    Holding = true;
    Previous =
        YVclUtil::SetErrMsgBoxHandler([this](const std::string& Caption, const std::string& Text) {
            std::lock_guard<std::mutex> lock(HeldLock);
            Held.push_back(Caption + ": " + Text);
        });
}

std::string TCliOutput::Chomp(const std::string& Text) {
    size_t end = Text.size();
    while (end > 0 && (Text[end - 1] == '\n' || Text[end - 1] == '\r' || Text[end - 1] == ' '))
        --end;
    return Text.substr(0, end);
}

void TCliOutput::MessageBox(const std::string& Caption, const std::string& Text) {
    if (Caption == "Status") {
        std::fprintf(Out, "%s\n", Chomp(Text).c_str());
        std::fflush(Out);
        return;
    }
    if (DropRepeatedBoxes && BoxesShown.count(Text)) return;
    BoxesShown.insert(Text);
    Error(Text);
}

bool TCliOutput::AskYesNo(const std::string& Caption, const std::string& Text) {
    Error(Caption + ": " + Text);
    return false;
}

void TCliOutput::AppendLog(const std::string& Line) {
    // Start-up and the project load both read the glyph library; one line
    // about it is enough.
    if (DropRepeatedBoxes && !LinesShown.insert(Line).second) return;
    if (Line.rfind("[Warning]", 0) == 0 || Line.rfind("[Error]", 0) == 0) ++WarningLines;
    std::fprintf(Out, "%s\n", Line.c_str());
    std::fflush(Out);
}

void TCliOutput::Error(const std::string& Text) {
    std::fflush(Out);
    std::fprintf(Err, "%s\n", Chomp(Text).c_str());
    std::fflush(Err);
    ++ErrorCount;
}
