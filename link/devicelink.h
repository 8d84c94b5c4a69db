#pragma once

#include "link/linkframe.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace YVclUtil {
class MessageSink;
} // namespace YVclUtil
namespace DpuRom {
class TUploadImage;
} // namespace DpuRom

namespace DpuLink {

class TLinkPort;
class TLinkTimer;
class TLinkClock;

// What the link is doing.
enum class TLinkState : int {
    Idle = 0,
    DateTimeSync = 1,
    RomUpload = 3,
};

// How a transfer ended.
enum class TLinkOutcome {
    Finished,  // the display accepted everything
    Failed,    // ten rejections of one frame
    Aborted,   // ten silent response periods
    Stalled,   // no progress through kMaxStalls time-outs and restarts (StallReason)
    PortLost,  // the port failed or the device went away
    Cancelled, // the person (or the owner) ended it; the port stays open
};

// The device link of the main window: connecting the port, uploading a ROM
// image and setting the display's clock. The display drives the pace: it asks
// with "C", then answers every 68-byte frame with ACK or NAK. Everything runs
// on one thread (the owner's): button actions, OnRxdDatas, OnResponseTimer.
// Log lines go to the message sink; buttons, progress and the end of a
// transfer are reported through the On... callbacks.
class TDeviceLink {
public:
    // Response time-outs and restarts ("C" after a frame went out) a transfer
    // may pass without progress: the display's first "C", a new frame
    // acknowledged (upload) or the display's ACK (date-time). Bytes that are
    // no reply reset the specified time-out count but not this one, so a
    // noisy line ends too.
    static constexpr unsigned kMaxStalls = 10;

    // All four must outlive the link.
    TDeviceLink(TLinkPort& Port, TLinkTimer& Timer, TLinkClock& Clock, YVclUtil::MessageSink& Log);

    // ---- Connection ----
    // Closes the port if open and opens it again as chosen (the port is
    // chosen through TLinkSession::SelectPort). On success logs ">>> Open <port> <<<", becomes
    // connected and enables both transfer buttons. On failure logs why (the
    // port's LastErrMsg), stays disconnected and returns false.
    bool Connect();
    // Closes the port, logs ">>> Close <port> <<<", disables both buttons and
    // stops the response timer. A running transfer ends first as Cancel ends
    // it (its line, OnTransferEnded Cancelled): a reconnect never resumes it.
    // Connect ends one the same way.
    void Disconnect();
    // The baud-rate list changed: its text as an integer to the port.
    void BaudListChanged(const std::string& Text);
    bool Connected() const { return IsConnected; }

    // ---- Transfers ----
    // Sends Image (read and checked by its owner; this reads no file) when
    // the display asks with "C". False, with log lines, when Image could not
    // be read (its FaultLines: missing, not a regular file, the two "too
    // large" lines) or the port is not connected and open; nothing is sent
    // then and the state stays as it was. A size neither 62400 nor 64512 is
    // taken after its "*** Warning: ... ***" line (SizeWarning).
    bool StartUpload(const DpuRom::TUploadImage& Image);
    // The "Date-Time Sync." button: waits for the display's "C"; the frame is
    // built from the clock when the display asks for it. False, with a log
    // line, when the port is not connected and open.
    bool StartDateTimeSync();

    // Ends the current upload or date-time sync at once: the response timer
    // stops, the state goes back to idle, both transfer buttons are offered
    // again, the log says "*** UpLoad ROM image cancelled at frame n of N ***"
    // (n frames sent so far) or "*** Date & Time Sync. cancelled ***", and
    // OnTransferEnded reports Cancelled. The port stays open and connected; a
    // late reply of the display is ignored as in the idle state. False (and
    // nothing done) when no transfer is running.
    bool Cancel();

