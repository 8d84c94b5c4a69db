#include "cli/romimageinput.h"

#include "project/dputext.h"
#include "util/fileaccess.h"
#include "util/silentprompts.h"

namespace DpuText = DpuProject::DpuText;
using DpuRom::TGlyphLibraryEntries;

bool TRomImageInput::Prepare(const std::string& GlbPath) {
    Config.SetDirectoriesFromProcess();
    // The configuration's boxes are kept, not shown: a missing file is only a note here.
    YVclUtil::SilentPrompts quiet;
    ConfigRead = Config.Read(quiet);
    for (const auto& box : quiet.Boxes)
        Notes.push_back(DpuText::Trim(box.second));
    ConfigNotes = Notes.size();
    const std::string glb = GlbPath.empty() ? Config.GlbPath() : GlbPath;
    this->GlbPath = glb;
    if (!Library.Load(glb) && !GlbPath.empty()) {
        const std::string prefix = "Glyph library \"" + glb + "\": ";
        std::string reason = Library.LastError;
        if (reason.rfind(prefix, 0) == 0) reason.erase(0, prefix.size());
        GlbFailure = "cannot read the glyph library " + glb + ": " + reason;
        return false;
    }
    if (!Library.IsLoaded())
        Notes.push_back("glyph library " + glb + " not read (" + Library.LastError +
                        "): DISPHV and DEF_FL are assumed");
    Entries = std::make_unique<TGlyphLibraryEntries>(Library, Config.GlbName);
    Reader.Library = Library.IsLoaded() ? Entries.get() : nullptr;
    Reader.Cfi = Config.CFI;
    Reader.AssumedDispHv = Config.DISPHV;
    Reader.ProgramDir = Config.ProgramDir;
    Reader.UserDir = Config.StartupDir.empty() ? std::string() : Config.StartupDir + "/";
    return true;
}

bool TRomImageInput::Read(const std::string& Path, DpuRom::TRomImage& Image,
                          std::vector<uint8_t>& Raw) {
    std::string reason;
    CannotRead = false;
    if (!YVclUtil::ReadWholeFile(Path, Raw, reason, 1 << 20)) {
        CannotRead = true;
        Reader.LastErrMsg = reason;
        Reader.LastErrOffset = 0;
        return false;
    }
    return Reader.Read(Raw.data(), Raw.size(), Image);
}

std::string TRomImageInput::ReadFailure(const std::string& Path) const {
    if (CannotRead) return "cannot read " + Path + ": " + Reader.LastErrMsg;
    return Path + " is not a ROM image: " + Reader.LastErrMsg;
}

std::vector<std::pair<std::string, std::string>>
TRomImageInput::InputFiles(const std::string& ImagePath) const {
    return {{"the image", ImagePath},
            {"the configuration", Config.IniPath()},
            {"the glyph library", GlbPath},
            {"the user glyph library", Config.UbfGlbName.empty() ? "" : Config.UbfGlbPath()}};
}
