#pragma once

#include <string>
#include <vector>

// One command of the tool: its name on the command line, a one-line synopsis,
// its help, and the function that runs it with the arguments that follow the
// name. Run returns the exit status (0 done, 1 stopped, 2 usage, 3 a strict
// build refused for its warnings).
struct TCliCommand {
    const char* Name;
    const char* Synopsis;
    // What the command does, its options and exit statuses, lines indented by
    // two spaces; the synopsis is not repeated there (HelpText puts it first).
    std::string (*Help)();
    int (*Run)(const std::vector<std::string>& Args);
    // Whether Run waits on timers or port events and so needs the application
    // object; the others run without one (on Windows it costs a window).
    bool NeedsEventLoop = false;

    // The help as "--help" prints it: the synopsis line, then Help().
    std::string HelpText() const { return std::string(Synopsis) + "\n" + Help(); }
};

// Exit statuses shared by all commands.
enum TCliExit { CliOk = 0, CliStopped = 1, CliUsage = 2, CliStrictRefused = 3 };
