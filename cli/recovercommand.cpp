#include "cli/recovercommand.h"

#include "cli/clioutput.h"
#include "cli/romimageinput.h"
#include "project/dputext.h"
#include "rom/tromrecovery.h"

#include <QFileInfo>
#include <QString>

#include <cstdio>

namespace DpuText = DpuProject::DpuText;

TCliCommand TRecoverCommand::Command() {
    return {"recover",
            "recover ROM.BIN -o PROJECT.dcf [--bitmaps DIR] [--user-bitmaps DIR] [--glb FILE]",
            &TRecoverCommand::Help, &TRecoverCommand::Run};
}

std::string TRecoverCommand::Help() {
    return "recover ROM.BIN -o PROJECT.dcf [--bitmaps DIR] [--user-bitmaps DIR] [--glb FILE]\n"
           "  Rebuilds a project from a ROM image: the labels of the three code tables,\n"
           "  every setting, the message pictures and the logo, so that make-rom of the\n"
           "  project (same glyph library and configuration) gives the same image.\n"
           "  -o PROJECT.dcf       the project file to write.\n"
           "  --bitmaps DIR        where the message pictures (<STATE>_<slot>.bmp) and\n"
           "                       LOGO.bmp go; the project points to them. Default: the\n"
           "                       project file's folder.\n"
           "  --user-bitmaps DIR   the folder that stands for the installation: user\n"
           "                       bitmaps go to DIR/DefaultImage2/UserDefine/Floor/Style<n>/\n"
           "                       <label>.bmp. Default: this program's folder, where\n"
           "                       make-rom looks for them. A stock bitmap there that\n"
           "                       gives the same picture keeps its label; the others are\n"
           "                       named UBF000, UBF001, ...\n"
           "  Standard output: the files written, then any \"[Warning] ...\" line for what\n"
           "  a project file cannot carry. Exit status: 0 done, 1 when the file is not a\n"
           "  ROM image or a file cannot be written, 2 for a usage error.\n";
}

int TRecoverCommand::Run(const std::vector<std::string>& Args) {
    TCliOutput out;
    std::string file, project, bitmaps, users, glb;
    for (size_t i = 0; i < Args.size(); ++i) {
        const std::string& a = Args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(Help().c_str(), stdout);
            return CliOk;
        }
        if (a == "-o" || a == "--bitmaps" || a == "--user-bitmaps" || a == "--glb") {
            if (i + 1 >= Args.size() || Args[i + 1].empty()) {
                out.Error("recover: " + a + " needs a name");
                return CliUsage;
            }
            std::string& target = a == "-o"          ? project
                                  : a == "--bitmaps" ? bitmaps
                                  : a == "--glb"     ? glb
                                                     : users;
            target = Args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            out.Error("recover: unknown option " + a);
            return CliUsage;
        } else if (file.empty()) {
            file = a;
        } else {
            out.Error("recover: more than one image given");
            return CliUsage;
        }
    }
    if (file.empty() || project.empty()) {
        out.Error("recover: an image and -o PROJECT.dcf are needed\n"
                  "usage: dpu510tk3 recover ROM.BIN -o PROJECT.dcf [--bitmaps DIR]");
        return CliUsage;
    }

    TRomImageInput input;
    input.Prepare(glb);
    std::string root = input.Config.ProgramDir;
    if (!users.empty()) {
        root = QFileInfo(QString::fromStdString(users)).absoluteFilePath().toStdString();
        if (root.back() != '/') root += '/';
    }
    DpuRom::TRomImage image;
    std::vector<uint8_t> raw;
    if (!input.Read(file, image, raw)) {
        out.Error("recover: " + file + " is not a ROM image: " + input.Reader.LastErrMsg);
        return CliStopped;
    }

    DpuRom::TRomRecovery recovery(image, input.Config);
    recovery.BitmapDir =
        bitmaps.empty() ? QFileInfo(QString::fromStdString(project)).absolutePath().toStdString()
                        : bitmaps;
    recovery.UserRoot = root;
    recovery.RomFileName = DpuText::ExtractFileNameAny(file);
    if (!recovery.RecoverTo(project)) {
        out.Error("recover: " + recovery.LastErrMsg);
        return CliStopped;
    }
    for (const std::string& w : recovery.Written)
        std::printf("%s\n", w.c_str());
    for (const std::string& w : recovery.Warnings)
        std::printf("%s\n", w.c_str());
    return CliOk;
}
