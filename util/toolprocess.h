#pragma once

// What a command-line program sets up before its first line of output, since
// most of its commands run without an application object (on Windows, making
// one creates a window and loads the whole windowing system, which costs more
// than the command itself). toolprocess_unix.cpp takes the user's locale, as
// the application object would have done; toolprocess_win.cpp buffers
// standard output, which the C runtime otherwise writes a character at a time
// to a console or to NUL.

namespace YVclUtil {

// Sets up the process's locale and standard streams. Cannot fail: a stream
// left as it was still works, only more slowly.
void PrepareToolProcess();

} // namespace YVclUtil
