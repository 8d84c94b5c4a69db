#include "serial/tdeadline.h"

#include <cerrno>
#include <poll.h>

namespace YVclCtrl {

TDeadline::TDeadline(unsigned Milliseconds)
    : At(std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds)) {}

bool TDeadline::Expired() const { return std::chrono::steady_clock::now() >= At; }

int TDeadline::RemainingMs() const {
    const auto left = At - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return 0;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
    return static_cast<int>((us + 999) / 1000);
}

TDeadline::TWaitResult TDeadline::WaitFd(int Fd, short Events, int CancelFd) const {
    pollfd fds[2] = {{Fd, Events, 0}, {CancelFd, POLLIN, 0}};
    const nfds_t count = CancelFd >= 0 ? 2 : 1;
    for (;;) {
        const int left = RemainingMs();
        if (left == 0)
            return wr_Timeout;
        const int n = ::poll(fds, count, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return wr_Failed;
        }
        if (n == 0)
            continue; // re-check the clock; poll may wake a little early
        if (count == 2 && fds[1].revents)
            return wr_Cancelled;
        if (fds[0].revents)
            return wr_Ready;
    }
}

} // namespace YVclCtrl
