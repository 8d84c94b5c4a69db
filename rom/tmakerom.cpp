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

#include <QImage>

#include <new>

namespace DpuRom {

namespace DpuText = DpuProject::DpuText;

using DpuProject::TConfiguration;
using DpuProject::TProject;

// The project record and the image describe the same tables and messages.
static_assert(TProject::TableCount == TRomBuilder::TableCount &&
              TProject::CodeCount == TRomBuilder::CodeCount);
static_assert(TProject::StateCount * TProject::SlotCount == TRomBuilder::MessageCount);

namespace {

// Slot order of the message list: B, A, D, C.
constexpr int MessageSlotOrder[4] = {1, 0, 3, 2};

} // namespace

TMakeRom::TMakeRom(TProject& Project, const TConfiguration& Config, const GlyphLibrary& Library,
                   YVclUtil::Prompts& Prompts, YVclUtil::MessageSink* Log)
    : Project(Project), Config(Config), Ask(Prompts),
      Glyphs(std::make_unique<TGlyphLibraryEntries>(Library, Config.GlbName)),
      RomBuilder(std::make_unique<TRomBuilder>(WorkFiles, *Glyphs, Log)), Log(Log) {}

TMakeRom::~TMakeRom() = default;

std::string TMakeRom::MessageName(int State, int Slot) {
    for (int g = 0; g < 4; ++g)
        if (MessageSlotOrder[g] == Slot) return "M_" + std::to_string(160 + 10 * g + State);
    return {};
}

void TMakeRom::LogWarning(const std::string& Line) {
    ++PreparedWarnings;
    if (Log) Log->AppendLog(Line);
}

void TMakeRom::Stop(const std::string& Caption, const std::string& Text) {
    LastErrCaption = Caption;
    LastErrMsg = Text;
    WorkFiles.Clear();
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

std::vector<uint8_t> TMakeRom::ConvertEntry(int Group, int Index, bool& Present) {
    Present = false;
    const std::span<const uint8_t> entry = RomBuilder->LibraryEntry(Group, Index, false);
    if (entry.empty()) return {};
    Present = true;
    const std::string name = YVclUtil::Format("glyph library entry %d/%d", Group, Index);
    return ConvertPictureData(entry.data(), entry.size(), Config.DISPHV, name, name);
}

void TMakeRom::PrepareLabels() {
    for (int n = 0; n < TProject::CodeCount; ++n) {
        Project.UsedCharFlags[static_cast<size_t>(n)] = 0;
        RomBuilder->UserBitmapList[static_cast<size_t>(n)].clear();
        for (int t = 0; t < TProject::TableCount; ++t)
            RomBuilder->Labels[static_cast<size_t>(t)][static_cast<size_t>(n)] =
                TProject::LabelToSave(
                    Project.CodeTables[static_cast<size_t>(t)][static_cast<size_t>(n)]);
    }
}

void TMakeRom::ConvertDirectionFrames() {
    for (auto& names : RomBuilder->DirFrameNames)
        names.fill({});
    for (int f = 0; f < TRomBuilder::DirFrameCount; ++f)
        for (int s = 0; s < TRomBuilder::DirStyleCount; ++s) {
            bool present = false;
            std::vector<uint8_t> packed = ConvertEntry(0, 50 + 20 * s + f, present);
            if (!present) continue;
            const std::string name = "DIR" + std::to_string(s) + "_" + std::to_string(f);
            WorkFiles.Put(name, std::move(packed));
            RomBuilder->DirFrameNames[static_cast<size_t>(s)][static_cast<size_t>(f)] = name;
        }
}

void TMakeRom::ConvertMessages() {
    auto& list = RomBuilder->MessageList;
    list.fill({});
    size_t count = 0;
    int number = 160;
    for (int slot : MessageSlotOrder)
        for (int state = 0; state < TProject::StateCount; ++state, ++number) {
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
            const std::string name = "M_" + std::to_string(number);
            WorkFiles.Put(name, ConvertPictureFile(path, Config.DISPHV));
            list[count++] = name;
        }
}

void TMakeRom::FlagUsedCharacters() {
    // The characters the label rule draws; a leading '0' of "05" is among
    // the digits flagged below anyway.
    for (const auto& table : RomBuilder->Labels)
        for (const std::string& label : table)
            for (unsigned char c : DpuProject::TLabelRule::GlyphBytes(label))
                Project.UsedCharFlags[c] = 1;
    // The display draws the minus sign, S and the digits on its own.
    Project.UsedCharFlags['-'] = 1;
    Project.UsedCharFlags['S'] = 1;
    for (int c = '0'; c <= '9'; ++c)
        Project.UsedCharFlags[static_cast<size_t>(c)] = 1;
}

void TMakeRom::ConvertFloorGlyphs() {
    for (auto& names : RomBuilder->FloorGlyphNames)
        names.fill({});
    for (int c = 0; c < TRomBuilder::GlyphCodeCount; ++c) {
        if (!Project.UsedCharFlags[static_cast<size_t>(c)]) continue;
        for (int k = 0; k < TRomBuilder::FloorStyleCount; ++k) {
            bool present = false;
            std::vector<uint8_t> packed = ConvertEntry(1 + k, c, present);
            if (!present) continue;
            const std::string name = "FL" + std::to_string(k) + "_" + std::to_string(c);
            WorkFiles.Put(name, std::move(packed));
            RomBuilder->FloorGlyphNames[static_cast<size_t>(k)][static_cast<size_t>(c)] = name;
        }
    }
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
    WorkFiles.Clear();
    try {
        PrepareLabels();
        ConvertDirectionFrames();
        ConvertMessages();
        FlagUsedCharacters();
        ConvertFloorGlyphs();
    } catch (const ERomBuild& e) {
        Stop(e.Caption, e.Message);
        return false;
    } catch (const std::bad_alloc&) {
        Stop("Error", "Out of memory while converting the pictures");
        return false;
    }

    TRomBuilder& b = *RomBuilder;
    b.Settings = CollectSettings();
    b.ProgramDir = Config.ProgramDir;
    b.StartupDir = Config.StartupDir;
    b.OutputFile = OutputFile;
    b.Strict = Strict;
    b.EarlierWarnings = EarlierWarnings + PreparedWarnings;
    b.ReadFiles = {{"project file", ProjectPath},
                   {"configuration file", Config.IniPath()},
                   {"glyph library", Config.GlbPath()}};
    if (!DpuText::Trim(Config.UbfGlbName).empty())
        b.ReadFiles.emplace_back("user glyph library", Config.UbfGlbPath());
    for (int state = 0; state < TProject::StateCount; ++state)
        for (int slot = 0; slot < TProject::SlotCount; ++slot)
            b.ReadFiles.emplace_back(
                YVclUtil::Format("lift state %d slot %c picture", state, "ABCD"[slot]),
                Project.LiftStateSlots[static_cast<size_t>(state)][static_cast<size_t>(slot)]);
    b.InMemoryOnly = InMemoryOnly;
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
