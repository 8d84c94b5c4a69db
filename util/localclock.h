#pragma once

#include <ctime>

// The broken-down local time of a moment, thread-safe. localclock_unix.cpp
// and localclock_win.cpp hold the two implementations (localtime_r and
// localtime_s).

namespace YVclUtil {

// Fills Out with the local calendar time of Moment; false (Out zeroed) when
// the runtime cannot convert it (a moment outside its range).
bool LocalCalendarTime(std::time_t Moment, std::tm& Out);

} // namespace YVclUtil
