#pragma once

#include <functional>
#include <string>

class QObject;

namespace YVclUtil {

// Where error boxes go. The editor installs a message box, the command-line
// tool standard error, tests a recorder. May be called from any thread; the
// handler must be safe for that (the editor's hands the box to the GUI thread).
using ErrMsgBoxHandler = std::function<void(const std::string& caption, const std::string& text)>;

// Installs a handler (empty = the default, which writes "caption: text" to
// standard error) and returns the one it replaces.
ErrMsgBoxHandler SetErrMsgBoxHandler(ErrMsgBoxHandler handler);

// Shows Text as an error box with Caption through the installed handler.
void ShowErrMsgBox(const std::string& Caption, const std::string& Text);

// Formats the text with printf rules and shows it as an error box with the
// caption. Returns the length of the formatted text.
int ShowErrMsgBox_Printf(const char* Caption, const char* Format, ...)
    __attribute__((format(DPU_PRINTF_FORMAT, 2, 3)));

// As above, captioned with the owner's Name (its objectName; "" for null).
// Kept in errmsgbox_qobject.cpp, so the rest of the unit needs no Qt.
int ShowErrMsgBox_Printf(QObject* Owner, const char* Format, ...)
    __attribute__((format(DPU_PRINTF_FORMAT, 2, 3)));

// Writes the formatted text to the debug channel (standard error, only when
// the environment variable DPU_DEBUG is set). Returns the length of the text.
int SendDbgString_Printf(const char* Format, ...) __attribute__((format(DPU_PRINTF_FORMAT, 1, 2)));

// Writes the two upper-case hex digits of Value to Out[0], Out[1]; no terminator.
void BinToHexAscii(unsigned char Value, char* Out);

} // namespace YVclUtil
