// The committed installation files under assets/, read the way the program
// reads them: every library entry the system uses is present, has its size and
// packs to the byte counts of its ROM zone; the stock bitmaps, the
// configuration file and the sample project fit together.
#include "project/tliftstatedefaults.h"
#include "rom/bitmapconversion.h"
#include "support/packinghelpers.h"
#include "support/programhelpers.h"
#include "rom/glyphlibrary.h"
#include "support/pathhelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QImage>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

#include <map>
#include <set>

using DpuProject::TLiftStateDefaults;
using DpuRom::ConvertImage;
using DpuRom::GlyphLibrary;
using DpuRom::PackImageRotated;

namespace {

const QString kAssets = QString::fromStdString(AssetsDir());

QByteArray ReadAll(const QString& relative) {
    QFile file(QDir(kAssets).filePath(relative));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// Lines of a CR LF text file; fails the test on a bare LF.
QStringList CrLfLines(const QString& relative) {
    const QByteArray bytes = ReadAll(relative);
    EXPECT_FALSE(bytes.isEmpty()) << qPrintable(relative);
    EXPECT_TRUE(bytes.endsWith("\r\n")) << qPrintable(relative);
    QStringList lines = QString::fromLatin1(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast();
    for (const QString& line : lines)
        EXPECT_FALSE(line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')))
            << qPrintable(relative);
    return lines;
}

// Sections in file order, each with its keys in file order.
struct IniText {
    QStringList Sections;
    std::map<QString, QList<QPair<QString, QString>>> Keys;
    QString Value(const QString& section, const QString& key) const {
        const auto it = Keys.find(section);
        if (it == Keys.end()) return {};
        for (const auto& kv : it->second)
            if (kv.first == key) return kv.second;
        return {};
    }
};

IniText ParseIni(const QString& relative) {
    IniText ini;
    QString current;
    for (const QString& line : CrLfLines(relative)) {
        if (line.isEmpty()) continue;
        if (line.startsWith(QLatin1Char('['))) {
            current = line.mid(1, line.size() - 2);
            ini.Sections << current;
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        EXPECT_GT(eq, 0) << qPrintable(line);
        ini.Keys[current].append({line.left(eq), line.mid(eq + 1)});
    }
    return ini;
}

class Library : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Glb = new GlyphLibrary;
        ASSERT_TRUE(Glb->Load(QDir(kAssets).filePath("D510TK3.GLB").toStdString()))
            << Glb->LastError;
    }
    static void TearDownTestSuite() {
        delete Glb;
        Glb = nullptr;
    }

    static QImage Picture(int group, int index) {
        const std::vector<uint8_t> bytes = Glb->EntryBytes(group, index);
        if (bytes.empty()) return {};
        QImage picture;
        picture.loadFromData(bytes.data(), int(bytes.size()), "BMP");
        return picture;
    }

    // Bytes an entry adds to its zone (packed length minus the header), turned
    // (DispHv 1) and not turned.
    static size_t ZoneBytes(const QImage& picture, int dispHv) {
        return ConvertImage(picture, dispHv, "entry").size() - 4;
    }

    static void ExpectEntry(int group, int index, QSize size, size_t zoneBytes) {
        const QImage picture = Picture(group, index);
        ASSERT_FALSE(picture.isNull())
            << "entry (" << group << ", " << index << ") missing or not a bitmap";
        EXPECT_EQ(picture.size(), size) << "entry (" << group << ", " << index << ")";
        for (int dispHv : {1, 0})
            EXPECT_EQ(ZoneBytes(picture, dispHv), zoneBytes)
                << "entry (" << group << ", " << index << ")";
    }

    static int Lit(const QImage& picture) {
        int n = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                n += (picture.pixel(x, y) & 0xFFFFFF) == 0 ? 1 : 0;
        return n;
    }

    static QRect Ink(const QImage& picture) {
        QRect box;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if ((picture.pixel(x, y) & 0xFFFFFF) == 0) box |= QRect(x, y, 1, 1);
        return box;
    }

    static GlyphLibrary* Glb;
};

GlyphLibrary* Library::Glb = nullptr;

TEST_F(Library, FloorGlyphsOfAllFourStylesFitTheFloorZone) {
    for (int style = 0; style < 4; ++style) {
        for (int code = 32; code <= 126; ++code)
            ExpectEntry(1 + style, code, QSize(32, 64), 256);
        // Visible and centred: ink on both sides of the middle within two pixels.
        for (int code : {'0', '1', '8', 'B', 'G', 'M', 'W'}) {
            const QRect ink = Ink(Picture(1 + style, code));
            ASSERT_FALSE(ink.isEmpty()) << style << " " << char(code);
            EXPECT_LE(std::abs(ink.left() - (31 - ink.right())), 2)
                << "style " << style << " " << char(code);
            EXPECT_GE(ink.height(), 36) << "style " << style << " " << char(code);
        }
        EXPECT_EQ(Lit(Picture(1 + style, ' ')), 0);
    }
    // The styles look different: the glyph of "8" differs in many pixels between any two.
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b) {
            const QImage pa = Picture(1 + a, '8'), pb = Picture(1 + b, '8');
            int differ = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 32; ++x)
                    differ += (pa.pixel(x, y) != pb.pixel(x, y)) ? 1 : 0;
            EXPECT_GT(differ, 150) << "styles " << a << " and " << b;
        }
}

TEST_F(Library, DirectionFramesPointUpAndAnimate) {
    for (int style = 0; style < 5; ++style) {
        std::set<QByteArray> distinct;
        for (int frame = 0; frame < 12; ++frame) {
            ExpectEntry(0, 50 + 20 * style + frame, QSize(48, 48), 288);
            const std::vector<uint8_t> raw = Glb->EntryBytes(0, 50 + 20 * style + frame);
            distinct.insert(QByteArray(reinterpret_cast<const char*>(raw.data()), int(raw.size())));
        }
        EXPECT_GE(distinct.size(), 2u) << "style " << style << " does not animate";

        // The still picture (frame 0): the arrow's tip is its top, so ink rows
        // widen from the top row down to the widest row.
        const QImage still = Picture(0, 50 + 20 * style);
        const QRect ink = Ink(still);
        ASSERT_FALSE(ink.isEmpty()) << style;
        const auto rowWidth = [&](int y) {
            int left = -1, right = -1;
            for (int x = 0; x < 48; ++x)
                if ((still.pixel(x, y) & 0xFFFFFF) == 0) {
                    if (left < 0) left = x;
                    right = x;
                }
            return left < 0 ? 0 : right - left + 1;
        };
        EXPECT_LE(rowWidth(ink.top()), 6) << "style " << style;
        EXPECT_GE(rowWidth(ink.top() + 10), rowWidth(ink.top()) + 8) << "style " << style;
        EXPECT_GE(ink.width(), 30) << "style " << style;
    }
}

TEST_F(Library, PositionScreenAndSmallGlyphsFitTheirZones) {
    for (int position = 30; position <= 32; ++position)
        ExpectEntry(0, position, QSize(64, 128), 1024);
    // The screen picture is always packed turned.
    const QImage screen = Picture(0, 40);
    ASSERT_EQ(screen.size(), QSize(64, 32));
    EXPECT_EQ(PackImageRotated(screen, "screen").size(), 4u + 256u);

    size_t smallTotal[2] = {0, 0};
    for (int i = 0; i < 39; ++i) {
        const QImage glyph = Picture(7, i);
        ASSERT_FALSE(glyph.isNull()) << "small glyph " << i;
        EXPECT_GT(Lit(glyph), 0) << "small glyph " << i;
        smallTotal[0] += ZoneBytes(glyph, 0);
        smallTotal[1] += ZoneBytes(glyph, 1);
    }
    EXPECT_LE(smallTotal[0], 512u);
    EXPECT_LE(smallTotal[1], 512u);
    EXPECT_TRUE(Glb->EntryBytes(7, 39).empty());
}

TEST_F(Library, FontBlocksOfEveryConfiguredVersionArePresent) {
    const IniText ini = ParseIni("ORVDVE510TK3.INI");
    const int count = ini.Value("GLOBAL", "VCN").toInt();
    ASSERT_GE(count, 2);
    for (int i = 1; i <= count; ++i) {
        const QString section = ini.Value("GLOBAL", QStringLiteral("ITEM%1").arg(i));
        ASSERT_TRUE(ini.Keys.count(section)) << qPrintable(section);
        const int cfi = ini.Value(section, "CFI").toInt();
        const int ifi = ini.Value(section, "IFI").toInt();
        EXPECT_GE(Glb->EntryBytes(0, cfi).size(), 7168u) << qPrintable(section);
        if (ini.Value(section, "ENCODE").toInt() == 0) {
            EXPECT_GE(Glb->EntryBytes(0, ifi).size(), 1792u) << qPrintable(section);
        }
    }
    // The entry taken when no version is configured, and the auxiliary block.
    EXPECT_EQ(Glb->EntryBytes(0, 48).size(), 7168u);
    EXPECT_EQ(Glb->EntryBytes(0, 41).size(), 1792u);
    // Character "A" (code 65, cell 33) is drawn; the control codes 127..159 are blank.
    const std::vector<uint8_t> block = Glb->EntryBytes(0, 48);
    EXPECT_GT(std::count_if(block.begin() + 33 * 32, block.begin() + 34 * 32,
                            [](uint8_t b) { return b != 0; }),
              4);
    EXPECT_TRUE(std::all_of(block.begin() + 95 * 32, block.begin() + 128 * 32,
                            [](uint8_t b) { return b == 0; }));
}

TEST(StockBitmaps, FortyMessagesWithTheStockNamesFitTheMessageZone) {
    const QDir folder(QDir(kAssets).filePath("DefaultImage2/LiftState"));
    std::set<QString> expected;
    for (int state = 0; state < 10; ++state) {
        QImage pictures[4];
        for (int slot = 0; slot < 4; ++slot) {
            const QString name = QString::fromStdString(TLiftStateDefaults::FileName(state, slot));
            expected.insert(name);
            ASSERT_TRUE(pictures[slot].load(folder.filePath(name), "BMP")) << qPrintable(name);
            EXPECT_EQ(pictures[slot].size(), QSize(64, 16)) << qPrintable(name);
            for (int dispHv : {0, 1})
                EXPECT_EQ(ConvertImage(pictures[slot], dispHv, "m").size(), 4u + 128u)
                    << qPrintable(name);
        }
        // C and D are the inverses of A and B; the English and Chinese texts differ.
        for (int slot = 0; slot < 2; ++slot)
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 64; ++x)
                    ASSERT_NE(pictures[slot].pixel(x, y) & 0xFFFFFF,
                              pictures[slot + 2].pixel(x, y) & 0xFFFFFF)
                        << "state " << state << " slot " << slot;
        EXPECT_NE(pictures[0], pictures[1]) << "state " << state;
        for (int slot = 0; slot < 2; ++slot) {
            QRect ink;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 64; ++x)
                    if ((pictures[slot].pixel(x, y) & 0xFFFFFF) == 0) ink |= QRect(x, y, 1, 1);
            EXPECT_LE(std::abs(ink.left() - (63 - ink.right())), 2)
                << "state " << state << " slot " << slot;
            EXPECT_GE(ink.height(), 6) << "state " << state << " slot " << slot; // legible capitals
        }
        int lit = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 64; ++x)
                lit += (pictures[1].pixel(x, y) & 0xFFFFFF) == 0 ? 1 : 0;
        EXPECT_GT(lit, 60) << "state " << state; // real strokes, not a stray pixel
    }
    // Nothing else in the folder.
    const QStringList present = folder.entryList(QDir::Files);
    EXPECT_EQ(present.size(), int(expected.size()));
}

