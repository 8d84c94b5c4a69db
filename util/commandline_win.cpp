#include "util/commandline.h"

#include <windows.h>

#include <shellapi.h>

namespace YVclUtil {

namespace {

std::string Utf8(const wchar_t* Text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, Text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, Text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    // The wide line splits as the runtime split argv; anything else means the
    // two disagree, and argv is the safer of them.
    if (!wide || count != argc) {
        if (wide) ::LocalFree(wide);
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc)
                        : std::vector<std::string>();
    }
    std::vector<std::string> out;
    for (int i = 1; i < count; ++i)
        out.push_back(Utf8(wide[i]));
    ::LocalFree(wide);
    return out;
}

} // namespace YVclUtil
