// Usage errors of every command and of the simulator: a wrong option, a
// missing value and an extra argument each end with status 2, nothing on
// standard output, and the same two lines on standard error, the reason and
// the synopsis that --help begins with.

#include "cli/cliarguments.h"
#include "support/platformhelpers.h"
#include "support/programhelpers.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using TRun = TProgramRun;

class CliUsageTest : public testing::Test {
protected:
    TRun Run(const QString& Program, const QStringList& Args) {
        return RunBuilt(Program, Args, Dir.path());
    }

    // The command's synopsis, as the first line of its help says it.
    std::string Synopsis(const QString& Command) {
        const TRun help = Run("dpu510tk3", {Command, "--help"});
        EXPECT_EQ(help.Status, 0) << help.Err;
        return "dpu510tk3 " + help.Out.substr(0, help.Out.find('\n'));
    }

    // Runs dpu510tk3 Command Args and expects exactly the usage error Reason.
    void ExpectUsage(const QString& Command, const QStringList& Args, const std::string& Reason) {
        const std::string args = (QStringList{Command} + Args).join(' ').toStdString();
        const TRun r = Run("dpu510tk3", QStringList{Command} + Args);
        EXPECT_EQ(r.Status, 2) << args;
        EXPECT_EQ(r.Out, "") << args;
        EXPECT_EQ(r.Err, "dpu510tk3 " + Command.toStdString() + ": " + Reason +
                             "\nusage: " + Synopsis(Command) + "\n")
            << args;
    }

    QTemporaryDir Dir;
};

TEST_F(CliUsageTest, MakeRom) {
    ExpectUsage("make-rom", {"-x", "a.dcf"}, "unknown option \"-x\"");
    ExpectUsage("make-rom", {"a.dcf", "-o"}, "-o needs a value");
    // An option where the value belongs is not taken for the file name.
    ExpectUsage("make-rom", {"a.dcf", "-o", "--strict"}, "-o needs a value");
    ExpectUsage("make-rom", {"a.dcf", "-o", ""}, "-o needs a value");
    ExpectUsage("make-rom", {}, "PROJECT.dcf is missing");
    ExpectUsage("make-rom", {"a.dcf", "b.dcf"}, "unexpected argument \"b.dcf\"");
    ExpectUsage("make-rom", {"a.dcf", "--strict=no"}, "--strict takes no value");
}

// "-o=FILE" gives FILE, as "--output=FILE" would; a path to write that is no
// UTF-8 is refused rather than written under another name.
TEST(CliArguments, ShortOptionWithEqualsAndPathsNotInUtf8) {
    std::string output, glb;
    TCliArguments args("prog", "prog IN -o OUT", "");
    args.OutputPath("-o", output);
    args.Value("--glb", glb);
    int exit = -1;
    ASSERT_TRUE(args.Parse({"-o=x.BIN", "--glb=L.GLB"}, exit));
    EXPECT_EQ(output, "x.BIN");
    EXPECT_EQ(glb, "L.GLB");
    for (const std::string bad : {"\xFF.BIN", "out/\xC3", "\xE0\x80\x80", "\xED\xA0\x80"}) {
        std::string out;
        TCliArguments again("prog", "prog -o OUT", "");
        again.OutputPath("-o", out);
        EXPECT_FALSE(again.Parse({"-o", bad}, exit));
        EXPECT_EQ(exit, 2);
    }
    std::string good;
    TCliArguments utf8("prog", "prog -o OUT", "");
    utf8.OutputPath("-o", good);
    EXPECT_TRUE(utf8.Parse({"-o", "\xCE\xA9\xF0\x9F\x98\x80.BIN"}, exit));
}

TEST_F(CliUsageTest, Upload) {
    ExpectUsage("upload", {"R.BIN", "--port", "/dev/null", "--bogus"},
                "unknown option \"--bogus\"");
    ExpectUsage("upload", {"R.BIN", "--port"}, "--port needs a value");
    ExpectUsage("upload", {"R.BIN", "--port", "COM1", "--response-timeout-ms"},
                "--response-timeout-ms needs a value");
    ExpectUsage("upload", {"R.BIN"}, "--port is missing");
    ExpectUsage("upload", {"--port", "COM1"}, "ROM.BIN is missing");
    ExpectUsage("upload", {"R.BIN", "S.BIN", "--port", "COM1"}, "unexpected argument \"S.BIN\"");
    ExpectUsage("upload", {"R.BIN", "--port", "COM17"},
                "--port COM17: port number 17 is out of range (COM1 to COM16)");
    ExpectUsage("upload", {"R.BIN", "--port", "COM1", "--response-timeout-ms", "9x"},
                "--response-timeout-ms wants milliseconds from 1 to 3600000, not \"9x\"");
}

TEST_F(CliUsageTest, SyncTime) {
    // --force belongs to upload only.
    ExpectUsage("sync-time", {"--port", "COM1", "--force"}, "unknown option \"--force\"");
    ExpectUsage("sync-time", {"--port"}, "--port needs a value");
    ExpectUsage("sync-time", {}, "--port is missing");
    ExpectUsage("sync-time", {"--port", "COM1", "R.BIN"}, "unexpected argument \"R.BIN\"");
    ExpectUsage("sync-time", {"--port", "COM1", "--response-timeout-ms", "0"},
                "--response-timeout-ms wants milliseconds from 1 to 3600000, not \"0\"");
    ExpectUsage("sync-time", {"--port", "COM1", "--msg=yes"}, "--msg takes no value");
}

