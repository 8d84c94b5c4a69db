#pragma once

#include "rom/tromimage.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace DpuRom {

class TGlyphEntrySource;

// The inverse of the image assembler: checks that 64512 bytes are a ROM image
// and gives back the settings record, what every code of the three tables
// shows and every picture, on the same layout constants as the builder.
//
// The image does not say how its pictures were turned (DISPHV), which floor
// style they came from (DEF_FL) or how large its last pictures are. Given the
// glyph library the image was built with, the reader settles the first two by
// packing library pictures both ways and comparing; without it the Assumed
// values stand. Given the program folder, user bitmaps are named after the
// stock bitmap that packs to the same bytes (the workspace's first).
//
// Callers rely on: Read never touching memory outside Data[0, Size); a refusal
// leaving the reason in LastErrMsg as "offset 0xXXXX (table): why" and the
// offset in LastErrOffset; Image being complete only after a true result.
class TRomImageReader {
public:
    const TGlyphEntrySource* Library = nullptr; // may be null
    int Cfi = 48;                               // library entry of the character block
    int AssumedDispHv = 1;                      // when no library tells
    int AssumedDefFl = 0;
    std::string ProgramDir; // ending in '/'; empty = user bitmaps stay unnamed
    // The workspace, ending in '/': its user bitmaps are looked at before the
    // program folder's, as the build looks them up. Empty = not looked at.
    std::string UserDir;

    // Reads an image held in memory. False when it is not a ROM image; the
    // reason is in LastErrMsg, the offset it names in LastErrOffset.
    bool Read(const uint8_t* Data, size_t Size, TRomImage& Image);
    // Reads the file at Path (a regular file of at most 1 MB). False when it
    // cannot be read (LastErrMsg names the file and the reason) or is no image.
    bool ReadFile(const std::string& Path, TRomImage& Image);

    std::string LastErrMsg;
    size_t LastErrOffset = 0;

    // No picture the display shows is wider or taller than this; a picture
    // the reader would have to draw larger is damage. Every picture's bytes
    // also lie inside its zone, so a drawn picture never has more than
    // 8 x 28672 pixels.
    static constexpr int MaxDrawnSide = 4096;

    // The drawn size of a picture of Length bytes whose drawn height is
    // normally NominalHeight: that height, and as wide as the bytes reach in
    // its bands (the last column or band partly filled when they do not fill
    // whole bands).
    static void Shape(TRomPicture& Picture, int NominalHeight);
};

} // namespace DpuRom
