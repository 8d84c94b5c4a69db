// Drives the ROM upload with arbitrary display replies: the link must never
// crash, every frame it sends must be a well-formed ROM block inside the
// part of the image that is sent, carrying that part's bytes, and it may
// report a finished upload only after one ACK for every block of it.
//
// Input: byte 0 picks the file size (64512, 62400, 1000 or 458752 bytes) and
// "Msg. on"; then each byte is one reply delivery, except 0xFF (a response
// timer expiry, when the timer runs), 0xFE n (the next n bytes in one
// delivery), 0xFD (the upload is started again) and 0xFC (the port is lost).
#include "link/devicelink.h"
#include "link/linkframe.h"
#include "rom/tuploadimage.h"
#include "support/tfakeclock.h"
#include "support/tfaketimer.h"
#include "support/trecordingport.h"
#include "support/trecordingsink.h"
#include "util/crc8.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kSizes[4] = {64512, 62400, 1000, 458752};

const std::string& RomFile(size_t Which) {
    static std::string paths[4];
    static std::vector<uint8_t> unused;
    if (paths[Which].empty()) {
        char pattern[] = "/tmp/fuzz_upload_XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (!dir) std::abort();
        paths[Which] = std::string(dir) + "/rom.bin";
        std::vector<uint8_t> bytes(kSizes[Which]);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i * 13 + (i >> 9) + Which);
        std::FILE* f = std::fopen(paths[Which].c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
            std::fclose(f) != 0)
            std::abort();
    }
    return paths[Which];
}

// What the display must receive as block n (1-based) of file Which: the file's
// bytes with the first 256 decoded, zeros past its end.
uint8_t Expected(size_t Which, size_t At) {
    if (At >= kSizes[Which]) return 0;
    uint8_t b = static_cast<uint8_t>(At * 13 + (At >> 9) + Which);
    if (At < 256) b ^= YVclUtil::Crc8Table[At];
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0) return 0;
    const size_t which = Data[0] & 3;
    TRecordingPort port;
    TFakeTimer timer;
    TFakeClock clock;
    TRecordingSink sink;
    DpuLink::TDeviceLink link(port, timer, clock, sink);
    link.SetMsgOn((Data[0] & 4) != 0);
    int finished = 0;
    link.OnTransferEnded = [&](DpuLink::TLinkOutcome o) {
        finished += o == DpuLink::TLinkOutcome::Finished;
    };
    if (!link.Connect() || !link.StartUpload(DpuRom::TUploadImage::Read(RomFile(which))))
        std::abort();
    const unsigned blocks = link.BlockCount();
    if (blocks != (kSizes[which] == 62400 ? 975u : 976u)) std::abort();

    // ACKs acted on while a block was outstanding, since the last (re)start.
    unsigned acks = 0;
    size_t checked = 0;
    auto deliver = [&](const uint8_t* Bytes, size_t Count) {
        const bool uploading = link.LinkState() == DpuLink::TLinkState::RomUpload;
        const unsigned outstanding = link.BlockNo();
        const int before = finished;
        link.OnRxdDatas(static_cast<int>(Count), reinterpret_cast<const char*>(Bytes));
        // The first reply byte of a delivery is the one acted on.
        for (size_t i = 0; uploading && i < Count; ++i) {
            if (Bytes[i] == DpuLink::kReplyReady) {
                acks = 0;
                break;
            }
            if (Bytes[i] == DpuLink::kReplyAck) {
                acks += outstanding > 0;
                break;
            }
            if (Bytes[i] == DpuLink::kReplyNak) break;
        }
        if (finished != before && acks != blocks) std::abort();
        if (finished != before) acks = 0;
    };

    for (size_t i = 1; i < Size; ++i) {
        const uint8_t b = Data[i];
        if (b == 0xFF) {
            if (timer.Active) link.OnResponseTimer();
        } else if (b == 0xFE && i + 1 < Size) {
            const size_t n = std::min<size_t>(Data[i + 1], Size - i - 2);
            deliver(Data + i + 2, n);
            i += 1 + n;
        } else if (b == 0xFD) {
            if (link.LinkState() == DpuLink::TLinkState::Idle && link.Connected()) {
                if (!link.StartUpload(DpuRom::TUploadImage::Read(RomFile(which)))) std::abort();
                acks = 0;
            }
        } else if (b == 0xFC) {
            link.OnPortLost("fuzz");
            if (!link.Connect()) std::abort();
        } else {
            deliver(&b, 1);
        }
        // Every new frame: a ROM block of the part that is sent, with its bytes and CRC.
        for (; checked < port.Frames.size(); ++checked) {
            const std::vector<uint8_t>& f = port.Frames[checked];
            if (f.size() != DpuLink::kFrameSize || f[0] != 0x03 || f[2] > 7) std::abort();
            const unsigned n = f[1] * 8u + f[2] + 1u;
            if (n < 1 || n > blocks) std::abort();
            for (size_t k = 0; k < 64; ++k)
                if (f[3 + k] != Expected(which, (n - 1) * 64 + k)) std::abort();
            if (f[67] != YVclUtil::Crc8(f.data(), 67)) std::abort();
        }
    }
    return 0;
}
