#pragma once

#include "rom/trombuilder.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace YVclUtil {
class Prompts;
class MessageSink;
} // namespace YVclUtil

namespace DpuProject {
class TProject;
class TConfiguration;
} // namespace DpuProject

namespace DpuRom {

class GlyphLibrary;
class TGlyphEntrySource;

// "MAKE ROM": checks that some label is set, runs the project save, upper-cases
// the labels, picks the glyphs the image needs, converts the direction frames,
// the lift-state message pictures and the floor glyphs, and hands everything to
// the image assembler. Every message goes through Prompts (OK boxes, the busy
// cursor), log lines through the sink.
class TMakeRom {
public:
    TMakeRom(DpuProject::TProject& Project, const DpuProject::TConfiguration& Config,
             const GlyphLibrary& Library, YVclUtil::Prompts& Prompts, YVclUtil::MessageSink* Log);
    ~TMakeRom();

    // The project "Save" run before building; true when the file was written.
    // Unset: no save (the command-line tool); the record is then brought to
    // the form a save gives it (normalised message mask, ROM file name).
    std::function<bool()> SaveStep;
    // When not empty, the image goes here instead of the "ROM Filename:" rule.
    std::string OutputFile;
    // The project file the image is built from (the tool's argument; the
    // window sets it in SaveStep). The image never replaces it, nor the
    // configuration, a glyph library or a picture the build reads: such a
    // build stops with "Cannot write ROM file ...", naming both files.
    std::string ProjectPath;
    // Scripted builds: any warning line of the build ("[Warning] ...",
    // "[Error] ...") stops it before the image is written; Run then returns
    // false with StrictStop set.
    bool Strict = false;
    // Warning lines the caller logged for this build before Run (the project
    // load's); Strict refuses the build for them too.
    int EarlierWarnings = 0;
    // The image is built into Builder().Image only; no file is written and
    // RomFilePath stays empty (checks that compare a build with an image).
    bool InMemoryOnly = false;

    // Runs the command. True when the image file was written and
    // "DPU-510TK3 Make ROM OK" shown; false after any stop, whose caption and
    // text are kept in LastErrCaption/LastErrMsg (and were shown). Labels whose
    // user bitmap is missing are emptied in the project and listed in
    // CancelledCells, so the window can show the emptied cells.
    bool Run();

    // The assembler of the last run: the inputs prepared for it
    // (BuildInputs()) and its results; they stay until the next run.
    const TRomBuilder& Builder() const { return *RomBuilder; }

    std::vector<std::pair<int, int>> CancelledCells;
    std::string RomFilePath;
    std::string LastErrCaption;
    std::string LastErrMsg;
    // The last run stopped only because Strict was set and warning lines were logged.
    bool StrictStop = false;

private:
    void Stop(const std::string& Caption, const std::string& Text);
    // Logs a warning line of the preparing steps, counted for Strict.
    void LogWarning(const std::string& Line);
    void PrepareLabels(TRomBuildInputs& In);
    void ConvertMessages(const TRomPictureConverter& Converter, TRomPictures& Out);
    void FlagUsedCharacters(const TRomBuildInputs& In);
    void ConvertFloorGlyphs(const TRomPictureConverter& Converter, int Style, TRomPictures& Out);
    TRomSettings CollectSettings() const;

    DpuProject::TProject& Project;
    const DpuProject::TConfiguration& Config;
    YVclUtil::Prompts& Ask;
    std::unique_ptr<TGlyphEntrySource> Glyphs;
    std::unique_ptr<TRomBuilder> RomBuilder;
    YVclUtil::MessageSink* Log;
    int PreparedWarnings = 0;
};

} // namespace DpuRom
