#pragma once

namespace DpuProject {

// The integer settings of a project, each named by its project-file key in
// section GLOBAL, with the value a new project starts with. The project
// record and the ROM image's settings both hold them, so one description
// (TSettingsTable) can reach either through the same member pointer.
struct TSettingValues {
    int DEF_CTBL = 0;   // 0..2
    int DEF_FL = 0;     // 0..3, glyph group DEF_FL + 1
    int DEF_DIR = 0;    // 0..4
    int DPSTYLE = 1;    // 1 "Right", 2 "Left"
    int DEF_MSG = 3;    // the stored (normalised) message-column mask
    int DEF_MSGPOS = 1; // 0..2; a new project starts with 1, the value a file without the key gives
    int DISPDT = 0;     // 0 or 1
    int CUSLOGOENABLE = 0; // 0 "OFF", 1 "ON (Sec.)"
    int SWAPTIME = 0;      // 0..29, seconds = index + 1
    int PWRSAVING = 0;     // 0..16, index into TProject::PowerSavingChoices()
    int NODEADDR = 0;      // 0..63
};

} // namespace DpuProject
