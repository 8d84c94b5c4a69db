#include "link/devicelink.h"
#include "project/tconfiguration.h"
#include "rom/tuploadimage.h"
#include "support/tfakeclock.h"
#include "support/tfaketimer.h"
#include "support/trecordingport.h"
#include "support/trecordingsink.h"
#include "support/tscriptedprompts.h"
#include "support/tboundedcall.h"
#include "util/crc8.h"
#include "util/eygeneral.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>

using namespace DpuLink;
using DpuRom::TUploadImage;

namespace {

const char C = 0x43, ACK = 0x06, NAK = 0x15;

class DeviceLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Link.OnTransferEnded = [this](TLinkOutcome o) { Outcomes.push_back(o); };
        Link.OnProgress = [this](unsigned n) { LastProgress = n; };
        Port.Number_ = 3;
        ASSERT_TRUE(Link.Connect());
    }

    // A file of Size bytes: byte i = i*13 + (i >> 9), first 256 encoded as MAKE ROM does.
    std::string WriteRom(size_t Size, const char* Name = "rom.bin") {
        Plain.assign(Size, 0);
        for (size_t i = 0; i < Size; ++i)
            Plain[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
        std::vector<uint8_t> file = Plain;
        for (size_t i = 0; i < 256 && i < Size; ++i)
            file[i] ^= YVclUtil::Crc8Table[i];
        const std::string path = Dir.filePath(Name).toStdString();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
        return path;
    }
    void Reply(char b) { Link.OnRxdDatas(1, &b); }
    // Answers every frame with ACK until the link stops sending; returns frames sent.
    size_t AckAll() {
        size_t sent = 0;
        while (Link.LinkState() != TLinkState::Idle && Port.Frames.size() > sent) {
            sent = Port.Frames.size();
            Reply(ACK);
        }
        return Port.Frames.size();
    }

    QTemporaryDir Dir;
    TRecordingPort Port;
    TFakeTimer Timer;
    TFakeClock Clock;
    TRecordingSink Sink;
    TDeviceLink Link{Port, Timer, Clock, Sink};
    std::vector<TLinkOutcome> Outcomes;
    std::vector<uint8_t> Plain;
    unsigned LastProgress = 0;
};

} // namespace

TEST_F(DeviceLinkTest, FullImageSends976FramesOfDecodedData) {
    Link.SetMsgOn(true);
    Clock.Times = {TFakeClock::At(2026, 12, 6, 10, 0, 0),
                   TFakeClock::At(2026, 12, 6, 10, 0, 0, 250),
                   TFakeClock::At(2026, 12, 6, 10, 0, 6, 100)};
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    EXPECT_EQ(Link.LinkState(), TLinkState::RomUpload);
    EXPECT_EQ(Link.BlockCount(), 976u);
    EXPECT_FALSE(Link.UploadEnabled());
    EXPECT_TRUE(Link.SyncEnabled()); // only the upload button is held
    EXPECT_TRUE(Timer.Active);
    EXPECT_EQ(Sink.Log, (std::vector<std::string>{"*** UpLoad ROM image ***",
                                                  "=== Waiting DPU-510TK3 respond.... ==="}));
    EXPECT_TRUE(Port.Frames.empty()); // nothing goes out before the display asks

    Reply(C);
    ASSERT_EQ(AckAll(), 976u);
    for (size_t k = 0; k < 976; ++k) {
        const auto& f = Port.Frames[k];
        ASSERT_EQ(f.size(), 68u);
        ASSERT_EQ(0, std::memcmp(f.data() + 3, Plain.data() + k * 64, 64)) << k;
        ASSERT_EQ(f[67], YVclUtil::Crc8(f.data(), 67)) << k;
    }
    EXPECT_EQ(Port.Frames[975][1], 0x79);
    EXPECT_EQ(Port.Frames[975][2], 0x07);
    EXPECT_EQ(LastProgress, 976u);
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_FALSE(Timer.Active);
    EXPECT_TRUE(Link.UploadEnabled() && Link.SyncEnabled());
    EXPECT_EQ(Outcomes, std::vector<TLinkOutcome>{TLinkOutcome::Finished});
    EXPECT_EQ(Sink.CountPrefix("===> Send data block: "), 976u);
    EXPECT_TRUE(Sink.Has(
        YVclUtil::Format("===> Send data block: 976,CRC = %02X <===", Port.Frames[975][67])));
    ASSERT_GE(Sink.Log.size(), 2u);
    EXPECT_EQ(Sink.Log[Sink.Log.size() - 2], "===> UpLoad ROM image finish.<===");
    EXPECT_EQ(Sink.Log.back(), "Time = 5850 ms");
}

