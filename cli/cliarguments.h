#pragma once

#include "cli/clicommand.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

// The arguments of one command of the tool (or of the simulator), parsed by
// CLI11 with the program's own help text and one wording for usage errors:
//
//   dpu510tk3 make-rom: -o needs a value
//   usage: dpu510tk3 make-rom PROJECT.dcf [-o FILE] [--strict]
//
// on standard error, exit status 2. The reasons are "unknown option "-x"",
// "NAME needs a value", "NAME takes no value", "NAME is missing",
// "unexpected argument "x"" and "NAME wants WHAT from MIN to MAX, not "x"".
// Options are declared with the variables they fill; Parse fills them.
// "-h" or "--help" anywhere prints Help instead.
class TCliArguments {
public:
    // Program prefixes each usage error ("dpu510tk3 make-rom"); Usage follows
    // "usage: " (the synopsis, lines after the first already indented); Help
    // is printed as it is on standard output for -h or --help.
    TCliArguments(std::string Program, std::string Usage, std::string Help);
    // A command of dpu510tk3: its name, synopsis and help.
    explicit TCliArguments(const TCliCommand& Command);
    ~TCliArguments();
    TCliArguments(const TCliArguments&) = delete;
    TCliArguments& operator=(const TCliArguments&) = delete;

    // Names are CLI11's: "-o", "--png", "-o,--output". The first name is the
    // one usage errors say.
    void Flag(const std::string& Names, bool& Target);
    // An option with a value; a missing or empty value is a usage error.
    void Value(const std::string& Names, std::string& Target, bool Required = false);
    // A Value naming where the command writes: a path that is not valid
    // UTF-8 is a usage error, since the file or folder would get another name
    // than the one given.
    void OutputPath(const std::string& Names, std::string& Target, bool Required = false);
    // A whole number from Min to Max; What says what it counts in the usage
    // error ("milliseconds").
    void Number(const std::string& Names, long& Target, long Min, long Max, const char* What);
    void Number(const std::string& Names, double& Target, double Min, double Max, const char* What);
    // The next operand, in the order of the calls; Name is its name in the
    // synopsis ("ROM.BIN"). A missing one is a usage error, as is an operand
    // beyond the last one declared.
    void Operand(const std::string& Name, std::string& Target);

    // Parses Args (the words after the command's name). True when the command
    // should run; false when it must end at once with Exit: 0 after the help,
    // 2 after a usage error was printed.
    bool Parse(const std::vector<std::string>& Args, int& Exit);
    // Prints a usage error the command found itself (a port number out of
    // range) in the shared form; returns 2 to exit with.
    int UsageError(const std::string& Reason) const;
    // The same for a program without a TCliArguments (the tool before it
    // knows its command).
    static int UsageError(const std::string& Program, const std::string& Usage,
                          const std::string& Reason);

private:
    struct TNumber {
        CLI::Option* Option;
        std::string Name;
        std::string Text;
        long* Whole;
        double* Real;
        double Min, Max;
        const char* What;
    };
    struct TValue {
        CLI::Option* Option;
        std::string Name;
        bool Required;
        bool OutputPath = false;
    };
    static std::string FirstName(const std::string& Names);
    bool CheckNumber(TNumber& N, std::string& Reason) const;

    std::string Program;
    std::string Usage;
    std::string Help;
    std::unique_ptr<CLI::App> App;
    bool HelpAsked = false;
    std::vector<std::string> FlagNames;
    std::vector<TValue> Values;
    std::deque<TNumber> Numbers; // CLI11 keeps references to each Text
    std::vector<std::string> OperandNames;
    std::vector<std::string*> OperandTargets;
    std::vector<std::string> Operands;
};
