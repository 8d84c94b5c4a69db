#include "project/dputext.h"
#include "project/tbitpatterntables.h"
#include "project/tconfiguration.h"
#include "project/tglyphsource.h"
#include "project/tlabelrule.h"
#include "project/tliftstatedefaults.h"
#include "project/tproject.h"
#include "util/eygeneral.h"

#include <gtest/gtest.h>

using DpuProject::TBitPatternTables;
using DpuProject::TLabelRule;
using DpuProject::TLiftStateDefaults;
using DpuProject::TProject;
namespace DpuText = DpuProject::DpuText;

TEST(ProjectRecord, MessageMaskNormalisesToAPairOfColumns) {
    const int expected[16] = {3, 3, 3, 3, 12, 5, 6, 5, 10, 9, 10, 3, 12, 12, 12, 3};
    for (int mask = 0; mask < 16; ++mask) {
        const int stored = TProject::NormaliseMsgMask(mask);
        EXPECT_EQ(stored, expected[mask]) << "mask " << mask;
        EXPECT_EQ(__builtin_popcount(stored), 2) << "mask " << mask;
    }
    TProject p;
    p.MsgColumnChecked = {true, false, false, true};
    EXPECT_EQ(TProject::NormaliseMsgMask(p.MsgMaskFromBoxes()), 9);
    p.MsgColumnChecked = {false, false, true, false};
    EXPECT_EQ(TProject::NormaliseMsgMask(p.MsgMaskFromBoxes()), 12);
    p.SetMsgBoxesFromMask(0x1A); // bits above the fourth box are ignored
    EXPECT_EQ(p.MsgMaskFromBoxes(), 10);
}

TEST(ProjectRecord, RomFileNameAndLabelRules) {
    EXPECT_EQ(TProject::RomFileNameToSave(""), "DPU510TK3.BIN");
    EXPECT_EQ(TProject::RomFileNameToSave("   \t"), "DPU510TK3.BIN");
    EXPECT_EQ(TProject::RomFileNameToSave(" site.rom "), "site.BIN");
    EXPECT_EQ(TProject::RomFileNameToSave("site"), "site.BIN");
    EXPECT_EQ(TProject::RomFileNameToSave("a.b.c"), "a.b.BIN");
    // Only the file name: the image is written where the build writes.
    EXPECT_EQ(TProject::RomFileNameToSave("dir.x/rom"), "rom.BIN");
    // No name before the extension would make a hidden ".BIN".
    EXPECT_EQ(TProject::RomFileNameToSave("."), "DPU510TK3.BIN");
    EXPECT_EQ(TProject::RomFileNameToSave(".."), "DPU510TK3.BIN");
    EXPECT_EQ(TProject::RomFileNameToSave(".BIN"), "DPU510TK3.BIN");
    EXPECT_EQ(TProject::LabelToSave("  b1 "), "B1");
    EXPECT_EQ(TProject::LabelToSave("lobby\t"), "LOBBY");
}

TEST(ProjectRecord, ClearAllEmptiesOnlyTheTables) {
    TProject p;
    p.SetLabel(0, 0, "1");
    p.SetLabel(2, 255, "B2F");
    p.UsedCharFlags[49] = 1;
    p.DEF_FL = 2;
    p.ROMFILENAME = "X.BIN";
    p.LiftStateSlots[3][2] = "/x.bmp";
    EXPECT_TRUE(p.AnyLabel());
    p.ClearCodeTables();
    EXPECT_FALSE(p.AnyLabel());
    EXPECT_EQ(p.UsedCharFlags[49], 0);
    EXPECT_EQ(p.DEF_FL, 2);
    EXPECT_EQ(p.ROMFILENAME, "X.BIN");
    EXPECT_EQ(p.LiftStateSlots[3][2], "/x.bmp");
    p.SetLabel(1, 7, "  \t ");
    EXPECT_FALSE(p.AnyLabel()); // blanks alone count as empty
}

