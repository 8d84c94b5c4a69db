#include "cli/makeromcommand.h"

#include "cli/cliarguments.h"
#include "cli/clioutput.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "project/tstartup.h"
#include "rom/glyphlibrary.h"
#include "rom/tmakerom.h"

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuProject::TProjectFile;
using DpuProject::TStartup;
using DpuRom::GlyphLibrary;
using DpuRom::TMakeRom;

TCliCommand TMakeRomCommand::Command() {
    return {"make-rom", "make-rom PROJECT.dcf [-o FILE] [--strict]", &TMakeRomCommand::Help,
            &TMakeRomCommand::Run};
}

std::string TMakeRomCommand::Help() {
    return "  Builds the ROM image of a project file, as the editor's \"Load\" followed by\n"
           "  \"MAKE ROM\" does, without dialogs and without rewriting the project file.\n"
           "  The configuration file ORVDVE510TK3.INI and the glyph library are read from\n"
           "  the current directory; the stock bitmaps from DefaultImage2/ beside this\n"
           "  program or, when none stand there, from the installed data folder\n"
           "  (../../share/dpu510tk3/ from the program's folder).\n"
           "  -o FILE  write the image to FILE. Without it the project's ROM file name is\n"
           "           used (empty gives DPU510TK3.BIN, any extension becomes .BIN).\n"
           "           Relative names are taken in the current directory.\n"
           "  Standard output: each message-log line of the build, one per line, then\n"
           "  \"DPU-510TK3 Make ROM OK\". When the build stops (\"All CTBL is empty!!\",\n"
           "  \"GLB File error!!\", \"FL element overflow!!\", \"DCF file format error!!\", a\n"
           "  picture that cannot be loaded, named in the message, a file that cannot be\n"
           "  written) the message goes to standard error, the exit status is 1 and no\n"
           "  ROM file is written.\n"
           "  Lines beginning \"[Warning]\" or \"[Error]\" report what the image lacks or\n"
           "  cut: a label character without a glyph in the floor style, a setting that\n"
           "  does not fit its byte, a missing user bitmap, a full zone. The image is\n"
           "  still written and the exit status is 0.\n"
           "  --strict  for scripted builds: any such line, and any message on standard\n"
           "           error before the build (the configuration, the glyph libraries,\n"
           "           the project), stops the build; the message goes to standard\n"
           "           error, the exit status is 3 and no ROM file is written.\n";
}

int TMakeRomCommand::Run(const std::vector<std::string>& Args) {
    std::string project;
    std::string output;
    bool strict = false;
    TCliArguments args(Command());
    args.Operand("PROJECT.dcf", project);
    args.OutputPath("-o", output);
    args.Flag("--strict", strict);
    int status = CliOk;
    if (!args.Parse(Args, status)) return status;

    TCliOutput out;
    // Every failure below is said in the tool's words; the libraries' raw
    // boxes would only come first and say less.
    out.HoldLibraryBoxes();
    TConfiguration config;
    config.SetDirectoriesFromProcess();
    GlyphLibrary library;
    TProject record;
    // The editor's start-up: configuration, glyph library, default lift-state slots.
    out.DropRepeatedBoxes = true;
    TStartup::Run(config, library, record, out, out);

    TProjectFile file(record, config, library, out, out);
    const TProjectFile::TLoadResult loaded = file.LoadFrom(project);
    out.DropRepeatedBoxes = false;
    if (loaded != TProjectFile::TLoadResult::Loaded) {
        // The box text is short; the reason names the file.
        out.Error("Cannot load project \"" + project + "\"" +
                  (file.LastError.empty() ? std::string() : ": " + file.LastError));
        return CliStopped;
    }

    TMakeRom make(record, config, library, out, &out);
    make.OutputFile = output;
    make.ProjectPath = project;
    make.Strict = strict;
    // Whatever start-up and the load reported (a configuration not read, a
    // user glyph library missing, a working file left alone, a customer logo
    // found nowhere) belongs to this build: the output has seen all of it.
    make.EarlierWarnings = out.Reports();
    if (make.Run()) return CliOk;
    return make.StrictStop ? CliStrictRefused : CliStopped;
}
