#pragma once

#include "util/fileaccess.h"
#include "util/trasterimage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace DpuRom {

// The display's picture format: a 4-byte little-endian header (width, height),
// then bands of eight rows from the top, one byte per column from the left,
// bit 0 the top row of the band. A pixel is lit exactly when its red, green
// and blue are all 0; alpha plays no part. Rows past the last whole band are
// not encoded; the bytes standing for them are zeros, so the packed size is
// always 4 + floor(W * H / 8).

// Loads a bitmap file through the program's one picture reader
// (util/tbmpreader.h, which lists what it accepts and refuses) into an RGB32
// picture (ARGB32 when the file has an alpha mask). Throws ERomBuild (caption
// "Error") with "Cannot load picture \"<file>\": <reason>" when the file
// cannot be read or the reader refuses it.
YVclUtil::TRasterImage LoadPicture(const std::string& FileName);

// The same for a picture held in memory; Name is used in the message.
YVclUtil::TRasterImage LoadPictureData(const uint8_t* Data, size_t Size, const std::string& Name);

// Loads and packs in one step: DispHv 1 (the panel is mounted turned) packs
// the picture turned a quarter counter-clockwise, the packed pixel (x, y)
// being the source pixel (Ws - 1 - y, x), so W = Hs and H = Ws; any other
// value packs it as it stands. The same refusals as LoadPictureData, and
// ERomBuild (caption "Error") when a packed side exceeds 65535 pixels, which
// the header cannot hold. Decoded straight into the lit map without a colour
// picture in between.
std::vector<uint8_t> ConvertPictureData(const uint8_t* Data, size_t Size, int DispHv,
                                        const std::string& LoadName, const std::string& PackName);

// The same for a picture file, read whole first; FileName is used in the
// messages. Read, when given, gets the file's status as it was read; Found,
// when given, is its status as the caller just asked it (not asked again).
std::vector<uint8_t> ConvertPictureFile(const std::string& FileName, int DispHv,
                                        YVclUtil::TFileStatus* Read = nullptr,
                                        const YVclUtil::TFileStatus* Found = nullptr);

} // namespace DpuRom
