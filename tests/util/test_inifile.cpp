#include "util/errmsgbox.h"
#include "util/eyconverterror.h"
#include "util/eygeneral.h"
#include "util/eyinifileerror.h"
#include "util/tyinifile.h"
#include "util/tystrtab.h"
#include "support/tboundedcall.h"
#include "support/tunprivilegedfiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace YVclUtil;

namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        previous = SetErrMsgBoxHandler([this](const std::string& caption, const std::string& text) {
            boxes.push_back(caption + "|" + text);
        });
    }
    void TearDown() override { SetErrMsgBoxHandler(previous); }

    std::string Path(const std::string& name) const {
        return dir.path().toStdString() + "/" + name;
    }

    // Loads Text as a file, then forces a save of the loaded content and
    // returns the bytes written.
    std::string Normalise(const std::string& text) {
        WriteBytes(Path("in.ini"), text);
        {
            TYIniFile ini(Path("in.ini"));
            ini.pw_FileName(Path("out.ini"));
        }
        return ReadBytes(Path("out.ini"));
    }

    QTemporaryDir dir;
    ErrMsgBoxHandler previous;
    std::vector<std::string> boxes;
};

} // namespace

TEST_F(IniFileTest, MissingFileIsCreatedEmptyWithItsFolder) {
    const std::string path = Path("new/settings.ini");
    {
        TYIniFile ini(path);
        EXPECT_FALSE(ini.pr_Modified());
    }
    ASSERT_TRUE(Exists(path));
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(IniFileTest, FolderTwoLevelsDeepIsNotCreated) {
    const std::string path = Path("a/b/settings.ini");
    try {
        TYIniFile ini(path);
        FAIL() << "no exception";
    } catch (const EYGeneral& e) {
        EXPECT_STREQ(e.what(), "Err: Constructor !!!");
        EXPECT_EQ(e.Code, -1);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "TYIniFile|Err: Can not create directory \n \"" + Path("a/b/") + "\" ");
}

// A missing file is created where its name is, never through a dangling link.
TEST_F(IniFileTest, MissingFileIsNeverCreatedThroughALink) {
    const std::string link = Path("settings.ini");
    ASSERT_EQ(::symlink(Path("elsewhere.ini").c_str(), link.c_str()), 0);
    EXPECT_THROW(TYIniFile ini(link), EYGeneral);
    EXPECT_FALSE(Exists(Path("elsewhere.ini")));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("TYIniFile|Err: Can not create file", 0), 0u) << boxes[0];
}

TEST_F(IniFileTest, SectionAndKeyNamesAreExact) {
    WriteBytes(Path("f.ini"), "[Main]\nglb=file.glb\n");
    TYIniFile ini(Path("f.ini"));
    EXPECT_EQ(ini.ReadString("Main", "glb", "d"), "file.glb");
    EXPECT_EQ(ini.ReadString("Main", "GLB", "d"), "d");
    EXPECT_EQ(ini.ReadString("main", "glb", "d"), "d");
    EXPECT_TRUE(ini.SectionExists("Main"));
    EXPECT_FALSE(ini.SectionExists(""));
    EXPECT_EQ(ini.ReadString("", "glb", "d"), "d");
    ini.WriteString("", "k", "v");
    ini.WriteString("Main", "", "v");
    ini.EraseSection("");
    ini.DeleteKey("", "glb");
    EXPECT_FALSE(ini.pr_Modified());
    const std::string k257(257, 'k');
    ini.WriteString("Main", k257, "v");
    EXPECT_FALSE(ini.KeyExists("Main", k257));
    ini.WriteString(k257, "k", "v");
    EXPECT_FALSE(ini.SectionExists(k257));
}

TEST_F(IniFileTest, KeysValuesAndTheirRemoval) {
    TYIniFile ini(Path("f.ini"));
    ini.WriteString("S", "a", "1");
    ini.WriteString("S", "b", "");
    ini.WriteString("S", "c", "3");
    EXPECT_TRUE(ini.KeyExists("S", "b"));
    EXPECT_FALSE(ini.ValueExists("S", "b"));
    EXPECT_TRUE(ini.ValueExists("S", "a"));
    ini.DeleteValue("S", "a");
    EXPECT_TRUE(ini.KeyExists("S", "a"));
    EXPECT_FALSE(ini.ValueExists("S", "a"));
    ini.DeleteKey("S", "c");
    EXPECT_FALSE(ini.KeyExists("S", "c"));
    ini.WriteString("T", "x", "y");
    ini.DeleteKey("T", "x");
    EXPECT_TRUE(ini.SectionExists("T"));
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(Path("f.ini")), "[S]\r\na=\r\nb=\r\n\r\n[T]\r\n\r\n");
    ini.DeleteKey("S", "zz");
    ini.DeleteValue("Q", "a");
    ini.EraseSection("Q");
    EXPECT_FALSE(ini.pr_Modified());
    TYIniFile again(Path("f.ini"));
    EXPECT_FALSE(again.KeyExists("S", "a")) << "keys without a value are not read back";
    EXPECT_FALSE(again.SectionExists("T"));
}

