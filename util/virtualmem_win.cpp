#include "util/virtualmem.h"

#include <windows.h>

namespace YVclUtil {

// VirtualAlloc hands out regions on the allocation granularity, 64 KB on every
// Windows there is, which is exactly the alignment the string arena needs.
static_assert(kVirtualMemAlignment == 65536, "regions must start on the allocation granularity");

void* YAllocVirtualMem(unsigned Size) {
    if (Size == 0) return nullptr;
    return ::VirtualAlloc(nullptr, Size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

bool YFreeVirtualMem(void* Memory) {
    if (!Memory) return false;
    // Only the start of a region reserved here is accepted: VirtualQuery tells
    // whether Memory is the base of a committed allocation.
    MEMORY_BASIC_INFORMATION info{};
    if (::VirtualQuery(Memory, &info, sizeof info) != sizeof info ||
        info.AllocationBase != Memory || info.State != MEM_COMMIT)
        return false;
    return ::VirtualFree(Memory, 0, MEM_RELEASE) != 0;
}

} // namespace YVclUtil