TEST(StockBitmaps, UserFloorBitmapsInEveryStyleAndLogos) {
    for (int style = 0; style < 4; ++style) {
        const QDir folder(QDir(kAssets).filePath(
            QStringLiteral("DefaultImage2/UserDefine/Floor/Style%1").arg(style)));
        const QStringList files = folder.entryList({"*.bmp"}, QDir::Files);
        EXPECT_GE(files.size(), 5) << style;
        for (const QString& name : files) {
            EXPECT_GE(name.size() - 4, 3) << qPrintable(name); // labels of three or more characters
            EXPECT_EQ(name, name.toUpper().replace(".BMP", ".bmp"));
            QImage picture;
            ASSERT_TRUE(picture.load(folder.filePath(name), "BMP")) << qPrintable(name);
            EXPECT_EQ(picture.size(), QSize(64, 64));
            EXPECT_EQ(ConvertImage(picture, 1, "u").size(), 516u);
        }
    }
    QImage logo;
    ASSERT_TRUE(logo.load(QDir(kAssets).filePath("DefaultImage2/Logo/LOGO-64x64.bmp"), "BMP"));
    EXPECT_EQ(ConvertImage(logo, 1, "logo").size(), 4u + 512u); // the whole logo zone

    QImage blank;
    ASSERT_TRUE(blank.load(QDir(kAssets).filePath("SPACE_240x240.bmp"), "BMP"));
    EXPECT_EQ(blank.size(), QSize(240, 240));
    const std::vector<uint8_t> packed = ConvertImage(blank.scaled(64, 64), 1, "logo");
    EXPECT_TRUE(std::all_of(packed.begin() + 4, packed.end(), [](uint8_t b) { return b == 0; }));
}

