// The grid's label check, the preview and MAKE ROM answer every label alike:
// which characters have glyphs in which style, what a label beyond ASCII
// becomes, when a user bitmap is used and which file, and why nothing shows.
#include "app/tlabelchecker.h"
#include "app/tsetuppage.h"
#include "project/dputext.h"
#include "project/tconfiguration.h"
#include "project/tlabelpreview.h"
#include "project/tlabelrule.h"
#include "project/tproject.h"
#include "rom/glyphlibrary.h"
#include "rom/romlayout.h"
#include "rom/tmakerom.h"
#include "support/ttestglyphs.h"
#include "support/tscriptedprompts.h"
#include "support/ttestworkspace.h"

#include <QDir>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using DpuProject::TConfiguration;
using DpuProject::TLabelPreview;
using DpuProject::TLabelRule;
using DpuProject::TProject;
using DpuRom::GlyphLibrary;
using DpuRom::TMakeRom;
namespace RomLayout = DpuRom::RomLayout;

namespace {

const std::string kStyleFolder = "DefaultImage2/UserDefine/Floor/Style";

bool Contains(const std::vector<std::string>& Lines, const std::string& Part) {
    return std::any_of(Lines.begin(), Lines.end(),
                       [&](const std::string& L) { return L.find(Part) != std::string::npos; });
}

// Whether the 32-pixel column band at Left of the preview holds anything but white.
bool BandDrawn(const YVclUtil::TRasterImage& Preview, int Left) {
    for (int y = 0; y < 64; ++y)
        for (int x = Left; x < Left + 32; ++x)
            if ((Preview.Pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return true;
    return false;
}

} // namespace

TEST(LabelRule, CheckPreviewAndMakeRomAgreeOnEveryLabel) {
    TTestWorkspace ws;
    // A library with gaps: no 'Q' anywhere, no 'A' in style 2, and entries
    // for the bytes of "é" (0xC3 0xA9), which the image never takes.
    TTestGlyphs glyphs = FullTestLibrary();
    glyphs.Entries.erase({3, 'A'});
    glyphs.Entries[{1, 0xC3}] = BmpBytes(Marked(16, 16));
    glyphs.Entries[{1, 0xA9}] = BmpBytes(Marked(16, 16));
    const std::string glb = ws.File("RULE.GLB");
    ASSERT_TRUE(WriteGlyphLibrary(glb, glyphs.Entries));
    GlyphLibrary library;
    ASSERT_TRUE(library.Load(glb)) << library.LastError;

    TConfiguration config;
    config.StartupDir = ws.Path().toStdString();
    config.ProgramDir = ws.File("prog/");
    config.GlbName = "RULE.GLB";
    config.CFI = 1;
    config.DISPHV = 0;
    // User bitmaps: some in the workspace, some beside the program, one in both.
    auto userBitmap = [&](const std::string& Root, int Style, const std::string& Name, int Seed) {
        const std::string folder = Root + "/" + kStyleFolder + std::to_string(Style);
        QDir().mkpath(QString::fromStdString(folder));
        ASSERT_TRUE(TTestWorkspace::SaveBmp(TTestWorkspace::Mark(64, 64, Seed),
                                            folder + "/" + Name + ".bmp"));
    };
    for (int style : {0, 2}) {
        userBitmap(config.StartupDir, style, "MEZZ", 1);
        userBitmap(config.ProgramDir, style, "ROOF", 2);
        userBitmap(config.StartupDir, style, "LOBBY", 3);
        userBitmap(config.ProgramDir, style, "LOBBY", 4);
        userBitmap(config.StartupDir, style, "\xE5\xA4\xA7", 5); // 大
        userBitmap(config.StartupDir, style,
                   "\xC3\xA9"
                   "1",
                   6); // é1
    }
    // A picture where "../EVIL" would lead from the style folder: never read.
    userBitmap(config.StartupDir, 0, "../EVIL", 7);

    const std::vector<std::string> labels = {"1",
                                             "5",
                                             "05",
                                             "0",
                                             "00",
                                             "b1",
                                             "AB",
                                             "a",
                                             "Q",
                                             "Q1",
                                             "QQ",
                                             " 7 ",
                                             "~",
                                             "\xC3\xA9",
                                             "\xC3\xA9\xC3\xA9",
                                             "\xC3\xA9"
                                             "1",
                                             "\xE5\xA4\xA7",
                                             "0\xC3\xA9",
                                             "MEZZ",
                                             "mezz",
                                             "ROOF",
                                             "LOBBY",
                                             "NOPE",
                                             "../EVIL",
                                             "A/B",
                                             "A\\B",
                                             "A..B",
                                             "A\x01"
                                             "B",
                                             "A\tB",
                                             "12A",
                                             "-",
                                             "S",
                                             ""};

    for (int style : {0, 2}) {
        SCOPED_TRACE("style " + std::to_string(style));
        TProject project;
        project.DEF_FL = style;
        for (size_t i = 0; i < labels.size(); ++i)
            project.SetLabel(0, static_cast<int>(i), labels[i]);
        TSetupPage page;
        QTableWidget& grid = *page.findChild<QTableWidget*>(QStringLiteral("CodeGrid"));
        TLabelChecker checker(project, config, library, &page);
        checker.CheckAll();

        TScriptedPrompts prompts;
        TMakeRom command(project, config, library, prompts, &prompts);
        command.OutputFile = ws.File("RULE" + std::to_string(style) + ".BIN");
        ASSERT_TRUE(command.Run()) << command.LastErrMsg;
        const std::vector<uint8_t>& image = command.Builder().Image;
        const std::vector<std::string>& log = prompts.Log;
        // Characters are named as typed, never by the bytes of their text.
        EXPECT_FALSE(Contains(log, "code 195")) << "log names é by its bytes";
        EXPECT_FALSE(Contains(log, "code 169"));

        for (size_t i = 0; i < labels.size(); ++i) {
            const std::string& label = labels[i];
            SCOPED_TRACE("label \"" + label + "\"");
            const int code = static_cast<int>(i);
            const TLabelRule::TResult rule =
                TLabelRule::Decide(label, style, library, config.UserBitmapFolders(style));

            // The grid's check says what the rule says, first line word for word.
            const QString problem = grid.item(code, 2)->toolTip();
            EXPECT_EQ(problem.section('\n', 0, 0).toStdString(), rule.Reason);
            EXPECT_EQ(grid.item(code, 2)->data(Qt::BackgroundRole).isValid(), !rule.Reason.empty());

            // The preview: its line is the rule's reason; glyph halves are
            // drawn exactly where the image has the glyph.
            YVclUtil::TRasterImage preview;
            std::string why;
            TLabelPreview::Render(label, style, config.UserBitmapFolders(style), library, preview,
                                  why);
            if (rule.Kind == TLabelRule::TKind::Empty)
                EXPECT_EQ(why, "Empty cell");
            else
                EXPECT_EQ(why, rule.Reason);
            const size_t first = RomLayout::CodeTableFirst(0) + i;
            const size_t second = RomLayout::CodeTableSecond(0) + i;
            const bool cancelled =
                std::count(command.CancelledCells.begin(), command.CancelledCells.end(),
                           std::make_pair(0, code)) == 1;
            switch (rule.Kind) {
            case TLabelRule::TKind::Empty:
                EXPECT_EQ(image[first], 0);
                EXPECT_EQ(image[second], 0);
                EXPECT_TRUE(BandDrawn(preview, 0) == false && BandDrawn(preview, 32) == false);
                break;
            case TLabelRule::TKind::Glyphs: {
                EXPECT_EQ(image[first], rule.First);
                EXPECT_EQ(image[second], rule.Second);
                EXPECT_FALSE(cancelled);
                // The image's glyph table has exactly the glyphs the rule draws.
                for (size_t k = 0; k < rule.Drawn.size(); ++k) {
                    const auto c = static_cast<unsigned char>(rule.Drawn[k]);
                    const bool inImage = c < 128 && (image[RomLayout::GlyphTable + 2 * c] != 0 ||
                                                     image[RomLayout::GlyphTable + 2 * c + 1] != 0);
                    EXPECT_EQ(rule.HasGlyph[k], inImage) << "byte " << int(c);
                    const int left = rule.Drawn.size() == 1 ? 16 : 32 * static_cast<int>(k);
                    EXPECT_EQ(BandDrawn(preview, left), rule.HasGlyph[k]) << "byte " << int(c);
                }
                // MAKE ROM warns about the same characters, named as typed.
                const std::string line = "CTBL0-" + DpuProject::DpuText::CodeText(code) + " \"" +
                                         rule.Text + "\": no glyph for ";
                EXPECT_EQ(Contains(log, line), !rule.MissingGlyphs.empty());
                for (const std::string& ch : rule.MissingGlyphs)
                    EXPECT_TRUE(Contains(log, line + "\"" + ch + "\"") || Contains(log, line + ch))
                        << ch;
                break;
            }
            case TLabelRule::TKind::UserBitmap: {
                EXPECT_EQ(image[first], 0xFE);
                ASSERT_LT(image[second], 128);
                EXPECT_EQ(command.Builder().UserBitmapPaths().at(image[second]), rule.BitmapPath);
                EXPECT_FALSE(cancelled);
                EXPECT_EQ(project.Label(0, code), label);
                EXPECT_TRUE(BandDrawn(preview, 0) || BandDrawn(preview, 32));
                break;
            }
            case TLabelRule::TKind::Cancelled:
                EXPECT_EQ(image[first], 0);
                EXPECT_EQ(image[second], 0);
                EXPECT_TRUE(cancelled);
                EXPECT_EQ(project.Label(0, code), "");
                EXPECT_FALSE(BandDrawn(preview, 0) || BandDrawn(preview, 32));
                EXPECT_TRUE(
                    Contains(log, "[Warning] CTBL0-" + DpuProject::DpuText::CodeText(code)));
                break;
            }
        }
        // Which file each user-bitmap label took: the workspace's first, then the program's.
        auto kindOf = [&](const std::string& Label) {
            return TLabelRule::Decide(Label, style, library, config.UserBitmapFolders(style));
        };
        EXPECT_EQ(kindOf("LOBBY").BitmapPath,
                  config.StartupDir + "/" + kStyleFolder + std::to_string(style) + "/LOBBY.bmp");
        EXPECT_EQ(kindOf("ROOF").BitmapPath,
                  config.ProgramDir + kStyleFolder + std::to_string(style) + "/ROOF.bmp");
        // What labels beyond ASCII become: "é" is two bytes without glyphs,
        // "é1" and "大" name user bitmaps.
        EXPECT_EQ(kindOf("\xC3\xA9").Kind, TLabelRule::TKind::Glyphs);
        EXPECT_EQ(kindOf("\xC3\xA9").Reason,
                  "No glyph for \xC3\xA9 in Style " + std::to_string(style));
        EXPECT_EQ(kindOf("\xC3\xA9"
                         "1")
                      .Kind,
                  TLabelRule::TKind::UserBitmap);
        EXPECT_EQ(kindOf("\xE5\xA4\xA7").Kind, TLabelRule::TKind::UserBitmap);
        EXPECT_EQ(kindOf("NOPE").Reason,
                  "No user bitmap NOPE.bmp in Style " + std::to_string(style));
        EXPECT_EQ(kindOf("A").Kind, TLabelRule::TKind::Glyphs);
        EXPECT_EQ(kindOf("A").Reason.empty(), style == 0);
        for (const char* path : {"../EVIL", "A/B", "A\\B", "A..B",
                                 "A\x01"
                                 "B",
                                 "A\tB"})
            EXPECT_TRUE(kindOf(path).NotAFileName) << path;
    }
}