TEST_F(DeviceLinkTest, FileSizesDecideBlockCountAndLimit) {
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(62400))));
    EXPECT_EQ(Link.BlockCount(), 975u);
    Reply(C);
    EXPECT_EQ(AckAll(), 975u);
    EXPECT_TRUE(Sink.Has("===> UpLoad ROM image finish.<==="));
    EXPECT_FALSE(Sink.Has("Time = 0 ms")); // "Msg. on" is off

    // Neither size MAKE ROM writes: still sent as 976 blocks, after a warning
    // that follows the specified start lines.
    const std::string odd = WriteRom(62401);
    Port.Frames.clear();
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(odd)));
    EXPECT_EQ(Link.BlockCount(), 976u);
    EXPECT_EQ(
        Sink.Log,
        (std::vector<std::string>{
            "*** UpLoad ROM image ***", "=== Waiting DPU-510TK3 respond.... ===",
            "*** Warning: " + odd +
                " is 62401 bytes; a built image holds 64512 bytes, of which 62464 are sent ***"}));
    Reply(C);
    EXPECT_EQ(AckAll(), 976u);
    EXPECT_TRUE(Sink.Has("===> UpLoad ROM image finish.<==="));
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(458752))));
    EXPECT_EQ(Link.BlockCount(), 976u);
    EXPECT_EQ(Sink.CountPrefix("*** Warning: "), 1u);
    Link.Cancel(); // back to idle for the refusal below
    for (size_t size : {size_t(64512), size_t(62400)}) {
        ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(size))));
        EXPECT_EQ(Sink.CountPrefix("*** Warning"), 0u) << size;
        Link.Cancel();
    }

    Port.Frames.clear();
    Sink.Log.clear();
    EXPECT_FALSE(Link.StartUpload(TUploadImage::Read(WriteRom(458753))));
    EXPECT_EQ(Sink.Log,
              (std::vector<std::string>{"*** Warning.... ***", "=== ROM image too large!! ==="}));
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    Reply(C);
    EXPECT_TRUE(Port.Frames.empty());
}

TEST_F(DeviceLinkTest, ShortFileIsPaddedWithZeroNotWithThePreviousImage) {
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512, "big.bin"))));
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(1000, "small.bin"))));
    const auto& img = Link.UploadImage();
    EXPECT_EQ(img[999], Plain[999]);
    for (size_t i = 1000; i < 62464; ++i)
        ASSERT_EQ(img[i], 0) << i;
}

TEST_F(DeviceLinkTest, UnreadableFileSendsNothingAndSaysWhy) {
    const std::string before = WriteRom(64512);
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(before)));
    Reply(C);
    Reply(ACK);
    const size_t sent = Port.Frames.size();
    const std::string missing = Dir.filePath("missing.bin").toStdString();
    EXPECT_FALSE(Link.StartUpload(TUploadImage::Read(missing)));
    EXPECT_TRUE(
        Sink.Has("*** Can not open ROM file " + missing + ": No such file or directory ***"));
    EXPECT_FALSE(Link.StartUpload(TUploadImage::Read(Dir.path().toStdString())));
    EXPECT_TRUE(
        Sink.Has("*** Can not read ROM file " + Dir.path().toStdString() + ": Is a directory ***"));
    // A FIFO with no writer would hold a plain open for ever.
    const std::string fifo = Dir.filePath("image.fifo").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    bool started = true;
    EXPECT_TRUE(
        TBoundedCall::Run([&] { started = Link.StartUpload(TUploadImage::Read(fifo)); }, fifo));
    EXPECT_FALSE(started);
    EXPECT_TRUE(Sink.Has("*** Can not read ROM file " + fifo + ": Not a regular file ***"));
    EXPECT_FALSE(Sink.Has("=== ROM image too large!! ==="));
    EXPECT_EQ(Port.Frames.size(), sent);
}

