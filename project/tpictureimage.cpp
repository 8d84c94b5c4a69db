#include "project/tpictureimage.h"

#include "util/fileaccess.h"
#include "util/tbmpreader.h"

#include <QImage>

#include <cstring>
#include <new>
#include <vector>

namespace DpuProject {

bool TPictureImage::Load(const std::string& FileName, QImage& Picture, std::string& Reason) {
    std::vector<uint8_t> data;
    if (!YVclUtil::ReadWholeFile(FileName, data, Reason, YVclUtil::TBmpReader::MaxFileBytes))
        return false;
    return Decode(data.data(), data.size(), Picture, Reason);
}

bool TPictureImage::Decode(const uint8_t* Data, size_t Size, QImage& Picture, std::string& Reason) {
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
    QImage image(reader.Width(), reader.Height(),
                 reader.HasAlpha() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        Reason = "out of memory";
        return false;
    }
    const size_t w = static_cast<size_t>(reader.Width());
    for (int y = 0; y < reader.Height(); ++y)
        std::memcpy(image.scanLine(y), argb.data() + static_cast<size_t>(y) * w, 4 * w);
    Picture = std::move(image);
    return true;
}

} // namespace DpuProject
