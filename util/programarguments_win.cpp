#include "util/programarguments.h"

#include <windows.h>

// The C runtime's own splitter of the wide command line (msvcrt.dll exports
// it; the runtime's headers declare it for its start-up code only).
extern "C" {
struct _startupinfo {
    int newmode;
};
__declspec(dllimport) int __cdecl __wgetmainargs(int* Argc, wchar_t*** Argv, wchar_t*** Env,
                                                 int DoWildCard, _startupinfo* StartInfo);
}

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
    // The same splitter that made Argv (quotes, backslashes), on the wide
    // command line. CommandLineToArgvW would load the shell and with it the
    // whole windowing system at every start. The runtime owns the array.
    int count = 0;
    wchar_t** wide = nullptr;
    wchar_t** environment = nullptr;
    _startupinfo start{0};
    if (__wgetmainargs(&count, &wide, &environment, 0, &start) < 0 || !wide || count != Argc)
        return std::vector<std::string>(Argv, Argv + Argc);
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        out.push_back(Utf8(wide[i]));
    return out;
}

} // namespace YVclUtil