TEST_F(IniFileTest, EraseSectionKeepsTheOrderOfTheOthers) {
    TYIniFile ini(Path("f.ini"));
    for (const char* s : {"One", "Two", "Three"})
        ini.WriteString(s, "k", s);
    EXPECT_TRUE(ini.SectionExists("Two")); // primes the last-section shortcut
    ini.EraseSection("Two");
    EXPECT_FALSE(ini.SectionExists("Two"));
    EXPECT_EQ(ini.ReadString("Three", "k", ""), "Three");
    ini.WriteString("Two", "k", "again");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(Path("f.ini")),
              "[One]\r\nk=One\r\n\r\n[Three]\r\nk=Three\r\n\r\n[Two]\r\nk=again\r\n\r\n");
}

TEST_F(IniFileTest, UnchangedFileIsNotRewritten) {
    WriteBytes(Path("f.ini"), "[S]\nk = v\n");
    struct stat before {};
    ASSERT_EQ(::stat(Path("f.ini").c_str(), &before), 0);
    {
        TYIniFile ini(Path("f.ini"));
        EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
        EXPECT_TRUE(ini.UpdateFile());
    }
    struct stat after {};
    ASSERT_EQ(::stat(Path("f.ini").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(ReadBytes(Path("f.ini")), "[S]\nk = v\n");
}

TEST_F(IniFileTest, SaveReplacesTheFileWholeAndKeepsItsMode) {
    WriteBytes(Path("f.ini"), "[S]\nk=old\n");
    ASSERT_EQ(::chmod(Path("f.ini").c_str(), 0640), 0);
    ASSERT_EQ(::symlink("f.ini", Path("link.ini").c_str()), 0);
    {
        TYIniFile ini(Path("link.ini"));
        ini.WriteString("S", "k", "new");
    }
    EXPECT_EQ(ReadBytes(Path("f.ini")), "[S]\r\nk=new\r\n\r\n");
    struct stat st {};
    ASSERT_EQ(::lstat(Path("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    ASSERT_EQ(::stat(Path("f.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2)
        << "no temporary file is left behind";
}

TEST_F(IniFileTest, FailedSaveIsReportedAndKeepsChanges) {
    TYIniFile ini(Path("f.ini"));
    ini.WriteString("S", "k", "v");
    ini.pw_FileName(Path("missing/f.ini"));
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_TRUE(ini.pr_Modified());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "TYIniFile|Err: Can not create file \n \"" + Path("missing/f.ini") + "\" ");
    EXPECT_EQ(ReadBytes(Path("f.ini")), "") << "the original stays as it was";
    ini.pw_FileName(Path("f.ini"));
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_FALSE(ini.pr_Modified());
    EXPECT_EQ(ReadBytes(Path("f.ini")), "[S]\r\nk=v\r\n\r\n");
}

// Loading asks for no write access: a write-protected file loads, and only
// its save is refused, saying why, with the file left as it was.
TEST_F(IniFileTest, WriteProtectedFileLoadsAndOnlyItsSaveIsRefused) {
    ASSERT_EQ(::chmod(dir.path().toStdString().c_str(), 0777), 0);
    WriteBytes(Path("ro.ini"), "[S]\nk=old\n");
    ASSERT_EQ(::chmod(Path("ro.ini").c_str(), 0444), 0);
    TUnprivilegedFiles nobody;
    ASSERT_TRUE(nobody.Effective());
    {
        TYIniFile ini(Path("ro.ini"));
        EXPECT_EQ(ini.ReadString("S", "k", ""), "old");
        ini.WriteString("S", "k", "new");
        EXPECT_FALSE(ini.UpdateFile());
        EXPECT_TRUE(ini.pr_Modified());
        EXPECT_EQ(ini.pr_LastErrMsg(), "Permission denied");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], "TYIniFile|Err: Can not create file \n \"" + Path("ro.ini") + "\" ");
        ini.pw_FileName(Path("rw.ini"));
    }
    EXPECT_EQ(ReadBytes(Path("ro.ini")), "[S]\nk=old\n");
    EXPECT_EQ(ReadBytes(Path("rw.ini")), "[S]\r\nk=new\r\n\r\n");
}

// What is there but is no regular file is neither read nor created over: a
// folder and a FIFO fail construction at once with their reason, and a save
// to them leaves them as they are.
TEST_F(IniFileTest, FoldersAndFifosAreRefusedWithTheirReason) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("adir"));
    try {
        TYIniFile ini(Path("adir"));
        FAIL() << "no exception";
    } catch (const EYIniFileError& e) {
        EXPECT_STREQ(e.what(), "Err: Constructor !!!");
        EXPECT_EQ(e.Code, -1);
        EXPECT_EQ(e.FileName, Path("adir"));
        EXPECT_EQ(e.Reason, "Is a directory");
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "TYIniFile|Err: Can not open file \n \"" + Path("adir") + "\" ");

    const std::string fifo = Path("settings.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string reason;
    EXPECT_TRUE(TBoundedCall::Run(
        [&] {
            try {
                TYIniFile ini(fifo);
            } catch (const EYIniFileError& e) {
                reason = e.Reason;
            }
        },
        fifo));
    EXPECT_EQ(reason, "Not a regular file");

    TYIniFile ini(Path("f.ini"));
    ini.WriteString("S", "k", "v");
    for (const std::string& target : {fifo, Path("adir")}) {
        ini.pw_FileName(target);
        EXPECT_FALSE(ini.UpdateFile());
        EXPECT_EQ(ini.pr_LastErrMsg(), target == fifo ? "Not a regular file" : "Is a directory");
    }
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::lstat(Path("adir").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    ini.pw_FileName(Path("f.ini"));
}

TEST_F(IniFileTest, TypedValuesAreWrittenInTheirTextForms) {
    TYIniFile ini(Path("f.ini"));
    ini.WriteInteger("S", "int", -42);
    ini.WriteUnsigned("S", "uns", 4294967295u);
    ini.WriteHexNum("S", "hex0", 0);
    ini.WriteHexNum("S", "hex", 255);
    ini.WriteFloat("S", "float", 1.5);
    for (int style = 0; style <= 4; ++style) {
        ini.WriteBool("S", "t" + std::to_string(style), true, style);
        ini.WriteBool("S", "f" + std::to_string(style), false, style);
    }
    ini.Printf("S", "fmt", "%s-%03d", "id", 7);
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(Path("f.ini")),
              "[S]\r\nint=-42\r\nuns=-1\r\nhex0=0x0\r\nhex=0xFF\r\nfloat=1.500000\r\n"
              "t0=1\r\nf0=0\r\nt1=True\r\nf1=False\r\nt2=High\r\nf2=Low\r\nt3=Yes\r\nf3=Not\r\n"
              "t4=1\r\nf4=0\r\nfmt=id-007\r\n\r\n");
    EXPECT_EQ(ini.ReadUnsigned("S", "uns", 0), 4294967295u);
    EXPECT_EQ(ini.ReadInteger("S", "int", 0), -42);
    EXPECT_EQ(ini.ReadFloat("S", "float", 0), 1.5);
}

