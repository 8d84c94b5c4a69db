#pragma once

namespace YVclCtrl {

// POSIX only. Sets a speed that has no Bnnn constant (termios2 with BOTHER), keeping the
// rest of the line settings already applied. False with errno set on failure.
bool SetCustomBaud(int Fd, unsigned Baud);

} // namespace YVclCtrl
