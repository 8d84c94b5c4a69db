#include "util/tystrtab.h"

#include "util/errmsgbox.h"
#include "util/eygeneral.h"
#include "util/virtualmem.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace YVclUtil {

static_assert(kVirtualMemAlignment % kYStrTabBlockSize == 0,
              "the page allocator must align blocks to their size");

namespace {

// Blocks are carved from 1 MB regions of the page allocator rather than taken
// one by one: a map and unmap per 16 KB block cost more than everything else
// an INI file load does. Entirely free regions are given back to the system
// once more than kKeptRegions of them are idle, so a large file read once does
// not pin its memory for the rest of the run. Shared by all arenas (an arena
// is used from one thread, but different arenas may live on different threads).
class BlockPool {
public:
    static constexpr unsigned kBlocksPerRegion = 64;
    static constexpr size_t kRegionSize = size_t{kBlocksPerRegion} * kYStrTabBlockSize;
    static constexpr unsigned kKeptRegions = 16;

    void* Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        Region* region = nullptr;
        if (hint_ < regions_.size() && regions_[hint_].freeMask) region = &regions_[hint_];
        for (size_t i = 0; !region && i < regions_.size(); ++i) {
            if (regions_[i].freeMask) {
                region = &regions_[i];
                hint_ = i;
            }
        }
        if (!region) {
            void* memory = YAllocVirtualMem(static_cast<unsigned>(kRegionSize));
            if (!memory) return nullptr;
            if (reinterpret_cast<uintptr_t>(memory) % kYStrTabBlockSize != 0)
                return memory; // the caller reports and returns it
            Region fresh{static_cast<char*>(memory), ~uint64_t{0}};
            auto at =
                std::lower_bound(regions_.begin(), regions_.end(), fresh,
                                 [](const Region& a, const Region& b) { return a.base < b.base; });
            hint_ = static_cast<size_t>(at - regions_.begin());
            region = &*regions_.insert(at, fresh);
            ++idleRegions_;
        }
        if (region->freeMask == ~uint64_t{0}) --idleRegions_;
        const unsigned index = static_cast<unsigned>(__builtin_ctzll(region->freeMask));
        region->freeMask &= ~(uint64_t{1} << index);
        return region->base + size_t{index} * kYStrTabBlockSize;
    }

    // False when the block did not come from Take.
    bool Give(void* block) {
        std::lock_guard<std::mutex> lock(mutex_);
        char* p = static_cast<char*>(block);
        auto at = std::upper_bound(regions_.begin(), regions_.end(), p,
                                   [](const char* q, const Region& r) { return q < r.base; });
        if (at == regions_.begin()) return false;
        --at;
        if (p >= at->base + kRegionSize) return false;
        const uint64_t bit = uint64_t{1} << ((p - at->base) / kYStrTabBlockSize);
        if (at->freeMask & bit) return false;
        at->freeMask |= bit;
        if (at->freeMask == ~uint64_t{0}) {
            if (idleRegions_ >= kKeptRegions) {
                YFreeVirtualMem(at->base);
                regions_.erase(at);
                hint_ = 0;
            } else {
                ++idleRegions_;
            }
        }
        return true;
    }

private:
    struct Region {
        char* base;
        uint64_t freeMask; // bit i set: block i is free
    };
    std::mutex mutex_;
    std::vector<Region> regions_; // sorted by base
    size_t hint_ = 0;
    unsigned idleRegions_ = 0;
};

// Never destroyed: arenas with static storage may outlive any other object.
BlockPool& Pool() {
    static BlockPool* pool = new BlockPool();
    return *pool;
}

} // namespace

TYStrTab::TYStrTab() {
    RunConstructor();
}

TYStrTab::~TYStrTab() {
    RunDestructor();
}

void TYStrTab::RunConstructor() {
    BlockCount = 0;
    BlockList = nullptr;
    StringCount = 0;
    FreeBlockList = nullptr;
    FreeBlockCount = 0;
    FreeCellTotal = 0;
}

void TYStrTab::RunDestructor() {
    DeleteAll();
}

