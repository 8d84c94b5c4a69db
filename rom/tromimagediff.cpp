#include "rom/tromimagediff.h"

#include "rom/tromimagepainter.h"
#include "rom/tromimagetext.h"
#include "util/eygeneral.h"

#include <algorithm>

namespace DpuRom {

namespace {

const char* const Arrow = " \xE2\x86\x92 "; // " → "

bool SamePicture(const TRomPicture& A, const TRomPicture& B) {
    return A.Present() == B.Present() && A.Bytes == B.Bytes && A.Width == B.Width &&
           A.Height == B.Height;
}

std::string Change(const TRomPicture& A, const TRomPicture& B) {
    if (!A.Present()) return "picture added";
    if (!B.Present()) return "picture removed";
    return "picture changed";
}

// The picture a code shows, to compare user bitmaps by content, not number.
const TRomPicture* UserPicture(const TRomImage& I, const TRomCode& C) {
    if (C.Kind != TRomCode::TKind::UserBitmap ||
        static_cast<size_t>(C.UserBitmap) >= I.UserBitmaps.size())
        return nullptr;
    return &I.UserBitmaps[static_cast<size_t>(C.UserBitmap)];
}

} // namespace

std::vector<TRomImageDiff::TDifference> TRomImageDiff::Compare(const TRomImage& A,
                                                               const TRomImage& B,
                                                               const std::vector<uint8_t>& RawA,
                                                               const std::vector<uint8_t>& RawB) {
    std::vector<TDifference> out;
    auto pictures = [&](const std::string& Name, const std::string& Slug, const TRomPicture& Pa,
                        const TRomPicture& Pb) {
        if (!SamePicture(Pa, Pb))
            out.push_back({Name + ": " + Change(Pa, Pb), Slug, TRomImagePainter::Picture(Pa),
                           TRomImagePainter::Picture(Pb)});
    };

    const auto sa = TRomImageText::Settings(A), sb = TRomImageText::Settings(B);
    // "1 (library)" and "1 (assumed)" hold the same value: only how it was
    // found differs, which is no difference between the images.
    auto value = [](const std::string& Text) { return Text.substr(0, Text.find(" (")); };
    for (size_t i = 0; i < sa.size() && i < sb.size(); ++i)
        if (sa[i].second != sb[i].second &&
            ((sa[i].first != "ENCODE" && sa[i].first != "DISPHV" && sa[i].first != "DEF_FL") ||
             value(sa[i].second) != value(sb[i].second)))
            out.push_back({sa[i].first + ": " + sa[i].second + Arrow + sb[i].second, "", {}, {}});

    for (int t = 0; t < TRomImage::TableCount; ++t)
        for (int n = 0; n < TRomImage::CodeCount; ++n) {
            const TRomCode& ca = A.Codes[static_cast<size_t>(t)][static_cast<size_t>(n)];
            const TRomCode& cb = B.Codes[static_cast<size_t>(t)][static_cast<size_t>(n)];
            const std::string ta = TRomImageText::CodeText(A, t, n),
                              tb = TRomImageText::CodeText(B, t, n);
            const TRomPicture* ua = UserPicture(A, ca);
            const TRomPicture* ub = UserPicture(B, cb);
            std::string text;
            if (ta != tb && !(ua && ub && ca.UserBitmap == cb.UserBitmap && SamePicture(*ua, *ub)))
                text = ta + Arrow + tb;
            else if (ua && ub && !SamePicture(*ua, *ub))
                text = "user bitmap picture changed";
            if (text.empty()) continue;
            out.push_back({TRomImageText::CodeName(t, n) + ": " + text,
                           YVclUtil::Format("CTBL%d-%03d", t, n), TRomImagePainter::Code(A, t, n),
                           TRomImagePainter::Code(B, t, n)});
        }

    for (int c = 0; c < TRomImage::GlyphCount; ++c) {
        const bool printable = c > 0x20 && c < 0x7F;
        pictures(printable ? YVclUtil::Format("floor glyph %c (%02X)", c, c)
                           : YVclUtil::Format("floor glyph %02X", c),
                 YVclUtil::Format("glyph-%02X", c), A.Glyphs[static_cast<size_t>(c)],
                 B.Glyphs[static_cast<size_t>(c)]);
    }
    for (int i = 0; i < TRomImage::MessageCount; ++i) {
        int state = 0, slot = 0;
        TRomImageText::MessageSlot(i, state, slot);
        pictures(TRomImageText::MessageName(i),
                 "message-" + TRomImageText::StateName(state) + "-" +
                     std::string(1, static_cast<char>('A' + slot)),
                 A.Messages[static_cast<size_t>(i)], B.Messages[static_cast<size_t>(i)]);
    }
    for (int s = 0; s < TRomImage::DirStyleCount; ++s)
        for (int f = 0; f < TRomImage::DirFrameCount; ++f)
            pictures(YVclUtil::Format("direction style %d frame %d", s, f),
                     YVclUtil::Format("direction-%d-%02d", s, f),
                     A.DirFrames[static_cast<size_t>(s)][static_cast<size_t>(f)],
                     B.DirFrames[static_cast<size_t>(s)][static_cast<size_t>(f)]);
    if (A.Logo.Bytes != B.Logo.Bytes)
        out.push_back({"logo: picture changed", "logo", TRomImagePainter::Picture(A.Logo),
                       TRomImagePainter::Picture(B.Logo)});
    for (int i = 0; i < TRomImage::SmallGlyphCount; ++i)
        pictures("small glyph " + std::to_string(i), YVclUtil::Format("small-glyph-%02d", i),
                 A.SmallGlyphs[static_cast<size_t>(i)], B.SmallGlyphs[static_cast<size_t>(i)]);
    pictures("screen picture", "screen", A.Screen, B.Screen);

    auto blocks = [&](const char* Name, const std::vector<uint8_t>& Ba,
                      const std::vector<uint8_t>& Bb) {
        if (Ba == Bb) return;
        size_t count = 0, first = SIZE_MAX;
        for (size_t i = 0; i < std::min(Ba.size(), Bb.size()); ++i)
            if (Ba[i] != Bb[i]) {
                ++count;
                first = std::min(first, i);
            }
        out.push_back({YVclUtil::Format("%s: %s %s, the first at byte %zu", Name,
                                        YVclUtil::CountOf(count, "byte").c_str(),
                                        count == 1 ? "differs" : "differ", first),
                       "",
                       {},
                       {}});
    };
    blocks("character block", A.CharBlock, B.CharBlock);
    blocks("auxiliary block", A.AuxBlock, B.AuxBlock);

    if (out.empty() && RawA != RawB) {
        size_t count = 0, first = SIZE_MAX;
        for (size_t i = 0; i < std::min(RawA.size(), RawB.size()); ++i)
            if (RawA[i] != RawB[i]) {
                ++count;
                first = std::min(first, i);
            }
        out.push_back({YVclUtil::Format("%s %s where no item lies, the first at offset 0x%04zX",
                                        YVclUtil::CountOf(count, "byte").c_str(),
                                        count == 1 ? "differs" : "differ", first),
                       "",
                       {},
                       {}});
    }
    return out;
}

} // namespace DpuRom
