#pragma once

#include <cstddef>

namespace YVclUtil {

// Regions start on this boundary (64 KB), which the string arena relies on to
// find a cell's block by masking its address.
constexpr size_t kVirtualMemAlignment = 65536;

// Reserves and commits Size bytes of zeroed read-write memory straight from
// the page allocator, aligned to kVirtualMemAlignment. Null on failure (errno
// holds the reason).
void* YAllocVirtualMem(unsigned Size);

// Gives back a region from YAllocVirtualMem whole. False for null or an
// address that YAllocVirtualMem did not return.
bool YFreeVirtualMem(void* Memory);

} // namespace YVclUtil
