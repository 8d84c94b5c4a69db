#include "fieldbus/tvtnet_topologic.h"

#include "fieldbus/vtnmessages.h"
#include "util/eygeneral.h"
#include "util/eyinifileerror.h"
#include "util/fileaccess.h"
#include "util/tyinifile.h"

#include <cctype>
#include <initializer_list>
#include <cstdio>
#include <new>
#include <string>
#include <utility>

namespace OrvCtrl {

using YVclUtil::EYGeneral;

namespace {

constexpr const char* HeadSection = "VtnTopologic.Head";
constexpr const char* LastSegSection = "NetSegmentId_0x80";
constexpr unsigned TravelKeys = 257;
constexpr uint32_t UnusedTravelNodeId = 0xFF;

bool IsCSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Letter case of ASCII ignored, as device names are written either way.
bool SameAsciiText(const std::string& A, const char* B) {
    size_t i = 0;
    for (; i < A.size() && B[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(A[i])) !=
            std::tolower(static_cast<unsigned char>(B[i])))
            return false;
    return i == A.size() && !B[i];
}

// An error about the topology file: what went wrong, then the component, the
// file and, where known, the place in the file ("IniSection = ..."), one line each.
[[noreturn]] void
ThrowFileError(const char* What, const std::string& Name, const std::string& File,
               std::initializer_list<std::pair<const char*, std::string>> Where = {}) {
    std::string text = std::string("\nErr: ") + What + " !!!\nComponentName = " + Name +
                       "\nFileName = " + File + "\n";
    for (const auto& [key, value] : Where)
        text += std::string(key) + " = " + value + "\n";
    throw EYGeneral("%s", text.c_str());
}

class TScanner {
public:
    explicit TScanner(const std::string& Text) : S(Text) {}

