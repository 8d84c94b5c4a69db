#pragma once

#include "link/linkframe.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace YVclUtil {
class MessageSink;
class Prompts;
} // namespace YVclUtil

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
    // Largest file accepted for upload (0x70000 bytes).
    static constexpr size_t kMaxImageSize = 0x70000;
    // A 62400-byte file is sent as 975 blocks, anything else as 976.
    static constexpr unsigned kShortImageBlocks = 975;
    static constexpr unsigned kImageBlocks = 976;
    // Size of the image MAKE ROM writes; any size but this and 62400 is sent
    // after a warning line.
    static constexpr size_t kBuiltImageSize = 64512;

    // All four must outlive the link.
    TDeviceLink(TLinkPort& Port, TLinkTimer& Timer, TLinkClock& Clock, YVclUtil::MessageSink& Log);

    // ---- Connection ----
    // Closes the port if open and opens it again as chosen (the port is
    // chosen through TLinkSession::SelectPort). On success logs ">>> Open <port> <<<", becomes
    // connected and enables both transfer buttons. On failure logs why (the
    // port's LastErrMsg), stays disconnected and returns false.
    bool Connect();
    // Closes the port, logs ">>> Close <port> <<<", disables both buttons and
    // stops the response timer; the transfer state is left as it is.
    void Disconnect();
    // The baud-rate list changed: its text as an integer to the port.
    void BaudListChanged(const std::string& Text);
    bool Connected() const { return IsConnected; }

    // ---- Transfers ----
    // The "UpLoad ROM Image" button: refuses with the "No service!!" box when
    // Encode is 0, asks for the file through Prompts (cancel stops), then
    // StartUpload. False when nothing was started.
    bool UploadRomImageAction(int Encode, YVclUtil::Prompts& Prompts);
    // Reads FileName and waits for the display's "C". False (with log lines
    // saying why) when the file is too large, cannot be opened or read;
    // nothing is sent then and the state stays idle. A file neither 62400 nor
    // 64512 bytes long is taken after a "*** Warning: ... ***" line.
    bool StartUpload(const std::string& FileName);
    // The "Date-Time Sync." button: waits for the display's "C"; the frame is
    // built from the clock when the display asks for it.
    void StartDateTimeSync();

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
    const std::vector<uint8_t>& UploadImage() const { return Image; }
    bool UploadEnabled() const { return UploadButtonEnabled; }
    bool SyncEnabled() const { return SyncButtonEnabled; }
    // Why the last transfer ended with TLinkOutcome::PortLost.
    const std::string& LostReason() const { return LastLostReason; }

    // ---- Notifications (unset = nobody listens) ----
    // Connected(), UploadEnabled() or SyncEnabled() changed.
    std::function<void()> OnControlsChanged;
    // The progress bar position (BlockNo, 0..975 on the bar) after each block is built.
    std::function<void(unsigned BlockNo)> OnProgress;
    // A transfer (upload or date-time) ended.
    std::function<void(TLinkOutcome Outcome)> OnTransferEnded;

private:
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
    unsigned CurBlockCount = kImageBlocks;
    unsigned CurNakCount = 0;
    unsigned CurTimeoutCount = 0;
    bool MsgOn = false;
    bool IsConnected = false;
    bool UploadButtonEnabled = false;
    bool SyncButtonEnabled = false;
    // Time of day of the first frame, in milliseconds.
    long StartMs = 0;
    std::string LastLostReason;
    std::vector<uint8_t> Image;
    TLinkFrame Frame;
};

} // namespace DpuLink
