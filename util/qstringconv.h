#pragma once

#include <string>

class QString;

namespace YVclUtil {

// The one bridge between the core's 8-bit strings and Qt's strings: bytes are
// read and written in the local 8-bit encoding, as every file name and text
// of the program is. Neither fails; bytes the encoding cannot map become
// replacement characters.
QString ToQString(const std::string& Text);
std::string FromQString(const QString& Text);

} // namespace YVclUtil
