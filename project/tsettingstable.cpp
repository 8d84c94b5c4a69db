#include "project/tsettingstable.h"

#include "project/tproject.h"

#include <algorithm>

namespace DpuProject {

using V = TSettingValues;
using S = TSettingsTable::TShow;

const std::vector<TSettingsTable::TField>& TSettingsTable::Fields() {
    // Key, member, range, initial, record byte and offset, saved as 0/1, shown as, JSON name.
    // Bytes 0 and 13 of the record are used by none and stay 0 (the floor
    // style is not stored there); 6..9 hold the identification code.
    static const std::vector<TField> kFields = {
        {"SWAPTIME", &V::SWAPTIME, 0, 29, 0, 4, 1, false, S::Seconds, "SWAPTIME"},
        {"CUSLOGOENABLE", &V::CUSLOGOENABLE, 0, 1, 0, 5, 0, true, S::OnOff, "CUSLOGOENABLE"},
        {"PWRSAVING", &V::PWRSAVING, 0, 16, 0, 3, 0, false, S::PowerChoice, "PWRSAVING"},
        {"NODEADDR", &V::NODEADDR, 0, 63, 0, 11, 0, false, S::Number, "NODEADDR"},
        {"DEF_CTBL", &V::DEF_CTBL, 0, 2, 0, 15, 0, false, S::Number, "DEF_CTBL"},
        {"DEF_FL", &V::DEF_FL, 0, 3, 0, -1, 0, false, S::Number, "DEF_FL"},
        {"DEF_DIR", &V::DEF_DIR, 0, 4, 0, 12, 0, false, S::Number, "DEF_DIR"},
        {"DPSTYLE", &V::DPSTYLE, 1, 2, 1, 1, 0, false, S::RightLeft, "DPSTYLE"},
        {"DISPDT", &V::DISPDT, 0, 1, 0, 2, 0, true, S::Number, "DISPDT"},
        // The raw 4-bit mask; the project file stores it normalised.
        {"DEF_MSG", &V::DEF_MSG, 0, 15, 3, 14, 0, false, S::Number, "DEF_MSG"},
        {"DEF_MSGPOS", &V::DEF_MSGPOS, 0, 2, 1, 10, 0, false, S::Number, "DEF_MSGPOS"},
    };
    return kFields;
}

const std::vector<const TSettingsTable::TField*>& TSettingsTable::RecordFields() {
    static const std::vector<const TField*> kByByte = [] {
        std::vector<const TField*> out;
        for (const TField& f : Fields())
            if (f.RecordByte >= 0) out.push_back(&f);
        std::stable_sort(out.begin(), out.end(), [](const TField* A, const TField* B) {
            return A->RecordByte < B->RecordByte;
        });
        return out;
    }();
    return kByByte;
}

const std::vector<int>& TSettingsTable::UnusedRecordBytes() {
    static const std::vector<int> kUnused = [] {
        std::vector<bool> used(RecordSize, false);
        for (const TField* f : RecordFields())
            used[static_cast<size_t>(f->RecordByte)] = true;
        for (int i = 0; i < IdCodeLength; ++i)
            used[static_cast<size_t>(IdCodeByte + i)] = true;
        std::vector<int> out;
        for (int b = 0; b < RecordSize; ++b)
            if (!used[static_cast<size_t>(b)]) out.push_back(b);
        return out;
    }();
    return kUnused;
}

const TSettingsTable::TField* TSettingsTable::Find(const std::string& Key) {
    for (const TField& f : Fields())
        if (Key == f.Key) return &f;
    return nullptr;
}

unsigned char TSettingsTable::RecordValue(const TField& F, long long Value, bool& Fits) {
    const long long stored = Value + F.RecordOffset;
    Fits = stored >= 0 && stored <= 0xFF;
    return static_cast<unsigned char>(static_cast<unsigned long long>(stored) & 0xFF);
}

int TSettingsTable::FromRecord(const TField& F, unsigned char Byte) {
    return static_cast<int>(Byte) - F.RecordOffset;
}

std::string TSettingsTable::ValueText(const TField& F, int Value) {
    const std::string n = std::to_string(Value);
    switch (F.Show) {
    case S::Seconds:
        return std::to_string(static_cast<long long>(Value) + 1) + " s";
    case S::PowerChoice: {
        const std::vector<int>& power = TProject::PowerSavingChoices();
        return Value >= 0 && static_cast<size_t>(Value) < power.size()
                   ? std::to_string(power[static_cast<size_t>(Value)])
                   : "choice " + n + " (not in the list)";
    }
    case S::RightLeft:
        return n + (Value == 1 ? " (Right)" : Value == 2 ? " (Left)" : " (unknown)");
    case S::OnOff:
        return Value == 1 ? "1 (ON)" : Value == 0 ? "0 (OFF)" : n;
    default:
        return n;
    }
}

} // namespace DpuProject
