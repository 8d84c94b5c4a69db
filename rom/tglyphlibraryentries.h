#pragma once

#include "rom/glyphentrysource.h"

class GlyphLibrary;

// Entries of the loaded glyph library, read in place from its memory image.
class TGlyphLibraryEntries : public TGlyphEntrySource {
public:
    // Library must outlive this object; Name is the library's file name for messages.
    TGlyphLibraryEntries(const GlyphLibrary& Library, std::string Name);

    bool IsLoaded() const override;
    std::span<const uint8_t> Entry(int Group, int Index) const override;
    std::string LibraryName() const override { return Name; }

private:
    const GlyphLibrary& Library;
    std::string Name;
};
