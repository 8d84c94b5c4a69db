#include "util/tbmpreader.h"

#include "util/eygeneral.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace YVclUtil {

namespace {

constexpr uint32_t Le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}
constexpr uint32_t Le32(const uint8_t* p) {
    return Le16(p) | Le16(p + 2) << 16;
}

constexpr size_t FileHeaderBytes = 14;
constexpr uint32_t CoreHeader = 12;
// A resolution beyond this many pixels a metre (25400 dots an inch) is no
// device's: the field is damaged.
constexpr int32_t MaxDensity = 1000000;

enum : uint32_t {
    BiRgb = 0,
    BiRle8 = 1,
    BiRle4 = 2,
    BiBitFields = 3,
    BiJpeg = 4,
    BiPng = 5,
    BiAlphaBitFields = 6
};

std::string Hex(uint32_t Value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", Value);
    return text;
}

std::string Num(uint64_t Value) {
    return std::to_string(Value);
}

bool IsWindowsHeader(uint32_t Size) {
    return Size == 40 || Size == 52 || Size == 56 || Size == 108 || Size == 124;
}

// One channel of a bit-field pixel scaled to 8 bits; a value that is not 0
// never becomes 0, so black stays exactly the stored black.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    uint64_t Max = 0;
    uint32_t To8(uint32_t Pixel) const {
        if (!Mask) return 0;
        const uint64_t v = (Pixel & Mask) >> Shift;
        if (v == 0) return 0;
        const uint64_t scaled = (v * 255 + Max / 2) / Max;
        return scaled ? static_cast<uint32_t>(scaled) : 1;
    }
};

TChannel Channel(uint32_t Mask) {
    TChannel c;
    c.Mask = Mask;
    if (Mask) {
        c.Shift = std::countr_zero(Mask);
        c.Max = (uint64_t{Mask} >> c.Shift);
    }
    return c;
}

// Writes the lit map: palette pixels through a lit table, direct-colour pixels
// by testing the colour bits of the stored value.
struct TLitSink {
    uint8_t* Out = nullptr;
    size_t Width = 0;
    uint32_t ColourBits = 0;
    std::array<uint8_t, 257> Table{};
    void Indexes(int32_t Y, const uint16_t* Row) {
        uint8_t* out = Out + static_cast<size_t>(Y) * Width;
        for (size_t x = 0; x < Width; ++x)
            out[x] = Table[Row[x]];
    }
    void Direct(int32_t Y, const uint32_t* Row) {
        uint8_t* out = Out + static_cast<size_t>(Y) * Width;
        for (size_t x = 0; x < Width; ++x)
            out[x] = (Row[x] & ColourBits) == 0;
    }
};

struct TArgbSink {
    uint32_t* Out = nullptr;
    size_t Width = 0;
    const uint32_t* Colours = nullptr;
    std::array<TChannel, 4> Channels{};
    void Indexes(int32_t Y, const uint16_t* Row) {
        uint32_t* out = Out + static_cast<size_t>(Y) * Width;
        for (size_t x = 0; x < Width; ++x)
            out[x] = Colours[Row[x]];
    }
    void Direct(int32_t Y, const uint32_t* Row) {
        uint32_t* out = Out + static_cast<size_t>(Y) * Width;
        const bool alpha = Channels[3].Mask != 0;
        for (size_t x = 0; x < Width; ++x) {
            const uint32_t p = Row[x];
            out[x] = (alpha ? Channels[3].To8(p) : 0xFFu) << 24 | Channels[0].To8(p) << 16 |
                     Channels[1].To8(p) << 8 | Channels[2].To8(p);
        }
    }
};

} // namespace

bool TBmpReader::Fail(std::string Why) {
    FReason = std::move(Why);
    FOpen = false;
    return false;
}

bool TBmpReader::ReadMasks(const uint8_t* At, int Count) {
    for (int i = 0; i < 4; ++i)
        FMasks[static_cast<size_t>(i)] = i < Count ? Le32(At + 4 * i) : 0;
    return CheckMasks();
}

