#include "fieldbus/tvtnetlinecodec.h"

#include <gtest/gtest.h>

#include <string>

using namespace OrvCtrl;

namespace {

TVtnLine Parse(const std::string& s) {
    return TVTNetLineCodec::ParseLine(s.data(), s.size());
}

} // namespace

TEST(VtnLineCodec, CommandLines) {
    EXPECT_EQ(TVTNetLineCodec::HandshakeLine(),
              " \n ?R3\r\n ?R4\r\n ?R5\r\n ?R6\r\n ?R7\r\n ?R8\r\n ?R9\r\n ?R0\r\n ?R1\r\n");
    EXPECT_EQ(TVTNetLineCodec::WriteOutputsLine(0x05), " +R0=05\r\n");
    EXPECT_EQ(TVTNetLineCodec::WriteOutputsLine(0xAB), " +R0=AB\r\n");
    EXPECT_EQ(TVTNetLineCodec::WriteR8Line(0x3c), " +R8=3C\r\n ?R8\r\n");
    EXPECT_EQ(TVTNetLineCodec::WriteR9Line(0), " +R9=00\r\n ?R9\r\n");
    EXPECT_EQ(TVTNetLineCodec::ResetLine(), " +RF=00\r\n");
}

TEST(VtnLineCodec, PacketLineIsUpperHexOfTheWholePacket) {
    _SVTNTXDPACKET p;
    p.VtnSegId = 0x01;
    p.VtnNodeId = 0x02;
    p.BytesOfDatas = 1;
    p.Datas[0] = 0x03;
    p.Datas[1] = 0xEE; // past BytesOfDatas: not sent
    EXPECT_EQ(TVTNetLineCodec::PacketLine(p), ">01020103\r\n");
    p.VtnSegId = 0x80;
    p.VtnNodeId = 0x7f;
    p.BytesOfDatas = 2;
    p.Datas[0] = 0x84;
    p.Datas[1] = 0x0a;
    EXPECT_EQ(TVTNetLineCodec::PacketLine(p), ">807F02840A\r\n");
}

TEST(VtnLineCodec, RegisterRepliesAndTheirMaskBits) {
    const struct {
        const char* line;
        char reg;
        uint8_t value;
        uint32_t bit;
    } good[] = {
        {"*R0=05\n", '0', 0x05, 0x1},    {"*R1=0F\r\n", '1', 0x0F, 0x2},
        {"*R3=10\n", '3', 0x10, 0x8},    {"*R7=FF\n", '7', 0xFF, 0x80},
        {"*R9=a5\n", '9', 0xA5, 0x200},  {"*RE=01\n", 'E', 0x01, 0x4000},
        {"*RF=00\n", 'F', 0x00, 0x8000}, {"*R8=7E", '8', 0x7E, 0x100},
    };
    uint32_t handshake = 0;
    for (const auto& g : good) {
        const TVtnLine l = Parse(g.line);
        ASSERT_EQ(l.Kind, TVtnLine::lk_Register) << g.line;
        EXPECT_EQ(l.Register, g.reg);
        EXPECT_EQ(l.Value, g.value);
        EXPECT_EQ(l.ReplyBit, g.bit);
    }
    for (char r : std::string("0133456789"))
        handshake |= TVTNetLineCodec::ReplyBitOf(r);
    EXPECT_EQ(handshake, TVTNetLineCodec::HandshakeReplyMask);
}

TEST(VtnLineCodec, MalformedRegisterRepliesAreIgnored) {
    for (const char* bad :
         {"*R0=5\n", "*R0=5AB\n", "*R0=\n", "*X0=05\n", "*R0:05\n", "*R2=05\n", "*RA=05\n",
          "*R0=G5\n", "*R0= 5\n", "*R0=05 \n", "*R0=-1\n", "*", "*R0", "R0=05\n", "#R0=05\n", ""}) {
        EXPECT_EQ(Parse(bad).Kind, TVtnLine::lk_Ignored) << bad;
    }
}

TEST(VtnLineCodec, PacketLines) {
    TVtnLine l = Parse("@0102010F\n");
    ASSERT_EQ(l.Kind, TVtnLine::lk_Packet);
    EXPECT_EQ(l.Packet.VtnSegId, 1);
    EXPECT_EQ(l.Packet.VtnNodeId, 2);
    EXPECT_EQ(l.Packet.BytesOfDatas, 1);
    EXPECT_EQ(l.Packet.Datas[0], 15);
    EXPECT_EQ(l.Packet.Datas[1], 0); // the buffer is zeroed past the data

    // 17 data bytes fill the 20-byte buffer exactly.
    std::string longest = "@8000" + std::string("11");
    for (int i = 0; i < 17; ++i)
        longest += "AB";
    l = Parse(longest + "\r\n");
    ASSERT_EQ(l.Kind, TVtnLine::lk_Packet);
    EXPECT_EQ(l.Packet.BytesOfDatas, 17);
    EXPECT_EQ(l.Packet.Datas[16], 0xAB);
}

TEST(VtnLineCodec, MalformedPacketLinesAreIgnored) {
    std::string tooLong = "@800012";
    for (int i = 0; i < 18; ++i)
        tooLong += "00";
    for (const std::string& bad :
         {std::string("@01020203\n"),  // byte count 4, but byte 2 says 2 data bytes
          std::string("@0102010f\n"),  // lower-case hex
          std::string("@010201\n"),    // fewer than 4 bytes
          std::string("@0102010F"),    // no line end
          std::string("@0102010F0\n"), // half a pair
          std::string("@0102010FX\n"), // stops at a character that is not a line end
          std::string("@0102010F \n"), // blank before the line end
          std::string("@\n"),
          tooLong + "\n", // 21 bytes
          std::string("@01020\x00"
                      "10F\n",
                      10)}) {
        EXPECT_EQ(Parse(bad).Kind, TVtnLine::lk_Ignored) << bad;
    }
}

TEST(VtnLineCodec, OverlongAndBinaryInputNeverReadsPastTheLine) {
    std::string junk(100000, 'F');
    junk[0] = '@';
    EXPECT_EQ(Parse(junk).Kind, TVtnLine::lk_Ignored);
    junk[0] = '*';
    EXPECT_EQ(Parse(junk).Kind, TVtnLine::lk_Ignored);
    EXPECT_EQ(TVTNetLineCodec::ParseLine(nullptr, 5).Kind, TVtnLine::lk_Ignored);
    // Lengths that end inside a good line.
    const std::string good = "@0102010F\n";
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(TVTNetLineCodec::ParseLine(good.data(), n).Kind, TVtnLine::lk_Ignored) << n;
}
