#pragma once

#include "rom/tromimage.h"

#include <QImage>

#include <string>
#include <utility>
#include <vector>

namespace DpuRom {

// Pictures of what an image holds, for --png and the window: lit pixels black
// on white, each display pixel Scale x Scale screen pixels. Only pixel
// drawing, so no GUI application object is needed.
class TRomImagePainter {
public:
    // The picture as drawn (the panel turn undone). A null image when absent.
    static QImage Picture(const TRomPicture& Picture, int Scale = 1);

    // Code Code of table Table as the editor's preview shows its label: one
    // glyph, two glyphs side by side (32 x 64 of each), or the user bitmap;
    // a blank 64 x 64 for nothing.
    static QImage Code(const TRomImage& Image, int Table, int Code, int Scale = 1);

    // Pictures in rows of Columns, 2 pixels apart, on a grey ground. Null
    // pictures leave their cell empty. A null image when there are none.
    static QImage Sheet(const std::vector<QImage>& Pictures, int Columns);

    // Before and after beside each other, 4 grey pixels between them.
    static QImage SideBySide(const QImage& Before, const QImage& After);

    // Every zone's contact sheet and one picture per used code, as PNG files
    // in Folder (made when missing): floor-glyphs.png, user-bitmaps.png,
    // messages.png, direction-frames.png, logo.png, small-glyphs.png,
    // screen.png, CTBLt-NNN.png. False on the first file that cannot be
    // written, with the reason in Reason; Written lists the files written.
    static bool WriteAll(const TRomImage& Image, const std::string& Folder, int Scale,
                         std::vector<std::string>& Written, std::string& Reason);

    // Saves Picture as a PNG file atomically. False with the reason in Reason.
    static bool SavePng(const QImage& Picture, const std::string& Path, std::string& Reason);
};

} // namespace DpuRom
