#pragma once

#include <string>

class QString;

namespace YVclUtil {

// The one bridge between the core's 8-bit strings and Qt's strings: bytes are
// read and written as UTF-8, as every file name and text of the program is on
// both systems (Qt 6's local 8-bit encoding on Linux; on Windows that would be
// the ANSI code page, which loses every character outside it, while the file
// access there hands UTF-8 to the wide functions). Neither fails; bytes that
// are no UTF-8 become replacement characters.
QString ToQString(const std::string& Text);
std::string FromQString(const QString& Text);

} // namespace YVclUtil
