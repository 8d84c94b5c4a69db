#pragma once

// Whether the standard error output is a terminal, so that a progress line
// that redraws itself may be shown there. terminal_unix.cpp and
// terminal_win.cpp hold the two implementations.

namespace YVclUtil {

// True when standard error is a terminal (a console on Windows); false for a
// file, a pipe, or when it cannot be told.
bool ErrorOutputIsTerminal();

} // namespace YVclUtil
