#pragma once

#include "cli/clicommand.h"

#include <string>
#include <vector>

class TCliArguments;
class TCliOutput;
namespace DpuRom {
class TUploadImage;
}

// "upload ROM.BIN --port PORT [--msg] [--response-timeout-ms N] [--force]":
// sends a ROM image to the display as the editor's "UpLoad ROM Image" does,
// printing the message-log lines on standard output. The file is checked
// before the port is opened.
class TUploadCommand {
public:
    // The options upload and sync-time share.
    struct TLinkOptions {
        std::string Port;
        bool MsgOn = false;
        int ResponseTimeoutMs = 10000;
        bool Force = false; // upload: send a file that does not read as an image
    };

    static TCliCommand Command();
    static std::string Help();
    static int Run(const std::vector<std::string>& Args);

    // Adds the shared options to Parser (which holds the command's own), parses
    // Args into Out and checks the port name. False when the command must end
    // with Exit: 0 after the help, 2 after a usage error (printed; a COMn
    // outside COM1 to COM16 is one).
    static bool ParseLinkOptions(TCliArguments& Parser, const std::vector<std::string>& Args,
                                 TLinkOptions& Out, int& Exit);
    // Runs one transfer on Options.Port: Start begins it on the connected link
    // (returning false when it refused). Returns the exit status; reasons go
    // to standard error prefixed with "dpu510tk3 <Command>: ".
    // Checks the image file before any port is opened: a regular file of at
    // most 0x70000 bytes (larger: the two "too large" lines) that reads as a
    // display image, unless Force. The file is read once, into Image: those
    // bytes are the ones checked and the ones to send. Returns CliOk, or
    // CliStopped after the reason (naming the file and its first problem)
    // went to standard error.
    static int CheckRomFile(TCliOutput& Out, const std::string& RomFile, bool Force,
                            DpuRom::TUploadImage& Image);
    static int RunTransfer(const char* Command, const TLinkOptions& Options, bool Progress,
                           const std::string& RomFile);
};
