#include "app/tstderrprompts.h"

#include <cstdio>

namespace {

// A box's text ends in line feeds; one line per box keeps stderr greppable.
std::string OneLine(std::string Text) {
    while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r'))
        Text.pop_back();
    for (char& c : Text)
        if (c == '\n' || c == '\r') c = ' ';
    return Text;
}

} // namespace

void TStderrPrompts::MessageBox(const std::string& Caption, const std::string& Text) {
    Write(Caption, Text);
}

void TStderrPrompts::Write(const std::string& Caption, const std::string& Text) {
    std::fprintf(stderr, "[Box] %s: %s\n", Caption.c_str(), OneLine(Text).c_str());
    std::fflush(stderr);
}

bool TStderrPrompts::AskYesNo(const std::string& Caption, const std::string& Text) {
    Write(Caption, Text);
    return false;
}