TEST(ProjectRecord, AccessorsRejectIndexesOutOfRange) {
    TProject p;
    EXPECT_THROW(p.SetLabel(3, 0, "x"), YVclUtil::EYGeneral);
    EXPECT_THROW(p.Label(0, 256), YVclUtil::EYGeneral);
    EXPECT_THROW(p.Slot(10, 0), YVclUtil::EYGeneral);
    EXPECT_THROW(p.SetSlot(0, -1, "x"), YVclUtil::EYGeneral);
    for (const auto& s : TProject::IntSettings())
        EXPECT_EQ(*p.IntSetting(s.Key), s.Initial) << s.Key;
    ASSERT_NE(p.IntSetting("DEF_DIR"), nullptr);
    *p.IntSetting("DEF_DIR") = 4;
    EXPECT_EQ(p.DEF_DIR, 4);
    EXPECT_EQ(p.IntSetting("NOPE"), nullptr);
}

TEST(ProjectRecord, LogoSwitching) {
    TProject p;
    p.SWAPTIME = 7;
    EXPECT_TRUE(p.SetLogoOn()); // no path yet: the window offers the dialog
    EXPECT_EQ(p.CUSLOGOENABLE, 1);
    p.TITLEFILENAME_C = "/logo.bmp";
    EXPECT_FALSE(p.SetLogoOn());
    p.SetLogoOff();
    EXPECT_EQ(p.CUSLOGOENABLE, 0);
    EXPECT_EQ(p.TITLEFILENAME_C, "");
    EXPECT_EQ(p.SWAPTIME, 7);
}

