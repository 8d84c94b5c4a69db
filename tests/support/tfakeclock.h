#pragma once

#include "link/linkclock.h"
#include "util/tdatetime.h"

#include <cstddef>
#include <vector>

// Hands out the programmed times in turn, repeating the last one.
class TFakeClock : public DpuLink::TLinkClock {
public:
    YVclUtil::TDateTime Now() override {
        ++Reads;
        if (Times.empty()) return YVclUtil::TDateTime(0.0);
        const size_t i = Next < Times.size() ? Next++ : Times.size() - 1;
        return Times[i];
    }
    static YVclUtil::TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
        YVclUtil::TDateTime t;
        YVclUtil::TDateTime::TryEncode(y, mo, d, h, mi, s, ms, t);
        return t;
    }
    std::vector<YVclUtil::TDateTime> Times;
    size_t Next = 0;
    int Reads = 0;
};
