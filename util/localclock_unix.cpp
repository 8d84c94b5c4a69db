#include "util/localclock.h"

namespace YVclUtil {

bool LocalCalendarTime(std::time_t Moment, std::tm& Out) {
    if (::localtime_r(&Moment, &Out)) return true;
    Out = std::tm{};
    return false;
}

} // namespace YVclUtil