bool TBmpReader::CheckMasks() {
    static const char* const names[4] = {"red", "green", "blue", "alpha"};
    uint32_t seen = 0;
    for (size_t i = 0; i < 4; ++i) {
        const uint32_t m = FMasks[i];
        if (m == 0) {
            if (i < 3) return Fail(std::string("the ") + names[i] + " bit mask is empty");
            continue;
        }
        const uint32_t run = m >> std::countr_zero(m);
        if ((run & (run + 1)) != 0)
            return Fail(std::string("the ") + names[i] + " bit mask " + Hex(m) +
                        " is not one run of bits");
        if (FBits < 32 && (m >> FBits) != 0)
            return Fail(std::string("the ") + names[i] + " bit mask " + Hex(m) + " is wider than " +
                        Num(FBits) + " bits");
        if (seen & m)
            return Fail(std::string("the ") + names[i] + " bit mask " + Hex(m) +
                        " overlaps another mask");
        seen |= m;
    }
    return true;
}

bool TBmpReader::Open(const uint8_t* Data, size_t Size, const TLimits& Limits) {
    // A reader never opened is as new; one opened before starts over.
    if (FData) *this = TBmpReader();
    FData = Data;
    FSize = Size;
    if (Size < 2 || Data[0] != 'B' || Data[1] != 'M') return Fail("not a Windows bitmap");
    if (Size > MaxFileBytes) return Fail("file too large");
    if (Size < FileHeaderBytes + 4) return Fail("file cut short in its header");
    const uint32_t fileSize = Le32(Data + 2);
    if (fileSize > Size)
        return Fail("file cut short: " + Num(Size) + " of " + Num(fileSize) + " bytes");
    const uint32_t offBits = Le32(Data + 10);
    const uint8_t* info = Data + FileHeaderBytes;
    const uint32_t headerSize = Le32(info);
    const bool core = headerSize == CoreHeader;
    const bool windows = IsWindowsHeader(headerSize);
    if (!core && !windows && (headerSize < 16 || headerSize > 64))
        return Fail("unknown header size " + Num(headerSize));
    if (FileHeaderBytes + headerSize > Size) return Fail("file cut short in its header");
    // A field of an OS/2 2.x header that is shorter than the whole 64 bytes
    // reads as 0.
    auto field32 = [&](uint32_t at) { return at + 4 <= headerSize ? Le32(info + at) : 0u; };

    int64_t width = 0, height = 0;
    uint32_t planes = 0;
    if (core) {
        width = Le16(info + 4);
        height = Le16(info + 6);
        planes = Le16(info + 8);
        FBits = Le16(info + 10);
    } else {
        width = static_cast<int32_t>(Le32(info + 4));
        height = static_cast<int32_t>(Le32(info + 8));
        planes = Le16(info + 12);
        FBits = Le16(info + 14);
    }
    if (width <= 0) return Fail("width " + std::to_string(width) + " is not positive");
    if (height == 0) return Fail("height is 0");
    FTopDown = height < 0;
    if (FTopDown) height = -height;
    // The declared size decides before anything is decoded: a run-length
    // stream of a few bytes may claim millions of pixels.
    const int64_t side = std::min<int64_t>(Limits.Side, MaxSide);
    const uint64_t most = std::min(Limits.Pixels, MaxPixels);
    if (width > side || height > side ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > most)
        return Fail("picture too large: " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels (at most " + std::to_string(side) + " a side and " + Num(most) +
                    " in all)");
    FWidth = static_cast<int32_t>(width);
    FHeight = static_cast<int32_t>(height);
    if (planes != 1) return Fail("planes must be 1, not " + Num(planes));
    const uint32_t compression = field32(16);
    // Embedded JPEG and PNG pictures carry a bit depth of 0: say what they are.
    if (windows && compression == BiJpeg) return Fail("JPEG compression is not supported");
    if (windows && compression == BiPng) return Fail("PNG compression is not supported");
    if (!(FBits == 1 || FBits == 2 || FBits == 4 || FBits == 8 || FBits == 16 || FBits == 24 ||
          FBits == 32))
        return Fail("unsupported bit depth " + Num(FBits));
    if (!windows && !core) {
        if (compression == 3) return Fail("Huffman 1D compression is not supported");
        if (compression == 4) return Fail("RLE24 compression is not supported");
    }
    switch (compression) {
    case BiRgb:
        FKind = FBits <= 8 ? TKind::Indexed : TKind::Direct;
        break;
    case BiRle8:
    case BiRle4: {
        const bool rle8 = compression == BiRle8;
        if (FBits != (rle8 ? 8u : 4u))
            return Fail(std::string(rle8 ? "RLE8" : "RLE4") + " compression with " + Num(FBits) +
                        " bits a pixel");
        if (FTopDown) return Fail("run-length compressed picture stored top-down");
        FKind = rle8 ? TKind::Rle8 : TKind::Rle4;
        break;
    }
    case BiBitFields:
    case BiAlphaBitFields:
        if (FBits != 16 && FBits != 32)
            return Fail("bit fields with " + Num(FBits) + " bits a pixel");
        FKind = TKind::Direct;
        break;
    default:
        return Fail("unknown compression " + Num(compression));
    }

    if (!core) {
        const int32_t xDensity = static_cast<int32_t>(field32(24));
        const int32_t yDensity = static_cast<int32_t>(field32(28));
        if (xDensity < 0 || xDensity > MaxDensity || yDensity < 0 || yDensity > MaxDensity)
            return Fail("resolution out of range (" + std::to_string(xDensity) + " x " +
                        std::to_string(yDensity) + " pixels a metre)");
    }

    // Bit masks: inside a V2 or later header, or right after an info header.
    size_t tableAt = FileHeaderBytes + headerSize;
    if (FKind == TKind::Direct) {
        if (compression == BiRgb) {
            FMasks = FBits == 16 ? std::array<uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0}
                                 : std::array<uint32_t, 4>{0xFF0000, 0x00FF00, 0x0000FF, 0};
        } else if (headerSize >= 52) {
            if (!ReadMasks(info + 40, headerSize >= 56 ? 4 : 3)) return false;
        } else {
            const int count = compression == BiAlphaBitFields ? 4 : 3;
            if (tableAt + 4 * static_cast<size_t>(count) > Size)
                return Fail("file cut short in its bit masks");
            if (!ReadMasks(Data + tableAt, count)) return false;
            tableAt += 4 * static_cast<size_t>(count);
        }
    }

    // Colour table.
    uint64_t entries = 0;
    const size_t entryBytes = core ? 3 : 4;
    if (core) {
        if (FBits <= 8) {
            const uint64_t room = offBits > tableAt ? (offBits - tableAt) / 3 : 0;
            entries = std::min<uint64_t>(room, uint64_t{1} << FBits);
        }
    } else {
        const uint32_t used = field32(32);
        entries = used ? used : (FBits <= 8 ? uint64_t{1} << FBits : 0);
    }
    const uint64_t tableEnd = tableAt + entries * entryBytes;
    if (tableEnd > Size)
        return Fail("colour table of " + Num(entries) + " entries runs past the end of the file");
    if (offBits < tableEnd)
        return Fail("pixel data at offset " + Num(offBits) +
                    " overlap the headers or the colour table");
    if (FBits <= 8) {
        FColourCount = static_cast<uint32_t>(std::min<uint64_t>(entries, uint64_t{1} << FBits));
        for (uint32_t i = 0; i < FColourCount; ++i) {
            const uint8_t* e = Data + tableAt + entryBytes * i;
            FColours[i] = 0xFF000000u | static_cast<uint32_t>(e[2]) << 16 |
                          static_cast<uint32_t>(e[1]) << 8 | e[0];
        }
    }
    FColours[256] = 0xFFFFFFFFu;

    // Pixel data.
    if (offBits >= Size) return Fail("file cut short before its pixel data");
    FPixelsAt = offBits;
    const uint32_t imageSize = field32(20);
    if (imageSize > Size - offBits)
        return Fail("image size field (" + CountOf(imageSize, "byte") +
                    ") larger than the pixel data (" + CountOf(Size - offBits, "byte") + ")");
    if (FKind == TKind::Indexed || FKind == TKind::Direct) {
        FRowBytes = ((static_cast<size_t>(FWidth) * FBits + 31) / 32) * 4;
        const uint64_t need = static_cast<uint64_t>(FRowBytes) * static_cast<uint64_t>(FHeight);
        if (need > Size - offBits)
            return Fail("pixel data cut short: " + Num(Size - offBits) + " of " + Num(need) +
                        " bytes");
    }
    FOpen = true;
    return true;
}

