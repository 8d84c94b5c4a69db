#include "ttestglyphs.h"

#include <cstdio>

namespace {
void PutBe32(std::vector<uint8_t>& Image, size_t At, uint32_t Value) {
    Image[At] = uint8_t(Value >> 24);
    Image[At + 1] = uint8_t(Value >> 16);
    Image[At + 2] = uint8_t(Value >> 8);
    Image[At + 3] = uint8_t(Value);
}
} // namespace

std::vector<uint8_t> MakeGlb(const std::vector<GlbEntry>& Entries, int Groups) {
    std::vector<uint8_t> image(8 + 2048 * size_t(Groups), 0);
    for (int i = 0; i < 8; ++i)
        image[i] = uint8_t('H' + i);
    for (const GlbEntry& e : Entries) {
        const uint32_t offset = uint32_t(image.size());
        image.insert(image.end(), e.Payload.begin(), e.Payload.end());
        PokeDirectory(image, e.Group, e.Index, offset, uint32_t(e.Payload.size()));
    }
    return image;
}

void PokeDirectory(std::vector<uint8_t>& Image, int Group, int Index, uint32_t Offset,
                   uint32_t Length) {
    const size_t at = 8 + 2048 * size_t(Group) + 8 * size_t(Index);
    PutBe32(Image, at, Offset);
    PutBe32(Image, at + 4, Length);
}

std::vector<uint8_t> MakeBmp(int Width, int Height, uint32_t Fill) {
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Fill);
    image.setPixel(0, 0, 0xFFFF0000u);
    return BmpBytes(image);
}

std::vector<uint8_t> ClaimingBmp(int Width, int Height) {
    const uint32_t pixelsAt = 14 + 40 + 256 * 4;
    std::vector<uint8_t> b(pixelsAt, 0);
    auto put32 = [&b](size_t At, uint32_t V) {
        for (int i = 0; i < 4; ++i)
            b[At + size_t(i)] = static_cast<uint8_t>(V >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(10, pixelsAt);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(Width));
    put32(22, static_cast<uint32_t>(Height));
    b[26] = 1; // planes
    b[28] = 8; // bits a pixel
    b[30] = 1; // RLE8
    b[46] = 0; // 0 = all 256 colours
    for (uint32_t i = 0; i < 256; ++i)
        put32(54 + 4 * i, i * 0x010101u);
    // End of bitmap straight away: every pixel is skipped.
    b.push_back(0);
    b.push_back(1);
    put32(2, static_cast<uint32_t>(b.size()));
    return b;
}

std::vector<uint8_t> RedirectedGlb(const std::vector<uint8_t>& Payload) {
    std::vector<GlbEntry> entries;
    for (const auto& [key, payload] : FullTestLibrary().Entries)
        entries.push_back({key.first, key.second, payload});
    std::vector<uint8_t> image = MakeGlb(entries);
    const uint32_t at = static_cast<uint32_t>(image.size());
    image.insert(image.end(), Payload.begin(), Payload.end());
    const uint32_t length = static_cast<uint32_t>(Payload.size());
    for (int k = 1; k <= 4; ++k)
        for (int c = 0; c < 128; ++c)
            PokeDirectory(image, k, c, at, length);
    for (int s = 0; s < 5; ++s)
        for (int f = 0; f < 12; ++f)
            PokeDirectory(image, 0, 50 + 20 * s + f, at, length);
    for (int i = 0; i < 39; ++i)
        PokeDirectory(image, 7, i, at, length);
    return image;
}

bool WriteGlyphLibrary(const std::string& Path,
                       const std::map<std::pair<int, int>, std::vector<uint8_t>>& Entries) {
    DpuRom::TGlyphLibraryWriter writer;
    for (const auto& [key, payload] : Entries)
        writer.Put(key.first, key.second, payload); // an empty payload stays absent
    std::string reason;
    return writer.Save(Path, reason);
}

QImage MonoPattern(int W, int H, int Seed) {
    QImage image(W, H, QImage::Format_RGB32);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            image.setPixel(x, y,
                           ((x * 7 + y * 13 + Seed) % 5) < 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    return image.convertToFormat(QImage::Format_Mono);
}

TTestGlyphs InstallationLikeLibrary() {
    TTestGlyphs glyphs;
    AddRequiredEntries(glyphs);
    for (int st = 0; st < 5; ++st)
        for (int f = 0; f < 12; ++f)
            glyphs.Entries[{0, 50 + 20 * st + f}] = BmpBytes(MonoPattern(48, 48, st * 12 + f));
    for (int k = 0; k < 4; ++k)
        for (int c = 32; c < 127; ++c)
            glyphs.Entries[{1 + k, c}] = BmpBytes(MonoPattern(32, 64, c + k));
    for (int i = 0; i < 39; ++i)
        glyphs.Entries[{7, i}] = BmpBytes(MonoPattern(8, 8, i));
    glyphs.Entries[{0, 40}] = BmpBytes(MonoPattern(64, 32, 3));
    return glyphs;
}