    void SkipSpace() {
        while (P < S.size() && IsCSpace(S[P]))
            ++P;
    }
    bool Literal(const char* Text) {
        for (; *Text; ++Text) {
            if (*Text == ' ') {
                SkipSpace();
                continue;
            }
            if (P >= S.size() || S[P] != *Text) return false;
            ++P;
        }
        return true;
    }
    // %[^"]: one or more bytes other than '"'.
    bool NotQuote(std::string& Out) {
        const size_t start = P;
        while (P < S.size() && S[P] != '"')
            ++P;
        if (P == start) return false;
        Out.assign(S, start, P - start);
        return true;
    }
    // %X: leading white space, optional sign, optional 0x/0X before a digit,
    // one or more hex digits of either case; overflow saturates as strtoul.
    bool Hex(uint32_t& Out) {
        SkipSpace();
        bool negative = false;
        if (P < S.size() && (S[P] == '+' || S[P] == '-')) {
            negative = S[P] == '-';
            ++P;
        }
        if (P + 2 < S.size() && S[P] == '0' && (S[P + 1] == 'x' || S[P + 1] == 'X') &&
            std::isxdigit(static_cast<unsigned char>(S[P + 2])))
            P += 2;
        uint64_t value = 0;
        size_t digits = 0;
        while (P < S.size() && std::isxdigit(static_cast<unsigned char>(S[P]))) {
            const char c = S[P];
            const unsigned d =
                std::isdigit(static_cast<unsigned char>(c))
                    ? unsigned(c - '0')
                    : unsigned(std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
            if (value <= 0xFFFFFFFFull) value = value * 16 + d;
            ++digits;
            ++P;
        }
        if (digits == 0) return false;
        uint32_t v = value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
        if (negative && value <= 0xFFFFFFFFull) v = 0u - v;
        Out = v;
        return true;
    }

private:
    const std::string& S;
    size_t P = 0;
};

} // namespace

TVTNet_Topologic::TVTNet_Topologic(QObject* Owner) : TVTNet(Owner) {
    RunConstructor();
}

TVTNet_Topologic::~TVTNet_Topologic() {
    RunDestructor();
}

void TVTNet_Topologic::RunConstructor() {}

void TVTNet_Topologic::RunDestructor() {
    FreeVtnTopologic();
}

_SVTNTOPOLOGICNODE* TVTNet_Topologic::FindNode(unsigned SegId, unsigned NodeId) const {
    if (SegId > VtnMaxSegId || NodeId > VtnMaxNodeId)
        throw EYGeneral("%s", VtnMsg::AddressNotInTopologic);
    if (!Segments[SegId]) return nullptr;
    return &(*Segments[SegId])[NodeId];
}

_SVTNTOPOLOGICNODE& TVTNet_Topologic::AllocNode(unsigned SegId, unsigned NodeId) {
    if (SegId > VtnMaxSegId || NodeId > VtnMaxNodeId)
        throw EYGeneral("%s", VtnMsg::AddressNotInTopologic);
    if (!Segments[SegId]) {
        Segments[SegId].reset(new (std::nothrow) TNodeArray{});
        if (!Segments[SegId]) throw EYGeneral("%s", VtnMsg::CanNotAllocate);
    }
    return (*Segments[SegId])[NodeId];
}

void TVTNet_Topologic::AddVtnComponentToVtnTopologic(TVTNet* Component, uint32_t How) {
    if (!Component) return;
    const unsigned seg = Component->pr_VtnSegId();
    const unsigned node = Component->pr_VtnNodeId();
    _SVTNTOPOLOGICNODE& entry = AllocNode(seg, node);
    if (entry.ClsId != 0 && entry.Component != Component)
        throw EYGeneral(VtnMsg::DuplicatedAddress, seg, node);
    entry.ClsId = static_cast<uint32_t>(Component->pr_VtnClsId());
    entry.Component = Component;
    entry.Flags = (entry.Flags & ~0x7u) | (How & 0x7u);
}

int TVTNet_Topologic::RemoveVtnComponentFromVtnTopologic(const TVTNet* Component) {
    int cleared = 0;
    if (!Component) return 0;
    for (auto& segment : Segments) {
        if (!segment) continue;
        for (auto& entry : *segment)
            if (entry.Component == Component) {
                entry = _SVTNTOPOLOGICNODE{};
                ++cleared;
            }
    }
    return cleared;
}

uint32_t TVTNet_Topologic::pr_TopologicClsId(unsigned SegId, unsigned NodeId) const {
    const _SVTNTOPOLOGICNODE* entry = FindNode(SegId, NodeId);
    return entry ? entry->ClsId : 0;
}

TVTNet* TVTNet_Topologic::pr_TopologicVtnComponent(unsigned SegId, unsigned NodeId) const {
    const _SVTNTOPOLOGICNODE* entry = FindNode(SegId, NodeId);
    return entry ? entry->Component : nullptr;
}

uint32_t TVTNet_Topologic::pr_TopologicFlags(unsigned SegId, unsigned NodeId) const {
    const _SVTNTOPOLOGICNODE* entry = FindNode(SegId, NodeId);
    return entry ? entry->Flags : 0;
}

TVTNet* TVTNet_Topologic::CreateDefaultVtnComponentAndAddToVtnTopologic(int, uint8_t, uint8_t,
                                                                        TVTNet_Topologic*) {
    return nullptr;
}

void TVTNet_Topologic::FreeVtnTopologic() {
    for (auto& segment : Segments) {
        if (!segment) continue;
        for (auto& entry : *segment) {
            if (entry.ClsId != 0 && (entry.Flags & vtf_CreatedByTopologic)) {
                TVTNet* owned = entry.Component;
                // Cleared first: the component unregisters itself as it dies.
                entry = _SVTNTOPOLOGICNODE{};
                delete owned;
            }
        }
    }
    for (auto& segment : Segments)
        segment.reset();
}

bool TVTNet_Topologic::ParseTravelValue(const std::string& Value, std::string& Device,
                                        uint32_t& NodeId) {
    TScanner scan(Value);
    std::string device;
    uint32_t node = 0;
    if (!scan.Literal(" Device( \"") || !scan.NotQuote(device)) return false;
    if (!scan.Literal("\" ) , NetNodeId( 0x") || !scan.Hex(node)) return false;
    Device = device;
    NodeId = node;
    return true;
}

void TVTNet_Topologic::LoadAndChkTopologicIniAndAssignDefaultVtnComponentToVtnTopologic() {
    const std::string name = objectName().toStdString();
    if (FileName.empty()) throw EYGeneral(VtnMsg::NoFileName, name.c_str());
    // Regular files only: a folder or a FIFO gets its reason, not "not
    // exist", and is never waited on.
    YVclUtil::TFileStatus status;
    std::string reason;
    if (!YVclUtil::QueryFileStatus(FileName, status, reason))
        ThrowFileError(VtnMsg::IniCanNotRead, name, FileName, {{"Reason", reason}});
    if (status.Kind == YVclUtil::TFileKind::Missing)
        ThrowFileError(VtnMsg::IniNotExist, name, FileName);
    if (status.Kind != YVclUtil::TFileKind::Regular)
        ThrowFileError(VtnMsg::IniCanNotRead, name, FileName,
                       {{"Reason", YVclUtil::InputKindReason(status.Kind)}});

    for (auto& segment : Segments)
        if (segment)
            for (auto& entry : *segment)
                entry.Flags &= ~vtf_DeclaredInIniFile;

    {
        // Only read: the file object is never modified, so it writes nothing back,
        // and it is released on every way out of this block.
        // Loaded read-only, so a write-protected topology file serves.
        std::unique_ptr<YVclUtil::TYIniFile> ini;
        try {
            ini = std::make_unique<YVclUtil::TYIniFile>(FileName);
        } catch (const YVclUtil::EYIniFileError& e) {
            ThrowFileError(VtnMsg::IniCanNotRead, name, FileName, {{"Reason", e.Reason}});
        }
        if (ini->StrICmp(HeadSection, "Signature", "ORV") != 0 ||
            !ini->SectionExists(LastSegSection))
            ThrowFileError(VtnMsg::InvalidHeader, name, FileName);

        for (unsigned seg = 0; seg <= VtnMaxSegId; ++seg) {
            const std::string section = YVclUtil::Format("NetSegmentId_0x%02X", seg);
            if (!ini->SectionExists(section)) continue;
            for (unsigned k = 0; k < TravelKeys; ++k) {
                const std::string key = YVclUtil::Format("Travel_%03u", k);
                const std::string value = ini->ReadString(section, key, "");
                if (value.empty()) continue;
                std::string device;
                uint32_t node = 0;
                if (!ParseTravelValue(value, device, node))
                    ThrowFileError(VtnMsg::InvalidSyntax, name, FileName,
                                   {{"IniSection", section}, {"IniKey", key}});
                if (node == UnusedTravelNodeId) continue;
                if (node > VtnMaxNodeId) throw EYGeneral("%s", VtnMsg::AddressNotInTopologic);
                _SVTNTOPOLOGICNODE& entry = AllocNode(seg, node);
                if (!SameAsciiText(device, "DPU_4i4o"))
                    ThrowFileError(VtnMsg::UnknownDevice, name, FileName,
                                   {{"IniSection", section}, {"IniKey", key}, {"Device", device}});
                if (entry.ClsId != 0 && entry.ClsId != evci_Dpu4i4o)
                    ThrowFileError(VtnMsg::NotConform, name, FileName,
                                   {{"IniSection", section}, {"IniKey", key}, {"Device", device}});
                if (entry.ClsId == evci_Dpu4i4o) {
                    entry.Flags |= vtf_DeclaredInIniFile;
                    continue;
                }
                TVTNet* created = CreateDefaultVtnComponentAndAddToVtnTopologic(
                    evci_Dpu4i4o, static_cast<uint8_t>(seg), static_cast<uint8_t>(node), this);
                if (!created)
                    throw EYGeneral(VtnMsg::DeclaredButNoComponent, name.c_str(), FileName.c_str(),
                                    seg, node);
                _SVTNTOPOLOGICNODE& placed = AllocNode(seg, node);
                if (placed.Component != created) throw EYGeneral("%s", VtnMsg::CreateDefaultFailed);
                placed.Flags =
                    (placed.Flags & ~0x7u) | vtf_CreatedByTopologic | vtf_DeclaredInIniFile;
            }
        }
    }

    for (unsigned seg = 0; seg <= VtnMaxSegId; ++seg) {
        if (!Segments[seg]) continue;
        for (unsigned node = 0; node <= VtnMaxNodeId; ++node) {
            const _SVTNTOPOLOGICNODE& entry = (*Segments[seg])[node];
            if (entry.ClsId != 0 && !(entry.Flags & vtf_DeclaredInIniFile))
                throw EYGeneral(VtnMsg::RegisteredButNotDeclared, name.c_str(), FileName.c_str(),
                                seg, node);
        }
    }
}

} // namespace OrvCtrl
