#include "cli/cliarguments.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

// Well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing above U+10FFFF.
bool IsUtf8(const std::string& Text) {
    size_t i = 0;
    while (i < Text.size()) {
        const unsigned char c = static_cast<unsigned char>(Text[i]);
        size_t more = 0;
        unsigned long code = 0, least = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, code = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, code = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, code = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (Text.size() - i <= more) return false; // cut short
        for (size_t k = 1; k <= more; ++k) {
            const unsigned char d = static_cast<unsigned char>(Text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            code = (code << 6) | (d & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

} // namespace

TCliArguments::TCliArguments(std::string ProgramName, std::string UsageText, std::string HelpText)
    : Program(std::move(ProgramName)), Usage(std::move(UsageText)), Help(std::move(HelpText)),
      App(std::make_unique<CLI::App>()) {
    // The help is the program's own text, and every mistake is worded here,
    // so CLI11 keeps what it does not know for the checks below instead of
    // throwing with its own words.
    App->set_help_flag();
    App->allow_extras(true);
    // On Windows CLI11 would take "/x" for an option: a path from the root of
    // the drive ("/dev/null", "/work/a.dcf") stays an operand on both systems.
    App->allow_windows_style_options(false);
    // A repeated option takes its last value, as a shell alias followed by
    // a correction expects.
    App->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    App->add_flag("-h,--help", HelpAsked);
    App->add_option("operands", Operands);
}

TCliArguments::TCliArguments(const TCliCommand& Command)
    : TCliArguments(std::string("dpu510tk3 ") + Command.Name,
                    std::string("dpu510tk3 ") + Command.Synopsis, Command.HelpText()) {}

TCliArguments::~TCliArguments() = default;

std::string TCliArguments::FirstName(const std::string& Names) {
    return Names.substr(0, Names.find(','));
}

void TCliArguments::Flag(const std::string& Names, bool& Target) {
    // "--json=0" would otherwise turn the flag off again.
    App->add_flag(Names, Target)->disable_flag_override();
    FlagNames.push_back(FirstName(Names));
}

void TCliArguments::Value(const std::string& Names, std::string& Target, bool Required) {
    // Zero values are allowed here so that a bare option is reported below in
    // the shared words rather than by CLI11.
    CLI::Option* o = App->add_option(Names, Target)->expected(0, 1);
    Values.push_back({o, FirstName(Names), Required});
}

void TCliArguments::OutputPath(const std::string& Names, std::string& Target, bool Required) {
    Value(Names, Target, Required);
    Values.back().OutputPath = true;
}

void TCliArguments::Number(const std::string& Names, long& Target, long Min, long Max,
                           const char* What) {
    Numbers.push_back({nullptr,
                       FirstName(Names),
                       {},
                       &Target,
                       nullptr,
                       static_cast<double>(Min),
                       static_cast<double>(Max),
                       What});
    Numbers.back().Option = App->add_option(Names, Numbers.back().Text)->expected(0, 1);
}

void TCliArguments::Number(const std::string& Names, double& Target, double Min, double Max,
                           const char* What) {
    Numbers.push_back({nullptr, FirstName(Names), {}, nullptr, &Target, Min, Max, What});
    Numbers.back().Option = App->add_option(Names, Numbers.back().Text)->expected(0, 1);
}

void TCliArguments::Operand(const std::string& Name, std::string& Target) {
    OperandNames.push_back(Name);
    OperandTargets.push_back(&Target);
}

bool TCliArguments::CheckNumber(TNumber& N, std::string& Reason) const {
    const std::string& v = N.Text;
    char* end = nullptr;
    errno = 0;
    bool ok = !v.empty();
    if (N.Whole) {
        const long n = std::strtol(v.c_str(), &end, 10);
        ok = ok && errno == 0 && *end == '\0' && n >= static_cast<long>(N.Min) &&
             static_cast<double>(n) <= N.Max;
        if (ok) *N.Whole = n;
    } else {
        const double d = std::strtod(v.c_str(), &end);
        ok = ok && errno == 0 && *end == '\0' && std::isfinite(d) && d >= N.Min && d <= N.Max;
        if (ok) *N.Real = d;
    }
    if (ok) return true;
    char range[96];
    if (N.Whole && N.Max >= static_cast<double>(std::numeric_limits<long>::max()))
        std::snprintf(range, sizeof range, "of at least %ld", static_cast<long>(N.Min));
    else if (N.Whole)
        std::snprintf(range, sizeof range, "from %ld to %ld", static_cast<long>(N.Min),
                      static_cast<long>(N.Max));
    else
        std::snprintf(range, sizeof range, "from %g to %g", N.Min, N.Max);
    Reason = N.Name + " wants " + N.What + " " + range + ", not \"" + v + "\"";
    return false;
}

bool TCliArguments::Parse(const std::vector<std::string>& Given, int& Exit) {
    // "-o=FILE" is read as "--output=FILE" would be: the value after the
    // '='. CLI11 would keep the '=' as the first character of the value.
    std::vector<std::string> Args;
    bool operandsOnly = false;
    for (const std::string& a : Given) {
        operandsOnly = operandsOnly || a == "--";
        bool split = false;
        std::vector<CLI::Option*> options;
        for (const TValue& v : Values)
            options.push_back(v.Option);
        for (const TNumber& n : Numbers)
            options.push_back(n.Option);
        for (const CLI::Option* o : options)
            for (const std::string& name : o->get_snames())
                if (!operandsOnly && !split && a.size() > name.size() + 1 && a[0] == '-' &&
                    a.compare(1, name.size(), name) == 0 && a[name.size() + 1] == '=') {
                    Args.push_back(a.substr(0, name.size() + 1));
                    Args.push_back(a.substr(name.size() + 2));
                    split = true;
                }
        if (!split) Args.push_back(a);
    }
    for (const std::string& a : Args) {
        if (a == "--") break;
        for (const std::string& f : FlagNames)
            if (a.size() > f.size() && a.compare(0, f.size(), f) == 0 && a[f.size()] == '=') {
                Exit = UsageError(f + " takes no value");
                return false;
            }
    }
    // CLI11 takes a vector of arguments last first.
    std::vector<std::string> reversed(Args.rbegin(), Args.rend());
    try {
        App->parse(reversed);
    } catch (const CLI::ParseError& e) {
        // Left for what the settings above do not cover ("--strict=maybe").
        Exit = UsageError(e.what());
        return false;
    }
    if (HelpAsked) {
        std::fputs(Help.c_str(), stdout);
        Exit = 0;
        return false;
    }
    // The order of the checks is the order a person mends a command line in:
    // what is not understood, then what is incomplete, then what is too much.
    for (const std::string& r : App->remaining())
        if (r != "--") {
            Exit = UsageError("unknown option \"" + r + "\"");
            return false;
        }
    for (const TValue& v : Values)
        if (v.Option->count() > 0 &&
            (v.Option->results().empty() || v.Option->results().back().empty())) {
            Exit = UsageError(v.Name + " needs a value");
            return false;
        }
    for (const TValue& v : Values) {
        if (!v.OutputPath || v.Option->count() == 0) continue;
        if (!IsUtf8(v.Option->results().back())) {
            Exit = UsageError(v.Name + " names a path that is not valid UTF-8");
            return false;
        }
    }
    for (TNumber& n : Numbers) {
        if (n.Option->count() == 0) continue;
        std::string reason = n.Name + " needs a value";
        if (n.Text.empty() || !CheckNumber(n, reason)) {
            Exit = UsageError(reason);
            return false;
        }
    }
    if (Operands.size() < OperandNames.size()) {
        Exit = UsageError(OperandNames[Operands.size()] + " is missing");
        return false;
    }
    for (const TValue& v : Values)
        if (v.Required && v.Option->count() == 0) {
            Exit = UsageError(v.Name + " is missing");
            return false;
        }
    if (Operands.size() > OperandNames.size()) {
        Exit = UsageError("unexpected argument \"" + Operands[OperandNames.size()] + "\"");
        return false;
    }
    for (size_t i = 0; i < Operands.size(); ++i)
        *OperandTargets[i] = Operands[i];
    return true;
}

int TCliArguments::UsageError(const std::string& Reason) const {
    return UsageError(Program, Usage, Reason);
}

int TCliArguments::UsageError(const std::string& ProgramName, const std::string& UsageText,
                              const std::string& Reason) {
    std::fprintf(stderr, "%s: %s\nusage: %s\n", ProgramName.c_str(), Reason.c_str(),
                 UsageText.c_str());
    return 2;
}