TEST_F(DeviceLinkTest, NineResendsThenFailure) {
    Link.SetMsgOn(true);
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    Reply(C);
    Reply(ACK); // block 2 out
    for (int i = 0; i < 9; ++i)
        Reply(NAK);
    EXPECT_EQ(Port.Frames.size(), 2u + 9u);
    for (size_t k = 2; k < Port.Frames.size(); ++k)
        EXPECT_EQ(Port.Frames[k], Port.Frames[1]);
    EXPECT_EQ(Sink.CountPrefix("===> Resend data block: 2,CRC = "), 9u);
    EXPECT_EQ(Link.NakCount(), 9u);
    EXPECT_TRUE(Timer.Active);

    Reply(NAK);
    EXPECT_EQ(Port.Frames.size(), 11u);
    EXPECT_EQ(Sink.Log.back(), "===> UpLoad ROM image failed <===");
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_EQ(Link.NakCount(), 0u);
    EXPECT_FALSE(Timer.Active);
    EXPECT_TRUE(Link.UploadEnabled() && Link.SyncEnabled());
    EXPECT_EQ(Outcomes, std::vector<TLinkOutcome>{TLinkOutcome::Failed});
}

TEST_F(DeviceLinkTest, AckResetsNakAllowanceAndSecondCRestarts) {
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    Reply(C);
    for (int block = 1; block <= 3; ++block) {
        for (int i = 0; i < 9; ++i)
            Reply(NAK);
        Reply(ACK);
    }
    EXPECT_EQ(Link.BlockNo(), 4u);
    EXPECT_EQ(Link.LinkState(), TLinkState::RomUpload);
    Reply(C); // the display started over
    EXPECT_EQ(Link.BlockNo(), 1u);
    EXPECT_EQ(Port.Frames.back(), Port.Frames.front());
    // Only the first reply of a delivery counts.
    const char burst[] = {'x', ACK, NAK, C};
    Link.OnRxdDatas(4, burst);
    EXPECT_EQ(Link.BlockNo(), 2u);
    EXPECT_EQ(Link.NakCount(), 0u);
}

TEST_F(DeviceLinkTest, SilenceCountsTenPeriodsUnrelatedBytesResetIt) {
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    for (int i = 0; i < 9; ++i)
        Link.OnResponseTimer();
    EXPECT_EQ(Link.TimeoutCount(), 9u);
    EXPECT_TRUE(Sink.Has("===> DPU-510TK3 respond timeout #9<==="));
    const char noise[] = {'a', 0x00, 0x7F};
    Link.OnRxdDatas(3, noise);
    EXPECT_EQ(Link.TimeoutCount(), 0u);
    EXPECT_TRUE(Port.Frames.empty());
    EXPECT_EQ(Link.LinkState(), TLinkState::RomUpload);

    Reply(C);
    for (int i = 0; i < 9; ++i)
        Link.OnResponseTimer();
    EXPECT_EQ(Port.Frames.size(), 1u); // nothing is resent on silence
    EXPECT_TRUE(Timer.Active);
    Link.OnResponseTimer();
    EXPECT_EQ(Sink.CountPrefix("===> DPU-510TK3 respond timeout #"), 19u);
    EXPECT_EQ(Sink.Log.back(), "===> Transmit abort!! <===");
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_FALSE(Timer.Active);
    EXPECT_EQ(Outcomes, std::vector<TLinkOutcome>{TLinkOutcome::Aborted});
    // Replies after the end are ignored and stop a stray timer.
    Timer.Active = true;
    Reply(ACK);
    EXPECT_FALSE(Timer.Active);
    EXPECT_EQ(Port.Frames.size(), 1u);
}