    // The port's receive handler: one delivery of Bytes bytes.
    void OnRxdDatas(int Bytes, const char* Datas);
    // Each expiry of the response timer.
    void OnResponseTimer();
    // The port reports that the device went away or the port failed (Reason
    // for the log). Ends a transfer at once, closes the port and disconnects.
    // Must not be called from inside the port's own event delivery when
    // closing the port there would wait on it.
    void OnPortLost(const std::string& Reason);

    // "Msg. on": per-frame lines and the "Time = " line.
    void SetMsgOn(bool On) { MsgOn = On; }
    bool pr_MsgOn() const { return MsgOn; }

    // ---- State, read by the window and by tests ----
    TLinkState LinkState() const { return State; }
    unsigned BlockNo() const { return CurBlockNo; }
    unsigned BlockCount() const { return CurBlockCount; }
    unsigned NakCount() const { return CurNakCount; }
    unsigned TimeoutCount() const { return CurTimeoutCount; }
    const TLinkFrame& LinkFrame() const { return Frame; }
    // The bytes the frames of the last upload carry (TUploadImage::SentBytes).
    const std::vector<uint8_t>& UploadImage() const { return Image; }
    bool UploadEnabled() const { return UploadButtonEnabled; }
    bool SyncEnabled() const { return SyncButtonEnabled; }
    // Why the last transfer ended with TLinkOutcome::PortLost.
    const std::string& LostReason() const { return LastLostReason; }
    // Why the last transfer ended with TLinkOutcome::Stalled, in words
    // ("no new frame acknowledged after 10 time-outs and restarts (...)").
    const std::string& StallReason() const { return LastStallReason; }

    // ---- Notifications (unset = nobody listens) ----
    // Connected(), UploadEnabled() or SyncEnabled() changed.
    std::function<void()> OnControlsChanged;
    // The progress bar position (BlockNo, 0..975 on the bar) after each block is built.
    std::function<void(unsigned BlockNo)> OnProgress;
    // A transfer (upload or date-time) ended.
    std::function<void(TLinkOutcome Outcome)> OnTransferEnded;

private:
    // Ends a running transfer as the person asked (Cancel, Disconnect): its
    // line, back to idle; the caller shows the buttons, then reports it.
    // False when none was running.
    bool StopTransfer();
    // A "C" after a frame went out, or a response time-out: one more step
    // without progress. True when the transfer has now ended as Stalled.
    bool CountStall(bool Restart);
    // Progress: the stall count starts again.
    void ClearStalls();
    bool PortUsable(const char* What);
    void HandleUploadReply(uint8_t Reply);
    void HandleDateTimeReply(uint8_t Reply);
    // False when the port refused the frame; the transfer has then ended.
    bool SendFrame(bool Resend);
    void BuildBlock();
    // Logs Line, enables both buttons, back to idle.
    void EndTransfer(const std::string& Line);
    void SetButtons(bool Upload, bool Sync);
    void Log(const std::string& Line);

    TLinkPort& Port;
    TLinkTimer& Timer;
    TLinkClock& Clock;
    YVclUtil::MessageSink& Sink;

    TLinkState State = TLinkState::Idle;
    unsigned CurBlockNo = 0;
    unsigned CurBlockCount = 0;
    unsigned CurNakCount = 0;
    unsigned CurTimeoutCount = 0;
    unsigned StallTimeouts = 0;
    unsigned StallRestarts = 0;
    // The furthest block the display acknowledged in this upload: a restart
    // that replays blocks already taken is no progress.
    unsigned HighestAcked = 0;
    // A frame of this transfer went out: a "C" from now on is a restart.
    bool FrameSent = false;
    bool MsgOn = false;
    bool IsConnected = false;
    bool UploadButtonEnabled = false;
    bool SyncButtonEnabled = false;
    // Time of day of the first frame, in milliseconds.
    long StartMs = 0;
    std::string LastLostReason;
    std::string LastStallReason;
    std::vector<uint8_t> Image;
    TLinkFrame Frame;
};

} // namespace DpuLink
