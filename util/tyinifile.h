#pragma once

#include "util/tdatetime.h"
#include "util/tobject.h"

#include <climits>
#include <cstdint>
#include <span>
#include <string>

namespace YVclUtil {

class TYStrTab;
class TYHashedStringList;

// An INI text file held whole in memory. The constructor reads the file (or
// creates it empty, with its folder, when missing), or takes the file's bytes
// as they are; reads and writes work in memory; UpdateFile and the destructor
// write the whole file back, only when something changed, in a normalised
// layout (SaveToString): "[Section]" lines, "Key=Value"
// lines, CR LF line ends, an empty line after every section, sections and
// keys in order of first appearance. Names are exact and case-sensitive,
// 1..256 bytes; an empty section name or key is never present.
//
// Lines of the file: a '#' in the first column makes a comment; "[name]" opens
// a section (trailing blanks of the name dropped); "key = value" stores a pair
// when the value is not empty (trailing blanks of key and value dropped);
// anything else is ignored; pairs before the first section are dropped. A
// UTF-8 byte-order mark at the start of the file is skipped (and not written
// back).
//
// The file is reached only through util/fileaccess.h. It is only read to load
// it (a write-protected file loads) and must be a regular file: a folder,
// device or FIFO is refused, never waited on. Saves replace it atomically
// (YVclUtil::WriteFileAtomically): a link is followed, the permission bits
// stay, and a target that is no regular file or is write-protected is left as
// it was.
//
// Errors are shown with ShowErrMsgBox_Printf (caption "TYIniFile"), the
// operating system's reason kept in pr_LastErrMsg(); a constructor that fails
// raises EYIniFileError "Err: Constructor !!!" carrying the file and reason.
// One thread only.
class TYIniFile : public TObject {
public:
    // Own arena. Loads the file, or creates it empty (with one level of
    // folder) when missing; raises EYIniFileError when it can do neither.
    explicit TYIniFile(const std::string& FileName);
    // The given arena (kept alive by the caller beyond this object), or an own
    // one when StrTab is null.
    TYIniFile(const std::string& FileName, TYStrTab* StrTab);
    // Parses Bytes as the content of a file (the caller keeps them; nothing
    // refers to them afterwards) and touches no file: pr_FileName() is empty,
    // and a save writes nothing until pw_FileName names a file. The arena as
    // above. Raises EYIniFileError only when memory runs out.
    explicit TYIniFile(std::span<const uint8_t> Bytes, TYStrTab* StrTab = nullptr);

    // How much of a file a parse takes in: sections, and keys of all sections
    // together. The engine itself sets none; a caller that knows what its
    // files hold bounds the memory a crafted one can take.
    struct TLimits {
        int32_t Sections = INT32_MAX;
        int32_t Keys = INT32_MAX;
    };
    // As above, parsing at most Limits: at the first pair that would make one
    // section or one key too many, parsing stops (what came before stays) and
    // pr_OverLimit() says which ran over. Raises as above.
    TYIniFile(std::span<const uint8_t> Bytes, const TLimits& Limits, TYStrTab* StrTab = nullptr);
    // "sections" or "keys" when a parse stopped at its limits, else empty.
    const std::string& pr_OverLimit() const { return OverLimit; }
    // Saves when modified (a failed save shows its error box; the changes are
    // then lost; without a file name nothing is written), then releases
    // everything.
    ~TYIniFile() override;

    const std::string& pr_FileName() const { return FileName; }
    // Changes the path the next save writes to and sets Modified; reads nothing.
    void pw_FileName(const std::string& Value);
    // True when the content in memory differs from the file.
    bool pr_Modified() const { return Modified; }

    // Writes the file when modified: through a temporary file in the same
    // folder renamed over the target, so a failure never leaves a partial
    // file. True when nothing had to be written or the write succeeded; on
    // failure an error box is shown, Modified stays set and the reason is in
    // pr_LastErrMsg(). Without a file name (parsed from bytes) a change
    // cannot be written: false, no box, reason "No file name".
    bool UpdateFile();
    // The content in the layout a save writes, whether modified or not.
    std::string SaveToString() const;
    // Why Bytes are not text this engine reads as it was meant: "is UTF-16
    // text (byte-order mark FF FE)", "holds a zero byte on line 3", "ends its
    // lines with CR alone (line 1)". Only CR LF and LF end a line here, and
    // a zero byte hides the rest of its line, so such a file would load as
    // something else without a word. Empty when the bytes read as written.
    static std::string TextFault(std::span<const uint8_t> Bytes);
    // The operating system's words for the last failure to read or write the
    // file ("Permission denied", "Is a directory"); empty after a good save.
    const std::string& pr_LastErrMsg() const { return LastErrMsg; }

    bool SectionExists(const std::string& Section);
    // The key is present, with or without a value.
    bool KeyExists(const std::string& Section, const std::string& Key);
    // The key is present and has a value (also one too long to be read back).
    bool ValueExists(const std::string& Section, const std::string& Key);
    // Locale-aware comparison of the value (empty when missing) with Str:
    // negative, 0 or positive. StrICmp ignores letter case.
    int StrCmp(const std::string& Section, const std::string& Key, const std::string& Str);
    int StrICmp(const std::string& Section, const std::string& Key, const std::string& Str);

