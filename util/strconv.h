#pragma once

#include "util/tdatetime.h"

#include <cstdint>
#include <string>

namespace YVclUtil {

// Strict 32-bit integer conversion: leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after '$', 'x', 'X', "0x" or "0X".
// Anything else (trailing text, no digits, out of range) raises
// EYConvertError. Hexadecimal accepts up to 8 digits (FFFFFFFF is -1).
int32_t StrToInt(const std::string& Text);
// The same without raising: false (Value unchanged) where StrToInt raises.
bool TryStrToInt(const std::string& Text, int32_t& Value);

// Text forms of date-time values that the matching parse reads back:
// date "YYYY-MM-DD", time "HH:MM:SS", date-time "YYYY-MM-DD HH:MM:SS".
// Milliseconds are not kept.
std::string DateToStr(TDateTime Value);
std::string TimeToStr(TDateTime Value);
std::string DateTimeToStr(TDateTime Value);

// Parses the forms above (blanks around the text allowed; a time may omit its
// seconds; a date-time may omit its time). Malformed text or an impossible
// date or time raises EYConvertError.
TDateTime StrToDate(const std::string& Text);
TDateTime StrToTime(const std::string& Text);
TDateTime StrToDateTime(const std::string& Text);

} // namespace YVclUtil
