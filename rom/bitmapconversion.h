#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class QImage;

namespace DpuRom {

// The display's picture format: a 4-byte little-endian header (width, height),
// then bands of eight rows from the top, one byte per column from the left,
// bit 0 the top row of the band. A pixel is lit exactly when its red, green
// and blue are all 0; alpha plays no part. Rows past the last whole band are
// not encoded; the bytes standing for them are zeros, so the packed size is
// always 4 + floor(W * H / 8).

// Packs a loaded picture as it stands. Throws ERomBuild (caption "Error")
// when a side exceeds 65535 pixels, which the header cannot hold.
std::vector<uint8_t> PackImage(const QImage& Picture, const std::string& Name);

// Packs the picture turned a quarter counter-clockwise: the packed pixel
// (x, y) is the source pixel (Ws - 1 - y, x), so W = Hs and H = Ws.
std::vector<uint8_t> PackImageRotated(const QImage& Picture, const std::string& Name);

// PackImageRotated when DispHv is 1 (the panel is mounted turned), else PackImage.
std::vector<uint8_t> ConvertImage(const QImage& Picture, int DispHv, const std::string& Name);

// Loads a bitmap file through the program's one picture reader
// (util/tbmpreader.h, which lists what it accepts and refuses) into an RGB32
// picture (ARGB32 when the file has an alpha mask). Throws ERomBuild (caption
// "Error") with "Cannot load picture \"<file>\": <reason>" when the file
// cannot be read or the reader refuses it.
QImage LoadPicture(const std::string& FileName);

// The same for a picture held in memory; Name is used in the message.
QImage LoadPictureData(const uint8_t* Data, size_t Size, const std::string& Name);

// Loads and packs in one step: the same bytes as
// ConvertImage(LoadPictureData(...), DispHv, PackName) and the same refusals,
// decoded straight into the lit map without a colour picture in between.
std::vector<uint8_t> ConvertPictureData(const uint8_t* Data, size_t Size, int DispHv,
                                        const std::string& LoadName, const std::string& PackName);

// The same for a picture file: ConvertImage(LoadPicture(FileName), DispHv, FileName).
std::vector<uint8_t> ConvertPictureFile(const std::string& FileName, int DispHv);

// File-to-file forms: load Source, pack, and write Target atomically. Throw
// ERomBuild naming the file when Source cannot be loaded or Target cannot be
// written; no Target is left behind then.
void PackBitmap(const std::string& Source, const std::string& Target);
void PackBitmapRotated(const std::string& Source, const std::string& Target);
void ConvertBitmap(const std::string& Source, const std::string& Target, int DispHv);

} // namespace DpuRom
