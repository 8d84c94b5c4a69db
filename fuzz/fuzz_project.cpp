// Loads arbitrary bytes as a project file, and the same bytes as a glyph
// library, through the code the editor and the tool use. A loaded project
// must save and load back again. The current directory is left alone (it is
// libFuzzer's corpus folder), so no working file is extracted here.
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "rom/glyphlibrary.h"
#include "support/ttestworkspace.h"
#include "util/errmsgbox.h"
#include "util/silentprompts.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuProject::TProjectFile;
using DpuRom::GlyphLibrary;

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
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string dir = Work().Folder();
    const std::string input =
        Work().Write("input.dcf", std::string(reinterpret_cast<const char*>(Data), Size));
    if (input.empty()) std::abort();

    YVclUtil::SilentPrompts ask(true);
    TConfiguration config;
    config.StartupDir = dir;
    config.ProgramDir = dir + "/";
    config.VersionList = {"V1", "ORV-GRY"};
    config.VersionIndex = 0;

    GlyphLibrary library;
    if (library.Load(input)) {
        for (int group = 0; group < GlyphLibrary::GroupCount; ++group)
            for (int index : {0, 30, 40, 48, 255})
                library.EntryBytes(group, index);
    }

    TProject project;
    TProjectFile file(project, config, library, ask, ask);
    if (file.LoadFrom(input) != TProjectFile::TLoadResult::Loaded) return 0;
    const std::string output = dir + "/output.dcf";
    std::remove(output.c_str());
    if (!file.SaveTo(output)) std::abort();
    TProject again;
    TProjectFile file2(again, config, library, ask, ask);
    if (file2.LoadFrom(output) != TProjectFile::TLoadResult::Loaded) std::abort();
    for (int t = 0; t < TProject::TableCount; ++t)
        for (int n = 0; n < TProject::CodeCount; ++n)
            if (again.CodeTables[t][n] != TProject::LabelToSave(project.CodeTables[t][n]))
                std::abort();
    return 0;
}
