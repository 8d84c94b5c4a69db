#include "rom/bitmapconversion.h"

#include "project/tpictureimage.h"
#include "rom/erombuild.h"
#include "util/fileaccess.h"
#include "util/tbmpreader.h"

#include <algorithm>
#include <cstring>

namespace DpuRom {

namespace {

void CheckSize(int w, int h, const std::string& name) {
    if (w > 0xFFFF || h > 0xFFFF)
        throw ERomBuild("Error", "Picture too large (" + std::to_string(w) + " x " +
                                     std::to_string(h) + "): " + name);
}

std::vector<uint8_t> NewPacked(unsigned w, unsigned h) {
    const uint64_t bytes = static_cast<uint64_t>(w) * h / 8;
    std::vector<uint8_t> out(4 + bytes, 0);
    out[0] = static_cast<uint8_t>(w & 0xFF);
    out[1] = static_cast<uint8_t>(w >> 8);
    out[2] = static_cast<uint8_t>(h & 0xFF);
    out[3] = static_cast<uint8_t>(h >> 8);
    return out;
}

// Bands of eight lit rows, one byte per column (Lit is W x H, row after row).
std::vector<uint8_t> PackLit(const std::vector<uint8_t>& Lit, int w, int h) {
    std::vector<uint8_t> out = NewPacked(static_cast<unsigned>(w), static_cast<unsigned>(h));
    const size_t stride = static_cast<size_t>(w);
    uint8_t* band = out.data() + 4;
    for (int b = 0; b < h / 8; ++b, band += w) {
        const uint8_t* rows = Lit.data() + 8 * static_cast<size_t>(b) * stride;
        for (int k = 0; k < 8; ++k) {
            const uint8_t* row = rows + static_cast<size_t>(k) * stride;
            for (int x = 0; x < w; ++x)
                band[x] |= static_cast<uint8_t>(row[x] << k);
        }
    }
    return out;
}

// The same turned a quarter counter-clockwise (Lit is Ws x Hs).
std::vector<uint8_t> PackLitRotated(const std::vector<uint8_t>& Lit, int ws, int hs) {
    // Packed W = Hs, H = Ws. Packed pixel (x, 8b + k) is source (Ws - 1 - 8b - k, x):
    // source row x feeds column x of every band, read from its right-hand end.
    std::vector<uint8_t> out = NewPacked(static_cast<unsigned>(hs), static_cast<unsigned>(ws));
    const int bands = ws / 8;
    uint8_t* data = out.data() + 4;
    for (int x = 0; x < hs; ++x) {
        const uint8_t* row = Lit.data() + static_cast<size_t>(x) * static_cast<size_t>(ws);
        for (int b = 0; b < bands; ++b) {
            const uint8_t* from = row + (ws - 1 - 8 * b);
            const uint8_t byte =
                static_cast<uint8_t>(from[0] | from[-1] << 1 | from[-2] << 2 | from[-3] << 3 |
                                     from[-4] << 4 | from[-5] << 5 | from[-6] << 6 | from[-7] << 7);
            data[static_cast<size_t>(b) * static_cast<size_t>(hs) + static_cast<size_t>(x)] = byte;
        }
    }
    return out;
}

// PackLitRotated for a one-bit bitmap, straight from its stored rows: a packed
// byte is eight neighbouring pixels of one row, leftmost in bit 7, which is the
// stored bit order, so each is a (possibly shifted) stored byte mapped through
// the two colours. Needs Ws >= 8.
std::vector<uint8_t> PackMonoRotated(const YVclUtil::TBmpReader::TMonoRows& Rows, int32_t ws,
                                     int32_t hs) {
    std::vector<uint8_t> out = NewPacked(static_cast<unsigned>(hs), static_cast<unsigned>(ws));
    const int bands = ws / 8;
    // Band b holds pixels first .. first + 7 of every row, first = Ws - 8 - 8b:
    // the same bit offset (Ws mod 8) in every band.
    const int shift = ws & 7;
    // A set bit lights the pixel, or a clear one does, or neither or both.
    const bool setLit = Rows.LitWhenSet, clearLit = Rows.LitWhenClear;
    uint8_t* data = out.data() + 4;
    for (int b = 0; b < bands; ++b) {
        const int at = (ws - 8 - 8 * b) >> 3;
        uint8_t* band = data + static_cast<size_t>(b) * static_cast<size_t>(hs);
        if (setLit == clearLit) {
            std::memset(band, setLit ? 0xFF : 0, static_cast<size_t>(hs));
            continue;
        }
        const uint8_t flip = clearLit ? 0xFF : 0;
        const uint8_t* row = Rows.Top + at;
        if (shift == 0) {
            // Four rows a step: the reads stride through the picture, so the
            // loop's own counting would otherwise cost as much as the copy.
            const ptrdiff_t stride = Rows.Stride;
            int32_t x = 0;
            for (; x + 4 <= hs; x += 4, row += 4 * stride) {
                band[x] = static_cast<uint8_t>(row[0] ^ flip);
                band[x + 1] = static_cast<uint8_t>(row[stride] ^ flip);
                band[x + 2] = static_cast<uint8_t>(row[2 * stride] ^ flip);
                band[x + 3] = static_cast<uint8_t>(row[3 * stride] ^ flip);
            }
            for (; x < hs; ++x, row += stride)
                band[x] = static_cast<uint8_t>(row[0] ^ flip);
            continue;
        }
        for (int32_t x = 0; x < hs; ++x, row += Rows.Stride)
            band[x] = static_cast<uint8_t>((row[0] << shift | row[1] >> (8 - shift)) ^ flip);
    }
    return out;
}

[[noreturn]] void Refuse(const std::string& Name, const std::string& Reason) {
    throw ERomBuild("Error", "Cannot load picture \"" + Name + "\": " + Reason);
}

void OpenPicture(YVclUtil::TBmpReader& Reader, const uint8_t* Data, size_t Size,
                 const std::string& Name) {
    if (!Reader.Open(Data, Size)) Refuse(Name, Reader.Reason());
}

} // namespace

namespace {

void ReadPictureFile(const std::string& FileName, std::vector<uint8_t>& data,
                     YVclUtil::TFileStatus* Read = nullptr,
                     const YVclUtil::TFileStatus* Found = nullptr) {
    std::string reason;
    if (!YVclUtil::ReadWholeFile(FileName, data, reason, YVclUtil::TBmpReader::MaxFileBytes, Read,
                                 Found))
        Refuse(FileName, reason);
}

} // namespace

std::vector<uint8_t> ConvertPictureData(const uint8_t* Data, size_t Size, int DispHv,
                                        const std::string& LoadName, const std::string& PackName) {
    YVclUtil::TBmpReader reader;
    OpenPicture(reader, Data, Size, LoadName);
    const int w = reader.Width(), h = reader.Height();
    const bool turned = DispHv == 1;
    if (turned)
        CheckSize(h, w, PackName);
    else
        CheckSize(w, h, PackName);
    YVclUtil::TBmpReader::TMonoRows rows;
    if (turned && w >= 8 && reader.MonoRows(rows)) return PackMonoRotated(rows, w, h);
    // Pixel data are checked in full even when no whole band is packed, so a
    // picture is refused or accepted whatever its height.
    std::vector<uint8_t> lit;
    if (!reader.DecodeLit(lit)) Refuse(LoadName, reader.Reason());
    if (turned)
        return w < 8 ? NewPacked(static_cast<unsigned>(h), static_cast<unsigned>(w))
                     : PackLitRotated(lit, w, h);
    return h < 8 ? NewPacked(static_cast<unsigned>(w), static_cast<unsigned>(h))
                 : PackLit(lit, w, h);
}

std::vector<uint8_t> ConvertPictureFile(const std::string& FileName, int DispHv,
                                        YVclUtil::TFileStatus* Read,
                                        const YVclUtil::TFileStatus* Found) {
    std::vector<uint8_t> data;
    ReadPictureFile(FileName, data, Read, Found);
    return ConvertPictureData(data.data(), data.size(), DispHv, FileName, FileName);
}

YVclUtil::TRasterImage LoadPicture(const std::string& FileName) {
    std::vector<uint8_t> data;
    ReadPictureFile(FileName, data);
    return LoadPictureData(data.data(), data.size(), FileName);
}

YVclUtil::TRasterImage LoadPictureData(const uint8_t* Data, size_t Size, const std::string& Name) {
    YVclUtil::TRasterImage picture;
    std::string reason;
    if (!DpuProject::TPictureImage::Decode(Data, Size, picture, reason)) Refuse(Name, reason);
    return picture;
}

} // namespace DpuRom
