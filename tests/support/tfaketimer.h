#pragma once

#include "link/linktimer.h"

// Counts its starts; the test fires what it would fire.
class TFakeTimer : public DpuLink::TLinkTimer {
public:
    void Start() override {
        Active = true;
        ++Starts;
    }
    void Stop() override { Active = false; }
    bool IsActive() const override { return Active; }
    bool Active = false;
    int Starts = 0;
};
