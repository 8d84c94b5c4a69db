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

bool SameFile(const std::string& A, const std::string& B) {
    TFileStatus a, b;
    std::string reason;
    if (!QueryFileStatus(A, a, reason) || !QueryFileStatus(B, b, reason)) return false;
    if (a.Kind == TFileKind::Missing || b.Kind == TFileKind::Missing) return false;
    return a.Device == b.Device && a.Inode == b.Inode;
}

} // namespace YVclUtil
