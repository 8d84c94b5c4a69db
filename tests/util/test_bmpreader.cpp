#include "util/tbmpreader.h"

#include "support/bmpsuitehelpers.h"
#include "support/ttestglyphs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using YVclUtil::TBmpReader;

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// A bitmap with an info header (or a V3 header when Masks are given, which
// then holds the four masks), the colour table, and Pixels as stored.
std::vector<uint8_t> Bmp(int32_t W, int32_t H, uint32_t Bits, uint32_t Compression,
                         const std::vector<uint32_t>& Palette, const std::vector<uint8_t>& Pixels,
                         const std::vector<uint32_t>& Masks = {}) {
    const uint32_t header = Masks.empty() ? 40 : 56;
    const size_t pixelsAt = 14 + header + 4 * Palette.size();
    std::vector<uint8_t> b(pixelsAt, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 10, static_cast<uint32_t>(pixelsAt));
    Put32(b, 14, header);
    Put32(b, 18, static_cast<uint32_t>(W));
    Put32(b, 22, static_cast<uint32_t>(H));
    Put16(b, 26, 1);
    Put16(b, 28, Bits);
    Put32(b, 30, Compression);
    Put32(b, 46, static_cast<uint32_t>(Palette.size()));
    for (size_t i = 0; i < Masks.size(); ++i)
        Put32(b, 54 + 4 * i, Masks[i]);
    for (size_t i = 0; i < Palette.size(); ++i)
        Put32(b, 14 + header + 4 * i, Palette[i]);
    b.insert(b.end(), Pixels.begin(), Pixels.end());
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

// Open and DecodeLit; "" and the map on success, else the reason.
std::string Lit(const std::vector<uint8_t>& File, std::vector<uint8_t>& Map) {
    TBmpReader reader;
    if (!reader.Open(File.data(), File.size()) || !reader.DecodeLit(Map))
        return reader.Reason().empty() ? "refused without a reason" : reader.Reason();
    return "";
}

std::string Refusal(const std::vector<uint8_t>& File) {
    std::vector<uint8_t> map;
    return Lit(File, map);
}

// The lit map the colour decoding gives: the two decodings must agree.
std::vector<uint8_t> LitOfArgb(const std::vector<uint8_t>& File) {
    TBmpReader reader;
    std::vector<uint32_t> argb;
    EXPECT_TRUE(reader.Open(File.data(), File.size()) && reader.DecodeArgb(argb))
        << reader.Reason();
    std::vector<uint8_t> lit;
    for (uint32_t p : argb)
        lit.push_back((p & 0x00FFFFFFu) == 0);
    return lit;
}

const std::vector<uint32_t> BlackWhite = {0x000000, 0xFFFFFF};
const std::vector<uint32_t> WhiteBlack = {0xFFFFFF, 0x000000};

} // namespace

// Each good picture decodes to exactly the lit map another decoder gives; each
// bad one is refused with a reason; each questionable one is one or the other.
TEST(BmpReaderSuite, GoodExactBadRefusedQuestionableEither) {
    for (const char* folder : {"g", "b", "q"}) {
        const std::vector<std::string> files = BmpSuite::Files(folder);
        ASSERT_EQ(files.size(), BmpSuite::Count(folder))
            << "BMP suite missing from " << BmpSuite::Dir();
        int refused = 0;
        for (const std::string& file : files) {
            SCOPED_TRACE(file);
            const std::vector<uint8_t> bytes = BmpSuite::Bytes(file);
            std::vector<uint8_t> map;
            const std::string reason = Lit(bytes, map);
            BmpSuite::TLitMap expected;
            const bool hasExpected = BmpSuite::Expected(file, expected);
            if (std::string(folder) == "g") {
                ASSERT_TRUE(hasExpected);
            }
            if (!reason.empty()) {
                EXPECT_NE(std::string(folder), "g") << reason;
                ++refused;
                continue;
            }
            EXPECT_NE(std::string(folder), "b") << "a bad picture was accepted";
            ASSERT_TRUE(hasExpected) << "accepted without an independent decoding to compare with";
            TBmpReader reader;
            ASSERT_TRUE(reader.Open(bytes.data(), bytes.size()));
            EXPECT_EQ(reader.Width(), expected.Width);
            EXPECT_EQ(reader.Height(), expected.Height);
            EXPECT_EQ(map, expected.Lit);
            EXPECT_EQ(LitOfArgb(bytes), map);
        }
        RecordProperty(std::string("refused_") + folder, refused);
    }
}

