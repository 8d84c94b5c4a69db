#include "cli/recovercommand.h"

#include "cli/cliarguments.h"
#include "cli/clioutput.h"
#include "cli/romimageinput.h"
#include "project/dputext.h"
#include "project/tuserworkspace.h"
#include "rom/tromrebuildcheck.h"
#include "rom/tromrecovery.h"

#include <QFileInfo>
#include <QString>

#include <cstdio>

namespace DpuText = DpuProject::DpuText;

TCliCommand TRecoverCommand::Command() {
    return {"recover",
            "recover ROM.BIN -o PROJECT.dcf [--bitmaps DIR] [--user-bitmaps DIR] [--glb FILE] "
            "[--strict]",
            &TRecoverCommand::Help, &TRecoverCommand::Run};
}

std::string TRecoverCommand::Help() {
    return "  Rebuilds a project from a ROM image: the labels of the three code tables,\n"
           "  every setting, the message pictures and the logo, so that make-rom of the\n"
           "  project (same glyph library and configuration) gives the same image. The\n"
           "  project is then built again in memory and compared with the image.\n"
           "  -o PROJECT.dcf       the project file to write; a file there is replaced\n"
           "                       whole.\n"
           "  --bitmaps DIR        where the message pictures (<STATE>_<slot>.bmp) and\n"
           "                       LOGO.bmp go; the project points to them. Default: the\n"
           "                       project file's folder.\n"
           "  --user-bitmaps DIR   where user bitmaps go: DIR/DefaultImage2/UserDefine/\n"
           "                       Floor/Style<n>/<label>.bmp. Default: the current\n"
           "                       folder (the workspace), where make-rom looks for them\n"
           "                       first. A stock bitmap of the workspace or the program's\n"
           "                       folder that gives the same picture keeps its label and\n"
           "                       is not copied; the others are named UBF000, UBF001, ...\n"
           "  --strict             exit with status 3 when any \"[Warning] ...\" line is\n"
           "                       printed.\n"
           "  No output may be a file that recover reads (the image, the configuration,\n"
           "  the glyph library). Without the configuration file or the glyph library\n"
           "  in the current folder recover stops, unless --glb FILE names the library.\n"
           "  Standard output: the files written, then a \"[Warning] ...\" line for what a\n"
           "  project file cannot carry and for each item the recovered project does not\n"
           "  build back (which item, and why). Exit status: 0 done, 1 when the file is\n"
           "  not a ROM image or a file cannot be written (nothing of the run is left\n"
           "  then), 2 for a usage error, 3 with --strict when a warning was printed.\n";
}

int TRecoverCommand::Run(const std::vector<std::string>& Args) {
    std::string file, project, bitmaps, users, glb;
    bool strict = false;
    TCliArguments args(Command());
    args.Operand("ROM.BIN", file);
    args.OutputPath("-o", project, true);
    args.OutputPath("--bitmaps", bitmaps);
    args.OutputPath("--user-bitmaps", users);
    args.Value("--glb", glb);
    args.Flag("--strict", strict);
    int status = CliOk;
    if (!args.Parse(Args, status)) return status;

    TCliOutput out;
    TRomImageInput input;
    if (!input.Prepare(glb)) {
        out.Error("recover: " + input.GlbFailure);
        return CliStopped;
    }
    // Without the workspace's configuration and library the project would be
    // guessed (no CODEVER, an assumed turn and floor style) and its bitmaps
    // written wherever the tool happened to run: only a library named on
    // the command line stands in for them.
    if (glb.empty() && (!input.ConfigRead || !input.Library.IsLoaded())) {
        for (size_t n = 0; n < input.ConfigNotes; ++n)
            out.Error(input.Notes[n]);
        if (!input.Library.IsLoaded()) {
            out.Error("[Error] " + input.Library.LoadError());
            out.Error(input.Library.LoadFailureText());
        }
        out.Error(DpuProject::TUserWorkspace::NoWorkspaceHint(input.Config.ProgramDir));
        out.Error("recover: stopped: run it where the image's configuration file and glyph "
                  "library are, or name the library with --glb FILE");
        return CliStopped;
    }
    // User bitmaps go to the workspace unless told otherwise: the program's
    // folder is often not writable, and make-rom looks in the workspace first.
    std::string root = users.empty() ? input.Config.StartupDir : users;
    root = QFileInfo(QString::fromStdString(root)).absoluteFilePath().toStdString();
    if (root.empty() || root.back() != '/') root += '/';
    DpuRom::TRomImage image;
    std::vector<uint8_t> raw;
    if (!input.Read(file, image, raw)) {
        out.Error("recover: " + input.ReadFailure(file));
        return CliStopped;
    }

    DpuRom::TRomRecovery recovery(image, input.Config);
    recovery.BitmapDir =
        bitmaps.empty() ? QFileInfo(QString::fromStdString(project)).absolutePath().toStdString()
                        : bitmaps;
    recovery.UserRoot = root;
    recovery.RomFileName = DpuText::ExtractFileNameAny(file);
    recovery.Inputs = input.InputFiles(file);
    if (!recovery.RecoverTo(project)) {
        out.Error("recover: " + recovery.LastErrMsg);
        return CliStopped;
    }
    DpuRom::TRomRebuildCheck check(input.Library, input.Reader);
    check.Run(project, input.Config, root, image, raw);
    for (const std::string& w : recovery.Written)
        std::printf("%s\n", w.c_str());
    std::vector<std::string> warnings = recovery.Warnings;
    warnings.insert(warnings.end(), check.Warnings.begin(), check.Warnings.end());
    for (const std::string& w : warnings)
        std::printf("%s\n", w.c_str());
    return strict && !warnings.empty() ? CliStrictRefused : CliOk;
}
