#pragma once

#include "cli/clicommand.h"

#include <string>
#include <vector>

// "inspect ROM.BIN [--png DIR] [--json] [--glb FILE]": reads a ROM image back
// and prints its settings, code tables and pictures.
class TRomReportCommand {
public:
    static TCliCommand Command();
    static std::string Help();
    static int Run(const std::vector<std::string>& Args);
};