TEST(ConfigFile, GlobalSectionAndVersions) {
    const IniText ini = ParseIni("ORVDVE510TK3.INI");
    ASSERT_FALSE(ini.Sections.isEmpty());
    EXPECT_EQ(ini.Sections.first(), "GLOBAL");
    EXPECT_EQ(ini.Value("GLOBAL", "GLB"), "D510TK3.GLB");
    const int count = ini.Value("GLOBAL", "VCN").toInt();
    QStringList versions;
    for (int i = 1; i <= count; ++i)
        versions << ini.Value("GLOBAL", QStringLiteral("ITEM%1").arg(i));
    EXPECT_TRUE(versions.contains("ORV-GRY"));
    EXPECT_EQ(ini.Value(versions.first(), "ENCODE"),
              "1"); // the version selected at start-up uploads
    for (const QString& v : versions)
        for (const char* key : {"CFI", "IFI", "DISPHV", "ENCODE"})
            EXPECT_FALSE(ini.Value(v, key).isEmpty()) << qPrintable(v) << " " << key;
}

TEST(SampleProject, KeysInSaveOrderAndEveryReferenceResolves) {
    const IniText dcf = ParseIni("sample.dcf");
    EXPECT_EQ(dcf.Sections, QStringList({"GLOBAL", "LiftStateImage", "CTBL0", "CTBL1", "CTBL2"}));
    QStringList globalKeys;
    for (const auto& kv : dcf.Keys.at("GLOBAL"))
        globalKeys << kv.first;
    EXPECT_EQ(globalKeys, QStringList({"CODENAME", "VERSION", "CUSIDCODE", "ROMFILENAME",
                                       "TITLEFILENAME_C", "SWAPTIME", "CUSLOGOENABLE", "PWRSAVING",
                                       "NODEADDR", "DEF_CTBL", "DEF_FL", "DEF_DIR", "CODEVER",
                                       "DPSTYLE", "DISPDT", "DEF_MSG", "DEF_MSGPOS"}));
    EXPECT_EQ(dcf.Value("GLOBAL", "CODENAME"), "DVE510TK3");

    // The version it names is in the configuration file.
    const IniText ini = ParseIni("ORVDVE510TK3.INI");
    EXPECT_TRUE(ini.Keys.count(dcf.Value("GLOBAL", "CODEVER")));

    // Slots: 40 keys in save order, each naming a stock bitmap by its file name.
    const auto& slotKeys = dcf.Keys.at("LiftStateImage");
    ASSERT_EQ(slotKeys.size(), 40);
    for (int i = 0; i < 40; ++i) {
        const int state = i / 4, slot = i % 4;
        EXPECT_EQ(slotKeys[i].first,
                  QStringLiteral("LeftState_%1_%2").arg(state).arg(QChar('A' + slot)));
        const QString name = slotKeys[i].second.section(QRegularExpression("[/\\\\]"), -1);
        EXPECT_EQ(name, QString::fromStdString(TLiftStateDefaults::FileName(state, slot)));
    }

    // Code tables: 256 keys each; labels of three or more characters have a user
    // bitmap in the chosen floor style; the three tables differ; no floor 13.
    const QDir userFolder(QDir(kAssets).filePath("DefaultImage2/UserDefine/Floor/Style" +
                                                 dcf.Value("GLOBAL", "DEF_FL")));
    QStringList tables[3];
    for (int t = 0; t < 3; ++t) {
        const auto& codes = dcf.Keys.at(QStringLiteral("CTBL%1").arg(t));
        ASSERT_EQ(codes.size(), 256);
        for (int n = 0; n < 256; ++n) {
            EXPECT_EQ(codes[n].first, QStringLiteral("CODE_%1").arg(n));
            const QString label = codes[n].second;
            EXPECT_EQ(label, label.trimmed().toUpper());
            EXPECT_NE(label, "13");
            if (label.size() >= 3) {
                EXPECT_TRUE(userFolder.exists(label + ".bmp")) << qPrintable(label);
            }
            tables[t] << label;
        }
        EXPECT_GE(tables[t].size() - tables[t].count(QString()), 20) << t;
    }
    EXPECT_NE(tables[0], tables[1]);
    EXPECT_NE(tables[1], tables[2]);
    EXPECT_NE(tables[0], tables[2]);
    EXPECT_TRUE(tables[1].contains("LOBBY"));
}