template <class TSink> bool TBmpReader::DecodeRows(TSink& Sink) {
    const size_t w = static_cast<size_t>(FWidth);
    std::vector<uint16_t> indexes(FKind == TKind::Indexed ? w : 0);
    std::vector<uint32_t> words(FKind == TKind::Direct ? w : 0);
    for (int32_t y = 0; y < FHeight; ++y) {
        const size_t stored = static_cast<size_t>(FTopDown ? y : FHeight - 1 - y);
        const uint8_t* row = FData + FPixelsAt + stored * FRowBytes;
        if (FKind == TKind::Direct) {
            if (FBits == 16)
                for (size_t x = 0; x < w; ++x)
                    words[x] = Le16(row + 2 * x);
            else if (FBits == 24)
                for (size_t x = 0; x < w; ++x)
                    words[x] = Le16(row + 3 * x) | static_cast<uint32_t>(row[3 * x + 2]) << 16;
            else
                for (size_t x = 0; x < w; ++x)
                    words[x] = Le32(row + 4 * x);
            Sink.Direct(y, words.data());
            continue;
        }
        const uint32_t perByte = 8 / FBits;
        const uint32_t mask = (1u << FBits) - 1;
        uint32_t highest = 0;
        for (size_t x = 0; x < w; ++x) {
            const uint32_t shift = 8 - FBits * (1 + static_cast<uint32_t>(x % perByte));
            const uint32_t index = (row[x / perByte] >> shift) & mask;
            indexes[x] = static_cast<uint16_t>(index);
            highest = std::max(highest, index);
        }
        if (highest >= FColourCount) {
            const size_t x =
                static_cast<size_t>(std::find_if(indexes.begin(), indexes.end(),
                                                 [&](uint16_t i) { return i >= FColourCount; }) -
                                    indexes.begin());
            return Fail("palette index " + Num(indexes[x]) + " at (" + Num(x) + ", " +
                        Num(static_cast<uint32_t>(y)) + ") is past the colour table of " +
                        Num(FColourCount) + " entries");
        }
        Sink.Indexes(y, indexes.data());
    }
    return true;
}

