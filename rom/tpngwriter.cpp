#include "rom/tpngwriter.h"

#include <zlib.h>

#include <algorithm>
#include <new>

namespace DpuRom {

namespace {

using YVclUtil::TRasterImage;

constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// An IDAT chunk at most this long, so no chunk length comes near 2^31.
constexpr size_t MaxChunkData = size_t{1} << 20;

void PutBig32(std::vector<uint8_t>& Out, uint32_t Value) {
    Out.push_back(static_cast<uint8_t>(Value >> 24));
    Out.push_back(static_cast<uint8_t>(Value >> 16));
    Out.push_back(static_cast<uint8_t>(Value >> 8));
    Out.push_back(static_cast<uint8_t>(Value));
}

void PutChunk(std::vector<uint8_t>& Out, const char (&Type)[5], const uint8_t* Data, size_t Size) {
    PutBig32(Out, static_cast<uint32_t>(Size));
    const size_t typeAt = Out.size();
    Out.insert(Out.end(), Type, Type + 4);
    if (Size > 0) Out.insert(Out.end(), Data, Data + Size);
    // The check covers the type and the data, not the length.
    const uLong crc =
        crc32(crc32(0L, Z_NULL, 0), Out.data() + typeAt, static_cast<uInt>(Out.size() - typeAt));
    PutBig32(Out, static_cast<uint32_t>(crc));
}

// The colours of a picture, sorted, so a pixel's index is found by halving;
// none when there are more than 256. An Rgb32 picture's alpha byte is not
// part of its colour.
struct TPalette {
    std::vector<uint32_t> Colours;
    bool Fits = true;

    int IndexOf(uint32_t Argb) const {
        return static_cast<int>(std::lower_bound(Colours.begin(), Colours.end(), Argb) -
                                Colours.begin());
    }
    // False when Argb would be colour 257.
    bool Add(uint32_t Argb) {
        const auto at = std::lower_bound(Colours.begin(), Colours.end(), Argb);
        if (at != Colours.end() && *at == Argb) return true;
        if (Colours.size() == 256) return false;
        Colours.insert(at, Argb);
        return true;
    }
};

uint32_t ColourOf(const TRasterImage& Picture, uint32_t Pixel) {
    return Picture.HasAlpha() ? Pixel : Pixel | 0xFF000000u;
}

TPalette PaletteOf(const TRasterImage& Picture) {
    TPalette palette;
    for (int y = 0; y < Picture.Height() && palette.Fits; ++y) {
        const uint32_t* row = Picture.Row(y);
        // Runs of one colour are the rule in drawn pictures: each run is looked up once.
        for (int x = 0; x < Picture.Width() && palette.Fits; ++x)
            if (x == 0 || row[x] != row[x - 1])
                palette.Fits = palette.Add(ColourOf(Picture, row[x]));
    }
    if (!palette.Fits) palette.Colours.clear();
    return palette;
}

bool Translucent(const TRasterImage& Picture) {
    if (!Picture.HasAlpha()) return false;
    for (int y = 0; y < Picture.Height(); ++y) {
        const uint32_t* row = Picture.Row(y);
        for (int x = 0; x < Picture.Width(); ++x)
            if (row[x] >> 24 != 0xFF) return true;
    }
    return false;
}

// Row Y as PNG stores it: the filter byte (0, none), then the samples.
void ScanLine(const TRasterImage& Picture, int Y, const TPalette& Palette, int Bits, bool WithAlpha,
              std::vector<uint8_t>& Line) {
    std::fill(Line.begin(), Line.end(), 0);
    const uint32_t* row = Picture.Row(Y);
    uint8_t* out = Line.data() + 1;
    if (Bits > 0) {
        // Palette indices, leftmost pixel in the highest bits of its byte.
        const int perByte = 8 / Bits;
        uint32_t last = ~ColourOf(Picture, row[0]);
        int index = 0;
        for (int x = 0; x < Picture.Width(); ++x) {
            const uint32_t c = ColourOf(Picture, row[x]);
            if (c != last) {
                index = Palette.IndexOf(c);
                last = c;
            }
            const int shift = 8 - Bits * (x % perByte + 1);
            out[x / perByte] |= static_cast<uint8_t>(index << shift);
        }
        return;
    }
    for (int x = 0; x < Picture.Width(); ++x) {
        const uint32_t p = row[x];
        *out++ = static_cast<uint8_t>(p >> 16);
        *out++ = static_cast<uint8_t>(p >> 8);
        *out++ = static_cast<uint8_t>(p);
        if (WithAlpha) *out++ = static_cast<uint8_t>(p >> 24);
    }
}

// Deflates the rows into IDAT chunks of Out. False with zlib's reason when
// it fails.
bool PutPixels(std::vector<uint8_t>& Out, const TRasterImage& Picture, const TPalette& Palette,
               int Bits, bool WithAlpha, std::string& Reason) {
    const size_t samples = Bits > 0 ? (static_cast<size_t>(Picture.Width()) * Bits + 7) / 8
                                    : static_cast<size_t>(Picture.Width()) * (WithAlpha ? 4 : 3);
    std::vector<uint8_t> line(1 + samples);
    std::vector<uint8_t> chunk(MaxChunkData);
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) {
        Reason = z.msg ? z.msg : "out of memory";
        return false;
    }
    auto putChunk = [&] {
        const size_t size = chunk.size() - z.avail_out;
        if (size > 0) PutChunk(Out, "IDAT", chunk.data(), size);
        z.next_out = chunk.data();
        z.avail_out = static_cast<uInt>(chunk.size());
    };
    z.next_out = chunk.data();
    z.avail_out = static_cast<uInt>(chunk.size());
    bool ok = true;
    for (int y = 0; y < Picture.Height() && ok; ++y) {
        ScanLine(Picture, y, Palette, Bits, WithAlpha, line);
        z.next_in = line.data();
        z.avail_in = static_cast<uInt>(line.size());
        // With input and room for output, each call moves on.
        while (ok && z.avail_in > 0) {
            ok = deflate(&z, Z_NO_FLUSH) == Z_OK;
            if (z.avail_out == 0) putChunk();
        }
    }
    while (ok) {
        const int status = deflate(&z, Z_FINISH);
        ok = status == Z_OK || status == Z_STREAM_END;
        if (ok && (z.avail_out == 0 || status == Z_STREAM_END)) putChunk();
        if (status == Z_STREAM_END) break;
    }
    if (!ok) Reason = z.msg ? z.msg : "the compressor failed";
    deflateEnd(&z);
    return ok;
}

} // namespace

