#pragma once

#include "cli/clicommand.h"

#include <string>
#include <vector>

// "make-rom PROJECT.dcf [-o FILE]": loads the project as the editor's "Load"
// does and builds its ROM image as "MAKE ROM" does, without saving the project.
class TMakeRomCommand {
public:
    static TCliCommand Command();
    static std::string Help();
    static int Run(const std::vector<std::string>& Args);
};
