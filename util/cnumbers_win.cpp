#include "util/cnumbers.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>

namespace YVclUtil {

namespace {
_locale_t CLocale() {
    static _locale_t locale = ::_create_locale(LC_ALL, "C");
    return locale;
}
} // namespace

std::string FormatFloatC(double Value) {
    // to_chars with a precision writes exactly what printf's "%.6f" writes in
    // the C locale, and never looks at the process's locale.
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, Value, std::chars_format::fixed, 6);
    return std::string(text, result.ptr);
}

double ParseFloatC(const char* Text, const char** End) {
    char* end = nullptr;
    const double result = ::_strtod_l(Text, &end, CLocale());
    *End = end;
    return result;
}

} // namespace YVclUtil
