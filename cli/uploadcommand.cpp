#include "cli/uploadcommand.h"

#include "cli/clioutput.h"
#include "link/linksession.h"
#include "project/tconfiguration.h"
#include "serial/tcustomuart.h"
#include "util/eygeneral.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using DpuProject::TConfiguration;

namespace {

// The tool's log on standard output, remembering the last line so a refusal
// can be repeated on standard error. While a progress bar is up, both usually
// share one terminal: the bar steps aside for each line and comes back below it.
class TLoggingOutput : public TCliOutput {
public:
    void AppendLog(const std::string& Line) override {
        LastLine = Line;
        if (!Bar.empty()) {
            std::fprintf(stderr, "\r%*s\r", static_cast<int>(Bar.size()), "");
            std::fflush(stderr);
        }
        TCliOutput::AppendLog(Line);
        if (!Bar.empty()) {
            std::fputs(Bar.c_str(), stderr);
            std::fflush(stderr);
        }
    }
    // Draws the bar on standard error when it has grown (or shrunk, after a
    // restart); a log line shows the count of the moment.
    void DrawProgress(unsigned BlockNo, unsigned BlockCount) {
        constexpr int kWidth = 40;
        const int filled = BlockCount ? static_cast<int>(BlockNo * kWidth / BlockCount) : 0;
        Bar =
            YVclUtil::Format("[%.*s%*s] %u/%u", filled, "########################################",
                             kWidth - filled, "", BlockNo, BlockCount);
        if (filled == Drawn && BlockNo != BlockCount) return;
        Drawn = filled;
        std::fprintf(stderr, "\r%s", Bar.c_str());
        std::fflush(stderr);
    }
    // Leaves the last bar on its own line; later lines no longer touch it.
    void EndProgress() {
        if (Bar.empty()) return;
        std::fputs("\n", stderr);
        std::fflush(stderr);
        Bar.clear();
    }
    std::string LastLine;

private:
    std::string Bar; // as last drawn, without the carriage return
    int Drawn = -1;
};

} // namespace

TCliCommand TUploadCommand::Command() {
    return {"upload", "upload ROM.BIN --port PORT [--msg] [--response-timeout-ms N]", &Help, &Run};
}

std::string TUploadCommand::Help() {
    return "upload ROM.BIN --port PORT [--msg] [--response-timeout-ms N]\n"
           "  Sends a ROM image built by make-rom to the display. PORT is a device path\n"
           "  (/dev/ttyUSB0, a pseudo-terminal) or COMn; 115200 baud 8N1. The ENCODE value\n"
           "  of ORVDVE510TK3.INI in the current directory (its first version) must allow\n"
           "  uploads. --msg prints the per-frame lines and the time taken, as \"Msg. on\"\n"
           "  does; N is the response time-out in milliseconds (10000). A file of neither\n"
           "  62400 nor 64512 bytes is sent after a \"*** Warning: ... ***\" line, since\n"
           "  MAKE ROM never writes one. Exit status 0 when\n"
           "  the display took the whole image, 1 when it failed, stopped answering, the\n"
           "  file or the port could not be used, or uploads are not allowed.\n";
}

bool TUploadCommand::ParseLinkOptions(const std::vector<std::string>& Args, TLinkOptions& Out,
                                      std::string& Error) {
    for (size_t i = 0; i < Args.size(); ++i) {
        const std::string& a = Args[i];
        if (a == "--msg") {
            Out.MsgOn = true;
        } else if (a == "--port" || a == "--response-timeout-ms") {
            if (i + 1 >= Args.size()) {
                Error = a + " needs a value";
                return false;
            }
            const std::string& v = Args[++i];
            if (a == "--port") {
                Out.Port = v;
                continue;
            }
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < 1 || n > 3600000) {
                Error =
                    "--response-timeout-ms wants milliseconds from 1 to 3600000, not \"" + v + "\"";
                return false;
            }
            Out.ResponseTimeoutMs = static_cast<int>(n);
        } else if (a.size() > 1 && a[0] == '-') {
            Error = "unknown option \"" + a + "\"";
            return false;
        } else {
            Out.Positional.push_back(a);
        }
    }
    if (Out.Port.empty()) {
        Error = "--port is missing";
        return false;
    }
    return true;
}

int TUploadCommand::Run(const std::vector<std::string>& Args) {
    for (const auto& a : Args)
        if (a == "--help" || a == "-h") {
            std::fputs(Help().c_str(), stdout);
            return CliOk;
        }
    TLinkOptions opts;
    std::string error;
    if (!ParseLinkOptions(Args, opts, error) || opts.Positional.size() != 1) {
        if (error.empty())
            error = opts.Positional.empty() ? "the ROM file is missing"
                                            : "more than one ROM file given";
        std::fprintf(stderr, "dpu510tk3 upload: %s\n%s", error.c_str(), Help().c_str());
        return CliUsage;
    }
    return RunTransfer("upload", opts, isatty(STDERR_FILENO) == 1, opts.Positional.front());
}

int TUploadCommand::RunTransfer(const char* Command, const TLinkOptions& Options, bool Progress,
                                const std::string& RomFile) {
    const bool upload = !RomFile.empty() || std::string(Command) == "upload";
    TLoggingOutput out;
    auto fail = [&](const std::string& Reason) {
        out.Error(std::string("dpu510tk3 ") + Command + ": " + Reason);
        return static_cast<int>(CliStopped);
    };

    if (upload) {
        // As at the editor's start-up: the first version of the configuration file.
        TConfiguration config;
        config.SetDirectoriesFromProcess();
        if (!config.Read(out, &out))
            return fail("can not use the configuration file " + config.IniPath());
        if (config.ENCODE == 0) {
            out.MessageBox("No service!!",
                           "ORV init version\n\n No support download function!!\n\n");
            return fail("uploads are not supported by version " + config.SelectedVersion);
        }
    }

    DpuLink::TLinkSession session(out, Options.ResponseTimeoutMs);
    std::string reason;
    if (!session.SelectPort(Options.Port, reason)) return fail(reason);
    DpuLink::TDeviceLink& link = session.Link();
    link.SetMsgOn(Options.MsgOn);
    if (!link.Connect())
        return fail("can not open " + Options.Port + ": " + session.Uart().pr_LastErrMsg());

    if (upload) {
        if (!link.StartUpload(RomFile)) {
            const std::string why = out.LastLine;
            link.Disconnect();
            return fail(why);
        }
        if (Progress) link.OnProgress = [&](unsigned n) { out.DrawProgress(n, link.BlockCount()); };
    } else {
        link.StartDateTimeSync();
    }

    const DpuLink::TLinkOutcome outcome = session.RunUntilEnded();
    out.EndProgress();
    if (link.Connected()) link.Disconnect();
    switch (outcome) {
    case DpuLink::TLinkOutcome::Finished:
        return CliOk;
    case DpuLink::TLinkOutcome::Failed:
        return fail("failed: the display rejected one frame ten times");
    case DpuLink::TLinkOutcome::Aborted:
        return fail("aborted: the display did not answer for ten response periods");
    case DpuLink::TLinkOutcome::PortLost:
        return fail("the link was lost: " + link.LostReason());
    case DpuLink::TLinkOutcome::Cancelled:
        return fail("cancelled");
    }
    return CliStopped;
}
