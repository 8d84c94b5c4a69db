#include "cli/romreportcommand.h"

#include "cli/cliarguments.h"
#include "cli/clioutput.h"
#include "cli/romimageinput.h"
#include "rom/tromimagepainter.h"
#include "rom/tromimagetext.h"
#include "rom/tromrebuildcheck.h"

#include <cstdio>

TCliCommand TRomReportCommand::Command() {
    return {"inspect", "inspect ROM.BIN [--png DIR] [--json] [--glb FILE]",
            &TRomReportCommand::Help, &TRomReportCommand::Run};
}

std::string TRomReportCommand::Help() {
    return "  Reads a ROM image back: checks it (size, CRC table copy, address tables,\n"
           "  settings record) and prints the settings, then every set code of the\n"
           "  three code tables with what it shows. The glyph library (ORVDVE510TK3.INI\n"
           "  and the library it names, in the current directory, or --glb FILE) tells\n"
           "  how the pictures were turned and which floor style the glyphs are; without\n"
           "  it DISPHV of the configuration and floor style 0 are assumed.\n"
           "  --png DIR  also writes a contact sheet per zone and one picture per used\n"
           "             code (as the editor's preview shows the label) into DIR.\n"
           "  --json     prints everything in the form docs/rom-image-reader.md describes.\n"
           "  The notes at the end say what recover would warn about: every item a\n"
           "  project recovered from the image does not build back, and why.\n"
           "  Exit status: 0 for a ROM image, 1 for a file that is not one (the reason,\n"
           "  naming the offset and the table, on standard error), 2 for a usage error.\n";
}

int TRomReportCommand::Run(const std::vector<std::string>& Args) {
    std::string file, png, glb;
    bool json = false;
    TCliArguments args(Command());
    args.Operand("ROM.BIN", file);
    args.OutputPath("--png", png);
    args.Flag("--json", json);
    args.Value("--glb", glb);
    int status = CliOk;
    if (!args.Parse(Args, status)) return status;

    TCliOutput out;
    TRomImageInput input;
    if (!input.Prepare(glb)) {
        out.Error("inspect: " + input.GlbFailure);
        return CliStopped;
    }
    DpuRom::TRomImage image;
    std::vector<uint8_t> raw;
    if (!input.Read(file, image, raw)) {
        if (json)
            std::fputs(DpuRom::TRomImageText::JsonRefusal(file, input.Reader.LastErrMsg,
                                                          input.Reader.LastErrOffset)
                           .c_str(),
                       stdout);
        out.Error("inspect: " + input.ReadFailure(file));
        return CliStopped;
    }
    for (const std::string& n : input.Notes)
        image.Notes.push_back(n);
    // What recover would warn about: the image recovered and built again.
    DpuRom::TRomRebuildCheck check(input.Library, input.Reader);
    check.RunOnScratch(input.Config, image, raw);
    for (const std::string& w : check.Warnings)
        image.Notes.push_back(w);
    const std::string text = json ? DpuRom::TRomImageText::Json(image, file)
                                  : DpuRom::TRomImageText::Summary(image, file);
    std::fputs(text.c_str(), stdout);
    if (!png.empty()) {
        std::vector<std::string> written;
        std::string reason;
        if (!DpuRom::TRomImagePainter::WriteAll(image, png, 4, written, reason)) {
            out.Error("inspect: " + reason);
            return CliStopped;
        }
        if (!json) std::printf("\n%zu pictures written to %s\n", written.size(), png.c_str());
    }
    return CliOk;
}