TEST_F(IniFileTest, TypedReadsFollowTheirConversionRules) {
    WriteBytes(Path("f.ini"),
               "[N]\nhex=0x0\nhexonly=0x\ncapital=0X1F\nzz=zz\nlow=0x1f\nplain=255\nneg=-1\n"
               "big=99999999999\ntrail=12abc\nf0=0.0\nfabc=abc\nfexp=2.5e3\nbad=12abc\ndollar=$1F\n"
               "[B]\nnot=Not\nno=No\nn=n\non=on\nhigh=high\n"
               "[T]\nwhen=2024-03-05 06:07:08\nday=2024-03-05\ntime=06:07:08\nbroken=2024-13-01\n");
    TYIniFile ini(Path("f.ini"));
    EXPECT_EQ(ini.ReadHexNum("N", "hex", 9), 0u);
    EXPECT_EQ(ini.ReadHexNum("N", "hexonly", 9), 0u);
    EXPECT_EQ(ini.ReadHexNum("N", "capital", 9), 0u);
    EXPECT_EQ(ini.ReadHexNum("N", "zz", 9), 9u);
    EXPECT_EQ(ini.ReadHexNum("N", "low", 9), 31u);
    EXPECT_EQ(ini.ReadHexNum("N", "plain", 9), 255u);
    EXPECT_EQ(ini.ReadUnsigned("N", "neg", 9), 4294967295u);
    EXPECT_EQ(ini.ReadUnsigned("N", "big", 9), 4294967295u);
    EXPECT_EQ(ini.ReadUnsigned("N", "trail", 9), 12u);
    EXPECT_EQ(ini.ReadUnsigned("N", "missing", 9), 9u);
    EXPECT_EQ(ini.ReadFloat("N", "f0", 7.0), 0.0);
    EXPECT_EQ(ini.ReadFloat("N", "fabc", 7.0), 7.0);
    EXPECT_EQ(ini.ReadFloat("N", "fexp", 7.0), 2500.0);
    EXPECT_EQ(ini.ReadFloat("N", "trail", 7.0), 12.0);
    EXPECT_THROW(ini.ReadInteger("N", "bad", 0), EYConvertError);
    EXPECT_EQ(ini.ReadInteger("N", "dollar", 0), 31);
    EXPECT_EQ(ini.ReadInteger("N", "missing", 5), 5);

    EXPECT_FALSE(ini.ReadBool("B", "not", true));
    EXPECT_FALSE(ini.ReadBool("B", "no", true));
    EXPECT_FALSE(ini.ReadBool("B", "n", true));
    EXPECT_TRUE(ini.ReadBool("B", "on", true));
    EXPECT_FALSE(ini.ReadBool("B", "on", false));
    EXPECT_TRUE(ini.ReadBool("B", "high", false));

    TDateTime when;
    TDateTime::TryEncode(2024, 3, 5, 6, 7, 8, 0, when);
    EXPECT_EQ(ini.ReadDateTime("T", "when", TDateTime()), when);
    EXPECT_EQ(std::trunc(ini.ReadDate("T", "day", TDateTime()).Val), std::trunc(when.Val));
    EXPECT_NEAR(ini.ReadTime("T", "time", TDateTime()).Val, when.Val - std::trunc(when.Val), 1e-9);
    EXPECT_THROW(ini.ReadDate("T", "broken", TDateTime()), EYConvertError);
    EXPECT_EQ(ini.ReadDate("T", "missing", TDateTime(3.0)), TDateTime(3.0));

    ini.WriteDateTime("T", "copy", when);
    EXPECT_EQ(ini.ReadDateTime("T", "copy", TDateTime()), when);
    ini.WriteCurrentDate("T", "today");
    EXPECT_EQ(ini.ReadDate("T", "today", TDateTime()).Val, std::trunc(TDateTime::Now().Val));
}