TEST_F(DeviceLinkTest, MsgOffKeepsOnlyTheOutcomeLines) {
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(62400))));
    Reply(C);
    Reply(NAK);
    AckAll();
    EXPECT_EQ(Sink.Log, (std::vector<std::string>{"*** UpLoad ROM image ***",
                                                  "=== Waiting DPU-510TK3 respond.... ===",
                                                  "===> UpLoad ROM image finish.<==="}));
}

TEST_F(DeviceLinkTest, NakBeforeFirstBlockSendsNothing) {
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    Reply(NAK);
    EXPECT_TRUE(Port.Frames.empty());
    EXPECT_TRUE(Timer.Active);
    Reply(C);
    EXPECT_EQ(Port.Frames.size(), 1u);
    EXPECT_EQ(Port.Frames[0][1], 0);
}

TEST_F(DeviceLinkTest, ElapsedTimePastMidnightStaysPositive) {
    Link.SetMsgOn(true);
    Clock.Times = {TFakeClock::At(2026, 12, 6, 23, 59, 58), TFakeClock::At(2026, 12, 6, 23, 59, 58),
                   TFakeClock::At(2026, 12, 7, 0, 0, 3, 500)};
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(62400))));
    Reply(C);
    AckAll();
    EXPECT_EQ(Sink.Log.back(), "Time = 5500 ms");
}

TEST_F(DeviceLinkTest, DateTimeSyncBuildsFrameWhenAsked) {
    Link.SetMsgOn(true);
    Clock.Times = {TFakeClock::At(2026, 12, 6, 21, 5, 9), TFakeClock::At(2026, 12, 6, 21, 5, 10)};
    Link.StartDateTimeSync();
    EXPECT_EQ(Clock.Reads, 0);
    EXPECT_FALSE(Link.UploadEnabled() || Link.SyncEnabled());
    EXPECT_EQ(Sink.Log, (std::vector<std::string>{"*** Date & Time Sync. ***",
                                                  "=== Waiting DPU-510TK3 respond.... ==="}));
    Reply(C);
    ASSERT_EQ(Port.Frames.size(), 1u);
    const std::vector<uint8_t> head(Port.Frames[0].begin(), Port.Frames[0].begin() + 10);
    EXPECT_EQ(head,
              (std::vector<uint8_t>{0x01, 0x00, 0x01, 0x26, 0x12, 0x06, 0x07, 0x21, 0x05, 0x09}));
    EXPECT_TRUE(
        Sink.Has(YVclUtil::Format("===> Send data block: 1,CRC = %02X <===", Port.Frames[0][67])));
    Reply(NAK); // resent from a fresh reading
    ASSERT_EQ(Port.Frames.size(), 2u);
    EXPECT_EQ(Port.Frames[1][9], 0x10);
    EXPECT_EQ(Sink.CountPrefix("===> Resend data block: 1,CRC = "), 1u);
    Reply(ACK);
    EXPECT_EQ(Sink.Log.back(), "===> Date & Time Sync. finish <===");
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_TRUE(Link.UploadEnabled() && Link.SyncEnabled());
    EXPECT_FALSE(Timer.Active);

    Link.StartDateTimeSync();
    Reply(C);
    for (int i = 0; i < 10; ++i)
        Reply(NAK);
    EXPECT_EQ(Port.Frames.size(), 2u + 10u);
    EXPECT_EQ(Sink.Log.back(), "===> Date & Time Sync. failed <===");
    EXPECT_EQ(Outcomes, (std::vector<TLinkOutcome>{TLinkOutcome::Finished, TLinkOutcome::Failed}));
}

