#pragma once

#include "util/tobject.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace YVclUtil {

class TYStrTab;

// Layout with 8-byte pointers: a cell is 64 bytes (8-byte chain pointer,
// length byte, 27 text bytes, padding), a block is 16384 bytes aligned to
// 16384 (a 64-byte header followed by 255 cells), so the block of any cell is
// its address with the low 14 bits cleared. A small allocation gets the 56
// bytes from a cell's length byte to its end.
constexpr unsigned kYStrTabCellText = 27;
constexpr unsigned kYStrTabCellSize = 64;
constexpr unsigned kYStrTabBlockCells = 255;
constexpr unsigned kYStrTabBlockSize = 16384;
constexpr unsigned kYStrTabSmallAlloc = kYStrTabCellSize - sizeof(void*);

struct _YSTRTABCELL {
    _YSTRTABCELL* Next; // next cell of the string; next free cell while free
    uint8_t Length;     // text bytes in this cell, 1..27; 0 while free
    char Data[kYStrTabCellText];
    char Spare[kYStrTabCellSize - sizeof(void*) - 1 - kYStrTabCellText];
};
static_assert(sizeof(_YSTRTABCELL) == kYStrTabCellSize);

struct _YSTRTABMEMBLOCK {
    TYStrTab* Owner;
    _YSTRTABMEMBLOCK* PrevBlock;
    _YSTRTABMEMBLOCK* NextBlock;
    _YSTRTABMEMBLOCK* PrevFreeBlock;
    _YSTRTABMEMBLOCK* NextFreeBlock;
    int32_t FreeCellCount; // 0..255
    _YSTRTABCELL* FreeCellList;
    char Spare[kYStrTabCellSize - 6 * sizeof(void*) - 8];
    _YSTRTABCELL Cells[kYStrTabBlockCells];
};
static_assert(sizeof(_YSTRTABMEMBLOCK) == kYStrTabBlockSize);

// String arena: byte strings stored as chains of fixed cells carved from
// blocks, known by the address of their first cell, plus small fixed
// allocations from the same cells. Blocks are added when the free cells run
// short and given back as soon as they are entirely free (to a pool shared by
// all arenas, which hands idle memory back to the system). One thread per arena.
class TYStrTab : public TObject {
public:
    TYStrTab();
    ~TYStrTab() override;

    // Stores the zero-terminated text; null for a null or empty text.
    // A block the page allocator refuses raises EYGeneral (after an error box).
    _YSTRTABCELL* Add(const char* Str);
    // Stores Len bytes of Str (zero bytes included); null for null Str or Len 0.
    _YSTRTABCELL* Add(const char* Str, unsigned Len);

    // Copy the whole string into Buf and terminate it. False for a null or
    // foreign cell, null Buf or an empty arena; with MaxLen != 0 also when the
    // text is not shorter than MaxLen (Buf then holds an unterminated prefix).
    // Len receives the length (0 when MaxLen was 0).
    bool Get(const _YSTRTABCELL* Cell, char* Buf) const;
    bool Get(const _YSTRTABCELL* Cell, char* Buf, unsigned MaxLen) const;
    bool Get(const _YSTRTABCELL* Cell, char* Buf, unsigned MaxLen, unsigned* Len) const;

    // Length of the stored string; 0 for a cell Get would refuse.
    unsigned Length(const _YSTRTABCELL* Cell) const;
    // Appends the stored bytes to Out; false (Out unchanged) for a refused cell.
    bool Append(const _YSTRTABCELL* Cell, std::string& Out) const;

    // True when the stored bytes equal the beginning of Str (Str may go on).
    // False for the cells Get refuses.
    bool Compare(const _YSTRTABCELL* Cell, const char* Str) const;
    // True when the stored string is exactly the Len bytes of Str.
    bool Equals(const _YSTRTABCELL* Cell, const char* Str, unsigned Len) const;

    // Releases the string's cells; false for the cells Get refuses.
    bool Delete(_YSTRTABCELL* Cell);
    // Gives every block back; all handles become invalid. Always true.
    bool DeleteAll();

    // A fixed allocation of kYStrTabSmallAlloc bytes for Size 1..kYStrTabSmallAlloc,
    // null otherwise. Counts as one stored string.
    void* malloc(unsigned Size);
    // Releases a malloc allocation; false for anything else the arena refuses.
    bool free(void* P);

    int32_t pr_BlockCount() const { return BlockCount; }
    int32_t pr_StringCount() const { return StringCount; }
    int32_t pr_FreeBlockCount() const { return FreeBlockCount; }
    int32_t pr_FreeCellTotal() const { return FreeCellTotal; }
    const _YSTRTABMEMBLOCK* pr_BlockList() const { return BlockList; }
    const _YSTRTABMEMBLOCK* pr_FreeBlockList() const { return FreeBlockList; }

    // The block that holds a cell (its address with the low bits cleared).
    static _YSTRTABMEMBLOCK* BlockOf(const void* Cell) {
        return reinterpret_cast<_YSTRTABMEMBLOCK*>(reinterpret_cast<uintptr_t>(Cell) &
                                                   ~static_cast<uintptr_t>(kYStrTabBlockSize - 1));
    }
    // True when the cell lies in a block of this arena.
    bool Owns(const void* Cell) const { return Cell && BlockOf(Cell)->Owner == this; }

protected:
    // Adds one block; raises EYGeneral when none can be had. True otherwise.
    bool AllocateMemBlock();
    // Gives back a block of this arena that is entirely free; false otherwise.
    bool FreeMemBlock(_YSTRTABMEMBLOCK* Block);

private:
    void RunConstructor();
    void RunDestructor();
    // A free cell (length 0) is refused too, so a double delete changes nothing.
    bool Usable(const _YSTRTABCELL* Cell) const {
        return StringCount != 0 && Owns(Cell) && Cell->Length != 0;
    }

    int32_t BlockCount = 0;
    _YSTRTABMEMBLOCK* BlockList = nullptr;
    int32_t StringCount = 0;
    _YSTRTABMEMBLOCK* FreeBlockList = nullptr;
    int32_t FreeBlockCount = 0;
    int32_t FreeCellTotal = 0;
};

} // namespace YVclUtil
