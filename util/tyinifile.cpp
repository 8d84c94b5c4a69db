#include "util/tyinifile.h"

#include "util/cnumbers.h"
#include "util/errmsgbox.h"
#include "util/eyconverterror.h"
#include "util/eygeneral.h"
#include "util/eyinifileerror.h"
#include "util/fileaccess.h"
#include "util/strconv.h"
#include "util/tyhashedstringlist.h"
#include "util/tystrtab.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace YVclUtil {

namespace {
constexpr const char* kCaption = "TYIniFile";
constexpr const char* kDefaultFileName = "UnknownIniFile.ini";
// A file line is read in pieces of at most this many bytes (line end included).
constexpr size_t kLinePiece = 8191;
// Values are read back only below this length ...
constexpr unsigned kReadLimit = 16384;
// ... and written to the file only below this one, so that a saved line
// always reads back as one piece.
constexpr unsigned kWriteLimit = 8192;

// The C library's white space: blank, tab, LF, VT, FF, CR.
inline bool IsWs(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

TObject* AsObject(_YSTRTABCELL* Cell) {
    return reinterpret_cast<TObject*>(Cell);
}
_YSTRTABCELL* AsCell(TObject* Object) {
    return reinterpret_cast<_YSTRTABCELL*>(Object);
}

// The C library's unsigned long conversion with a 32-bit result: leading white
// space, an optional sign (a minus wraps), in base 16 an optional 0x prefix;
// overflow gives 4294967295. *Consumed is false when no digit was taken.
uint32_t StrToUnsigned32(const char* s, unsigned base, bool* Consumed) {
    const char* p = s;
    while (IsWs(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    auto digit = [base](char c) -> int {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'z')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'Z')
            d = c - 'A' + 10;
        return d >= 0 && static_cast<unsigned>(d) < base ? d : -1;
    };
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digit(p[2]) >= 0) p += 2;
    const char* first = p;
    uint64_t magnitude = 0;
    bool overflow = false;
    for (int d; (d = digit(*p)) >= 0; ++p) {
        magnitude = magnitude * base + static_cast<unsigned>(d);
        if (magnitude > 0xFFFFFFFFull) {
            overflow = true;
            magnitude = 0xFFFFFFFFull;
        }
    }
    *Consumed = p != first;
    if (!*Consumed) return 0;
    if (overflow) return 0xFFFFFFFFu;
    const uint32_t value = static_cast<uint32_t>(magnitude);
    return negative ? 0u - value : value;
}

// The folder part of Path with its separator ("a/b/" of "a/b/c.ini"); '\\'
// separates too, for Windows paths.
std::string ParentFolder(const std::string& Path) {
    const size_t slash = Path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

TYIniFile::TYIniFile(const std::string& FileName) {
    RunConstructor(FileName, nullptr);
}

TYIniFile::TYIniFile(const std::string& FileName, TYStrTab* StrTab) {
    RunConstructor(FileName, StrTab);
}

TYIniFile::TYIniFile(std::span<const uint8_t> Bytes, TYStrTab* StrTab) {
    RunConstructor(std::string(), StrTab, &Bytes);
}

TYIniFile::TYIniFile(std::span<const uint8_t> Bytes, const TLimits& Limits, TYStrTab* StrTab)
    : Limits(Limits) {
    RunConstructor(std::string(), StrTab, &Bytes);
}

TYIniFile::~TYIniFile() {
    RunDestructor();
}

void TYIniFile::RunConstructor(const std::string& Name, TYStrTab* Tab,
                               const std::span<const uint8_t>* Bytes) {
    OwnStrTab = false;
    Modified = false;
    Sections = nullptr;
    LastErrMsg.clear();
    LastSection.clear();
    LastSectionIndex = -1;
    bool ok = true;
    try {
        if (Tab) {
            StrTab = Tab;
        } else {
            StrTab = new TYStrTab();
            OwnStrTab = true;
        }
    } catch (const std::bad_alloc&) {
        StrTab = nullptr;
        ShowErrMsgBox_Printf(kCaption, "Err: Can not create YStrTab !!!");
        ok = false;
    }
    if (ok) {
        Sections = new (std::nothrow) TYHashedStringList(StrTab);
        if (!Sections || !Sections->IsUsable()) {
            ShowErrMsgBox_Printf(kCaption,
                                 "Err: Can not create TYHashedStringList for Sections !!!");
            ok = false;
        } else {
            Sections->OnDelete = [this](TObject* Sender, int32_t Index) {
                HashedStringListNotifyHandlerForDeleteSection(Sender, Index);
            };
        }
    }
    if (ok && Bytes) {
        // Held in memory only: no file is read, and none is written until a
        // file name is given.
        FileName.clear();
        try {
            Parse(Bytes->data(), Bytes->size());
        } catch (const std::exception&) {
            LastErrMsg = SystemReason(ENOMEM);
            ok = false; // the arena has shown its error box
        }
    } else if (ok) {
        FileName = Name.empty() ? std::string(kDefaultFileName) : Name;
        TFileStatus status;
        if (!QueryFileStatus(FileName, status, LastErrMsg)) {
            ShowErrMsgBox_Printf(kCaption, "Err: Can not open file \n \"%s\" ", FileName.c_str());
            ok = false;
        } else if (status.Kind != TFileKind::Missing) {
            // Anything that is there is read, never created over: a folder or
            // a FIFO is refused by the reader with its reason.
            try {
                ok = LoadExistedIniFile();
            } catch (const std::exception&) {
                LastErrMsg = SystemReason(ENOMEM);
                ok = false; // the arena has shown its error box
            }
        } else {
            ok = CreateEmptyFile();
        }
    }
    Modified = false;
    if (!ok) {
        Release();
        throw EYIniFileError(FileName, LastErrMsg);
    }
}

bool TYIniFile::CreateEmptyFile() {
    // One level of folder only: a mistyped path must not grow a tree.
    const std::string folder = ParentFolder(FileName);
    TFileStatus status;
    if (!folder.empty() &&
        (!QueryFileStatus(folder, status, LastErrMsg) ||
         (status.Kind == TFileKind::Missing && !MakeFolder(folder, LastErrMsg)))) {
        ShowErrMsgBox_Printf(kCaption, "Err: Can not create directory \n \"%s\" ", folder.c_str());
        return false;
    }
    // Made new, never opened: a dangling link of that name must not create a
    // file where it points, and a FIFO put there since the status check is
    // left alone instead of being waited on.
    if (!CreateNewFile(FileName, nullptr, 0, LastErrMsg)) {
        ShowErrMsgBox_Printf(kCaption, "Err: Can not create file \n \"%s\" ", FileName.c_str());
        return false;
    }
    return true;
}

void TYIniFile::RunDestructor() {
    if (Modified && Sections) {
        try {
            SaveIniFile();
        } catch (...) {
            // A destructor must not throw; the changes are lost as with any failed save.
        }
    }
    Release();
}

void TYIniFile::Release() {
    if (Sections && OwnStrTab) {
        // The arena goes as a whole, so its strings need not be returned one by one.
        for (int32_t i = 0; i < Sections->Count(); ++i) {
            if (TYHashedStringList* keys = KeyList(i)) {
                keys->Abandon();
                delete keys;
            }
        }
        Sections->Abandon();
    }
    if (Sections) {
        Sections->DeleteAll();
        delete Sections;
        Sections = nullptr;
    }
    if (OwnStrTab) delete StrTab;
    StrTab = nullptr;
    OwnStrTab = false;
    LastSection.clear();
    LastSectionIndex = -1;
}

// ---------------------------------------------------------------------------
// List notifications

void TYIniFile::HashedStringListNotifyHandlerForDeleteSection(TObject* Sender, int32_t Index) {
    auto* sections = static_cast<TYHashedStringList*>(Sender);
    auto* keys = static_cast<TYHashedStringList*>(sections->Objects(Index));
    if (keys) {
        keys->DeleteAll();
        delete keys;
        sections->pw_Objects(Index, nullptr);
    }
}

void TYIniFile::HashedStringListNotifyHandlerForReplaceKey(TObject* Sender, int32_t Index) {
    auto* keys = static_cast<TYHashedStringList*>(Sender);
    if (_YSTRTABCELL* value = AsCell(keys->Objects(Index))) {
        StrTab->Delete(value);
        keys->pw_Objects(Index, nullptr);
    }
}

void TYIniFile::HashedStringListNotifyHandlerForDeleteKey(TObject* Sender, int32_t Index) {
    HashedStringListNotifyHandlerForReplaceKey(Sender, Index);
}

TYHashedStringList* TYIniFile::NewKeyList() {
    auto* keys = new TYHashedStringList(StrTab);
    keys->OnReplace = [this](TObject* Sender, int32_t Index) {
        HashedStringListNotifyHandlerForReplaceKey(Sender, Index);
    };
    keys->OnDelete = [this](TObject* Sender, int32_t Index) {
        HashedStringListNotifyHandlerForDeleteKey(Sender, Index);
    };
    return keys;
}

TYHashedStringList* TYIniFile::KeyList(int32_t SectionIndex) const {
    return static_cast<TYHashedStringList*>(Sections->Objects(SectionIndex));
}

// ---------------------------------------------------------------------------
// Loading

bool TYIniFile::LoadExistedIniFile() {
    // Read-only: loading needs no write access, so a write-protected file
    // loads; only a save asks for it. A folder, device or FIFO is refused
    // without being opened for long, so nothing blocks here.
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(FileName, bytes, LastErrMsg)) {
        ShowErrMsgBox_Printf(kCaption, "Err: Can not open file \n \"%s\" ", FileName.c_str());
        return false;
    }
    Parse(bytes.data(), bytes.size());
    return true;
}

void TYIniFile::Parse(const uint8_t* Data, size_t Size) {
    std::string section;
    const char* p = reinterpret_cast<const char*>(Data);
    const char* const end = p + Size;
    // Editors on Windows put a UTF-8 byte-order mark first; it would hide the
    // first section header.
    if (Size >= 3 && Data[0] == 0xEF && Data[1] == 0xBB && Data[2] == 0xBF) p += 3;
    char piece[kLinePiece + 1];
    KeysTaken = 0;
    OverLimit.clear();
    while (p < end && OverLimit.empty()) {
        const char* nl =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* lineEnd = nl ? nl : end;
        // CR LF reads as one line end; a lone CR is an ordinary byte.
        const char* contentEnd = nl && lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
        const size_t contentLen = static_cast<size_t>(contentEnd - p);
        if (contentLen + (nl ? 1 : 0) <= kLinePiece) {
            ParseLine(p, contentLen, section);
        } else {
            // A long line arrives as pieces of kLinePiece bytes, each parsed as
            // a line of its own; the line end belongs to the last piece.
            for (size_t off = 0; off < contentLen && OverLimit.empty(); off += kLinePiece) {
                const size_t n = contentLen - off < kLinePiece ? contentLen - off : kLinePiece;
                std::memcpy(piece, p + off, n);
                piece[n] = '\0';
                ParseLine(piece, n, section);
            }
        }
        p = nl ? nl + 1 : end;
    }
}

// Parses one line (Len bytes at Line, without its line end). Text after a
// zero byte is not seen, as with a C string.
void TYIniFile::ParseLine(const char* Line, size_t Len, std::string& CurrentSection) {
    if (Len == 0 || Line[0] == '\r' || Line[0] == '#') return;
    if (const void* nul = std::memchr(Line, '\0', Len))
        Len = static_cast<size_t>(static_cast<const char*>(nul) - Line);
    const char* const e = Line + Len;
    const char* p = Line;
    while (p < e && IsWs(*p))
        ++p;
    if (p < e && *p == '[') {
        const char* q = p + 1;
        while (q < e && IsWs(*q))
            ++q;
        const char* close =
            static_cast<const char*>(std::memchr(q, ']', static_cast<size_t>(e - q)));
        if (close && close > q) {
            while (close[-1] == ' ')
                --close; // q is no blank, so the name keeps at least one byte
            CurrentSection.assign(q, static_cast<size_t>(close - q));
            return;
        }
    }
    if (p >= e || *p == '=') return;
    const char* eq = static_cast<const char*>(std::memchr(p, '=', static_cast<size_t>(e - p)));
    if (!eq) return;
    const char* v = eq + 1;
    while (v < e && IsWs(*v))
        ++v;
    if (v >= e) return;
    const char* ve = static_cast<const char*>(std::memchr(v, '\r', static_cast<size_t>(e - v)));
    if (!ve) ve = e;
    const char* ke = eq;
    while (ke[-1] == ' ')
        --ke;
    while (ve[-1] == ' ')
        --ve;
    const size_t keyLen = static_cast<size_t>(ke - p);
    if (!WithinLimits(CurrentSection, p, keyLen)) return;
    if (Store(CurrentSection.data(), CurrentSection.size(), p, keyLen, v,
              static_cast<size_t>(ve - v)))
        ++KeysTaken;
}

// Whether the pair may be stored: a new section or a new key past the limits
// may not, and stops the parse.
bool TYIniFile::WithinLimits(const std::string& Section, const char* Key, size_t KeyLen) {
    if (Section.empty()) return true; // dropped anyway
    int32_t index = -1;
    const bool known = FindSection(Section.data(), Section.size(), &index);
    if (!known && Sections->Count() >= Limits.Sections) {
        OverLimit = "sections";
        return false;
    }
    if (KeysTaken < Limits.Keys) return true;
    const TYHashedStringList* keys = known ? KeyList(index) : nullptr;
    if (keys && KeyLen <= TYHashedStringList::kMaxKeyLength &&
        keys->IndexOf(Key, static_cast<unsigned>(KeyLen)) >= 0)
        return true; // a value replaced: no more memory
    OverLimit = "keys";
    return false;
}

// ---------------------------------------------------------------------------
// Saving

std::string TYIniFile::TextFault(std::span<const uint8_t> Bytes) {
    const size_t n = Bytes.size();
    auto starts = [&](std::initializer_list<uint8_t> Mark) {
        return n >= Mark.size() && std::equal(Mark.begin(), Mark.end(), Bytes.begin());
    };
    // The longer marks first: UTF-32 LE begins with the UTF-16 LE mark.
    if (starts({0xFF, 0xFE, 0x00, 0x00})) return "is UTF-32 text (byte-order mark FF FE 00 00)";
    if (starts({0x00, 0x00, 0xFE, 0xFF})) return "is UTF-32 text (byte-order mark 00 00 FE FF)";
    if (starts({0xFF, 0xFE})) return "is UTF-16 text (byte-order mark FF FE)";
    if (starts({0xFE, 0xFF})) return "is UTF-16 text (byte-order mark FE FF)";
    // A first character of two bytes, one of them zero: wide text whose
    // writer left the mark out.
    if (n >= 2 && (Bytes[0] == 0) != (Bytes[1] == 0))
        return "is UTF-16 text without a byte-order mark";
    size_t line = 1;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = Bytes[i];
        if (b == '\n') {
            ++line;
        } else if (b == 0) {
            return Format("holds a zero byte on line %zu", line);
        } else if (b == '\r' && i + 1 < n && Bytes[i + 1] != '\n' && Bytes[i + 1] != '\r') {
            // A CR followed by text joins two lines into one here.
            return Format("ends lines with CR alone (line %zu); only CR LF or LF end a line", line);
        }
    }
    return {};
}

