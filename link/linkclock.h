#pragma once

#include "util/tdatetime.h"

namespace DpuLink {

// Local date and time as the link reads it: the upload's start and end times
// and the content of the date-time frame.
class TLinkClock {
public:
    virtual ~TLinkClock() = default;
    virtual YVclUtil::TDateTime Now() = 0;
};

} // namespace DpuLink
