#pragma once

#include "project/tconfiguration.h"
#include "rom/glyphlibrary.h"
#include "rom/tglyphlibraryentries.h"
#include "rom/tromimagereader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// What inspect, diff and recover share: the configuration and the glyph
// library of the current directory, read quietly (an image can be read
// without them), and a reader set up from them.
class TRomImageInput {
public:
    // Reads ORVDVE510TK3.INI and the glyph library it names from the current
    // directory, or the library GlbPath when not empty. Missing files only
    // leave the reader with its assumptions; Notes says which. False only
    // when the library named by GlbPath cannot be read: a library asked for
    // by name is not silently done without (the reason in GlbFailure).
    bool Prepare(const std::string& GlbPath);

    // Reads the image at Path. False when it cannot be read or is no image;
    // the reason is in Reader.LastErrMsg and CannotRead tells which. Raw gets
    // the file's bytes.
    bool Read(const std::string& Path, DpuRom::TRomImage& Image, std::vector<uint8_t>& Raw);

    // The message for the last failed Read of Path: "cannot read X: <the
    // system's reason>" or "X is not a ROM image: <offset and why>".
    std::string ReadFailure(const std::string& Path) const;

    // What the command reads besides nothing else: the image at ImagePath,
    // the configuration and the glyph library, each by what it is.
    std::vector<std::pair<std::string, std::string>> InputFiles(const std::string& ImagePath) const;

    // True when Prepare read the configuration file whole; the first
    // ConfigNotes of Notes say why not.
    bool ConfigRead = false;
    size_t ConfigNotes = 0;
    // True when the last Read failed before the bytes were looked at.
    bool CannotRead = false;

    DpuProject::TConfiguration Config;
    DpuRom::GlyphLibrary Library;
    DpuRom::TRomImageReader Reader;
    std::vector<std::string> Notes;
    std::string GlbPath;    // the library read (or tried)
    std::string GlbFailure; // why Prepare failed

private:
    std::unique_ptr<DpuRom::TGlyphLibraryEntries> Entries;
};
