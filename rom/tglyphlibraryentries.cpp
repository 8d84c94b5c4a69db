#include "rom/tglyphlibraryentries.h"

#include "rom/glyphlibrary.h"

namespace DpuRom {

TGlyphLibraryEntries::TGlyphLibraryEntries(const GlyphLibrary& Library, const std::string& Name)
    : Library(Library), Name(Name) {}

bool TGlyphLibraryEntries::IsLoaded() const {
    return Library.IsLoaded();
}

std::span<const uint8_t> TGlyphLibraryEntries::Entry(int Group, int Index) const {
    uint32_t offset = 0, length = 0;
    if (!Library.FindEntry(Group, Index, offset, length)) return {};
    return std::span<const uint8_t>(Library.Image().data() + offset, length);
}

std::string TGlyphLibraryEntries::EntryFault(int Group, int Index) const {
    uint32_t offset = 0, length = 0;
    std::string fault;
    Library.LocateEntry(Group, Index, offset, length, &fault);
    return fault;
}

} // namespace DpuRom
