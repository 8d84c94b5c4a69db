#pragma once

#include "rom/romlayout.h"
#include "rom/romsettings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace DpuRom {

// One picture as the image holds it: packed bytes without a size header (the
// image stores no sizes, so Width and Height are worked out by the reader).
struct TRomPicture {
    size_t Offset = 0; // image offset of its first byte; 0 when absent
    size_t Length = 0; // bytes it takes in the image
    int Width = 0;     // as drawn, before the panel turn
    int Height = 0;
    bool Turned = false; // packed turned a quarter counter-clockwise (DISPHV 1)
    std::vector<uint8_t> Bytes;

    bool Present() const { return Length != 0; }
    // Whether the drawn pixel (X, Y) is lit; false outside the picture.
    bool Lit(int X, int Y) const;
    // Width of the packed picture: one byte per packed column in each band.
    int PackedWidth() const { return Turned ? Height : Width; }
};

// What one code of a code table shows.
struct TRomCode {
    enum class TKind { Nothing, Glyphs, UserBitmap };
    TKind Kind = TKind::Nothing;
    uint8_t First = 0;  // first-byte array
    uint8_t Second = 0; // second-byte array
    // The glyph characters as a label ("12", "5"); empty for the other kinds.
    std::string Label;
    int UserBitmap = -1; // its number, for TKind::UserBitmap
};

// Everything a ROM image holds, read back.
struct TRomImage {
    // The image's counts (RomLayout) as the int indexes the reader loops with.
    static constexpr int TableCount = static_cast<int>(RomLayout::CodeTableCount);
    static constexpr int CodeCount = static_cast<int>(RomLayout::CodeCount);
    static constexpr int GlyphCount = static_cast<int>(RomLayout::GlyphCount);
    static constexpr int MessageCount = static_cast<int>(RomLayout::MessageCount);
    static constexpr int DirStyleCount = static_cast<int>(RomLayout::DirStyleCount);
    static constexpr int DirFrameCount = static_cast<int>(RomLayout::DirFrameCount);
    static constexpr int SmallGlyphCount = static_cast<int>(RomLayout::SmallGlyphCount);

    // How a value that the image does not store was settled.
    enum class TSource { Image, Library, Assumed };

    std::array<uint8_t, RomLayout::SettingsRecordSize> Record{}; // the settings record as stored
    // The settings record by field; DefFl, DispHv, Encode, Cfi as found below.
    TRomSettings Settings;
    TSource EncodeSource = TSource::Image; // auxiliary block (Image) or character block vs library
    TSource DispHvSource = TSource::Assumed;
    TSource DefFlSource = TSource::Assumed;

    std::array<std::array<TRomCode, CodeCount>, TableCount> Codes;
    std::array<TRomPicture, GlyphCount> Glyphs; // floor glyphs by character code
    std::vector<TRomPicture> UserBitmaps;       // by number
    // Labels whose stock bitmap packs to user bitmap u; empty when none matched.
    std::vector<std::string> UserBitmapLabels;
    std::array<TRomPicture, MessageCount> Messages; // in list order
    int MessagePictures = 0;                        // entries with a picture
    std::array<std::array<TRomPicture, DirFrameCount>, DirStyleCount> DirFrames;
    TRomPicture Logo;         // always the whole 512-byte zone
    bool LogoZoneSet = false; // any logo byte is not 0
    std::array<TRomPicture, SmallGlyphCount> SmallGlyphs;
    TRomPicture Screen;
    std::vector<uint8_t> CharBlock; // 7168 bytes, encoding undone
    std::vector<uint8_t> AuxBlock;  // 1792 bytes as stored
    std::vector<std::string> Notes; // things worth knowing that do not make the image invalid
};

} // namespace DpuRom
