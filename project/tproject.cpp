#include "project/tproject.h"

#include "project/dputext.h"
#include "project/tlabelrule.h"
#include "project/tsettingstable.h"
#include "util/eygeneral.h"

#include <cstring>

namespace DpuProject {

const char* TProject::TableName(int Table) {
    static const char* const kNames[TableCount] = {"CTBL0", "CTBL1", "CTBL2"};
    return Table >= 0 && Table < TableCount ? kNames[Table] : "";
}

const std::vector<TProject::TIntSetting>& TProject::IntSettings() {
    static const std::vector<TIntSetting> kSettings = [] {
        std::vector<TIntSetting> out;
        for (const TSettingsTable::TField& f : TSettingsTable::Fields())
            out.push_back({f.Key, f.Min, f.Max, f.Initial});
        return out;
    }();
    return kSettings;
}

int* TProject::IntSetting(const std::string& Key) {
    const TSettingsTable::TField* f = TSettingsTable::Find(Key);
    return f ? &(this->*(f->Member)) : nullptr;
}

const int* TProject::IntSetting(const std::string& Key) const {
    const TSettingsTable::TField* f = TSettingsTable::Find(Key);
    return f ? &(this->*(f->Member)) : nullptr;
}

const std::vector<int>& TProject::PowerSavingChoices() {
    static const std::vector<int> kChoices = {0,   5,   10,  20,  30,  40,  50,  60, 120,
                                              180, 240, 300, 360, 420, 480, 540, 600};
    return kChoices;
}

TProject::TProject() = default;

static void CheckCode(int Table, int Code) {
    if (Table < 0 || Table >= TProject::TableCount || Code < 0 || Code >= TProject::CodeCount)
        throw YVclUtil::EYGeneral("Err: code table index out of range (%d, %d) !!!", Table, Code);
}

static void CheckSlot(int State, int Slot) {
    if (State < 0 || State >= TProject::StateCount || Slot < 0 || Slot >= TProject::SlotCount)
        throw YVclUtil::EYGeneral("Err: lift-state slot out of range (%d, %d) !!!", State, Slot);
}

const std::string& TProject::Label(int Table, int Code) const {
    CheckCode(Table, Code);
    return CodeTables[Table][Code];
}

void TProject::SetLabel(int Table, int Code, const std::string& Text) {
    CheckCode(Table, Code);
    CodeTables[Table][Code] = Text;
}

const std::string& TProject::Slot(int State, int SlotIndex) const {
    CheckSlot(State, SlotIndex);
    return LiftStateSlots[State][SlotIndex];
}

void TProject::SetSlot(int State, int SlotIndex, const std::string& Path) {
    CheckSlot(State, SlotIndex);
    LiftStateSlots[State][SlotIndex] = Path;
}

void TProject::ClearCodeTables() {
    for (auto& table : CodeTables)
        for (auto& label : table)
            label.clear();
    UsedCharFlags.fill(0);
}

bool TProject::AnyLabel() const {
    for (const auto& table : CodeTables)
        for (const auto& label : table)
            if (!DpuText::Trim(label).empty()) return true;
    return false;
}

int TProject::MsgMaskFromBoxes() const {
    int mask = 0;
    for (int i = 0; i < MsgColumnCount; ++i)
        if (MsgColumnChecked[i]) mask |= 1 << i;
    return mask;
}

void TProject::SetMsgBoxesFromMask(int Mask) {
    for (int i = 0; i < MsgColumnCount; ++i)
        MsgColumnChecked[i] = (Mask & (1 << i)) != 0;
}

int TProject::NormaliseMsgMask(int Mask) {
    static const int kTable[16] = {3, 3, 3, 3, 12, 5, 6, 5, 10, 9, 10, 3, 12, 12, 12, 3};
    return kTable[Mask & 0x0F];
}

std::string TProject::RomFileNameToSave(const std::string& Field) {
    // The file name only: the image is written where the build writes, so a
    // name from a project file cannot reach another folder.
    const std::string name = DpuText::Trim(DpuText::ExtractFileNameAny(DpuText::Trim(Field)));
    if (name.empty()) return DefaultRomFileName;
    // "." or ".." would leave no name before the extension: a hidden ".BIN"
    // nobody asked for.
    const std::string file = DpuText::ChangeFileExt(name, ".BIN");
    const std::string stem = file.substr(0, file.size() - 4);
    return stem.find_first_not_of('.') == std::string::npos ? std::string(DefaultRomFileName)
                                                            : file;
}

std::string TProject::LabelToSave(const std::string& Label) {
    return TLabelRule::BuiltText(Label);
}

void TProject::SetLogoOff() {
    CUSLOGOENABLE = 0;
    TITLEFILENAME_C.clear();
}

bool TProject::SetLogoOn() {
    CUSLOGOENABLE = 1;
    return DpuText::Trim(TITLEFILENAME_C).empty();
}

} // namespace DpuProject
