#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace DpuRom {

// Writes the glyph library file that GlyphLibrary (rom/glyphlibrary.h) reads,
// with its layout constants: 8 header bytes, the directory of groups 0..7 of
// 256 entries (big-endian payload offset and length each), then the payloads
// in (group, index) order. Used by the asset generator and the tests.
class TGlyphLibraryWriter {
public:
    // The header bytes the asset generator has always written: a tag and a
    // layout number that help a person; the reader does not look at them.
    static constexpr char DefaultHeader[8] = {'D', 'P', 'U', 'G', 'L', 'B', 1, 0};

    // Stores the payload of entry (Group, Index), replacing an earlier one.
    // False (nothing stored) when Group or Index lies outside the directory or
    // the payload is empty, since length 0 marks an absent entry.
    bool Put(int Group, int Index, std::vector<uint8_t> Payload);

    // The complete library file image.
    std::vector<uint8_t> Build() const;

    // Build, written atomically to Path. False with the reason in Reason; an
    // existing file is then left as it was.
    bool Save(const std::string& Path, std::string& Reason) const;

private:
    std::map<std::pair<int, int>, std::vector<uint8_t>> Entries;
};

} // namespace DpuRom
