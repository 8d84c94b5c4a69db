#include "util/cnumbers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace YVclUtil {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// For a number too large or too small for a double (Text up to End, sign
// already taken): whether it is too large. Decimal: the position of its first
// significant digit plus the exponent; hexadecimal: the sign of the binary
// exponent.
bool Overflows(const char* Text, const char* End, bool Hex) {
    const char mark = Hex ? 'p' : 'e';
    const char* p = Text;
    long digits = 0;
    bool significant = false;
    for (; p < End && IsDigit(*p); ++p)
        if (significant || *p != '0') {
            significant = true;
            ++digits;
        }
    if (p < End && *p == '.') {
        for (++p; p < End && IsDigit(*p); ++p) {
            if (significant) continue;
            if (*p != '0')
                significant = true;
            else
                --digits;
        }
    }
    long exponent = 0;
    if (p < End && (*p == mark || *p == mark - 32)) {
        ++p;
        const bool negative = p < End && *p == '-';
        if (p < End && (*p == '-' || *p == '+')) ++p;
        for (; p < End && IsDigit(*p); ++p)
            if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
        if (negative) exponent = -exponent;
    }
    return Hex ? exponent > 0 : digits + exponent > 0;
}

} // namespace

std::string FormatFloatC(double Value) {
    // to_chars with a precision writes exactly what printf's "%.6f" writes in
    // the C locale, and never looks at the process's locale.
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, Value, std::chars_format::fixed, 6);
    return std::string(text, result.ptr);
}

// from_chars follows no locale, but knows neither white space, '+' nor the
// "0x" prefix, and leaves an out-of-range value alone: those parts of
// strtod's reading are done here. (The runtime's _strtod_l reads neither
// hexadecimal nor "inf".)
double ParseFloatC(const char* Text, const char** End) {
    const char* p = Text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    const char* const last = p + std::strlen(p);
    const bool hex = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    const char* const digits = hex ? p + 2 : p;
    double value = 0;
    std::from_chars_result result{digits, std::errc::invalid_argument};
    if (*digits != '+' && *digits != '-')
        result = std::from_chars(digits, last, value,
                                 hex ? std::chars_format::hex : std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) {
        // "0x" without a hexadecimal digit reads as the 0 before the x.
        *End = hex ? p + 1 : Text;
        return hex && negative ? -0.0 : 0.0;
    }
    if (result.ec == std::errc::result_out_of_range)
        value = Overflows(digits, result.ptr, hex) ? HUGE_VAL : 0.0;
    *End = result.ptr;
    return negative ? -value : value;
}

} // namespace YVclUtil
