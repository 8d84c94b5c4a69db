#include "util/fileaccess.h"

#include "support/filehelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>
#include <vector>

using namespace YVclUtil;

namespace {

class FileAccess : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string Path(const char* name) const { return dir.path().toStdString() + "/" + name; }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    size_t EntryCount() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .size();
    }
};

} // namespace

TEST_F(FileAccess, ReadsRegularFilesAndRefusesEverythingElseWithoutBlocking) {
    const std::string file = Path("a.bin");
    Write(file, std::string("\x00\x01xyz", 5));
    std::vector<uint8_t> bytes;
    std::string reason;
    ASSERT_TRUE(ReadWholeFile(file, bytes, reason)) << reason;
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 1, 'x', 'y', 'z'}));

    EXPECT_FALSE(ReadWholeFile(Path("missing"), bytes, reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_TRUE(bytes.empty());

    EXPECT_FALSE(ReadWholeFile(dir.path().toStdString(), bytes, reason));
    EXPECT_EQ(reason, "Is a directory");

    // A FIFO with no writer would block a plain open for ever.
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(fifo, bytes, reason));
    EXPECT_EQ(reason, "Not a regular file");

    EXPECT_FALSE(ReadWholeFile("/dev/null", bytes, reason));
    EXPECT_EQ(reason, "Not a regular file");

    EXPECT_FALSE(ReadWholeFile(file, bytes, reason, 4));
    EXPECT_EQ(reason, "File too large");
    EXPECT_TRUE(ReadWholeFile(file, bytes, reason, 5));
}

// A caller's earlier look decides the kind, but what is opened is checked
// again: a FIFO put where a file was found neither blocks nor is read.
TEST_F(FileAccess, ReadingAFoundFileTrustsItsKindButNotWhatIsThereNow) {
    const std::string file = Path("a.bin");
    Write(file, "abc");
    TFileStatus found, read;
    std::string reason;
    ASSERT_TRUE(QueryFileStatus(file, found, reason));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(file, bytes, reason, 10, &read, &found)) << reason;
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(read.Kind, TFileKind::Regular);
    EXPECT_EQ(read.Size, 3u);
    EXPECT_EQ(read.Inode, found.Inode);

    TFileStatus folder, missing;
    ASSERT_TRUE(QueryFileStatus(dir.path().toStdString(), folder, reason));
    EXPECT_FALSE(ReadWholeFile(file, bytes, reason, UINT64_MAX, nullptr, &folder));
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(ReadWholeFile(file, bytes, reason, UINT64_MAX, nullptr, &missing));
    EXPECT_EQ(reason, "No such file or directory");

    ASSERT_EQ(::unlink(file.c_str()), 0);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(file, bytes, reason, UINT64_MAX, nullptr, &found));
    EXPECT_EQ(reason, "Not a regular file");
    // A file that grew since it was looked at is read whole, within the limit.
    const std::string grown = Path("grown.bin");
    Write(grown, "12");
    ASSERT_TRUE(QueryFileStatus(grown, found, reason));
    Write(grown, "123456");
    ASSERT_TRUE(ReadWholeFile(grown, bytes, reason, UINT64_MAX, nullptr, &found)) << reason;
    EXPECT_EQ(bytes.size(), 6u);
    EXPECT_FALSE(ReadWholeFile(grown, bytes, reason, 4, nullptr, &found));
    EXPECT_EQ(reason, "File too large");
}

// A file longer than its status says (as /proc's files, all of size 0) is
// read to its end, still within the limit.
TEST_F(FileAccess, FilesLongerThanTheirStatusAreReadWholeWithinTheLimit) {
    std::vector<uint8_t> bytes;
    std::string reason;
    TFileStatus read;
    ASSERT_TRUE(ReadWholeFile("/proc/self/status", bytes, reason, UINT64_MAX, &read)) << reason;
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("Name:", 0), 0u) << text.substr(0, 40);
    EXPECT_NE(text.find("\nPid:"), std::string::npos);
    EXPECT_EQ(read.Size, bytes.size());
    EXPECT_FALSE(ReadWholeFile("/proc/self/status", bytes, reason, 8));
    EXPECT_EQ(reason, "File too large");
    EXPECT_TRUE(bytes.empty());
}

TEST_F(FileAccess, ReadOnlyFilesCanBeRead) {
    const std::string file = Path("ro.ini");
    Write(file, "[A]\r\n");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    std::vector<uint8_t> bytes;
    std::string reason;
    EXPECT_TRUE(ReadWholeFile(file, bytes, reason)) << reason;
    EXPECT_EQ(bytes.size(), 5u);
}

