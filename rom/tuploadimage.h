#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace YVclUtil {
class Prompts;
}
namespace DpuProject {
class TConfiguration;
}

namespace DpuRom {

// A ROM image file as an upload sends it, the one owner of what an upload
// reads: the file is read once, whole; the bytes read are the ones checked,
// shown to the person and sent, whatever happens to the file afterwards.
// Holds the bytes, how many 64-byte blocks go out, why the file could not be
// read (Fault, Reason) and why its bytes do not read as a display image
// (Problem). Never raises; nothing is logged or shown here.
class TUploadImage {
public:
    // Largest file an upload takes (0x70000 bytes); a larger one is not read.
    static constexpr size_t MaxFileSize = 0x70000;
    // Bytes of image data in one frame.
    static constexpr size_t BlockSize = 64;
    // The short image the display also takes: a 62400-byte file goes out as
    // 975 blocks, any other as 976 (RomLayout::UploadSize bytes; of the
    // RomLayout::ImageSize bytes MAKE ROM writes, the rest is never sent).
    static constexpr size_t ShortImageSize = 62400;
    static constexpr unsigned ShortImageBlocks = 975;
    static constexpr unsigned ImageBlocks = 976;

    enum class TFault {
        None,       // read whole
        NotOpened,  // missing, or its status could not be asked (Reason says why)
        NotRegular, // a folder, FIFO or device, never waited on (Reason)
        TooLarge,   // over MaxFileSize bytes; nothing was read
        NotRead,    // the read itself failed (Reason)
    };

    // Nothing read: Fault NotOpened, no bytes.
    TUploadImage() = default;
    // Reads FileName once (regular files only, at most MaxFileSize bytes) and
    // checks what it read. Never fails as a call: a file that cannot be used
    // has its Fault and Reason.
    static TUploadImage Read(const std::string& FileName);
    // Bytes already in memory, as if read from a file named Name (which only
    // names it in messages); more than MaxFileSize bytes are TooLarge.
    static TUploadImage FromBytes(std::vector<uint8_t> Bytes, const std::string& Name);

    // The upload asks ENCODE of the selected version: 0 refuses with the
    // "No service!!" box through Ask and returns false.
    static bool UploadsAllowed(const DpuProject::TConfiguration& Config, YVclUtil::Prompts& Ask);

    bool Readable() const { return FFault == TFault::None; }
    TFault Fault() const { return FFault; }
    // The system's words for a fault ("No such file or directory", "Is a
    // directory", "Not a regular file"); empty without one.
    const std::string& Reason() const { return FReason; }
    // The message-log lines that tell of a fault: "*** Can not open ROM file
    // F: R ***", "*** Can not read ROM file F: R ***", or the two "too large"
    // lines; none when the file was read.
    std::vector<std::string> FaultLines() const;
    // Read, and the bytes read as a display image (CheckUploadImage).
    bool IsImage() const { return Readable() && FProblem.empty(); }
    // Why the bytes read are no display image, in the check's words; empty
    // for an image and when nothing was read.
    const std::string& Problem() const { return FProblem; }

    const std::string& FileName() const { return FFileName; }
    // The file's bytes as read (MAKE ROM's encoding of the first 256 still on).
    const std::vector<uint8_t>& Bytes() const { return FBytes; }
    size_t Size() const { return FBytes.size(); }
    // Blocks sent: ShortImageBlocks for a file of ShortImageSize bytes, else ImageBlocks.
    unsigned BlockCount() const;
    // The ImageBlocks * BlockSize bytes the frames carry: the bytes read with
    // the first 256 decoded (MAKE ROM encodes them with the CRC table; the
    // display wants them plain), zeros after the end of a shorter file.
    std::vector<uint8_t> SentBytes() const;
    // "*** Warning: F is N bytes; a built image holds 64512 bytes, of which
    // 62464 are sent ***" for a file of neither size MAKE ROM or the display
    // knows; empty otherwise.
    std::string SizeWarning() const;

private:
    void Check();

    TFault FFault = TFault::NotOpened;
    std::string FReason;
    std::string FProblem;
    std::string FFileName;
    std::vector<uint8_t> FBytes;
};

} // namespace DpuRom
