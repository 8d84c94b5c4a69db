#pragma once

#include "util/exception.h"

#include <cstdarg>
#include <cstdint>

namespace YVclUtil {

// DPU_PRINTF_FORMAT, the printf dialect the compiler checks formats in, comes
// from util/CMakeLists.txt (MinGW's GCC needs "gnu_printf" named).

// The exception of the program's own libraries: a printf-formatted message and
// a 32-bit signed code (-1 unless given). Raised for failed construction,
// misuse and failures inside worker threads.
class EYGeneral : public Exception {
public:
    EYGeneral(const char* format, ...) __attribute__((format(DPU_PRINTF_FORMAT, 2, 3)));
    EYGeneral(int32_t code, const char* format, ...)
        __attribute__((format(DPU_PRINTF_FORMAT, 3, 4)));

    int32_t Code = -1;
};

// Formats like vsprintf into a std::string; never fails (a bad format gives "").
std::string VFormat(const char* format, va_list args);
std::string Format(const char* format, ...) __attribute__((format(DPU_PRINTF_FORMAT, 1, 2)));
// "1 byte", "0 bytes", "64512 bytes": Count and Noun, plural unless Count is 1.
std::string CountOf(unsigned long long Count, const char* Noun);

} // namespace YVclUtil