    // Sets the value (an empty Value leaves the key without a value). Nothing
    // happens for an empty section name or key; a name over 256 bytes is not
    // stored.
    void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
    // printf-formats the arguments and writes the text with WriteString.
    void Printf(const std::string& Section, const std::string& Key, const char* Format, ...)
        __attribute__((format(DPU_PRINTF_FORMAT, 4, 5)));
    // Removes the section with all its keys; nothing when absent.
    void EraseSection(const std::string& Section);
    // Removes the key with its value; the section stays. Nothing when absent.
    void DeleteKey(const std::string& Section, const std::string& Key);
    // Removes only the value; the key stays. Nothing when absent.
    void DeleteValue(const std::string& Section, const std::string& Key);

    // Typed reads return Default when the key has no value (values of 16384
    // bytes or more count as none). ReadInteger and the date/time reads raise
    // EYConvertError for malformed text.
    std::string ReadString(const std::string& Section, const std::string& Key,
                           const std::string& Default);

    // Written as "%d"; read with the strict conversion (StrToInt).
    void WriteInteger(const std::string& Section, const std::string& Key, int32_t Value);
    int32_t ReadInteger(const std::string& Section, const std::string& Key, int32_t Default);

    // Written as "%d" (so 4294967295 appears as -1). Read: text of 3 bytes or
    // more beginning "0x" as hexadecimal, anything else as decimal, with the C
    // library's unsigned conversion (trailing text ignored); Default when no
    // character could be converted.
    void WriteUnsigned(const std::string& Section, const std::string& Key, uint32_t Value);
    uint32_t ReadUnsigned(const std::string& Section, const std::string& Key, uint32_t Default);

    // Written as "0x%X"; read exactly as ReadUnsigned.
    void WriteHexNum(const std::string& Section, const std::string& Key, uint32_t Value);
    uint32_t ReadHexNum(const std::string& Section, const std::string& Key, uint32_t Default);

    // Written as "%f" with '.'; read with the C library's conversion; Default
    // when no character could be converted.
    void WriteFloat(const std::string& Section, const std::string& Key, double Value);
    double ReadFloat(const std::string& Section, const std::string& Key, double Default);

    // Time "HH:MM:SS", date "YYYY-MM-DD", date-time "YYYY-MM-DD HH:MM:SS".
    // The WriteCurrent forms write the local date and time of the call.
    void WriteTime(const std::string& Section, const std::string& Key, TDateTime Value);
    void WriteCurrentTime(const std::string& Section, const std::string& Key);
    TDateTime ReadTime(const std::string& Section, const std::string& Key, TDateTime Default);
    void WriteDate(const std::string& Section, const std::string& Key, TDateTime Value);
    void WriteCurrentDate(const std::string& Section, const std::string& Key);
    TDateTime ReadDate(const std::string& Section, const std::string& Key, TDateTime Default);
    void WriteDateTime(const std::string& Section, const std::string& Key, TDateTime Value);
    void WriteCurrentDateTime(const std::string& Section, const std::string& Key);
    TDateTime ReadDateTime(const std::string& Section, const std::string& Key, TDateTime Default);

    // Style 0 "1"/"0", 1 "True"/"False", 2 "High"/"Low", 3 "Yes"/"Not"; any
    // other Style as 0. Read by the first byte: 1 T t H h Y y true, 0 F f L l
    // N n false, anything else Default.
    void WriteBool(const std::string& Section, const std::string& Key, bool Value, int Style = 0);
    bool ReadBool(const std::string& Section, const std::string& Key, bool Default);

protected:
    void RunConstructor(const std::string& FileName, TYStrTab* StrTab,
                        const std::span<const uint8_t>* Bytes = nullptr);
    void RunDestructor();
    bool LoadExistedIniFile();
    bool CreateEmptyFile();
    bool SaveIniFile();
    bool IsSectionExisted(const std::string& Section, int32_t* Index);
    bool IsKeyExisted(const std::string& Section, const std::string& Key);
    bool IsValueExisted(const std::string& Section, const std::string& Key);
    bool IsValueExisted(const std::string& Section, const std::string& Key, std::string& Value);

    void HashedStringListNotifyHandlerForDeleteSection(TObject* Sender, int32_t Index);
    void HashedStringListNotifyHandlerForReplaceKey(TObject* Sender, int32_t Index);
    void HashedStringListNotifyHandlerForDeleteKey(TObject* Sender, int32_t Index);

private:
    bool FindSection(const char* Section, size_t Len, int32_t* Index);
    TYHashedStringList* KeyList(int32_t SectionIndex) const;
    TYHashedStringList* NewKeyList();
    // True when a new key was made.
    bool Store(const char* Section, size_t SectionLen, const char* Key, size_t KeyLen,
               const char* Value, size_t ValueLen);
    bool WithinLimits(const std::string& Section, const char* Key, size_t KeyLen);
    void Parse(const uint8_t* Data, size_t Size);
    void ParseLine(const char* Line, size_t Len, std::string& CurrentSection);
    void Release();

    bool OwnStrTab = false;
    TYStrTab* StrTab = nullptr;
    TYHashedStringList* Sections = nullptr;
    std::string FileName;
    std::string LastSection;
    int32_t LastSectionIndex = -1;
    bool Modified = false;
    std::string LastErrMsg;
    TLimits Limits;
    int32_t KeysTaken = 0;
    std::string OverLimit;
};

} // namespace YVclUtil
