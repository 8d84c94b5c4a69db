#include "rom/romimagecheck.h"

#include "rom/romlayout.h"
#include "rom/tromimage.h"
#include "rom/tromimagereader.h"
#include "rom/tuploadimage.h"
#include "util/eygeneral.h"

#include <algorithm>
#include <vector>

namespace DpuRom {

namespace {
constexpr size_t ShortImageSize = TUploadImage::ShortImageSize;
static_assert(ShortImageSize < RomLayout::UploadSize);
} // namespace

bool CheckUploadImage(const uint8_t* Data, size_t Size, std::string& Problem) {
    Problem.clear();
    TRomImageReader reader;
    TRomImage image;
    // The sizes first, worded for an upload, which also takes the short image.
    if (Size != ShortImageSize && Size < RomLayout::ImageSize) {
        Problem = YVclUtil::Format("offset 0x%04zX (end of file): the file is cut short: %s, a "
                                   "ROM image has %zu bytes (or %zu)",
                                   Size, YVclUtil::CountOf(Size, "byte").c_str(),
                                   RomLayout::ImageSize, ShortImageSize);
        return false;
    }
    if (Size > RomLayout::ImageSize) {
        Problem = YVclUtil::Format("offset 0x%04zX (end of image): the file is too long: %s after "
                                   "the %zu bytes of a ROM image",
                                   RomLayout::ImageSize,
                                   YVclUtil::CountOf(Size - RomLayout::ImageSize, "byte").c_str(),
                                   RomLayout::ImageSize);
        return false;
    }
    if (Size == ShortImageSize) {
        // The upload sends zeros after a short file's end; the reader sees the same.
        std::vector<uint8_t> padded(RomLayout::ImageSize, 0);
        std::copy(Data, Data + Size, padded.begin());
        if (reader.Read(padded.data(), padded.size(), image)) return true;
    } else if (reader.Read(Data, Size, image)) {
        return true;
    }
    Problem = reader.LastErrMsg;
    return false;
}

} // namespace DpuRom
