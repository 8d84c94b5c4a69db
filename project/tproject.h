#pragma once

#include "project/tsettingvalues.h"

#include <array>
#include <string>
#include <vector>

namespace DpuProject {

// The one project of the editor: three code tables, the settings (each member
// is named by its project-file key in section GLOBAL; the integer ones come
// from TSettingValues and TSettingsTable describes them), the 40 lift-state
// slots and the Make ROM used-character flags that "Clear ALL" resets.
//
// Callers rely on: the member names below staying as they are; the window's
// controls show these members and write them back at once (no apply step);
// values outside a control's range are kept as read (the control then keeps
// its previous choice); CODEVER is not kept here but is the configuration's
// selected "Version:" entry (TConfiguration::CodeVerToSave).
class TProject : public TSettingValues {
public:
    static constexpr int TableCount = 3;
    static constexpr int CodeCount = 256;
    static constexpr int StateCount = 10;
    static constexpr int SlotCount = 4; // A, B, C, D = 0..3
    static constexpr int MsgColumnCount = 4;

    static constexpr const char* DefaultRomFileName = "DPU510TK3.BIN";

    // The section names of the three code tables: "CTBL0", "CTBL1", "CTBL2".
    static const char* TableName(int Table);

    // Range and initial value of one integer setting, for the editor's
    // controls and for checks.
    struct TIntSetting {
        const char* Key;
        int Min;
        int Max;
        int Initial;
    };
    // Every integer setting in project-file order (DEF_MSG's range is the
    // raw 4-bit mask 0..15), as TSettingsTable lists them. Strings:
    // CUSIDCODE, ROMFILENAME, TITLEFILENAME_C.
    static const std::vector<TIntSetting>& IntSettings();
    // The member that holds integer setting Key; nullptr for an unknown key.
    int* IntSetting(const std::string& Key);
    const int* IntSetting(const std::string& Key) const;

    // Display texts of the choice lists, index = stored value.
    static const std::vector<int>& PowerSavingChoices(); // 0, 5, 10, ... 600
    // "1".."30" seconds for SWAPTIME 0..29; "0".."63" for NODEADDR.

    TProject();

    // Code tables as typed, CodeTables[table][code].
    std::array<std::array<std::string, CodeCount>, TableCount> CodeTables;

    // String settings (section GLOBAL), initial values as a new project
    // starts; the integer settings are the members of TSettingValues.
    std::string TITLEFILENAME_C; // logo bitmap path, may be set while the logo is off
    std::string CUSIDCODE;
    std::string ROMFILENAME = DefaultRomFileName;

    // The four check boxes above the message columns (left to right = bit 0..3).
    // They are what the person ticked; DEF_MSG is the project value made
    // from them at the next save.
    std::array<bool, MsgColumnCount> MsgColumnChecked{true, true, false, false};

    // Lift-state slots, LiftStateSlots[state][slot]: full bitmap paths or empty.
    std::array<std::array<std::string, SlotCount>, StateCount> LiftStateSlots;

    // Make ROM's used-character flags; "Clear ALL" resets them.
    std::array<int, CodeCount> UsedCharFlags{};

    // The done mark of the last "Save": true only when the file was written.
    bool SaveDone = false;

    // Checked accessors; out-of-range indexes raise YVclUtil::EYGeneral.
    const std::string& Label(int Table, int Code) const;
    void SetLabel(int Table, int Code, const std::string& Text);
    const std::string& Slot(int State, int SlotIndex) const;
    void SetSlot(int State, int SlotIndex, const std::string& Path);

    // "Clear ALL": empties all 768 labels and resets the used-character
    // flags; settings, slots, logo and file names stay.
    void ClearCodeTables();

    // True when some label is non-empty after trimming (Make ROM's check).
    bool AnyLabel() const;

    // Mask from the four check boxes (first box bit 0 ... fourth box bit 3).
    int MsgMaskFromBoxes() const;
    // Ticks exactly the boxes whose bit is set in Mask (bits above 3 ignored).
    void SetMsgBoxesFromMask(int Mask);
    // Makes any 4-bit mask name two columns: 0,1,2,11,15 -> 3; 4,13,14 -> 12;
    // 7 -> 5; 8 -> 10; 3,5,6,9,10,12 stay. Bits above 3 are dropped first.
    static int NormaliseMsgMask(int Mask);

    // The ROM file name as "Save" writes it and the build uses it: its file
    // name part only (no folder), trimmed; empty, or dots only (".", "..",
    // which would make a hidden ".BIN"), gives "DPU510TK3.BIN", otherwise the
    // extension becomes ".BIN".
    static std::string RomFileNameToSave(const std::string& Field);

    // The label as saved and built: trimmed and upper-cased.
    static std::string LabelToSave(const std::string& Label);

    // Switches the logo off: CUSLOGOENABLE 0, TITLEFILENAME_C empty
    // (SWAPTIME keeps its value).
    void SetLogoOff();
    // Switches the logo on. Returns true when the window must first offer the
    // logo picture dialog (the path is empty after trimming); the logo is on
    // either way, also when that dialog is cancelled.
    bool SetLogoOn();
};

} // namespace DpuProject