// A kilobyte that claims a huge picture is refused on its declared size,
// before a pixel is decoded, with the size in the reason; the caller's limits
// decide, up to the 16 bits of the packed header.
TEST(BmpReader, DeclaredSizeIsBoundedBeforeDecoding) {
    EXPECT_EQ(Refusal(ClaimingBmp(8192, 8192)),
              "picture too large: 8192 x 8192 pixels (at most 4096 a side and 1048576 in all)");
    EXPECT_NE(Refusal(ClaimingBmp(4097, 1)).find("4097 x 1 pixels"), std::string::npos);
    EXPECT_NE(Refusal(ClaimingBmp(2048, 1024)).find("2048 x 1024 pixels"), std::string::npos);
    std::vector<uint8_t> map;
    EXPECT_EQ(Lit(ClaimingBmp(4096, 256), map), "");
    EXPECT_EQ(map, std::vector<uint8_t>(size_t{4096} * 256, 0)); // every pixel skipped: unlit

    const std::vector<uint8_t> message = ClaimingBmp(64, 17);
    const TBmpReader::TLimits small{64, 64 * 16};
    TBmpReader reader;
    EXPECT_FALSE(reader.Open(message.data(), message.size(), small));
    EXPECT_EQ(reader.Reason(),
              "picture too large: 64 x 17 pixels (at most 64 a side and 1024 in all)");
    const std::vector<uint8_t> wide = ClaimingBmp(20000, 1);
    EXPECT_TRUE(reader.Open(wide.data(), wide.size(), {65535, 1u << 20}));
    const std::vector<uint8_t> wider = ClaimingBmp(70000, 1);
    EXPECT_FALSE(reader.Open(wider.data(), wider.size(), {100000, 1u << 20}));
    EXPECT_NE(reader.Reason().find("at most 65535 a side"), std::string::npos);
}