TEST_F(DeviceLinkTest, ConnectFailureStaysDisconnected) {
    Link.Disconnect();
    EXPECT_EQ(Sink.Log.back(), ">>> Close COM 3 <<<");
    Port.OpenSucceeds = false;
    Port.Number_ = 5;
    EXPECT_FALSE(Link.Connect());
    EXPECT_FALSE(Link.Connected());
    EXPECT_FALSE(Link.UploadEnabled() || Link.SyncEnabled());
    EXPECT_EQ(Sink.Log.back(), ">>> Can not open COM 5: The comm device not exist <<<");
    Port.OpenSucceeds = true;
    EXPECT_TRUE(Link.Connect());
    EXPECT_EQ(Sink.Log.back(), ">>> Open COM 5 <<<");
    EXPECT_TRUE(Link.Connected() && Link.UploadEnabled() && Link.SyncEnabled());
    Link.BaudListChanged("57600");
    EXPECT_EQ(Port.Baud_, 57600u);
}

// A disconnect ends the upload as Cancel does; after a reconnect the
// display's "C" starts nothing, and nothing starts on a closed port.
TEST_F(DeviceLinkTest, DisconnectMidUploadEndsItAndNothingStartsOnAClosedPort) {
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    Reply(C);
    Reply(ACK);
    Link.Disconnect();
    EXPECT_FALSE(Timer.Active);
    EXPECT_FALSE(Link.UploadEnabled() || Link.SyncEnabled());
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_EQ(Outcomes, std::vector<TLinkOutcome>{TLinkOutcome::Cancelled});
    EXPECT_EQ(Sink.Log,
              (std::vector<std::string>{
                  "*** UpLoad ROM image ***", "=== Waiting DPU-510TK3 respond.... ===",
                  "*** UpLoad ROM image cancelled at frame 2 of 976 ***", ">>> Close COM 3 <<<"}));
    const size_t sent = Port.Frames.size();
    Sink.Log.clear();
    EXPECT_FALSE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    EXPECT_FALSE(Link.StartDateTimeSync());
    EXPECT_EQ(Sink.Log, (std::vector<std::string>{
                            "*** UpLoad ROM image not started: COM 3 is not open ***",
                            "*** Date & Time Sync. not started: COM 3 is not open ***"}));
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_FALSE(Timer.Active);

    ASSERT_TRUE(Link.Connect());
    Reply(C);
    EXPECT_EQ(Port.Frames.size(), sent);
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_TRUE(Link.UploadEnabled());
    // A port that closed under a connected link (it failed) is no port either.
    Port.Opened = false;
    EXPECT_FALSE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
}

// The bytes read are the bytes sent, whatever the file holds by then.
TEST_F(DeviceLinkTest, SendsTheBytesReadNotTheFileAgain) {
    const std::string path = WriteRom(64512);
    const std::vector<uint8_t> checked = Plain;
    const TUploadImage image = TUploadImage::Read(path);
    ASSERT_EQ(image.Size(), 64512u);
    WriteRom(64512 / 2); // overwritten while a question is open
    ASSERT_TRUE(Link.StartUpload(image));
    Reply(C);
    ASSERT_EQ(AckAll(), 976u);
    for (size_t k = 0; k < 976; ++k)
        ASSERT_EQ(0, std::memcmp(Port.Frames[k].data() + 3, checked.data() + k * 64, 64)) << k;
    EXPECT_EQ(Sink.CountPrefix("*** Warning"), 0u);
}

TEST_F(DeviceLinkTest, LostPortEndsTransferAtOnce) {
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    Reply(C);
    Port.SendResult = 1; // the adapter was pulled
    Reply(ACK);
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_FALSE(Timer.Active);
    EXPECT_EQ(Sink.Log.back(), "===> Link lost: Can not send to comm <===");
    EXPECT_EQ(Outcomes, std::vector<TLinkOutcome>{TLinkOutcome::PortLost});

    Port.SendResult = 0;
    Link.StartDateTimeSync();
    Link.OnPortLost("device hung up");
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_FALSE(Link.Connected());
    EXPECT_FALSE(Port.Opened);
    EXPECT_TRUE(Sink.Has("===> Link lost: device hung up <==="));
    EXPECT_EQ(Sink.Log.back(), ">>> Close COM 3 <<<");
    EXPECT_EQ(Outcomes.back(), TLinkOutcome::PortLost);
}

