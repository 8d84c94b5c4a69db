#include "link/linkframe.h"

#include "util/crc8.h"

#include <cstring>

namespace DpuLink {

namespace {
constexpr uint8_t Bcd(int v) {
    return static_cast<uint8_t>((v / 10) * 16 + v % 10);
}
} // namespace

const uint8_t BcdTable[100] = {
    Bcd(0),  Bcd(1),  Bcd(2),  Bcd(3),  Bcd(4),  Bcd(5),  Bcd(6),  Bcd(7),  Bcd(8),  Bcd(9),
    Bcd(10), Bcd(11), Bcd(12), Bcd(13), Bcd(14), Bcd(15), Bcd(16), Bcd(17), Bcd(18), Bcd(19),
    Bcd(20), Bcd(21), Bcd(22), Bcd(23), Bcd(24), Bcd(25), Bcd(26), Bcd(27), Bcd(28), Bcd(29),
    Bcd(30), Bcd(31), Bcd(32), Bcd(33), Bcd(34), Bcd(35), Bcd(36), Bcd(37), Bcd(38), Bcd(39),
    Bcd(40), Bcd(41), Bcd(42), Bcd(43), Bcd(44), Bcd(45), Bcd(46), Bcd(47), Bcd(48), Bcd(49),
    Bcd(50), Bcd(51), Bcd(52), Bcd(53), Bcd(54), Bcd(55), Bcd(56), Bcd(57), Bcd(58), Bcd(59),
    Bcd(60), Bcd(61), Bcd(62), Bcd(63), Bcd(64), Bcd(65), Bcd(66), Bcd(67), Bcd(68), Bcd(69),
    Bcd(70), Bcd(71), Bcd(72), Bcd(73), Bcd(74), Bcd(75), Bcd(76), Bcd(77), Bcd(78), Bcd(79),
    Bcd(80), Bcd(81), Bcd(82), Bcd(83), Bcd(84), Bcd(85), Bcd(86), Bcd(87), Bcd(88), Bcd(89),
    Bcd(90), Bcd(91), Bcd(92), Bcd(93), Bcd(94), Bcd(95), Bcd(96), Bcd(97), Bcd(98), Bcd(99),
};

uint8_t TLinkFrame::BuildRomBlock(const uint8_t* Image, unsigned BlockNo) {
    const unsigned n = BlockNo - 1;
    Bytes[0] = kCmdRomBlock;
    Bytes[1] = static_cast<uint8_t>(n / 8);
    Bytes[2] = static_cast<uint8_t>(n % 8);
    std::memcpy(Bytes + 3, Image + static_cast<size_t>(n) * kFrameDataSize, kFrameDataSize);
    Bytes[kFrameSize - 1] = YVclUtil::Crc8(Bytes, kFrameSize - 1);
    return Bytes[kFrameSize - 1];
}

int DisplayWeekday(const YVclUtil::TDateTime& Time) {
    const int w = Time.DayOfWeek() - 1; // Sunday 1 .. Saturday 7, less one
    return w == 0 ? 7 : w;
}

uint8_t TLinkFrame::BuildDateTime(const YVclUtil::TDateTime& Time) {
    int year, month, day, hour, minute, second, msec;
    Time.DecodeDate(year, month, day);
    Time.DecodeTime(hour, minute, second, msec);
    std::memset(Bytes, 0, sizeof Bytes);
    Bytes[0] = kCmdDateTime;
    Bytes[1] = 0x00;
    Bytes[2] = 0x01;
    // Every part is within 0..99 here (two-digit year), so the table lookup is safe.
    Bytes[3] = BcdTable[((year % 100) + 100) % 100];
    Bytes[4] = BcdTable[month];
    Bytes[5] = BcdTable[day];
    Bytes[6] = static_cast<uint8_t>(DisplayWeekday(Time));
    Bytes[7] = BcdTable[hour];
    Bytes[8] = BcdTable[minute];
    Bytes[9] = BcdTable[second];
    Bytes[kFrameSize - 1] = YVclUtil::Crc8(Bytes, kFrameSize - 1);
    return Bytes[kFrameSize - 1];
}

} // namespace DpuLink
