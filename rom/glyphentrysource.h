#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace DpuRom {

// Read access to the entries of the glyph library held in memory, so pictures
// are decoded straight from the library image instead of through a working file.
class TGlyphEntrySource {
public:
    virtual ~TGlyphEntrySource() = default;

    // False when no library image is loaded (the file was missing or unreadable).
    virtual bool IsLoaded() const = 0;
    // The payload of entry (Group, Index); an empty span when the entry is
    // absent, lies outside the image, or no library is loaded.
    virtual std::span<const uint8_t> Entry(int Group, int Index) const = 0;
    // What is wrong with entry (Group, Index) when its directory slot or
    // payload lies outside the file (Entry then gives an empty span, but the
    // entry is not absent); empty for a present or absent entry or when no
    // library is loaded.
    virtual std::string EntryFault(int Group, int Index) const = 0;
    // The library's file name, for messages.
    virtual std::string LibraryName() const = 0;
};

} // namespace DpuRom
