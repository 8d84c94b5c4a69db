#pragma once

#include "serial/tdeadline.h"

namespace YVclCtrl {

// POSIX only. Waits until Fd reports one of Events (POLLIN, POLLOUT),
// CancelFd (if not -1) becomes readable, or the deadline passes. wr_Ready also
// covers error and hang-up conditions of Fd, which the next call on it
// reports; wr_Failed leaves errno.
TDeadline::TWaitResult WaitFd(const TDeadline& Deadline, int Fd, short Events, int CancelFd = -1);

} // namespace YVclCtrl
