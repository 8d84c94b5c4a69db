#pragma once

#include "rom/tromimage.h"

#include <string>
#include <utility>
#include <vector>

namespace DpuRom {

// How the inspect, diff and recover commands and the window name what an
// image holds: settings by their project-file keys, codes as
// "CTBL1 code 12 (0C)", messages by lift state and slot. None of these fail.
class TRomImageText {
public:
    static constexpr int StateCount = 10;

    // "FIRE", "QUAKE", ... "IND" for states 0..9; "?" outside.
    static std::string StateName(int State);
    // The lift-state slot of message list entry Index when every slot is
    // filled: the builder lists slots B, A, D, C, each by state 0..9. Slot
    // 0..3 = A..D.
    static void MessageSlot(int Index, int& State, int& Slot);
    // "message FIRE slot B".
    static std::string MessageName(int Index);
    // "CTBL1 code 12 (0C)".
    static std::string CodeName(int Table, int Code);
    // What the code shows: the glyph label ("12"), the user bitmap's label
    // or "user bitmap 3", or "nothing". Bytes outside 0x21..0x7E as "<A5>".
    static std::string CodeText(const TRomImage& Image, int Table, int Code);
    // CodeText for a person: a glyph label as it was typed (UTF-8 text, or
    // the single-byte character set for bytes that are not UTF-8, in UTF-8);
    // only control bytes as "<1B>".
    static std::string CodeTextAsTyped(const TRomImage& Image, int Table, int Code);

    // The settings as (key, value text), keys of the project file plus ENCODE,
    // DISPHV and DEF_FL; values as the editor's lists show them ("10" for
    // PWRSAVING choice 2).
    static std::vector<std::pair<std::string, std::string>> Settings(const TRomImage& Image);

    // The readable summary that "inspect" prints.
    static std::string Summary(const TRomImage& Image, const std::string& FileName);
    // The --json form (docs/rom-image-reader.md describes it). Valid images only.
    static std::string Json(const TRomImage& Image, const std::string& FileName);
    // The --json form of a refused image.
    static std::string JsonRefusal(const std::string& FileName, const std::string& Reason,
                                   size_t Offset);
};

} // namespace DpuRom
