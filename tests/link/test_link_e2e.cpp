// The command-line tool against the display simulator over a pseudo-terminal.
#include "util/crc8.h"
#include "support/pathhelpers.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString BinDir() {
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2);
}

struct Result {
    int Exit = -1;
    QString Out, Err;
};

class LinkE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        WriteIni(1);
    }
    void TearDown() override {
        if (Sim.state() != QProcess::NotRunning) {
            Sim.terminate();
            Sim.waitForFinished(5000);
        }
    }
    void WriteIni(int Encode) {
        QFile f(Dir.filePath("ORVDVE510TK3.INI"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(
            QStringLiteral("[GLOBAL]\r\nGLB=D510TK3.GLB\r\nVCN=1\r\nITEM1=ORV-E2E\r\n[ORV-E2E]\r\n"
                           "CFI=1\r\nIFI=41\r\nDISPHV=1\r\nENCODE=%1\r\n")
                .arg(Encode)
                .toLatin1());
    }
    // Starts the simulator and returns the pseudo-terminal it plays on.
    QString StartSim(QStringList Args) {
        Args << "--out" << Dir.filePath("sim.bin") << "--c-interval-ms"
             << "100";
        Sim.setWorkingDirectory(Dir.path());
        Sim.start(BinDir() + "/dpu510tk3-sim", Args);
        if (!Sim.waitForStarted(5000)) return {};
        while (!Sim.canReadLine())
            if (!Sim.waitForReadyRead(5000)) return {};
        return QString::fromLatin1(Sim.readLine()).trimmed();
    }
    QString SimOutput() {
        Sim.waitForFinished(10000);
        return QString::fromLatin1(Sim.readAll());
    }
    Result Cli(const QStringList& Args, int WaitMs = 60000,
               const QProcessEnvironment& Env = QProcessEnvironment::systemEnvironment()) {
        QProcess p;
        p.setWorkingDirectory(Dir.path());
        p.setProcessEnvironment(Env);
        p.start(BinDir() + "/dpu510tk3", Args);
        Result r;
        if (!p.waitForFinished(WaitMs)) {
            p.kill();
            p.waitForFinished(2000);
            r.Err = "did not finish in time";
            return r;
        }
        r.Exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.Out = QString::fromLatin1(p.readAllStandardOutput());
        r.Err = QString::fromLatin1(p.readAllStandardError());
        return r;
    }
    // An image of Size bytes whose first 256 bytes are encoded as MAKE ROM
    // does: a pattern in its blocks and zones, and the tables a display image
    // holds (CRC table copies, empty code and address tables, a settings
    // record), so the upload's check passes it as far as the file goes.
    QString WriteRom(qsizetype Size) {
        QByteArray b(Size, 0);
        for (qsizetype i = 0; i < Size; ++i)
            b[i] = static_cast<char>((i * 31 + (i >> 8)) ^ (i < 256 ? YVclUtil::Crc8Table[i] : 0));
        auto fill = [&](qsizetype From, qsizetype To, auto Byte) {
            for (qsizetype i = From; i < To && i < Size; ++i)
                b[i] = static_cast<char>(Byte(i - From));
        };
        const auto zero = [](qsizetype) { return 0; };
        const auto crc = [](qsizetype i) { return YVclUtil::Crc8Table[i & 0xFF]; };
        fill(0x20A8, 0x21A8, crc);  // CRC table copy
        fill(0x21A8, 0x2808, zero); // settings record, code tables, message table
        fill(0x3C08, 0x3C80, zero); // direction tables
        fill(0x8000, 0x8100, zero); // glyph address table
        fill(0x8100, 0x8400, crc);  // user-bitmap table and the two reserved tables
        const QString path = Dir.filePath("ROM.BIN");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(b);
        return path;
    }
    // What the display must hold after an upload of Rom: its first 62464
    // bytes with the first 256 decoded.
    QByteArray Expected(const QString& Rom) {
        QFile f(Rom);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray b = f.readAll().left(62464);
        for (int i = 0; i < 256; ++i)
            b[i] = static_cast<char>(static_cast<uint8_t>(b[i]) ^ YVclUtil::Crc8Table[i]);
        return b;
    }
    QByteArray SimImage() {
        QFile f(Dir.filePath("sim.bin"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static int Count(const QString& Text, const QString& Prefix) {
        int n = 0;
        for (const auto& l : Text.split('\n'))
            n += l.startsWith(Prefix);
        return n;
    }

    QTemporaryDir Dir;
    QProcess Sim;
};

} // namespace

TEST_F(LinkE2E, UploadsMakeRomImageThroughRejections) {
    const QString assets = QString::fromStdString(AssetsDir());
    const QStringList inputs = {"ORVDVE510TK3.INI", "D510TK3.GLB", "SPACE_240x240.bmp",
                                "sample.dcf"};
    for (const auto& name : inputs)
        if (!QFile::exists(assets + "/" + name))
            GTEST_SKIP() << "the installation files are not generated yet (" << name.toStdString()
                         << ")";
    for (const auto& name : inputs) {
        QFile::remove(Dir.filePath(name));
        ASSERT_TRUE(QFile::copy(assets + "/" + name, Dir.filePath(name)));
    }
    const Result rom = Cli({"make-rom", "sample.dcf", "-o", "ROM.BIN"});
    ASSERT_EQ(rom.Exit, 0) << rom.Err.toStdString();
    ASSERT_EQ(QFileInfo(Dir.filePath("ROM.BIN")).size(), 64512);

    const QString pty = StartSim({"--once", "--reject", "5", "--seed", "11"});
    ASSERT_FALSE(pty.isEmpty());
    const Result up = Cli({"upload", "ROM.BIN", "--port", pty});
    ASSERT_EQ(up.Exit, 0) << up.Out.toStdString() << up.Err.toStdString();
    EXPECT_TRUE(up.Out.contains("===> UpLoad ROM image finish.<===\n"));
    SimOutput();
    EXPECT_EQ(SimImage(), Expected(Dir.filePath("ROM.BIN")));
}

TEST_F(LinkE2E, UploadWithMsgOnResendsEveryRejectedFrame) {
    const QString rom = WriteRom(64512);
    const QString pty = StartSim({"--once", "--reject", "5", "--seed", "3"});
    ASSERT_FALSE(pty.isEmpty());
    const Result up = Cli({"upload", rom, "--port", pty, "--msg"});
    ASSERT_EQ(up.Exit, 0) << up.Err.toStdString();
    const QString sim = SimOutput();
    const auto m = QRegularExpression("Frames: (\\d+) received, (\\d+) rejected").match(sim);
    ASSERT_TRUE(m.hasMatch()) << sim.toStdString();
    const int rejected = m.captured(2).toInt();
    EXPECT_GT(rejected, 0);
    // A "C" the display sent just before block 1 reached it may restart a
    // slow host at block 1 (as the display allows), so blocks can be sent
    // more than 976 times; each frame is still one line, each NAK one resend.
    const int sent = Count(up.Out, "===> Send data block: ");
    EXPECT_GE(sent, 976);
    EXPECT_EQ(Count(up.Out, "===> Send data block: 976,"), 1);
    EXPECT_EQ(Count(up.Out, "===> Resend data block: "), rejected);
    EXPECT_EQ(m.captured(1).toInt(), sent + rejected);
    EXPECT_TRUE(QRegularExpression("\nTime = \\d+ ms\n").match(up.Out).hasMatch())
        << up.Out.toStdString();
    EXPECT_TRUE(up.Out.startsWith(">>> Open " + pty + " <<<\n*** UpLoad ROM image ***\n"));
    EXPECT_EQ(SimImage(), Expected(rom));
}

TEST_F(LinkE2E, ShortImageEndsOnBlock975AndTheDisplayKeepsIt) {
    const QString rom = WriteRom(62400);
    // The tool's exit hangs up the port, which ends the transfer at once.
    const QString pty = StartSim({"--once"});
    ASSERT_FALSE(pty.isEmpty());
    const Result up = Cli({"upload", rom, "--port", pty});
    ASSERT_EQ(up.Exit, 0) << up.Err.toStdString();
    // The display never sees a block 976: the upload ends when the host stops.
    EXPECT_TRUE(Sim.waitForFinished(10000));
    EXPECT_TRUE(SimOutput().contains("Image: 975 blocks"));
    EXPECT_EQ(SimImage(), Expected(rom));
}

TEST_F(LinkE2E, ImageOfAnotherSizeIsSentOnlyWhenForced) {
    const QString rom = WriteRom(62401);
    const QString pty = StartSim({"--once"});
    ASSERT_FALSE(pty.isEmpty());
    const Result refused = Cli({"upload", rom, "--port", pty});
    EXPECT_EQ(refused.Exit, 1);
    EXPECT_TRUE(refused.Err.contains("dpu510tk3 upload: " + rom + " is not a display image: "))
        << refused.Err.toStdString();
    EXPECT_FALSE(refused.Out.contains(">>> Open")) << refused.Out.toStdString();

    const Result up = Cli({"upload", rom, "--port", pty, "--force"});
    ASSERT_EQ(up.Exit, 0) << up.Err.toStdString();
    EXPECT_TRUE(up.Out.startsWith("*** Warning: " + rom + " is not a display image: "))
        << up.Out.toStdString();
    EXPECT_TRUE(up.Out.contains(
        "=== Waiting DPU-510TK3 respond.... ===\n*** Warning: " + rom +
        " is 62401 bytes; a built image holds 64512 bytes, of which 62464 are sent ***\n"))
        << up.Out.toStdString();
    EXPECT_TRUE(up.Out.contains("===> UpLoad ROM image finish.<===\n"));
    SimOutput();
    // 976 blocks as always: the file, then zeros.
    const QByteArray got = SimImage();
    ASSERT_EQ(got.size(), 62464);
    EXPECT_EQ(got.left(62401), Expected(rom));
    EXPECT_EQ(got.mid(62401), QByteArray(63, '\0'));
}

TEST_F(LinkE2E, SyncTimeGivesTheDisplayTheLocalTime) {
    const QString pty = StartSim({"--once", "--reject", "5", "--seed", "5"});
    ASSERT_FALSE(pty.isEmpty());
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const Result r = Cli({"sync-time", "--port", pty});
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    ASSERT_EQ(r.Exit, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains("*** Date & Time Sync. ***\n=== Waiting DPU-510TK3 respond.... ===\n"
                               "===> Date & Time Sync. finish <===\n"));
    const auto m =
        QRegularExpression("Date-time: (\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) weekday (\\d)")
            .match(SimOutput());
    ASSERT_TRUE(m.hasMatch());
    QDateTime given = QDateTime::fromString(m.captured(1), "yy-MM-dd HH:mm:ss");
    given = given.addYears(100 * ((before.date().year() - given.date().year() + 50) / 100));
    EXPECT_GE(given.secsTo(after), 0);
    EXPECT_GE(before.secsTo(given), 0);
    EXPECT_EQ(m.captured(2).toInt(), given.date().dayOfWeek()); // Monday 1 .. Sunday 7
}

// --port COMn goes the way the window's list goes: through the per-user link
// of "COM n" to the display's pseudo-terminal.
TEST_F(LinkE2E, SyncTimeReachesTheDisplayByComName) {
    const QString pty = StartSim({"--once"});
    ASSERT_FALSE(pty.isEmpty());
    const QString ports = Dir.filePath("config/dpu510tk3/ports");
    ASSERT_TRUE(QDir().mkpath(ports));
    ASSERT_TRUE(QFile::link(pty, ports + "/COM12"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", Dir.filePath("config"));
    const Result r = Cli({"sync-time", "--port", "com12"}, 60000, env);
    ASSERT_EQ(r.Exit, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains(">>> Open COM 12 <<<\n")) << r.Out.toStdString();
    EXPECT_TRUE(r.Out.contains("===> Date & Time Sync. finish <===\n"));
    EXPECT_TRUE(SimOutput().contains("Date-time: "));
}

TEST_F(LinkE2E, VanishingDisplayEndsTheUploadAtOnce) {
    const QString rom = WriteRom(64512);
    const QString pty = StartSim({"--hangup-after", "100"});
    ASSERT_FALSE(pty.isEmpty());
    // Well inside one 10 s response period.
    const Result up = Cli({"upload", rom, "--port", pty}, 8000);
    EXPECT_EQ(up.Exit, 1) << up.Err.toStdString();
    EXPECT_TRUE(up.Out.contains("===> Link lost: ")) << up.Out.toStdString();
    EXPECT_FALSE(up.Out.contains("finish"));
    EXPECT_TRUE(up.Err.contains("dpu510tk3 upload: the link was lost")) << up.Err.toStdString();
}

TEST_F(LinkE2E, SilentDisplayAbortsAfterTenPeriods) {
    const QString rom = WriteRom(64512);
    const QString pty = StartSim({"--silent-after", "3"});
    ASSERT_FALSE(pty.isEmpty());
    // 100 ms periods: long enough that a busy machine does not time out the
    // three answered frames, short enough to keep the test quick.
    const Result up = Cli({"upload", rom, "--port", pty, "--response-timeout-ms", "100"});
    EXPECT_EQ(up.Exit, 1);
    EXPECT_GE(Count(up.Out, "===> DPU-510TK3 respond timeout #"), 10);
    EXPECT_TRUE(
        up.Out.contains("===> DPU-510TK3 respond timeout #10<===\n===> Transmit abort!! <===\n"));
    EXPECT_TRUE(up.Err.contains("aborted")) << up.Err.toStdString();
}

// A line that chatters (a byte that is no reply every 30 ms) or a display
// that only ever starts over keeps the specified time-out count at zero; the
// tool still gives up after ten time-outs and restarts without progress.
TEST_F(LinkE2E, NoisyOrRestartingDisplayIsGivenUp) {
    const QString rom = WriteRom(64512);
    struct TCase {
        QStringList SimArgs, CliArgs;
        QString Reason;
    };
    const std::vector<TCase> cases = {
        {{"--silent-after", "0", "--noise-ms", "30"},
         {"upload", rom, "--response-timeout-ms", "300"},
         "No new frame acknowledged after 10 time-outs and restarts ("},
        {{"--silent-after", "0", "--keep-asking"},
         {"upload", rom},
         "No new frame acknowledged after 10 time-outs and restarts ("},
        {{"--silent-after", "0", "--noise-ms", "30"},
         {"sync-time", "--response-timeout-ms", "300"},
         "No answer after 10 time-outs and restarts ("},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE((c.CliArgs.first() + " " + c.SimArgs.join(' ')).toStdString());
        const QString pty = StartSim(c.SimArgs);
        ASSERT_FALSE(pty.isEmpty());
        // Bounded: without the limit the tool would talk for ever.
        const Result r = Cli(c.CliArgs + QStringList{"--port", pty}, 60000);
        EXPECT_EQ(r.Exit, 1) << r.Err.toStdString();
        EXPECT_TRUE(r.Out.contains("===> Transmit abort!! <===\n*** " + c.Reason))
            << r.Out.toStdString();
        EXPECT_TRUE(r.Err.contains(c.CliArgs.first() + ": aborted: " + c.Reason.toLower()))
            << r.Err.toStdString();
        EXPECT_FALSE(r.Out.contains("finish"));
        Sim.terminate();
        Sim.waitForFinished(10000);
    }
}

TEST_F(LinkE2E, RefusalsSendNothing) {
    const QString pty = StartSim({"--once"});
    ASSERT_FALSE(pty.isEmpty());

    WriteRom(458753);
    Result r = Cli({"upload", "ROM.BIN", "--port", pty});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_TRUE(r.Out.contains("*** Warning.... ***\n=== ROM image too large!! ===\n"))
        << r.Out.toStdString();
    EXPECT_TRUE(r.Err.contains("ROM image too large")) << r.Err.toStdString();

    r = Cli({"upload", "missing.bin", "--port", pty});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_TRUE(r.Err.contains("missing.bin")) << r.Err.toStdString();

    WriteIni(0);
    WriteRom(64512);
    r = Cli({"upload", "ROM.BIN", "--port", pty});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_TRUE(r.Err.contains("No support download function!!")) << r.Err.toStdString();
    EXPECT_FALSE(r.Out.contains(">>> Open"));

    QFile::remove(Dir.filePath("ORVDVE510TK3.INI"));
    r = Cli({"upload", "ROM.BIN", "--port", pty});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_TRUE(r.Err.contains("ORVDVE510TK3.INI file not found!!")) << r.Err.toStdString();

    EXPECT_EQ(Cli({"upload", "ROM.BIN"}).Exit, 2);
    EXPECT_EQ(Cli({"sync-time", "--port", pty, "--response-timeout-ms", "0"}).Exit, 2);

    Sim.terminate();
    EXPECT_FALSE(SimOutput().contains("Frames:"));
    EXPECT_TRUE(SimImage().isEmpty());
}

// Nothing that does not read as a display image reaches the display, and
// the port is not even opened for it; --force is the way round.
TEST_F(LinkE2E, UploadChecksTheFileBeforeThePort) {
    const QString pty = StartSim({});
    ASSERT_FALSE(pty.isEmpty());
    QByteArray noise(64512, 0);
    uint32_t x = 12345;
    for (auto& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    struct TCase {
        QString Name;
        QByteArray Bytes;
        QString Problem;
    };
    const std::vector<TCase> cases = {
        {"noise.bin", noise, "(CRC table copy)"},
        {"empty.bin", QByteArray(), "cut short: 0 bytes"},
        {"one.bin", QByteArray(1, 'x'), "cut short: 1 byte,"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name.toStdString());
        QFile f(Dir.filePath(c.Name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.Bytes);
        f.close();
        const Result r = Cli({"upload", c.Name, "--port", pty});
        EXPECT_EQ(r.Exit, 1);
        EXPECT_TRUE(r.Err.startsWith("dpu510tk3 upload: " + c.Name + " is not a display image: "))
            << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(c.Problem)) << r.Err.toStdString();
        EXPECT_FALSE(r.Out.contains(">>> ")) << r.Out.toStdString();
    }
    QDir(Dir.path()).mkdir("folder.bin");
    const Result r = Cli({"upload", "folder.bin", "--port", pty});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_TRUE(r.Err.contains("can not read ROM file folder.bin: Is a directory"))
        << r.Err.toStdString();
    Sim.terminate();
    EXPECT_FALSE(SimOutput().contains("Frames:"));
    EXPECT_TRUE(SimImage().isEmpty());
}

TEST_F(LinkE2E, PortMistakesAreSaidPlainly) {
    const QString rom = WriteRom(64512);
    for (const char* port : {"COM0", "COM17", "com999"}) {
        SCOPED_TRACE(port);
        const Result up = Cli({"upload", rom, "--port", port});
        EXPECT_EQ(up.Exit, 2);
        EXPECT_TRUE(up.Err.contains("out of range (COM1 to COM16)")) << up.Err.toStdString();
        EXPECT_EQ(Cli({"sync-time", "--port", port}).Exit, 2);
    }
    EXPECT_EQ(Cli({"sync-time", "--port", "COM1", "--force"}).Exit, 2);

    // A regular file named as the port: the component's own words, then why.
    const Result r = Cli({"sync-time", "--port", rom});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_TRUE(r.Err.contains("dpu510tk3 sync-time: can not open " + rom +
                               ": Can not open comm device file\n" + rom +
                               ": not a serial port (a regular file)\n"))
        << r.Err.toStdString();
    // A device that is no terminal, a folder: the same second line.
    for (const auto& [port, why] :
         {std::pair<QString, QString>{"/dev/null", "a device that is no terminal"},
          {Dir.path(), "a folder"}}) {
        const Result n = Cli({"sync-time", "--port", port});
        EXPECT_EQ(n.Exit, 1);
        EXPECT_TRUE(n.Err.contains("\n" + port + ": not a serial port (" + why + ")\n"))
            << n.Err.toStdString();
    }
}

// Ctrl+C in the middle of a transfer ends the tool and frees the port: the
// next opener takes the lock at once.
TEST_F(LinkE2E, InterruptStopsTheTransferAndReleasesThePort) {
    const QString rom = WriteRom(64512);
    struct TCase {
        QStringList Args;
        QString Midway; // a line the tool prints once the transfer is under way
    };
    const QString pty = StartSim({"--silent-after", "3"});
    ASSERT_FALSE(pty.isEmpty());
    const std::vector<TCase> cases = {
        {{"upload", rom, "--port", pty, "--msg"}, "===> Send data block: 3,"},
        {{"sync-time", "--port", pty}, "=== Waiting DPU-510TK3 respond.... ==="},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Args.first().toStdString());
        QProcess p;
        p.setWorkingDirectory(Dir.path());
        p.start(BinDir() + "/dpu510tk3", c.Args);
        ASSERT_TRUE(p.waitForStarted(10000));
        QByteArray out;
        while (!out.contains(c.Midway.toLatin1()) && p.state() == QProcess::Running)
            if (p.waitForReadyRead(30000))
                out += p.readAllStandardOutput();
            else
                break;
        ASSERT_TRUE(out.contains(c.Midway.toLatin1())) << out.toStdString();
        ASSERT_EQ(::kill(static_cast<pid_t>(p.processId()), SIGINT), 0);
        ASSERT_TRUE(p.waitForFinished(10000)) << "still running after Ctrl+C";
        EXPECT_FALSE(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0);
        const int fd = ::open(pty.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << std::strerror(errno);
        ::close(fd);
    }
}
