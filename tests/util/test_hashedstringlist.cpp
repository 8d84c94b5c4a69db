#include "util/errmsgbox.h"
#include "util/eygeneral.h"
#include "util/tyhashedstringlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace YVclUtil;

namespace {

struct Tagged : TObject {
    explicit Tagged(int v) : Value(v) {}
    int Value;
};

void ExpectKey(uint64_t key, uint32_t high, uint32_t low, unsigned bucket) {
    EXPECT_EQ(static_cast<uint32_t>(key >> 32), high);
    EXPECT_EQ(static_cast<uint32_t>(key), low);
    EXPECT_EQ(static_cast<uint32_t>(key) & 127u, bucket);
}

} // namespace

TEST(TYHashedStringList, HashKeyMatchesKnownValues) {
    unsigned len = 99;
    ExpectKey(TYHashedStringList::StrToHashKey("abc", &len), 0x3D83FF29u, 0xF3DF2A68u, 104);
    EXPECT_EQ(len, 3u);
    ExpectKey(TYHashedStringList::StrToHashKey("a", &len), 0x10000003u, 0x7FFFFCE7u, 103);
    ExpectKey(TYHashedStringList::StrToHashKey("\xE9", &len), 0x57FFFFFFu, 0x400000C5u, 69);
    EXPECT_EQ(TYHashedStringList::StrToHashKey("", &len), 0u);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(TYHashedStringList::StrToHashKey(nullptr, &len), 0u);
    EXPECT_EQ(TYHashedStringList::StrToHashKey("Key", nullptr),
              TYHashedStringList::StrToHashKey("Key", 3u));
}

TEST(TYHashedStringList, KeyLengthLimitsAndCase) {
    TYStrTab tab;
    TYHashedStringList list(&tab);
    const std::string k256(256, 'k'), k257(257, 'k');
    EXPECT_EQ(list.Add(k256.c_str()), 0);
    EXPECT_EQ(list.Add(k257.c_str()), -1);
    EXPECT_EQ(list.Add(""), -1);
    EXPECT_EQ(list.Add(nullptr), -1);
    EXPECT_EQ(list.Strings(0), k256);
    EXPECT_EQ(list.Add("Key"), 1);
    EXPECT_EQ(list.Add("KEY"), 2);
    EXPECT_EQ(list.IndexOf("KEY"), 2);
    EXPECT_EQ(list.IndexOf("key"), -1);
    EXPECT_EQ(list.IndexOf(k257.c_str()), -1);
    EXPECT_EQ(list.Count(), 3);
}

TEST(TYHashedStringList, AddOfExistingKeyReplacesObjectAfterCallback) {
    TYStrTab tab;
    TYHashedStringList list(&tab);
    Tagged one(1), two(2), three(3);
    list.Add("alpha", &one);
    list.Add("beta", &two);
    std::vector<std::pair<TObject*, int>> calls;
    list.OnReplace = [&](TObject* sender, int32_t index) {
        calls.emplace_back(sender, index);
        EXPECT_EQ(list.Objects(index), &two) << "the old object is still in place";
    };
    const int32_t stringsBefore = tab.pr_StringCount();
    EXPECT_EQ(list.Add("beta", &three), 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, &list);
    EXPECT_EQ(calls[0].second, 1);
    EXPECT_EQ(list.Objects(1), &three);
    EXPECT_EQ(list.Strings(1), "beta");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(tab.pr_StringCount(), stringsBefore);
    list.OnReplace = nullptr;
}

TEST(TYHashedStringList, DeleteRenumbersLaterEntries) {
    TYStrTab tab;
    TYHashedStringList list(&tab);
    list.Add("first");
    list.Add("second");
    list.Add("third");
    std::vector<int> deleted;
    list.OnDelete = [&](TObject*, int32_t index) {
        deleted.push_back(index);
        EXPECT_EQ(list.Count(), 3) << "called before anything changes";
    };
    EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(deleted, std::vector<int>{0});
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Strings(0), "second");
    EXPECT_EQ(list.IndexOf("second"), 0);
    EXPECT_EQ(list.IndexOf("third"), 1);
    EXPECT_EQ(list.IndexOf("first"), -1);
    EXPECT_FALSE(list.Delete(2));
    EXPECT_FALSE(list.Delete(-1));
    EXPECT_EQ(deleted.size(), 1u) << "no callback for a refused delete";
    list.OnDelete = nullptr;
}

TEST(TYHashedStringList, OutOfRangePropertiesRaiseWithIndex) {
    TYStrTab tab;
    TYHashedStringList list(&tab);
    list.Add("only");
    try {
        list.Strings(1);
        FAIL() << "no exception";
    } catch (const EYGeneral& e) {
        EXPECT_STREQ(e.what(), "TYHashedStringList: Invalid Index for Strings[1]");
        EXPECT_EQ(e.Code, -1);
    }
    try {
        list.Objects(-1);
        FAIL() << "no exception";
    } catch (const EYGeneral& e) {
        EXPECT_STREQ(e.what(), "TYHashedStringList: Invalid Index for Objects[-1]");
    }
    EXPECT_THROW(list.pw_Objects(5, nullptr), EYGeneral);
    try {
        list.pw_Strings(0, "x");
        FAIL() << "no exception";
    } catch (const EYGeneral& e) {
        EXPECT_STREQ(e.what(), "TYHashedStringList: Strings[ ] is read only");
    }
}

