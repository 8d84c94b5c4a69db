// The INI engine on bytes held in memory, and its files reached through the
// file-access unit: portable, so it runs in the Windows build under Wine too
// (tests/windows). The Unix file behaviour (permissions, FIFOs, links) is in
// test_inifile.cpp.

#include "support/filehelpers.h"
#include "util/errmsgbox.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"
#include "util/tyinifile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

using namespace YVclUtil;

namespace {

std::span<const uint8_t> AsBytes(const std::string& Text) {
    return {reinterpret_cast<const uint8_t*>(Text.data()), Text.size()};
}

class IniBytesTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = SetErrMsgBoxHandler([this](const std::string& caption, const std::string& text) {
            boxes.push_back(caption + "|" + text);
        });
    }
    void TearDown() override {
        SetErrMsgBoxHandler(previous);
        if (!dir.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    }

    // A fresh folder of the test's own under the system's temporary folder.
    std::string Folder() {
        if (dir.empty()) {
            const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
            dir =
                std::filesystem::temp_directory_path() / ("dpu_inibytes_" + std::to_string(stamp));
            std::filesystem::create_directories(dir);
        }
        return dir.string();
    }
    std::string Path(const std::string& name) { return Folder() + "/" + name; }

    std::string ReadBytes(const std::string& path) {
        std::vector<uint8_t> bytes;
        std::string reason;
        EXPECT_TRUE(ReadWholeFile(path, bytes, reason)) << path << ": " << reason;
        return std::string(bytes.begin(), bytes.end());
    }

    // Parses Text as a file's content and returns what a save writes.
    static std::string Normalise(const std::string& text) {
        TYIniFile ini(AsBytes(text));
        return ini.SaveToString();
    }

    std::filesystem::path dir;
    ErrMsgBoxHandler previous;
    std::vector<std::string> boxes;
};

} // namespace

TEST_F(IniBytesTest, LoadsRepeatedSectionsAndKeysAndSavesNormalised) {
    EXPECT_EQ(Normalise("[A]\n   Depth  =   7   \n\n# comment\n[A]\nDepth=9\n"),
              "[A]\r\nDepth=9\r\n\r\n");
    EXPECT_EQ(Normalise("[First]\r\nb=2\r\na=1\r\n[Second]\r\nz=0\r\n[First]\r\nb=3\r\n"),
              "[First]\r\nb=3\r\na=1\r\n\r\n[Second]\r\nz=0\r\n\r\n");
}

// A caller's limits stop the parse at the first new section or key past
// them, keeping what came before; replacing a value is no new key. Without
// limits the engine takes everything, as always.
TEST_F(IniBytesTest, LimitsStopTheParseAtTheFirstSectionOrKeyTooMany) {
    const std::string text = "[A]\na=1\nb=2\n[B]\nc=3\na=4\n[A]\na=5\n[C]\nd=6\n";
    TYIniFile all(AsBytes(text));
    EXPECT_EQ(all.pr_OverLimit(), "");
    EXPECT_EQ(all.ReadString("C", "d", ""), "6");

    TYIniFile twoSections(AsBytes(text), TYIniFile::TLimits{2, 100});
    EXPECT_EQ(twoSections.pr_OverLimit(), "sections");
    EXPECT_EQ(twoSections.SaveToString(), "[A]\r\na=5\r\nb=2\r\n\r\n[B]\r\nc=3\r\na=4\r\n\r\n");

    TYIniFile fourKeys(AsBytes(text), TYIniFile::TLimits{100, 4});
    EXPECT_EQ(fourKeys.pr_OverLimit(), "keys");
    EXPECT_EQ(fourKeys.SaveToString(), "[A]\r\na=5\r\nb=2\r\n\r\n[B]\r\nc=3\r\na=4\r\n\r\n");

    TYIniFile exact(AsBytes(text), TYIniFile::TLimits{3, 5});
    EXPECT_EQ(exact.pr_OverLimit(), "");
}