// The refusal of a version without uploads is decided in one place, before
// any dialog.
TEST_F(DeviceLinkTest, UploadsOfAVersionWithoutEncodeAreRefusedWithTheBox) {
    TScriptedPrompts prompts;
    DpuProject::TConfiguration config;
    config.ENCODE = 0;
    EXPECT_FALSE(TUploadImage::UploadsAllowed(config, prompts));
    EXPECT_EQ(prompts.Boxes,
              (std::vector<std::pair<std::string, std::string>>{
                  {"No service!!", "ORV init version\n\n No support download function!!\n\n"}}));
    prompts.Boxes.clear();
    config.ENCODE = 1;
    EXPECT_TRUE(TUploadImage::UploadsAllowed(config, prompts));
    EXPECT_TRUE(prompts.Boxes.empty());
}

// Cancel ends an upload at once; the port stays connected and a late reply
// of the display sends nothing more.
TEST_F(DeviceLinkTest, CancelEndsAnUploadAndKeepsThePort) {
    EXPECT_FALSE(Link.Cancel()); // nothing to cancel
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    Reply(C);
    Reply(ACK);
    Reply(NAK);
    ASSERT_EQ(Link.BlockNo(), 2u);
    const size_t sent = Port.Frames.size();
    ASSERT_TRUE(Link.Cancel());
    EXPECT_EQ(Sink.Log.back(), "*** UpLoad ROM image cancelled at frame 2 of 976 ***");
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_FALSE(Timer.Active);
    EXPECT_EQ(Link.NakCount(), 0u);
    EXPECT_TRUE(Link.Connected());
    EXPECT_TRUE(Port.Opened);
    EXPECT_TRUE(Link.UploadEnabled() && Link.SyncEnabled());
    EXPECT_EQ(Outcomes, std::vector<TLinkOutcome>{TLinkOutcome::Cancelled});
    Reply(ACK);
    Reply(C);
    EXPECT_EQ(Port.Frames.size(), sent);
    EXPECT_FALSE(Link.Cancel());
    EXPECT_EQ(Outcomes.size(), 1u);

    // Cancelled before the display asked: frame 0; the next upload starts afresh.
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(62400))));
    ASSERT_TRUE(Link.Cancel());
    EXPECT_EQ(Sink.Log.back(), "*** UpLoad ROM image cancelled at frame 0 of 975 ***");
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(WriteRom(64512))));
    Reply(C);
    EXPECT_EQ(AckAll(), sent + 976u);
    EXPECT_EQ(Outcomes.back(), TLinkOutcome::Finished);
}

TEST_F(DeviceLinkTest, CancelEndsADateTimeSync) {
    Link.StartDateTimeSync();
    Reply(C);
    ASSERT_EQ(Port.Frames.size(), 1u);
    ASSERT_TRUE(Link.Cancel());
    EXPECT_EQ(Sink.Log.back(), "*** Date & Time Sync. cancelled ***");
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_FALSE(Timer.Active);
    EXPECT_TRUE(Link.UploadEnabled() && Link.SyncEnabled());
    Reply(NAK);
    EXPECT_EQ(Port.Frames.size(), 1u);
    EXPECT_EQ(Outcomes, std::vector<TLinkOutcome>{TLinkOutcome::Cancelled});

    // A disconnect in the middle of a sync ends it; the buttons stay off.
    ASSERT_TRUE(Link.StartDateTimeSync());
    Link.Disconnect();
    EXPECT_FALSE(Link.Cancel());
    EXPECT_EQ(Outcomes.back(), TLinkOutcome::Cancelled);
    EXPECT_TRUE(Sink.Has("*** Date & Time Sync. cancelled ***"));
    EXPECT_FALSE(Link.UploadEnabled() || Link.SyncEnabled());
    EXPECT_FALSE(Link.Connected());
}

