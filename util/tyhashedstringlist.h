#pragma once

#include "util/tobject.h"
#include "util/tystrtab.h"

#include <cstdint>
#include <functional>
#include <string>

namespace YVclUtil {

// A notification from a list: the list itself and the index concerned.
using TYNotifyIndexEvent = std::function<void(TObject* Sender, int32_t Index)>;

// One list entry, obtained from the arena with malloc.
struct _YHASHEDSTRINGLISTCELL {
    _YHASHEDSTRINGLISTCELL* Prev; // previous entry of the same bucket chain
    _YHASHEDSTRINGLISTCELL* Next; // next entry of the same bucket chain
    uint32_t KeyLow;
    uint32_t KeyHigh;
    _YSTRTABCELL* Text; // the key text, in the arena
    TObject* Object;    // the caller's object; not owned
    int32_t Index;      // position in ListTab
};
static_assert(sizeof(_YHASHEDSTRINGLISTCELL) <= kYStrTabSmallAlloc);

// Insertion-ordered list of unique keys (1..256 bytes, case-sensitive), each
// with one object pointer, found through hash buckets (128 at first). Key texts and
// entries live in an arena the caller supplies and keeps alive longer than the
// list. Indices 0..Count()-1 are dense; removing an entry moves later ones down.
class TYHashedStringList : public TObject {
public:
    // Keys are spread over kBuckets chains by the low bits of their hash key.
    // A list that grows beyond kMaxChainAverage entries per chain doubles its
    // chains, so a list of 10^5 keys is not searched through chains of 800.
    static constexpr int kBuckets = 128;
    static constexpr uint32_t kMaxChainAverage = 4;
    static constexpr unsigned kMaxKeyLength = 256;
    // ListTab capacity: kListTabFirst, doubled up to kListTabStep, then
    // grown and shrunk in steps of kListTabStep.
    static constexpr int32_t kListTabStep = 1024;
    static constexpr int32_t kListTabFirst = 16;

    // A null arena or a failed bucket table shows an error box; the list is
    // then unusable (IsUsable() false, every Add returns -1).
    explicit TYHashedStringList(TYStrTab* StrTab);
    ~TYHashedStringList() override;

    bool IsUsable() const { return HashTab != nullptr; }

    // Index of the new or existing entry; -1 for an empty or over-long key or
    // when no room can be had. An existing key calls OnReplace first, then
    // takes the new object and keeps its text and index.
    int32_t Add(const char* Str);
    int32_t Add(const char* Str, TObject* Object);
    int32_t Add(const char* Str, unsigned Len, TObject* Object);

    // Index of the entry, or -1.
    int32_t IndexOf(const char* Str) const;
    int32_t IndexOf(const char* Str, unsigned Len) const;

    // Removes one entry (OnDelete first); false for an index out of range.
    bool Delete(int32_t Index);
    // Removes every entry, calling OnDelete for indices 0..Count()-1 in order.
    bool DeleteAll();
    // Forgets every entry at once: no callbacks, no cells given back. Only for
    // an owner that empties the whole arena right afterwards.
    void Abandon();

    // The key of an entry. Out of range raises EYGeneral.
    std::string Strings(int32_t Index) const { return pr_Strings(Index); }
    std::string pr_Strings(int32_t Index) const;
    // Keys cannot be changed: always raises EYGeneral.
    [[noreturn]] void pw_Strings(int32_t Index, const std::string& Value);

    // The object of an entry. Out of range raises EYGeneral.
    TObject* Objects(int32_t Index) const { return pr_Objects(Index); }
    TObject* pr_Objects(int32_t Index) const;
    void pw_Objects(int32_t Index, TObject* Object);

    // The arena string of an entry's key; null for an index out of range.
    const _YSTRTABCELL* TextCell(int32_t Index) const {
        return Index >= 0 && Index < FCount ? ListTab[Index]->Text : nullptr;
    }

    int32_t Count() const { return FCount; }
    int32_t pr_ListTabSize() const { return ListTabSize; }
    int32_t pr_BucketCount() const { return static_cast<int32_t>(BucketMask + 1); }
    TYStrTab* pr_StrTab() const { return StrTab; }

    // Called by Add when the key is already present, with its index.
    TYNotifyIndexEvent OnReplace;
    // Called before an entry is removed, with its index.
    TYNotifyIndexEvent OnDelete;

    // 64-bit hash key of a text (high word has bit 0 set); 0 for null or empty.
    // Len receives the length measured when given.
    static uint64_t StrToHashKey(const char* Str, unsigned* Len);
    static uint64_t StrToHashKey(const char* Str, unsigned Len);

protected:
    bool GrowupListTab();
    void ShrinkListTab();
    _YHASHEDSTRINGLISTCELL* AllocateCell();
    void ReleaseCell(_YHASHEDSTRINGLISTCELL* Cell);

private:
    void RunConstructor(TYStrTab* StrTab);
    void RunDestructor();
    _YHASHEDSTRINGLISTCELL* Find(uint64_t Key, const char* Str, unsigned Len) const;
    void Rehash(uint32_t Buckets);

    TYStrTab* StrTab = nullptr;
    _YHASHEDSTRINGLISTCELL** HashTab = nullptr;
    uint32_t BucketMask = kBuckets - 1; // chains - 1; the chain count is a power of two
    _YHASHEDSTRINGLISTCELL** ListTab = nullptr;
    int32_t ListTabSize = 0;
    int32_t FCount = 0;
};

} // namespace YVclUtil
