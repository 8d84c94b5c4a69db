#pragma once

#include <string>

namespace DpuRom {

// Everything of the project and the configuration that the image assembler
// reads besides the prepared picture lists: the 16-byte settings record, the
// floor style, the logo, the ROM file name and the version values.
struct TRomSettings {
    int DpStyle = 1;                           // DPSTYLE: 1 Right, 2 Left
    int DispDt = 0;                            // DISPDT: date and time shown
    int PwrSaving = 0;                         // PWRSAVING: list index 0..16
    int SwapTime = 0;                          // SWAPTIME: list index, seconds - 1
    int CusLogoEnable = 0;                     // CUSLOGOENABLE
    std::string CusIdCode;                     // CUSIDCODE: first four bytes used
    int DefMsgPos = 1;                         // DEF_MSGPOS
    int NodeAddr = 0;                          // NODEADDR
    int DefDir = 0;                            // DEF_DIR
    int DefMsg = 3;                            // DEF_MSG: mask of the four message columns
    int DefCtbl = 0;                           // DEF_CTBL
    int DefFl = 0;                             // DEF_FL: floor style whose glyphs go into the image
    std::string TitleFileName;                 // TITLEFILENAME_C: customer logo, empty = none
    std::string RomFileName = "DPU510TK3.BIN"; // "ROM Filename:" text

    // Values of the selected configuration version.
    int Cfi = 1;
    int Ifi = 41;
    int DispHv = 1;
    int Encode = 1;
};

} // namespace DpuRom
