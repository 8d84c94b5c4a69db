#pragma once

#include <QByteArray>
#include <map>
#include <utility>

// Collects the entries of a glyph library and lays them out as the library file:
// an 8-byte header, a directory of eight groups of 256 entries (big-endian 32-bit
// payload offset and length each), then the payloads in (group, index) order.
class TGlbWriter {
public:
    static constexpr int GroupCount = 8;
    static constexpr int EntriesPerGroup = 256;
    static constexpr int DirectoryStart = 8;

    // Stores the payload of entry (group, index), replacing an earlier one.
    // Returns false (and stores nothing) when group or index is out of range or
    // the payload is empty, since length 0 marks an absent entry.
    bool Put(int group, int index, const QByteArray& payload);

    // The complete library file image.
    QByteArray Build() const;

private:
    std::map<std::pair<int, int>, QByteArray> Entries;
};
