#include "util/programdir.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace YVclUtil {

namespace {

std::string Utf8(const std::wstring& Text) {
    if (Text.empty()) return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                        nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

// The full path of this process's executable; empty on failure. The call
// truncates silently when the buffer is short, so it grows until the answer
// fits (long paths reach 32767 characters).
std::wstring ModulePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    while (buffer.size() <= 32768) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::wstring();
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
    return std::wstring();
}

} // namespace

std::string ExecutableFolder() {
    std::string path = Utf8(ModulePath());
    std::replace(path.begin(), path.end(), '\\', '/');
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    path.erase(slash);
    // A program at a drive's root: "C:" alone would mean that drive's current folder.
    if (path.size() == 2 && path[1] == ':') path += '/';
    return path;
}

} // namespace YVclUtil
