#pragma once

#include "app/tgrideditor.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "rom/glyphlibrary.h"
#include "util/prompts.h"
#include "util/trasterimage.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class TLabelChecker;
class TMakePage;
class TProjectSession;
class TSetupPage;

// The person's edits of the record, each one step of the undo history:
// labels, settings choices, the version, message pictures, the logo and
// Clear ALL. Also shows the labels and choices again after such a step.
class TProjectEdits {
public:
    // Everything must outlive the edits. ProjectStatus reads status panel 0
    // (Clear ALL changes it, its undo shows it again).
    struct TParts {
        DpuProject::TProject& Project;
        DpuProject::TConfiguration& Config;
        DpuRom::GlyphLibrary& Library;
        DpuProject::TProjectFile& ProjectFile;
        TSetupPage* Setup;
        TMakePage* Make;
        TProjectSession& Session;
        TLabelChecker& Checker;
        YVclUtil::Prompts& Ask;
        YVclUtil::MessageSink& Sink;
        std::function<std::string()> ProjectStatus;
        // The picture last chosen in a picture dialog ("" when none yet):
        // the dialogs start there.
        std::function<std::string()> LastPicture;
    };
    explicit TProjectEdits(const TParts& Parts) : P(Parts) {}

    // Connects the pages' editing controls (grid, choices, pictures, logo,
    // Clear ALL) to the edits below, with Context as the receiver.
    void Bind(QObject* Context);

    // Shows the label grid again and checks every label.
    void ShowLabels();
    // Shows the record's choices and settings again (after undo or redo).
    void ShowChoicesAgain();

    // Shows the preview of the label of grid cell (Row, Col) as MAKE ROM
    // builds it in the current floor style, with the line saying what cannot
    // be shown; nothing for a cell outside the labels.
    void OnCellSelected(int Row, int Col);
    // The preview of the current cell again (after any change of labels or
    // choices: edits, undo, redo, Load, Clear ALL, MAKE ROM).
    void RefreshPreview();
    using TCodeTables = decltype(DpuProject::TProject::CodeTables);
    // MAKE ROM emptied Cells (table, code) whose user bitmap was missing; Before
    // holds the code tables as they were before the build. One undo step
    // "MAKE ROM emptied N labels" that shows the emptied cells (text, tint,
    // tool tip) and whose undo brings the labels back. Nothing for no cells.
    void RecordMakeRomCancel(const std::vector<std::pair<int, int>>& Cells,
                             const TCodeTables& Before);
    // A label typed into the grid (the grid's signals are blocked while the
    // record is shown).
    void OnCellEdited(int Row, int Col);
    // Label cells written from the grid editor (paste, delete, fill) as one step.
    void RecordCells(const QString& What, const std::vector<TGridEditor::TCellEdit>& Edits);
    // A settings choice (radio, list, check box) as one undo step.
    void ChooseInt(int DpuProject::TProject::*Field, int Value);
    void ToggleMsgColumn(int Column, bool On);
    void OnVersionChosen(int Index);
    void OnMessagePictureDoubleClicked(int State, int Column);
    // A bitmap chosen or dropped for a message picture or the logo.
    void SetSlotFile(int State, int Column, const std::string& File);
    void SetLogoFile(const std::string& File);
    // Chooses the logo bitmap with the picture dialog; false when cancelled.
    bool ChooseLogo();
    void OnLogoOn();
    void OnLogoOff();
    void OnClearAll();
    // The "ROM Filename:" and "ID Code" fields as typed: changes outside the
    // undo history that still count as unsaved.
    void SetRomFileName(const std::string& Name);
    void SetIdCode(const std::string& Text);

private:
    // Sets labels (table, code, text) in the record and the grid.
    struct TLabelValue {
        int Table;
        int Code;
        std::string Text;
    };
    void ApplyLabels(const std::vector<TLabelValue>& Values);
    // The logo's on/off choice and path as one value, for undo.
    struct TLogoState {
        int Enable;
        std::string Path;
        bool operator==(const TLogoState&) const = default;
    };
    TLogoState LogoState() const { return {P.Project.CUSLOGOENABLE, P.Project.TITLEFILENAME_C}; }
    void ApplyLogo(const TLogoState& State);
    void RecordLogo(const TLogoState& Before);

    TParts P;
    YVclUtil::TRasterImage FPreviewImage;
};
