#pragma once

#include "rom/glyphentrysource.h"

namespace DpuRom {

class GlyphLibrary;

// Entries of the loaded glyph library, read in place from its memory image.
class TGlyphLibraryEntries : public TGlyphEntrySource {
public:
    // Library and Name (the library's file name, for messages; read at each
    // use, so a renamed library is named right) must outlive this object.
    TGlyphLibraryEntries(const GlyphLibrary& Library, const std::string& Name);

    bool IsLoaded() const override;
    std::span<const uint8_t> Entry(int Group, int Index) const override;
    std::string EntryFault(int Group, int Index) const override;
    std::string LibraryName() const override { return Name; }

private:
    const GlyphLibrary& Library;
    const std::string& Name;
};

} // namespace DpuRom
