#include "util/eygeneral.h"

#include <cstdio>
#include <vector>

namespace YVclUtil {

std::string VFormat(const char* format, va_list args) {
    if (!format) return {};
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = VFormat(format, args);
    va_end(args);
    return s;
}

std::string CountOf(unsigned long long Count, const char* Noun) {
    return std::to_string(Count) + " " + Noun + (Count == 1 ? "" : "s");
}

EYGeneral::EYGeneral(const char* format, ...) : Exception({}) {
    va_list args;
    va_start(args, format);
    Message = VFormat(format, args);
    va_end(args);
}

EYGeneral::EYGeneral(int32_t code, const char* format, ...) : Exception({}), Code(code) {
    va_list args;
    va_start(args, format);
    Message = VFormat(format, args);
    va_end(args);
}

} // namespace YVclUtil
