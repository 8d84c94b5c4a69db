#include "serial/fdwait_unix.h"

#include <cerrno>
#include <poll.h>

namespace YVclCtrl {

TDeadline::TWaitResult WaitFd(const TDeadline& Deadline, int Fd, short Events, int CancelFd) {
    pollfd fds[2] = {{Fd, Events, 0}, {CancelFd, POLLIN, 0}};
    const nfds_t count = CancelFd >= 0 ? 2 : 1;
    for (;;) {
        const int left = Deadline.RemainingMs();
        if (left == 0) return TDeadline::wr_Timeout;
        const int n = ::poll(fds, count, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return TDeadline::wr_Failed;
        }
        if (n == 0) continue; // re-check the clock; poll may wake a little early
        if (count == 2 && fds[1].revents) return TDeadline::wr_Cancelled;
        if (fds[0].revents) return TDeadline::wr_Ready;
    }
}

} // namespace YVclCtrl
