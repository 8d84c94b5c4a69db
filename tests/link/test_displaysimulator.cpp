#include "displaysimulator.h"
#include "link/linkframe.h"
#include "util/tdatetime.h"

#include <gtest/gtest.h>

#include <vector>

using DpuLink::TLinkFrame;

namespace {

class DisplaySimulatorTest : public ::testing::Test {
protected:
    TDisplaySimulator::TFrameResult Send(const TLinkFrame& F, uint8_t& Reply) {
        auto r = TDisplaySimulator::fr_None;
        for (size_t i = 0; i < sizeof F.Bytes; ++i) {
            r = Sim.Feed(F.Bytes[i], Reply);
            if (i + 1 < sizeof F.Bytes) {
                EXPECT_EQ(r, TDisplaySimulator::fr_None);
            }
        }
        return r;
    }
    TLinkFrame Block(unsigned N) {
        TLinkFrame f;
        f.BuildRomBlock(Image.data(), N);
        return f;
    }
    TDisplaySimulator Sim;
    std::vector<uint8_t> Image = std::vector<uint8_t>(976 * 64);
    void SetUp() override {
        for (size_t i = 0; i < Image.size(); ++i)
            Image[i] = static_cast<uint8_t>(i ^ (i >> 7));
    }
};

} // namespace

TEST_F(DisplaySimulatorTest, ChecksOrderCrcAndReassembles) {
    uint8_t reply = 0;
    EXPECT_EQ(Send(Block(2), reply), TDisplaySimulator::fr_OutOfOrder);
    EXPECT_EQ(reply, DpuLink::kReplyNak);
    TLinkFrame bad = Block(1);
    bad.Bytes[40] ^= 0x10;
    EXPECT_EQ(Send(bad, reply), TDisplaySimulator::fr_BadCrc);
    EXPECT_EQ(reply, DpuLink::kReplyNak);
    for (unsigned n = 1; n <= 975; ++n)
        ASSERT_EQ(Send(Block(n), reply), TDisplaySimulator::fr_Block) << n;
    EXPECT_EQ(Send(Block(975), reply), TDisplaySimulator::fr_Block); // a repeat after a lost ACK
    EXPECT_EQ(reply, DpuLink::kReplyAck);
    EXPECT_EQ(Send(Block(976), reply), TDisplaySimulator::fr_LastBlock);
    EXPECT_EQ(Sim.Image(), Image);
    EXPECT_EQ(Sim.FramesRejected(), 2u);
}

TEST_F(DisplaySimulatorTest, PausedTransferAsksAgainButTakesTheNextBlock) {
    uint8_t reply = 0;
    for (unsigned n = 1; n <= 3; ++n)
        ASSERT_EQ(Send(Block(n), reply), TDisplaySimulator::fr_Block);
    Sim.Feed(0x03, reply);
    Sim.Pause();
    EXPECT_FALSE(Sim.Busy()); // "C" again
    EXPECT_FALSE(Sim.HasPartial());
    EXPECT_EQ(Send(Block(4), reply), TDisplaySimulator::fr_Block); // a slow host carries on
    EXPECT_EQ(Send(Block(1), reply), TDisplaySimulator::fr_Block); // or starts over
    EXPECT_EQ(Sim.HighestBlock(), 1u);
}

TEST_F(DisplaySimulatorTest, DateTimeFrameAndPartialFrames) {
    YVclUtil::TDateTime t;
    ASSERT_TRUE(YVclUtil::TDateTime::TryEncode(2026, 12, 6, 21, 5, 9, 0, t));
    TLinkFrame f;
    f.BuildDateTime(t);
    uint8_t reply = 0;
    Sim.Feed(0x03, reply); // the start of a frame the host gave up on
    EXPECT_TRUE(Sim.DropPartial());
    EXPECT_EQ(Send(f, reply), TDisplaySimulator::fr_DateTime);
    EXPECT_EQ(reply, DpuLink::kReplyAck);
    EXPECT_EQ(Sim.LastDateTime(), "26-12-06 21:05:09 weekday 7");
}

TEST(DisplaySimulatorReject, RejectsAboutTheAskedShare) {
    TDisplaySimulator sim(5.0, 42);
    std::vector<uint8_t> image(976 * 64, 0x5A);
    unsigned rejected = 0;
    for (unsigned n = 1; n <= 976;) {
        TLinkFrame f;
        f.BuildRomBlock(image.data(), n);
        uint8_t reply = 0;
        TDisplaySimulator::TFrameResult r = TDisplaySimulator::fr_None;
        for (uint8_t b : f.Bytes)
            r = sim.Feed(b, reply);
        if (r == TDisplaySimulator::fr_Rejected)
            ++rejected;
        else
            ++n;
    }
    EXPECT_GT(rejected, 20u);
    EXPECT_LT(rejected, 90u);
}
