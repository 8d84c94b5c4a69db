#include "rom/trompictureconverter.h"

#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"
#include "rom/glyphentrysource.h"
#include "util/eygeneral.h"

namespace DpuRom {

TRomPictureConverter::TRomPictureConverter(const TGlyphEntrySource& Glyphs, int DispHv,
                                           std::function<void(const std::string&)> Log)
    : Glyphs(Glyphs), DispHv(DispHv), Log(std::move(Log)) {}

std::span<const uint8_t> TRomPictureConverter::LibraryEntry(int Group, int Index,
                                                            bool Required) const {
    if (!Glyphs.IsLoaded())
        throw ERomBuild(
            "Error",
            YVclUtil::Format("Cannot load picture from glyph library \"%s\" (group %d, entry %d): "
                             "the library is not loaded",
                             Glyphs.LibraryName().c_str(), Group, Index));
    const std::string fault = Glyphs.EntryFault(Group, Index);
    if (!fault.empty()) {
        // Leaving the picture out would build an image that is wrong without a word.
        if (Log)
            Log(YVclUtil::Format("[Error] GLB entry (%d, %d) of %s: ", Group, Index,
                                 Glyphs.LibraryName().c_str()) +
                fault + " !!!");
        throw ERomBuild("File error", "GLB File error!!");
    }
    std::span<const uint8_t> entry = Glyphs.Entry(Group, Index);
    if (entry.empty() && Required) {
        // The box keeps its words; the log names the entry the image needs.
        if (Log)
            Log(YVclUtil::Format("[Error] GLB entry (%d, %d) of %s is absent !!!", Group, Index,
                                 Glyphs.LibraryName().c_str()));
        throw ERomBuild("File error", "GLB File error!!");
    }
    return entry;
}

std::vector<uint8_t> TRomPictureConverter::PackEntry(std::span<const uint8_t> Entry, int Turn,
                                                     const std::string& LoadName,
                                                     const std::string& PackName) const {
    // A refusal stops the build, so only packings are kept.
    const auto key = std::make_tuple(Entry.data(), Entry.size(), Turn);
    const auto found = Packed.find(key);
    if (found != Packed.end()) return found->second;
    std::vector<uint8_t> packed =
        ConvertPictureData(Entry.data(), Entry.size(), Turn, LoadName, PackName);
    Packed.emplace(key, packed);
    return packed;
}

std::vector<uint8_t> TRomPictureConverter::LibraryPicture(int Group, int Index) const {
    const std::span<const uint8_t> entry = LibraryEntry(Group, Index, false);
    if (entry.empty()) return {};
    const std::string name =
        "glyph library entry " + std::to_string(Group) + "/" + std::to_string(Index);
    return PackEntry(entry, DispHv, name, name);
}

void TRomPictureConverter::ConvertFloorGlyph(int Style, int Code, TRomPictures& Out) const {
    Out.FloorGlyphs.at(static_cast<size_t>(Style)).at(static_cast<size_t>(Code)) =
        LibraryPicture(1 + Style, Code);
}

void TRomPictureConverter::ConvertDirectionFrames(TRomPictures& Out) const {
    // Frame by frame across the styles, the order the library was always read in.
    for (size_t f = 0; f < RomLayout::DirFrameCount; ++f)
        for (size_t s = 0; s < RomLayout::DirStyleCount; ++s)
            Out.DirFrames[s][f] =
                LibraryPicture(0, 50 + 20 * static_cast<int>(s) + static_cast<int>(f));
}

void TRomPictureConverter::ConvertMessage(int State, int Slot, const std::string& Path,
                                          TRomPictures& Out,
                                          const YVclUtil::TFileStatus* Found) const {
    Out.Messages.at(static_cast<size_t>(State)).at(static_cast<size_t>(Slot)) =
        ConvertPictureFile(Path, DispHv, &Out.FilesRead[Path], Found);
}

void TRomPictureConverter::ConvertLogo(const std::string& Path, TRomPictures& Out) const {
    Out.Logo = ConvertPictureFile(Path, DispHv, &Out.FilesRead[Path]);
}

void TRomPictureConverter::ConvertScreen(TRomPictures& Out) const {
    const std::span<const uint8_t> screen = LibraryEntry(0, 40, true);
    const std::string name = "screen picture (glyph library entry 0/40)";
    // The screen picture is always turned, whatever the panel mounting says.
    Out.Screen = PackEntry(screen, 1, name, name);
}

void TRomPictureConverter::ConvertSmallGlyphs(TRomPictures& Out) const {
    for (size_t i = 0; i < RomLayout::SmallGlyphCount; ++i) {
        const int index = static_cast<int>(i);
        const std::span<const uint8_t> entry = LibraryEntry(7, index, false);
        if (entry.empty())
            throw ERomBuild(
                "Error", YVclUtil::Format("Cannot load picture from glyph library \"%s\" (group 7, "
                                          "entry %d): the entry is absent",
                                          Glyphs.LibraryName().c_str(), index));
        const std::string name = "small glyph " + std::to_string(index);
        Out.SmallGlyphs[i] = PackEntry(
            entry, DispHv, name + " (glyph library entry 7/" + std::to_string(index) + ")", name);
    }
}

int TRomPictureConverter::AddUserBitmap(const std::string& Path, TRomPictures& Out,
                                        const YVclUtil::TFileStatus* Found) const {
    Out.UserBitmaps.push_back(ConvertPictureFile(Path, DispHv, &Out.FilesRead[Path], Found));
    Out.UserBitmapPaths.push_back(Path);
    return static_cast<int>(Out.UserBitmaps.size()) - 1;
}

} // namespace DpuRom
