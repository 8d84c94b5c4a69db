#pragma once

#include <string>

// Numbers in text with '.' as the decimal point whatever numeric locale the
// process runs under (a Qt program takes the user's). cnumbers_unix.cpp and
// cnumbers_win.cpp hold the two implementations.

namespace YVclUtil {

// Value as printf's "%f" writes it in the C locale ("2.500000", "-inf").
std::string FormatFloatC(double Value);

// The C library's strtod in the C locale: leading white space, a sign,
// decimal or "0x" hexadecimal forms, "inf" and "nan". *End gets the first
// byte not converted (Text itself when nothing was); out of range gives
// +-HUGE_VAL or the nearest small value, as strtod does.
double ParseFloatC(const char* Text, const char** End);

} // namespace YVclUtil