TEST(BitPatterns, PlainAndGrayTables) {
    EXPECT_EQ(TBitPatternTables::Plain(0), "000000");
    EXPECT_EQ(TBitPatternTables::Plain(10), "001010");
    EXPECT_EQ(TBitPatternTables::Plain(63), "111111");
    const char* gray[] = {"000000", "000001", "000011", "000010", "000110"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(TBitPatternTables::Gray(i), gray[i]);
    EXPECT_EQ(TBitPatternTables::Gray(31), "010000");
    EXPECT_EQ(TBitPatternTables::Gray(32), "100000");
    EXPECT_EQ(TBitPatternTables::Gray(33), "100001");
    EXPECT_EQ(TBitPatternTables::Gray(48), "111000");
    EXPECT_EQ(TBitPatternTables::Gray(63), "110000");
    EXPECT_EQ(TBitPatternTables::Gray(64), "");
    EXPECT_EQ(TBitPatternTables::ForVersion("ORV-GRY", 3), "000010");
    EXPECT_EQ(TBitPatternTables::ForVersion("orv-gry", 3), "000011");
}

TEST(LiftStateDefaults, FileNamesAndPaths) {
    EXPECT_EQ(TLiftStateDefaults::FileName(0, 0), "FIRE-16x64_EN.bmp");
    EXPECT_EQ(TLiftStateDefaults::FileName(2, 1), "BREAKDOWN-16x64_CHT.bmp");
    EXPECT_EQ(TLiftStateDefaults::FileName(2, 2), "ALARM-INV-16x64_EN.bmp");
    EXPECT_EQ(TLiftStateDefaults::FileName(3, 3), "OUT_OF_SERVICE-INV-16x64_CHT.bmp");
    EXPECT_EQ(TLiftStateDefaults::FileName(9, 1), "IND-16x64_CHT.bmp");
    EXPECT_EQ(TLiftStateDefaults::FileName(10, 0), "");

    TProject p;
    TLiftStateDefaults::FillDefaults(p, "/opt/dpu/");
    EXPECT_EQ(p.LiftStateSlots[0][0], "/opt/dpu/DefaultImage2/LiftState/FIRE-16x64_EN.bmp");
    EXPECT_EQ(p.LiftStateSlots[9][3], "/opt/dpu/DefaultImage2/LiftState/IND-INV-16x64_CHT.bmp");
    for (const auto& state : p.LiftStateSlots)
        for (const auto& slot : state)
            EXPECT_EQ(slot.rfind("/opt/dpu/DefaultImage2/LiftState/", 0), 0u);

    EXPECT_EQ(TLiftStateDefaults::FallbackPath(
                  "/opt/dpu/", "C:\\ORV\\DefaultImage2\\LiftState\\VIP-16x64_EN.bmp"),
              "/opt/dpu/DefaultImage2/LiftState/VIP-16x64_EN.bmp");
    EXPECT_EQ(TLiftStateDefaults::FallbackPath("/opt/dpu/", "/home/x/FULL-16x64_CHT.bmp"),
              "/opt/dpu/DefaultImage2/LiftState/FULL-16x64_CHT.bmp");
}

TEST(TextRules, TrimPathsAndExtensions) {
    EXPECT_EQ(DpuText::Trim("\t a b \r\n"), "a b");
    EXPECT_EQ(DpuText::UpperCase("b1\xE9z"), "B1\xE9Z");
    EXPECT_EQ(DpuText::ExtractFileNameAny("D:\\a\\b.bmp"), "b.bmp");
    EXPECT_EQ(DpuText::ExtractFileNameAny("D:b.bmp"), "b.bmp");
    EXPECT_EQ(DpuText::ExtractFileNameAny("/a/b/"), "");
    EXPECT_EQ(DpuText::ChangeFileExt("x\\y.z\\rom", ".BIN"), "x\\y.z\\rom.BIN");
    EXPECT_EQ(DpuText::JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(DpuText::JoinPath("/a", "b"), "/a/b");
}

namespace {
// A glyph source holding entries of one group, for the label rule.
class TFakeGlyphs : public DpuProject::TGlyphSource {
public:
    int Group = 1;
    std::string Codes;
    bool Loaded = true;
    bool Load(const std::string&) override { return false; }
    std::string LoadError() const override { return {}; }
    std::string LoadFailureText() const override { return {}; }
    void Release() override {}
    bool IsLoaded() const override { return Loaded; }
    const std::string& Date() const override { return NoDate; }
    bool ExtractImage(int, int, YVclUtil::TRasterImage&) override { return false; }
    bool HasEntry(int G, int Index) const override {
        return Loaded && G == Group && Index >= 0 && Index < 256 &&
               Codes.find(static_cast<char>(Index)) != std::string::npos;
    }
    std::string NoDate = "000000";
};
} // namespace

// A label is normalised in one place: what the project file saves, what MAKE
// ROM hands the builder and what the builder decides are the label rule's.
TEST(LabelRule, OneNormalisationForFileBuildAndChecks) {
    TFakeGlyphs glyphs;
    glyphs.Codes = "1B";
    const std::vector<std::string> none;
    for (const std::string label : {" b1 ", "lobby\t",
                                    "\xC3\xA9"
                                    "1",
                                    "1", ""}) {
        const std::string built = TLabelRule::BuiltText(label);
        EXPECT_EQ(TProject::LabelToSave(label), built);
        EXPECT_EQ(TLabelRule::BuiltText(built), built);
        const TLabelRule::TResult raw = TLabelRule::Decide(label, 0, glyphs, none);
        const TLabelRule::TResult once = TLabelRule::DecideBuilt(built, 0, glyphs, none);
        EXPECT_EQ(raw.Text, built);
        EXPECT_EQ(once.Text, built);
        EXPECT_EQ(once.Kind, raw.Kind);
        EXPECT_EQ(once.First, raw.First);
        EXPECT_EQ(once.Second, raw.Second);
        EXPECT_EQ(once.Reason, raw.Reason);
    }
}

TEST(LabelRule, LengthInBytesDecidesGlyphsOrUserBitmap) {
    using K = TLabelRule::TKind;
    TFakeGlyphs glyphs;
    glyphs.Codes = "015AB\xC3\xA9";
    const std::vector<std::string> none;
    EXPECT_EQ(TLabelRule::Decide("  ", 0, glyphs, none).Kind, K::Empty);
    const auto one = TLabelRule::Decide(" 05 ", 0, glyphs, none);
    EXPECT_EQ(one.Kind, K::Glyphs);
    EXPECT_EQ(one.Drawn, "5");
    EXPECT_EQ(one.First, 0);
    EXPECT_EQ(one.Second, '5');
    EXPECT_EQ(one.Reason, "");
    const auto two = TLabelRule::Decide("b1", 0, glyphs, none);
    EXPECT_EQ(two.Text, "B1");
    EXPECT_EQ(two.First, 'B');
    EXPECT_EQ(two.Second, '1');
    // Another style's group, a style outside 0..3: no glyphs.
    EXPECT_EQ(TLabelRule::Decide("b1", 1, glyphs, none).Reason, "No glyph for B and 1 in Style 1");
    EXPECT_EQ(TLabelRule::Decide("1", 7, glyphs, none).Reason, "No glyph for 1 in Style 7");
    // "é" is two bytes; the library's entries 0xC3/0xA9 never reach the image.
    const auto e = TLabelRule::Decide("\xC3\xA9", 0, glyphs, none);
    EXPECT_EQ(e.Kind, K::Glyphs);
    EXPECT_EQ(e.MissingGlyphs, std::vector<std::string>{"\xC3\xA9"});
    EXPECT_EQ(e.Reason, "No glyph for \xC3\xA9 in Style 0");
    // A byte that starts no character is named by its code.
    EXPECT_EQ(TLabelRule::Decide("\xC8", 0, glyphs, none).Reason,
              "No glyph for code 200 in Style 0");
    EXPECT_EQ(TLabelRule::Decide("QQ", 0, glyphs, none).MissingGlyphs.size(), 1u);
    glyphs.Loaded = false;
    const auto unloaded = TLabelRule::Decide("1", 0, glyphs, none);
    EXPECT_TRUE(unloaded.NoLibrary);
    EXPECT_EQ(unloaded.Reason, "No glyph library loaded");
    // Three bytes or more: a user bitmap name, never a path.
    const auto user = TLabelRule::Decide("lobby", 2, glyphs, {"/nowhere/a", "/nowhere/b"});
    EXPECT_EQ(user.Kind, K::Cancelled);
    EXPECT_FALSE(user.NotAFileName);
    EXPECT_EQ(user.BitmapName, "LOBBY.bmp");
    EXPECT_EQ(user.Folders, (std::vector<std::string>{"/nowhere/a", "/nowhere/b"}));
    EXPECT_EQ(user.Reason, "No user bitmap LOBBY.bmp in Style 2");
    for (const char* bad : {"../../../../EVIL", "A/B", "A\\B", "..X", "A\x01Z", "AB\x7F"}) {
        const auto r = TLabelRule::Decide(bad, 0, glyphs, {"/tmp"});
        EXPECT_TRUE(r.NotAFileName) << bad;
        EXPECT_EQ(r.Kind, K::Cancelled) << bad;
        EXPECT_TRUE(r.Folders.empty()) << bad; // not even looked for
    }
    EXPECT_TRUE(TLabelRule::IsFileName("MEZZ.1"));
    EXPECT_TRUE(TLabelRule::IsFileName("\xE5\xA4\xA7"));
}

TEST(LabelRule, UserBitmapFoldersStartInTheWorkspace) {
    EXPECT_EQ(TLabelRule::UserBitmapFolders("/ws", "/usr/lib/dpu/", 2),
              (std::vector<std::string>{"/ws/DefaultImage2/UserDefine/Floor/Style2",
                                        "/usr/lib/dpu/DefaultImage2/UserDefine/Floor/Style2"}));
    EXPECT_EQ(TLabelRule::UserBitmapFolders("", "/p/", 0),
              std::vector<std::string>{"/p/DefaultImage2/UserDefine/Floor/Style0"});
    EXPECT_EQ(TLabelRule::UserBitmapFolders("/p", "/p/", 1).size(), 1u);
    DpuProject::TConfiguration config;
    config.StartupDir = "/ws";
    config.ProgramDir = "/prog/";
    EXPECT_EQ(config.UserBitmapFolders(3).front(), "/ws/DefaultImage2/UserDefine/Floor/Style3");
}
