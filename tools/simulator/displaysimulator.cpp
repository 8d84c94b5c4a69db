#include "displaysimulator.h"

#include "util/crc8.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;

bool FromBcd(uint8_t b, int Low, int High, int& Out) {
    if ((b >> 4) > 9 || (b & 0x0F) > 9) return false;
    Out = (b >> 4) * 10 + (b & 0x0F);
    return Out >= Low && Out <= High;
}
} // namespace

TDisplaySimulator::TDisplaySimulator(double RejectPercent, uint32_t Seed)
    : Blocks(kMaxBlocks * 64, 0), RejectShare(RejectPercent / 100.0), Rng(Seed) {}

void TDisplaySimulator::Reset() {
    Fill = 0;
    LastAccepted = 0;
    Started = false;
}

void TDisplaySimulator::Pause() {
    Fill = 0;
    Started = false;
}

bool TDisplaySimulator::DropPartial() {
    const bool had = Fill != 0;
    Fill = 0;
    return had;
}

TDisplaySimulator::TFrameResult TDisplaySimulator::Feed(uint8_t Byte, uint8_t& Reply) {
    Started = true;
    Buf[Fill++] = Byte;
    if (Fill < sizeof Buf) return fr_None;
    Fill = 0;
    ++Frames;
    const TFrameResult r = Check();
    const bool ok = r == fr_Block || r == fr_LastBlock || r == fr_DateTime;
    Reply = ok ? kAck : kNak;
    if (!ok) ++Rejected;
    return r;
}

TDisplaySimulator::TFrameResult TDisplaySimulator::Check() {
    if (YVclUtil::Crc8(Buf, 67) != Buf[67]) return fr_BadCrc;
    if (Buf[0] == 0x03) {
        if (Buf[2] > 7) return fr_BadCommand;
        const unsigned n = Buf[1] * 8u + Buf[2] + 1u;
        // The host may restart at block 1 or repeat a block whose ACK it missed.
        if (n != LastAccepted + 1 && n != 1 && n != LastAccepted) return fr_OutOfOrder;
        if (RejectShare > 0 && std::uniform_real_distribution<double>(0, 1)(Rng) < RejectShare)
            return fr_Rejected;
        std::memcpy(Blocks.data() + (n - 1) * 64, Buf + 3, 64);
        LastAccepted = n;
        if (n == 1)
            Highest = 1;
        else if (n > Highest)
            Highest = n;
        return n == kImageBlocks ? fr_LastBlock : fr_Block;
    }
    if (Buf[0] == 0x01) {
        int yy, mo, dd, hh, mi, ss;
        const int wd = Buf[6];
        if (Buf[1] != 0x00 || Buf[2] != 0x01 || !FromBcd(Buf[3], 0, 99, yy) ||
            !FromBcd(Buf[4], 1, 12, mo) || !FromBcd(Buf[5], 1, 31, dd) || wd < 1 || wd > 7 ||
            !FromBcd(Buf[7], 0, 23, hh) || !FromBcd(Buf[8], 0, 59, mi) ||
            !FromBcd(Buf[9], 0, 59, ss))
            return fr_BadCommand;
        if (RejectShare > 0 && std::uniform_real_distribution<double>(0, 1)(Rng) < RejectShare)
            return fr_Rejected;
        char text[64];
        std::snprintf(text, sizeof text, "%02d-%02d-%02d %02d:%02d:%02d weekday %d", yy, mo, dd, hh,
                      mi, ss, wd);
        DateTimeText = text;
        return fr_DateTime;
    }
    return fr_BadCommand;
}

std::vector<uint8_t> TDisplaySimulator::Image() const {
    return std::vector<uint8_t>(Blocks.begin(), Blocks.begin() + static_cast<long>(Highest) * 64);
}
