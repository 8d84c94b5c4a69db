#pragma once

#include "cli/clicommand.h"

#include <string>
#include <vector>

// "upload ROM.BIN --port PORT [--msg] [--response-timeout-ms N]": sends a ROM
// image to the display as the editor's "UpLoad ROM Image" does, printing the
// message-log lines on standard output.
class TUploadCommand {
public:
    // The options upload and sync-time share.
    struct TLinkOptions {
        std::string Port;
        bool MsgOn = false;
        int ResponseTimeoutMs = 10000;
        std::vector<std::string> Positional;
    };

    static TCliCommand Command();
    static std::string Help();
    static int Run(const std::vector<std::string>& Args);

    // Parses the shared options; false with the reason in Error.
    static bool ParseLinkOptions(const std::vector<std::string>& Args, TLinkOptions& Out,
                                 std::string& Error);
    // Runs one transfer on Options.Port: Start begins it on the connected link
    // (returning false when it refused). Returns the exit status; reasons go
    // to standard error prefixed with "dpu510tk3 <Command>: ".
    static int RunTransfer(const char* Command, const TLinkOptions& Options, bool Progress,
                           const std::string& RomFile);
};
