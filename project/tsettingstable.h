#pragma once

#include "project/tsettingvalues.h"

#include <string>
#include <vector>

namespace DpuProject {

// The one description of the integer settings: where each lives in the
// project record, its project-file key, its byte of the ROM image's 16-byte
// settings record, the range the editor offers, how the reports show it and
// its name in the --json report. The project file, MAKE ROM, the image
// builder and reader, the text and JSON reports, recovery, diff and the
// window's one-to-one controls all walk this table, so a new setting is one
// member of TSettingValues, one entry here and its control in the window.
class TSettingsTable {
public:
    // How the readable reports (inspect, diff, the window's image view) show a value.
    enum class TShow {
        Number,      // "4"
        Seconds,     // list index shown as seconds: "3 s" for index 2
        PowerChoice, // the power-saving list's text: "10" for index 2
        RightLeft,   // "1 (Right)", "2 (Left)", else "(unknown)"
        OnOff,       // "1 (ON)", "0 (OFF)", else the number
    };

    struct TField {
        const char* Key;             // project-file key in GLOBAL
        int TSettingValues::*Member; // the value in the project and in the image's settings
        int Min;                     // range the editor offers (values outside are kept as read)
        int Max;
        int Initial;      // a new project's value and the project file's default
        int RecordByte;   // byte 0..15 of the settings record; -1: not stored there
        int RecordOffset; // the record holds value + RecordOffset
        bool SavedAsFlag; // the project file holds 0 or 1 (any non-zero value is 1)
        TShow Show;
        const char* JsonName; // key in the --json report's "settings" object
    };

    // The record's bytes that hold the identification code (CUSIDCODE, four
    // characters), not an integer setting.
    static constexpr int IdCodeByte = 6, IdCodeLength = 4, RecordSize = 16;

    // Every integer setting in project-file order. Never empty.
    static const std::vector<TField>& Fields();
    // The entries stored in the settings record, by record byte.
    static const std::vector<const TField*>& RecordFields();
    // The record bytes that neither a setting nor the identification code
    // uses: the builder writes 0 there and the reader refuses anything else.
    static const std::vector<int>& UnusedRecordBytes();
    // The entry of Key; nullptr for a key that is no integer setting.
    static const TField* Find(const std::string& Key);

    // The record byte of F for Value: its low byte. Fits is false when
    // Value + RecordOffset does not fit one byte (the caller warns).
    static unsigned char RecordValue(const TField& F, long long Value, bool& Fits);
    // The value a record byte stands for (the inverse of RecordValue).
    static int FromRecord(const TField& F, unsigned char Byte);
    // True when Value lies within F's range.
    static bool InRange(const TField& F, int Value) { return Value >= F.Min && Value <= F.Max; }
    // Value as the readable reports show it (TShow); never fails.
    static std::string ValueText(const TField& F, int Value);
};

} // namespace DpuProject
