#include "util/programarguments.h"

namespace YVclUtil {

std::vector<std::string> ProgramArguments(int Argc, const char* const* Argv) {
    return std::vector<std::string>(Argv, Argv + Argc);
}

} // namespace YVclUtil
