#include "cli/diffcommand.h"

#include "cli/cliarguments.h"
#include "cli/clioutput.h"
#include "cli/romimageinput.h"
#include "rom/tromimagediff.h"
#include "rom/tromimagepainter.h"

#include <QDir>
#include <QString>

#include <cstdio>

TCliCommand TDiffCommand::Command() {
    return {"diff", "diff A.BIN B.BIN [--png DIR] [--glb FILE]", &TDiffCommand::Help,
            &TDiffCommand::Run};
}

std::string TDiffCommand::Help() {
    return "  Reads two ROM images and prints, one per line, what differs by meaning:\n"
           "  \"PWRSAVING: 10 \xE2\x86\x92 20\", \"CTBL1 code 12 (0C): 12 \xE2\x86\x92 12A\",\n"
           "  \"message FIRE slot B: picture changed\". The glyph library is found as by\n"
           "  inspect.\n"
           "  --png DIR  writes each changed picture or code, A beside B, into DIR.\n"
           "  Exit status: 0 when the images hold the same, 1 when they differ, 2 for a\n"
           "  usage error or a file that is not a ROM image.\n";
}

int TDiffCommand::Run(const std::vector<std::string>& Args) {
    std::string files[2];
    std::string png, glb;
    TCliArguments args(Command());
    args.Operand("A.BIN", files[0]);
    args.Operand("B.BIN", files[1]);
    args.OutputPath("--png", png);
    args.Value("--glb", glb);
    int status = CliOk;
    if (!args.Parse(Args, status)) return status;

    TCliOutput out;
    TRomImageInput input;
    if (!input.Prepare(glb)) {
        out.Error("diff: " + input.GlbFailure);
        return CliUsage;
    }
    DpuRom::TRomImage images[2];
    std::vector<uint8_t> raw[2];
    for (int i = 0; i < 2; ++i)
        if (!input.Read(files[static_cast<size_t>(i)], images[i], raw[i])) {
            out.Error("diff: " + input.ReadFailure(files[static_cast<size_t>(i)]));
            return CliUsage;
        }

    const auto differences = DpuRom::TRomImageDiff::Compare(images[0], images[1], raw[0], raw[1]);
    for (const auto& d : differences)
        std::printf("%s\n", d.Text.c_str());
    if (!png.empty() && !differences.empty()) {
        if (!QDir().mkpath(QString::fromStdString(png))) {
            out.Error("diff: cannot make the folder \"" + png + "\"");
            return CliUsage;
        }
        for (const auto& d : differences) {
            if (d.Slug.empty() || (d.Before.IsNull() && d.After.IsNull())) continue;
            const YVclUtil::TRasterImage side = DpuRom::TRomImagePainter::Zoomed(
                DpuRom::TRomImagePainter::SideBySide(d.Before, d.After), 4);
            std::string reason;
            const std::string path = png + "/" + d.Slug + ".png";
            if (!DpuRom::TRomImagePainter::SavePng(side, path, reason)) {
                out.Error("diff: cannot write \"" + path + "\": " + reason);
                return CliUsage;
            }
        }
    }
    return differences.empty() ? CliOk : CliStopped;
}
