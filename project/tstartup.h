#pragma once

#include "util/trasterimage.h"

#include <array>
#include <string>

namespace YVclUtil {
class Prompts;
class MessageSink;
} // namespace YVclUtil

namespace DpuProject {

class TProject;
class TConfiguration;
class TGlyphSource;

// What start-up produces for the window to show, as data.
struct TStartupResult {
    // False when start-up ended early (glyph library or user glyph library
    // missing); the window then keeps the design-time caption and panel 2
    // keeps "Program start error!!".
    bool Completed = false;
    // The window caption: the design-time caption, or with the library dates
    // "  [ yymmdd / yymmdd ]" when start-up completed.
    std::string Caption;
    // Style and message-position previews; a null image = blank preview.
    std::array<YVclUtil::TRasterImage, 4> FlStylePreviews;  // group 1..4, index 48
    std::array<YVclUtil::TRasterImage, 5> DirStylePreviews; // group 0, index 50 + 20*s
    std::array<YVclUtil::TRasterImage, 3> MsgPosPreviews;   // group 0, index 30..32
};

// The start-up of the editor that is not widgets: directories, the
// configuration, the glyph library, the stale working file, the previews,
// the default lift-state slots and the status texts. The window fills its
// grid's bit-pattern column from TConfiguration::BitPattern and its version
// drop-down from TConfiguration::VersionList / VersionIndex afterwards.
//
// Callers rely on: Run never throwing for missing or malformed files (each is
// reported through Prompts); panels 0..2 of Sink being set as the window
// shows them (panel 3, "Orvane Tech.", is the window's own); the 40 slots
// always holding their default paths afterwards.
class TStartup {
public:
    static constexpr const char* DesignCaption = "DPU-510TK3 Lift LCD Editor (R2-Build101117)";
    static constexpr const char* StartErrorStatus = "Program start error!!";
    static constexpr const char* MakerStatus = "Orvane Tech.";

    // Runs every step in order. Config's directories must be set first
    // (TConfiguration::SetDirectoriesFromProcess, or by hand in tests); the
    // start-up directory is also where the stale "ORV_TEMPBMP.BMP" is removed.
    // Extractions use the process's current directory for the working file.
    // When the configuration file or the glyph library is missing there, the
    // log then holds TUserWorkspace::NoWorkspaceHint's line, after the boxes.
    static TStartupResult Run(TConfiguration& Config, TGlyphSource& Library, TProject& Project,
                              YVclUtil::Prompts& Prompts, YVclUtil::MessageSink& Sink);

    // Grid texts: header of column 0..4 ("bit [ 5..0 ]", "HEX (DEC)",
    // "CTBL0".."CTBL2"); column 1 of code n is DpuText::CodeText(n).
    static std::string GridHeader(int Column);
};

} // namespace DpuProject
