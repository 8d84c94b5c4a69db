// Loads arbitrary bytes as the glyph library, reads every entry of the eight
// groups, and runs MAKE ROM over it (direction frames, floor glyphs, the
// screen picture, the small glyphs, the character block). Whatever the
// directory says, nothing is read outside the image, a broken entry is never
// taken for an absent one, and a build that reads a broken entry never ends
// with an image. The build runs in a folder of its own, so the working
// files never land in libFuzzer's corpus folder.
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "rom/glyphlibrary.h"
#include "rom/tmakerom.h"
#include "support/ttestworkspace.h"
#include "util/errmsgbox.h"
#include "util/silentprompts.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace DpuProject;
using namespace DpuRom;

namespace {
// A folder of its own for the whole run: the current directory is
// libFuzzer's corpus folder.
const TTestWorkspace& Work() {
    static const TTestWorkspace work(TTestWorkspace::Aside());
    static const bool quiet = [] {
        YVclUtil::SetErrMsgBoxHandler([](const std::string&, const std::string&) {});
        return true;
    }();
    (void)quiet;
    return work;
}

bool IsBroken(const GlyphLibrary& Library, int Group, int Index) {
    uint32_t offset = 0, length = 0;
    return Library.LocateEntry(Group, Index, offset, length) == GlyphLibrary::TEntryState::Broken;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string dir = Work().Folder();
    const std::string input =
        Work().Write("input.glb", std::string(reinterpret_cast<const char*>(Data), Size));
    if (input.empty()) std::abort();

    GlyphLibrary library;
    if (!library.Load(input)) return 0;
    const uint64_t fileSize = library.FileSize();
    // Every entry: its state agrees with its bytes, and a present one lies in the file.
    for (int group = 0; group < GlyphLibrary::GroupCount; ++group)
        for (int index = 0; index < GlyphLibrary::EntriesPerGroup; ++index) {
            uint32_t offset = 0, length = 0;
            std::string fault;
            const auto state = library.LocateEntry(group, index, offset, length, &fault);
            const std::vector<uint8_t> bytes = library.EntryBytes(group, index);
            if (state == GlyphLibrary::TEntryState::Present) {
                if (length == 0 || uint64_t(offset) + length > fileSize || bytes.size() != length)
                    std::abort();
            } else if (!bytes.empty() ||
                       (state == GlyphLibrary::TEntryState::Broken) == fault.empty()) {
                std::abort();
            }
        }

    TConfiguration config;
    config.StartupDir = dir;
    config.ProgramDir = dir + "/";
    config.GlbName = "input.glb";
    config.CFI = 48;
    config.DISPHV = Size > 0 ? Data[0] & 1 : 1;
    TProject project;
    for (auto& state : project.LiftStateSlots)
        state.fill({});
    project.CodeTables[0][0] = "1";
    project.CodeTables[0][1] = "B2";
    project.CodeTables[1][2] = "-";
    YVclUtil::SilentPrompts quiet(true);
    TMakeRom make(project, config, library, quiet, &quiet);
    make.OutputFile = dir + "/out.bin";
    std::remove(make.OutputFile.c_str());
    const bool built = make.Run();

    // Every entry the build reads: a broken one must have stopped it.
    std::vector<std::pair<int, int>> read = {{0, 48}, {0, 40}};
    for (int s = 0; s < 5; ++s)
        for (int f = 0; f < 12; ++f)
            read.emplace_back(0, 50 + 20 * s + f);
    for (int i = 0; i < 39; ++i)
        read.emplace_back(7, i);
    // Only the chosen floor style's glyphs are read; the other styles' entries
    // may be broken without stopping the build.
    for (int c : {'-', 'S', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'B'})
        read.emplace_back(1 + project.DEF_FL, c);
    bool anyBroken = false;
    for (const auto& [group, index] : read)
        anyBroken = anyBroken || IsBroken(library, group, index);
    if (built && anyBroken) std::abort();
    bool logged = false;
    for (const std::string& line : quiet.Log)
        logged = logged || line.rfind("[Error] GLB entry (", 0) == 0;
    if (logged &&
        (built || quiet.LastCaption() + "|" + quiet.LastText() != "File error|GLB File error!!"))
        std::abort();
    if (built) {
        std::FILE* f = std::fopen(make.OutputFile.c_str(), "rb");
        if (!f || std::fseek(f, 0, SEEK_END) != 0 || std::ftell(f) != 64512) std::abort();
        std::fclose(f);
    }
    return 0;
}
