#include "util/toolprocess.h"

#include <clocale>

namespace YVclUtil {

void PrepareToolProcess() {
    // The system's error texts in the user's language, as from the window.
    std::setlocale(LC_ALL, "");
}

} // namespace YVclUtil
