#pragma once

#include <string>

class QImage;

namespace DpuProject {

class TGlyphSource;

// The "Preview:" picture of a code-table label: one or two characters are
// drawn from the floor-style glyphs (group DEF_FL + 1), three or more name a
// user bitmap "<user floor-style prefix><DEF_FL>/<LABEL>.bmp".
class TLabelPreview {
public:
    enum class TKind {
        None,       // empty cell: the preview keeps its picture
        Glyphs,     // Chars holds one or two characters
        UserBitmap, // BitmapPath names the user bitmap
    };
    struct TPlan {
        TKind Kind = TKind::None;
        std::string Chars;
        std::string BitmapPath;
    };

    // What a cell's text previews as: trimmed, upper-cased; a two-character
    // label starting with '0' counts as its second character alone.
    static TPlan Plan(const std::string& CellText, int DefFl,
                      const std::string& UserFloorStylePrefix);

    // Draws the preview of CellText into Preview (made 64 x 64 white when it
    // is null). One character: white, the glyph's 32 x 64 pixels centred at
    // x 16. Two: glyphs at x 0 and x 32, no clearing. User bitmap: loaded
    // unscaled when the file exists. Returns false when nothing was drawn
    // (empty text, missing bitmap); an absent glyph leaves its half as it was.
    static bool Render(const std::string& CellText, int DefFl,
                       const std::string& UserFloorStylePrefix, TGlyphSource& Library,
                       QImage& Preview);
};

} // namespace DpuProject
