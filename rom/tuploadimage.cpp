#include "rom/tuploadimage.h"

#include "project/tconfiguration.h"
#include "rom/romimagecheck.h"
#include "rom/romlayout.h"
#include "util/crc8.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"
#include "util/prompts.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace DpuRom {

static_assert(TUploadImage::ShortImageBlocks * TUploadImage::BlockSize ==
              TUploadImage::ShortImageSize);
static_assert(TUploadImage::ImageBlocks * TUploadImage::BlockSize == RomLayout::UploadSize);
static_assert(RomLayout::UploadSize <= RomLayout::ImageSize &&
              RomLayout::ImageSize <= TUploadImage::MaxFileSize);
static_assert(RomLayout::EncodedSize <= TUploadImage::ShortImageSize);

TUploadImage TUploadImage::Read(const std::string& FileName) {
    TUploadImage image;
    image.FFileName = FileName;
    // Regular files only, read without blocking: a FIFO or a port named as
    // the image is refused with its reason, never waited on.
    YVclUtil::TFileStatus status;
    std::string reason;
    if (!YVclUtil::QueryFileStatus(FileName, status, reason) ||
        status.Kind == YVclUtil::TFileKind::Missing) {
        image.FFault = TFault::NotOpened;
        image.FReason = reason.empty() ? YVclUtil::InputKindReason(status.Kind) : reason;
        return image;
    }
    if (status.Kind != YVclUtil::TFileKind::Regular) {
        image.FFault = TFault::NotRegular;
        image.FReason = YVclUtil::InputKindReason(status.Kind);
        return image;
    }
    if (status.Size > MaxFileSize) {
        image.FFault = TFault::TooLarge;
        return image;
    }
    if (!YVclUtil::ReadWholeFile(FileName, image.FBytes, reason, MaxFileSize, nullptr, &status)) {
        // Grown past the limit since the status call: too large all the same.
        image.FFault = reason == YVclUtil::SystemReason(EFBIG) ? TFault::TooLarge : TFault::NotRead;
        if (image.FFault == TFault::NotRead) image.FReason = reason;
        image.FBytes.clear();
        return image;
    }
    image.FFault = TFault::None;
    image.Check();
    return image;
}

TUploadImage TUploadImage::FromBytes(std::vector<uint8_t> Bytes, const std::string& Name) {
    TUploadImage image;
    image.FFileName = Name;
    if (Bytes.size() > MaxFileSize) {
        image.FFault = TFault::TooLarge;
        return image;
    }
    image.FBytes = std::move(Bytes);
    image.FFault = TFault::None;
    image.Check();
    return image;
}

bool TUploadImage::UploadsAllowed(const DpuProject::TConfiguration& Config,
                                  YVclUtil::Prompts& Ask) {
    if (Config.ENCODE != 0) return true;
    Ask.MessageBox("No service!!", "ORV init version\n\n No support download function!!\n\n");
    return false;
}

void TUploadImage::Check() {
    FProblem.clear();
    if (!CheckUploadImage(FBytes.data(), FBytes.size(), FProblem) && FProblem.empty())
        FProblem = "not a display image";
}

std::vector<std::string> TUploadImage::FaultLines() const {
    switch (FFault) {
    case TFault::None:
        return {};
    case TFault::NotOpened:
        return {"*** Can not open ROM file " + FFileName + ": " + FReason + " ***"};
    case TFault::NotRegular:
    case TFault::NotRead:
        return {"*** Can not read ROM file " + FFileName + ": " + FReason + " ***"};
    case TFault::TooLarge:
        return {"*** Warning.... ***", "=== ROM image too large!! ==="};
    }
    return {};
}

unsigned TUploadImage::BlockCount() const {
    return FBytes.size() == ShortImageSize ? ShortImageBlocks : ImageBlocks;
}

std::vector<uint8_t> TUploadImage::SentBytes() const {
    // A shorter file is padded with zeros, never with what an earlier upload left.
    std::vector<uint8_t> sent(RomLayout::UploadSize, 0);
    std::copy_n(FBytes.begin(), std::min(FBytes.size(), sent.size()), sent.begin());
    for (size_t i = 0; i < RomLayout::EncodedSize; ++i)
        sent[i] ^= YVclUtil::Crc8Table[i];
    return sent;
}

std::string TUploadImage::SizeWarning() const {
    // Sent all the same, as the display has always been fed; but a file of
    // another size is rarely an image MAKE ROM wrote, and the person should know.
    if (!Readable() || FBytes.size() == ShortImageSize || FBytes.size() == RomLayout::ImageSize)
        return {};
    return YVclUtil::Format(
        "*** Warning: %s is %s; a built image holds %zu bytes, of which %zu are sent ***",
        FFileName.c_str(),
        YVclUtil::CountOf(static_cast<unsigned long long>(FBytes.size()), "byte").c_str(),
        RomLayout::ImageSize, RomLayout::UploadSize);
}

} // namespace DpuRom