std::string TYIniFile::SaveToString() const {
    std::string out;
    const int32_t sectionCount = Sections->Count();
    for (int32_t i = 0; i < sectionCount; ++i) {
        out += '[';
        StrTab->Append(Sections->TextCell(i), out);
        out += "]\r\n";
        const TYHashedStringList* keys = KeyList(i);
        const int32_t keyCount = keys ? keys->Count() : 0;
        for (int32_t j = 0; j < keyCount; ++j) {
            StrTab->Append(keys->TextCell(j), out);
            out += '=';
            const _YSTRTABCELL* value = AsCell(keys->Objects(j));
            if (value && StrTab->Length(value) < kWriteLimit) StrTab->Append(value, out);
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

bool TYIniFile::SaveIniFile() {
    if (!Modified) return true;
    if (FileName.empty()) {
        // Held in memory only: there is no file to write, and the changes stay.
        LastErrMsg = "No file name";
        return false;
    }
    const std::string out = SaveToString();
    if (!WriteFileAtomically(FileName, out.data(), out.size(), LastErrMsg)) {
        ShowErrMsgBox_Printf(kCaption, "Err: Can not create file \n \"%s\" ", FileName.c_str());
        return false;
    }
    Modified = false;
    LastErrMsg.clear();
    return true;
}

bool TYIniFile::UpdateFile() {
    return SaveIniFile();
}

void TYIniFile::pw_FileName(const std::string& Value) {
    FileName = Value.empty() ? std::string(kDefaultFileName) : Value;
    Modified = true;
}

// ---------------------------------------------------------------------------
// Lookups

bool TYIniFile::FindSection(const char* Section, size_t Len, int32_t* Index) {
    if (Len == 0) return false;
    int32_t found;
    if (!LastSection.empty() && LastSection.size() == Len &&
        std::memcmp(LastSection.data(), Section, Len) == 0) {
        found = LastSectionIndex;
    } else {
        found = Sections->IndexOf(Section, static_cast<unsigned>(Len > UINT_MAX ? UINT_MAX : Len));
        if (found < 0) return false;
        LastSection.assign(Section, Len);
        LastSectionIndex = found;
    }
    if (Index) *Index = found;
    return true;
}

bool TYIniFile::IsSectionExisted(const std::string& Section, int32_t* Index) {
    return FindSection(Section.data(), Section.size(), Index);
}

bool TYIniFile::IsKeyExisted(const std::string& Section, const std::string& Key) {
    int32_t index;
    if (Key.empty() || !IsSectionExisted(Section, &index)) return false;
    const TYHashedStringList* keys = KeyList(index);
    return keys &&
           keys->IndexOf(Key.data(),
                         static_cast<unsigned>(Key.size() > UINT_MAX ? UINT_MAX : Key.size())) >= 0;
}

// Only asks whether the key holds a value: a value too long to be read back
// still exists (and is still saved when short enough).
bool TYIniFile::IsValueExisted(const std::string& Section, const std::string& Key) {
    int32_t index;
    if (Key.empty() || Key.size() > TYHashedStringList::kMaxKeyLength ||
        !IsSectionExisted(Section, &index))
        return false;
    const TYHashedStringList* keys = KeyList(index);
    const int32_t key = keys ? keys->IndexOf(Key.data(), static_cast<unsigned>(Key.size())) : -1;
    return key >= 0 && keys->Objects(key) != nullptr;
}

bool TYIniFile::IsValueExisted(const std::string& Section, const std::string& Key,
                               std::string& Value) {
    int32_t index;
    if (Key.empty() || Key.size() > TYHashedStringList::kMaxKeyLength ||
        !IsSectionExisted(Section, &index))
        return false;
    const TYHashedStringList* keys = KeyList(index);
    if (!keys) return false;
    const int32_t key = keys->IndexOf(Key.data(), static_cast<unsigned>(Key.size()));
    if (key < 0) return false;
    const _YSTRTABCELL* value = AsCell(keys->Objects(key));
    const unsigned len = value ? StrTab->Length(value) : 0;
    if (len == 0 || len >= kReadLimit) return false;
    Value.clear();
    Value.reserve(len);
    return StrTab->Append(value, Value);
}

bool TYIniFile::SectionExists(const std::string& Section) {
    return IsSectionExisted(Section, nullptr);
}

bool TYIniFile::KeyExists(const std::string& Section, const std::string& Key) {
    return IsKeyExisted(Section, Key);
}

bool TYIniFile::ValueExists(const std::string& Section, const std::string& Key) {
    return IsValueExisted(Section, Key);
}

int TYIniFile::StrCmp(const std::string& Section, const std::string& Key, const std::string& Str) {
    std::string value;
    IsValueExisted(Section, Key, value);
    return std::strcoll(value.c_str(), Str.c_str());
}

int TYIniFile::StrICmp(const std::string& Section, const std::string& Key, const std::string& Str) {
    std::string value;
    IsValueExisted(Section, Key, value);
    std::string other = Str;
    for (char& c : value)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : other)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::strcoll(value.c_str(), other.c_str());
}

// ---------------------------------------------------------------------------
// Changes

bool TYIniFile::Store(const char* Section, size_t SectionLen, const char* Key, size_t KeyLen,
                      const char* Value, size_t ValueLen) {
    if (SectionLen == 0 || KeyLen == 0) return false;
    int32_t index;
    if (!FindSection(Section, SectionLen, &index)) {
        if (SectionLen > TYHashedStringList::kMaxKeyLength) return false;
        TYHashedStringList* created = NewKeyList();
        index = Sections->Add(Section, static_cast<unsigned>(SectionLen), created);
        if (index < 0) {
            delete created;
            return false;
        }
        LastSection.assign(Section, SectionLen);
        LastSectionIndex = index;
    }
    TYHashedStringList* keys = KeyList(index);
    Modified = true;
    if (!keys || KeyLen > TYHashedStringList::kMaxKeyLength) return false;
    _YSTRTABCELL* value =
        ValueLen
            ? StrTab->Add(Value, static_cast<unsigned>(ValueLen > UINT_MAX ? UINT_MAX : ValueLen))
            : nullptr;
    const int32_t before = keys->Count();
    // A refused key must not leave its value behind in the arena.
    if (keys->Add(Key, static_cast<unsigned>(KeyLen), AsObject(value)) < 0 && value)
        StrTab->Delete(value);
    return keys->Count() > before;
}

void TYIniFile::WriteString(const std::string& Section, const std::string& Key,
                            const std::string& Value) {
    Store(Section.data(), Section.size(), Key.data(), Key.size(), Value.data(), Value.size());
}

void TYIniFile::Printf(const std::string& Section, const std::string& Key, const char* Format,
                       ...) {
    va_list args;
    va_start(args, Format);
    const std::string text = VFormat(Format, args);
    va_end(args);
    WriteString(Section, Key, text);
}

void TYIniFile::EraseSection(const std::string& Section) {
    int32_t index;
    if (!IsSectionExisted(Section, &index)) return;
    Sections->Delete(index); // the section handler releases the key list and its values
    LastSection.clear();
    LastSectionIndex = -1;
    Modified = true;
}

void TYIniFile::DeleteKey(const std::string& Section, const std::string& Key) {
    int32_t index;
    if (Key.empty() || Key.size() > TYHashedStringList::kMaxKeyLength ||
        !IsSectionExisted(Section, &index))
        return;
    TYHashedStringList* keys = KeyList(index);
    const int32_t key = keys ? keys->IndexOf(Key.data(), static_cast<unsigned>(Key.size())) : -1;
    if (key < 0) return;
    keys->Delete(key);
    Modified = true;
}

void TYIniFile::DeleteValue(const std::string& Section, const std::string& Key) {
    int32_t index;
    if (Key.empty() || Key.size() > TYHashedStringList::kMaxKeyLength ||
        !IsSectionExisted(Section, &index))
        return;
    TYHashedStringList* keys = KeyList(index);
    const int32_t key = keys ? keys->IndexOf(Key.data(), static_cast<unsigned>(Key.size())) : -1;
    if (key < 0) return;
    if (_YSTRTABCELL* value = AsCell(keys->Objects(key))) StrTab->Delete(value);
    keys->pw_Objects(key, nullptr);
    Modified = true;
}

// ---------------------------------------------------------------------------
// Typed values

std::string TYIniFile::ReadString(const std::string& Section, const std::string& Key,
                                  const std::string& Default) {
    std::string value;
    if (IsValueExisted(Section, Key, value)) return value;
    return Default;
}

void TYIniFile::WriteInteger(const std::string& Section, const std::string& Key, int32_t Value) {
    WriteString(Section, Key, Format("%d", Value));
}

int32_t TYIniFile::ReadInteger(const std::string& Section, const std::string& Key,
                               int32_t Default) {
    std::string value;
    return IsValueExisted(Section, Key, value) ? StrToInt(value) : Default;
}

void TYIniFile::WriteUnsigned(const std::string& Section, const std::string& Key, uint32_t Value) {
    WriteString(Section, Key, Format("%d", static_cast<int32_t>(Value)));
}

uint32_t TYIniFile::ReadUnsigned(const std::string& Section, const std::string& Key,
                                 uint32_t Default) {
    std::string value;
    if (!IsValueExisted(Section, Key, value)) return Default;
    bool consumed = false;
    const uint32_t result = value.size() >= 3 && value[0] == '0' && value[1] == 'x'
                                ? StrToUnsigned32(value.c_str() + 2, 16, &consumed)
                                : StrToUnsigned32(value.c_str(), 10, &consumed);
    return result == 0 && !consumed ? Default : result;
}

void TYIniFile::WriteHexNum(const std::string& Section, const std::string& Key, uint32_t Value) {
    WriteString(Section, Key, Format("0x%X", Value));
}

uint32_t TYIniFile::ReadHexNum(const std::string& Section, const std::string& Key,
                               uint32_t Default) {
    return ReadUnsigned(Section, Key, Default);
}

void TYIniFile::WriteFloat(const std::string& Section, const std::string& Key, double Value) {
    // Always '.', whatever numeric locale the process runs under.
    WriteString(Section, Key, FormatFloatC(Value));
}

double TYIniFile::ReadFloat(const std::string& Section, const std::string& Key, double Default) {
    std::string value;
    if (!IsValueExisted(Section, Key, value)) return Default;
    const char* end = nullptr;
    const double result = ParseFloatC(value.c_str(), &end);
    return result == 0 && end == value.c_str() ? Default : result;
}

void TYIniFile::WriteTime(const std::string& Section, const std::string& Key, TDateTime Value) {
    WriteString(Section, Key, TimeToStr(Value));
}

void TYIniFile::WriteCurrentTime(const std::string& Section, const std::string& Key) {
    WriteTime(Section, Key, TDateTime::Now());
}

TDateTime TYIniFile::ReadTime(const std::string& Section, const std::string& Key,
                              TDateTime Default) {
    std::string value;
    return IsValueExisted(Section, Key, value) ? StrToTime(value) : Default;
}

void TYIniFile::WriteDate(const std::string& Section, const std::string& Key, TDateTime Value) {
    WriteString(Section, Key, DateToStr(Value));
}

void TYIniFile::WriteCurrentDate(const std::string& Section, const std::string& Key) {
    WriteDate(Section, Key, TDateTime::Now());
}

TDateTime TYIniFile::ReadDate(const std::string& Section, const std::string& Key,
                              TDateTime Default) {
    std::string value;
    return IsValueExisted(Section, Key, value) ? StrToDate(value) : Default;
}

void TYIniFile::WriteDateTime(const std::string& Section, const std::string& Key, TDateTime Value) {
    WriteString(Section, Key, DateTimeToStr(Value));
}

void TYIniFile::WriteCurrentDateTime(const std::string& Section, const std::string& Key) {
    WriteDateTime(Section, Key, TDateTime::Now());
}

TDateTime TYIniFile::ReadDateTime(const std::string& Section, const std::string& Key,
                                  TDateTime Default) {
    std::string value;
    return IsValueExisted(Section, Key, value) ? StrToDateTime(value) : Default;
}

void TYIniFile::WriteBool(const std::string& Section, const std::string& Key, bool Value,
                          int Style) {
    static const char* const kTexts[4][2] = {
        {"0", "1"}, {"False", "True"}, {"Low", "High"}, {"Not", "Yes"}};
    const int style = Style >= 0 && Style <= 3 ? Style : 0;
    WriteString(Section, Key, kTexts[style][Value ? 1 : 0]);
}

bool TYIniFile::ReadBool(const std::string& Section, const std::string& Key, bool Default) {
    std::string value;
    if (!IsValueExisted(Section, Key, value)) return Default;
    switch (value[0]) {
    case '1':
    case 'T':
    case 't':
    case 'H':
    case 'h':
    case 'Y':
    case 'y':
        return true;
    case '0':
    case 'F':
    case 'f':
    case 'L':
    case 'l':
    case 'N':
    case 'n':
        return false;
    default:
        return Default;
    }
}

} // namespace YVclUtil
