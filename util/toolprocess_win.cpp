#include "util/toolprocess.h"

#include <cstdio>

namespace YVclUtil {

void PrepareToolProcess() {
    // Every line the tool writes is followed by a flush where order matters
    // (a log line before an error), so full buffering loses nothing; standard
    // error stays unbuffered for the progress bar and messages.
    static char buffer[1 << 14];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

} // namespace YVclUtil
