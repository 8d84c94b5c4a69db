#include "util/eygeneral.h"
#include "util/tystrtab.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace YVclUtil;

namespace {

std::string Read(const TYStrTab& tab, const _YSTRTABCELL* cell) {
    std::vector<char> buf(tab.Length(cell) + 1);
    EXPECT_TRUE(tab.Get(cell, buf.data()));
    return std::string(buf.data(), buf.size() - 1);
}

int CellsOf(const _YSTRTABCELL* cell) {
    int n = 0;
    for (; cell; cell = cell->Next)
        ++n;
    return n;
}

// Checks every counter against the blocks themselves.
void CheckBookkeeping(const TYStrTab& tab) {
    int blocks = 0, freeCells = 0;
    std::set<const _YSTRTABMEMBLOCK*> withFree;
    const _YSTRTABMEMBLOCK* prev = nullptr;
    for (const _YSTRTABMEMBLOCK* b = tab.pr_BlockList(); b; prev = b, b = b->NextBlock) {
        ++blocks;
        ASSERT_EQ(b->PrevBlock, prev);
        ASSERT_EQ(b->Owner, &tab);
        ASSERT_GT(b->FreeCellCount, 0 - 1);
        ASSERT_LT(b->FreeCellCount, 255) << "an entirely free block must have been returned";
        int chain = 0;
        for (const _YSTRTABCELL* c = b->FreeCellList; c; c = c->Next) {
            ASSERT_EQ(TYStrTab::BlockOf(c), b);
            ASSERT_EQ(c->Length, 0);
            ++chain;
        }
        ASSERT_EQ(chain, b->FreeCellCount);
        freeCells += b->FreeCellCount;
        if (b->FreeCellCount > 0) withFree.insert(b);
    }
    EXPECT_EQ(blocks, tab.pr_BlockCount());
    EXPECT_EQ(freeCells, tab.pr_FreeCellTotal());
    std::set<const _YSTRTABMEMBLOCK*> onList;
    prev = nullptr;
    for (const _YSTRTABMEMBLOCK* b = tab.pr_FreeBlockList(); b; prev = b, b = b->NextFreeBlock) {
        ASSERT_EQ(b->PrevFreeBlock, prev);
        ASSERT_TRUE(onList.insert(b).second);
    }
    EXPECT_EQ(onList, withFree);
    EXPECT_EQ(static_cast<int>(onList.size()), tab.pr_FreeBlockCount());
}

} // namespace

TEST(TYStrTab, StringsTakeOneCellPer27Bytes) {
    TYStrTab tab;
    EXPECT_EQ(tab.pr_BlockCount(), 0);
    const std::string s27(27, 'a'), s28(28, 'b'), s54(54, 'c');
    _YSTRTABCELL* c27 = tab.Add(s27.c_str());
    EXPECT_EQ(tab.pr_BlockCount(), 1);
    EXPECT_EQ(tab.pr_FreeCellTotal(), 254);
    _YSTRTABCELL* c28 = tab.Add(s28.c_str());
    EXPECT_EQ(tab.pr_FreeCellTotal(), 252);
    _YSTRTABCELL* c54 = tab.Add(s54.c_str(), 54);
    EXPECT_EQ(tab.pr_FreeCellTotal(), 250);
    EXPECT_EQ(CellsOf(c27), 1);
    EXPECT_EQ(CellsOf(c28), 2);
    EXPECT_EQ(c28->Length, 27);
    EXPECT_EQ(c28->Next->Length, 1);
    EXPECT_EQ(CellsOf(c54), 2);
    EXPECT_EQ(Read(tab, c28), s28);
    EXPECT_EQ(Read(tab, c54), s54);
    EXPECT_EQ(tab.pr_StringCount(), 3);
    EXPECT_EQ(tab.Add(""), nullptr);
    EXPECT_EQ(tab.Add(nullptr), nullptr);
    EXPECT_EQ(tab.Add("x", 0), nullptr);
    EXPECT_EQ(tab.pr_StringCount(), 3);
    CheckBookkeeping(tab);
}