bool TPngWriter::Encode(const TRasterImage& Picture, std::vector<uint8_t>& Png,
                        std::string& Reason) {
    Png.clear();
    if (Picture.IsNull()) {
        Reason = "nothing to encode";
        return false;
    }
    try {
        const TPalette palette = PaletteOf(Picture);
        const size_t colours = palette.Colours.size();
        const int bits = !palette.Fits   ? 0
                         : colours <= 2  ? 1
                         : colours <= 4  ? 2
                         : colours <= 16 ? 4
                                         : 8;
        const bool alpha = Translucent(Picture);

        Png.assign(std::begin(Signature), std::end(Signature));
        std::vector<uint8_t> header;
        PutBig32(header, static_cast<uint32_t>(Picture.Width()));
        PutBig32(header, static_cast<uint32_t>(Picture.Height()));
        header.push_back(static_cast<uint8_t>(bits > 0 ? bits : 8));
        header.push_back(bits > 0 ? 3 : alpha ? 6 : 2); // palette, RGBA or RGB
        header.insert(header.end(), {0, 0, 0});         // deflate, adaptive filters, no interlace
        PutChunk(Png, "IHDR", header.data(), header.size());
        if (bits > 0) {
            std::vector<uint8_t> rgb, opacity;
            for (uint32_t c : palette.Colours) {
                rgb.insert(rgb.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                       static_cast<uint8_t>(c)});
                opacity.push_back(static_cast<uint8_t>(c >> 24));
            }
            PutChunk(Png, "PLTE", rgb.data(), rgb.size());
            // Opacity of each entry, up to the last one that is not opaque.
            while (!opacity.empty() && opacity.back() == 0xFF)
                opacity.pop_back();
            if (!opacity.empty()) PutChunk(Png, "tRNS", opacity.data(), opacity.size());
        }
        if (!PutPixels(Png, Picture, palette, bits, alpha && bits == 0, Reason)) {
            Png.clear();
            return false;
        }
        PutChunk(Png, "IEND", nullptr, 0);
    } catch (const std::bad_alloc&) {
        Png.clear();
        Reason = "out of memory";
        return false;
    }
    return true;
}

} // namespace DpuRom
