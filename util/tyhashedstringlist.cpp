#include "util/tyhashedstringlist.h"

#include "util/errmsgbox.h"
#include "util/eygeneral.h"

#include <cstdlib>
#include <cstring>

namespace YVclUtil {

namespace {
inline uint32_t Ror(uint32_t v, unsigned n) {
    return (v >> n) | (v << (32 - n));
}
inline uint32_t Rol(uint32_t v, unsigned n) {
    return (v << n) | (v >> (32 - n));
}
inline uint32_t KeyLowOf(uint64_t key) {
    return static_cast<uint32_t>(key);
}
inline uint32_t KeyHighOf(uint64_t key) {
    return static_cast<uint32_t>(key >> 32);
}
} // namespace

TYHashedStringList::TYHashedStringList(TYStrTab* StrTab) {
    RunConstructor(StrTab);
}

TYHashedStringList::~TYHashedStringList() {
    RunDestructor();
}

void TYHashedStringList::RunConstructor(TYStrTab* Tab) {
    StrTab = Tab;
    HashTab = nullptr;
    BucketMask = kBuckets - 1;
    ListTab = nullptr;
    ListTabSize = 0;
    FCount = 0;
    if (!StrTab) {
        ShowErrMsgBox_Printf("TYHashedStringList", "Err: The user specified TYStrTab* is NULL !!!");
        return;
    }
    HashTab = static_cast<_YHASHEDSTRINGLISTCELL**>(std::calloc(kBuckets, sizeof(*HashTab)));
    if (!HashTab)
        ShowErrMsgBox_Printf("TYHashedStringList", "Err: Can not allocate memory for HashTab[ ]");
}

void TYHashedStringList::RunDestructor() {
    if (HashTab) DeleteAll();
    std::free(HashTab);
    HashTab = nullptr;
    std::free(ListTab);
    ListTab = nullptr;
}

uint64_t TYHashedStringList::StrToHashKey(const char* Str, unsigned* Len) {
    const unsigned len = Str ? static_cast<unsigned>(std::strlen(Str)) : 0;
    if (Len) *Len = len;
    return StrToHashKey(Str, len);
}

uint64_t TYHashedStringList::StrToHashKey(const char* Str, unsigned Len) {
    if (!Str || Len == 0) return 0;
    uint32_t a = 0, b = 0;
    for (uint32_t i = 1; i <= Len; ++i) {
        const uint32_t c =
            static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(Str[i - 1])));
        a = a + ((i ^ b) + c);
        a = Ror(a, 5);
        b = b - (a + c);
        b = Rol(b, 3);
    }
    return (static_cast<uint64_t>(a | 1u) << 32) | b;
}

_YHASHEDSTRINGLISTCELL* TYHashedStringList::Find(uint64_t Key, const char* Str,
                                                 unsigned Len) const {
    const uint32_t low = KeyLowOf(Key), high = KeyHighOf(Key);
    for (_YHASHEDSTRINGLISTCELL* e = HashTab[low & BucketMask]; e; e = e->Next) {
        // Two different texts may share a key; the text decides, so a
        // collision can never merge two entries.
        if (e->KeyLow == low && e->KeyHigh == high && StrTab->Equals(e->Text, Str, Len)) return e;
    }
    return nullptr;
}

int32_t TYHashedStringList::Add(const char* Str) {
    return Add(Str, nullptr);
}

int32_t TYHashedStringList::Add(const char* Str, TObject* Object) {
    return Add(Str, Str ? static_cast<unsigned>(std::strlen(Str)) : 0u, Object);
}

int32_t TYHashedStringList::Add(const char* Str, unsigned Len, TObject* Object) {
    if (!HashTab || !Str || Len == 0 || Len > kMaxKeyLength) return -1;
    const uint64_t key = StrToHashKey(Str, Len);
    if (_YHASHEDSTRINGLISTCELL* e = Find(key, Str, Len)) {
        if (OnReplace) OnReplace(this, e->Index);
        e->Object = Object;
        return e->Index;
    }
    if (!GrowupListTab()) return -1;
    _YSTRTABCELL* text = StrTab->Add(Str, Len);
    if (!text) return -1;
    _YHASHEDSTRINGLISTCELL* cell = AllocateCell();
    if (!cell) {
        StrTab->Delete(text);
        return -1;
    }
    cell->KeyLow = KeyLowOf(key);
    cell->KeyHigh = KeyHighOf(key);
    cell->Text = text;
    cell->Object = Object;
    cell->Index = FCount;
    _YHASHEDSTRINGLISTCELL** link = &HashTab[cell->KeyLow & BucketMask];
    _YHASHEDSTRINGLISTCELL* prev = nullptr;
    while (*link) {
        prev = *link;
        link = &prev->Next;
    }
    cell->Prev = prev;
    cell->Next = nullptr;
    *link = cell;
    ListTab[FCount] = cell;
    const int32_t index = FCount++;
    if (static_cast<uint32_t>(FCount) > kMaxChainAverage * (BucketMask + 1))
        Rehash((BucketMask + 1) * 2);
    return index;
}

void TYHashedStringList::Rehash(uint32_t Buckets) {
    auto* table = static_cast<_YHASHEDSTRINGLISTCELL**>(std::calloc(Buckets, sizeof(*HashTab)));
    if (!table) return; // the old table stays correct, only slower
    // Walking the entries backwards and pushing each at its chain's head keeps
    // every chain in the order the entries were added.
    for (int32_t i = FCount - 1; i >= 0; --i) {
        _YHASHEDSTRINGLISTCELL* e = ListTab[i];
        _YHASHEDSTRINGLISTCELL*& head = table[e->KeyLow & (Buckets - 1)];
        e->Prev = nullptr;
        e->Next = head;
        if (head) head->Prev = e;
        head = e;
    }
    std::free(HashTab);
    HashTab = table;
    BucketMask = Buckets - 1;
}

