#include "project/tpictureimage.h"

#include "util/fileaccess.h"
#include "util/tbmpreader.h"

#include <cstring>
#include <new>
#include <vector>

namespace DpuProject {

bool TPictureImage::Load(const std::string& FileName, YVclUtil::TRasterImage& Picture,
                         std::string& Reason) {
    std::vector<uint8_t> data;
    if (!YVclUtil::ReadWholeFile(FileName, data, Reason, YVclUtil::TBmpReader::MaxFileBytes))
        return false;
    return Decode(data.data(), data.size(), Picture, Reason);
}

bool TPictureImage::Decode(const uint8_t* Data, size_t Size, YVclUtil::TRasterImage& Picture,
                           std::string& Reason) {
    YVclUtil::TBmpReader reader;
    std::vector<uint32_t> argb;
    try {
        if (!reader.Open(Data, Size) || !reader.DecodeArgb(argb)) {
            Reason = reader.Reason();
            return false;
        }
    } catch (const std::bad_alloc&) {
        // A picture box says why it stays empty; the window goes on.
        Reason = "out of memory";
        return false;
    }
    using TFormat = YVclUtil::TRasterImage::TFormat;
    YVclUtil::TRasterImage image(reader.Width(), reader.Height(),
                                 reader.HasAlpha() ? TFormat::Argb32 : TFormat::Rgb32);
    if (image.IsNull()) {
        Reason = "out of memory";
        return false;
    }
    const size_t w = static_cast<size_t>(reader.Width());
    for (int y = 0; y < reader.Height(); ++y)
        std::memcpy(image.Row(y), argb.data() + static_cast<size_t>(y) * w, 4 * w);
    Picture = std::move(image);
    return true;
}

} // namespace DpuProject
