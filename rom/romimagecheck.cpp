#include "rom/romimagecheck.h"

#include "rom/romlayout.h"
#include "rom/tromimage.h"
#include "rom/tromimagereader.h"

#include <vector>

namespace DpuRom {

namespace {
// The short image the display also takes: 975 frames of 64 bytes.
constexpr size_t ShortImageSize = 62400;
static_assert(ShortImageSize < RomLayout::UploadSize);
} // namespace

bool CheckUploadImage(const uint8_t* Data, size_t Size, std::string& Problem) {
    Problem.clear();
    TRomImageReader reader;
    TRomImage image;
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
