#include "util/strconv.h"

#include "util/eyconverterror.h"
#include "util/eygeneral.h"

namespace YVclUtil {

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

[[noreturn]] void Fail(const char* kind, const std::string& text) {
    throw EYConvertError(Format("'%s' is not a valid %s", text.c_str(), kind));
}

// Reads minDigits..maxDigits decimal digits at p (advancing it); -1 when too few.
int Digits(const char*& p, int minDigits, int maxDigits) {
    int value = 0, n = 0;
    while (n < maxDigits && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        ++p;
        ++n;
    }
    return n >= minDigits ? value : -1;
}

bool ParseDate(const char*& p, int& y, int& m, int& d) {
    y = Digits(p, 1, 4);
    if (y < 0 || *p != '-') return false;
    ++p;
    m = Digits(p, 1, 2);
    if (m < 0 || *p != '-') return false;
    ++p;
    d = Digits(p, 1, 2);
    return d >= 0;
}

bool ParseTime(const char*& p, int& h, int& n, int& s) {
    h = Digits(p, 1, 2);
    if (h < 0 || *p != ':') return false;
    ++p;
    n = Digits(p, 1, 2);
    if (n < 0) return false;
    s = 0;
    if (*p == ':') {
        ++p;
        s = Digits(p, 1, 2);
        if (s < 0) return false;
    }
    return true;
}

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p))
        ++p;
    return p;
}

// Time of day only: the fraction of a day, counted from 30 Dec 1899.
TDateTime TimeOnly(int h, int n, int s, bool& ok) {
    TDateTime out;
    ok = TDateTime::TryEncode(1899, 12, 30, h, n, s, 0, out);
    return out;
}
} // namespace

bool TryStrToInt(const std::string& Text, int32_t& Value) {
    const char* p = Text.c_str();
    const char* end = p + Text.size();
    while (p < end && IsBlank(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    bool hex = false;
    if (p < end && (*p == '$' || *p == 'x' || *p == 'X')) {
        hex = true;
        ++p;
    } else if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        hex = true;
        p += 2;
    }
    if (p == end) return false;
    uint64_t magnitude = 0;
    for (; p < end; ++p) {
        const int digit = hex ? HexDigit(*p) : (*p >= '0' && *p <= '9' ? *p - '0' : -1);
        if (digit < 0) return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (magnitude > 0xFFFFFFFFull) return false;
    }
    int64_t result;
    if (hex) {
        // Hexadecimal spells the 32-bit pattern, so FFFFFFFF is -1.
        result = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        if (negative) result = static_cast<int32_t>(0u - static_cast<uint32_t>(result));
    } else {
        result = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        if (result < INT32_MIN || result > INT32_MAX) return false;
    }
    Value = static_cast<int32_t>(result);
    return true;
}

int32_t StrToInt(const std::string& Text) {
    int32_t value = 0;
    if (!TryStrToInt(Text, value)) Fail("integer value", Text);
    return value;
}

std::string DateToStr(TDateTime Value) {
    int y, m, d;
    Value.DecodeDate(y, m, d);
    return Format("%04d-%02d-%02d", y, m, d);
}

std::string TimeToStr(TDateTime Value) {
    int h, n, s, ms;
    Value.DecodeTime(h, n, s, ms);
    return Format("%02d:%02d:%02d", h, n, s);
}

std::string DateTimeToStr(TDateTime Value) {
    return DateToStr(Value) + " " + TimeToStr(Value);
}

TDateTime StrToDate(const std::string& Text) {
    const char* p = SkipBlanks(Text.c_str());
    int y, m, d;
    TDateTime out;
    if (!ParseDate(p, y, m, d) || *SkipBlanks(p) != '\0' ||
        !TDateTime::TryEncode(y, m, d, 0, 0, 0, 0, out))
        Fail("date", Text);
    return out;
}

TDateTime StrToTime(const std::string& Text) {
    const char* p = SkipBlanks(Text.c_str());
    int h, n, s;
    bool ok = false;
    TDateTime out;
    if (ParseTime(p, h, n, s) && *SkipBlanks(p) == '\0') out = TimeOnly(h, n, s, ok);
    if (!ok) Fail("time", Text);
    return out;
}

TDateTime StrToDateTime(const std::string& Text) {
    const char* p = SkipBlanks(Text.c_str());
    int y, m, d, h = 0, n = 0, s = 0;
    TDateTime out;
    bool ok = ParseDate(p, y, m, d);
    if (ok && IsBlank(*p)) {
        p = SkipBlanks(p);
        if (*p != '\0') ok = ParseTime(p, h, n, s);
    }
    if (!ok || *SkipBlanks(p) != '\0' || !TDateTime::TryEncode(y, m, d, h, n, s, 0, out))
        Fail("date and time", Text);
    return out;
}

} // namespace YVclUtil
