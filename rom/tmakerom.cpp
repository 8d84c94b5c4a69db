#include "rom/tmakerom.h"

#include "project/dputext.h"
#include "project/tconfiguration.h"
#include "project/tlabelrule.h"
#include "project/tproject.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"
#include "rom/glyphlibrary.h"
#include "rom/tglyphlibraryentries.h"
#include "util/eygeneral.h"
#include "util/prompts.h"
#include "util/fileaccess.h"

#include <new>

namespace DpuRom {

namespace DpuText = DpuProject::DpuText;

using DpuProject::TConfiguration;
using DpuProject::TLabelRule;
using DpuProject::TProject;

// The project record and the image describe the same tables and messages.
static_assert(TProject::TableCount == TRomBuilder::TableCount &&
              TProject::CodeCount == TRomBuilder::CodeCount);
static_assert(TProject::StateCount == RomLayout::MessageStateCount &&
              TProject::SlotCount == RomLayout::MessageSlotCount);

TMakeRom::TMakeRom(TProject& Project, const TConfiguration& Config, const GlyphLibrary& Library,
                   YVclUtil::Prompts& Prompts, YVclUtil::MessageSink* Log)
    : Project(Project), Config(Config), Ask(Prompts),
      Glyphs(std::make_unique<TGlyphLibraryEntries>(Library, Config.GlbName)),
      RomBuilder(std::make_unique<TRomBuilder>(TRomBuildInputs{}, *Glyphs, Log)), Log(Log) {}

TMakeRom::~TMakeRom() = default;

void TMakeRom::LogWarning(const std::string& Line) {
    ++PreparedWarnings;
    if (Log) Log->AppendLog(Line);
}

void TMakeRom::Stop(const std::string& Caption, const std::string& Text) {
    LastErrCaption = Caption;
    LastErrMsg = Text;
    Ask.SetBusyCursor(false);
    Ask.MessageBox(Caption, Text);
}

TRomSettings TMakeRom::CollectSettings() const {
    TRomSettings s;
    // Every integer setting at once: the record and the project hold the same values.
    static_cast<DpuProject::TSettingValues&>(s) = Project;
    s.CusIdCode = Project.CUSIDCODE;
    // The logo zone is filled only while the logo is on: a path picked while
    // it is off is never shown by the display, and a picture that cannot be
    // read must not stop the build for it. Reloading such a project drops
    // the path anyway.
    s.TitleFileName = Project.CUSLOGOENABLE != 0 ? Project.TITLEFILENAME_C : std::string();
    s.RomFileName = Project.ROMFILENAME;
    s.Cfi = Config.CFI;
    s.Ifi = Config.IFI;
    s.DispHv = Config.DISPHV;
    s.Encode = Config.ENCODE;
    return s;
}

void TMakeRom::PrepareLabels(TRomBuildInputs& In) {
    for (int n = 0; n < TProject::CodeCount; ++n) {
        Project.UsedCharFlags[static_cast<size_t>(n)] = 0;
        for (int t = 0; t < TProject::TableCount; ++t)
            In.Labels[static_cast<size_t>(t)][static_cast<size_t>(n)] = TLabelRule::BuiltText(
                Project.CodeTables[static_cast<size_t>(t)][static_cast<size_t>(n)]);
    }
}

void TMakeRom::ConvertMessages(const TRomPictureConverter& Converter, TRomPictures& Out) {
    // In list order, so the skipped-slot lines come in the order of the list.
    for (int slot : RomLayout::MessageSlotOrder)
        for (int state = 0; state < TProject::StateCount; ++state) {
            const std::string& path =
                Project.LiftStateSlots[static_cast<size_t>(state)][static_cast<size_t>(slot)];
            if (DpuText::Trim(path).empty()) continue; // no picture asked for
            YVclUtil::TFileStatus status;
            std::string reason;
            if (!YVclUtil::QueryFileStatus(path, status, reason) ||
                status.Kind != YVclUtil::TFileKind::Regular) {
                // Skipped as always, but said: every later message moves up one place.
                const std::string why = !reason.empty() ? reason
                                        : status.Kind == YVclUtil::TFileKind::Missing
                                            ? std::string("not found")
                                            : std::string("not a regular file");
                LogWarning(YVclUtil::Format("[Warning] Lift state %d slot %c \"%s\" %s --> "
                                            "skipped !!!",
                                            state, "ABCD"[slot], path.c_str(), why.c_str()));
                continue;
            }
            Converter.ConvertMessage(state, slot, path, Out, &status);
        }
}

void TMakeRom::FlagUsedCharacters(const TRomBuildInputs& In) {
    // The characters the label rule draws; a leading '0' of "05" is among
    // the digits flagged below anyway.
    for (const auto& table : In.Labels)
        for (const std::string& label : table)
            for (unsigned char c : TLabelRule::GlyphBytes(label))
                Project.UsedCharFlags[c] = 1;
    // The display draws the minus sign, S and the digits on its own.
    Project.UsedCharFlags['-'] = 1;
    Project.UsedCharFlags['S'] = 1;
    for (int c = '0'; c <= '9'; ++c)
        Project.UsedCharFlags[static_cast<size_t>(c)] = 1;
}

void TMakeRom::ConvertFloorGlyphs(const TRomPictureConverter& Converter, int Style,
                                  TRomPictures& Out) {
    // Only the chosen style reaches the image; a style outside the range has no glyphs.
    if (Style < 0 || Style >= TRomBuilder::FloorStyleCount) return;
    for (int c = 0; c < TRomBuilder::GlyphCodeCount; ++c)
        if (Project.UsedCharFlags[static_cast<size_t>(c)])
            Converter.ConvertFloorGlyph(Style, c, Out);
}

bool TMakeRom::Run() {
    LastErrCaption.clear();
    LastErrMsg.clear();
    RomFilePath.clear();
    CancelledCells.clear();
    StrictStop = false;
    PreparedWarnings = 0;

    if (!Project.AnyLabel()) {
        Stop("Warning", "All CTBL is empty!!\n\n");
        return false;
    }
    if (SaveStep) {
        if (!SaveStep()) {
            Stop("Make ROM abort", "User abort!!\n");
            return false;
        }
    } else {
        // What a save would have done to the record before the build.
        Project.DEF_MSG = TProject::NormaliseMsgMask(Project.MsgMaskFromBoxes());
        Project.ROMFILENAME = TProject::RomFileNameToSave(Project.ROMFILENAME);
    }
    Ask.SetBusyCursor(true);
    TRomBuildInputs in;
    in.Settings = CollectSettings();
    const TRomPictureConverter converter(*Glyphs, Config.DISPHV,
                                         [this](const std::string& Line) { LogWarning(Line); });
    try {
        PrepareLabels(in);
        converter.ConvertDirectionFrames(in.Pictures);
        ConvertMessages(converter, in.Pictures);
        FlagUsedCharacters(in);
        ConvertFloorGlyphs(converter, in.Settings.DEF_FL, in.Pictures);
    } catch (const ERomBuild& e) {
        Stop(e.Caption, e.Message);
        return false;
    } catch (const std::bad_alloc&) {
        Stop("Error", "Out of memory while converting the pictures");
        return false;
    }

    in.ProgramDir = Config.ProgramDir;
    in.StartupDir = Config.StartupDir;
    in.OutputFile = OutputFile;
    in.Strict = Strict;
    in.EarlierWarnings = EarlierWarnings + PreparedWarnings;
    in.ReadFiles = {{"project file", ProjectPath},
                    {"configuration file", Config.IniPath()},
                    {"glyph library", Config.GlbPath()}};
    if (!DpuText::Trim(Config.UbfGlbName).empty())
        in.ReadFiles.emplace_back("user glyph library", Config.UbfGlbPath());
    for (int state = 0; state < TProject::StateCount; ++state)
        for (int slot = 0; slot < TProject::SlotCount; ++slot)
            in.ReadFiles.emplace_back(
                "lift state " + std::to_string(state) + " slot " + "ABCD"[slot] + " picture",
                Project.LiftStateSlots[static_cast<size_t>(state)][static_cast<size_t>(slot)]);
    in.InMemoryOnly = InMemoryOnly;
    RomBuilder = std::make_unique<TRomBuilder>(std::move(in), *Glyphs, Log);
    TRomBuilder& b = *RomBuilder;
    const bool built = b.BuildRomImage();
    CancelledCells = b.CancelledCells;
    for (const auto& [t, n] : CancelledCells)
        Project.SetLabel(t, n, std::string());
    StrictStop = b.StrictStop;
    if (!built) {
        Stop(b.LastErrCaption, b.LastErrMsg);
        return false;
    }
    RomFilePath = b.RomFilePath;
    Ask.SetBusyCursor(false);
    Ask.MessageBox("Status", "DPU-510TK3 Make ROM OK\n\n");
    return true;
}

} // namespace DpuRom
