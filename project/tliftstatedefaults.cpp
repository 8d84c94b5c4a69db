#include "project/tliftstatedefaults.h"

#include "project/dputext.h"
#include "project/tproject.h"

namespace DpuProject {

namespace {
const char* const kStemsEn[10] = {"FIRE",     "QUAKE", "ALARM", "OUT_OF_SERVICE", "OVERLOAD",
                                  "MAINTAIN", "FULL",  "VIP",   "PARKING",        "IND"};
const char* const kStemsCht[10] = {"FIRE",     "QUAKE", "BREAKDOWN", "OUT_OF_SERVICE", "OVERLOAD",
                                   "MAINTAIN", "FULL",  "VIP",       "PARKING",        "IND"};
} // namespace

std::string TLiftStateDefaults::StemEn(int State) {
    return State >= 0 && State < 10 ? kStemsEn[State] : "";
}

std::string TLiftStateDefaults::StemCht(int State) {
    return State >= 0 && State < 10 ? kStemsCht[State] : "";
}

std::string TLiftStateDefaults::FileName(int State, int Slot) {
    if (State < 0 || State >= 10) return {};
    switch (Slot) {
    case 0:
        return StemEn(State) + "-16x64_EN.bmp";
    case 1:
        return StemCht(State) + "-16x64_CHT.bmp";
    case 2:
        return StemEn(State) + "-INV-16x64_EN.bmp";
    case 3:
        return StemCht(State) + "-INV-16x64_CHT.bmp";
    default:
        return {};
    }
}

std::string TLiftStateDefaults::Folder(const std::string& ProgramDir) {
    return DpuText::JoinPath(ProgramDir, FolderName);
}

std::string TLiftStateDefaults::DefaultPath(const std::string& ProgramDir, int State, int Slot) {
    return Folder(ProgramDir) + FileName(State, Slot);
}

std::string TLiftStateDefaults::FallbackPath(const std::string& ProgramDir,
                                             const std::string& Named) {
    return Folder(ProgramDir) + DpuText::ExtractFileNameAny(Named);
}

void TLiftStateDefaults::FillDefaults(TProject& Project, const std::string& ProgramDir) {
    // Filled in display order B, D, A, C; only the paths matter.
    static const int kOrder[4] = {1, 3, 0, 2};
    for (int state = 0; state < TProject::StateCount; ++state)
        for (int slot : kOrder)
            Project.LiftStateSlots[state][slot] = DefaultPath(ProgramDir, state, slot);
}

} // namespace DpuProject
