#include "cli/synctimecommand.h"

#include "cli/uploadcommand.h"

#include <cstdio>

TCliCommand TSyncTimeCommand::Command() {
    return {"sync-time", "sync-time --port PORT [--msg] [--response-timeout-ms N]", &Help, &Run};
}

std::string TSyncTimeCommand::Help() {
    return "sync-time --port PORT [--msg] [--response-timeout-ms N]\n"
           "  Sets the display's clock from this computer's local date and time. PORT is a\n"
           "  device path (/dev/ttyUSB0, a pseudo-terminal) or COMn; 115200 baud 8N1.\n"
           "  --msg prints the per-frame lines as \"Msg. on\" does; N is the response\n"
           "  time-out in milliseconds (10000). Exit status 0 when the display took the\n"
           "  time, 1 when it failed, stopped answering or the port could not be used.\n";
}

int TSyncTimeCommand::Run(const std::vector<std::string>& Args) {
    for (const auto& a : Args)
        if (a == "--help" || a == "-h") {
            std::fputs(Help().c_str(), stdout);
            return CliOk;
        }
    TUploadCommand::TLinkOptions opts;
    std::string error;
    const bool parsed = TUploadCommand::ParseLinkOptions(Args, opts, error);
    if (parsed && opts.Force) error = "unknown option \"--force\"";
    if (!parsed || !error.empty() || !opts.Positional.empty()) {
        if (error.empty()) error = "unexpected argument \"" + opts.Positional.front() + "\"";
        std::fprintf(stderr, "dpu510tk3 sync-time: %s\n%s", error.c_str(), Help().c_str());
        return CliUsage;
    }
    return TUploadCommand::RunTransfer("sync-time", opts, false, "");
}