TEST_F(FileAccess, StatusTellsKindsAndTreatsAbsenceAsAnAnswer) {
    TFileStatus status;
    std::string reason;
    ASSERT_TRUE(QueryFileStatus(Path("none"), status, reason));
    EXPECT_EQ(status.Kind, TFileKind::Missing);
    ASSERT_TRUE(QueryFileStatus(Path("none/deeper"), status, reason));
    EXPECT_EQ(status.Kind, TFileKind::Missing);
    Write(Path("f"), "12345");
    ASSERT_TRUE(QueryFileStatus(Path("f"), status, reason));
    EXPECT_EQ(status.Kind, TFileKind::Regular);
    EXPECT_EQ(status.Size, 5u);
    EXPECT_GT(status.ModifiedSecs, 0);
    ASSERT_TRUE(QueryFileStatus(dir.path().toStdString(), status, reason));
    EXPECT_EQ(status.Kind, TFileKind::Directory);
    ASSERT_TRUE(QueryFileStatus("/dev/null", status, reason));
    EXPECT_EQ(status.Kind, TFileKind::Other);
}

TEST_F(FileAccess, AtomicWriteCreatesAndReplacesKeepingPermissions) {
    const std::string file = Path("out.bin");
    std::string reason;
    ASSERT_TRUE(WriteFileAtomically(file, "first", 5, reason)) << reason;
    EXPECT_EQ(Read(file), "first");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(file, "second", 6, reason)) << reason;
    EXPECT_EQ(Read(file), "second");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(EntryCount(), 1u) << "no temporary file may stay behind";
}