template <class TSink> bool TBmpReader::DecodeRle(TSink& Sink) {
    const size_t w = static_cast<size_t>(FWidth), h = static_cast<size_t>(FHeight);
    // Stored bottom row first; 256 stands for a pixel the stream skips.
    std::vector<uint16_t> pixels(w * h, 256);
    const uint8_t* d = FData + FPixelsAt;
    const size_t n = FSize - FPixelsAt;
    const bool rle8 = FKind == TKind::Rle8;
    size_t p = 0, x = 0, y = 0;
    auto where = [&] { return " at (" + Num(x) + ", " + Num(h - 1 - std::min(y, h - 1)) + ")"; };
    auto put = [&](uint32_t Index) {
        if (Index >= FColourCount)
            return Fail("palette index " + Num(Index) + where() + " is past the colour table of " +
                        Num(FColourCount) + " entries");
        pixels[y * w + x++] = static_cast<uint16_t>(Index);
        return true;
    };
    for (;;) {
        if (n - p < 2) return Fail("run-length data end without an end-of-bitmap mark");
        const uint32_t count = d[p], value = d[p + 1];
        p += 2;
        if (count > 0) {
            if (y >= h || x + count > w)
                return Fail("run of " + Num(count) + " pixels" + where() +
                            " runs out of the picture");
            for (uint32_t i = 0; i < count; ++i)
                if (!put(rle8 ? value : (i & 1) ? value & 0x0F : value >> 4)) return false;
            continue;
        }
        if (value == 0) { // end of line
            if (y >= h) return Fail("end of line below the last row");
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (n - p < 2) return Fail("run-length data end inside a delta");
            const size_t dx = d[p], dy = d[p + 1];
            p += 2;
            if (x + dx > w || y + dy >= h)
                return Fail("delta (" + Num(dx) + ", " + Num(dy) + ")" + where() +
                            " leaves the picture");
            x += dx;
            y += dy;
        } else { // absolute block of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = rle8 ? value : (value + 1) / 2;
            const size_t padded = bytes + (bytes & 1);
            if (n - p < padded) return Fail("run-length data end inside an absolute block");
            if (y >= h || x + value > w)
                return Fail("absolute block of " + Num(value) + " pixels" + where() +
                            " runs out of the picture");
            for (uint32_t i = 0; i < value; ++i) {
                const uint8_t b = d[p + (rle8 ? i : i / 2)];
                if (!put(rle8 ? b : (i & 1) ? b & 0x0F : b >> 4)) return false;
            }
            p += padded;
        }
    }
    for (size_t row = 0; row < h; ++row)
        Sink.Indexes(static_cast<int32_t>(h - 1 - row), pixels.data() + row * w);
    return true;
}