TEST(TYStrTab, LongStringSpansNewBlocksAndDeletingEverythingReturnsThem) {
    TYStrTab tab;
    _YSTRTABCELL* small = tab.Add("seed");
    std::string big;
    for (int i = 0; i < 8000; ++i)
        big += static_cast<char>('0' + i % 43);
    _YSTRTABCELL* cell = tab.Add(big.c_str());
    EXPECT_EQ(CellsOf(cell), 297);
    EXPECT_EQ(tab.pr_BlockCount(), 2);
    EXPECT_EQ(Read(tab, cell), big);
    CheckBookkeeping(tab);
    EXPECT_TRUE(tab.Delete(cell));
    EXPECT_TRUE(tab.Delete(small));
    EXPECT_EQ(tab.pr_BlockCount(), 0);
    EXPECT_EQ(tab.pr_FreeCellTotal(), 0);
    EXPECT_EQ(tab.pr_StringCount(), 0);
    EXPECT_NE(tab.Add("again"), nullptr);
    EXPECT_EQ(tab.pr_BlockCount(), 1);
    CheckBookkeeping(tab);
}

TEST(TYStrTab, FreedCellOfAFullBlockIsReusedFirstAndNewBlocksGoLast) {
    TYStrTab tab;
    std::vector<_YSTRTABCELL*> first;
    for (int i = 0; i < 255; ++i)
        first.push_back(tab.Add("x"));
    EXPECT_EQ(tab.pr_FreeBlockCount(), 0);
    _YSTRTABCELL* second = tab.Add("y"); // second block
    const _YSTRTABMEMBLOCK* blockA = TYStrTab::BlockOf(first[0]);
    const _YSTRTABMEMBLOCK* blockB = TYStrTab::BlockOf(second);
    ASSERT_NE(blockA, blockB);
    EXPECT_EQ(tab.pr_BlockList(), blockB) << "newest block heads the list of all blocks";
    EXPECT_TRUE(tab.Delete(first[100]));
    EXPECT_EQ(tab.pr_FreeBlockList(), blockA);
    _YSTRTABCELL* reused = tab.Add("z");
    EXPECT_EQ(reused, first[100]);
    CheckBookkeeping(tab);

    // Two blocks with free cells; a third block is appended behind them.
    EXPECT_TRUE(tab.Delete(first[7]));
    const std::string big(27 * 300, 'q');
    _YSTRTABCELL* chain = tab.Add(big.c_str());
    EXPECT_EQ(chain, first[7]) << "the string starts in the first block on the free list";
    EXPECT_EQ(Read(tab, chain), big);
    CheckBookkeeping(tab);
}

TEST(TYStrTab, GetRespectsMaxLenAndReportsLength) {
    TYStrTab tab;
    const std::string s263(263, 'k'), s264(264, 'k');
    _YSTRTABCELL* a = tab.Add(s263.c_str());
    _YSTRTABCELL* b = tab.Add(s264.c_str());
    char buf[300];
    unsigned len = 99;
    EXPECT_TRUE(tab.Get(a, buf, 264, &len));
    EXPECT_EQ(len, 263u);
    EXPECT_EQ(std::string(buf), s263);
    EXPECT_FALSE(tab.Get(b, buf, 264, &len));
    EXPECT_TRUE(tab.Get(b, buf, 0, &len));
    EXPECT_EQ(len, 0u) << "no length is counted without a MaxLen";
    EXPECT_EQ(std::string(buf), s264);
}

TEST(TYStrTab, CompareMatchesStoredPrefixOnly) {
    TYStrTab tab;
    _YSTRTABCELL* ab = tab.Add("AB");
    EXPECT_TRUE(tab.Compare(ab, "AB"));
    EXPECT_TRUE(tab.Compare(ab, "ABC"));
    EXPECT_FALSE(tab.Compare(ab, "A"));
    EXPECT_FALSE(tab.Compare(ab, "AC"));
    const std::string long40(40, 'm');
    _YSTRTABCELL* m = tab.Add(long40.c_str());
    EXPECT_TRUE(tab.Compare(m, (long40 + "tail").c_str()));
    EXPECT_FALSE(tab.Compare(m, std::string(39, 'm').c_str()));
    EXPECT_TRUE(tab.Equals(m, long40.data(), 40));
    EXPECT_FALSE(tab.Equals(m, long40.data(), 39));
    EXPECT_FALSE(tab.Equals(ab, "ABC", 3));
}