// The sample project builds without a warning or error line in every floor
// style (each style folder holds the user bitmaps its labels need) and every
// configured version.
TEST(SampleProject, BuildsCleanlyInEveryFloorStyleAndVersion) {
    const QString tool = BuiltProgram("dpu510tk3");
    if (tool.isEmpty()) GTEST_SKIP() << "the command-line tool is not built";
    const IniText ini = ParseIni("ORVDVE510TK3.INI");
    const QByteArray sample = ReadAll("sample.dcf");
    ASSERT_TRUE(sample.contains("\r\nDEF_FL=0\r\n"));
    ASSERT_TRUE(sample.contains("\r\nCODEVER=ORV-INITDL\r\n"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"D510TK3.GLB", "ORVDVE510TK3.INI", "SPACE_240x240.bmp"})
        ASSERT_TRUE(QFile::copy(QDir(kAssets).filePath(name), dir.filePath(name)));
    for (int i = 1; i <= ini.Value("GLOBAL", "VCN").toInt(); ++i) {
        const QByteArray version = ini.Value("GLOBAL", QStringLiteral("ITEM%1").arg(i)).toLatin1();
        for (int style = 0; style < 4; ++style) {
            QByteArray project = sample;
            project.replace("\r\nDEF_FL=0\r\n", "\r\nDEF_FL=" + QByteArray::number(style) + "\r\n");
            project.replace("\r\nCODEVER=ORV-INITDL\r\n", "\r\nCODEVER=" + version + "\r\n");
            QFile file(dir.filePath("p.dcf"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(project);
            file.close();

            QProcess run;
            run.setWorkingDirectory(dir.path());
            run.start(tool, {"make-rom", "p.dcf", "-o", "P.BIN"});
            ASSERT_TRUE(run.waitForFinished(60000));
            const QString out = QString::fromStdString(OutputText(run.readAllStandardOutput()));
            const QString err = QString::fromLatin1(run.readAllStandardError());
            EXPECT_EQ(run.exitCode(), 0) << qPrintable(err);
            EXPECT_EQ(out, "DPU-510TK3 Make ROM OK\n")
                << "style " << style << ", " << version.constData() << ":\n"
                << qPrintable(out + err);
            EXPECT_EQ(QFile(dir.filePath("P.BIN")).size(), 64512);
        }
    }
}

} // namespace
