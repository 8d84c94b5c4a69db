#pragma once

#include "rom/trompictures.h"

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace DpuRom {

class TGlyphEntrySource;

// The one converter of a build's pictures: reads each kind (floor glyphs,
// direction frames, messages, user bitmaps, logo, screen picture, small
// glyphs) from the glyph library or its file, packs it for the display and
// stores it in its slot of a TRomPictures. Every conversion throws ERomBuild
// on a stop: a picture that cannot be loaded or packed ("Error", the picture
// reader's reason), no library loaded, or a library entry that is broken or,
// where the image needs it, absent ("GLB File error!!", after a log line).
class TRomPictureConverter {
public:
    // Glyphs is the glyph library; DispHv 1 turns every picture but the
    // screen a quarter counter-clockwise (the panel is mounted turned). Log
    // gets the "[Error] GLB entry ..." lines; it may be empty.
    TRomPictureConverter(const TGlyphEntrySource& Glyphs, int DispHv,
                         std::function<void(const std::string&)> Log);

    // The payload of library entry (Group, Index). An absent entry gives an
    // empty span, or when Required a "GLB File error!!" stop.
    std::span<const uint8_t> LibraryEntry(int Group, int Index, bool Required) const;

    // The glyph of Code in floor style Style (library group 1 + Style); left
    // empty when the library has none.
    void ConvertFloorGlyph(int Style, int Code, TRomPictures& Out) const;
    // All direction frames (group 0, entries 50 + 20 * style + frame); absent ones stay empty.
    void ConvertDirectionFrames(TRomPictures& Out) const;
    // The picture file of lift state State, slot Slot (0..3 = A..D). Found,
    // when given, is the file's status as the caller just asked it.
    void ConvertMessage(int State, int Slot, const std::string& Path, TRomPictures& Out,
                        const YVclUtil::TFileStatus* Found = nullptr) const;
    // The customer logo file.
    void ConvertLogo(const std::string& Path, TRomPictures& Out) const;
    // The screen picture (entry 0/40, required), always turned.
    void ConvertScreen(TRomPictures& Out) const;
    // The 39 small glyphs (group 7); an absent one stops the build.
    void ConvertSmallGlyphs(TRomPictures& Out) const;
    // The user bitmap file Path as the next number; returns that number.
    // Found as for ConvertMessage.
    int AddUserBitmap(const std::string& Path, TRomPictures& Out,
                      const YVclUtil::TFileStatus* Found = nullptr) const;

private:
    std::vector<uint8_t> LibraryPicture(int Group, int Index) const;
    // Packs a library payload once: entries that share their bytes (the same
    // offset and length) share the packing, so a library whose entries all
    // name one picture costs one decoding, not one per entry.
    std::vector<uint8_t> PackEntry(std::span<const uint8_t> Entry, int Turn,
                                   const std::string& LoadName, const std::string& PackName) const;

    const TGlyphEntrySource& Glyphs;
    const int DispHv;
    std::function<void(const std::string&)> Log;
    mutable std::map<std::tuple<const uint8_t*, size_t, int>, std::vector<uint8_t>> Packed;
};

} // namespace DpuRom
