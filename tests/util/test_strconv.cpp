#include "util/eyconverterror.h"
#include "util/strconv.h"

#include <gtest/gtest.h>

using namespace YVclUtil;

TEST(StrToInt, AcceptsDecimalAndTheHexForms) {
    EXPECT_EQ(StrToInt("42"), 42);
    EXPECT_EQ(StrToInt("  -17"), -17);
    EXPECT_EQ(StrToInt("+8"), 8);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("x10"), 16);
    EXPECT_EQ(StrToInt("X10"), 16);
    EXPECT_EQ(StrToInt("0x1f"), 31);
    EXPECT_EQ(StrToInt("0XFF"), 255);
    EXPECT_EQ(StrToInt("-$10"), -16);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, RejectsEverythingElse) {
    for (const char* bad : {"", " ", "12abc", "abc", "1 2", "12 ", "-", "$", "0x", "2147483648",
                            "-2147483649", "$100000000", "1.5", "--1"}) {
        int32_t value = 5;
        EXPECT_FALSE(TryStrToInt(bad, value)) << bad;
        EXPECT_EQ(value, 5);
        EXPECT_THROW(StrToInt(bad), EYConvertError) << bad;
    }
}

TEST(DateTimeText, ReadsBackWhatItWrites) {
    TDateTime when;
    ASSERT_TRUE(TDateTime::TryEncode(2026, 2, 28, 23, 5, 9, 0, when));
    EXPECT_EQ(DateTimeToStr(when), "2026-02-28 23:05:09");
    EXPECT_EQ(StrToDateTime(DateTimeToStr(when)), when);
    TDateTime day;
    TDateTime::TryEncode(2026, 2, 28, 0, 0, 0, 0, day);
    EXPECT_EQ(StrToDate(DateToStr(when)), day);
    TDateTime time;
    TDateTime::TryEncode(1899, 12, 30, 23, 5, 9, 0, time);
    EXPECT_EQ(TimeToStr(when), "23:05:09");
    EXPECT_EQ(StrToTime(" 23:05:09 "), time);
    EXPECT_EQ(StrToTime("7:30").Val, 7.5 / 24);
    EXPECT_EQ(StrToDateTime("2026-02-28"), day);
}

TEST(DateTimeText, MalformedTextRaises) {
    for (const char* bad :
         {"", "2026-02-30", "2026/02/01", "2026-02-01x", "24:00:00", "12:60", "noon"}) {
        EXPECT_THROW(StrToDate(bad), EYConvertError) << bad;
        EXPECT_THROW(StrToTime(bad), EYConvertError) << bad;
        EXPECT_THROW(StrToDateTime(bad), EYConvertError) << bad;
    }
    EXPECT_THROW(StrToDateTime("2026-01-01 25:00"), EYConvertError);
}
