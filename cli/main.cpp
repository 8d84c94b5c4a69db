#include "cli/cliarguments.h"
#include "cli/clicommand.h"
#include "cli/diffcommand.h"
#include "cli/romreportcommand.h"
#include "cli/makeromcommand.h"
#include "cli/recovercommand.h"
#include "cli/synctimecommand.h"
#include "cli/uploadcommand.h"
#include "dpu510tk3_version.h"
#include "util/programarguments.h"
#include "util/toolprocess.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// The commands of the tool, in the order --help lists them.
std::vector<TCliCommand> Commands() {
    return {
        TMakeRomCommand::Command(),   TUploadCommand::Command(), TSyncTimeCommand::Command(),
        TRomReportCommand::Command(), TDiffCommand::Command(),   TRecoverCommand::Command(),
    };
}

void PrintHelp(FILE* To) {
    std::fputs("Usage: dpu510tk3 COMMAND [ARGUMENTS]\n"
               "Command-line tool of the DPU-510TK3 lift display editor.\n\n"
               "Commands:\n",
               To);
    for (const TCliCommand& c : Commands())
        std::fprintf(To, "  %s\n", c.Synopsis);
    std::fputs("\n", To);
    for (const TCliCommand& c : Commands())
        std::fprintf(To, "%s\n", c.HelpText().c_str());
    std::fputs("Exit status: 0 when the command succeeded, 1 when it stopped with a\n"
               "message on standard error, 2 for a usage error, 3 when make-rom --strict\n"
               "refused an image for its warning lines.\n"
               "dpu510tk3 COMMAND --help describes one command;\n"
               "dpu510tk3 --version prints the version.\n",
               To);
}

// A usage error before a command is known: every way to call the tool.
int UsageError(const std::string& Reason) {
    std::string usage;
    for (const TCliCommand& c : Commands())
        usage += (usage.empty() ? "dpu510tk3 " : "\n       dpu510tk3 ") + std::string(c.Synopsis);
    usage += "\n       dpu510tk3 --help | --version";
    return TCliArguments::UsageError("dpu510tk3", usage, Reason);
}

} // namespace

int main(int argc, char** argv) {
    YVclUtil::PrepareToolProcess();
    // UTF-8 whatever the system's code page, as the core expects its paths.
    const std::vector<std::string> args = YVclUtil::ProgramArguments(argc, argv);
    if (args.size() < 2) return UsageError("COMMAND is missing");
    // Answered before anything else starts.
    const std::string name = args[1];
    if (name == "-h" || name == "--help" || name == "help") {
        PrintHelp(stdout);
        return CliOk;
    }
    if (name == "--version") {
        std::printf("dpu510tk3 %s\n", DPU510TK3_VERSION);
        return CliOk;
    }
    for (const TCliCommand& c : Commands()) {
        if (name != c.Name) continue;
        // Core only, and only for the commands that wait on the port: the
        // others find the program's folder without it.
        std::unique_ptr<QCoreApplication> app;
        if (c.NeedsEventLoop) app = std::make_unique<QCoreApplication>(argc, argv);
        return c.Run(std::vector<std::string>(args.begin() + 2, args.end()));
    }
    if (name.size() > 1 && name[0] == '-') return UsageError("unknown option \"" + name + "\"");
    return UsageError("unknown command \"" + name + "\"");
}
