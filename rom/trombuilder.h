#pragma once

#include "project/tlabelrule.h"
#include "rom/romlayout.h"
#include "rom/romsettings.h"
#include "rom/trompictureconverter.h"
#include "rom/trompictures.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace YVclUtil {
class MessageSink;
}

namespace DpuRom {

class TGlyphEntrySource;

// What one build of the image is made from: the labels, the packed pictures
// the Make ROM command prepared, the settings and where the image goes.
struct TRomBuildInputs {
    // Trimmed, upper-cased labels, Labels[table][code].
    std::array<std::array<std::string, RomLayout::CodeCount>, RomLayout::CodeTableCount> Labels;
    // The floor glyphs of style Settings.DEF_FL, the direction frames and the
    // messages; the build adds the user bitmaps, logo, screen and small glyphs.
    TRomPictures Pictures;
    TRomSettings Settings;
    // The executable's folder, ending in '/', and the start-up directory (the
    // workspace): user bitmaps are looked for below StartupDir first, then
    // below ProgramDir (TLabelRule::UserBitmapFolders). StartupDir may be empty.
    std::string ProgramDir;
    std::string StartupDir;
    // When not empty, the image goes to this file instead of the ROM file name rule.
    std::string OutputFile;
    // Scripted builds: any warning line ("[Warning] ...", "[Error] ...") stops
    // the build before the image is written.
    bool Strict = false;
    // Files the build reads besides those it opens itself (the user bitmaps
    // and the logo): (what, path), such as ("project file", "lift.dcf"). The
    // image never replaces any of them, nor a picture the build read.
    std::vector<std::pair<std::string, std::string>> ReadFiles;
    // Warning lines logged for this build before AssembleImage (the project
    // load, skipped message slots); Strict counts them with its own.
    int EarlierWarnings = 0;
    // Checks that compare a build with an image: BuildRomImage leaves the
    // image in Image and writes no file.
    bool InMemoryOnly = false;
};

// The image assembler: places the prepared floor glyphs, direction frames and
// message pictures, has the user bitmaps, the screen picture, the logo and
// the small glyphs converted, fills the code tables and the settings record,
// and writes the 64512-byte ROM image file.
class TRomBuilder {
public:
    // The image's counts (RomLayout) as the int indexes the builder loops with.
    static constexpr int TableCount = static_cast<int>(RomLayout::CodeTableCount);
    static constexpr int CodeCount = static_cast<int>(RomLayout::CodeCount);
    static constexpr int FloorStyleCount = static_cast<int>(RomLayout::FloorStyleCount);
    static constexpr int GlyphCodeCount = static_cast<int>(RomLayout::GlyphCount);
    static constexpr int DirStyleCount = static_cast<int>(RomLayout::DirStyleCount);
    static constexpr int DirFrameCount = static_cast<int>(RomLayout::DirFrameCount);
    static constexpr int MessageCount = static_cast<int>(RomLayout::MessageCount);
    static constexpr int SmallGlyphCount = static_cast<int>(RomLayout::SmallGlyphCount);

    // Builds from Inputs. Log gets the message-log lines; it may be null.
    // Glyphs is the glyph library.
    TRomBuilder(TRomBuildInputs Inputs, const TGlyphEntrySource& Glyphs,
                YVclUtil::MessageSink* Log);
    TRomBuilder(const TRomBuilder&) = delete;
    TRomBuilder& operator=(const TRomBuilder&) = delete;

    // Outputs of the last build.
    // The image; complete only after a successful AssembleImage.
    std::vector<uint8_t> Image;
    // (table, code) of every label whose user bitmap was missing; the caller
    // empties those cells.
    std::vector<std::pair<int, int>> CancelledCells;
    // The file written by the last successful BuildRomImage.
    std::string RomFilePath;
    // Caption and text of the stop that ended the last failed build.
    std::string LastErrCaption;
    std::string LastErrMsg;
    // Warning lines ("[Warning] ...", "[Error] ...") logged since AssembleImage began.
    int WarningCount = 0;
    // The last build stopped only because Strict was set and lines were logged.
    bool StrictStop = false;

    // What the builder was given, with the pictures the build converted added.
    const TRomBuildInputs& BuildInputs() const { return Inputs; }
    // Full paths of the user bitmaps of the last build, by number (order of first use).
    const std::vector<std::string>& UserBitmapPaths() const {
        return Inputs.Pictures.UserBitmapPaths;
    }
    // Number of the user bitmap made from Path (exact, case-sensitive), or -1.
    int FindUserBitmap(const std::string& Path) const;

    // Fills Image. Throws ERomBuild on a stop (zone overflow, missing library
    // entry, picture that cannot be loaded); Image is then not usable.
    void AssembleImage();

    // AssembleImage, then writes the file atomically. False on any stop, with
    // the reason in LastErrCaption/LastErrMsg and no file written.
    bool BuildRomImage();

    // The ROM file a "ROM Filename:" text names: trimmed, empty gives
    // "DPU510TK3.BIN", otherwise the extension becomes ".BIN".
    static std::string RomFileNameFor(const std::string& Field);

    // Program directory + "DefaultImage2/UserDefine/Floor/Style" + style + "/" + label + ".bmp"
    // (the installation's place; the build also looks below StartupDir first).
    static std::string UserBitmapPath(const std::string& ProgramDir, int Style,
                                      const std::string& Label);

private:
    // Copies the picture bytes of Packed (after its header) to Image at Pos,
    // at most up to ZoneEnd. Returns the number of picture bytes; Kept gets
    // how many were copied.
    size_t Place(const std::vector<uint8_t>& Packed, size_t Pos, size_t ZoneEnd, size_t& Kept);
    void PutAddress(size_t At, size_t Address);
    void AppendLog(const std::string& Line);
    void LogCut(const char* Zone, const std::string& Item, size_t Kept, size_t Length);
    // Throws ERomBuild ("File error") when Target is the same file as one the
    // build read, naming both.
    void RefuseOwnInput(const std::string& Target) const;
    // A "[Warning]" line for each character of a one- or two-character label
    // that the chosen floor style has no glyph for, named as typed.
    void WarnMissingGlyphs(int Table, int Code, const DpuProject::TLabelRule::TResult& Label);
    // The auto-cancel line(s) of a label whose user bitmap is missing or that
    // cannot name one.
    void LogCancelled(int Table, int Code, const DpuProject::TLabelRule::TResult& Label);

    void PlaceFloorGlyphs(size_t& Pos);
    void PlaceCodeTables(size_t& Pos);
    void PlaceDirectionFrames();
    void PlaceMessages();
    void PlaceSettings();
    void PlaceLibraryBlocks();
    void PlaceScreenAndLogo();
    void PlaceSmallGlyphs();

    // Codes whose floor glyph the last PlaceFloorGlyphs put into the image.
    std::array<bool, GlyphCodeCount> GlyphPlaced{};
    TRomBuildInputs Inputs;
    // The parts of Inputs the placing steps read by name.
    const std::array<std::array<std::string, CodeCount>, TableCount>& Labels;
    TRomPictures& Pictures;
    const TRomSettings& Settings;
    const TGlyphEntrySource& Glyphs;
    const TRomPictureConverter Converter;
    YVclUtil::MessageSink* Log;
};

} // namespace DpuRom
