#include "util/localclock.h"

namespace YVclUtil {

bool LocalCalendarTime(std::time_t Moment, std::tm& Out) {
    // The runtime's secure form: an error number instead of a null pointer.
    if (::localtime_s(&Out, &Moment) == 0) return true;
    Out = std::tm{};
    return false;
}

} // namespace YVclUtil