int32_t TYHashedStringList::IndexOf(const char* Str) const {
    return IndexOf(Str, Str ? static_cast<unsigned>(std::strlen(Str)) : 0u);
}

int32_t TYHashedStringList::IndexOf(const char* Str, unsigned Len) const {
    if (!HashTab || !Str || Len == 0 || Len > kMaxKeyLength) return -1;
    const _YHASHEDSTRINGLISTCELL* e = Find(StrToHashKey(Str, Len), Str, Len);
    return e ? e->Index : -1;
}

bool TYHashedStringList::Delete(int32_t Index) {
    if (!HashTab || Index < 0 || Index >= FCount) return false;
    if (OnDelete) OnDelete(this, Index);
    _YHASHEDSTRINGLISTCELL* cell = ListTab[Index];
    StrTab->Delete(cell->Text);
    if (cell->Prev)
        cell->Prev->Next = cell->Next;
    else
        HashTab[cell->KeyLow & BucketMask] = cell->Next;
    if (cell->Next) cell->Next->Prev = cell->Prev;
    ReleaseCell(cell);
    for (int32_t i = Index + 1; i < FCount; ++i) {
        ListTab[i - 1] = ListTab[i];
        ListTab[i - 1]->Index = i - 1;
    }
    --FCount;
    ShrinkListTab();
    return true;
}

bool TYHashedStringList::DeleteAll() {
    if (!HashTab) return true;
    for (int32_t i = 0; i < FCount; ++i) {
        if (OnDelete) OnDelete(this, i);
        StrTab->Delete(ListTab[i]->Text);
        ReleaseCell(ListTab[i]);
    }
    FCount = 0;
    std::free(ListTab);
    ListTab = nullptr;
    ListTabSize = 0;
    std::memset(HashTab, 0, (size_t{BucketMask} + 1) * sizeof(*HashTab));
    return true;
}

void TYHashedStringList::Abandon() {
    FCount = 0;
    std::free(ListTab);
    ListTab = nullptr;
    ListTabSize = 0;
    if (HashTab) std::memset(HashTab, 0, (size_t{BucketMask} + 1) * sizeof(*HashTab));
}

std::string TYHashedStringList::pr_Strings(int32_t Index) const {
    if (Index < 0 || Index >= FCount)
        throw EYGeneral("TYHashedStringList: Invalid Index for Strings[%d]", Index);
    char textBuf[kMaxKeyLength + 8];
    unsigned len = 0;
    if (!StrTab->Get(ListTab[Index]->Text, textBuf, sizeof(textBuf), &len)) return std::string();
    return std::string(textBuf, len);
}

void TYHashedStringList::pw_Strings(int32_t, const std::string&) {
    throw EYGeneral("TYHashedStringList: Strings[ ] is read only");
}

TObject* TYHashedStringList::pr_Objects(int32_t Index) const {
    if (Index < 0 || Index >= FCount)
        throw EYGeneral("TYHashedStringList: Invalid Index for Objects[%d]", Index);
    return ListTab[Index]->Object;
}

void TYHashedStringList::pw_Objects(int32_t Index, TObject* Object) {
    if (Index < 0 || Index >= FCount)
        throw EYGeneral("TYHashedStringList: Invalid Index for Objects[%d]", Index);
    ListTab[Index]->Object = Object;
}

bool TYHashedStringList::GrowupListTab() {
    if (ListTabSize > FCount) return true;
    // Small lists grow by doubling from a few entries up to one step, so a
    // file of many short sections does not cost a full step per section.
    const size_t size = ListTabSize >= kListTabStep
                            ? static_cast<size_t>(ListTabSize) + kListTabStep
                        : ListTabSize == 0 ? kListTabFirst
                                           : static_cast<size_t>(ListTabSize) * 2;
    void* grown = std::realloc(ListTab, size * sizeof(*ListTab));
    if (!grown) return false;
    ListTab = static_cast<_YHASHEDSTRINGLISTCELL**>(grown);
    ListTabSize = static_cast<int32_t>(size);
    return true;
}

void TYHashedStringList::ShrinkListTab() {
    if (ListTabSize <= kListTabStep || ListTabSize - kListTabStep < FCount) return;
    const size_t size = static_cast<size_t>(ListTabSize) - kListTabStep;
    void* shrunk = std::realloc(ListTab, size * sizeof(*ListTab));
    if (!shrunk) return;
    ListTab = static_cast<_YHASHEDSTRINGLISTCELL**>(shrunk);
    ListTabSize = static_cast<int32_t>(size);
}

_YHASHEDSTRINGLISTCELL* TYHashedStringList::AllocateCell() {
    void* p = StrTab->malloc(sizeof(_YHASHEDSTRINGLISTCELL));
    if (!p) return nullptr;
    std::memset(p, 0, sizeof(_YHASHEDSTRINGLISTCELL));
    return static_cast<_YHASHEDSTRINGLISTCELL*>(p);
}

void TYHashedStringList::ReleaseCell(_YHASHEDSTRINGLISTCELL* Cell) {
    StrTab->free(Cell);
}

} // namespace YVclUtil
