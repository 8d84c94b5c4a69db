#include "util/terminal.h"

#include <unistd.h>

namespace YVclUtil {

bool ErrorOutputIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace YVclUtil
