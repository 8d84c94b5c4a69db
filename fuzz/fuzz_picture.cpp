// Decodes arbitrary bytes as a picture the way the ROM build does (one step,
// from the lit map) and the way the window does (a colour picture), then packs
// the colour picture plainly and turned. Each packing must have the size its header
// announces and must agree, bit for bit, with a pixel-by-pixel packing of the
// same picture converted to 32-bit colour: lit exactly where red, green and
// blue are all 0, bit 0 the top row of each band, the rows past the last
// whole band left as zeros.
#include "rom/bitmapconversion.h"
#include "support/packinghelpers.h"
#include "support/rasterhelpers.h"
#include "rom/erombuild.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using DpuRom::ConvertPictureData;
using DpuRom::ERomBuild;
using DpuRom::LoadPictureData;
using DpuRom::PackImage;
using DpuRom::PackImageRotated;

namespace {

// Pictures up to this many pixels are also packed the slow way and compared.
constexpr qint64 CompareLimit = 1 << 16;

bool Lit(const QImage& Colour, int X, int Y) {
    return (Colour.pixel(X, Y) & 0x00FFFFFFu) == 0;
}

// The packing as the display's format describes it, one pixel at a time;
// Turned gives the packed pixel (x, y) the source pixel (Ws - 1 - y, x).
std::vector<uint8_t> Reference(const QImage& Colour, bool Turned) {
    const int ws = Colour.width(), hs = Colour.height();
    const int w = Turned ? hs : ws, h = Turned ? ws : hs;
    std::vector<uint8_t> out(4 + static_cast<size_t>(w) * static_cast<size_t>(h) / 8, 0);
    out[0] = static_cast<uint8_t>(w & 0xFF);
    out[1] = static_cast<uint8_t>(w >> 8);
    out[2] = static_cast<uint8_t>(h & 0xFF);
    out[3] = static_cast<uint8_t>(h >> 8);
    size_t at = 4;
    for (int b = 0; b < h / 8; ++b)
        for (int x = 0; x < w; ++x) {
            uint8_t byte = 0;
            for (int k = 0; k < 8; ++k) {
                const int y = 8 * b + k;
                byte = static_cast<uint8_t>(byte >> 1);
                if (Turned ? Lit(Colour, ws - 1 - y, x) : Lit(Colour, x, y)) byte |= 0x80;
            }
            out[at++] = byte;
        }
    return out;
}

void CheckHeader(const std::vector<uint8_t>& Packed, int W, int H) {
    const size_t expected = 4 + static_cast<size_t>(W) * static_cast<size_t>(H) / 8;
    if (Packed.size() != expected) std::abort();
    if ((Packed[0] | Packed[1] << 8) != W || (Packed[2] | Packed[3] << 8) != H) std::abort();
}

// The one-step path the build takes must stay inside the input and give a
// packing whose size matches its own header, or refuse naming the picture;
// Packed gets the packing plainly and turned (empty when refused).
void CheckOneStep(const uint8_t* Data, size_t Size, std::vector<uint8_t> (&Packed)[2]) {
    for (int dispHv = 0; dispHv <= 1; ++dispHv) {
        std::vector<uint8_t>& packed = Packed[dispHv];
        try {
            packed = ConvertPictureData(Data, Size, dispHv, "fuzz input", "fuzz input");
        } catch (const ERomBuild& e) {
            if (e.Message.find("fuzz input") == std::string::npos) std::abort();
            continue;
        }
        if (packed.size() < 4) std::abort();
        CheckHeader(packed, packed[0] | packed[1] << 8, packed[2] | packed[3] << 8);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::vector<uint8_t> oneStep[2];
    CheckOneStep(Data, Size, oneStep);
    QImage picture;
    try {
        picture = ImageOf(LoadPictureData(Data, Size, "fuzz input"));
    } catch (const ERomBuild& e) {
        // Every refusal names the picture, and the build refuses it too.
        if (e.Message.find("fuzz input") == std::string::npos || !oneStep[0].empty() ||
            !oneStep[1].empty())
            std::abort();
        return 0;
    }
    if (picture.isNull()) std::abort();

    const int w = picture.width(), h = picture.height();
    std::vector<uint8_t> plain, turned;
    try {
        plain = PackImage(picture, "fuzz input");
        turned = PackImageRotated(picture, "fuzz input");
    } catch (const ERomBuild& e) {
        // Only a side the 16-bit header cannot hold is refused.
        if (w <= 0xFFFF && h <= 0xFFFF) std::abort();
        return 0;
    }
    CheckHeader(plain, w, h);
    CheckHeader(turned, h, w);
    // What the window shows packs to what the build packs.
    if (plain != oneStep[0] || turned != oneStep[1]) std::abort();

    if (static_cast<qint64>(w) * h > CompareLimit) return 0;
    const QImage colour = picture.convertToFormat(QImage::Format_ARGB32);
    if (colour.isNull()) return 0;
    if (plain != Reference(colour, false) || turned != Reference(colour, true)) std::abort();
    return 0;
}
