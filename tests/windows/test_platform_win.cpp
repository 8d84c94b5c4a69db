// The Windows side of util's platform unit: the page allocator, the file
// access, the program's folder and the local clock, with the same answers the
// POSIX side gives where the system allows.
#include "util/fileaccess.h"
#include "util/localclock.h"
#include "util/programdir.h"
#include "util/tdatetime.h"
#include "util/virtualmem.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace YVclUtil;

namespace {

// A fresh folder under the system's temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH + 1] = {};
        ::GetTempPathA(sizeof base, base);
        Path = std::string(base) + "dpu-win-" + std::to_string(::GetCurrentProcessId()) + "-" +
               std::to_string(++Counter);
        ::CreateDirectoryA(Path.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const std::string& name : Names()) {
            const std::string full = Path + "\\" + name;
            ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!::DeleteFileA(full.c_str())) ::RemoveDirectoryA(full.c_str());
        }
        ::RemoveDirectoryA(Path.c_str());
    }
    std::string File(const char* Name) const { return Path + "\\" + Name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data{};
        const HANDLE find = ::FindFirstFileA((Path + "\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            if (std::strcmp(data.cFileName, ".") && std::strcmp(data.cFileName, ".."))
                names.push_back(data.cFileName);
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
        return names;
    }
    std::string Path;

private:
    static inline int Counter = 0;
};

void Write(const std::string& Path, const std::string& Text) {
    std::ofstream(Path, std::ios::binary) << Text;
}

// Sets the last write of Path two minutes back: a sweep takes only the
// temporaries of a run that has been gone a while.
void MakeOld(const std::string& Path) {
    const HANDLE file = ::CreateFileA(Path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= 120ULL * 10000000ULL;
    const FILETIME old{t.LowPart, t.HighPart};
    EXPECT_TRUE(::SetFileTime(file, nullptr, nullptr, &old));
    ::CloseHandle(file);
}

std::string Read(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(VirtualMemWin, RegionsAreZeroedAlignedAndGivenBackOnce) {
    std::vector<void*> regions;
    for (unsigned size : {1u, 4096u, 65536u, 1u << 20}) {
        void* p = YAllocVirtualMem(size);
        ASSERT_NE(p, nullptr) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % kVirtualMemAlignment, 0u);
        const auto* bytes = static_cast<const unsigned char*>(p);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[size - 1], 0);
        std::memset(p, 0xA5, size);
        regions.push_back(p);
    }
    EXPECT_EQ(YAllocVirtualMem(0), nullptr);
    for (void* p : regions)
        EXPECT_TRUE(YFreeVirtualMem(p));
    EXPECT_FALSE(YFreeVirtualMem(nullptr));
    EXPECT_FALSE(YFreeVirtualMem(regions.front())) << "a region is given back only once";
}

TEST(FileAccessWin, ReadsRegularFilesAndRefusesFoldersDevicesAndMissingFiles) {
    TempFolder dir;
    const std::string file = dir.File("a.bin");
    Write(file, std::string("\0\1xyz", 5));
    std::vector<uint8_t> bytes;
    std::string reason;
    ASSERT_TRUE(ReadWholeFile(file, bytes, reason)) << reason;
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 1, 'x', 'y', 'z'}));

    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), bytes, reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_FALSE(ReadWholeFile(dir.Path, bytes, reason));
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_FALSE(ReadWholeFile("NUL", bytes, reason));
    EXPECT_EQ(reason, "Not a regular file");
    EXPECT_FALSE(ReadWholeFile(file, bytes, reason, 4));
    EXPECT_EQ(reason, "File too large");
    EXPECT_TRUE(bytes.empty());
}

TEST(FileAccessWin, StatusTellsKindSizeAndTime) {
    TempFolder dir;
    TFileStatus status;
    std::string reason;
    ASSERT_TRUE(QueryFileStatus(dir.File("none"), status, reason));
    EXPECT_EQ(status.Kind, TFileKind::Missing);
    ASSERT_TRUE(QueryFileStatus(dir.File("none\\deeper"), status, reason));
    EXPECT_EQ(status.Kind, TFileKind::Missing);
    Write(dir.File("f"), "12345");
    ASSERT_TRUE(QueryFileStatus(dir.File("f"), status, reason)) << reason;
    EXPECT_EQ(status.Kind, TFileKind::Regular);
    EXPECT_EQ(status.Size, 5u);
    // Written just now: within a day of the clock (1.6e9 s is 2020).
    EXPECT_GT(status.ModifiedSecs, 1600000000);
    ASSERT_TRUE(QueryFileStatus(dir.Path, status, reason));
    EXPECT_EQ(status.Kind, TFileKind::Directory);
}

