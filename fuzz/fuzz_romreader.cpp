// Feeds the ROM image reader damaged images. An input of exactly 64512 bytes is
// read as it is; any other input is a list of patches, three bytes each (offset
// high, offset low, value; the offset scaled over the whole image), applied to
// a small valid image, so most runs get past the size and CRC table checks
// and reach the address tables, the code tables and the pictures. Whatever is
// read must stay inside the image, every picture must be drawable, and a
// refusal must name an offset inside the image or its end. The pictures
// inspect --png writes are drawn too, within the painter's memory budget.
#include "rom/romlayout.h"
#include "rom/tromimagediff.h"
#include "rom/tromimagepainter.h"
#include "rom/tromimagereader.h"
#include "rom/tromimagetext.h"
#include "util/crc8.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace DpuRom;

namespace {

using namespace RomLayout;

void Put(std::vector<uint8_t>& I, size_t At, unsigned Address) {
    I[At] = static_cast<uint8_t>(Address >> 8);
    I[At + 1] = static_cast<uint8_t>(Address);
}

// Glyphs 1 and 2, one user bitmap shared by two codes, two messages, three
// direction frames, a logo: what a small build leaves.
std::vector<uint8_t> BaseImage() {
    std::vector<uint8_t> i(ImageSize, 0);
    for (size_t t : {CrcTable, ReservedTable1, ReservedTable2, UserBitmapTable, GlyphTable})
        std::memcpy(i.data() + t, YVclUtil::Crc8Table, 256);
    for (size_t k = 0; k < FloorZoneSize; ++k)
        i[FloorZone + k] = YVclUtil::Crc8Table[k & 0xFF];
    for (size_t k = 0; k < AuxBlockSize; ++k)
        i[AuxBlock + k] = YVclUtil::Crc8Table[k & 0xFF];
    for (size_t c = 0; c < GlyphCount; ++c)
        Put(i, GlyphTable + 2 * c, 0);
    Put(i, GlyphTable + 2 * '1', 0x8400);
    Put(i, GlyphTable + 2 * '2', 0x8500);
    Put(i, UserBitmapTable, 0x8600);
    for (size_t k = 0x8400; k < 0x8800; ++k)
        i[k] = static_cast<uint8_t>(k * 37);
    i[SettingsRecord + 1] = 1;
    i[SettingsRecord + 4] = 3;
    i[CodeTableSecond(0) + 0] = '1';
    i[CodeTableFirst(0) + 1] = '1';
    i[CodeTableSecond(0) + 1] = '2';
    i[CodeTableFirst(1) + 5] = 0xFE;
    i[CodeTableFirst(2) + 9] = 0xFE;
    Put(i, MessageTable, 0x2808);
    Put(i, MessageTable + 2, 0x2888);
    for (size_t k = MessageZone; k < MessageZone + 256; ++k)
        i[k] = static_cast<uint8_t>(k);
    Put(i, DirTables, 0x3C80);
    Put(i, DirTables + 2, 0x3C80 + 288);
    Put(i, DirTables + 24, 0x3C80 + 576);
    for (size_t k = DirZone; k < DirZone + 864; ++k)
        i[k] = static_cast<uint8_t>(k >> 1);
    for (size_t k = 0; k < LogoZoneSize; ++k)
        i[LogoZone + k] = static_cast<uint8_t>(k ^ 0x5A);
    return i;
}

void Check(bool Condition) {
    if (!Condition) std::abort();
}

void CheckPicture(const DpuRom::TRomPicture& P) {
    if (!P.Present()) return;
    Check(P.Offset + P.Length <= ImageSize && P.Bytes.size() == P.Length);
    Check(P.Width > 0 && P.Height > 0);
    const DpuRom::TRomImagePainter::TPicture drawn = DpuRom::TRomImagePainter::Picture(P);
    Check(drawn.Width() == P.Width && drawn.Height() == P.Height);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static const std::vector<uint8_t> base = BaseImage();
    std::vector<uint8_t> image;
    if (Size == ImageSize) {
        image.assign(Data, Data + Size);
    } else {
        image = base;
        for (size_t k = 0; k + 3 <= Size; k += 3) {
            const size_t at = ((static_cast<size_t>(Data[k]) << 8 | Data[k + 1]) * ImageSize) >> 16;
            image[at] = Data[k + 2];
        }
        // A patch list whose length is not a multiple of 3 also cuts the image short.
        if (Size % 3 != 0) image.resize((Size * 997) % ImageSize);
    }

    DpuRom::TRomImageReader reader;
    DpuRom::TRomImage read;
    if (!reader.Read(image.data(), image.size(), read)) {
        Check(!reader.LastErrMsg.empty() &&
              reader.LastErrOffset <= std::max(image.size(), ImageSize));
        return 0;
    }
    for (const auto& p : read.Glyphs)
        CheckPicture(p);
    for (const auto& p : read.UserBitmaps)
        CheckPicture(p);
    for (const auto& p : read.Messages)
        CheckPicture(p);
    for (const auto& style : read.DirFrames)
        for (const auto& p : style)
            CheckPicture(p);
    for (const auto& p : read.SmallGlyphs)
        CheckPicture(p);
    CheckPicture(read.Logo);
    CheckPicture(read.Screen);
    for (int t = 0; t < 3; ++t)
        for (int n = 0; n < 256; n += 17)
            Check(!DpuRom::TRomImagePainter::Code(read, t, n).IsNull());
    // Every picture inspect --png and the window draw keeps to the painter's
    // budget, whatever sizes the damaged tables suggest; the fuzz script runs
    // this target under a malloc and RSS limit, so an oversized picture fails.
    // Four times enlarged, as --png writes them, in a share of the runs: the
    // budget holds at any scale, and the enlargement is the costly part.
    Check(DpuRom::TRomImagePainter::PaintAll(
        read, Size % 4 == 0 ? 4 : 1,
        [](const DpuRom::TRomImagePainter::TPicture& P, const std::string&) {
            Check(!P.IsNull() && P.SizeInBytes() <= DpuRom::TRomImagePainter::MaxPictureBytes);
            return true;
        }));
    // The JSON form costs more than the reading; a share of the runs is enough.
    if (Size % 8 == 0) Check(!DpuRom::TRomImageText::Json(read, "fuzz").empty());

    // Reading is a function of the bytes: a second reading agrees.
    DpuRom::TRomImage again;
    Check(reader.Read(image.data(), image.size(), again));
    Check(DpuRom::TRomImageDiff::Compare(read, again, image, image).empty());
    return 0;
}
