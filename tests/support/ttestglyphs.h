#pragma once

#include "rom/glyphentrysource.h"
#include "rom/tglyphlibrarywriter.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Library entries held in a map, for tests of the assembler that do not need a library file.
class TTestGlyphs : public DpuRom::TGlyphEntrySource {
public:
    bool Loaded = true;
    std::map<std::pair<int, int>, std::vector<uint8_t>> Entries;

    bool IsLoaded() const override { return Loaded; }
    std::span<const uint8_t> Entry(int Group, int Index) const override {
        const auto it = Entries.find({Group, Index});
        if (!Loaded || it == Entries.end()) return {};
        return it->second;
    }
    std::string EntryFault(int Group, int Index) const override {
        const auto it = Faults.find({Group, Index});
        return Loaded && it != Faults.end() ? it->second : std::string();
    }
    std::string LibraryName() const override { return "TEST.GLB"; }
    // Entries whose directory slot points outside the file, with the fault text.
    std::map<std::pair<int, int>, std::string> Faults;
};

// A picture saved as a bitmap file image.
inline std::vector<uint8_t> BmpBytes(const QImage& Image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Image.save(&buffer, "BMP");
    return {bytes.begin(), bytes.end()};
}

// A white picture with its top-left pixel black.
inline QImage Marked(int W, int H) {
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 0, qRgb(0, 0, 0));
    return image;
}

// The entries every build reads: character block (CFI), auxiliary block (IFI),
// screen picture, 39 small glyphs of 8 x 8.
inline void AddRequiredEntries(TTestGlyphs& Glyphs, int Cfi = 1, int Ifi = 41) {
    std::vector<uint8_t> chars(7168);
    for (size_t i = 0; i < chars.size(); ++i)
        chars[i] = static_cast<uint8_t>(i * 7 + 3);
    chars[0] = 0x00;
    Glyphs.Entries[{0, Cfi}] = chars;
    std::vector<uint8_t> aux(1792);
    for (size_t i = 0; i < aux.size(); ++i)
        aux[i] = static_cast<uint8_t>(0xA0 ^ i);
    Glyphs.Entries[{0, Ifi}] = aux;
    Glyphs.Entries[{0, 40}] = BmpBytes(Marked(64, 32));
    for (int i = 0; i < 39; ++i)
        Glyphs.Entries[{7, i}] = BmpBytes(Marked(8, 8));
}

// One entry of a glyph library file built byte by byte.
struct GlbEntry {
    int Group;
    int Index;
    std::vector<uint8_t> Payload;
};
// The bytes of a glyph library file: 8 header bytes, the directory of Groups
// groups (256 entries of big-endian offset and length), then the payloads in
// the order given. Entries may repeat and groups may be left out, as in a
// broken file.
std::vector<uint8_t> MakeGlb(const std::vector<GlbEntry>& Entries, int Groups = 8);
// Sets entry (Group, Index) of an image to any offset and length.
void PokeDirectory(std::vector<uint8_t>& Image, int Group, int Index, uint32_t Offset,
                   uint32_t Length);
// A Windows bitmap of Width x Height in Fill, with pixel (0,0) red.
std::vector<uint8_t> MakeBmp(int Width, int Height, uint32_t Fill = 0xFF000000u);

// A hostile picture: an RLE8 bitmap of about a kilobyte (256 colours, a
// stream that ends at once) that declares Width x Height pixels.
std::vector<uint8_t> ClaimingBmp(int Width, int Height);
// A hostile library: the entries of FullTestLibrary, then every floor glyph,
// direction frame and small glyph redirected to one appended Payload.
std::vector<uint8_t> RedirectedGlb(const std::vector<uint8_t>& Payload);

// Writes a glyph library file holding Entries (groups 0..7) through the
// program's writer. False when the file cannot be written.
bool WriteGlyphLibrary(const std::string& Path,
                       const std::map<std::pair<int, int>, std::vector<uint8_t>>& Entries);

// A library with everything a build needs: the required entries, direction
// frames 16 x 16 for every style and frame, and floor glyphs 16 x 16 for
// codes 32..126 in the four styles (none for 'Q', to have a gap).
inline TTestGlyphs FullTestLibrary() {
    TTestGlyphs glyphs;
    AddRequiredEntries(glyphs);
    const std::vector<uint8_t> frame = BmpBytes(Marked(16, 16));
    for (int s = 0; s < 5; ++s)
        for (int f = 0; f < 12; ++f)
            glyphs.Entries[{0, 50 + 20 * s + f}] = frame;
    for (int k = 0; k < 4; ++k)
        for (int c = 32; c < 127; ++c)
            if (c != 'Q') glyphs.Entries[{1 + k, c}] = BmpBytes(Marked(16 + 8 * k, 16));
    return glyphs;
}

// A library shaped like the installation's, in 1-bit pictures: 32 x 64 floor
// glyphs, 48 x 48 direction frames, 39 small glyphs, a 64 x 32 screen picture
// and the raw blocks. The benchmarks build their images from it.
TTestGlyphs InstallationLikeLibrary();
// A 1-bit picture of W x H in a pattern that differs with Seed.
QImage MonoPattern(int W, int H, int Seed);