// The status comes from the path, the identity from a handle: devices must
// still be seen as devices, and files alike in size and contents as two.
TEST(FileAccessWin, StatusKnowsDevicesByNameAndIdentityTellsLikeFilesApart) {
    TempFolder dir;
    TFileStatus status;
    std::string reason;
    for (const char* device : {"NUL", "nul", "\\\\.\\NUL"}) {
        ASSERT_TRUE(QueryFileStatus(device, status, reason)) << device << ": " << reason;
        EXPECT_EQ(status.Kind, TFileKind::Other) << device;
        EXPECT_FALSE(IsRegularFile(device)) << device;
    }
    // Names that only look like devices are files.
    Write(dir.File("COM10"), "x");
    Write(dir.File("CONSOLE.txt"), "x");
    EXPECT_TRUE(IsRegularFile(dir.File("COM10")));
    EXPECT_TRUE(IsRegularFile(dir.File("CONSOLE.txt")));

    Write(dir.File("a.bin"), "same");
    Write(dir.File("b.bin"), "same");
    ASSERT_TRUE(CreateDirectoryA(dir.File("sub").c_str(), nullptr));
    EXPECT_TRUE(SameFile(dir.File("a.bin"), dir.File("sub\\..\\a.bin")));
    EXPECT_TRUE(SameFile(dir.File("a.bin"), dir.Path + "/A.BIN")) << "Windows names ignore case";
    EXPECT_FALSE(SameFile(dir.File("a.bin"), dir.File("b.bin")));
    EXPECT_FALSE(SameFile(dir.File("a.bin"), dir.File("COM10")));
    TFileStatus a, b;
    ASSERT_TRUE(QueryFileIdentity(dir.File("a.bin"), a, reason)) << reason;
    ASSERT_TRUE(QueryFileIdentity(dir.File("b.bin"), b, reason)) << reason;
    EXPECT_NE(a.Inode, 0u);
    EXPECT_NE(a.Inode, b.Inode);
    EXPECT_EQ(a.Size, 4u);
}

TEST(FileAccessWin, AtomicWriteCreatesReplacesAndLeavesNoTemporaryFile) {
    TempFolder dir;
    const std::string file = dir.File("out.bin");
    std::string reason;
    ASSERT_TRUE(WriteFileAtomically(file, "first", 5, reason)) << reason;
    EXPECT_EQ(Read(file), "first");
    ASSERT_TRUE(WriteFileAtomically(file, "second", 6, reason)) << reason;
    EXPECT_EQ(Read(file), "second");
    ASSERT_TRUE(WriteFileAtomically(file, "", 0, reason)) << reason;
    EXPECT_EQ(Read(file), "");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.bin"});
}

// A name relative to the current folder, as the tool takes "-o a.dcf": the
// second write replaces the first (Wine's ReplaceFileW refuses relative names).
TEST(FileAccessWin, AtomicWriteReplacesAFileNamedRelatively) {
    TempFolder dir;
    wchar_t before[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.Path.c_str()));
    std::string reason;
    const bool first = WriteFileAtomically("rel.dcf", "first", 5, reason);
    const bool second = first && WriteFileAtomically("rel.dcf", "second", 6, reason);
    ::SetCurrentDirectoryW(before);
    ASSERT_TRUE(first && second) << reason;
    EXPECT_EQ(Read(dir.File("rel.dcf")), "second");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"rel.dcf"});
}

TEST(FileAccessWin, AtomicWriteRefusesFoldersDevicesAndReadOnlyFiles) {
    TempFolder dir;
    std::string reason;
    EXPECT_FALSE(WriteFileAtomically(dir.Path, "x", 1, reason));
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_FALSE(WriteFileAtomically("NUL", "x", 1, reason));
    EXPECT_EQ(reason, "Not a regular file");

    const std::string locked = dir.File("locked.dcf");
    Write(locked, "keep");
    ASSERT_TRUE(::SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteFileAtomically(locked, "lost", 4, reason));
    EXPECT_EQ(reason, "Permission denied");
    EXPECT_EQ(Read(locked), "keep");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"locked.dcf"});

    EXPECT_FALSE(WriteFileAtomically(dir.File("no-such-folder\\x.bin"), "x", 1, reason));
    EXPECT_EQ(reason, "No such file or directory");
}

