#pragma once

#include "rom/tromimage.h"
#include "rom/tromimagereader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace DpuProject {
class TConfiguration;
} // namespace DpuProject

namespace DpuRom {

class GlyphLibrary;

// Whether a recovered project gives its image back: loads the project file as
// make-rom does, builds it in memory with Make ROM's own code (no image file
// is written), and compares the result with the image the project was
// recovered from, by meaning. Each item the project cannot reproduce becomes
// one "[Warning] ..." line naming the item and why.
class TRomRebuildCheck {
public:
    // Library is the glyph library the image was read with; Reader the reader
    // that read it (its settings read the rebuilt image the same way).
    TRomRebuildCheck(const GlyphLibrary& Library, const TRomImageReader& Reader);

    // Builds ProjectPath with Config (the version the recovery chose), user
    // bitmaps looked up under UserRoot (ending in '/') and then under
    // Config.ProgramDir, as make-rom run in UserRoot looks, and compares with Raw,
    // read as Image. True when the rebuild is byte for byte Raw; otherwise
    // Warnings says what differs and why. The check itself never fails: a
    // project that does not load or build is a warning line too.
    bool Run(const std::string& ProjectPath, const DpuProject::TConfiguration& Config,
             const std::string& UserRoot, const TRomImage& Image, const std::vector<uint8_t>& Raw);

    // What inspect shows: recovers Image into a scratch folder of its own
    // (user bitmaps named from the folders the reader was given), then Run.
    // Warnings also gets recovery's own lines, as recover prints them.
    bool RunOnScratch(const DpuProject::TConfiguration& Config, const TRomImage& Image,
                      const std::vector<uint8_t>& Raw);

    std::vector<std::string> Warnings;
    // The image the project built; empty when it did not build.
    std::vector<uint8_t> Rebuilt;

    // Why the item a difference line names (as TRomImageDiff words it, with
    // its picture slug) cannot come back from a project.
    static std::string Why(const std::string& Text, const std::string& Slug, const TRomImage& Image,
                           int Cfi);

private:
    const GlyphLibrary& Library;
    TRomImageReader Reader;
};

} // namespace DpuRom
