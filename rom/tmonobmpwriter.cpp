#include "rom/tmonobmpwriter.h"

#include "util/fileaccess.h"

namespace DpuRom {

namespace {

void Put16(std::vector<uint8_t>& Out, size_t At, uint32_t Value) {
    Out[At] = static_cast<uint8_t>(Value);
    Out[At + 1] = static_cast<uint8_t>(Value >> 8);
}

void Put32(std::vector<uint8_t>& Out, size_t At, uint32_t Value) {
    Put16(Out, At, Value & 0xFFFF);
    Put16(Out, At + 2, Value >> 16);
}

} // namespace

std::vector<uint8_t> TMonoBmpWriter::Encode(int Width, int Height,
                                            const std::function<bool(int, int)>& Lit) {
    if (Width <= 0 || Height <= 0) return {};
    constexpr size_t HeaderSize = 14 + 40 + 8;
    const size_t rowBytes = (static_cast<size_t>(Width) + 31) / 32 * 4;
    const size_t pixelBytes = rowBytes * static_cast<size_t>(Height);
    std::vector<uint8_t> out(HeaderSize + pixelBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<uint32_t>(out.size()));
    Put32(out, 10, HeaderSize);
    Put32(out, 14, 40);
    Put32(out, 18, static_cast<uint32_t>(Width));
    Put32(out, 22, static_cast<uint32_t>(Height));
    Put16(out, 26, 1); // planes
    Put16(out, 28, 1); // bits per pixel
    Put32(out, 34, static_cast<uint32_t>(pixelBytes));
    Put32(out, 38, 2835); // 72 dpi
    Put32(out, 42, 2835);
    Put32(out, 46, 2);
    Put32(out, 50, 2);
    // Entry 0 black, entry 1 white (blue, green, red, reserved).
    out[58] = out[59] = out[60] = 0xFF;
    for (int y = 0; y < Height; ++y) {
        uint8_t* row = out.data() + HeaderSize + rowBytes * static_cast<size_t>(Height - 1 - y);
        for (int x = 0; x < Width; ++x)
            if (!Lit(x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    return out;
}

bool TMonoBmpWriter::Save(const std::string& Path, int Width, int Height,
                          const std::function<bool(int, int)>& Lit, std::string& Reason) {
    const std::vector<uint8_t> bytes = Encode(Width, Height, Lit);
    if (bytes.empty()) {
        Reason = "the picture is empty";
        return false;
    }
    return YVclUtil::WriteFileAtomically(Path, bytes.data(), bytes.size(), Reason);
}

} // namespace DpuRom
