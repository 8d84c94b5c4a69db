#pragma once

#include "cli/clicommand.h"

#include <string>
#include <vector>

// "recover ROM.BIN -o PROJECT.dcf [--bitmaps DIR] [--user-bitmaps DIR]
// [--glb FILE]": rebuilds a project file and its pictures from a ROM image.
class TRecoverCommand {
public:
    static TCliCommand Command();
    static std::string Help();
    static int Run(const std::vector<std::string>& Args);
};