template <class TSink> bool TBmpReader::Decode(TSink& Sink) {
    if (!FOpen) return false;
    return FKind == TKind::Rle8 || FKind == TKind::Rle4 ? DecodeRle(Sink) : DecodeRows(Sink);
}

bool TBmpReader::DecodeLit(std::vector<uint8_t>& Lit) {
    Lit.clear();
    if (!FOpen) {
        if (FReason.empty()) FReason = "no picture open";
        return false;
    }
    Lit.assign(static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight), 0);
    TLitSink sink;
    sink.Out = Lit.data();
    sink.Width = static_cast<size_t>(FWidth);
    sink.ColourBits = FMasks[0] | FMasks[1] | FMasks[2];
    for (size_t i = 0; i < sink.Table.size(); ++i)
        sink.Table[i] = (FColours[i] & 0x00FFFFFFu) == 0;
    if (!Decode(sink)) {
        Lit.clear();
        return false;
    }
    return true;
}

bool TBmpReader::DecodeArgb(std::vector<uint32_t>& Argb) {
    Argb.clear();
    if (!FOpen) {
        if (FReason.empty()) FReason = "no picture open";
        return false;
    }
    Argb.assign(static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight), 0);
    TArgbSink sink;
    sink.Out = Argb.data();
    sink.Width = static_cast<size_t>(FWidth);
    sink.Colours = FColours.data();
    for (size_t i = 0; i < 4; ++i)
        sink.Channels[i] = Channel(FMasks[i]);
    if (!Decode(sink)) {
        Argb.clear();
        return false;
    }
    return true;
}

bool TBmpReader::MonoRows(TMonoRows& Rows) const {
    if (!FOpen || FKind != TKind::Indexed || FBits != 1 || FColourCount < 2) return false;
    const uint8_t* first = FData + FPixelsAt;
    const ptrdiff_t stride = static_cast<ptrdiff_t>(FRowBytes);
    Rows.Top = FTopDown ? first : first + stride * (FHeight - 1);
    Rows.Stride = FTopDown ? stride : -stride;
    Rows.LitWhenSet = (FColours[1] & 0x00FFFFFFu) == 0;
    Rows.LitWhenClear = (FColours[0] & 0x00FFFFFFu) == 0;
    return true;
}

} // namespace YVclUtil
