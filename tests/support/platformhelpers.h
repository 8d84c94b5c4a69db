#pragma once

// Which system the test program runs on, for the few cases that test what
// only Linux has. Checked at run time, so the Linux suite never skips them.

// True in the Windows build of the tests (run under Wine here): QFile::link
// makes a shortcut file there, not a link the system follows, and the display
// simulator (a pseudo-terminal program) is not built.
bool RunningOnWindows();

// True when the Windows build runs under Wine (its ntdll exports
// wine_get_version). A case that fails only because of Wine is skipped with
// the reason, and docs/windows.md lists it under "Where Wine differs".
bool RunningUnderWine();
