// Loads arbitrary bytes as a project file, and the same bytes as a glyph
// library, through the code the editor and the tool use. A loaded project
// must save and load back again. The current directory is left alone (it is
// libFuzzer's corpus folder), so no working file is extracted here.
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "rom/glyphlibrary.h"
#include "util/errmsgbox.h"
#include "util/prompts.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuProject::TProjectFile;
using DpuRom::GlyphLibrary;

namespace {
class QuietPrompts : public YVclUtil::Prompts {
public:
    void MessageBox(const std::string&, const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    bool OpenFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool SaveFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool OpenPictureDialog(const std::string&, std::string&) override { return false; }
    void SetBusyCursor(bool) override {}
};

class QuietSink : public YVclUtil::MessageSink {
public:
    void AppendLog(const std::string&) override {}
    void ClearLog() override {}
    void SetStatus(int, const std::string&) override {}
};

const std::string& WorkDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/fuzz_project_XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made) std::abort();
        YVclUtil::SetErrMsgBoxHandler([](const std::string&, const std::string&) {});
        return std::string(made);
    }();
    return dir;
}

void WriteBytes(const std::string& Path, const uint8_t* Data, size_t Size) {
    std::FILE* f = std::fopen(Path.c_str(), "wb");
    if (!f) std::abort();
    if (Size) std::fwrite(Data, 1, Size, f);
    std::fclose(f);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string& dir = WorkDir();
    const std::string input = dir + "/input.dcf";
    WriteBytes(input, Data, Size);

    QuietPrompts ask;
    QuietSink sink;
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
    TProjectFile file(project, config, library, ask, sink);
    if (file.LoadFrom(input) != TProjectFile::TLoadResult::Loaded) return 0;
    const std::string output = dir + "/output.dcf";
    std::remove(output.c_str());
    if (!file.SaveTo(output)) std::abort();
    TProject again;
    TProjectFile file2(again, config, library, ask, sink);
    if (file2.LoadFrom(output) != TProjectFile::TLoadResult::Loaded) std::abort();
    for (int t = 0; t < TProject::TableCount; ++t)
        for (int n = 0; n < TProject::CodeCount; ++n)
            if (again.CodeTables[t][n] != TProject::LabelToSave(project.CodeTables[t][n]))
                std::abort();
    return 0;
}