TEST_F(FileAccess, AtomicWriteRefusesTargetsThatAreNotRegularFilesAndLeavesThemAlone) {
    std::string reason;
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(WriteFileAtomically(fifo, "x", 1, reason));
    EXPECT_EQ(reason, "Not a regular file");
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    const std::string folder = Path("sub");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    EXPECT_FALSE(WriteFileAtomically(folder, "x", 1, reason));
    EXPECT_EQ(reason, "Is a directory");

    // A socket is no file either.
    const std::string sock = Path("sock");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(sock.size(), sizeof addr.sun_path);
    std::copy(sock.begin(), sock.end(), addr.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_FALSE(WriteFileAtomically(sock, "x", 1, reason));
    ::close(fd);

    // A link to a device is followed to the device and refused: the device stays.
    const std::string link = Path("null-link");
    ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
    EXPECT_FALSE(WriteFileAtomically(link, "x", 1, reason));
    ASSERT_EQ(::lstat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(FileAccess, AtomicWriteFollowsLinksAndWritesBesideTheTarget) {
    const std::string sub = Path("real");
    ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
    const std::string target = sub + "/image.bin";
    Write(target, "old");
    const std::string link = Path("image-link.bin");
    ASSERT_EQ(::symlink("real/image.bin", link.c_str()), 0);
    std::string reason;
    ASSERT_TRUE(WriteFileAtomically(link, "new", 3, reason)) << reason;
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link itself stays a link";
    EXPECT_EQ(Read(target), "new");

    // A dangling link creates its target.
    const std::string dangling = Path("dangling");
    ASSERT_EQ(::symlink("real/fresh.bin", dangling.c_str()), 0);
    ASSERT_TRUE(WriteFileAtomically(dangling, "f", 1, reason)) << reason;
    EXPECT_EQ(Read(sub + "/fresh.bin"), "f");
}

TEST_F(FileAccess, AtomicWriteNeverReplacesAWriteProtectedFileAndSaysWhy) {
    const std::string file = Path("locked.dcf");
    Write(file, "keep");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    std::string reason;
    EXPECT_FALSE(WriteFileAtomically(file, "lost", 4, reason));
    EXPECT_EQ(reason, "Permission denied");
    EXPECT_EQ(Read(file), "keep");
    EXPECT_EQ(EntryCount(), 1u);
}

TEST(FileAccessReasons, AreTheSystemsWords) {
    EXPECT_EQ(SystemReason(ENOSPC), "No space left on device");
    EXPECT_EQ(InputKindReason(TFileKind::Other), "Not a regular file");
    EXPECT_EQ(InputKindReason(TFileKind::Directory), "Is a directory");
    EXPECT_EQ(InputKindReason(TFileKind::Regular), "");
}

// A real failing write: a file-size limit makes write() fail with EFBIG part
// way through, as a full disk fails it with ENOSPC. The reason comes out in
// words, the old file stays whole and the temporary file goes.
TEST_F(FileAccess, FailedWriteSaysWhyAndLeavesTheOldFileWhole) {
    const std::string file = Path("image.bin");
    Write(file, "old image");
    const std::string big(64 * 1024, 'x');
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string reason;
    const bool written = WriteFileAtomically(file, big.data(), big.size(), reason);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(reason, "File too large");
    EXPECT_EQ(Read(file), "old image");
    EXPECT_EQ(EntryCount(), 1u) << "no temporary file may stay behind";
}

TEST_F(FileAccess, SameFileSeesThroughLinksAndOtherSpellings) {
    Write(Path("a.dcf"), "x");
    Write(Path("b.dcf"), "x");
    ASSERT_EQ(::symlink(Path("a.dcf").c_str(), Path("link.dcf").c_str()), 0);
    ASSERT_EQ(::link(Path("a.dcf").c_str(), Path("hard.dcf").c_str()), 0);
    EXPECT_TRUE(SameFile(Path("a.dcf"), Path("a.dcf")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    EXPECT_TRUE(SameFile(Path("a.dcf"), dir.path().toStdString() + "/./sub/../a.dcf"));
    EXPECT_TRUE(SameFile(Path("a.dcf"), Path("link.dcf")));
    EXPECT_TRUE(SameFile(Path("hard.dcf"), Path("link.dcf")));
    // Same contents are not the same file; a missing file is nobody's twin.
    EXPECT_FALSE(SameFile(Path("a.dcf"), Path("b.dcf")));
    EXPECT_FALSE(SameFile(Path("missing"), Path("missing")));
    EXPECT_FALSE(SameFile(Path("a.dcf"), Path("missing")));
}

// Working files: made new or not at all, never through a link, and only a
// regular file of the name is ever removed.
TEST_F(FileAccess, NewFilesNeverFollowLinksAndOnlyRegularFilesAreRemoved) {
    std::string reason;
    ASSERT_TRUE(CreateNewFile(Path("work.bmp"), "abc", 3, reason)) << reason;
    EXPECT_EQ(Read(Path("work.bmp")), "abc");
    EXPECT_FALSE(CreateNewFile(Path("work.bmp"), "x", 1, reason));
    EXPECT_EQ(reason, "File exists");
    EXPECT_EQ(Read(Path("work.bmp")), "abc");

    ASSERT_EQ(::symlink(Path("target").c_str(), Path("dangling").c_str()), 0);
    EXPECT_FALSE(CreateNewFile(Path("dangling"), "x", 1, reason));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("target"))));

    EXPECT_TRUE(RemoveRegularFile(Path("work.bmp"), reason)) << reason;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("work.bmp"))));
    EXPECT_TRUE(RemoveRegularFile(Path("never-there"), reason));

    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    Write(Path("kept"), "kept");
    ASSERT_EQ(::symlink(Path("kept").c_str(), Path("link").c_str()), 0);
    for (const char* name : {"fifo", "folder", "link", "dangling"}) {
        SCOPED_TRACE(name);
        reason.clear();
        EXPECT_FALSE(RemoveRegularFile(Path(name), reason));
        EXPECT_FALSE(reason.empty());
        struct stat st {};
        EXPECT_EQ(::lstat(Path(name).c_str(), &st), 0);
    }
    EXPECT_EQ(Read(Path("kept")), "kept");
}

