#include "rom/tglyphlibrarywriter.h"

#include "rom/glyphlibrary.h"
#include "util/fileaccess.h"

#include <algorithm>

namespace DpuRom {

static_assert(sizeof(TGlyphLibraryWriter::DefaultHeader) == GlyphLibrary::DirectoryStart);

namespace {

void PutBigEndian32(std::vector<uint8_t>& Out, size_t At, uint32_t Value) {
    for (size_t i = 0; i < 4; ++i)
        Out[At + i] = static_cast<uint8_t>(Value >> (24 - 8 * i));
}

} // namespace

bool TGlyphLibraryWriter::Put(int Group, int Index, std::vector<uint8_t> Payload) {
    if (Group < 0 || Group >= GlyphLibrary::GroupCount || Index < 0 ||
        Index >= GlyphLibrary::EntriesPerGroup || Payload.empty())
        return false;
    Entries[{Group, Index}] = std::move(Payload);
    return true;
}

std::vector<uint8_t> TGlyphLibraryWriter::Build() const {
    constexpr size_t slotSize = 8;
    const size_t directoryEnd =
        GlyphLibrary::DirectoryStart +
        static_cast<size_t>(GlyphLibrary::GroupCount) * GlyphLibrary::EntriesPerGroup * slotSize;
    std::vector<uint8_t> out(directoryEnd, 0);
    std::copy(DefaultHeader, DefaultHeader + GlyphLibrary::DirectoryStart, out.begin());
    for (const auto& [key, payload] : Entries) {
        const size_t at = GlyphLibrary::DirectoryStart +
                          (static_cast<size_t>(key.first) * GlyphLibrary::EntriesPerGroup +
                           static_cast<size_t>(key.second)) *
                              slotSize;
        PutBigEndian32(out, at, static_cast<uint32_t>(out.size()));
        PutBigEndian32(out, at + 4, static_cast<uint32_t>(payload.size()));
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

bool TGlyphLibraryWriter::Save(const std::string& Path, std::string& Reason) const {
    const std::vector<uint8_t> bytes = Build();
    return YVclUtil::WriteFileAtomically(Path, bytes.data(), bytes.size(), Reason);
}

} // namespace DpuRom
