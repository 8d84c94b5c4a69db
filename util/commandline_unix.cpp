#include "util/commandline.h"

namespace YVclUtil {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    // File names are bytes here: passed on untouched, whatever their encoding.
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

} // namespace YVclUtil
