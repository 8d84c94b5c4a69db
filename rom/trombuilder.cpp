#include "rom/trombuilder.h"

#include "project/dputext.h"
#include "project/tglyphsource.h"
#include "project/tlabelrule.h"
#include "project/tproject.h"
#include "project/tsettingstable.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"
#include "rom/glyphentrysource.h"
#include "rom/romlayout.h"
#include "util/crc8.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"
#include "util/prompts.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <new>

namespace DpuRom {

using DpuProject::TLabelRule;
using DpuProject::TProject;
using DpuProject::TSettingsTable;
namespace DpuText = DpuProject::DpuText;

using namespace RomLayout;
using YVclUtil::Crc8Table;

namespace {

// The filler walk over Crc8Table: entry 0 at the first byte, one entry per byte,
// starting again at entry 0 after entry 255.
void Fill(uint8_t* Data, size_t Size) {
    for (size_t at = 0; at < Size; at += 256)
        std::memcpy(Data + at, Crc8Table, std::min<size_t>(256, Size - at));
}

std::string ItemName(const char* Prefix, int A, int B) {
    return Prefix + std::to_string(A) + "_" + std::to_string(B);
}

// The floor glyphs this build placed, as the label rule asks for them: the
// image's glyphs decide what a label shows, whatever else the library holds.
class TPlacedGlyphs final : public DpuProject::TGlyphSource {
public:
    TPlacedGlyphs(const std::array<bool, TRomBuilder::GlyphCodeCount>& Placed, int Style)
        : Placed(Placed), Style(Style) {}
    bool Load(const std::string&) override { return false; }
    std::string LoadError() const override { return {}; }
    std::string LoadFailureText() const override { return {}; }
    void Release() override {}
    bool IsLoaded() const override { return true; }
    const std::string& Date() const override { return NoDate; }
    bool ExtractImage(int, int, YVclUtil::TRasterImage&) override { return false; }
    bool HasEntry(int Group, int Index) const override {
        return Group == Style + 1 && Index >= 0 && Index < TRomBuilder::GlyphCodeCount &&
               Placed[static_cast<size_t>(Index)];
    }

private:
    const std::array<bool, TRomBuilder::GlyphCodeCount>& Placed;
    const int Style;
    const std::string NoDate = "000000";
};

} // namespace

TRomBuilder::TRomBuilder(TRomBuildInputs Inputs, const TGlyphEntrySource& Glyphs,
                         YVclUtil::MessageSink* Log)
    : Inputs(std::move(Inputs)), Labels(this->Inputs.Labels), Pictures(this->Inputs.Pictures),
      Settings(this->Inputs.Settings), Glyphs(Glyphs),
      Converter(Glyphs, this->Inputs.Settings.DispHv,
                [this](const std::string& Line) { AppendLog(Line); }),
      Log(Log) {}

int TRomBuilder::FindUserBitmap(const std::string& Path) const {
    const std::vector<std::string>& paths = Pictures.UserBitmapPaths;
    for (size_t i = 0; i < paths.size(); ++i)
        if (paths[i] == Path) return static_cast<int>(i);
    return -1;
}

std::string TRomBuilder::RomFileNameFor(const std::string& Field) {
    return TProject::RomFileNameToSave(Field);
}

std::string TRomBuilder::UserBitmapPath(const std::string& ProgramDir, int Style,
                                        const std::string& Label) {
    return ProgramDir + "DefaultImage2/UserDefine/Floor/Style" + std::to_string(Style) + "/" +
           Label + ".bmp";
}

void TRomBuilder::AppendLog(const std::string& Line) {
    if (Line.rfind("[Warning]", 0) == 0 || Line.rfind("[Error]", 0) == 0) ++WarningCount;
    if (Log) Log->AppendLog(Line);
}

void TRomBuilder::LogCut(const char* Zone, const std::string& Item, size_t Kept, size_t Length) {
    AppendLog(YVclUtil::Format("[Error] %s zone full!! -- %s cut at %zu of %zu bytes", Zone,
                               Item.c_str(), Kept, Length));
}

size_t TRomBuilder::Place(const std::vector<uint8_t>& Packed, size_t Pos, size_t ZoneEnd,
                          size_t& Kept) {
    const size_t length = Packed.size() > 4 ? Packed.size() - 4 : 0;
    Kept = Pos < ZoneEnd ? std::min(length, ZoneEnd - Pos) : 0;
    if (Kept) std::memcpy(Image.data() + Pos, Packed.data() + 4, Kept);
    return length;
}

void TRomBuilder::PutAddress(size_t At, size_t Address) {
    Image[At] = static_cast<uint8_t>((Address >> 8) & 0xFF);
    Image[At + 1] = static_cast<uint8_t>(Address & 0xFF);
}

void TRomBuilder::PlaceFloorGlyphs(size_t& Pos) {
    const int style = Settings.DEF_FL;
    const bool styleKnown = style >= 0 && style < FloorStyleCount;
    Pos = FloorZone;
    GlyphPlaced.fill(false);
    int placed = 0;
    for (int c = 0; c < GlyphCodeCount; ++c) {
        const size_t entry = GlyphTable + 2 * static_cast<size_t>(c);
        const std::vector<uint8_t>* packed =
            styleKnown ? &Pictures.FloorGlyphs[static_cast<size_t>(style)][static_cast<size_t>(c)]
                       : nullptr;
        if (!packed || packed->empty()) {
            PutAddress(entry, 0);
            continue;
        }
        size_t kept = 0;
        PutAddress(entry, Pos);
        GlyphPlaced[static_cast<size_t>(c)] = true;
        ++placed;
        // A glyph reaching past the zone is cut here; the position still moves
        // on by its full length, so the overflow test below stops the build.
        Pos += Place(*packed, Pos, FloorZone + FloorZoneSize, kept);
    }
    if (Pos - FloorZone > FloorGlyphLimit)
        AppendLog("[Error] Floor BMP zone full!! -- [ " + std::to_string(Pos - FloorZone) + " ]");
    // The display draws "-", "S" and the digits from these glyphs whatever the labels say.
    if (placed == 0)
        AppendLog(YVclUtil::Format(
            "[Warning] FL Style %d has no glyphs in %s -- the image holds no floor glyph !!!",
            style, Glyphs.LibraryName().c_str()));
}

void TRomBuilder::PlaceCodeTables(size_t& Pos) {
    const TPlacedGlyphs placed(GlyphPlaced, Settings.DEF_FL);
    const std::vector<std::string> folders =
        TLabelRule::UserBitmapFolders(Inputs.StartupDir, Inputs.ProgramDir, Settings.DEF_FL);
    int count = 0;
    // The three tables repeat most labels; each is decided (and its user
    // bitmap looked for on disk and numbered) once a build.
    struct TDecided {
        TLabelRule::TResult Label;
        int Number = -1;
    };
    std::unordered_map<std::string, TDecided> decided;
    for (int t = 0; t < TableCount; ++t) {
        for (int n = 0; n < CodeCount; ++n) {
            const size_t first = CodeTableFirst(t) + static_cast<size_t>(n);
            const size_t second = CodeTableSecond(t) + static_cast<size_t>(n);
            Image[first] = Image[second] = 0;
            const std::string& text = Labels[static_cast<size_t>(t)][static_cast<size_t>(n)];
            if (text.empty()) continue;
            auto known = decided.find(text);
            if (known == decided.end())
                known = decided
                            .emplace(text, TDecided{TLabelRule::DecideBuilt(text, Settings.DEF_FL,
                                                                            placed, folders)})
                            .first;
            const TLabelRule::TResult& label = known->second.Label;
            switch (label.Kind) {
            case TLabelRule::TKind::Empty:
                continue;
            case TLabelRule::TKind::Glyphs:
                Image[first] = label.First;
                Image[second] = label.Second;
                WarnMissingGlyphs(t, n, label);
                continue;
            case TLabelRule::TKind::Cancelled:
                LogCancelled(t, n, label);
                CancelledCells.emplace_back(t, n);
                continue;
            case TLabelRule::TKind::UserBitmap:
                break;
            }
            int& number = known->second.Number;
            if (number < 0) number = FindUserBitmap(label.BitmapPath);
            if (number < 0) {
                // The table and the one-byte number hold 128 user bitmaps.
                if (count >= static_cast<int>(UserBitmapMax))
                    throw ERomBuild("Element overflow", "UBF element overflow!!\n\n");
                number = Converter.AddUserBitmap(label.BitmapPath, Pictures, &label.BitmapStatus);
                size_t kept = 0;
                PutAddress(UserBitmapTable + 2 * static_cast<size_t>(number), Pos);
                Pos += Place(Pictures.UserBitmaps[static_cast<size_t>(number)], Pos,
                             FloorZone + FloorZoneSize, kept);
                ++count;
            }
            Image[first] = 0xFE;
            Image[second] = static_cast<uint8_t>(number);
        }
    }
}

void TRomBuilder::WarnMissingGlyphs(int Table, int Code, const TLabelRule::TResult& Label) {
    for (const std::string& name : Label.MissingGlyphs) {
        // "Q" (code 81) for ASCII, "é" as typed, "code 200" for a byte that
        // stands for no character.
        std::string shown = name;
        if (name.size() == 1)
            shown = YVclUtil::Format("\"%s\" (code %u)", name.c_str(),
                                     static_cast<unsigned char>(name[0]));
        else if (name.rfind("code ", 0) != 0)
            shown = "\"" + name + "\"";
        AppendLog("[Warning] CTBL" + std::to_string(Table) + "-" + DpuText::CodeText(Code) + " \"" +
                  Label.Text + "\": no glyph for " + shown + " in FL Style " +
                  std::to_string(Settings.DEF_FL) + " !!!");
    }
}

void TRomBuilder::LogCancelled(int Table, int Code, const TLabelRule::TResult& Label) {
    const std::string cell =
        "[Warning] CTBL" + std::to_string(Table) + "-" + DpuText::CodeText(Code);
    if (Label.NotAFileName) {
        AppendLog(cell + " \"" + TLabelRule::Printable(Label.Text) +
                  "\" is not a user bitmap name --> auto cancel !!!");
        return;
    }
    AppendLog(cell + " not found --> auto cancel !!!");
    // Where it looked, so the person knows where to put the bitmap.
    std::string where;
    for (size_t i = 0; i < Label.Folders.size(); ++i)
        where += (i == 0 ? " in \"" : ", then \"") + Label.Folders[i] + "\"";
    AppendLog("    " + Label.BitmapName + " looked for" + where);
}

void TRomBuilder::PlaceDirectionFrames() {
    size_t pos = DirZone;
    const size_t end = DirZone + DirZoneSize;
    for (int s = 0; s < DirStyleCount; ++s) {
        for (int f = 0; f < DirFrameCount; ++f) {
            const std::vector<uint8_t>& packed =
                Pictures.DirFrames[static_cast<size_t>(s)][static_cast<size_t>(f)];
            if (packed.empty()) continue;
            size_t kept = 0;
            const size_t length = Place(packed, pos, end, kept);
            if (kept < length) LogCut("DIR", ItemName("DIR", s, f), kept, length);
            if (kept > 0)
                PutAddress(DirTables + 24 * static_cast<size_t>(s) + 2 * static_cast<size_t>(f),
                           pos);
            pos += kept;
        }
    }
}

void TRomBuilder::PlaceMessages() {
    size_t pos = MessageZone;
    const size_t end = MessageZone + MessageZoneSize;
    // The list closes up over empty slots; an item keeps the name of its
    // slot ("M_" 160 + 10 * list group + state) in the log.
    size_t i = 0;
    for (size_t g = 0; g < MessageSlotCount; ++g)
        for (size_t state = 0; state < MessageStateCount; ++state) {
            const std::vector<uint8_t>& packed =
                Pictures.Messages[state][static_cast<size_t>(MessageSlotOrder[g])];
            if (packed.empty()) continue;
            size_t kept = 0;
            const size_t length = Place(packed, pos, end, kept);
            if (kept < length)
                LogCut("Message", "M_" + std::to_string(160 + 10 * g + state), kept, length);
            if (kept > 0) PutAddress(MessageTable + 2 * i, pos);
            pos += kept;
            ++i;
        }
}

static_assert(TSettingsTable::RecordSize == RomLayout::SettingsRecordSize);

void TRomBuilder::PlaceSettings() {
    uint8_t* r = Image.data() + SettingsRecord;
    const TRomSettings& s = Settings;
    for (const int unused : TSettingsTable::UnusedRecordBytes())
        r[unused] = 0;
    // A value outside its byte is cut to the low byte, as the display's list
    // positions always were, with a warning line. One that fits its byte but
    // lies outside what the editor offers (a hand-edited project) is stored
    // as it is, also with a line: the display was never made for it.
    for (const TSettingsTable::TField* f : TSettingsTable::RecordFields()) {
        const int value = s.*(f->Member);
        bool fits = true;
        const uint8_t byte = TSettingsTable::RecordValue(*f, value, fits);
        if (!fits)
            AppendLog(YVclUtil::Format(
                "[Warning] %s=%d does not fit its byte of the settings record -- stored as "
                "0x%02X !!!",
                f->Key, value, byte));
        else if (!TSettingsTable::InRange(*f, value))
            AppendLog(YVclUtil::Format(
                "[Warning] %s=%d is outside the editor's range %d..%d -- stored as 0x%02X !!!",
                f->Key, value, f->Min, f->Max, byte));
        r[f->RecordByte] = byte;
    }
    const std::string id = DpuText::Trim(s.CusIdCode);
    for (size_t i = 0; i < TSettingsTable::IdCodeLength; ++i)
        r[TSettingsTable::IdCodeByte + i] = i < id.size() ? static_cast<uint8_t>(id[i]) : 0;
}

void TRomBuilder::PlaceLibraryBlocks() {
    Fill(Image.data() + CharBlock, CharBlockSize);
    const std::span<const uint8_t> chars = Converter.LibraryEntry(0, Settings.Cfi, true);
    std::memcpy(Image.data() + CharBlock, chars.data(), std::min(chars.size(), CharBlockSize));

    Fill(Image.data() + AuxBlock, AuxBlockSize);
    if (Settings.Encode == 0) {
        const std::span<const uint8_t> aux = Converter.LibraryEntry(0, Settings.Ifi, true);
        std::memcpy(Image.data() + AuxBlock, aux.data(), std::min(aux.size(), AuxBlockSize));
    }
}

void TRomBuilder::PlaceScreenAndLogo() {
    Converter.ConvertScreen(Pictures);
    size_t kept = 0;
    size_t length = Place(Pictures.Screen, ScreenZone, ScreenZone + ScreenZoneSize, kept);
    if (kept < length) LogCut("Screen", "screen picture", kept, length);

    Pictures.Logo.clear();
    const std::string logo = DpuText::Trim(Settings.TitleFileName);
    if (logo.empty()) return;
    Converter.ConvertLogo(logo, Pictures);
    length = Place(Pictures.Logo, LogoZone, LogoZone + LogoZoneSize, kept);
    if (kept < length) LogCut("Logo", logo, kept, length);
}

void TRomBuilder::PlaceSmallGlyphs() {
    Converter.ConvertSmallGlyphs(Pictures);
    size_t pos = SmallGlyphZone;
    const size_t end = SmallGlyphZone + SmallGlyphZoneSize;
    for (size_t i = 0; i < SmallGlyphCount; ++i) {
        size_t kept = 0;
        const size_t length = Place(Pictures.SmallGlyphs[i], pos, end, kept);
        if (kept < length) LogCut("Small glyph", "small glyph " + std::to_string(i), kept, length);
        pos += kept;
    }
}

void TRomBuilder::AssembleImage() {
    Image.assign(ImageSize, 0);
    CancelledCells.clear();
    WarningCount = 0;
    Pictures.UserBitmaps.clear();
    Pictures.UserBitmapPaths.clear();

    Fill(Image.data() + FloorZone, FloorZoneSize);
    for (size_t table : {GlyphTable, UserBitmapTable, ReservedTable1, ReservedTable2})
        std::memcpy(Image.data() + table, Crc8Table, 256);

    size_t pos = FloorZone;
    PlaceFloorGlyphs(pos);
    PlaceCodeTables(pos);
    if (pos > FloorZone + FloorZoneSize - 1)
        throw ERomBuild("Element overflow", "FL element overflow!!\n\n");
    PlaceDirectionFrames();
    PlaceMessages();
    PlaceSettings();
    PlaceLibraryBlocks();
    PlaceScreenAndLogo();
    PlaceSmallGlyphs();

    if (Settings.Encode != 0)
        for (size_t i = 0; i < EncodedSize; ++i)
            Image[CharBlock + i] ^= Crc8Table[i];
    std::memcpy(Image.data() + CrcTable, Crc8Table, 256);
}

void TRomBuilder::RefuseOwnInput(const std::string& Target) const {
    YVclUtil::TFileStatus target;
    std::string reason;
    // A target that is not there yet cannot be any input; most builds stop here.
    if (!YVclUtil::QueryFileIdentity(Target, target, reason) ||
        target.Kind == YVclUtil::TFileKind::Missing)
        return;
    auto check = [&](const std::string& What, const std::string& Path) {
        YVclUtil::TFileStatus input;
        if (DpuText::Trim(Path).empty()) return;
        // A picture's status is known from its reading; the other inputs are
        // asked. An input of another size is another file; only one of the
        // image's size is asked for its identity where that is not known.
        const auto read = Pictures.FilesRead.find(Path);
        if (read != Pictures.FilesRead.end())
            input = read->second;
        else if (!YVclUtil::QueryFileStatus(Path, input, reason))
            return;
        if (input.Kind != target.Kind || input.Size != target.Size ||
            (input.Inode == 0 && !YVclUtil::QueryFileIdentity(Path, input, reason)))
            return;
        if (input.Device == target.Device && input.Inode == target.Inode)
            throw ERomBuild("File error", "Cannot write ROM file \"" + Target + "\": it is the " +
                                              What + " \"" + Path + "\" that the build reads");
    };
    for (const auto& [what, path] : Inputs.ReadFiles)
        check(what, path);
    const std::string logo = DpuText::Trim(Settings.TitleFileName);
    if (!logo.empty()) check("customer logo", logo);
    for (const std::string& path : Pictures.UserBitmapPaths)
        check("user bitmap", path);
}

bool TRomBuilder::BuildRomImage() {
    LastErrCaption.clear();
    LastErrMsg.clear();
    RomFilePath.clear();
    StrictStop = false;
    try {
        AssembleImage();
        const int warnings = WarningCount + Inputs.EarlierWarnings;
        if (Inputs.Strict && warnings > 0) {
            StrictStop = true;
            throw ERomBuild("Make ROM abort",
                            YVclUtil::Format("Strict build: %d warning line%s, no ROM file "
                                             "written!!\n\n",
                                             warnings, warnings == 1 ? "" : "s"));
        }
        if (Inputs.InMemoryOnly) return true;
        const std::string target =
            Inputs.OutputFile.empty() ? RomFileNameFor(Settings.RomFileName) : Inputs.OutputFile;
        RefuseOwnInput(target);
        std::string error;
        if (!YVclUtil::WriteFileAtomically(target, Image.data(), Image.size(), error))
            throw ERomBuild("File error", "Cannot write ROM file \"" + target + "\": " + error);
        RomFilePath = target;
        return true;
    } catch (const ERomBuild& e) {
        LastErrCaption = e.Caption;
        LastErrMsg = e.Message;
        return false;
    } catch (const std::bad_alloc&) {
        LastErrCaption = "Error";
        LastErrMsg = "Out of memory while building the ROM image";
        return false;
    }
}

} // namespace DpuRom
