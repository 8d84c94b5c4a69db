#include "rom/tromrebuildcheck.h"

#include "project/tconfiguration.h"
#include "project/tglyphsource.h"
#include "project/tliftstatedefaults.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "rom/glyphlibrary.h"
#include "rom/tmakerom.h"
#include "rom/tromimagediff.h"
#include "rom/tromrecovery.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"
#include "util/qstringconv.h"
#include "util/scratchfolder.h"
#include "util/silentprompts.h"

#include <QTemporaryDir>

namespace DpuRom {

using DpuProject::TConfiguration;
using DpuProject::TLiftStateDefaults;
using DpuProject::TProject;
using DpuProject::TProjectFile;

namespace {

// The library the image was read with, whatever the project file's load
// would reload: the rebuild must use the same pictures.
class TFixedLibrary : public DpuProject::TGlyphSource {
public:
    explicit TFixedLibrary(const GlyphLibrary& Library) : Library(Library) {}
    bool Load(const std::string&) override { return Library.IsLoaded(); }
    std::string LoadError() const override { return Library.LoadError(); }
    std::string LoadFailureText() const override { return Library.LoadFailureText(); }
    void Release() override {}
    bool IsLoaded() const override { return Library.IsLoaded(); }
    const std::string& Date() const override { return Library.Date(); }
    bool ExtractImage(int Group, int Index, YVclUtil::TRasterImage& Out) override {
        return const_cast<GlyphLibrary&>(Library).ExtractImage(Group, Index, Out);
    }
    bool HasEntry(int Group, int Index) const override { return Library.HasEntry(Group, Index); }

private:
    const GlyphLibrary& Library;
};

// The scratch files of a check are many and live for milliseconds: in a
// memory-backed folder where the system has one (util/scratchfolder.h).
QString ScratchTemplate() {
    return YVclUtil::ToQString(YVclUtil::ScratchFolderTemplate("check"));
}

std::string Trimmed(std::string Text) {
    while (!Text.empty() && Text.back() == '\n')
        Text.pop_back();
    return Text;
}

bool StartsWith(const std::string& Text, const std::string& Prefix) {
    return Text.rfind(Prefix, 0) == 0;
}

} // namespace

TRomRebuildCheck::TRomRebuildCheck(const GlyphLibrary& Library, const TRomImageReader& Reader)
    : Library(Library), Reader(Reader) {}

std::string TRomRebuildCheck::Why(const std::string& Text, const std::string& Slug,
                                  const TRomImage& Image, int Cfi) {
    const int style = Image.Settings.DEF_FL;
    if (StartsWith(Slug, "CTBL")) {
        const int t = Slug[4] - '0';
        const int n = std::atoi(Slug.c_str() + 6);
        if (t < 0 || t >= TRomImage::TableCount || n < 0 || n >= TRomImage::CodeCount)
            return "its label does not give these bytes back";
        const TRomCode& c = Image.Codes[static_cast<size_t>(t)][static_cast<size_t>(n)];
        if (c.Kind == TRomCode::TKind::UserBitmap)
            return YVclUtil::Format("the build does not give user bitmap %d back for it (its "
                                    "file is not where the build looks, or packs differently)",
                                    c.UserBitmap);
        bool lower = false, control = false;
        for (unsigned char ch : c.Label) {
            lower = lower || (ch >= 'a' && ch <= 'z');
            control = control || ch <= 0x20 || ch >= 0x7F;
        }
        if (control)
            return "its label holds a space, a control byte or a byte above 0x7E, which a "
                   "project label cannot carry as it stands (the build trims labels)";
        if (lower) return "its label is in lower case, and the build upper-cases labels";
        return "its label does not give these bytes back";
    }
    if (StartsWith(Slug, "glyph-"))
        return YVclUtil::Format(
            "a project takes floor glyphs from the glyph library (FL Style %d) and only for "
            "the characters its labels use, \"-\", \"S\" and the digits",
            style);
    if (StartsWith(Slug, "direction-")) {
        const int s = std::atoi(Slug.c_str() + 10);
        const int f = std::atoi(Slug.c_str() + 12);
        return YVclUtil::Format("a project takes direction frames from the glyph library "
                                "(entry 0/%d), whose frame differs",
                                50 + 20 * s + f);
    }
    if (StartsWith(Slug, "small-glyph-"))
        return "a project takes small glyphs from the glyph library (group 7), whose glyph "
               "differs";
    if (Slug == "screen")
        return "a project takes the screen picture from the glyph library (entry 0/40), whose "
               "picture differs";
    if (StartsWith(Slug, "message-"))
        return "the picture written for it does not pack back to the same bytes (the image "
               "keeps no picture sizes)";
    if (Slug == "logo")
        return "the logo written from the logo zone does not pack back to the same bytes";
    if (StartsWith(Text, "character block"))
        return YVclUtil::Format("a project takes the character block from the glyph library "
                                "(entry 0/%d), with ENCODE on or off",
                                Cfi);
    if (StartsWith(Text, "auxiliary block"))
        return "a project gives the filler walk (ENCODE 1) or the glyph library's block "
               "(ENCODE 0) there";
    if (StartsWith(Text, "SWAPTIME"))
        return "the project file keeps the logo time only while the logo is on";
    if (StartsWith(Text, "DEF_MSG"))
        return "saving makes the message mask one the four columns can show";
    if (StartsWith(Text, "CUSIDCODE"))
        return "the build trims the ID code, and the record keeps only what comes before a "
               "zero byte";
    if (StartsWith(Text, "ENCODE") || StartsWith(Text, "DISPHV"))
        return "no version of the configuration gives this value";
    if (StartsWith(Text, "DEF_FL"))
        return "the floor glyphs are not those of a floor style of the glyph library";
    if (Text.find("where no item lies") != std::string::npos)
        return "the build always writes those bytes the same way";
    if (Slug.empty()) return "the project file cannot carry this value";
    return "the build does not give this picture back";
}

bool TRomRebuildCheck::RunOnScratch(const TConfiguration& Config, const TRomImage& Image,
                                    const std::vector<uint8_t>& Raw) {
    Warnings.clear();
    QTemporaryDir scratch(ScratchTemplate());
    if (!scratch.isValid()) {
        Warnings.push_back("[Warning] The image cannot be recovered to check it: no scratch "
                           "folder (" +
                           scratch.errorString().toStdString() + ")");
        return false;
    }
    TConfiguration config = Config;
    TRomRecovery recovery(Image, config);
    recovery.Durable = false;
    recovery.BitmapDir = scratch.path().toStdString();
    recovery.UserRoot = scratch.path().toStdString() + "/";
    recovery.RomFileName = "IMAGE.BIN";
    const std::string project = scratch.filePath("IMAGE.dcf").toStdString();
    // Saved as recover saves it, straight into the scratch folder.
    TProject recovered;
    // The check asks nothing and shows nothing; the build's log lines are kept.
    YVclUtil::SilentPrompts silent(true);
    TFixedLibrary library(Library);
    TProjectFile file(recovered, config, library, silent, silent);
    if (!recovery.Recover(recovered) || !file.SaveTo(project)) {
        Warnings.push_back("[Warning] The image cannot be recovered to check it: " +
                           (recovery.LastErrMsg.empty() ? file.LastError : recovery.LastErrMsg));
        return false;
    }
    const std::vector<std::string> own = recovery.Warnings;
    const bool same = Run(project, config, recovery.UserRoot, Image, Raw);
    Warnings.insert(Warnings.begin(), own.begin(), own.end());
    return same && own.empty();
}

bool TRomRebuildCheck::Run(const std::string& ProjectPath, const TConfiguration& Config,
                           const std::string& UserRoot, const TRomImage& Image,
                           const std::vector<uint8_t>& Raw) {
    Warnings.clear();
    Rebuilt.clear();
    if (!Library.IsLoaded()) {
        Warnings.push_back("[Warning] Without the glyph library the recovered project cannot be "
                           "built again to check it");
        return false;
    }
    // Loaded as make-rom loads it, user bitmaps found where they were written.
    TConfiguration config = Config;
    TProject project;
    TLiftStateDefaults::FillDefaults(project, Config.ProgramDir);
    YVclUtil::SilentPrompts silent(true);
    TFixedLibrary library(Library);
    TProjectFile file(project, config, library, silent, silent);
    if (file.LoadFrom(ProjectPath) != TProjectFile::TLoadResult::Loaded) {
        const std::string box =
            silent.Boxes.empty() ? std::string() : silent.LastCaption() + ": " + silent.LastText();
        Warnings.push_back("[Warning] The recovered project does not load again: " +
                           (file.LastError.empty() ? Trimmed(box) : file.LastError));
        return false;
    }

    // The configuration file was read again from the start-up folder when the
    // project's version was applied; the build looks for user bitmaps as
    // make-rom run in UserRoot does: there first, then in the installation's
    // folder, whose stock bitmaps recovery does not copy.
    if (!UserRoot.empty()) config.StartupDir = UserRoot.substr(0, UserRoot.size() - 1);
    TMakeRom make(project, config, Library, silent, &silent);
    make.InMemoryOnly = true;
    if (!make.Run()) {
        std::string why = Trimmed(make.LastErrCaption + ": " + make.LastErrMsg);
        for (const std::string& line : silent.Log)
            if (StartsWith(line, "[Error]")) why += " (" + line + ")";
        Warnings.push_back("[Warning] The recovered project does not build: " + why);
        return false;
    }
    Rebuilt = make.Builder().Image;
    if (Rebuilt == Raw) return true;

    TRomImage again;
    if (!Reader.Read(Rebuilt.data(), Rebuilt.size(), again)) {
        Warnings.push_back("[Warning] The recovered project builds an image the reader refuses: " +
                           Reader.LastErrMsg);
        return false;
    }
    for (const auto& d : TRomImageDiff::Compare(Image, again, Raw, Rebuilt))
        Warnings.push_back("[Warning] The recovered project does not rebuild " + d.Text + ": " +
                           Why(d.Text, d.Slug, Image, Config.CFI));
    return false;
}

} // namespace DpuRom