TEST_F(IniBytesTest, LoaderGrammar) {
    struct Case {
        const char* input;
        const char* saved;
    };
    const Case cases[] = {
        {"[S]\nk=\nj=   \n", ""},                       // no empty values
        {"[S]\na=b=c\n", "[S]\r\na=b=c\r\n\r\n"},       // first '=' splits
        {"[S]\nt=x\t\t\n", "[S]\r\nt=x\t\t\r\n\r\n"},   // only blanks are trimmed
        {"orphan=1\n[S]\nk=v\n", "[S]\r\nk=v\r\n\r\n"}, // pair before any section
        {"[S]\n  #k=v\n#j=w\n", "[S]\r\n#k=v\r\n\r\n"}, // '#' only in column one
        {"  [  Name \t ]  trailing\nk=v\n", "[Name \t]\r\nk=v\r\n\r\n"},
        {"[]\nk=v\n[   ]\nj=w\n", ""}, // empty names open nothing
        {"[S]x=1\n", ""},              // a header, rest ignored
        {"[S\nk=v\n", ""},             // no ']': not a header
        {"[S]\nno equals sign\n=v\n", ""},
        {"[S]\n\tkey\t = \t value \n", "[S]\r\nkey\t=value\r\n\r\n"},
        {"[S]\nk=v\rtail\n", "[S]\r\nk=v\r\n\r\n"}, // value ends at a lone CR
        {"[S]\n\rk=v\n", ""},                       // line starting with CR
        {"[S]\nk=v", "[S]\r\nk=v\r\n\r\n"},         // no final line end
        {"[S]\nk=v\r\r\n", "[S]\r\nk=v\r\n\r\n"},
        {"[S]\nglb=1\nGLB=2\n", "[S]\r\nglb=1\r\nGLB=2\r\n\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Normalise(c.input), c.saved) << "input: " << c.input;
}

TEST_F(IniBytesTest, ZeroBytesEndTheParsedLine) {
    const std::string text = std::string("[S]\nk=ab\0cd\nj\0=1\n", 17) + "m=2\n";
    EXPECT_EQ(Normalise(text), "[S]\r\nk=ab\r\nm=2\r\n\r\n");
}

TEST_F(IniBytesTest, ByteOrderMarkAtTheStartIsSkipped) {
    EXPECT_EQ(Normalise("\xEF\xBB\xBF[S]\r\nk=1\r\n"), "[S]\r\nk=1\r\n\r\n");
    // Only at the start: elsewhere the bytes are text like any other.
    EXPECT_EQ(Normalise("[S]\r\n\xEF\xBB\xBFk=1\r\n"), "[S]\r\n\xEF\xBB\xBFk=1\r\n\r\n");
}

// Text the engine would misread without a word is named, with what it is.
TEST_F(IniBytesTest, TextFaultNamesWideTextZeroBytesAndLoneCarriageReturns) {
    const std::string ini = "[GLOBAL]\r\nGLB=X.GLB\r\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\xFF\xFE" + Utf16Text(ini), "is UTF-16 text (byte-order mark FF FE)"},
        {"\xFE\xFF" + Utf16Text(ini, true), "is UTF-16 text (byte-order mark FE FF)"},
        {std::string("\xFF\xFE\0\0[\0\0\0", 8), "is UTF-32 text (byte-order mark FF FE 00 00)"},
        {Utf16Text(ini), "is UTF-16 text without a byte-order mark"},
        {"[GLOBAL]\rGLB=X.GLB\rVCN=1\r", "ends lines with CR alone (line 1); only CR LF or LF "
                                         "end a line"},
        {"[GLOBAL]\nGLB=X\r\nA=1\rB=2\n", "ends lines with CR alone (line 3); only CR LF or LF "
                                          "end a line"},
        {std::string("[S]\nk=1\nj=a\0b\n", 14), "holds a zero byte on line 3"},
        // What the engine reads as written.
        {ini, ""},
        {"[S]\nk=1\n", ""},
        {"\xEF\xBB\xBF[S]\r\nk=1\r\r\n", ""},
        {"[S]\r\nk=1\r", ""},
        {"", ""},
    };
    for (const auto& [bytes, fault] : cases)
        EXPECT_EQ(TYIniFile::TextFault(AsBytes(bytes)), fault) << bytes;
}

TEST_F(IniBytesTest, LongLinesArriveInPieces) {
    // The second piece of the long line starts with "x=1" and parses as a pair.
    std::string text = "[S]\nlong=" + std::string(8191 - 5, 'v') + "x=1 and more\nk=v\n";
    const std::string saved = Normalise(text);
    EXPECT_EQ(saved, "[S]\r\nlong=" + std::string(8186, 'v') + "\r\nx=1 and more\r\nk=v\r\n\r\n");
    // A line of exactly 8190 bytes plus its line end is still one piece.
    text = "[S]\nk=" + std::string(8188, 'w') + "\n";
    EXPECT_EQ(Normalise(text), "[S]\r\nk=" + std::string(8188, 'w') + "\r\n\r\n");
}

