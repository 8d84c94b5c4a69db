#include "link/devicelink.h"

#include "link/linkclock.h"
#include "link/linkport.h"
#include "link/linktimer.h"
#include "rom/tuploadimage.h"
#include "util/eygeneral.h"
#include "util/prompts.h"

#include <cctype>
#include <cstdlib>

namespace DpuLink {

// One block of the image fills the data of one frame.
static_assert(DpuRom::TUploadImage::BlockSize == kFrameDataSize);

namespace {
constexpr unsigned kMaxNaks = 10;     // first send plus nine resends
constexpr unsigned kMaxTimeouts = 10; // silent periods before giving up
constexpr long kDayMs = 86400000L;

long TimeOfDayMs(const YVclUtil::TDateTime& t) {
    int h, m, s, ms;
    t.DecodeTime(h, m, s, ms);
    return h * 3600000L + m * 60000L + s * 1000L + ms;
}
} // namespace

TDeviceLink::TDeviceLink(TLinkPort& Port_, TLinkTimer& Timer_, TLinkClock& Clock_,
                         YVclUtil::MessageSink& Log_)
    : Port(Port_), Timer(Timer_), Clock(Clock_), Sink(Log_) {}

void TDeviceLink::Log(const std::string& Line) {
    Sink.AppendLog(Line);
}

void TDeviceLink::SetButtons(bool Upload, bool Sync) {
    UploadButtonEnabled = Upload;
    SyncButtonEnabled = Sync;
    if (OnControlsChanged) OnControlsChanged();
}

// ---------------------------------------------------------------- connection

bool TDeviceLink::Connect() {
    // The port closes under a running transfer: it ends here, as on Disconnect.
    const bool stopped = StopTransfer();
    if (Port.IsOpened()) Port.Close();
    if (!Port.Open()) {
        // Claiming a connection on a port that is not open would leave every
        // transfer waiting 100 s for nothing; say why and stay disconnected.
        Log(">>> Can not open " + Port.PortLabel() + ": " + Port.LastErrMsg() + " <<<");
        IsConnected = false;
        SetButtons(false, false);
        if (stopped && OnTransferEnded) OnTransferEnded(TLinkOutcome::Cancelled);
        return false;
    }
    Log(">>> Open " + Port.PortLabel() + " <<<");
    IsConnected = true;
    SetButtons(true, true);
    if (stopped && OnTransferEnded) OnTransferEnded(TLinkOutcome::Cancelled);
    return true;
}

void TDeviceLink::Disconnect() {
    // A transfer left waiting on a closed port would be taken up again by
    // the display's next "C" after any reconnect, unasked: it ends here.
    const bool stopped = StopTransfer();
    if (Port.IsOpened()) Port.Close();
    Log(">>> Close " + Port.PortLabel() + " <<<");
    IsConnected = false;
    SetButtons(false, false);
    Timer.Stop();
    if (stopped && OnTransferEnded) OnTransferEnded(TLinkOutcome::Cancelled);
}

bool TDeviceLink::PortUsable(const char* What) {
    if (IsConnected && Port.IsOpened()) return true;
    // The port went while a question was open: nothing may wait on it.
    Log(std::string("*** ") + What + " not started: " + Port.PortLabel() + " is not open ***");
    return false;
}

void TDeviceLink::BaudListChanged(const std::string& Text) {
    Port.SetBaud(static_cast<unsigned>(std::strtoul(Text.c_str(), nullptr, 10)));
}

void TDeviceLink::OnPortLost(const std::string& Reason) {
    const bool busy = State != TLinkState::Idle;
    if (busy) {
        Timer.Stop();
        CurNakCount = 0;
        State = TLinkState::Idle;
        LastLostReason = Reason;
        Log("===> Link lost: " + Reason + " <===");
    }
    if (IsConnected || Port.IsOpened()) {
        if (!busy) Log(">>> " + Port.PortLabel() + " lost: " + Reason + " <<<");
        Port.Close();
        Log(">>> Close " + Port.PortLabel() + " <<<");
        IsConnected = false;
        SetButtons(false, false);
    }
    if (busy && OnTransferEnded) OnTransferEnded(TLinkOutcome::PortLost);
}

// ----------------------------------------------------------------- transfers

bool TDeviceLink::StartUpload(const DpuRom::TUploadImage& Upload) {
    if (!Upload.Readable()) {
        for (const std::string& line : Upload.FaultLines())
            Log(line);
        return false;
    }
    if (!PortUsable("UpLoad ROM image")) return false;
    Image = Upload.SentBytes();
    CurBlockCount = Upload.BlockCount();

    SetButtons(false, SyncButtonEnabled);
    State = TLinkState::RomUpload;
    CurBlockNo = 0;
    CurTimeoutCount = 0;
    CurNakCount = 0;
    ClearStalls();
    HighestAcked = 0;
    FrameSent = false;
    StartMs = TimeOfDayMs(Clock.Now());
    Sink.ClearLog();
    Log("*** UpLoad ROM image ***");
    Log("=== Waiting DPU-510TK3 respond.... ===");
    const std::string warning = Upload.SizeWarning();
    if (!warning.empty()) Log(warning);
    Timer.Start();
    return true;
}

bool TDeviceLink::StartDateTimeSync() {
    if (!PortUsable("Date & Time Sync.")) return false;
    Sink.ClearLog();
    State = TLinkState::DateTimeSync;
    CurTimeoutCount = 0;
    CurNakCount = 0;
    ClearStalls();
    FrameSent = false;
    SetButtons(false, false);
    Sink.ClearLog();
    Log("*** Date & Time Sync. ***");
    Log("=== Waiting DPU-510TK3 respond.... ===");
    Timer.Start();
    return true;
}

bool TDeviceLink::Cancel() {
    if (!StopTransfer()) return false;
    // Back to idle before the buttons are reported, so a listener that looks
    // at the state sees the transfer over.
    SetButtons(IsConnected, IsConnected);
    if (OnTransferEnded) OnTransferEnded(TLinkOutcome::Cancelled);
    return true;
}

bool TDeviceLink::StopTransfer() {
    if (State == TLinkState::Idle) return false;
    const bool upload = State == TLinkState::RomUpload;
    Timer.Stop();
    CurNakCount = 0;
    CurTimeoutCount = 0;
    State = TLinkState::Idle;
    if (upload)
        Log(YVclUtil::Format("*** UpLoad ROM image cancelled at frame %u of %u ***", CurBlockNo,
                             CurBlockCount));
    else
        Log("*** Date & Time Sync. cancelled ***");
    return true;
}

void TDeviceLink::ClearStalls() {
    StallTimeouts = 0;
    StallRestarts = 0;
}

bool TDeviceLink::CountStall(bool Restart) {
    ++(Restart ? StallRestarts : StallTimeouts);
    if (StallTimeouts + StallRestarts < kMaxStalls) return false;
    const bool upload = State == TLinkState::RomUpload;
    LastStallReason =
        YVclUtil::Format("%s after %u time-outs and restarts (%s, %s)",
                         upload ? "no new frame acknowledged" : "no answer", kMaxStalls,
                         YVclUtil::CountOf(StallTimeouts, "time-out").c_str(),
                         YVclUtil::CountOf(StallRestarts, "restart").c_str());
    Log("===> Transmit abort!! <===");
    std::string line = LastStallReason;
    line[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
    Log("*** " + line + " ***");
    Timer.Stop();
    CurNakCount = 0;
    State = TLinkState::Idle;
    SetButtons(true, true);
    if (OnTransferEnded) OnTransferEnded(TLinkOutcome::Stalled);
    return true;
}

// ------------------------------------------------------------------- replies

void TDeviceLink::OnRxdDatas(int Bytes, const char* Datas) {
    CurTimeoutCount = 0;
    if (State == TLinkState::Idle) {
        Timer.Stop();
        return;
    }
    for (int i = 0; i < Bytes; ++i) {
        const uint8_t b = static_cast<uint8_t>(Datas[i]);
        if (b != kReplyReady && b != kReplyAck && b != kReplyNak) continue;
        // One reply per frame: the first one decides, the rest of the delivery is stale.
        if (State == TLinkState::RomUpload)
            HandleUploadReply(b);
        else
            HandleDateTimeReply(b);
        return;
    }
}

void TDeviceLink::BuildBlock() {
    Frame.BuildRomBlock(Image.data(), CurBlockNo);
    if (OnProgress) OnProgress(CurBlockNo);
}

bool TDeviceLink::SendFrame(bool Resend) {
    const int rc = Port.SendData(kFrameSize, Frame.Bytes);
    FrameSent = true;
    if (MsgOn) {
        const unsigned number = State == TLinkState::RomUpload ? CurBlockNo : 1;
        Log(YVclUtil::Format("===> %s data block: %u,CRC = %02X <===", Resend ? "Resend" : "Send",
                             number, Frame.Crc()));
    }
    if (rc == 1 || rc == 2) {
        // The port is gone or broken: waiting ten silent periods would tell the
        // user nothing new. The owner closes the port; here the transfer ends.
        std::string reason = rc == 2 ? std::string("port not open") : Port.LastErrMsg();
        if (reason.empty()) reason = "can not send";
        LastLostReason = reason;
        Timer.Stop();
        CurNakCount = 0;
        State = TLinkState::Idle;
        Log("===> Link lost: " + reason + " <===");
        SetButtons(true, true);
        if (OnTransferEnded) OnTransferEnded(TLinkOutcome::PortLost);
        return false;
    }
    return true;
}

void TDeviceLink::EndTransfer(const std::string& Line) {
    Log(Line);
    SetButtons(true, true);
    State = TLinkState::Idle;
}

void TDeviceLink::HandleUploadReply(uint8_t Reply) {
    switch (Reply) {
    case kReplyReady:
        // Also in the middle of an upload: the display started over. A display
        // that only ever starts over is given up on; its first "C" answers
        // the wait.
        if (!FrameSent)
            ClearStalls();
        else if (CountStall(true))
            return;
        CurNakCount = 0;
        Timer.Stop();
        CurBlockNo = 1;
        BuildBlock();
        if (!SendFrame(false)) return;
        Timer.Start();
        StartMs = TimeOfDayMs(Clock.Now());
        return;
    case kReplyAck:
        Timer.Stop();
        CurNakCount = 0;
        if (CurBlockNo > HighestAcked) {
            HighestAcked = CurBlockNo;
            ClearStalls();
        }
        if (CurBlockNo < CurBlockCount) {
            ++CurBlockNo;
            BuildBlock();
            if (SendFrame(false)) Timer.Start();
            return;
        }
        EndTransfer("===> UpLoad ROM image finish.<===");
        if (MsgOn) {
            long elapsed = TimeOfDayMs(Clock.Now()) - StartMs;
            if (elapsed < 0) // the upload ran past midnight
                elapsed += kDayMs;
            Log("Time = " + std::to_string(elapsed) + " ms");
        }
        if (OnTransferEnded) OnTransferEnded(TLinkOutcome::Finished);
        return;
    case kReplyNak:
        ++CurNakCount;
        Timer.Stop();
        if (CurNakCount < kMaxNaks) {
            // A NAK before the first block has nothing to resend; the timer
            // keeps watching for the display's "C".
            if (CurBlockNo == 0 || SendFrame(true)) Timer.Start();
            return;
        }
        CurNakCount = 0;
        EndTransfer("===> UpLoad ROM image failed <===");
        if (OnTransferEnded) OnTransferEnded(TLinkOutcome::Failed);
        return;
    default:
        return;
    }
}

void TDeviceLink::HandleDateTimeReply(uint8_t Reply) {
    switch (Reply) {
    case kReplyReady:
        if (!FrameSent)
            ClearStalls();
        else if (CountStall(true))
            return;
        CurNakCount = 0;
        Timer.Stop();
        Frame.BuildDateTime(Clock.Now());
        if (SendFrame(false)) Timer.Start();
        return;
    case kReplyAck:
        CurNakCount = 0;
        Timer.Stop();
        EndTransfer("===> Date & Time Sync. finish <===");
        if (OnTransferEnded) OnTransferEnded(TLinkOutcome::Finished);
        return;
    case kReplyNak:
        ++CurNakCount;
        Timer.Stop();
        if (CurNakCount < kMaxNaks) {
            Frame.BuildDateTime(Clock.Now());
            if (SendFrame(true)) Timer.Start();
            return;
        }
        CurNakCount = 0;
        EndTransfer("===> Date & Time Sync. failed <===");
        if (OnTransferEnded) OnTransferEnded(TLinkOutcome::Failed);
        return;
    default:
        return;
    }
}

void TDeviceLink::OnResponseTimer() {
    if (State == TLinkState::Idle) {
        Timer.Stop();
        return;
    }
    Log("===> DPU-510TK3 respond timeout #" + std::to_string(CurTimeoutCount + 1) + "<===");
    ++CurTimeoutCount;
    if (CurTimeoutCount >= kMaxTimeouts) {
        Log("===> Transmit abort!! <===");
        SetButtons(true, true);
        Timer.Stop();
        State = TLinkState::Idle;
        if (OnTransferEnded) OnTransferEnded(TLinkOutcome::Aborted);
        return;
    }
    CountStall(false);
}

} // namespace DpuLink