// The temporaries of killed runs go with the next atomic write in that
// folder: only files this program provably made (its own suffix, a regular
// file of this user, over a minute old, its writer gone). Files of live
// processes, of the moment, of other users and other programs' ".tmp" stay.
TEST_F(FileAccess, AtomicWriteRemovesOnlyItsOwnTemporariesOfKilledRuns) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    EXPECT_TRUE(ProcessIsGone(child));
    EXPECT_FALSE(ProcessIsGone(::getpid()));
    EXPECT_FALSE(ProcessIsGone(1)); // alive, and maybe not ours to signal
    EXPECT_FALSE(ProcessIsGone(0));

    const std::string dead = TemporaryName("IMG.BIN", child, 4);
    EXPECT_EQ(dead, ".IMG.BIN." + std::to_string(child) + ".4.dpu510.tmp");
    const std::string pid = std::to_string(child);
    const std::vector<std::string> kept = {
        TemporaryName("IMG.BIN", ::getpid(), 0), // this process
        ".notes.2024.12.tmp",                    // another program's
        ".thesis.docx.20241208.1.tmp",           // another program's
        ".OTHER.BIN." + pid + ".0.tmp",          // no suffix of ours
        ".IMG.BIN.x" + pid + ".0.dpu510.tmp",    // not a number
        "IMG.BIN." + pid + ".0.dpu510.tmp",      // not hidden
        TemporaryName("OTHERS.BIN", child, 1),   // another user's
    };
    Write(Path(dead.c_str()), "half");
    MakeOld(Path(dead.c_str()));
    for (const auto& name : kept) {
        Write(Path(name.c_str()), "keep");
        MakeOld(Path(name.c_str()));
    }
    ASSERT_EQ(::chown(Path(kept.back().c_str()).c_str(), ::geteuid() + 1, ::getegid()), 0);
    // One just written may be a run that has just begun.
    const std::string young = TemporaryName("NEW.BIN", child, 0);
    Write(Path(young.c_str()), "keep");
    // A folder or a link of a temporary's name is not ours either.
    const std::string folder = TemporaryName("DIR.BIN", child, 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromStdString(folder)));
    const std::string link = TemporaryName("LNK.BIN", child, 0);
    ASSERT_EQ(::symlink(Path(dead.c_str()).c_str(), Path(link.c_str()).c_str()), 0);

    std::string reason;
    ASSERT_TRUE(WriteFileAtomically(Path("IMG.BIN"), "image", 5, reason)) << reason;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path(dead.c_str()))));
    for (const auto& name : kept)
        EXPECT_EQ(Read(Path(name.c_str())), "keep") << name;
    EXPECT_EQ(Read(Path(young.c_str())), "keep");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(Path(folder.c_str()))).isDir());
    EXPECT_TRUE(QFileInfo(QString::fromStdString(Path(link.c_str()))).isSymLink());
    EXPECT_EQ(RemoveStaleTemporaries(dir.path().toStdString()), 0);
}

TEST_F(FileAccess, MakeFoldersSaysWhyItCannot) {
    std::string reason;
    EXPECT_TRUE(MakeFolders(Path("a/b/c"), reason)) << reason;
    EXPECT_TRUE(QFileInfo(QString::fromStdString(Path("a/b/c"))).isDir());
    EXPECT_TRUE(MakeFolders(Path("a/b/c"), reason));
    Write(Path("file"), "x");
    EXPECT_FALSE(MakeFolders(Path("file/sub"), reason));
    EXPECT_EQ(reason, "Not a directory");
    EXPECT_FALSE(MakeFolders(Path("file"), reason));
    EXPECT_FALSE(reason.empty());

    // What a run made it can take away again, but never a folder in use.
    std::vector<std::string> made;
    ASSERT_TRUE(MakeFolders(Path("a/x/y/z"), reason, made)) << reason;
    EXPECT_EQ(made, (std::vector<std::string>{Path("a/x"), Path("a/x/y"), Path("a/x/y/z")}));
    Write(Path("a/x/kept"), "kept");
    RemoveMadeFolders(made);
    EXPECT_TRUE(made.empty());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path("a/x/y"))));
    EXPECT_EQ(Read(Path("a/x/kept")), "kept");
}

// A name the program chose is written as itself, never through a link, and
// a link, FIFO or folder there is refused with nothing written.
TEST_F(FileAccess, ChosenNamesAreNeverFollowed) {
    Write(Path("precious.txt"), "precious");
    ASSERT_EQ(::symlink("precious.txt", Path("logo.png").c_str()), 0);
    ASSERT_EQ(::mkfifo(Path("fifo.png").c_str(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.png"));
    std::string reason;
    EXPECT_FALSE(WriteChosenFile(Path("logo.png"), "png", 3, reason));
    EXPECT_EQ(reason, "Is a symbolic link, which is not followed");
    EXPECT_FALSE(WriteChosenFile(Path("fifo.png"), "png", 3, reason));
    EXPECT_EQ(reason, "Not a regular file");
    EXPECT_FALSE(WriteChosenFile(Path("folder.png"), "png", 3, reason));
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_EQ(Read(Path("precious.txt")), "precious");
    EXPECT_EQ(EntryCount(), 4u);
    ASSERT_TRUE(WriteChosenFile(Path("new.png"), "png", 3, reason)) << reason;
    EXPECT_EQ(Read(Path("new.png")), "png");
}