bool TYStrTab::AllocateMemBlock() {
    void* memory = Pool().Take();
    if (!memory) {
        ShowErrMsgBox_Printf("TYStrTab", "Err: Can not allocate memory for TYStrTab !!!");
        throw EYGeneral("Err: TYStrTab::AllocateMemBlock() !!!");
    }
    if (reinterpret_cast<uintptr_t>(memory) % kYStrTabBlockSize != 0) {
        ShowErrMsgBox_Printf("TYStrTab",
                             "Err: The alignment of allocate memory for TYStrTab is not 4KB !!!");
        YFreeVirtualMem(memory);
        throw EYGeneral("Err: TYStrTab::AllocateMemBlock() !!!");
    }
    // A reused block holds old bytes; only the text bytes may stay as they are.
    auto* block = static_cast<_YSTRTABMEMBLOCK*>(memory);
    block->Owner = this;
    block->FreeCellCount = kYStrTabBlockCells;
    block->FreeCellList = &block->Cells[0];
    for (unsigned i = 0; i < kYStrTabBlockCells; ++i) {
        block->Cells[i].Next = i + 1 < kYStrTabBlockCells ? &block->Cells[i + 1] : nullptr;
        block->Cells[i].Length = 0;
    }

    block->PrevBlock = nullptr;
    block->NextBlock = BlockList;
    if (BlockList) BlockList->PrevBlock = block;
    BlockList = block;

    // A new block goes to the end of the free-block list, so blocks that
    // regained a free cell are filled first.
    block->NextFreeBlock = nullptr;
    block->PrevFreeBlock = nullptr;
    if (!FreeBlockList) {
        FreeBlockList = block;
    } else {
        _YSTRTABMEMBLOCK* tail = FreeBlockList;
        while (tail->NextFreeBlock)
            tail = tail->NextFreeBlock;
        tail->NextFreeBlock = block;
        block->PrevFreeBlock = tail;
    }
    ++BlockCount;
    ++FreeBlockCount;
    FreeCellTotal += kYStrTabBlockCells;
    return true;
}

bool TYStrTab::FreeMemBlock(_YSTRTABMEMBLOCK* Block) {
    if (!Block || Block->Owner != this ||
        Block->FreeCellCount != static_cast<int32_t>(kYStrTabBlockCells))
        return false;
    if (Block->PrevBlock)
        Block->PrevBlock->NextBlock = Block->NextBlock;
    else
        BlockList = Block->NextBlock;
    if (Block->NextBlock) Block->NextBlock->PrevBlock = Block->PrevBlock;

    if (Block->PrevFreeBlock)
        Block->PrevFreeBlock->NextFreeBlock = Block->NextFreeBlock;
    else
        FreeBlockList = Block->NextFreeBlock;
    if (Block->NextFreeBlock) Block->NextFreeBlock->PrevFreeBlock = Block->PrevFreeBlock;

    --BlockCount;
    --FreeBlockCount;
    FreeCellTotal -= kYStrTabBlockCells;
    Block->Owner = nullptr;
    Pool().Give(Block);
    return true;
}

_YSTRTABCELL* TYStrTab::Add(const char* Str) {
    if (!Str) return nullptr;
    return Add(Str, static_cast<unsigned>(std::strlen(Str)));
}

_YSTRTABCELL* TYStrTab::Add(const char* Str, unsigned Len) {
    if (!Str || Len == 0) return nullptr;
    const int64_t needed = (static_cast<int64_t>(Len) + kYStrTabCellText - 1) / kYStrTabCellText;
    while (FreeCellTotal < needed)
        AllocateMemBlock();
    ++StringCount;

    _YSTRTABCELL* first = nullptr;
    _YSTRTABCELL* prev = nullptr;
    unsigned left = Len;
    while (left) {
        _YSTRTABMEMBLOCK* block = FreeBlockList;
        _YSTRTABCELL* cell = block->FreeCellList;
        block->FreeCellList = cell->Next;
        --FreeCellTotal;
        if (--block->FreeCellCount == 0) {
            FreeBlockList = block->NextFreeBlock;
            if (FreeBlockList) FreeBlockList->PrevFreeBlock = nullptr;
            block->NextFreeBlock = nullptr;
            block->PrevFreeBlock = nullptr;
            --FreeBlockCount;
        }
        const unsigned piece = left < kYStrTabCellText ? left : kYStrTabCellText;
        cell->Next = nullptr;
        cell->Length = static_cast<uint8_t>(piece);
        std::memcpy(cell->Data, Str, piece);
        Str += piece;
        left -= piece;
        if (prev)
            prev->Next = cell;
        else
            first = cell;
        prev = cell;
    }
    return first;
}

