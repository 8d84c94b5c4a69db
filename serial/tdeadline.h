#pragma once

#include <chrono>

namespace YVclCtrl {

// A point in time some milliseconds ahead: the one time-out helper of the
// port layer. Each platform waits on its own objects until it (WaitFd on
// POSIX).
class TDeadline {
public:
    explicit TDeadline(unsigned Milliseconds);

    bool Expired() const;
    // Milliseconds left, 0 when expired (rounded up so a wait never spins).
    int RemainingMs() const;

    // How a wait until the deadline ended.
    enum TWaitResult { wr_Ready, wr_Timeout, wr_Cancelled, wr_Failed };

private:
    std::chrono::steady_clock::time_point At;
};

} // namespace YVclCtrl
