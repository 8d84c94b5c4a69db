#pragma once

#include "rom/tromimage.h"
#include "util/trasterimage.h"

#include <cstddef>
#include <functional>

#include <string>
#include <utility>
#include <vector>

namespace DpuRom {

// Pictures of what an image holds, for --png and the window: lit pixels black
// on white, each display pixel Scale x Scale screen pixels. Plain pixel
// copies into the core's own picture type: no graphics toolkit is needed.
//
// Memory: no picture made here holds more than MaxPictureBytes, whatever the
// image says (a picture's pixels are bounded by its zone, a sheet or a zoom
// that would be larger is drawn smaller), so drawing one image never needs
// more than MemoryBudget at any time.
class TRomImagePainter {
public:
    static constexpr size_t MemoryBudget = size_t{256} << 20;
    // A few such pictures live at once: the sheet, its zoomed copy, a pixmap.
    static constexpr size_t MaxPictureBytes = MemoryBudget / 8;
    using TPicture = YVclUtil::TRasterImage;

    // The picture as drawn (the panel turn undone). A null image when absent.
    static TPicture Picture(const TRomPicture& Picture, int Scale = 1);

    // Code Code of table Table as the editor's preview shows its label: one
    // glyph, two glyphs side by side (32 x 64 of each), or the user bitmap;
    // a blank 64 x 64 for nothing.
    static TPicture Code(const TRomImage& Image, int Table, int Code, int Scale = 1);

    // Pictures in rows of Columns, 2 pixels apart, on a grey ground. Null
    // pictures leave their cell empty. A null image when there are none.
    // When cells as large as the largest picture would make the sheet larger
    // than MaxPictureBytes, the cells are made smaller and larger pictures
    // cut to them (their top left part is shown).
    static TPicture Sheet(const std::vector<TPicture>& Pictures, int Columns);

    // Before and after beside each other, 4 grey pixels between them.
    static TPicture SideBySide(const TPicture& Before, const TPicture& After);

    // Image enlarged Factor times, each pixel a square; a smaller factor (down
    // to 1) when the result would hold more than MaxPictureBytes.
    static TPicture Zoomed(const TPicture& Image, int Factor);
    // The factor Zoomed uses for an image of Width x Height.
    static int ZoomWithinBudget(int Width, int Height, int Factor);

    // Every zone's contact sheet and one picture per used code, Scale times
    // enlarged (less where the budget asks), handed to Take one at a time
    // with the file name WriteAll gives it. Stops and returns false as soon
    // as Take does.
    static bool PaintAll(const TRomImage& Image, int Scale,
                         const std::function<bool(const TPicture&, const std::string&)>& Take);

    // Every zone's contact sheet and one picture per used code, as PNG files
    // in Folder (made when missing): floor-glyphs.png, user-bitmaps.png,
    // messages.png, direction-frames.png, logo.png, small-glyphs.png,
    // screen.png, CTBLt-NNN.png. False on the first file that cannot be
    // written, with the reason in Reason; Written lists the files written.
    static bool WriteAll(const TRomImage& Image, const std::string& Folder, int Scale,
                         std::vector<std::string>& Written, std::string& Reason);

    // Saves Picture as a PNG file atomically under Path, a name the caller
    // chose: a link, FIFO or folder there is refused and nothing written
    // (YVclUtil::WriteChosenFile). False with the reason in Reason.
    static bool SavePng(const TPicture& Picture, const std::string& Path, std::string& Reason);
};

} // namespace DpuRom
