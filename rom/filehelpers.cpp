#include "rom/filehelpers.h"

#include "util/fileaccess.h"

namespace DpuRom {

bool ReadWholeFile(const std::string& FileName, std::vector<uint8_t>& Data, std::string& Error) {
    return YVclUtil::ReadWholeFile(FileName, Data, Error);
}

bool WriteFileAtomically(const std::string& FileName, const uint8_t* Data, size_t Size,
                         std::string& Error) {
    return YVclUtil::WriteFileAtomically(FileName, Data, Size, Error);
}

bool RegularFileSize(const std::string& FileName, uint64_t& Size) {
    YVclUtil::TFileStatus status;
    std::string reason;
    const bool regular = YVclUtil::QueryFileStatus(FileName, status, reason) &&
                         status.Kind == YVclUtil::TFileKind::Regular;
    Size = regular ? status.Size : 0;
    return regular;
}

} // namespace DpuRom
