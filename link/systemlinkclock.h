#pragma once

#include "link/linkclock.h"

namespace DpuLink {

// The PC's local clock.
class TSystemLinkClock : public TLinkClock {
public:
    YVclUtil::TDateTime Now() override { return YVclUtil::TDateTime::Now(); }
};

} // namespace DpuLink