TEST_F(IniFileTest, ComparisonsUseTheValueOrEmpty) {
    TYIniFile ini(Path("f.ini"));
    ini.WriteString("VtnTopologic.Head", "Signature", "orv");
    EXPECT_EQ(ini.StrICmp("VtnTopologic.Head", "Signature", "ORV"), 0);
    EXPECT_NE(ini.StrCmp("VtnTopologic.Head", "Signature", "ORV"), 0);
    EXPECT_EQ(ini.StrCmp("VtnTopologic.Head", "Signature", "orv"), 0);
    EXPECT_LT(ini.StrCmp("VtnTopologic.Head", "Missing", "a"), 0);
    EXPECT_EQ(ini.StrCmp("VtnTopologic.Head", "Missing", ""), 0);
}

TEST_F(IniFileTest, LongValuesHaveTheirLimits) {
    TYIniFile ini(Path("f.ini"));
    const std::string v8191(8191, 'a'), v8192(8192, 'b'), v16384(16384, 'c');
    ini.WriteString("S", "fits", v8191);
    ini.WriteString("S", "unsaved", v8192);
    ini.WriteString("S", "unread", v16384);
    EXPECT_EQ(ini.ReadString("S", "unsaved", "d"), v8192);
    EXPECT_EQ(ini.ReadString("S", "unread", "d"), "d");
    EXPECT_TRUE(ini.ValueExists("S", "unread")) << "too long to read back, but present";
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(Path("f.ini")), "[S]\r\nfits=" + v8191 + "\r\nunsaved=\r\nunread=\r\n\r\n");
}

