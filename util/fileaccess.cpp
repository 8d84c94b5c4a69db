#include "util/fileaccess.h"

// The parts of the file-access unit that are the same on every platform.

namespace YVclUtil {

bool IsRegularFile(const std::string& Path, uint64_t* Size) {
    TFileStatus status;
    std::string reason;
    const bool regular = QueryFileStatus(Path, status, reason) && status.Kind == TFileKind::Regular;
    if (Size) *Size = regular ? status.Size : 0;
    return regular;
}

} // namespace YVclUtil
