#include "tglbwriter.h"

namespace {

void PutBe32(QByteArray& out, int at, quint32 value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((value >> (24 - 8 * i)) & 0xFF);
}

} // namespace

bool TGlbWriter::Put(int group, int index, const QByteArray& payload) {
    if (group < 0 || group >= GroupCount || index < 0 || index >= EntriesPerGroup ||
        payload.isEmpty())
        return false;
    Entries[{group, index}] = payload;
    return true;
}

QByteArray TGlbWriter::Build() const {
    const int directoryEnd = DirectoryStart + GroupCount * EntriesPerGroup * 8;
    QByteArray out(directoryEnd, '\0');
    // The header carries no meaning for the reader; a tag and a layout number help a person.
    out.replace(0, 8, QByteArray("DPUGLB\x01\x00", 8));
    for (const auto& [key, payload] : Entries) {
        const int at = DirectoryStart + key.first * EntriesPerGroup * 8 + key.second * 8;
        PutBe32(out, at, quint32(out.size()));
        PutBe32(out, at + 4, quint32(payload.size()));
        out.append(payload);
    }
    return out;
}