// Temporaries of a run that is gone go with the next atomic write in their
// folder; this process's stay. Working files are made new or not at all.
TEST(FileAccessWin, StaleTemporariesGoAndNewFilesAreNeverReplaced) {
    char self[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, self, sizeof self);
    std::string command = std::string("\"") + self + "\" --gtest_list_tests";
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                 nullptr, nullptr, &start, &child));
    ASSERT_EQ(::WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
    const long childId = static_cast<long>(child.dwProcessId);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    EXPECT_TRUE(ProcessIsGone(childId));
    EXPECT_FALSE(ProcessIsGone(static_cast<long>(::GetCurrentProcessId())));

    TempFolder dir;
    const std::string dead = TemporaryName("out.bin", childId, 0);
    const std::string mine = TemporaryName("out.bin", ::GetCurrentProcessId(), 999);
    const std::string fresh = TemporaryName("new.bin", childId, 0);
    // Another program's temporary, in the shape this program once used.
    const std::string foreign = ".notes.2024.12.tmp";
    for (const std::string& name : {dead, mine, fresh, foreign})
        Write(dir.File(name.c_str()), "keep");
    for (const std::string& name : {dead, mine, foreign})
        MakeOld(dir.File(name.c_str()));
    std::string reason;
    ASSERT_TRUE(WriteFileAtomically(dir.File("out.bin"), "image", 5, reason)) << reason;
    EXPECT_EQ(Read(dir.File("out.bin")), "image");
    for (const std::string& name : {mine, fresh, foreign})
        EXPECT_EQ(Read(dir.File(name.c_str())), "keep") << name;
    const std::vector<std::string> names = dir.Names();
    EXPECT_EQ(std::count(names.begin(), names.end(), dead), 0);

    ASSERT_TRUE(CreateNewFile(dir.File("work.bmp"), "abc", 3, reason)) << reason;
    EXPECT_FALSE(CreateNewFile(dir.File("work.bmp"), "x", 1, reason));
    EXPECT_EQ(reason, "File exists");
    EXPECT_EQ(Read(dir.File("work.bmp")), "abc");
    EXPECT_TRUE(RemoveRegularFile(dir.File("work.bmp"), reason)) << reason;
    EXPECT_TRUE(RemoveRegularFile(dir.File("work.bmp"), reason));
    ::CreateDirectoryA(dir.File("folder").c_str(), nullptr);
    EXPECT_FALSE(RemoveRegularFile(dir.File("folder"), reason));
    EXPECT_EQ(reason, "Is a directory");
}

// The tool finds DefaultImage2 beside itself without an application object:
// the folder must be the one Windows started it from, in the '/' form that
// the paths joined onto it use.
TEST(ProgramDirWin, ExecutableFolderIsTheFolderOfThisProgram) {
    wchar_t self[MAX_PATH + 1] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::string folder = ExecutableFolder();
    ASSERT_GE(folder.size(), 3u) << folder;
    EXPECT_EQ(folder[1], ':') << "a drive letter first: " << folder;
    EXPECT_EQ(folder.find('\\'), std::string::npos) << folder;
    EXPECT_NE(folder.back(), '/') << folder;

    // The program's own file, reached through the folder as the core joins it.
    char name[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, name, sizeof name);
    std::string base(name);
    base = base.substr(base.find_last_of("\\/") + 1);
    TFileStatus status;
    std::string reason;
    ASSERT_TRUE(QueryFileStatus(folder + "/" + base, status, reason)) << reason;
    EXPECT_EQ(status.Kind, TFileKind::Regular) << folder << "/" << base;
}

// The display's clock is set from TDateTime::Now: the calendar time must be
// Windows' local time, not UTC and not a zeroed record.
TEST(LocalClockWin, NowIsTheLocalTimeWindowsReports) {
    std::tm tm{};
    ASSERT_TRUE(LocalCalendarTime(std::time(nullptr), tm));
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    const TDateTime now = TDateTime::Now();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    now.DecodeDate(year, month, day);
    now.DecodeTime(hour, minute, second, ms);
    // Minutes since midnight on both clocks; a minute apart at most, and a
    // midnight between the two readings counts as a minute.
    const auto minutes = [](int h, int m) { return h * 60 + m; };
    const int apart = std::abs(minutes(hour, minute) - minutes(local.wHour, local.wMinute));
    EXPECT_TRUE(apart <= 1 || apart == 24 * 60 - 1) << hour << ":" << minute;
    if (apart <= 1) {
        EXPECT_EQ(year, local.wYear);
        EXPECT_EQ(month, local.wMonth);
        EXPECT_EQ(day, local.wDay);
    }
    EXPECT_EQ(tm.tm_year + 1900, local.wYear);

    // The runtime refuses moments before 1970: false and a zeroed record.
    tm.tm_year = 99;
    EXPECT_FALSE(LocalCalendarTime(static_cast<std::time_t>(-86400 * 2), tm));
    EXPECT_EQ(tm.tm_year, 0);
}
