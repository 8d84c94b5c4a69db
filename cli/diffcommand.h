#pragma once

#include "cli/clicommand.h"

#include <string>
#include <vector>

// "diff A.BIN B.BIN [--png DIR] [--glb FILE]": lists what differs between two
// ROM images by meaning (settings, codes, pictures), not by byte.
class TDiffCommand {
public:
    static TCliCommand Command();
    static std::string Help();
    static int Run(const std::vector<std::string>& Args);
};
