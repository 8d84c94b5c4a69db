#include "util/cnumbers.h"

#include "util/eygeneral.h"

#include <locale.h>
#include <stdlib.h>

namespace YVclUtil {

namespace {
locale_t CLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}
} // namespace

std::string FormatFloatC(double Value) {
    const locale_t previous = ::uselocale(CLocale());
    const std::string text = Format("%f", Value);
    ::uselocale(previous);
    return text;
}

double ParseFloatC(const char* Text, const char** End) {
    char* end = nullptr;
    const double result = ::strtod_l(Text, &end, CLocale());
    *End = end;
    return result;
}

} // namespace YVclUtil
