#pragma once

#include "util/fileaccess.h"

#include <cstdint>
#include <string>
#include <vector>

namespace DpuProject {

class TGlyphSource;

// The one rule of what a code-table label becomes in the ROM image. The
// grid's label check, the preview and MAKE ROM all ask it, so they agree on
// every label.
//
// A label is taken trimmed and upper-cased (a..z only) and measured in bytes
// of its text as stored (UTF-8 for anything beyond ASCII):
// - empty: nothing (code bytes 00 00);
// - one byte c: the glyph of c (00 c); two bytes c0 c1: both glyphs (c0 c1),
//   except that a leading '0' is stored as 00 and not drawn ("05" is "5");
// - three or more bytes: the user bitmap "<LABEL>.bmp" of the floor style,
//   looked up in the user folders in order; missing, or a label that cannot
//   be a file name (it holds '/', '\', ".." or a control character): the
//   label is cancelled (bytes 00 00, the cell emptied by MAKE ROM).
// A character has a glyph in style k when its code is below 128 and the glyph
// source holds entry (k + 1, code); a style outside 0..3 has none. So "é"
// (two bytes) is a two-character label with no glyph in any style, while
// "É1" or "大" (three bytes) name user bitmaps.
class TLabelRule {
public:
    static constexpr int StyleCount = 4;
    // Codes the image has floor glyphs for: 0..127.
    static constexpr int GlyphCodeCount = 128;

    enum class TKind {
        Empty,      // nothing to build
        Glyphs,     // one or two characters from the floor style's glyphs
        UserBitmap, // a user bitmap that was found (BitmapPath)
        Cancelled,  // auto cancel: no user bitmap, or the label is no file name
    };

    struct TResult {
        TKind Kind = TKind::Empty;
        // The label as saved and built: trimmed, upper-cased.
        std::string Text;
        // Code-table bytes. A user bitmap's second byte is its number, which
        // only the build gives out (0 here).
        uint8_t First = 0;
        uint8_t Second = 0;
        // Glyphs: the bytes drawn (one or two; "05" draws "5").
        std::string Drawn;
        // Glyphs: which bytes of Drawn have a glyph in the style.
        std::vector<bool> HasGlyph;
        // Glyphs: the characters without a glyph, as typed ("é", "Q"), each once.
        std::vector<std::string> MissingGlyphs;
        // Three or more bytes: "<Text>.bmp" and the folders looked in, in order.
        std::string BitmapName;
        std::vector<std::string> Folders;
        // UserBitmap: the file found.
        std::string BitmapPath;
        // UserBitmap: the file's status when it was found.
        YVclUtil::TFileStatus BitmapStatus;
        // Cancelled because the label cannot be a file name (never looked up).
        bool NotAFileName = false;
        // No glyph library is loaded: no glyph can be drawn or built.
        bool NoLibrary = false;
        // Why (part of) the label cannot be shown, one line: "No glyph for é
        // in Style 2", "No user bitmap MEZZ.bmp in Style 0"; "" when all shows.
        std::string Reason;
    };

    // Decides Label in floor style Style. Glyphs are asked of Glyphs
    // (HasEntry); user bitmaps are looked for in Folders, first found wins
    // (UserBitmapFolders gives them). Never fails; Reason says what is missing.
    static TResult Decide(const std::string& Label, int Style, const TGlyphSource& Glyphs,
                          const std::vector<std::string>& Folders);
    // Decide for a label that is BuiltText already (the build's inputs, made
    // once by MAKE ROM): the same result, without normalising it again.
    static TResult DecideBuilt(const std::string& Text, int Style, const TGlyphSource& Glyphs,
                               const std::vector<std::string>& Folders);

    // The label as saved and built: trimmed, a..z upper-cased. The one place
    // a label is normalised: the project file, MAKE ROM and the checks all
    // take it from here.
    static std::string BuiltText(const std::string& Label);
    // The bytes whose glyphs a label of BuiltText Text draws (empty for an
    // empty label and for user-bitmap labels).
    static std::string GlyphBytes(const std::string& Text);
    // False when Text holds '/', '\', ".." or a byte below 0x20 or 0x7F, so it
    // must never become part of a path.
    static bool IsFileName(const std::string& Text);
    // The user-bitmap folders of Style, in lookup order:
    // StartupDir + "/DefaultImage2/UserDefine/Floor/Style<n>", then
    // ProgramDir + "DefaultImage2/UserDefine/Floor/Style<n>" (the second is
    // left out when it is the same folder; an empty directory is skipped).
    static std::vector<std::string> UserBitmapFolders(const std::string& StartupDir,
                                                      const std::string& ProgramDir, int Style);
    // A character for messages: printable ASCII and whole UTF-8 sequences as
    // typed; anything else as "code n" (its byte value).
    static std::string CharacterName(const std::string& Char);
    // Splits Bytes into characters: one whole UTF-8 sequence, or one byte
    // that starts none.
    static std::vector<std::string> SplitCharacters(const std::string& Bytes);
    // Label text fit for a one-line message: control bytes shown as '?'.
    static std::string Printable(const std::string& Text);
};

} // namespace DpuProject