// Bytes that are no reply reset the specified time-out count, and a "C"
// restarts at frame 1; without progress, ten time-outs and restarts together
// end the transfer however much the line chatters.
TEST_F(DeviceLinkTest, NoiseOrRestartsWithoutProgressEndTheTransfer) {
    const char noise = 'x';
    auto noisyPeriod = [&] {
        Link.OnRxdDatas(1, &noise);
        Link.OnResponseTimer();
    };
    const std::string rom = WriteRom(64512);
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(rom)));
    for (int i = 0; i < 9; ++i)
        noisyPeriod(); // waiting for the display's first "C"
    Reply(C);          // which answers the wait
    for (int i = 0; i < 9; ++i)
        noisyPeriod();
    EXPECT_EQ(Link.LinkState(), TLinkState::RomUpload);
    EXPECT_EQ(Sink.CountPrefix("===> DPU-510TK3 respond timeout #1<==="), 18u);
    noisyPeriod();
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_FALSE(Timer.Active);
    EXPECT_TRUE(Link.UploadEnabled() && Link.SyncEnabled());
    EXPECT_EQ(Outcomes, std::vector<TLinkOutcome>{TLinkOutcome::Stalled});
    ASSERT_GE(Sink.Log.size(), 2u);
    EXPECT_EQ(Sink.Log[Sink.Log.size() - 2], "===> Transmit abort!! <===");
    EXPECT_EQ(Sink.Log.back(), "*** No new frame acknowledged after 10 time-outs and restarts "
                               "(10 time-outs, 0 restarts) ***");
    EXPECT_EQ(Link.StallReason(),
              "no new frame acknowledged after 10 time-outs and restarts (10 time-outs, 0 "
              "restarts)");

    // A new frame acknowledged starts the count again; blocks taken before
    // and replayed after a restart do not.
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(rom)));
    Reply(C);
    for (int i = 0; i < 8; ++i)
        noisyPeriod();
    Reply(ACK); // block 1 taken, block 2 out
    for (int i = 0; i < 8; ++i)
        noisyPeriod();
    Reply(C);   // restart 1: block 1 again
    Reply(ACK); // block 1 again: no progress
    EXPECT_EQ(Link.LinkState(), TLinkState::RomUpload);
    Reply(C); // restart 2
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_EQ(Link.StallReason(), "no new frame acknowledged after 10 time-outs and restarts (8 "
                                  "time-outs, 2 restarts)");

    // A display that takes one block and starts over, for ever.
    const size_t before = Port.Frames.size();
    ASSERT_TRUE(Link.StartUpload(TUploadImage::Read(rom)));
    for (int i = 0; i < 100 && Link.LinkState() != TLinkState::Idle; ++i) {
        Reply(C);
        Reply(ACK);
    }
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_EQ(Port.Frames.size() - before, 20u);
    EXPECT_EQ(Outcomes.back(), TLinkOutcome::Stalled);

    // The date-time sync: nothing but "C" or noise is no answer.
    Link.StartDateTimeSync();
    Reply(C);
    for (int i = 0; i < 9; ++i)
        Reply(C);
    EXPECT_EQ(Link.LinkState(), TLinkState::DateTimeSync);
    Reply(C);
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_EQ(Port.Frames.size(), before + 20u + 10u); // the first "C" and nine restarts
    EXPECT_EQ(Sink.Log.back(),
              "*** No answer after 10 time-outs and restarts (0 time-outs, 10 restarts) ***");
    Link.StartDateTimeSync();
    Reply(C);
    for (int i = 0; i < 10; ++i)
        noisyPeriod();
    EXPECT_EQ(Link.LinkState(), TLinkState::Idle);
    EXPECT_EQ(Link.StallReason(),
              "no answer after 10 time-outs and restarts (10 time-outs, 0 restarts)");
    EXPECT_EQ(Outcomes.size(), 5u);
    EXPECT_EQ(Outcomes.back(), TLinkOutcome::Stalled);
}