TEST_F(IniFileTest, RefusedNamesLeaveNothingInTheArena) {
    TYStrTab tab;
    TYIniFile ini(Path("f.ini"), &tab);
    ini.WriteString("S", "k", "v");
    const int32_t before = tab.pr_StringCount();
    ini.WriteString("S", std::string(257, 'k'), "value");
    ini.WriteString(std::string(257, 's'), "k", "value");
    EXPECT_EQ(tab.pr_StringCount(), before);
}

TEST_F(IniFileTest, FilesSharingAnArenaStayApart) {
    TYStrTab tab;
    {
        auto first = std::make_unique<TYIniFile>(Path("a.ini"), &tab);
        TYIniFile second(Path("b.ini"), &tab);
        first->WriteString("S", "k", "first");
        second.WriteString("S", "k", "second");
        first.reset();
        EXPECT_EQ(second.ReadString("S", "k", ""), "second");
    }
    EXPECT_EQ(tab.pr_StringCount(), 0) << "every name and value went back to the arena";
    EXPECT_EQ(ReadBytes(Path("a.ini")), "[S]\r\nk=first\r\n\r\n");
}

TEST_F(IniFileTest, RandomContentSurvivesSaveAndReloadModuloTrimming) {
    std::mt19937 rng(2024);
    auto pick = [&](const std::string& alphabet, size_t maxLen) {
        std::string s(1 + rng() % maxLen, ' ');
        for (char& c : s)
            c = alphabet[rng() % alphabet.size()];
        return s;
    };
    const std::string nameChars = "abcXYZ019_.- ";
    std::string valueChars = " \t=[]#;";
    for (int c = 0x21; c < 0x7F; ++c)
        valueChars += static_cast<char>(c);
    valueChars += "\xC3\xA9\xFF\x80";

    using Section = std::vector<std::pair<std::string, std::string>>;
    std::vector<std::pair<std::string, Section>> model;
    auto find = [](auto& list, const std::string& name) {
        for (auto it = list.begin(); it != list.end(); ++it)
            if (it->first == name) return it;
        return list.end();
    };
    {
        TYIniFile ini(Path("r.ini"));
        for (int i = 0; i < 600; ++i) {
            std::string section = "s" + pick(nameChars, 3);
            std::string key = "k" + pick(nameChars, 4);
            if (section.back() == ' ' || key.back() == ' ')
                continue; // trailing blanks of names do not survive by design
            std::string value = rng() % 8 == 0 ? std::string() : pick(valueChars, 30);
            ini.WriteString(section, key, value);
            auto s = find(model, section);
            if (s == model.end()) {
                model.push_back({section, {}});
                s = model.end() - 1;
            }
            auto k = find(s->second, key);
            if (k == s->second.end())
                s->second.push_back({key, value});
            else
                k->second = value;
        }
    }
    std::string expected, trimmed;
    for (auto& [section, keys] : model) {
        expected += "[" + section + "]\r\n";
        std::string body;
        for (auto& [key, value] : keys) {
            expected += key + "=" + value + "\r\n";
            size_t b = value.find_first_not_of(" \t");
            size_t e = value.find_last_not_of(' ');
            if (b != std::string::npos && e != std::string::npos && b <= e)
                body += key + "=" + value.substr(b, e - b + 1) + "\r\n";
        }
        expected += "\r\n";
        if (!body.empty()) trimmed += "[" + section + "]\r\n" + body + "\r\n";
    }
    EXPECT_EQ(ReadBytes(Path("r.ini")), expected);
    WriteBytes(Path("in.ini"), ReadBytes(Path("r.ini")));
    EXPECT_EQ(Normalise(ReadBytes(Path("r.ini"))), trimmed);
}

TEST_F(IniFileTest, HostileInputLoadsWithoutTrouble) {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    text += "[big]\nline=" + std::string(100 * 1024, 'x') + "\n";
    text += std::string("[bin\xff\xfe]\n\xc3\x28=\xa0\xa1\n", 14);
    WriteBytes(Path("f.ini"), text);
    TYIniFile ini(Path("f.ini"));
    EXPECT_EQ(ini.ReadInteger("s99999", "k", -1), 99999);
    EXPECT_EQ(ini.ReadInteger("s0", "k", -1), 0);
    EXPECT_EQ(ini.ReadString("big", "line", "").size(), 8191u - 5);
    EXPECT_EQ(ini.ReadString("bin\xff\xfe", "\xc3\x28", ""), "\xa0\xa1");
    EXPECT_TRUE(boxes.empty());
}
