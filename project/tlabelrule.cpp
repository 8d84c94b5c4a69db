#include "project/tlabelrule.h"

#include "project/dputext.h"
#include "project/tglyphsource.h"
#include "util/fileaccess.h"

#include <algorithm>

namespace DpuProject {

namespace {

// Length of the UTF-8 sequence starting at Bytes[At], or 0 when none starts
// there (a stray continuation byte, a bad lead byte, a cut sequence).
size_t SequenceLength(const std::string& Bytes, size_t At) {
    const auto lead = static_cast<unsigned char>(Bytes[At]);
    size_t length = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (At + length > Bytes.size()) return 0;
    for (size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(Bytes[At + i]) & 0xC0) != 0x80) return 0;
    return length;
}

bool StyleHasGlyph(const TGlyphSource& Glyphs, int Style, unsigned char Code) {
    if (Style < 0 || Style >= TLabelRule::StyleCount) return false;
    if (Code >= TLabelRule::GlyphCodeCount) return false;
    return Glyphs.HasEntry(Style + 1, Code);
}

std::string JoinNames(const std::vector<std::string>& Names) {
    std::string out;
    for (size_t i = 0; i < Names.size(); ++i) {
        if (i > 0) out += i + 1 == Names.size() ? " and " : ", ";
        out += Names[i];
    }
    return out;
}

} // namespace

std::string TLabelRule::BuiltText(const std::string& Label) {
    return DpuText::UpperCase(DpuText::Trim(Label));
}

std::string TLabelRule::GlyphBytes(const std::string& Text) {
    if (Text.size() == 2 && Text[0] == '0') return Text.substr(1);
    if (Text.size() <= 2) return Text;
    return {};
}

bool TLabelRule::IsFileName(const std::string& Text) {
    if (Text.find("..") != std::string::npos) return false;
    return std::none_of(Text.begin(), Text.end(), [](char C) {
        const auto c = static_cast<unsigned char>(C);
        return c == '/' || c == '\\' || c < 0x20 || c == 0x7F;
    });
}

std::vector<std::string> TLabelRule::UserBitmapFolders(const std::string& StartupDir,
                                                       const std::string& ProgramDir, int Style) {
    const std::string tail = "DefaultImage2/UserDefine/Floor/Style" + std::to_string(Style);
    std::vector<std::string> folders;
    for (const std::string& root : {StartupDir, ProgramDir}) {
        if (root.empty()) continue;
        const std::string folder = DpuText::JoinPath(root, tail);
        if (std::find(folders.begin(), folders.end(), folder) != folders.end()) continue;
        // The workspace is often the program's folder itself (a build tree).
        if (!folders.empty() && YVclUtil::SameFile(folders.front(), folder)) continue;
        folders.push_back(folder);
    }
    return folders;
}

std::vector<std::string> TLabelRule::SplitCharacters(const std::string& Bytes) {
    std::vector<std::string> chars;
    for (size_t i = 0; i < Bytes.size();) {
        const size_t length = std::max<size_t>(SequenceLength(Bytes, i), 1);
        chars.push_back(Bytes.substr(i, length));
        i += length;
    }
    return chars;
}

std::string TLabelRule::CharacterName(const std::string& Char) {
    if (Char.empty()) return {};
    const auto first = static_cast<unsigned char>(Char[0]);
    if (Char.size() == 1 && (first < 0x20 || first >= 0x7F)) return "code " + std::to_string(first);
    if (Char.size() > 1 && SequenceLength(Char, 0) != Char.size())
        return "code " + std::to_string(first);
    return Char;
}

std::string TLabelRule::Printable(const std::string& Text) {
    std::string out = Text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

TLabelRule::TResult TLabelRule::Decide(const std::string& Label, int Style,
                                       const TGlyphSource& Glyphs,
                                       const std::vector<std::string>& Folders) {
    return DecideBuilt(BuiltText(Label), Style, Glyphs, Folders);
}

TLabelRule::TResult TLabelRule::DecideBuilt(const std::string& Text, int Style,
                                            const TGlyphSource& Glyphs,
                                            const std::vector<std::string>& Folders) {
    TResult r;
    r.Text = Text;
    if (r.Text.empty()) return r;
    const std::string style = "Style " + std::to_string(Style);

    if (r.Text.size() <= 2) {
        r.Kind = TKind::Glyphs;
        r.Drawn = GlyphBytes(r.Text);
        if (r.Text.size() == 2 && r.Text[0] != '0') r.First = static_cast<uint8_t>(r.Text[0]);
        r.Second = static_cast<uint8_t>(r.Text.back());
        r.NoLibrary = !Glyphs.IsLoaded();
        for (const char c : r.Drawn)
            r.HasGlyph.push_back(!r.NoLibrary &&
                                 StyleHasGlyph(Glyphs, Style, static_cast<unsigned char>(c)));
        if (r.NoLibrary) {
            r.Reason = "No glyph library loaded";
            return r;
        }
        size_t at = 0;
        for (const std::string& ch : SplitCharacters(r.Drawn)) {
            const bool missing = std::any_of(r.HasGlyph.begin() + static_cast<long>(at),
                                             r.HasGlyph.begin() + static_cast<long>(at + ch.size()),
                                             [](bool Has) { return !Has; });
            at += ch.size();
            const std::string name = CharacterName(ch);
            if (missing && std::find(r.MissingGlyphs.begin(), r.MissingGlyphs.end(), name) ==
                               r.MissingGlyphs.end())
                r.MissingGlyphs.push_back(name);
        }
        if (!r.MissingGlyphs.empty())
            r.Reason = "No glyph for " + JoinNames(r.MissingGlyphs) + " in " + style;
        return r;
    }

    r.BitmapName = r.Text + ".bmp";
    if (!IsFileName(r.Text)) {
        // Never looked up: a label is a name inside the style's folder, not a path.
        r.Kind = TKind::Cancelled;
        r.NotAFileName = true;
        r.BitmapName = Printable(r.BitmapName);
        r.Reason = "\"" + Printable(r.Text) + "\" cannot name a user bitmap (/, \\, .. or a " +
                   "control character)";
        return r;
    }
    r.Folders = Folders;
    for (const std::string& folder : Folders) {
        const std::string path = DpuText::JoinPath(folder, r.BitmapName);
        YVclUtil::TFileStatus status;
        std::string reason;
        if (YVclUtil::QueryFileStatus(path, status, reason) &&
            status.Kind == YVclUtil::TFileKind::Regular) {
            r.Kind = TKind::UserBitmap;
            r.BitmapPath = path;
            r.BitmapStatus = status;
            r.First = 0xFE;
            return r;
        }
    }
    r.Kind = TKind::Cancelled;
    r.Reason = "No user bitmap " + r.BitmapName + " in " + style;
    return r;
}

} // namespace DpuProject
