#include "cli/synctimecommand.h"

#include "cli/cliarguments.h"
#include "cli/uploadcommand.h"

TCliCommand TSyncTimeCommand::Command() {
    return {"sync-time", "sync-time --port PORT [--msg] [--response-timeout-ms N]", &Help, &Run,
            true};
}

std::string TSyncTimeCommand::Help() {
    return "  Sets the display's clock from this computer's local date and time. PORT is a\n"
           "  device path (/dev/ttyUSB0, a pseudo-terminal) or COMn; 115200 baud 8N1.\n"
           "  --msg prints the per-frame lines as \"Msg. on\" does; N is the response\n"
           "  time-out in milliseconds (10000). A display that does not answer the time\n"
           "  through 10 response time-outs and restarts is given up on, however many\n"
           "  other bytes it sends. Exit status 0 when the display took the time, 1 when\n"
           "  it failed, stopped answering or the port could not be used.\n";
}

int TSyncTimeCommand::Run(const std::vector<std::string>& Args) {
    TUploadCommand::TLinkOptions opts;
    TCliArguments args(Command());
    int status = CliOk;
    if (!TUploadCommand::ParseLinkOptions(args, Args, opts, status)) return status;
    return TUploadCommand::RunTransfer("sync-time", opts, false, "");
}
