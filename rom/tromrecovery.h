#pragma once

#include "rom/tromimage.h"

#include <string>
#include <vector>

namespace DpuProject {
class TConfiguration;
class TProject;
} // namespace DpuProject

namespace DpuRom {

// Rebuilds a project from a read image: labels back from the code tables,
// every setting from the record, the message pictures, the logo and the user
// bitmaps written as 1-bit bitmaps, so that building the project again with
// the same glyph library and configuration gives the same image.
//
// Where the pictures go: messages and the logo into BitmapDir as
// "<STATE>_<slot>.bmp" and "LOGO.bmp"; user bitmaps where the builder looks
// for them, UserRoot + "DefaultImage2/UserDefine/Floor/Style<DEF_FL>/<label>.bmp".
// A user bitmap that a stock bitmap of that folder already packs to keeps the
// stock label and is not written again; the others are named UBF000, UBF001...
// Message entries without a picture name the file "(none)", which names no
// bitmap, so the stock default does not take the slot's place on loading.
class TRomRecovery {
public:
    static constexpr const char* NoPicture = "(none)";

    TRomRecovery(const TRomImage& Image, DpuProject::TConfiguration& Config);

    std::string BitmapDir;   // made when missing
    std::string UserRoot;    // ending in '/'; the program folder make-rom reads
    std::string RomFileName; // ROMFILENAME of the project

    // Fills Project and writes the pictures. False on the first file that
    // cannot be written (LastErrMsg names it); Written lists what was written.
    bool Recover(DpuProject::TProject& Project);

    // Recover, then saves the project to Path as the editor's "Save" writes
    // it. False with the reason in LastErrMsg.
    bool RecoverTo(const std::string& Path);

    std::vector<std::string> Written;
    // "[Warning] ..." lines for what the project file cannot carry.
    std::vector<std::string> Warnings;
    std::string LastErrMsg;

private:
    bool WritePicture(const TRomPicture& Picture, const std::string& Path);
    std::string UserBitmapLabel(size_t Number);
    void SelectVersion();

    const TRomImage& Image;
    DpuProject::TConfiguration& Config;
};

} // namespace DpuRom
