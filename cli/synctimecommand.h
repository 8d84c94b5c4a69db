#pragma once

#include "cli/clicommand.h"

#include <string>
#include <vector>

// "sync-time --port PORT [--msg] [--response-timeout-ms N]": sets the
// display's clock from this computer's local time, as the editor's
// "Date-Time Sync." does.
class TSyncTimeCommand {
public:
    static TCliCommand Command();
    static std::string Help();
    static int Run(const std::vector<std::string>& Args);
};
