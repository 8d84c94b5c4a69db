#pragma once

#include "project/tglyphsource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace DpuRom {

// The glyph library file held whole in memory, and the extraction of single
// entries into the working file "ORV_TEMPBMP.BMP" in the current directory.
//
// File layout (big-endian): 8 header bytes (not interpreted), then for groups
// 0..7 a directory of 256 entries of 8 bytes each: payload offset from the
// start of the file, payload length (0 = absent). Entry (g, i) sits at
// 8 + 2048*g + 8*i.
//
// Callers rely on: ExtractGlbEntry's three answers (empty = the entry can
// not be used; "ORV_TEMPBMP.BMP" naming no file = no library loaded or the
// working file could not be written; "ORV_TEMPBMP.BMP" naming the payload);
// that no read ever leaves the loaded image; that a failed Load leaves no
// image. Length 0 is the only "absent": an entry whose directory slot or
// payload lies outside the file is broken, and LocateEntry says how, so the
// builder can stop instead of quietly leaving a glyph out.
// Not reentrant: one extraction at a time, on one thread.
class GlyphLibrary : public DpuProject::TGlyphSource {
public:
    // WorkFileName and GroupCount come from TGlyphSource.
    static constexpr const char* DefaultFileName = "D510TK3.GLB";
    static constexpr uint32_t DirectoryStart = 8;
    static constexpr int EntriesPerGroup = 256;

    GlyphLibrary() = default;
    GlyphLibrary(const GlyphLibrary&) = delete;
    GlyphLibrary& operator=(const GlyphLibrary&) = delete;

    // Releases any image, then reads the regular file at Path whole. False
    // when it is missing, is no regular file (a folder, a FIFO: refused
    // without waiting), is over 256 MB or cannot be read; then no image is
    // held and LastError names the file and the reason in the system's words
    // ("Glyph library \"x.GLB\": Permission denied"). The date text is taken from the file's
    // last-write time
    // ("000000" on failure).
    bool Load(const std::string& Path) override;
    // Frees the image (nothing when none is held).
    void Release() override;
    bool IsLoaded() const override { return Loaded; }

    // The whole file as read ("file size + 1" bytes are held; the extra byte
    // is 0 and lies outside every entry). Empty when nothing is loaded.
    const std::vector<uint8_t>& Image() const { return Bytes; }
    // Size of the loaded file in bytes (0 when none).
    uint32_t FileSize() const;

    // "yymmdd" of the loaded file's last-write time, "000000" when none.
    const std::string& Date() const override { return DateText; }

    // What the directory says about one entry.
    enum class TEntryState {
        Present,   // payload wholly inside the file
        Absent,    // length 0
        NoLibrary, // nothing loaded
        Broken,    // Group/Index outside the directory, or the slot or payload past the end of the
                   // file
    };
    // Locates entry (Group, Index). Offset and Length are set only for
    // Present; for Broken, Fault (when given) gets what is wrong, in words
    // ("length 0xFFFFFFFF from offset 0x00000A00 runs past the end of the file
    // (180194 bytes)"), and is cleared otherwise.
    TEntryState LocateEntry(int Group, int Index, uint32_t& Offset, uint32_t& Length,
                            std::string* Fault = nullptr) const;
    // Offset and length of entry (Group, Index) when it is present and lies
    // wholly inside the image; false otherwise (absent, broken, no image).
    bool FindEntry(int Group, int Index, uint32_t& Offset, uint32_t& Length) const;
    // The payload bytes of a present entry; empty when absent.
    std::vector<uint8_t> EntryBytes(int Group, int Index) const;
    bool HasEntry(int Group, int Index) const override;

    // Deletes "ORV_TEMPBMP.BMP" in the current directory, then: no image ->
    // returns "ORV_TEMPBMP.BMP" (no such file); absent entry -> returns "";
    // broken entry -> returns "" with the fault in LastError;
    // otherwise writes the payload to "ORV_TEMPBMP.BMP" and returns that name.
    // The working file is only ever a regular file this call creates: a link,
    // FIFO or folder of that name is left alone (never followed), no working
    // file is written and LastError says so. A write failure leaves no working
    // file and returns the name (the caller's bitmap loader then reports the
    // missing file); LastError says why.
    std::string ExtractGlbEntry(int Group, int Index);

    // A preview picture of entry (Group, Index), decoded from the image in
    // memory by the build's picture reader; no working file is written.
    // False (Out untouched) when the entry is absent or not a picture.
    bool ExtractImage(int Group, int Index, YVclUtil::TRasterImage& Out) override;
    std::string LoadError() const override { return LastError; }
    std::string LoadFailureText() const override;

    // Why the last Load or extraction failed.
    std::string LastError;

private:
    std::vector<uint8_t> Bytes;
    bool Loaded = false;
    // The last failed Load found no file at all / why it failed otherwise.
    bool LoadFoundNothing = false;
    std::string LoadReason;
    std::string DateText = "000000";
};

} // namespace DpuRom
