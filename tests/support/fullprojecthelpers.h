#pragma once

#include "project/tproject.h"

#include <QString>

#include <string>
#include <vector>

// A project that fills every zone of the image the benchmarks build: 40 user
// bitmaps of 64 x 64 (labels U10 to U49, used from all three tables), one-
// and two-character labels, all 40 lift-state message pictures and a logo.
// The pictures are written into Folder, the user bitmaps into ProgramDir's
// stock folder of floor style 0. Returns every picture file a build of it
// reads (the glyph library is the caller's). TrueColourLogo saves the logo as
// a 32-bit bitmap, so a build converts one picture from colour too; else it
// is 1-bit like the others. Pictures that cannot be written stay missing
// (the build then says so).
std::vector<std::string> FillFullProject(DpuProject::TProject& Project,
                                         const std::string& ProgramDir, const QString& Folder,
                                         bool TrueColourLogo);