TEST(BmpReader, RunLengthSkipsAreUnlitAndStreamsMustBeWhole) {
    // 4 x 2, RLE8, colour 0 black: row 1 (stored first) gets two pixels of
    // colour 1, a delta skips to the top row, one pixel of colour 0, end.
    const std::vector<uint8_t> stream = {2, 1, 0, 2, 1, 1, 1, 0, 0, 1};
    const std::vector<uint8_t> good = Bmp(4, 2, 8, 1, BlackWhite, stream);
    std::vector<uint8_t> map;
    ASSERT_EQ(Lit(good, map), "");
    // Top row: x 0..2 skipped (unlit), x 3 lit; bottom row: 2 white, 2 skipped.
    EXPECT_EQ(map, (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(LitOfArgb(good), map);

    const auto refused = [&](std::vector<uint8_t> Stream, const char* Why) {
        EXPECT_NE(Refusal(Bmp(4, 2, 8, 1, BlackWhite, Stream)), "") << Why;
    };
    refused({2, 1, 0, 2, 1, 1, 1, 0}, "no end-of-bitmap mark");
    refused({5, 1, 0, 1}, "run past the end of the row");
    refused({0, 0, 0, 0, 1, 1, 0, 1}, "run below the last row");
    refused({0, 2, 5, 0, 0, 1}, "delta past the right edge");
    refused({0, 2, 0, 2, 0, 1}, "delta below the last row");
    refused({0, 3, 1, 5, 1, 0, 0, 1}, "absolute block with an index past the table");
    refused({2, 7, 0, 1}, "run of an index past the table");
    refused({0, 4, 1, 1}, "absolute block cut short");
    // RLE4: a run alternates its two nibbles; an odd absolute block is padded.
    const std::vector<uint8_t> rle4 = Bmp(3, 1, 4, 2, BlackWhite, {0, 3, 0x10, 0x10, 0, 1});
    ASSERT_EQ(Lit(rle4, map), "");
    EXPECT_EQ(map, (std::vector<uint8_t>{0, 1, 0}));
    std::vector<uint8_t> topDown = good;
    Put32(topDown, 22, static_cast<uint32_t>(-2));
    EXPECT_NE(Refusal(topDown), "");
}

TEST(BmpReader, PalettePixelsAreCheckedAgainstTheTable) {
    // 8-bit, 3 colours; index 3 at the last pixel.
    std::vector<uint8_t> pixels = {0, 1, 2, 3};
    EXPECT_NE(
        Refusal(Bmp(4, 1, 8, 0, {0xFFFFFF, 0x000000, 0x010000}, pixels)).find("palette index 3"),
        std::string::npos);
    pixels[3] = 2;
    std::vector<uint8_t> map;
    ASSERT_EQ(Lit(Bmp(4, 1, 8, 0, {0xFFFFFF, 0x000000, 0x010000}, pixels), map), "");
    EXPECT_EQ(map, (std::vector<uint8_t>{0, 1, 0, 0}));
    // A one-colour table for 1-bit pixels: fine while no pixel is 1.
    EXPECT_EQ(Refusal(Bmp(8, 1, 1, 0, {0x000000}, {0x00, 0, 0, 0})), "");
    EXPECT_NE(Refusal(Bmp(8, 1, 1, 0, {0x000000}, {0x01, 0, 0, 0})), "");
    // 2-bit pixels, leftmost in the top bits; the table's fourth byte is not colour.
    ASSERT_EQ(
        Lit(Bmp(4, 1, 2, 0, {0xFF000000, 0xFFFFFF, 0x000100, 0x808080}, {0x1B, 0, 0, 0}), map), "");
    EXPECT_EQ(map, (std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST(BmpReader, BitMasksMustBeSoundAndOnlyStoredZeroIsLit) {
    const std::vector<uint8_t> two = {0x01, 0x00, 0x00, 0x00,
                                      0x00, 0x00, 0xFF, 0xFF}; // 2 x 1, 32 bits
    const auto masks = [&](std::vector<uint32_t> M) { return Bmp(2, 1, 32, 3, {}, two, M); };
    EXPECT_NE(Refusal(masks({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF0000})).find("overlaps"),
              std::string::npos);
    EXPECT_NE(Refusal(masks({0xFF0000, 0x00F0F0, 0x00000F, 0})).find("not one run"),
              std::string::npos);
    EXPECT_NE(Refusal(masks({0xFF0000, 0x00FF00, 0, 0})).find("blue bit mask is empty"),
              std::string::npos);
    EXPECT_NE(Refusal(Bmp(2, 1, 16, 3, {}, {1, 0, 0, 0}, {0x7C000, 0x3E0, 0x1F, 0})).find("wider"),
              std::string::npos);
    // 10-bit channels: a stored 1 is not black, though it scales to less than
    // one step of 8 bits; a stored 0 with any alpha is.
    std::vector<uint8_t> map;
    const std::vector<uint8_t> tenBits = Bmp(2, 1, 32, 3, {}, {0x01, 0, 0, 0, 0, 0, 0, 0xC0},
                                             {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000});
    ASSERT_EQ(Lit(tenBits, map), "");
    EXPECT_EQ(map, (std::vector<uint8_t>{0, 1}));
    EXPECT_EQ(LitOfArgb(tenBits), map);
}

TEST(BmpReader, HeadersThatContradictTheFileAreRefused) {
    const std::vector<uint8_t> good = Bmp(8, 2, 1, 0, WhiteBlack, {0xF0, 0, 0, 0, 0x0F, 0, 0, 0});
    std::vector<uint8_t> map;
    ASSERT_EQ(Lit(good, map), "");
    // Stored bottom row first; white = index 0.
    EXPECT_EQ(map, (std::vector<uint8_t>{0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0}));
    TBmpReader::TMonoRows rows;
    TBmpReader reader;
    ASSERT_TRUE(reader.Open(good.data(), good.size()));
    ASSERT_TRUE(reader.MonoRows(rows));
    EXPECT_EQ(rows.Top[0], 0x0F);
    EXPECT_EQ(rows.Top[rows.Stride], 0xF0);
    EXPECT_TRUE(rows.LitWhenSet);
    EXPECT_FALSE(rows.LitWhenClear);

    const auto changed = [&](size_t At, uint32_t Value) {
        std::vector<uint8_t> b = good;
        Put32(b, At, Value);
        return b;
    };
    EXPECT_NE(Refusal(changed(2, 1000)).find("cut short"), std::string::npos);
    EXPECT_NE(Refusal(changed(34, 9)).find("image size"), std::string::npos);
    EXPECT_NE(Refusal(changed(38, 30000000)).find("resolution"), std::string::npos);
    EXPECT_NE(Refusal(changed(46, 0x40000000)).find("colour table"), std::string::npos);
    EXPECT_NE(Refusal(changed(10, 20)).find("overlap"), std::string::npos);
    EXPECT_NE(Refusal(changed(18, 70000)).find("too large"), std::string::npos);
    EXPECT_NE(Refusal(changed(22, 0)).find("height"), std::string::npos);
    EXPECT_NE(Refusal(changed(14, 66)).find("header size"), std::string::npos);
    EXPECT_NE(Refusal(changed(30, 4)).find("JPEG"), std::string::npos);
    std::vector<uint8_t> cut = good;
    cut.pop_back();
    Put32(cut, 2, static_cast<uint32_t>(cut.size()));
    EXPECT_NE(Refusal(cut).find("pixel data cut short"), std::string::npos);
    EXPECT_NE(Refusal({'B', 'M', 0}).find("cut short"), std::string::npos);
    EXPECT_EQ(Refusal({'P', 'N', 'G', 0}), "not a Windows bitmap");
}

// Header fields set to random values never make the reader read outside the
// bytes it was given (the sanitizer build checks the reads), and whatever it
// accepts decodes the same twice.
TEST(BmpReader, RandomHeadersStayInsideTheFile) {
    unsigned seed = 4242;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const std::vector<std::vector<uint8_t>> bases = {
        Bmp(16, 2, 1, 0, BlackWhite, std::vector<uint8_t>(8, 0x5A)),
        Bmp(4, 2, 8, 1, BlackWhite, {2, 1, 0, 2, 1, 1, 1, 0, 0, 1}),
        Bmp(3, 3, 16, 3, {}, std::vector<uint8_t>(24, 0x11), {0xF800, 0x07E0, 0x001F, 0}),
        Bmp(5, 2, 24, 0, {}, std::vector<uint8_t>(32, 0))};
    const size_t fields[] = {2, 10, 14, 18, 22, 26, 28, 30, 34, 46, 54, 58};
    int accepted = 0;
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> b = bases[static_cast<size_t>(round) % bases.size()];
        const size_t at = fields[next() % std::size(fields)];
        if (at + 4 <= b.size()) Put32(b, at, next() % 4 == 0 ? next() : next() % 80);
        b.resize(b.size() - next() % 6);
        std::vector<uint8_t> first, second;
        if (Lit(b, first).empty()) {
            ++accepted;
            ASSERT_EQ(Lit(b, second), "");
            EXPECT_EQ(first, second);
        }
    }
    EXPECT_GT(accepted, 0);
}