TEST(TYHashedStringList, DeleteAllNotifiesEveryIndexInOrderAndReturnsCells) {
    TYStrTab tab;
    {
        TYHashedStringList list(&tab);
        std::vector<std::unique_ptr<Tagged>> objects;
        for (int i = 0; i < 5; ++i) {
            objects.push_back(std::make_unique<Tagged>(i));
            list.Add(("key" + std::to_string(i)).c_str(), objects.back().get());
        }
        std::vector<int> seen;
        list.OnDelete = [&](TObject*, int32_t index) {
            seen.push_back(static_cast<Tagged*>(list.Objects(index))->Value);
            EXPECT_EQ(index, static_cast<int32_t>(seen.size()) - 1);
        };
        EXPECT_TRUE(list.DeleteAll());
        EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(list.pr_ListTabSize(), 0);
        EXPECT_EQ(list.IndexOf("key1"), -1);
        EXPECT_EQ(list.Add("key1"), 0) << "usable again after DeleteAll";
        list.OnDelete = nullptr;
    }
    EXPECT_EQ(tab.pr_StringCount(), 0) << "the destructor gives every cell back";
    EXPECT_EQ(tab.pr_BlockCount(), 0);
}

TEST(TYHashedStringList, ListTabGrowsAndShrinksInSteps) {
    TYStrTab tab;
    TYHashedStringList list(&tab);
    EXPECT_EQ(list.pr_ListTabSize(), 0);
    list.Add("k0");
    EXPECT_EQ(list.pr_ListTabSize(), TYHashedStringList::kListTabFirst)
        << "a short list stays small";
    for (int i = 1; i < 1024; ++i)
        ASSERT_EQ(list.Add(("k" + std::to_string(i)).c_str()), i);
    EXPECT_EQ(list.pr_ListTabSize(), 1024);
    list.Add("k1024");
    EXPECT_EQ(list.pr_ListTabSize(), 2048);
    EXPECT_TRUE(list.Delete(1024));
    EXPECT_EQ(list.pr_ListTabSize(), 1024);
    EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(list.pr_ListTabSize(), 1024) << "never below one step";
}

TEST(TYHashedStringList, RandomEditsKeepIndicesDenseAndInOrder) {
    TYStrTab tab;
    TYHashedStringList list(&tab);
    std::vector<std::string> model;
    std::mt19937 rng(77);
    for (int round = 0; round < 5000; ++round) {
        if (model.empty() || rng() % 5 < 3) {
            const std::string key = "k" + std::to_string(rng() % 3000);
            const auto it = std::find(model.begin(), model.end(), key);
            const int32_t index = list.Add(key.c_str());
            if (it == model.end()) {
                ASSERT_EQ(index, static_cast<int32_t>(model.size()));
                model.push_back(key);
            } else {
                ASSERT_EQ(index, it - model.begin());
            }
        } else {
            const size_t index = rng() % model.size();
            ASSERT_TRUE(list.Delete(static_cast<int32_t>(index)));
            model.erase(model.begin() + static_cast<long>(index));
        }
    }
    ASSERT_EQ(list.Count(), static_cast<int32_t>(model.size()));
    EXPECT_GT(list.pr_BucketCount(), TYHashedStringList::kBuckets) << "the chains were spread out";
    for (size_t i = 0; i < model.size(); ++i) {
        ASSERT_EQ(list.Strings(static_cast<int32_t>(i)), model[i]);
        ASSERT_EQ(list.IndexOf(model[i].c_str()), static_cast<int32_t>(i));
    }
    EXPECT_EQ(tab.pr_StringCount(), 2 * list.Count()) << "one text and one entry cell per key";
}

TEST(TYHashedStringList, NullArenaGivesAnUnusableList) {
    std::vector<std::string> boxes;
    auto previous = SetErrMsgBoxHandler([&](const std::string& caption, const std::string& text) {
        boxes.push_back(caption + "|" + text);
    });
    {
        TYHashedStringList list(nullptr);
        EXPECT_FALSE(list.IsUsable());
        EXPECT_EQ(list.Add("x"), -1);
        EXPECT_EQ(list.IndexOf("x"), -1);
        EXPECT_FALSE(list.Delete(0));
    }
    SetErrMsgBoxHandler(previous);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "TYHashedStringList|Err: The user specified TYStrTab* is NULL !!!");
}

TEST(TYHashedStringList, KeysSharingAHashKeyStayDistinct) {
    const char first[] = "\xbe\x79\xb8";
    const char second[] = "\xde\x80\xc0";
    ASSERT_EQ(TYHashedStringList::StrToHashKey(first, nullptr),
              TYHashedStringList::StrToHashKey(second, nullptr));
    TYStrTab tab;
    TYHashedStringList list(&tab);
    int replaced = 0;
    list.OnReplace = [&](TObject*, int32_t) { ++replaced; };
    EXPECT_EQ(list.Add(first), 0);
    EXPECT_EQ(list.IndexOf(second), -1);
    EXPECT_EQ(list.Add(second), 1);
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(list.IndexOf(first), 0);
    EXPECT_EQ(list.IndexOf(second), 1);
    EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(list.IndexOf(second), 0);
    EXPECT_EQ(list.IndexOf(first), -1);
    list.OnReplace = nullptr;
}
