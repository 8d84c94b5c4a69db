#pragma once

#include <cstdint>
#include <string>
#include <vector>

class QImage;

namespace DpuRom {

// The colour path of the picture format, kept beside the tests as the
// reference the build's one-step conversion (rom/bitmapconversion.h) is held
// to: a loaded picture is packed pixel by pixel as the format describes it,
// without the build's shortcuts.

// Packs a loaded picture as it stands. Throws ERomBuild (caption "Error")
// when a side exceeds 65535 pixels, which the header cannot hold.
std::vector<uint8_t> PackImage(const QImage& Picture, const std::string& Name);

// Packs the picture turned a quarter counter-clockwise: the packed pixel
// (x, y) is the source pixel (Ws - 1 - y, x), so W = Hs and H = Ws.
std::vector<uint8_t> PackImageRotated(const QImage& Picture, const std::string& Name);

// PackImageRotated when DispHv is 1 (the panel is mounted turned), else PackImage.
std::vector<uint8_t> ConvertImage(const QImage& Picture, int DispHv, const std::string& Name);

// File-to-file forms: convert Source (ConvertPictureFile) and write Target
// atomically. Throw ERomBuild naming the file when Source cannot be loaded or
// Target cannot be written; no Target is left behind then.
void PackBitmap(const std::string& Source, const std::string& Target);
void PackBitmapRotated(const std::string& Source, const std::string& Target);
void ConvertBitmap(const std::string& Source, const std::string& Target, int DispHv);

} // namespace DpuRom
