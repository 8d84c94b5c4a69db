// Hostile inputs against the whole programs: a 1 KB bitmap claiming 8192 x
// 8192 pixels named in all 40 lift-state slots, and a glyph library whose
// floor glyphs, direction frames and small glyphs all name one such picture.
// Each case runs the tool or the editor as a process of its own and reports
// its wall time and peak resident memory (wait4's rusage). A build refused in
// well under a second and a few tens of MB is the bound; before the picture
// reader checked the declared size, the same runs took tens of seconds and
// gigabytes.

#include "support/filehelpers.h"
#include "support/pathhelpers.h"
#include "support/ttestglyphs.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <chrono>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TRun {
    bool Started = false;
    int Status = -1;
    double WallMs = 0;
    double PeakMb = 0;
};

// Runs Program with Args in Folder, its output thrown away; waits for it.
TRun Run(const std::string& Folder, const std::string& Program,
         const std::vector<std::string>& Args, bool Editor) {
    TRun r;
    std::vector<std::string> argv = {Program};
    argv.insert(argv.end(), Args.begin(), Args.end());
    std::vector<char*> raw;
    for (std::string& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return r;
    if (pid == 0) {
        if (chdir(Folder.c_str()) != 0) _exit(126);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // The editor ends as soon as its window is up and the files it was
        // given are open.
        if (Editor) setenv("DPU510TK3_SMOKE_TEST", "1", 1);
        execv(Program.c_str(), raw.data());
        _exit(127);
    }
    rusage usage{};
    int status = 0;
    if (wait4(pid, &status, 0, &usage) != pid) return r;
    r.Started = true;
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.WallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    r.PeakMb = static_cast<double>(usage.ru_maxrss) / 1024.0; // kB on Linux
    return r;
}

std::string Bin(const char* Name) {
    return (QCoreApplication::applicationDirPath() + "/" + Name).toStdString();
}

// Three start-up folders: the installation's configuration and library with
// a project naming the claiming picture in every slot; the same with the
// redirected library and the installation's sample project; and that folder
// with the sample's image built beforehand, for inspect.
std::unique_ptr<QTemporaryDir> Slots, Library;

bool Prepare() {
    Slots = std::make_unique<QTemporaryDir>();
    Library = std::make_unique<QTemporaryDir>();
    for (QTemporaryDir* dir : {Slots.get(), Library.get()})
        for (const char* name :
             {"ORVDVE510TK3.INI", "D510TK3.GLB", "sample.dcf", "SPACE_240x240.bmp"})
            if (!QFile::copy(QString::fromStdString(AssetsDir()) + "/" + name, dir->filePath(name)))
                return false;
    const std::vector<uint8_t> huge = ClaimingBmp(8192, 8192);
    const std::string picture = Slots->filePath("huge.bmp").toStdString();
    WriteFile(picture, huge);
    std::string project = "[GLOBAL]\r\nCODENAME=DVE510TK3\r\n[LiftStateImage]\r\n";
    for (int s = 0; s < 10; ++s)
        for (const char* k : {"A", "B", "C", "D"})
            project += "LeftState_" + std::to_string(s) + "_" + k + "=" + picture + "\r\n";
    WriteText(Slots->filePath("huge.dcf").toStdString(),
              project + "[CTBL0]\r\nCODE_1=1\r\nCODE_2=2\r\n");
    // The sample image first, with the installation's library.
    if (Run(Library->path().toStdString(), Bin("dpu510tk3"),
            {"make-rom", "sample.dcf", "-o", "SAMPLE.BIN"}, false)
            .Status != 0)
        return false;
    WriteFile(Library->filePath("D510TK3.GLB").toStdString(), RedirectedGlb(huge));
    return true;
}

void Measure(benchmark::State& state, QTemporaryDir* Dir, const char* Program,
             std::vector<std::string> Args) {
    const bool editor = std::string(Program) == "dpu510tk3-editor";
    double peak = 0;
    for (auto _ : state) {
        const TRun r = Run(Dir->path().toStdString(), Bin(Program), Args, editor);
        if (!r.Started) {
            state.SkipWithError("could not run the program");
            return;
        }
        state.SetIterationTime(r.WallMs / 1000);
        peak = std::max(peak, r.PeakMb);
        state.counters["exit_status"] = r.Status;
    }
    state.counters["peak_rss_mb"] = peak;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!Prepare()) {
        std::fprintf(stderr, "bench_crafted: could not prepare the crafted inputs\n");
        return 1;
    }
    auto add = [](const char* Name, QTemporaryDir* Dir, const char* Program,
                  std::vector<std::string> Args) {
        benchmark::RegisterBenchmark(
            Name, [Dir, Program, Args](benchmark::State& s) { Measure(s, Dir, Program, Args); })
            ->UseManualTime()
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    };
    add("MakeRomClaimingSlots", Slots.get(), "dpu510tk3", {"make-rom", "huge.dcf", "-o", "H.BIN"});
    add("EditorOpensClaimingSlots", Slots.get(), "dpu510tk3-editor", {"huge.dcf"});
    add("MakeRomRedirectedLibrary", Library.get(), "dpu510tk3",
        {"make-rom", "sample.dcf", "-o", "R.BIN"});
    add("InspectRedirectedLibrary", Library.get(), "dpu510tk3", {"inspect", "SAMPLE.BIN"});
    add("EditorStartsRedirectedLibrary", Library.get(), "dpu510tk3-editor", {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
