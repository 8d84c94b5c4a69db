#include "util/tdatetime.h"

#include "util/localclock.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace YVclUtil {

namespace {
// Days from 1 January of year 1 (proleptic Gregorian) to the epoch 30 Dec 1899.
constexpr int64_t kEpochDays = 693593;

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days since 0001-01-01 for a civil date (days_from_civil shifted to year 1).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468 +
           719162; // 719162 = days 0001-01-01..1970-01-01
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z -= 719162; // to days since 1970-01-01
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

int64_t WholeDays(double v) {
    return static_cast<int64_t>(std::trunc(v));
}

// Milliseconds of the day; negative values count the fraction as positive, as the framework does.
int64_t DayMs(double v) {
    double frac = std::fabs(v - std::trunc(v));
    int64_t ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000) ms = 86399999;
    return ms;
}
} // namespace

bool TDateTime::TryEncode(int year, int month, int day, int hour, int minute, int second, int msec,
                          TDateTime& Out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        msec < 0 || msec > 999)
        return false;
    const int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays;
    const double frac = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
    // Before the epoch the fraction still counts forward from midnight.
    Out.Val = days >= 0 ? days + frac : days - frac;
    return true;
}

TDateTime TDateTime::Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    std::tm tm{};
    LocalCalendarTime(t, tm);
    TDateTime out;
    TryEncode(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
              tm.tm_sec > 59 ? 59 : tm.tm_sec, ms, out);
    return out;
}

void TDateTime::DecodeDate(int& year, int& month, int& day) const {
    CivilFromDays(WholeDays(Val) + kEpochDays, year, month, day);
}

void TDateTime::DecodeTime(int& hour, int& minute, int& second, int& msec) const {
    int64_t ms = DayMs(Val);
    hour = static_cast<int>(ms / 3600000);
    ms %= 3600000;
    minute = static_cast<int>(ms / 60000);
    ms %= 60000;
    second = static_cast<int>(ms / 1000);
    msec = static_cast<int>(ms % 1000);
}

int TDateTime::DayOfWeek() const {
    // 30 Dec 1899 was a Saturday (7).
    int64_t d = WholeDays(Val);
    int64_t r = ((d % 7) + 7) % 7; // 0 = Saturday
    return static_cast<int>(r == 0 ? 7 : r);
}

} // namespace YVclUtil
