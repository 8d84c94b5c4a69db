#pragma once

#include "project/tlabelrule.h"
#include "util/trasterimage.h"

#include <string>
#include <vector>

namespace DpuProject {

class TGlyphSource;

// The "Preview:" picture of a code-table label: what MAKE ROM builds of it
// (TLabelRule), in the given floor style. One or two characters are drawn
// from the style's glyphs (group style + 1), three or more show their user
// bitmap as found in the user folders.
class TLabelPreview {
public:
    // Draws CellText into Preview, replacing whatever it showed: a white
    // 64 x 64 picture with one glyph centred (x 16) or two side by side
    // (x 0 and x 32), or the user bitmap as found (unscaled). Characters
    // without a glyph leave their place white. Why gets one line saying what
    // cannot be shown ("Empty cell", "No glyph for é in Style 2", "No user
    // bitmap MEZZ.bmp in Style 0", a bitmap or glyph that cannot be read),
    // "" when everything shows. Returns the rule's answer for the label.
    static TLabelRule::TResult Render(const std::string& CellText, int DefFl,
                                      const std::vector<std::string>& UserFolders,
                                      TGlyphSource& Library, YVclUtil::TRasterImage& Preview,
                                      std::string& Why);
};

} // namespace DpuProject
