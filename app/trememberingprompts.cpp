#include "app/trememberingprompts.h"

#include <algorithm>
#include <cctype>

void TRememberingPrompts::MessageBox(const std::string& Caption, const std::string& Text) {
    FInner.MessageBox(Caption, Text);
}

bool TRememberingPrompts::AskYesNo(const std::string& Caption, const std::string& Text) {
    return FInner.AskYesNo(Caption, Text);
}

void TRememberingPrompts::SetBusyCursor(bool Busy) {
    FInner.SetBusyCursor(Busy);
}

std::string TRememberingPrompts::Purpose(const std::string& Filter) {
    const size_t bar = Filter.find('|');
    std::string pattern = bar == std::string::npos ? Filter : Filter.substr(bar + 1);
    pattern = pattern.substr(0, pattern.find_first_of(";|"));
    const size_t dot = pattern.rfind('.');
    if (dot == std::string::npos) return std::string();
    std::string ext = pattern.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return ext == "*" ? std::string() : ext;
}

void TRememberingPrompts::Remember(const std::string& Purpose, const std::string& Path) {
    if (Purpose.empty()) return;
    if (Path.empty())
        FLast.erase(Purpose);
    else
        FLast[Purpose] = Path;
}

std::string TRememberingPrompts::LastFile(const std::string& Purpose) const {
    const auto it = FLast.find(Purpose);
    return it == FLast.end() ? std::string() : it->second;
}

void TRememberingPrompts::Suggest(const std::string& Filter, std::string& FileName) const {
    if (FileName.empty()) FileName = LastFile(Purpose(Filter));
}

bool TRememberingPrompts::OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                                         std::string& FileName) {
    std::string name = FileName;
    Suggest(Filter, name);
    if (!FInner.OpenFileDialog(Filter, DefaultExt, name)) return false;
    FileName = name;
    Remember(Purpose(Filter), name);
    return true;
}

bool TRememberingPrompts::SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                                         std::string& FileName) {
    std::string name = FileName;
    Suggest(Filter, name);
    if (!FInner.SaveFileDialog(Filter, DefaultExt, name)) return false;
    FileName = name;
    Remember(Purpose(Filter), name);
    return true;
}

bool TRememberingPrompts::OpenPictureDialog(const std::string& Filter, std::string& FileName) {
    std::string name = FileName;
    Suggest(Filter, name);
    if (!FInner.OpenPictureDialog(Filter, name)) return false;
    FileName = name;
    Remember(Purpose(Filter), name);
    return true;
}