TEST(TYStrTab, RefusesForeignNullAndFreedCells) {
    TYStrTab tab, other;
    char buf[64];
    EXPECT_FALSE(tab.Get(nullptr, buf)) << "empty arena";
    _YSTRTABCELL* mine = tab.Add("mine");
    _YSTRTABCELL* theirs = other.Add("theirs");
    EXPECT_FALSE(tab.Get(theirs, buf));
    EXPECT_FALSE(tab.Compare(theirs, "theirs"));
    EXPECT_FALSE(tab.Delete(theirs));
    EXPECT_FALSE(tab.Get(nullptr, buf));
    EXPECT_FALSE(tab.Get(mine, nullptr));
    EXPECT_FALSE(tab.Delete(nullptr));
    EXPECT_EQ(other.pr_StringCount(), 1);
    _YSTRTABCELL* keep = tab.Add("keep");
    EXPECT_TRUE(tab.Delete(mine));
    EXPECT_FALSE(tab.Delete(mine)) << "a second delete of the same string changes nothing";
    EXPECT_EQ(tab.pr_StringCount(), 1);
    EXPECT_EQ(Read(tab, keep), "keep");
    CheckBookkeeping(tab);
}

TEST(TYStrTab, SmallAllocationsAreCellsOfTheArena) {
    TYStrTab tab;
    EXPECT_EQ(tab.malloc(0), nullptr);
    EXPECT_EQ(tab.malloc(kYStrTabSmallAlloc + 1), nullptr);
    EXPECT_EQ(tab.pr_StringCount(), 0);
    auto* p = static_cast<unsigned char*>(tab.malloc(kYStrTabSmallAlloc));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(tab.pr_StringCount(), 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(void*), 0u);
    for (unsigned i = 0; i < kYStrTabSmallAlloc; ++i)
        p[i] = 0; // the whole allocation, length byte included, is the caller's
    _YSTRTABCELL* neighbour = tab.Add("neighbour");
    for (unsigned i = 0; i < kYStrTabSmallAlloc; ++i)
        p[i] = 0xA5;
    EXPECT_EQ(Read(tab, neighbour), "neighbour");
    EXPECT_TRUE(tab.free(p));
    EXPECT_FALSE(tab.free(nullptr));
    EXPECT_TRUE(tab.Delete(neighbour));
    EXPECT_EQ(tab.pr_StringCount(), 0);
    EXPECT_EQ(tab.pr_BlockCount(), 0);
}

TEST(TYStrTab, RandomAddsAndDeletesKeepContentAndCounters) {
    TYStrTab tab;
    std::mt19937 rng(1234);
    std::map<_YSTRTABCELL*, std::string> live;
    for (int round = 0; round < 6000; ++round) {
        if (live.empty() || rng() % 3 != 0) {
            std::string s(1 + rng() % (rng() % 10 == 0 ? 2000 : 60), '\0');
            for (char& c : s)
                c = static_cast<char>(rng() % 256);
            _YSTRTABCELL* cell = tab.Add(s.data(), static_cast<unsigned>(s.size()));
            ASSERT_TRUE(live.emplace(cell, s).second);
        } else {
            auto it = live.begin();
            std::advance(it, rng() % live.size());
            ASSERT_TRUE(tab.Delete(it->first));
            live.erase(it);
        }
        if (round % 500 == 0) CheckBookkeeping(tab);
    }
    EXPECT_EQ(tab.pr_StringCount(), static_cast<int>(live.size()));
    for (auto& [cell, text] : live) {
        std::string got;
        ASSERT_TRUE(tab.Append(cell, got));
        ASSERT_EQ(got, text);
    }
    CheckBookkeeping(tab);
    for (auto& entry : live)
        ASSERT_TRUE(tab.Delete(entry.first));
    EXPECT_EQ(tab.pr_BlockCount(), 0);
    EXPECT_TRUE(tab.DeleteAll());
}
