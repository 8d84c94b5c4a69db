#pragma once

#include "rom/romlayout.h"
#include "util/fileaccess.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace DpuRom {

// Every packed picture of one build, by slot and index, as the picture
// converter (TRomPictureConverter) made them: a 4-byte size header, then the
// picture bytes (rom/bitmapconversion.h). An empty vector is no picture.
struct TRomPictures {
    using TPacked = std::vector<uint8_t>;

    // FloorGlyphs[style][code]: the glyph of each character code in each floor style.
    std::array<std::array<TPacked, RomLayout::GlyphCount>, RomLayout::FloorStyleCount> FloorGlyphs;
    // DirFrames[style][frame].
    std::array<std::array<TPacked, RomLayout::DirFrameCount>, RomLayout::DirStyleCount> DirFrames;
    // Messages[state][slot], slot 0..3 = A..D; the image lists them in
    // RomLayout::MessageSlotOrder.
    std::array<std::array<TPacked, RomLayout::MessageSlotCount>, RomLayout::MessageStateCount>
        Messages;
    // User bitmaps by number (order of first use), and the file each was made from.
    std::vector<TPacked> UserBitmaps;
    std::vector<std::string> UserBitmapPaths;
    // The customer logo (none when the logo is off), the screen picture and the small glyphs.
    TPacked Logo;
    TPacked Screen;
    std::array<TPacked, RomLayout::SmallGlyphCount> SmallGlyphs;
    // Every picture file read, with its status as read: the output guard
    // compares the image's target with these without asking the disk again.
    std::unordered_map<std::string, YVclUtil::TFileStatus> FilesRead;
};

} // namespace DpuRom