TEST_F(CliUsageTest, Inspect) {
    ExpectUsage("inspect", {"R.BIN", "--bogus"}, "unknown option \"--bogus\"");
    ExpectUsage("inspect", {"R.BIN", "--png"}, "--png needs a value");
    ExpectUsage("inspect", {"--glb", "", "R.BIN"}, "--glb needs a value");
    ExpectUsage("inspect", {"--json"}, "ROM.BIN is missing");
    ExpectUsage("inspect", {"R.BIN", "S.BIN"}, "unexpected argument \"S.BIN\"");
}

TEST_F(CliUsageTest, Diff) {
    ExpectUsage("diff", {"A.BIN", "B.BIN", "--bogus"}, "unknown option \"--bogus\"");
    ExpectUsage("diff", {"A.BIN", "B.BIN", "--glb"}, "--glb needs a value");
    ExpectUsage("diff", {"A.BIN"}, "B.BIN is missing");
    ExpectUsage("diff", {"A.BIN", "B.BIN", "C.BIN"}, "unexpected argument \"C.BIN\"");
}

TEST_F(CliUsageTest, Recover) {
    ExpectUsage("recover", {"R.BIN", "-o", "P.dcf", "--bogus"}, "unknown option \"--bogus\"");
    ExpectUsage("recover", {"R.BIN", "-o", "P.dcf", "--user-bitmaps"},
                "--user-bitmaps needs a value");
    ExpectUsage("recover", {"R.BIN"}, "-o is missing");
    ExpectUsage("recover", {"-o", "P.dcf"}, "ROM.BIN is missing");
    ExpectUsage("recover", {"R.BIN", "S.BIN", "-o", "P.dcf"}, "unexpected argument \"S.BIN\"");
}

// Before a command is known the usage lists every command's synopsis.
TEST_F(CliUsageTest, NoCommand) {
    const std::string usage = "\nusage: " + Synopsis("make-rom") + "\n       " + Synopsis("upload");
    for (const auto& [args, reason] : std::vector<std::pair<QStringList, std::string>>{
             {{}, "COMMAND is missing"},
             {{"frobnicate"}, "unknown command \"frobnicate\""},
             {{"-x"}, "unknown option \"-x\""}}) {
        const TRun r = Run("dpu510tk3", args);
        EXPECT_EQ(r.Status, 2) << reason;
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err.rfind("dpu510tk3: " + reason + usage, 0), 0u) << r.Err;
        EXPECT_NE(r.Err.find("\n       dpu510tk3 recover ROM.BIN -o PROJECT.dcf"),
                  std::string::npos);
    }
}

// Help wins over any mistake beside it, and "--" ends the options.
TEST_F(CliUsageTest, HelpAndOperandsThatLookLikeOptions) {
    const TRun help = Run("dpu510tk3", {"make-rom", "-x", "--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_EQ(help.Out.rfind("make-rom PROJECT.dcf [-o FILE] [--strict]\n", 0), 0u) << help.Out;
    const TRun dashed = Run("dpu510tk3", {"inspect", "--", "-absent.BIN"});
    EXPECT_EQ(dashed.Status, 1) << dashed.Err;
    EXPECT_NE(dashed.Err.find("-absent.BIN"), std::string::npos) << dashed.Err;
}

// The tool's help lists every synopsis, then each command's help under its
// synopsis, which stands there once: the same text "COMMAND --help" prints.
TEST_F(CliUsageTest, EachSynopsisHeadsItsCommandsHelpOnce) {
    const TRun all = Run("dpu510tk3", {"--help"});
    ASSERT_EQ(all.Status, 0);
    for (const char* command : {"make-rom", "upload", "sync-time", "inspect", "diff", "recover"}) {
        const TRun one = Run("dpu510tk3", {command, "--help"});
        ASSERT_EQ(one.Status, 0) << command;
        const std::string synopsis = one.Out.substr(0, one.Out.find('\n') + 1);
        EXPECT_EQ(synopsis.rfind(std::string(command) + " ", 0), 0u) << one.Out;
        EXPECT_EQ(one.Out.find(synopsis, 1), std::string::npos) << one.Out;
        EXPECT_EQ(one.Out.compare(synopsis.size(), 2, "  "), 0) << one.Out;
        EXPECT_NE(all.Out.find("\n  " + synopsis), std::string::npos) << command;
        EXPECT_NE(all.Out.find("\n" + one.Out), std::string::npos) << command;
    }
}

TEST_F(CliUsageTest, Simulator) {
    if (RunningOnWindows()) GTEST_SKIP() << "the display simulator is a Linux program";
    const std::string usage = "\nusage: dpu510tk3-sim [--port DEVICE] [--out FILE] [--reject "
                              "PERCENT] [--seed N]\n";
    const struct {
        QStringList Args;
        std::string Reason;
    } cases[] = {
        {{"--bogus"}, "unknown option \"--bogus\""},
        {{"--out"}, "--out needs a value"},
        {{"--once", "extra"}, "unexpected argument \"extra\""},
        {{"--reject", "101"}, "--reject wants a percentage from 0 to 100, not \"101\""},
        {{"--idle-ms", "0"}, "--idle-ms wants milliseconds of at least 1, not \"0\""},
    };
    for (const auto& c : cases) {
        const TRun r = Run("dpu510tk3-sim", c.Args);
        EXPECT_EQ(r.Status, 2) << c.Reason;
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err.rfind("dpu510tk3-sim: " + c.Reason + usage, 0), 0u) << r.Err;
        EXPECT_NE(r.Err.find("       dpu510tk3-sim --help | --version\n"), std::string::npos)
            << r.Err;
    }
}

} // namespace
