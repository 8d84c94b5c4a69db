#pragma once

#include "util/trasterimage.h"

#include <string>

namespace DpuProject {

// What the project side needs of the glyph library: loading it, its date and
// preview pictures of single entries. The library itself (file layout,
// extraction) lives with the ROM code, which implements this; project code
// only ever sees this interface, so it never depends on the ROM side.
class TGlyphSource {
public:
    // The working file an entry is extracted to, in the current directory;
    // start-up removes a stale one from the start-up directory.
    static constexpr const char* WorkFileName = "ORV_TEMPBMP.BMP";
    // Groups 0..7 of the library; floor style k uses group k + 1.
    static constexpr int GroupCount = 8;

    virtual ~TGlyphSource() = default;

    // Releases any image, then reads the library at Path whole. False when
    // it is missing or unreadable; then nothing is held and LoadError()
    // names the file and the reason.
    virtual bool Load(const std::string& Path) = 0;
    // Why the last Load failed, in words ("" after a Load that succeeded).
    virtual std::string LoadError() const = 0;
    // The box text for the last failed Load: "GLB file not found!!\n\n" when
    // there is no such file, otherwise what is wrong with the one that is
    // there ("GLB file can not be read (Is a directory)!!\n\n").
    virtual std::string LoadFailureText() const = 0;
    // Frees the image (nothing when none is held).
    virtual void Release() = 0;
    virtual bool IsLoaded() const = 0;
    // "yymmdd" of the loaded file's last-write time, "000000" when none.
    virtual const std::string& Date() const = 0;
    // A preview picture of entry (Group, Index). False (Out untouched) when
    // no library is loaded or the entry is absent or not a picture.
    virtual bool ExtractImage(int Group, int Index, YVclUtil::TRasterImage& Out) = 0;
    // True when entry (Group, Index) is present and lies wholly inside the
    // loaded library; false when it is absent or broken, or nothing is loaded.
    virtual bool HasEntry(int Group, int Index) const = 0;
};

} // namespace DpuProject
