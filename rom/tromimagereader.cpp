#include "rom/tromimagereader.h"

#include "project/dputext.h"
#include "project/tsettingstable.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"
#include "rom/glyphentrysource.h"
#include "rom/romlayout.h"
#include "rom/trombuilder.h"
#include "util/crc8.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"

#include <QDir>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>

using DpuProject::TSettingsTable;
using YVclUtil::Crc8Table;
namespace DpuText = DpuProject::DpuText;

namespace DpuRom {

bool TRomPicture::Lit(int X, int Y) const {
    if (X < 0 || Y < 0 || X >= Width || Y >= Height) return false;
    // Turned pictures were packed with packed (x, y) = drawn (W - 1 - y, x).
    const int px = Turned ? Y : X;
    const int py = Turned ? Width - 1 - X : Y;
    const size_t at =
        static_cast<size_t>(py / 8) * static_cast<size_t>(PackedWidth()) + static_cast<size_t>(px);
    return at < Bytes.size() && ((Bytes[at] >> (py % 8)) & 1) != 0;
}

namespace {

using namespace RomLayout;

constexpr size_t FloorEnd = FloorZone + FloorZoneSize;
// The builder stops when its running position reaches 0xF400, so the floor
// zone's last byte is never part of a picture.
constexpr size_t FloorUsableEnd = FloorEnd - 1;

// Drawn heights of the pictures the zones are laid out for.
constexpr int GlyphHeight = 64, UserBitmapHeight = 64, MessageHeight = 16, DirHeight = 48;
constexpr size_t GlyphBytes = 256, UserBitmapBytes = 512, MessageBytes = 128, DirBytes = 288;

struct TRefusal {
    size_t Offset;
    std::string Text;
};

[[noreturn]] void Refuse(size_t Offset, const char* Table, const std::string& Why) {
    throw TRefusal{Offset, YVclUtil::Format("offset 0x%04zX (%s): %s", Offset, Table, Why.c_str())};
}

// Bytes per step of length that keeps whole bands at the given drawn height.
size_t Unit(int Height, bool Turned) {
    return Turned ? static_cast<size_t>(Height) : static_cast<size_t>(Height) / 8;
}

// Length rounded up to whole units, kept at or below Room when it can be.
size_t RoundToUnit(size_t Length, size_t UnitBytes, size_t Room) {
    if (UnitBytes == 0) return std::min(Length, Room);
    size_t up = (Length + UnitBytes - 1) / UnitBytes * UnitBytes;
    if (up > Room) up = Room / UnitBytes * UnitBytes;
    return up >= Length ? up : std::min(Length, Room);
}

struct TItem {
    TRomPicture* Picture;
    size_t Address;
    int NominalHeight;
    size_t NominalBytes;
    const std::vector<uint8_t>*
        Packed; // the library's packed picture, header included; may be null
};

class TDecoder {
public:
    TDecoder(const TRomImageReader& Reader, const uint8_t* Data, TRomImage& Out)
        : R(Reader), D(Data), Img(Out) {}

    void Run();

private:
    unsigned Addr(size_t At) const { return static_cast<unsigned>(D[At]) << 8 | D[At + 1]; }
    bool Turned() const { return Img.Settings.DispHv == 1; }
    std::optional<std::vector<uint8_t>> Pack(int Group, int Index, int DispHv) const;
    void Note(const std::string& Text) { Img.Notes.push_back(Text); }

    void CheckTables();
    void ReadSettings();
    void ReadBlocks();
    void ReadCodes();
    void DetectTurn();
    void DetectFloorStyle(const std::vector<size_t>& GlyphAddresses);
    void ReadFloorZone();
    void ReadListZone(size_t Table, size_t Count, size_t Zone, size_t ZoneSize,
                      const char* TableName, const char* What, const char* ZoneName,
                      TRomPicture* Pictures, int NominalHeight, size_t NominalBytes,
                      int LibraryBase);
    void Place(std::vector<TItem>& Items, size_t ZoneEnd, size_t TailEnd, const char* ZoneName);
    // Gives P its drawn size: the library picture's (Packed, may be null) when
    // it has P's length, else the shape of its nominal height. A picture
    // larger than the display allows is damage.
    void Draw(TRomPicture& P, const std::vector<uint8_t>* Packed, int NominalHeight,
              const char* ZoneName);
    void ReadFixedPictures();
    void NameUserBitmaps();

