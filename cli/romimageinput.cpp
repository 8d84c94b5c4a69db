#include "cli/romimageinput.h"

#include "project/dputext.h"
#include "util/fileaccess.h"
#include "util/prompts.h"

namespace DpuText = DpuProject::DpuText;
using DpuRom::TGlyphLibraryEntries;

namespace {

// The configuration's boxes are kept, not shown: a missing file is only a note here.
class TNoteOnly : public YVclUtil::Prompts {
public:
    explicit TNoteOnly(std::vector<std::string>& Notes) : Notes(Notes) {}
    void MessageBox(const std::string&, const std::string& Text) override {
        Notes.push_back(DpuText::Trim(Text));
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool OpenFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool SaveFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool OpenPictureDialog(const std::string&, std::string&) override { return false; }
    void SetBusyCursor(bool) override {}

private:
    std::vector<std::string>& Notes;
};

} // namespace

void TRomImageInput::Prepare(const std::string& GlbPath) {
    Config.SetDirectoriesFromProcess();
    TNoteOnly quiet(Notes);
    Config.Read(quiet);
    const std::string glb = GlbPath.empty() ? Config.GlbPath() : GlbPath;
    if (!Library.Load(glb))
        Notes.push_back("glyph library " + glb + " not read (" + Library.LastError +
                        "): DISPHV and DEF_FL are assumed");
    Entries = std::make_unique<TGlyphLibraryEntries>(Library, Config.GlbName);
    Reader.Library = Library.IsLoaded() ? Entries.get() : nullptr;
    Reader.Cfi = Config.CFI;
    Reader.AssumedDispHv = Config.DISPHV;
    Reader.ProgramDir = Config.ProgramDir;
}

bool TRomImageInput::Read(const std::string& Path, DpuRom::TRomImage& Image,
                          std::vector<uint8_t>& Raw) {
    std::string reason;
    if (!YVclUtil::ReadWholeFile(Path, Raw, reason, 1 << 20)) {
        Reader.LastErrMsg = "cannot read \"" + Path + "\": " + reason;
        Reader.LastErrOffset = 0;
        return false;
    }
    return Reader.Read(Raw.data(), Raw.size(), Image);
}
