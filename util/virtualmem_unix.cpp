#include "util/virtualmem.h"

#include <sys/mman.h>

#include <cstdint>
#include <map>
#include <mutex>

namespace YVclUtil {

namespace {
// mmap gives page alignment only, so each region is over-allocated and the
// unaligned head and tail are unmapped; the length is remembered for the free.
std::mutex g_mutex;
std::map<void*, size_t>& Regions() {
    static std::map<void*, size_t> regions;
    return regions;
}
} // namespace

void* YAllocVirtualMem(unsigned Size) {
    if (Size == 0) return nullptr;
    const size_t length =
        (static_cast<size_t>(Size) + kVirtualMemAlignment - 1) & ~(kVirtualMemAlignment - 1);
    const size_t reserve = length + kVirtualMemAlignment;
    void* raw = mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kVirtualMemAlignment - 1) & ~(kVirtualMemAlignment - 1);
    const size_t head = aligned - start;
    const size_t tail = reserve - head - length;
    if (head) munmap(raw, head);
    if (tail) munmap(reinterpret_cast<void*>(aligned + length), tail);
    void* region = reinterpret_cast<void*>(aligned);
    std::lock_guard<std::mutex> lock(g_mutex);
    Regions()[region] = length;
    return region;
}

bool YFreeVirtualMem(void* Memory) {
    if (!Memory) return false;
    size_t length = 0;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = Regions().find(Memory);
        if (it == Regions().end()) return false;
        length = it->second;
        Regions().erase(it);
    }
    return munmap(Memory, length) == 0;
}

} // namespace YVclUtil
