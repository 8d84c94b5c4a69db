#include "util/errmsgbox.h"
#include "util/eygeneral.h"
#include "util/tdatetime.h"
#include "util/virtualmem.h"

#include <QObject>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

using namespace YVclUtil;

TEST(EYGeneral, FormatsMessageAndKeepsCode) {
    EYGeneral plain("block %d of %s", 3, "arena");
    EXPECT_STREQ(plain.what(), "block 3 of arena");
    EXPECT_EQ(plain.Code, -1);
    EYGeneral coded(42, "code %s", "x");
    EXPECT_EQ(coded.Message, "code x");
    EXPECT_EQ(coded.Code, 42);
    // A long message is not cut at any internal buffer size.
    std::string long_text(1000, 'z');
    EYGeneral big("%s", long_text.c_str());
    EXPECT_EQ(big.Message, long_text);
    try {
        throw EYGeneral(7, "thrown");
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "thrown");
    }
}

TEST(ErrMsgBox, HandlerGetsCaptionAndTextAndLengthIsReturned) {
    std::vector<std::pair<std::string, std::string>> seen;
    auto previous = SetErrMsgBoxHandler(
        [&](const std::string& c, const std::string& t) { seen.emplace_back(c, t); });
    EXPECT_EQ(ShowErrMsgBox_Printf("TYIniFile", "Err: %s !!!", "x"), 10);
    QObject owner;
    owner.setObjectName("PcUart1");
    EXPECT_EQ(ShowErrMsgBox_Printf(&owner, "n=%d", 5), 3);
    SetErrMsgBoxHandler(previous);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(std::string("TYIniFile"), std::string("Err: x !!!")));
    EXPECT_EQ(seen[1].first, "PcUart1");
    EXPECT_EQ(seen[1].second, "n=5");
}

TEST(Helpers, BinToHexAsciiWritesTwoUpperCaseDigitsOnly) {
    char out[3] = {0, 0, '#'};
    BinToHexAscii(0xAF, out);
    EXPECT_EQ(out[0], 'A');
    EXPECT_EQ(out[1], 'F');
    EXPECT_EQ(out[2], '#');
    BinToHexAscii(0x05, out);
    EXPECT_EQ(std::string(out, 2), "05");
    EXPECT_EQ(SendDbgString_Printf("abc%d", 12), 5);
}

TEST(VirtualMem, RegionsAreAlignedZeroedAndFreedOnce) {
    std::vector<void*> regions;
    for (unsigned size : {1u, 8192u, 65536u, 200000u}) {
        void* p = YAllocVirtualMem(size);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % kVirtualMemAlignment, 0u);
        auto* bytes = static_cast<unsigned char*>(p);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[size - 1], 0);
        std::memset(p, 0xA5, size);
        regions.push_back(p);
    }
    EXPECT_EQ(YAllocVirtualMem(0), nullptr);
    for (void* p : regions)
        EXPECT_TRUE(YFreeVirtualMem(p));
    EXPECT_FALSE(YFreeVirtualMem(regions[0]));
    EXPECT_FALSE(YFreeVirtualMem(nullptr));
}

TEST(TDateTime, EncodesDecodesAndNamesWeekdays) {
    TDateTime t;
    ASSERT_TRUE(TDateTime::TryEncode(2026, 12, 6, 21, 5, 9, 0, t));
    int y, mo, d, h, mi, s, ms;
    t.DecodeDate(y, mo, d);
    t.DecodeTime(h, mi, s, ms);
    EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s, ms}),
              std::vector<int>({2026, 12, 6, 21, 5, 9, 0}));
    EXPECT_EQ(t.DayOfWeek(), 1); // Sunday
    ASSERT_TRUE(TDateTime::TryEncode(2000, 1, 1, 0, 0, 0, 0, t));
    EXPECT_DOUBLE_EQ(t.Val, 36526.0);
    EXPECT_EQ(t.DayOfWeek(), 7); // Saturday
    ASSERT_TRUE(TDateTime::TryEncode(1899, 12, 30, 12, 0, 0, 0, t));
    EXPECT_DOUBLE_EQ(t.Val, 0.5);
    ASSERT_TRUE(TDateTime::TryEncode(1899, 12, 29, 6, 0, 0, 0, t));
    EXPECT_DOUBLE_EQ(t.Val, -1.25);
    t.DecodeDate(y, mo, d);
    t.DecodeTime(h, mi, s, ms);
    EXPECT_EQ(std::vector<int>({y, mo, d, h}), std::vector<int>({1899, 12, 29, 6}));
    EXPECT_FALSE(TDateTime::TryEncode(2023, 2, 29, 0, 0, 0, 0, t));
    EXPECT_TRUE(TDateTime::TryEncode(2024, 2, 29, 0, 0, 0, 0, t));
    EXPECT_FALSE(TDateTime::TryEncode(2024, 1, 1, 24, 0, 0, 0, t));
}

#include "util/crc8.h"

TEST(Crc8, TableAndCheckValue) {
    EXPECT_EQ(Crc8Table[0], 0x00);
    EXPECT_EQ(Crc8Table[1], 0x5E);
    EXPECT_EQ(Crc8Table[2], 0xBC);
    EXPECT_EQ(Crc8Table[3], 0xE2);
    const char* check = "123456789";
    EXPECT_EQ(Crc8(reinterpret_cast<const uint8_t*>(check), 9), 0xA1);
    // A message followed by its own CRC checks to zero.
    uint8_t frame[4] = {0x03, 0x01, 0x00, 0};
    frame[3] = Crc8(frame, 3);
    EXPECT_EQ(Crc8(frame, 4), 0);
}
