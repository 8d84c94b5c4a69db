#include "rom/glyphlibrary.h"

#include "project/dputext.h"
#include "util/qstringconv.h"

#include <QFile>
#include <QImage>

#include <cstdio>

namespace DpuRom {

namespace DpuText = DpuProject::DpuText;

namespace {
// A library is a few hundred kilobytes; anything near this size is not one,
// and holding it would only tie up memory.
constexpr qint64 kMaxLibrarySize = 256LL * 1024 * 1024;

constexpr auto& ToQ = YVclUtil::ToQString;

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
} // namespace

bool GlyphLibrary::Load(const std::string& Path) {
    Release();
    LastError.clear();
    QFile file(ToQ(Path));
    if (!file.exists()) {
        LastError = "glyph library \"" + Path + "\" not found";
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        LastError = "glyph library \"" + Path + "\" can not be opened: " + file.errorString().toStdString();
        return false;
    }
    const qint64 size = file.size();
    if (size < 0 || size > kMaxLibrarySize) {
        LastError = "glyph library \"" + Path + "\" is too large";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size) + 1, 0);
    qint64 got = 0;
    while (got < size) {
        const qint64 n = file.read(reinterpret_cast<char*>(bytes.data()) + got, size - got);
        if (n <= 0)
            break;
        got += n;
    }
    if (got != size) {
        LastError = "glyph library \"" + Path + "\" can not be read whole";
        return false;
    }
    Bytes = std::move(bytes);
    Loaded = true;
    DateText = DpuText::FileDateText(Path);
    return true;
}

void GlyphLibrary::Release() {
    std::vector<uint8_t>().swap(Bytes);
    Loaded = false;
    DateText = "000000";
}

uint32_t GlyphLibrary::FileSize() const {
    return Bytes.empty() ? 0 : static_cast<uint32_t>(Bytes.size() - 1);
}

bool GlyphLibrary::FindEntry(int Group, int Index, uint32_t& Offset, uint32_t& Length) const {
    if (!Loaded || Group < 0 || Group >= GroupCount || Index < 0 || Index >= EntriesPerGroup)
        return false;
    const uint64_t size = FileSize();
    const uint64_t slot = DirectoryStart + 2048ULL * uint64_t(Group) + 8ULL * uint64_t(Index);
    if (slot + 8 > size)
        return false;
    const uint32_t offset = BigEndian32(&Bytes[slot]);
    const uint32_t length = BigEndian32(&Bytes[slot + 4]);
    // 64-bit sums: offset + length of two 32-bit fields cannot wrap here.
    if (length == 0 || uint64_t(offset) + uint64_t(length) > size)
        return false;
    Offset = offset;
    Length = length;
    return true;
}

std::vector<uint8_t> GlyphLibrary::EntryBytes(int Group, int Index) const {
    uint32_t offset = 0, length = 0;
    if (!FindEntry(Group, Index, offset, length))
        return {};
    return std::vector<uint8_t>(Bytes.begin() + offset, Bytes.begin() + offset + length);
}

std::string GlyphLibrary::ExtractGlbEntry(int Group, int Index) {
    LastError.clear();
    if (QFile::exists(WorkFileName))
        QFile::remove(WorkFileName);
    if (!Loaded) {
        LastError = "no glyph library loaded";
        return WorkFileName;
    }
    uint32_t offset = 0, length = 0;
    if (!FindEntry(Group, Index, offset, length))
        return {};
    std::FILE* out = std::fopen(WorkFileName, "w+b");
    if (!out) {
        LastError = std::string("can not create working file ") + WorkFileName;
        return WorkFileName;
    }
    const size_t written = std::fwrite(&Bytes[offset], 1, length, out);
    const bool closed = std::fclose(out) == 0;
    if (written != length || !closed) {
        std::remove(WorkFileName);
        LastError = std::string("can not write working file ") + WorkFileName;
    }
    return WorkFileName;
}

bool GlyphLibrary::ExtractImage(int Group, int Index, QImage& Out) {
    const std::string name = ExtractGlbEntry(Group, Index);
    if (name.empty() || !QFile::exists(ToQ(name)))
        return false;
    QImage image;
    const bool ok = image.load(ToQ(name), "BMP");
    QFile::remove(ToQ(name));
    if (!ok || image.isNull())
        return false;
    Out = image;
    return true;
}

} // namespace DpuRom
