#pragma once

#include "project/tsettingvalues.h"

#include <string>

namespace DpuRom {

// Everything of the project and the configuration that the image assembler
// reads besides the prepared picture lists: the 16-byte settings record, the
// floor style, the logo, the ROM file name and the version values.
struct TRomSettings : DpuProject::TSettingValues {
    // The integer settings (TSettingValues, described by TSettingsTable) go
    // into the record; DEF_FL names the floor style whose glyphs go into the
    // image and is not stored in the record.
    std::string CusIdCode;                     // CUSIDCODE: first four bytes used
    std::string TitleFileName;                 // TITLEFILENAME_C: customer logo, empty = none
    std::string RomFileName = "DPU510TK3.BIN"; // "ROM Filename:" text

    // Values of the selected configuration version.
    int Cfi = 1;
    int Ifi = 41;
    int DispHv = 1;
    int Encode = 1;
};

} // namespace DpuRom