bool TYStrTab::Get(const _YSTRTABCELL* Cell, char* Buf) const {
    return Get(Cell, Buf, 0, nullptr);
}

bool TYStrTab::Get(const _YSTRTABCELL* Cell, char* Buf, unsigned MaxLen) const {
    return Get(Cell, Buf, MaxLen, nullptr);
}

bool TYStrTab::Get(const _YSTRTABCELL* Cell, char* Buf, unsigned MaxLen, unsigned* Len) const {
    if (!Buf || !Usable(Cell)) return false;
    unsigned total = 0;
    for (; Cell; Cell = Cell->Next) {
        if (MaxLen) {
            total += Cell->Length;
            if (total >= MaxLen) return false;
        }
        std::memcpy(Buf, Cell->Data, Cell->Length);
        Buf += Cell->Length;
    }
    *Buf = '\0';
    if (Len) *Len = total;
    return true;
}

unsigned TYStrTab::Length(const _YSTRTABCELL* Cell) const {
    if (!Usable(Cell)) return 0;
    unsigned total = 0;
    for (; Cell; Cell = Cell->Next)
        total += Cell->Length;
    return total;
}

bool TYStrTab::Append(const _YSTRTABCELL* Cell, std::string& Out) const {
    if (!Usable(Cell)) return false;
    for (; Cell; Cell = Cell->Next)
        Out.append(Cell->Data, Cell->Length);
    return true;
}

bool TYStrTab::Compare(const _YSTRTABCELL* Cell, const char* Str) const {
    if (!Str || !Usable(Cell)) return false;
    for (; Cell; Cell = Cell->Next) {
        for (unsigned i = 0; i < Cell->Length; ++i, ++Str) {
            // A terminating zero of Str differs from any stored byte except a
            // stored zero, which only the length-taking Add can store.
            if (*Str == '\0' || *Str != Cell->Data[i]) return false;
        }
    }
    return true;
}

bool TYStrTab::Equals(const _YSTRTABCELL* Cell, const char* Str, unsigned Len) const {
    if (!Str || !Usable(Cell)) return false;
    for (; Cell; Cell = Cell->Next) {
        if (Cell->Length > Len || std::memcmp(Cell->Data, Str, Cell->Length) != 0) return false;
        Str += Cell->Length;
        Len -= Cell->Length;
    }
    return Len == 0;
}

bool TYStrTab::Delete(_YSTRTABCELL* Cell) {
    if (!Usable(Cell)) return false;
    while (Cell) {
        _YSTRTABCELL* next = Cell->Next;
        _YSTRTABMEMBLOCK* block = BlockOf(Cell);
        Cell->Length = 0;
        Cell->Next = block->FreeCellList;
        block->FreeCellList = Cell;
        ++block->FreeCellCount;
        ++FreeCellTotal;
        if (block->FreeCellCount == 1) {
            // The block was full: put it first so the next string fills it.
            block->PrevFreeBlock = nullptr;
            block->NextFreeBlock = FreeBlockList;
            if (FreeBlockList) FreeBlockList->PrevFreeBlock = block;
            FreeBlockList = block;
            ++FreeBlockCount;
        } else if (block->FreeCellCount == static_cast<int32_t>(kYStrTabBlockCells)) {
            FreeMemBlock(block);
        }
        Cell = next;
    }
    --StringCount;
    return true;
}

bool TYStrTab::DeleteAll() {
    _YSTRTABMEMBLOCK* block = BlockList;
    while (block) {
        _YSTRTABMEMBLOCK* next = block->NextBlock;
        block->Owner = nullptr;
        Pool().Give(block);
        block = next;
    }
    RunConstructor();
    return true;
}

void* TYStrTab::malloc(unsigned Size) {
    if (Size == 0 || Size > kYStrTabSmallAlloc) return nullptr;
    static const char filler = ' ';
    _YSTRTABCELL* cell = Add(&filler, 1);
    return cell ? &cell->Length : nullptr;
}

bool TYStrTab::free(void* P) {
    if (!P) return false;
    auto* cell = reinterpret_cast<_YSTRTABCELL*>(static_cast<char*>(P) - sizeof(void*));
    // An allocation is a single cell, so its chain pointer is null; a cell on a
    // free chain usually is not, which catches most double frees.
    if (StringCount == 0 || !Owns(cell) || cell->Next) return false;
    // The caller owned the length byte.
    cell->Length = 1;
    return Delete(cell);
}

} // namespace YVclUtil
