#pragma once

#include "rom/tromimage.h"

#include <cstdint>
#include <string>
#include <utility>
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
// A user bitmap that a stock bitmap already packs to keeps the stock label and
// is not written: not when the bitmap stands in that folder, nor when it is
// the installation's (Config.ProgramDir's), which the build finds when the
// folder has none of that name. The others are named UBF000, UBF001...
// Message entries without a picture name the file "(none)", which names no
// bitmap, so the stock default does not take the slot's place on loading.
class TRomRecovery {
public:
    static constexpr const char* NoPicture = "(none)";

    TRomRecovery(const TRomImage& Image, DpuProject::TConfiguration& Config);

    std::string BitmapDir;   // made when missing
    std::string UserRoot;    // ending in '/'; where make-rom looks for user bitmaps
    std::string RomFileName; // ROMFILENAME of the project
    // Files the command reads, by what they are ("the image", "the glyph
    // library"...): no picture or project is ever written over one of them.
    std::vector<std::pair<std::string, std::string>> Inputs;
    // False for scratch copies that go with their folder: pictures are then
    // written plainly, without the atomic replacement and its flush.
    bool Durable = true;

    // Fills Project and writes the pictures. Every picture's name is checked
    // before any is written: a link, FIFO or folder there (names recovery
    // chose are never followed), or an input of the command, stops the run.
    // False on the first file that cannot be written (LastErrMsg names it);
    // then every file is as it was and the folders this call made are gone.
    // Written lists what was written.
    bool Recover(DpuProject::TProject& Project);

    // Recover, then writes the project to Path as the editor's "Save" words
    // it, replacing any file there whole and atomically. The project's place
    // is checked first, the pictures are written beside their names under
    // temporary ones and moved in only once the project can be written. False
    // with the reason in LastErrMsg, and then every file is as it was.
    bool RecoverTo(const std::string& Path);

    // The input that Path is the same file as (after links), as an error
    // text naming both; empty when it is none of them.
    std::string ClashWithInput(const std::string& Path) const;

    std::vector<std::string> Written;
    // "[Warning] ..." lines for what the project file cannot carry.
    std::vector<std::string> Warnings;
    std::string LastErrMsg;

private:
    struct TPlannedFile {
        std::string Path;
        std::vector<uint8_t> Bytes;
    };

    bool Plan(DpuProject::TProject& Project);
    bool PlanPicture(const TRomPicture& Picture, const std::string& Path);
    bool IsPlanned(const std::string& Path) const;
    // Writes what Plan planned, then the project (when ProjectPath is not
    // empty), all or nothing.
    bool WritePlanned(const std::string& ProjectPath, const std::vector<uint8_t>& ProjectBytes);
    std::string UserBitmapLabel(size_t Number);
    // True when the bitmap file at Path packs to Picture's bytes.
    bool PacksTo(const std::string& Path, const TRomPicture& Picture) const;
    void SelectVersion();

    const TRomImage& Image;
    DpuProject::TConfiguration& Config;
    std::vector<TPlannedFile> Planned;
};

} // namespace DpuRom