    const TRomImageReader& R;
    const uint8_t* D;
    TRomImage& Img;
    int UserCount = 0;
    std::vector<std::vector<uint8_t>> LibraryGlyphs; // packed glyphs of the found style, by code
    // Each library payload is packed once a way: the small glyphs are tried
    // both ways and packed again to draw them, and entries may share bytes.
    mutable std::map<std::tuple<const uint8_t*, size_t, int>, std::optional<std::vector<uint8_t>>>
        Packed;
};

std::optional<std::vector<uint8_t>> TDecoder::Pack(int Group, int Index, int DispHv) const {
    if (!R.Library || !R.Library->IsLoaded()) return std::nullopt;
    const std::span<const uint8_t> entry = R.Library->Entry(Group, Index);
    if (entry.empty()) return std::nullopt;
    const auto key = std::make_tuple(entry.data(), entry.size(), DispHv);
    if (const auto found = Packed.find(key); found != Packed.end()) return found->second;
    std::optional<std::vector<uint8_t>>& kept = Packed[key];
    try {
        const std::string name =
            "glyph library entry " + std::to_string(Group) + "/" + std::to_string(Index);
        std::vector<uint8_t> packed =
            ConvertPictureData(entry.data(), entry.size(), DispHv, name, name);
        if (packed.size() >= 4) kept = std::move(packed);
    } catch (const ERomBuild&) {
        // not a picture: it tells nothing about the image
    }
    return kept;
}

void TDecoder::CheckTables() {
    struct TCopy {
        size_t At;
        const char* Name;
    };
    for (const TCopy& c :
         {TCopy{CrcTable, "CRC table copy"}, TCopy{ReservedTable1, "reserved table 0x8200"},
          TCopy{ReservedTable2, "reserved table 0x8300"}})
        for (size_t i = 0; i < 256; ++i)
            if (D[c.At + i] != Crc8Table[i])
                Refuse(c.At + i, c.Name,
                       YVclUtil::Format("byte %02X where the CRC-8 table holds %02X", D[c.At + i],
                                        Crc8Table[i]));
}

void TDecoder::ReadSettings() {
    std::memcpy(Img.Record.data(), D + SettingsRecord, SettingsRecordSize);
    const auto& r = Img.Record;
    for (const int unused : TSettingsTable::UnusedRecordBytes())
        if (const size_t i = static_cast<size_t>(unused); r[i] != 0)
            Refuse(
                SettingsRecord + i, "settings record",
                YVclUtil::Format("byte %zu is %02X; the builder always writes 00 there", i, r[i]));
    TRomSettings& s = Img.Settings;
    for (const TSettingsTable::TField* f : TSettingsTable::RecordFields()) {
        const int value = TSettingsTable::FromRecord(*f, r[static_cast<size_t>(f->RecordByte)]);
        s.*(f->Member) = value;
        // Shown as it is, but not as if the editor had chosen it.
        if (!TSettingsTable::InRange(*f, value))
            Note(YVclUtil::Format("settings record byte %d: %s=%d is outside the editor's range "
                                  "%d..%d",
                                  f->RecordByte, f->Key, value, f->Min, f->Max));
    }
    s.CusIdCode.clear();
    for (size_t i = TSettingsTable::IdCodeByte;
         i < TSettingsTable::IdCodeByte + TSettingsTable::IdCodeLength && r[i] != 0; ++i)
        s.CusIdCode += static_cast<char>(r[i]);
    s.Cfi = R.Cfi;
    s.TitleFileName.clear();
    s.RomFileName.clear();
}

void TDecoder::ReadBlocks() {
    // With ENCODE on the auxiliary block is never read from the library and
    // stays the filler walk; with it off it holds the library's block.
    bool filler = true;
    for (size_t i = 0; i < AuxBlockSize && filler; ++i)
        filler = D[AuxBlock + i] == Crc8Table[i & 0xFF];
    Img.Settings.Encode = filler ? 1 : 0;
    Img.EncodeSource = TRomImage::TSource::Image;

    if (R.Library && R.Library->IsLoaded()) {
        const std::span<const uint8_t> lib = R.Library->Entry(0, R.Cfi);
        if (!lib.empty()) {
            bool plain = true, encoded = true;
            for (size_t i = 0; i < EncodedSize; ++i) {
                const uint8_t want = i < lib.size() ? lib[i] : Crc8Table[i];
                plain = plain && D[CharBlock + i] == want;
                encoded = encoded && (D[CharBlock + i] ^ Crc8Table[i]) == want;
            }
            if (plain != encoded) {
                const int fits = encoded ? 1 : 0;
                if (fits != Img.Settings.Encode)
                    Note(YVclUtil::Format(
                        "the first 256 bytes fit ENCODE %d, the auxiliary block ENCODE %d", fits,
                        Img.Settings.Encode));
                Img.Settings.Encode = fits;
                Img.EncodeSource = TRomImage::TSource::Library;
            } else if (!plain) {
                Note(YVclUtil::Format(
                    "the character block matches library entry 0/%d with neither ENCODE setting",
                    R.Cfi));
            }
        }
    }
    Img.CharBlock.assign(D + CharBlock, D + CharBlock + CharBlockSize);
    if (Img.Settings.Encode != 0)
        for (size_t i = 0; i < EncodedSize; ++i)
            Img.CharBlock[i] ^= Crc8Table[i];
    Img.AuxBlock.assign(D + AuxBlock, D + AuxBlock + AuxBlockSize);
}

void TDecoder::ReadCodes() {
    int next = 0; // numbers are handed out in order of first use
    bool orderNoted = false;
    for (int t = 0; t < TRomImage::TableCount; ++t) {
        const std::string firstName = "CTBL" + std::to_string(t) + " first bytes";
        const std::string secondName = "CTBL" + std::to_string(t) + " second bytes";
        for (int n = 0; n < TRomImage::CodeCount; ++n) {
            const size_t fa = CodeTableFirst(t) + static_cast<size_t>(n);
            const size_t sa = CodeTableSecond(t) + static_cast<size_t>(n);
            TRomCode& c = Img.Codes[static_cast<size_t>(t)][static_cast<size_t>(n)];
            c = TRomCode{};
            c.First = D[fa];
            c.Second = D[sa];
            if (c.First == 0xFE) {
                if (c.Second >= UserBitmapMax)
                    Refuse(
                        sa, secondName.c_str(),
                        YVclUtil::Format("code %d (%02X) names user bitmap %d; the table holds %zu",
                                         n, n, c.Second, UserBitmapMax));
                c.Kind = TRomCode::TKind::UserBitmap;
                c.UserBitmap = c.Second;
                if (c.UserBitmap > next && !orderNoted) {
                    Note(YVclUtil::Format(
                        "CTBL%d code %d (%02X) uses user bitmap %d before bitmap %d: the numbers "
                        "are not in order of first use",
                        t, n, n, c.UserBitmap, next));
                    orderNoted = true;
                }
                next = std::max(next, c.UserBitmap + 1);
                continue;
            }
            if (c.Second == 0) {
                if (c.First != 0)
                    Refuse(fa, firstName.c_str(),
                           YVclUtil::Format(
                               "code %d (%02X) has first byte %02X over a second byte 00, which no "
                               "label gives",
                               n, n, c.First));
                continue;
            }
            c.Kind = TRomCode::TKind::Glyphs;
            if (c.First != 0) c.Label += static_cast<char>(c.First);
            c.Label += static_cast<char>(c.Second);
        }
    }
    UserCount = next;
    for (int u = UserCount; u < static_cast<int>(UserBitmapMax); ++u) {
        const size_t at = UserBitmapTable + 2 * static_cast<size_t>(u);
        if (D[at] != Crc8Table[at - UserBitmapTable] ||
            D[at + 1] != Crc8Table[at + 1 - UserBitmapTable]) {
            Note(YVclUtil::Format(
                "user-bitmap address table entry %d is set, yet no code uses that bitmap", u));
            break;
        }
    }
}

void TDecoder::DetectTurn() {
    Img.Settings.DispHv = R.AssumedDispHv == 1 ? 1 : 0;
    Img.DispHvSource = TRomImage::TSource::Assumed;
    if (!R.Library || !R.Library->IsLoaded()) return;
    bool fits[2] = {true, true};
    bool any = false;
    for (int turned = 0; turned < 2; ++turned) {
        size_t pos = SmallGlyphZone;
        for (int i = 0; i < TRomImage::SmallGlyphCount && fits[turned]; ++i) {
            const auto packed = Pack(7, i, turned);
            if (!packed) {
                fits[turned] = false;
                break;
            }
            any = true;
            const size_t length =
                std::min(packed->size() - 4, SmallGlyphZone + SmallGlyphZoneSize - pos);
            fits[turned] = std::memcmp(D + pos, packed->data() + 4, length) == 0;
            pos += length;
        }
    }
    if (!any) return;
    if (fits[0] != fits[1]) {
        Img.Settings.DispHv = fits[1] ? 1 : 0;
        Img.DispHvSource = TRomImage::TSource::Library;
    } else if (!fits[0]) {
        Note("the small glyphs are not the library's, packed either way");
    }
}

void TDecoder::DetectFloorStyle(const std::vector<size_t>& GlyphAddresses) {
    Img.Settings.DEF_FL = R.AssumedDefFl;
    Img.DefFlSource = TRomImage::TSource::Assumed;
    LibraryGlyphs.assign(TRomImage::GlyphCount, {});
    if (!R.Library || !R.Library->IsLoaded()) return;
    const int turn = Img.Settings.DispHv;
    // Codes 0..127 whose glyph is in the image, with the next item's address.
    std::vector<int> codes;
    for (int c = 0; c < TRomImage::GlyphCount; ++c)
        if (GlyphAddresses[static_cast<size_t>(c)] != 0) codes.push_back(c);
    if (codes.empty()) return;
    int found = -1, matches = 0;
    for (int k = 0; k < 4; ++k) {
        bool fit = true;
        for (size_t i = 0; i < codes.size() && i < 3 && fit; ++i) {
            const auto packed = Pack(1 + k, codes[i], turn);
            const size_t at = GlyphAddresses[static_cast<size_t>(codes[i])];
            fit = packed && at + packed->size() - 4 <= FloorEnd &&
                  std::memcmp(D + at, packed->data() + 4, packed->size() - 4) == 0;
            if (fit && i + 1 < codes.size())
                fit = GlyphAddresses[static_cast<size_t>(codes[i + 1])] == at + packed->size() - 4;
        }
        if (fit) {
            ++matches;
            if (found < 0) found = k;
        }
    }
    if (matches == 0) {
        Note("the floor glyphs are not those of any floor style of the library");
        return;
    }
    if (matches > 1)
        Note("the floor glyphs fit more than one floor style of the library; the first is taken");
    Img.Settings.DEF_FL = found;
    Img.DefFlSource = TRomImage::TSource::Library;
    for (int c : codes)
        if (auto packed = Pack(1 + found, c, turn))
            LibraryGlyphs[static_cast<size_t>(c)] = std::move(*packed);
}

// Fills each item's picture: its length runs to the next item's address; the
// last one's is the library's size, the size of the item of its kind before it
// or the nominal size, stretched over whatever non-filler bytes follow it up to TailEnd.
void TDecoder::Place(std::vector<TItem>& Items, size_t ZoneEnd, size_t TailEnd,
                     const char* ZoneName) {
    for (size_t i = 0; i < Items.size(); ++i) {
        TItem& it = Items[i];
        TRomPicture& p = *it.Picture;
        p.Offset = it.Address;
        p.Turned = Turned();
        const size_t libLength = it.Packed && it.Packed->size() >= 4 ? it.Packed->size() - 4 : 0;
        size_t length;
        if (i + 1 < Items.size()) {
            length = Items[i + 1].Address - it.Address;
        } else {
            // A picture of the same kind before it is the best guess of its size.
            const bool sameKind = i > 0 && Items[i - 1].NominalBytes == it.NominalBytes;
            length =
                libLength ? libLength : (sameKind ? Items[i - 1].Picture->Length : it.NominalBytes);
            const size_t tail = TailEnd > it.Address ? TailEnd - it.Address : 0;
            const size_t room = ZoneEnd - it.Address;
            // The builder stops rather than cut a floor glyph at the zone's end.
            if (libLength > room && std::strcmp(ZoneName, "floor zone") == 0)
                Refuse(it.Address, ZoneName,
                       YVclUtil::Format("the last glyph needs %zu bytes (its library picture), "
                                        "only %zu are left in the zone",
                                        libLength, room));
            length = std::max(length, tail);
            if (libLength == 0 || length != libLength)
                length = RoundToUnit(length, Unit(it.NominalHeight, p.Turned), room);
            length = std::min(length, room);
        }
        p.Length = length;
        p.Bytes.assign(D + it.Address, D + it.Address + length);
        Draw(p, libLength == length ? it.Packed : nullptr, it.NominalHeight, ZoneName);
    }
}

void TDecoder::Draw(TRomPicture& P, const std::vector<uint8_t>* Packed, int NominalHeight,
                    const char* ZoneName) {
    const int most = TRomImageReader::MaxDrawnSide;
    if (Packed && Packed->size() >= 4) {
        const int w = (*Packed)[0] | (*Packed)[1] << 8;
        const int h = (*Packed)[2] | (*Packed)[3] << 8;
        // A library picture larger than the display tells nothing about this one.
        if (w > 0 && h > 0 && w <= most && h <= most) {
            P.Width = P.Turned ? h : w;
            P.Height = P.Turned ? w : h;
            return;
        }
    }
    TRomImageReader::Shape(P, NominalHeight);
    if (P.Width > most || P.Height > most)
        Refuse(P.Offset, ZoneName,
               YVclUtil::Format("a picture of %zu bytes here would be %d x %d pixels, larger "
                                "than the display's %d x %d",
                                P.Length, P.Width, P.Height, most, most));
}

void TDecoder::ReadFloorZone() {
    std::vector<size_t> glyphAt(TRomImage::GlyphCount, 0);
    size_t last = 0;
    size_t lastEntry = 0;
    for (int c = 0; c < TRomImage::GlyphCount; ++c) {
        const size_t at = GlyphTable + 2 * static_cast<size_t>(c);
        const size_t a = Addr(at);
        if (a == 0) continue;
        if (a < FloorZone || a >= FloorUsableEnd)
            Refuse(at, "glyph address table",
                   YVclUtil::Format(
                       "entry %d points to 0x%04zX, outside the floor zone 0x8400..0xF3FE", c, a));
        if (last == 0 && a != FloorZone)
            Refuse(at, "glyph address table",
                   YVclUtil::Format("the first glyph (entry %d) starts at 0x%04zX, not at 0x8400",
                                    c, a));
        if (last != 0 && a <= last)
            Refuse(at, "glyph address table",
                   YVclUtil::Format("entry %d points to 0x%04zX, not after entry %zu's 0x%04zX", c,
                                    a, lastEntry, last));
        glyphAt[static_cast<size_t>(c)] = a;
        last = a;
        lastEntry = static_cast<size_t>(c);
    }
    std::vector<size_t> userAt(static_cast<size_t>(UserCount), 0);
    for (int u = 0; u < UserCount; ++u) {
        const size_t at = UserBitmapTable + 2 * static_cast<size_t>(u);
        const size_t a = Addr(at);
        if (a < FloorZone || a >= FloorUsableEnd)
            Refuse(at, "user-bitmap address table",
                   YVclUtil::Format(
                       "entry %d points to 0x%04zX, outside the floor zone 0x8400..0xF3FE", u, a));
        if (last == 0 && a != FloorZone)
            Refuse(at, "user-bitmap address table",
                   YVclUtil::Format("user bitmap %d, the first picture of the floor zone, starts "
                                    "at 0x%04zX, not at "
                                    "0x8400",
                                    u, a));
        if (last != 0 && a <= last)
            Refuse(at, "user-bitmap address table",
                   YVclUtil::Format(
                       "entry %d points to 0x%04zX, not after the picture before it at 0x%04zX", u,
                       a, last));
        userAt[static_cast<size_t>(u)] = a;
        last = a;
    }

    DetectFloorStyle(glyphAt);

    // Where the filler walk takes over for good: the last picture ends there at the latest.
    size_t tail = FloorEnd;
    while (tail > FloorZone && D[tail - 1] == Crc8Table[(tail - 1 - FloorZone) & 0xFF])
        --tail;

    std::vector<TItem> items;
    for (int c = 0; c < TRomImage::GlyphCount; ++c) {
        Img.Glyphs[static_cast<size_t>(c)] = TRomPicture{};
        if (glyphAt[static_cast<size_t>(c)] != 0) {
            const auto& lib = LibraryGlyphs[static_cast<size_t>(c)];
            items.push_back({&Img.Glyphs[static_cast<size_t>(c)], glyphAt[static_cast<size_t>(c)],
                             GlyphHeight, GlyphBytes, lib.empty() ? nullptr : &lib});
        }
    }
    Img.UserBitmaps.assign(static_cast<size_t>(UserCount), TRomPicture{});
    Img.UserBitmapLabels.assign(static_cast<size_t>(UserCount), std::string());
    for (int u = 0; u < UserCount; ++u)
        items.push_back({&Img.UserBitmaps[static_cast<size_t>(u)], userAt[static_cast<size_t>(u)],
                         UserBitmapHeight, UserBitmapBytes, nullptr});
    Place(items, FloorUsableEnd, tail, "floor zone");
}

void TDecoder::ReadListZone(size_t Table, size_t Count, size_t Zone, size_t ZoneSize,
                            const char* TableName, const char* What, const char* ZoneName,
                            TRomPicture* Pictures, int NominalHeight, size_t NominalBytes,
                            int LibraryBase) {
    std::vector<TItem> items;
    std::vector<std::vector<uint8_t>> packed(Count);
    size_t last = 0;
    bool gapNoted = false, gap = false;
    for (size_t i = 0; i < Count; ++i) {
        Pictures[i] = TRomPicture{};
        const size_t at = Table + 2 * i;
        const size_t a = Addr(at);
        if (a == 0) {
            gap = true;
            continue;
        }
        if (a < Zone || a >= Zone + ZoneSize)
            Refuse(at, TableName,
                   YVclUtil::Format(
                       "entry %zu points to 0x%04zX, outside the %s zone 0x%04zX..0x%04zX", i, a,
                       What, Zone, Zone + ZoneSize - 1));
        if (last == 0 && a != Zone)
            Refuse(at, TableName,
                   YVclUtil::Format("the first %s (entry %zu) starts at 0x%04zX, not at 0x%04zX",
                                    What, i, a, Zone));
        if (last != 0 && a <= last)
            Refuse(at, TableName,
                   YVclUtil::Format("entry %zu points to 0x%04zX, not after 0x%04zX", i, a, last));
        if (gap && !gapNoted && LibraryBase < 0) {
            Note(YVclUtil::Format(
                "%s entry %zu follows an empty entry; the builder keeps the list without gaps",
                TableName, i));
            gapNoted = true;
        }
        if (LibraryBase >= 0) {
            // Direction frame f of style s is library entry 50 + 20 s + f.
            const int index =
                LibraryBase + static_cast<int>(i / 12) * 20 + static_cast<int>(i % 12);
            if (auto p = Pack(0, index, Img.Settings.DispHv)) packed[i] = std::move(*p);
        }
        items.push_back({&Pictures[i], a, NominalHeight, NominalBytes,
                         packed[i].empty() ? nullptr : &packed[i]});
        last = a;
    }
    // The zones start as zeros: the last picture ends before the zeros that close the zone.
    size_t tail = Zone + ZoneSize;
    while (tail > Zone && D[tail - 1] == 0)
        --tail;
    Place(items, Zone + ZoneSize, tail, ZoneName);
}

void TDecoder::ReadFixedPictures() {
    // The logo zone holds the 64 x 64 logo, zeros when there is none.
    TRomPicture& logo = Img.Logo;
    logo = TRomPicture{};
    logo.Offset = LogoZone;
    logo.Length = LogoZoneSize;
    logo.Turned = Turned();
    logo.Width = logo.Height = 64;
    logo.Bytes.assign(D + LogoZone, D + LogoZone + LogoZoneSize);
    Img.LogoZoneSet =
        std::any_of(logo.Bytes.begin(), logo.Bytes.end(), [](uint8_t b) { return b != 0; });

    // Small glyphs: 8 x 8 each unless the library says otherwise; no table.
    size_t pos = SmallGlyphZone;
    const size_t end = SmallGlyphZone + SmallGlyphZoneSize;
    for (int i = 0; i < TRomImage::SmallGlyphCount; ++i) {
        TRomPicture& p = Img.SmallGlyphs[static_cast<size_t>(i)];
        p = TRomPicture{};
        p.Turned = Turned();
        const auto packed = Pack(7, i, Img.Settings.DispHv);
        size_t length = packed ? packed->size() - 4 : 8;
        length = std::min(length, end - pos);
        if (length == 0) continue;
        p.Offset = pos;
        p.Length = length;
        p.Bytes.assign(D + pos, D + pos + length);
        Draw(p, packed && packed->size() - 4 == length ? &*packed : nullptr, 8, "small-glyph zone");
        pos += length;
    }

    // The screen picture is always packed turned: 64 x 32 drawn.
    TRomPicture& s = Img.Screen;
    s = TRomPicture{};
    s.Offset = ScreenZone;
    s.Length = ScreenZoneSize;
    s.Turned = true;
    s.Bytes.assign(D + ScreenZone, D + ScreenZone + ScreenZoneSize);
    const auto packed = Pack(0, 40, 1);
    const int most = TRomImageReader::MaxDrawnSide;
    const int pw = packed ? (*packed)[0] | (*packed)[1] << 8 : 0;
    const int ph = packed ? (*packed)[2] | (*packed)[3] << 8 : 0;
    if (packed && packed->size() - 4 <= ScreenZoneSize && packed->size() > 4 && pw <= most &&
        ph <= most) {
        s.Width = ph;
        s.Height = pw;
    } else {
        s.Width = 64;
        s.Height = 32;
    }
}

void TDecoder::NameUserBitmaps() {
    if (Img.UserBitmaps.empty()) return;
    // The workspace's folder first, as the build looks: a label found there
    // hides the program folder's bitmap of that name.
    std::vector<std::pair<std::string, QString>> candidates; // (label, path)
    std::vector<std::string> seen;
    for (const std::string& root : {R.UserDir, R.ProgramDir}) {
        if (root.empty()) continue;
        const std::string folder = TRomBuilder::UserBitmapPath(root, Img.Settings.DEF_FL, "");
        const QDir dir(QString::fromStdString(folder.substr(0, folder.size() - 4)));
        for (const QString& file : dir.entryList({"*.bmp"}, QDir::Files, QDir::Name)) {
            const std::string label = file.left(file.size() - 4).toStdString();
            if (std::find(seen.begin(), seen.end(), label) != seen.end()) continue;
            seen.push_back(label);
            candidates.emplace_back(label, dir.filePath(file));
        }
    }
    for (const auto& [label, path] : candidates) {
        // The builder looks a label up as typed, trimmed and upper-cased.
        if (label.size() < 3 || label != DpuText::UpperCase(DpuText::Trim(label))) continue;
        std::vector<uint8_t> packed;
        try {
            packed = ConvertPictureFile(path.toStdString(), Img.Settings.DispHv);
        } catch (const ERomBuild&) {
            continue;
        }
        if (packed.size() < 4) continue;
        const size_t length = packed.size() - 4;
        for (size_t u = 0; u < Img.UserBitmaps.size(); ++u) {
            TRomPicture& p = Img.UserBitmaps[u];
            if (!Img.UserBitmapLabels[u].empty() || length == 0 || length > p.Length ||
                std::memcmp(p.Bytes.data(), packed.data() + 4, length) != 0)
                continue;
            const bool lastOne = u + 1 == Img.UserBitmaps.size();
            if (length != p.Length && !lastOne) continue;
            Img.UserBitmapLabels[u] = label;
            if (length != p.Length) {
                // Now the last picture's true size is known.
                p.Length = length;
                p.Bytes.resize(length);
                Draw(p, &packed, UserBitmapHeight, "floor zone");
            }
            // The build places a bitmap file once: one label names one bitmap,
            // and two stock bitmaps of one picture name the two in turn.
            break;
        }
    }
}

void TDecoder::Run() {
    CheckTables();
    ReadSettings();
    ReadBlocks();
    DetectTurn();
    ReadCodes();
    ReadFloorZone();
    ReadListZone(MessageTable, MessageCount, MessageZone, MessageZoneSize, "message table",
                 "message", "message zone", Img.Messages.data(), MessageHeight, MessageBytes, -1);
    Img.MessagePictures =
        static_cast<int>(std::count_if(Img.Messages.begin(), Img.Messages.end(),
                                       [](const TRomPicture& p) { return p.Present(); }));
    // The five tables lie one after the other and share one zone: one list of 60.
    std::array<TRomPicture, DirStyleCount * DirFrameCount> frames;
    ReadListZone(DirTables, frames.size(), DirZone, DirZoneSize, "direction tables",
                 "direction frame", "direction zone", frames.data(), DirHeight, DirBytes, 50);
    for (size_t i = 0; i < frames.size(); ++i)
        Img.DirFrames[i / DirFrameCount][i % DirFrameCount] = std::move(frames[i]);
    ReadFixedPictures();
    NameUserBitmaps();
}

} // namespace

void TRomImageReader::Shape(TRomPicture& Picture, int NominalHeight) {
    const size_t length = Picture.Length;
    const size_t unit = Unit(NominalHeight, Picture.Turned);
    Picture.Height = NominalHeight;
    if (length == 0 || unit == 0 || NominalHeight % 8 != 0) {
        Picture.Width = 8;
        Picture.Height = 8;
    } else if (length % unit == 0) {
        Picture.Width = static_cast<int>(length * 8 / static_cast<size_t>(NominalHeight));
    } else if (Picture.Turned) {
        // Bands of NominalHeight bytes, the last one partly filled.
        Picture.Width = static_cast<int>(8 * ((length + unit - 1) / unit));
    } else {
        // NominalHeight / 8 bands of one width, the last one partly filled.
        Picture.Width = static_cast<int>((length + unit - 1) / unit);
    }
}

bool TRomImageReader::Read(const uint8_t* Data, size_t Size, TRomImage& Image) {
    LastErrMsg.clear();
    LastErrOffset = 0;
    try {
        if (Size < RomLayout::ImageSize)
            Refuse(Size, "end of file",
                   YVclUtil::Format("the file is cut short: %s, a ROM image has %zu",
                                    YVclUtil::CountOf(Size, "byte").c_str(), RomLayout::ImageSize));
        if (Size > RomLayout::ImageSize)
            Refuse(RomLayout::ImageSize, "end of image",
                   YVclUtil::Format("%s %s the %zu of a ROM image",
                                    YVclUtil::CountOf(Size - RomLayout::ImageSize, "byte").c_str(),
                                    Size - RomLayout::ImageSize == 1 ? "follows" : "follow",
                                    RomLayout::ImageSize));
        Image = TRomImage{};
        TDecoder(*this, Data, Image).Run();
        return true;
    } catch (const TRefusal& r) {
        LastErrMsg = r.Text;
        LastErrOffset = r.Offset;
        return false;
    }
}

bool TRomImageReader::ReadFile(const std::string& Path, TRomImage& Image) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!YVclUtil::ReadWholeFile(Path, bytes, reason, 1 << 20)) {
        LastErrMsg = "Cannot read \"" + Path + "\": " + reason;
        LastErrOffset = 0;
        return false;
    }
    return Read(bytes.data(), bytes.size(), Image);
}

} // namespace DpuRom
