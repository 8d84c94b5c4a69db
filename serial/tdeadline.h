#pragma once

#include <chrono>

namespace YVclCtrl {

// A point in time some milliseconds ahead, and the one wait the port layer
// uses for every time-out: a descriptor (and an optional cancel descriptor)
// until the deadline.
class TDeadline {
public:
    explicit TDeadline(unsigned Milliseconds);

    bool Expired() const;
    // Milliseconds left, 0 when expired (rounded up so a wait never spins).
    int RemainingMs() const;

    enum TWaitResult { wr_Ready, wr_Timeout, wr_Cancelled, wr_Failed };
    // Waits until Fd reports one of Events (POLLIN, POLLOUT), CancelFd (if
    // not -1) becomes readable, or the deadline passes. wr_Ready also covers
    // error and hang-up conditions of Fd, which the next call reports.
    TWaitResult WaitFd(int Fd, short Events, int CancelFd = -1) const;

private:
    std::chrono::steady_clock::time_point At;
};

} // namespace YVclCtrl
