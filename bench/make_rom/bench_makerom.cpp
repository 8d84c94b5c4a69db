// A full Make ROM built in-process (glyph library read, labels in all three
// tables, 40 user bitmaps of 64 x 64, 40 lift-state messages, a logo, the
// glyphs of all four floor styles converted), beside the I/O floor: reading
// every input file once and writing the 64512-byte image once, the same way.

#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "rom/glyphlibrary.h"
#include "rom/tmakerom.h"
#include "rom/trombuilder.h"
#include "support/fullprojecthelpers.h"
#include "support/tscriptedprompts.h"
#include "support/ttestglyphs.h"
#include "util/fileaccess.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>
#include <memory>

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuRom::GlyphLibrary;
using DpuRom::TMakeRom;
using DpuRom::TRomBuilder;
using YVclUtil::ReadWholeFile;
using YVclUtil::WriteFileAtomically;

namespace {

struct TSetup {
    QTemporaryDir Dir;
    std::string GlbPath;
    std::vector<std::string> Inputs; // every file a build reads
    TConfiguration Config;
    TProject Project;
};

std::unique_ptr<TSetup> MakeSetup() {
    auto s = std::make_unique<TSetup>();
    const QString dir = s->Dir.path();

    const TTestGlyphs glyphs = InstallationLikeLibrary();
    s->GlbPath = (dir + "/BENCH.GLB").toStdString();
    WriteGlyphLibrary(s->GlbPath, glyphs.Entries);
    s->Inputs.push_back(s->GlbPath);

    s->Config.ProgramDir = dir.toStdString() + "/";
    s->Config.StartupDir = dir.toStdString();
    s->Config.GlbName = "BENCH.GLB";
    s->Config.CFI = 1;
    s->Config.DISPHV = 1;

    // Every zone of the image filled; the logo in colour.
    const std::vector<std::string> pictures =
        FillFullProject(s->Project, s->Config.ProgramDir, dir, true);
    s->Inputs.insert(s->Inputs.end(), pictures.begin(), pictures.end());
    return s;
}

TSetup* Setup = nullptr;

// The two halves of the I/O floor: every input read once (returns the bytes
// read), the image written once, atomically.
size_t FloorReads() {
    std::vector<uint8_t> data;
    std::string error;
    size_t bytes = 0;
    for (const std::string& file : Setup->Inputs) {
        ReadWholeFile(file, data, error);
        bytes += data.size();
    }
    return bytes;
}

void FloorWrite() {
    static const std::vector<uint8_t> image(64512, 0x5A);
    static const std::string out = Setup->Dir.filePath("FLOOR.BIN").toStdString();
    std::string error;
    WriteFileAtomically(out, image.data(), image.size(), error);
}

// One pass of the I/O floor. Returns the bytes read.
size_t IoFloorPass() {
    const size_t bytes = FloorReads();
    FloorWrite();
    return bytes;
}

void BM_IoFloor(benchmark::State& state) {
    size_t bytes = 0;
    for (auto _ : state)
        bytes += IoFloorPass();
    state.counters["files_read"] = static_cast<double>(Setup->Inputs.size());
    state.counters["bytes_read"] =
        static_cast<double>(bytes) / static_cast<double>(state.iterations());
}

// x_io_floor compares each build with a floor pass made right after it, so
// that both see the same disk: the flush of the written image dominates
// either and swings with what else the machine writes. It is the median of
// those pairs' ratios, which one slow flush on either side does not move
// (x_io_floor_mean, the ratio of the sums, shows how much it would).
void BM_MakeRom(benchmark::State& state) {
    using TClock = std::chrono::steady_clock;
    TScriptedPrompts prompts;
    const std::string out = Setup->Dir.filePath("BUILD.BIN").toStdString();
    double buildSeconds = 0, floorSeconds = 0;
    std::vector<double> ratios;
    bool ok = true;
    for (auto _ : state) {
        const auto start = TClock::now();
        GlyphLibrary library;
        library.Load(Setup->GlbPath);
        TMakeRom make(Setup->Project, Setup->Config, library, prompts, &prompts);
        make.OutputFile = out;
        ok = make.Run() && ok;
        const auto built = TClock::now();
        state.PauseTiming();
        // The recorder would otherwise keep every line of every build.
        prompts.Boxes.clear();
        prompts.Log.clear();
        const auto floorStart = TClock::now();
        IoFloorPass();
        const double floor = std::chrono::duration<double>(TClock::now() - floorStart).count();
        const double build = std::chrono::duration<double>(built - start).count();
        floorSeconds += floor;
        buildSeconds += build;
        if (floor > 0) ratios.push_back(build / floor);
        state.ResumeTiming();
    }
    if (!ok) state.SkipWithError("the build stopped");
    if (!ratios.empty()) {
        std::nth_element(ratios.begin(), ratios.begin() + static_cast<long>(ratios.size() / 2),
                         ratios.end());
        state.counters["x_io_floor"] = ratios[ratios.size() / 2];
    }
    if (floorSeconds > 0) state.counters["x_io_floor_mean"] = buildSeconds / floorSeconds;
}

// The parts of the two, each alone, to show where the difference lies: the
// library's load, a build kept in memory (its own reads included), the
// floor's reads and its write.
void BM_LoadLibrary(benchmark::State& state) {
    for (auto _ : state) {
        GlyphLibrary library;
        library.Load(Setup->GlbPath);
    }
}

void BM_BuildInMemory(benchmark::State& state) {
    TScriptedPrompts prompts;
    GlyphLibrary library;
    library.Load(Setup->GlbPath);
    bool ok = true;
    for (auto _ : state) {
        TMakeRom make(Setup->Project, Setup->Config, library, prompts, &prompts);
        make.InMemoryOnly = true;
        ok = make.Run() && ok;
        // The recorder would otherwise keep every line of every build.
        prompts.Boxes.clear();
        prompts.Log.clear();
    }
    if (!ok) state.SkipWithError("the build stopped");
}

void BM_FloorReads(benchmark::State& state) {
    for (auto _ : state)
        FloorReads();
}

void BM_FloorWrite(benchmark::State& state) {
    for (auto _ : state)
        FloorWrite();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::unique_ptr<TSetup> setup = MakeSetup();
    Setup = setup.get();
    benchmark::RegisterBenchmark("IoFloor", BM_IoFloor)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("MakeRom", BM_MakeRom)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LoadLibrary", BM_LoadLibrary)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BuildInMemory", BM_BuildInMemory)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("FloorReads", BM_FloorReads)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("FloorWrite", BM_FloorWrite)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
