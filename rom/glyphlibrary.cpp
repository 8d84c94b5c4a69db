#include "rom/glyphlibrary.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"

#include "project/dputext.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"

namespace DpuRom {

namespace DpuText = DpuProject::DpuText;

namespace {
// A library is a few hundred kilobytes; anything near this size is not one,
// and holding it would only tie up memory.
constexpr uint64_t kMaxLibrarySize = 256ULL * 1024 * 1024;

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
    LoadFoundNothing = false;
    LoadReason.clear();
    if (!YVclUtil::ReadWholeFile(Path, bytes, reason, kMaxLibrarySize)) {
        LastError = "Glyph library \"" + Path + "\": " + reason;
        YVclUtil::TFileStatus status;
        std::string statusReason;
        LoadFoundNothing = YVclUtil::QueryFileStatus(Path, status, statusReason) &&
                           status.Kind == YVclUtil::TFileKind::Missing;
        LoadReason = reason;
        return false;
    }
    // The extra zero byte lies outside every entry.
    bytes.push_back(0);
    Bytes = std::move(bytes);
    Loaded = true;
    DateText = DpuText::FileDateText(Path);
    return true;
}

std::string GlyphLibrary::LoadFailureText() const {
    if (LoadFoundNothing || LoadReason.empty()) return "GLB file not found!!\n\n";
    return "GLB file can not be read (" + LoadReason + ")!!\n\n";
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
    // Only a regular file of that name is ours to delete and replace: a link
    // planted there would make the payload land where it points, and a FIFO
    // or a folder is somebody else's. Those stay, and no working file is made.
    std::string reason;
    if (!YVclUtil::RemoveRegularFile(WorkFileName, reason)) {
        LastError = std::string("can not replace working file ") + WorkFileName + ": " + reason;
        return WorkFileName;
    }
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
    if (!YVclUtil::CreateNewFile(WorkFileName, &Bytes[offset], length, reason))
        LastError = std::string("can not write working file ") + WorkFileName + ": " + reason;
    return WorkFileName;
}

bool GlyphLibrary::ExtractImage(int Group, int Index, YVclUtil::TRasterImage& Out) {
    // Straight from memory: a preview needs no working file.
    uint32_t offset = 0, length = 0;
    if (!FindEntry(Group, Index, offset, length)) return false;
    YVclUtil::TRasterImage image;
    try {
        // The build's reader, so the preview matches the build.
        image = LoadPictureData(&Bytes[offset], length,
                                YVclUtil::Format("glyph library entry %d/%d", Group, Index));
    } catch (const ERomBuild&) {
    }
    if (image.IsNull()) return false;
    Out = image;
    return true;
}

} // namespace DpuRom
