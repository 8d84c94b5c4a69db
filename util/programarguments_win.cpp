#include "util/programarguments.h"

#include <windows.h>

#include <shellapi.h>

namespace YVclUtil {

namespace {

std::string Utf8(const wchar_t* Text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, Text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, Text, -1, out.data(), n, nullptr, nullptr);
    out.pop_back(); // the terminator
    return out;
}

} // namespace

std::vector<std::string> ProgramArguments(int Argc, const char* const* Argv) {
    int count = 0;
    // The runtime splits argv by the same rules (quotes, backslashes).
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide || count != Argc) {
        if (wide) ::LocalFree(wide);
        return std::vector<std::string>(Argv, Argv + Argc);
    }
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        out.push_back(Utf8(wide[i]));
    ::LocalFree(wide);
    return out;
}

} // namespace YVclUtil
