#pragma once

#include <string>

namespace DpuProject {

class TProject;

// The stock lift-state bitmaps beside the executable:
// <program directory>DefaultImage2/LiftState/<name>. The program never
// writes them; paths are made whether or not the files exist.
class TLiftStateDefaults {
public:
    // "DefaultImage2/LiftState/"
    static constexpr const char* FolderName = "DefaultImage2/LiftState/";

    // The stem of state 0..9 ("FIRE", "QUAKE", "ALARM", ...) for slots A and C,
    // and for slots B and D ("BREAKDOWN" for state 2). Empty when out of range.
    static std::string StemEn(int State);
    static std::string StemCht(int State);

    // The default file name of (state, slot 0..3 = A..D), for example
    // (2, 1) -> "BREAKDOWN-16x64_CHT.bmp". Empty when out of range.
    static std::string FileName(int State, int Slot);

    // ProgramDir (ending in '/') + "DefaultImage2/LiftState/".
    static std::string Folder(const std::string& ProgramDir);

    // Folder(ProgramDir) + FileName(State, Slot).
    static std::string DefaultPath(const std::string& ProgramDir, int State, int Slot);

    // Where a slot named in a project file points when that file is missing:
    // this installation's folder + the name after the last '/' or '\'.
    static std::string FallbackPath(const std::string& ProgramDir, const std::string& Named);

    // Sets all 40 slots of Project to their default paths.
    static void FillDefaults(TProject& Project, const std::string& ProgramDir);
};

} // namespace DpuProject