// The same bytes read from a file and given in memory make the same content,
// and a save writes exactly what SaveToString shows: the output layout of
// stored project files (a golden file of their kind here) does not move.
TEST_F(IniBytesTest, FileAndBytesLoadAlikeAndSaveTheGoldenLayout) {
    const std::string text =
        "\xEF\xBB\xBF# project\n[Setting]\nPWRSAVING = 1 \nTYPE=0x3\n\n"
        "[CTBL0]\r\nCODE_0=1F\r\nCODE_1=\r\nCODE_2=B1\r\n[Setting]\nNAME=a=b\n";
    const std::string golden = "[Setting]\r\nPWRSAVING=1\r\nTYPE=0x3\r\nNAME=a=b\r\n\r\n"
                               "[CTBL0]\r\nCODE_0=1F\r\nCODE_2=B1\r\n\r\n";
    std::string reason;
    ASSERT_TRUE(WriteFileAtomically(Path("p.dcf"), text.data(), text.size(), reason)) << reason;
    {
        TYIniFile fromFile(Path("p.dcf"));
        TYIniFile fromBytes(AsBytes(text));
        EXPECT_EQ(fromFile.SaveToString(), golden);
        EXPECT_EQ(fromBytes.SaveToString(), golden);
        EXPECT_FALSE(fromBytes.pr_Modified());
        EXPECT_EQ(fromBytes.pr_FileName(), "");
        fromFile.WriteString("Setting", "TYPE", "0x3"); // same value: still a save
        ASSERT_TRUE(fromFile.UpdateFile());
    }
    EXPECT_EQ(ReadBytes(Path("p.dcf")), golden);
    EXPECT_TRUE(boxes.empty());
}

// Bytes in memory have no file: a change cannot be saved until a name is
// given, and going away writes nothing anywhere.
TEST_F(IniBytesTest, BytesInMemoryTouchNoFileUntilNamed) {
    const std::string cwdDefault = "UnknownIniFile.ini";
    ASSERT_FALSE(IsRegularFile(cwdDefault));
    {
        TYIniFile ini(AsBytes("[S]\nk=v\n"));
        ini.WriteInteger("S", "n", 7);
        EXPECT_TRUE(ini.pr_Modified());
        EXPECT_FALSE(ini.UpdateFile());
        EXPECT_EQ(ini.pr_LastErrMsg(), "No file name");
        EXPECT_TRUE(ini.pr_Modified()) << "the change is kept";
        EXPECT_EQ(ini.ReadInteger("S", "n", 0), 7);
    }
    EXPECT_FALSE(IsRegularFile(cwdDefault));
    EXPECT_TRUE(boxes.empty());

    TYIniFile ini(AsBytes("[S]\nk=v\n"));
    ini.pw_FileName(Path("named.ini"));
    ASSERT_TRUE(ini.UpdateFile()) << ini.pr_LastErrMsg();
    EXPECT_EQ(ReadBytes(Path("named.ini")), "[S]\r\nk=v\r\n\r\n");
    EXPECT_EQ(ini.SaveToString(), "[S]\r\nk=v\r\n\r\n");
}

TEST_F(IniBytesTest, MissingFileIsCreatedEmptyWithOneLevelOfFolder) {
    {
        TYIniFile ini(Path("new/settings.ini"));
        EXPECT_FALSE(ini.pr_Modified());
    }
    uint64_t size = 99;
    EXPECT_TRUE(IsRegularFile(Path("new/settings.ini"), &size));
    EXPECT_EQ(size, 0u);
    EXPECT_THROW(TYIniFile ini(Path("a/b/settings.ini")), EYGeneral);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "TYIniFile|Err: Can not create directory \n \"" + Path("a/b/") + "\" ");
}

// Numbers keep '.' and the C library's reading on every platform.
TEST_F(IniBytesTest, FloatsUseThePointAndTheCReading) {
    TYIniFile ini(AsBytes("[F]\nws= \t+1.5e3x\nhex=0x1p4\nneg=-0.25\nbad=abc\nbig=1e999\n"
                          "inf=-INF\nsign=--1\ncomma=1,5\ntiny=1e-999\nhexonly=0x\n"));
    EXPECT_EQ(ini.ReadFloat("F", "ws", 0), 1500.0);
    EXPECT_EQ(ini.ReadFloat("F", "hex", 0), 16.0);
    EXPECT_EQ(ini.ReadFloat("F", "neg", 0), -0.25);
    EXPECT_EQ(ini.ReadFloat("F", "bad", 7.0), 7.0);
    EXPECT_EQ(ini.ReadFloat("F", "big", 0), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ini.ReadFloat("F", "inf", 0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(ini.ReadFloat("F", "sign", 7.0), 7.0);
    EXPECT_EQ(ini.ReadFloat("F", "comma", 0), 1.0);
    EXPECT_EQ(ini.ReadFloat("F", "tiny", 7.0), 0.0);
    EXPECT_EQ(ini.ReadFloat("F", "hexonly", 7.0), 0.0);
    const double values[] = {2.5, -0.125, 1e20, 0.0, 1.0 / 3, 123456789.0000005};
    const char* texts[] = {"2.500000", "-0.125000", "100000000000000000000.000000",
                           "0.000000", "0.333333",  "123456789.000001"};
    for (size_t i = 0; i < std::size(values); ++i) {
        ini.WriteFloat("W", "v", values[i]);
        EXPECT_EQ(ini.ReadString("W", "v", ""), texts[i]);
    }
    ini.WriteFloat("W", "v", -std::numeric_limits<double>::infinity());
    EXPECT_EQ(ini.ReadString("W", "v", ""), "-inf");
}
