#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// The display's side of the link, without any I/O: fed the bytes the host
// writes, it answers each complete 68-byte frame with ACK or NAK and
// reassembles the ROM blocks it accepted.
class TDisplaySimulator {
public:
    static constexpr size_t kMaxBlocks = 256 * 8; // every page and block index a frame can carry
    static constexpr unsigned kImageBlocks = 976;

    // What one frame did.
    enum TFrameResult {
        fr_None,       // frame not complete yet
        fr_Block,      // ROM block accepted
        fr_LastBlock,  // block 976 accepted: the image is complete
        fr_DateTime,   // date-time frame accepted
        fr_BadCrc,     // rejected: CRC
        fr_BadCommand, // rejected: unknown command or index bytes
        fr_OutOfOrder, // rejected: not the next block, a repeat or block 1
        fr_Rejected,   // a sound frame rejected on purpose
    };

    // RejectPercent of the sound frames are answered NAK at random (seeded).
    explicit TDisplaySimulator(double RejectPercent = 0.0, uint32_t Seed = 1);

    // Takes one byte; when it completes a frame, Reply is set to ACK or NAK
    // and the frame's result is returned.
    TFrameResult Feed(uint8_t Byte, uint8_t& Reply);
    // Forgets a partial frame (the host went quiet in the middle of one).
    // True when there was one; the host is then owed a NAK.
    bool DropPartial();
    bool HasPartial() const { return Fill != 0; }
    // Back to waiting for a first block (after a finished transfer).
    void Reset();
    // The host went quiet: ask with "C" again (Busy() is false) but still take
    // the next block should the host only have been slow.
    void Pause();

    // Blocks 1..HighestBlock() as received (block n at offset (n-1)*64).
    std::vector<uint8_t> Image() const;
    unsigned HighestBlock() const { return Highest; }
    // True once any frame byte arrived since the last Reset (stop sending "C").
    bool Busy() const { return Started; }
    // "yy-mm-dd hh:nn:ss weekday w" of the last date-time frame accepted.
    const std::string& LastDateTime() const { return DateTimeText; }

    unsigned FramesSeen() const { return Frames; }
    unsigned FramesRejected() const { return Rejected; }

private:
    TFrameResult Check();

    uint8_t Buf[68] = {};
    size_t Fill = 0;
    std::vector<uint8_t> Blocks;
    unsigned Highest = 0;
    unsigned LastAccepted = 0;
    bool Started = false;
    double RejectShare;
    std::mt19937 Rng;
    std::string DateTimeText;
    unsigned Frames = 0;
    unsigned Rejected = 0;
};
