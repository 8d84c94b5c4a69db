#include "util/terminal.h"

#include <io.h>

#include <cstdio>

namespace YVclUtil {

bool ErrorOutputIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

} // namespace YVclUtil
