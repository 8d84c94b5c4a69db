#include "rom/glyphlibrary.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"

#include "project/dputext.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"
#include "util/qstringconv.h"

#include <QFile>
#include <QImage>

#include <cstdio>

namespace DpuRom {

namespace DpuText = DpuProject::DpuText;

namespace {
// A library is a few hundred kilobytes; anything near this size is not one,
// and holding it would only tie up memory.
constexpr uint64_t kMaxLibrarySize = 256ULL * 1024 * 1024;

constexpr auto& ToQ = YVclUtil::ToQString;

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
} // namespace

bool GlyphLibrary::Load(const std::string& Path) {
    Release();
    LastError.clear();
    // Regular files only, read without blocking: a FIFO or a device named as
    // the library is refused with its reason instead of holding start-up.
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!YVclUtil::ReadWholeFile(Path, bytes, reason, kMaxLibrarySize)) {
        LastError = "Glyph library \"" + Path + "\": " + reason;
        return false;
    }
    // The extra zero byte lies outside every entry.
    bytes.push_back(0);
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

GlyphLibrary::TEntryState GlyphLibrary::LocateEntry(int Group, int Index, uint32_t& Offset,
                                                    uint32_t& Length, std::string* Fault) const {
    if (Fault) Fault->clear();
    if (!Loaded) return TEntryState::NoLibrary;
    const uint64_t size = FileSize();
    auto broken = [&](const std::string& Why) {
        if (Fault) *Fault = Why;
        return TEntryState::Broken;
    };
    if (Group < 0 || Group >= GroupCount || Index < 0 || Index >= EntriesPerGroup)
        return broken(YVclUtil::Format("is outside the directory (groups 0-%d, entries 0-%d)",
                                       GroupCount - 1, EntriesPerGroup - 1));
    const uint64_t slot = DirectoryStart + 2048ULL * uint64_t(Group) + 8ULL * uint64_t(Index);
    // A cut library loses its last directory slots first; its glyphs are not absent, they are lost.
    if (slot + 8 > size)
        return broken(YVclUtil::Format(
            "directory slot at %llu is past the end of the file (%llu bytes)",
            static_cast<unsigned long long>(slot), static_cast<unsigned long long>(size)));
    const uint32_t offset = BigEndian32(&Bytes[slot]);
    const uint32_t length = BigEndian32(&Bytes[slot + 4]);
    if (length == 0) return TEntryState::Absent;
    if (offset >= size)
        return broken(YVclUtil::Format("offset 0x%08X is past the end of the file (%llu bytes)",
                                       offset, static_cast<unsigned long long>(size)));
    // 64-bit sum: offset + length of two 32-bit fields cannot wrap here.
    if (uint64_t(offset) + uint64_t(length) > size)
        return broken(YVclUtil::Format(
            "length 0x%08X from offset 0x%08X runs past the end of the file (%llu bytes)", length,
            offset, static_cast<unsigned long long>(size)));
    Offset = offset;
    Length = length;
    return TEntryState::Present;
}

bool GlyphLibrary::FindEntry(int Group, int Index, uint32_t& Offset, uint32_t& Length) const {
    return LocateEntry(Group, Index, Offset, Length) == TEntryState::Present;
}

std::vector<uint8_t> GlyphLibrary::EntryBytes(int Group, int Index) const {
    uint32_t offset = 0, length = 0;
    if (!FindEntry(Group, Index, offset, length)) return {};
    return std::vector<uint8_t>(Bytes.begin() + offset, Bytes.begin() + offset + length);
}

bool GlyphLibrary::HasEntry(int Group, int Index) const {
    uint32_t offset = 0, length = 0;
    return FindEntry(Group, Index, offset, length);
}

std::string GlyphLibrary::ExtractGlbEntry(int Group, int Index) {
    LastError.clear();
    if (QFile::exists(WorkFileName)) QFile::remove(WorkFileName);
    if (!Loaded) {
        LastError = "no glyph library loaded";
        return WorkFileName;
    }
    uint32_t offset = 0, length = 0;
    std::string fault;
    if (LocateEntry(Group, Index, offset, length, &fault) != TEntryState::Present) {
        if (!fault.empty())
            LastError = YVclUtil::Format("glyph library entry (%d, %d) ", Group, Index) + fault;
        return {};
    }
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
    if (name.empty() || !QFile::exists(ToQ(name))) return false;
    QImage image;
    try {
        image = LoadPicture(name); // the build's reader, so the preview matches the build
    } catch (const ERomBuild&) {
    }
    QFile::remove(ToQ(name));
    if (image.isNull()) return false;
    Out = image;
    return true;
}

} // namespace DpuRom
