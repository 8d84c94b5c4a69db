#pragma once

#include <cstdint>

namespace YVclUtil {

// A date-time as days since 30 December 1899, the time of day as the
// fraction (the framework's convention, kept so stored values stay compatible).
struct TDateTime {
    double Val = 0.0;

    TDateTime() = default;
    explicit TDateTime(double v) : Val(v) {}

    // Builds from calendar parts; false (and Out unchanged) when a part is out of range.
    static bool TryEncode(int year, int month, int day, int hour, int minute, int second, int msec,
                          TDateTime& Out);
    // The local date and time now.
    static TDateTime Now();

    void DecodeDate(int& year, int& month, int& day) const;
    void DecodeTime(int& hour, int& minute, int& second, int& msec) const;
    // 1 = Sunday .. 7 = Saturday.
    int DayOfWeek() const;

    bool operator==(const TDateTime& o) const { return Val == o.Val; }
};

} // namespace YVclUtil
