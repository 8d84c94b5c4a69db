#include "link/linkframe.h"
#include "util/crc8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace DpuLink;
using YVclUtil::TDateTime;

namespace {
TDateTime At(int y, int mo, int d, int h, int mi, int s) {
    TDateTime t;
    EXPECT_TRUE(TDateTime::TryEncode(y, mo, d, h, mi, s, 0, t));
    return t;
}
} // namespace

TEST(LinkFrame, CrcCheckValueAndTableKey) {
    const char* check = "123456789";
    EXPECT_EQ(YVclUtil::Crc8(reinterpret_cast<const uint8_t*>(check), 9), 0xA1);
    // Appending the CRC to a message gives 0, which is how the display checks a frame.
    uint8_t msg[10];
    std::memcpy(msg, check, 9);
    msg[9] = 0xA1;
    EXPECT_EQ(YVclUtil::Crc8(msg, 10), 0);
}

TEST(LinkFrame, RomBlockIndexesDataAndCrc) {
    std::vector<uint8_t> image(976 * 64);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7 + i / 64);
    TLinkFrame f;
    const struct {
        unsigned n;
        uint8_t page, block;
    } cases[] = {{1, 0x00, 0x00}, {8, 0x00, 0x07}, {9, 0x01, 0x00}, {976, 0x79, 0x07}};
    for (const auto& c : cases) {
        const uint8_t crc = f.BuildRomBlock(image.data(), c.n);
        EXPECT_EQ(f.Bytes[0], 0x03) << c.n;
        EXPECT_EQ(f.Bytes[1], c.page) << c.n;
        EXPECT_EQ(f.Bytes[2], c.block) << c.n;
        EXPECT_EQ(0, std::memcmp(f.Bytes + 3, image.data() + (c.n - 1) * 64, 64)) << c.n;
        EXPECT_EQ(crc, YVclUtil::Crc8(f.Bytes, 67)) << c.n;
        EXPECT_EQ(f.Bytes[67], crc);
    }
}

TEST(LinkFrame, BcdTable) {
    EXPECT_EQ(BcdTable[0], 0x00);
    EXPECT_EQ(BcdTable[9], 0x09);
    EXPECT_EQ(BcdTable[10], 0x10);
    EXPECT_EQ(BcdTable[59], 0x59);
    EXPECT_EQ(BcdTable[99], 0x99);
    for (int v = 0; v < 100; ++v)
        EXPECT_EQ((BcdTable[v] >> 4) * 10 + (BcdTable[v] & 0x0F), v);
}

TEST(LinkFrame, DateTimeFrame) {
    TLinkFrame f;
    std::memset(f.Bytes, 0xEE, sizeof f.Bytes); // leftovers of a ROM block must not leak in
    const uint8_t crc = f.BuildDateTime(At(2026, 12, 6, 21, 5, 9));
    const uint8_t want[] = {0x01, 0x00, 0x01, 0x26, 0x12, 0x06, 0x07, 0x21, 0x05, 0x09};
    EXPECT_EQ(0, std::memcmp(f.Bytes, want, sizeof want));
    for (size_t i = 10; i < 67; ++i)
        EXPECT_EQ(f.Bytes[i], 0) << i;
    EXPECT_EQ(crc, YVclUtil::Crc8(f.Bytes, 67));

    f.BuildDateTime(At(2000, 1, 1, 0, 0, 0));
    const uint8_t want2000[] = {0x01, 0x00, 0x01, 0x00, 0x01, 0x01, 0x06, 0x00, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(f.Bytes, want2000, sizeof want2000));

    f.BuildDateTime(At(2099, 10, 31, 23, 59, 58));
    const uint8_t want2099[] = {0x99, 0x10, 0x31, 0x06, 0x23, 0x59, 0x58};
    EXPECT_EQ(0, std::memcmp(f.Bytes + 3, want2099, sizeof want2099));
}

TEST(LinkFrame, WeekdayMondayOneSundaySeven) {
    // 7 December 2026 is a Monday.
    for (int d = 0; d < 7; ++d)
        EXPECT_EQ(DisplayWeekday(At(2026, 12, 7 + d, 12, 0, 0)), d + 1) << d;
}
