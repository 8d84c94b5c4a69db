#pragma once

#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "rom/glyphlibrary.h"

#include <QString>

#include <string>

class QTableWidget;

// Checks the code-table labels as they are typed: a label the display cannot
// show gets a tinted cell and a tool tip saying why.
class TLabelChecker {
public:
    // All must outlive the checker. The grid's signals are blocked while a
    // tint is set, so setting one is never taken for an edit.
    TLabelChecker(const DpuProject::TProject& Project, const DpuProject::TConfiguration& Config,
                  const DpuRom::GlyphLibrary& Library, QTableWidget* Grid);

    // Why the display cannot show a label, by the label rule MAKE ROM builds
    // with ("No glyph for é in Style 2", "No user bitmap MEZZ.bmp in Style 0"
    // and the folders looked in); "" when it can, or when no glyph library
    // is loaded (start-up reported that).
    QString Problem(const std::string& Text) const;
    // Tints the label cell and sets its tool tip; clears both for a label it
    // can show. A cell that does not exist is left alone.
    void CheckCell(int Table, int Code);
    void CheckAll();

private:
    const DpuProject::TProject& FProject;
    const DpuProject::TConfiguration& FConfig;
    const DpuRom::GlyphLibrary& FLibrary;
    QTableWidget* FGrid;
};
