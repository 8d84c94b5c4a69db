#include "cli/uploadcommand.h"

#include "cli/cliarguments.h"
#include "cli/clioutput.h"
#include "link/linksession.h"
#include "link/devicelink.h"
#include "link/portname.h"
#include "project/tconfiguration.h"
#include "rom/tuploadimage.h"
#include "serial/tcustomuart.h"
#include "util/eygeneral.h"
#include "util/terminal.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

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
    return {"upload", "upload ROM.BIN --port PORT [--msg] [--response-timeout-ms N] [--force]",
            &Help, &Run, true};
}

std::string TUploadCommand::Help() {
    return "  Sends a ROM image built by make-rom to the display. PORT is a device path\n"
           "  (/dev/ttyUSB0, a pseudo-terminal) or COMn (COM1 to COM16); 115200 baud 8N1.\n"
           "  The ENCODE value of ORVDVE510TK3.INI in the current directory (its first\n"
           "  version) must allow uploads. --msg prints the per-frame lines and the time\n"
           "  taken, as \"Msg. on\" does; N is the response time-out in milliseconds\n"
           "  (10000). Before the port is opened the file must read as a display image\n"
           "  (its size, the CRC table copy, the address tables; a 62400-byte file as far\n"
           "  as it goes); otherwise the tool stops naming the file and its first problem.\n"
           "  --force sends such a file all the same, after a \"*** Warning: ... ***\" line.\n"
           "  A display that acknowledges no new frame through 10 response time-outs and\n"
           "  restarts is given up on, however many other bytes it sends.\n"
           "  Exit status 0 when the display took the whole image, 1 when it failed,\n"
           "  stopped answering, the file or the port could not be used, or uploads are\n"
           "  not allowed; 2 for a usage error.\n";
}

namespace {

// A port named "COMn" that the component does not open is a mistake in the
// arguments, found before anything is opened (TLinkSession::SelectPort would
// refuse it the same way later).
bool ComNumberOutOfRange(const std::string& Name, std::string& Error) {
    std::string reason;
    if (DpuLink::TPortName(Name).Usable(reason)) return false;
    Error = "--port " + Name + ": " + reason;
    return true;
}

} // namespace

bool TUploadCommand::ParseLinkOptions(TCliArguments& Parser, const std::vector<std::string>& Args,
                                      TLinkOptions& Out, int& Exit) {
    Parser.Value("--port", Out.Port, true);
    Parser.Flag("--msg", Out.MsgOn);
    long timeout = Out.ResponseTimeoutMs;
    Parser.Number("--response-timeout-ms", timeout, 1, 3600000, "milliseconds");
    if (!Parser.Parse(Args, Exit)) return false;
    Out.ResponseTimeoutMs = static_cast<int>(timeout);
    std::string error;
    if (ComNumberOutOfRange(Out.Port, error)) {
        Exit = Parser.UsageError(error);
        return false;
    }
    return true;
}

int TUploadCommand::Run(const std::vector<std::string>& Args) {
    TLinkOptions opts;
    std::string romFile;
    TCliArguments args(Command());
    args.Operand("ROM.BIN", romFile);
    args.Flag("--force", opts.Force);
    int status = CliOk;
    if (!ParseLinkOptions(args, Args, opts, status)) return status;
    return RunTransfer("upload", opts, YVclUtil::ErrorOutputIsTerminal(), romFile);
}

int TUploadCommand::CheckRomFile(TCliOutput& Out, const std::string& RomFile, bool Force,
                                 DpuRom::TUploadImage& Image) {
    auto fail = [&](const std::string& Reason) {
        Out.Error("dpu510tk3 upload: " + Reason);
        return static_cast<int>(CliStopped);
    };
    Image = DpuRom::TUploadImage::Read(RomFile);
    switch (Image.Fault()) {
    case DpuRom::TUploadImage::TFault::None:
        break;
    case DpuRom::TUploadImage::TFault::TooLarge:
        // As the editor says it; nothing is sent, whatever --force says.
        for (const std::string& line : Image.FaultLines())
            Out.AppendLog(line);
        return fail("=== ROM image too large!! ===");
    default:
        return fail("can not read ROM file " + RomFile + ": " + Image.Reason());
    }
    if (Image.IsImage()) return CliOk;
    if (!Force)
        return fail(RomFile + " is not a display image: " + Image.Problem() +
                    "\n(--force sends it all the same)");
    Out.AppendLog("*** Warning: " + RomFile + " is not a display image: " + Image.Problem() +
                  " -- sent as --force asks ***");
    return CliOk;
}

int TUploadCommand::RunTransfer(const char* Command, const TLinkOptions& Options, bool Progress,
                                const std::string& RomFile) {
    const bool upload = !RomFile.empty() || std::string(Command) == "upload";
    TLoggingOutput out;
    // Every failure below is said in the tool's words; the libraries' raw
    // boxes would only come first and say less.
    out.HoldLibraryBoxes();
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
        if (!DpuRom::TUploadImage::UploadsAllowed(config, out))
            return fail("uploads are not supported by version " + config.SelectedVersion);
    }

    // The file first: nothing that is not an image reaches the display, and
    // the port is not even opened for it.
    DpuRom::TUploadImage image;
    if (upload) {
        const int checked = CheckRomFile(out, RomFile, Options.Force, image);
        if (checked != CliOk) return checked;
    }

    DpuLink::TLinkSession session(out, Options.ResponseTimeoutMs);
    std::string reason;
    if (!session.SelectPort(Options.Port, reason)) return fail(reason);
    DpuLink::TDeviceLink& link = session.Link();
    link.SetMsgOn(Options.MsgOn);
    if (!link.Connect()) {
        std::string why = "can not open " + Options.Port + ": " + session.Uart().pr_LastErrMsg();
        // The component keeps its fixed text; what lies behind it goes on a line of its own.
        const std::string detail = session.Uart().pr_LastErrDetail();
        if (!detail.empty()) why += "\n" + Options.Port + ": " + detail;
        return fail(why);
    }

    if (upload) {
        // The bytes checked above, not the file again: it may have changed since.
        if (!link.StartUpload(image)) {
            const std::string why = out.LastLine;
            link.Disconnect();
            return fail(why);
        }
        if (Progress) link.OnProgress = [&](unsigned n) { out.DrawProgress(n, link.BlockCount()); };
    } else if (!link.StartDateTimeSync()) {
        const std::string why = out.LastLine;
        link.Disconnect();
        return fail(why);
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
    case DpuLink::TLinkOutcome::Stalled:
        return fail("aborted: " + link.StallReason());
    case DpuLink::TLinkOutcome::PortLost:
        return fail("the link was lost: " + link.LostReason());
    case DpuLink::TLinkOutcome::Cancelled:
        return fail("cancelled");
    }
    return CliStopped;
}
