// Reading a full ROM image back against building it: a Make ROM built in-process
// (library read, 40 user bitmaps of 64 x 64 used from all three tables, labels,
// 40 lift-state messages, a logo), then the reader's decode of that image with
// the glyph library (as inspect does: turn and floor style settled by packing
// library pictures, user bitmaps matched against the stock folder) and without
// it. x_build is decode time / build time; the reader is held to at most 2.
// InspectProcess runs "dpu510tk3 inspect" as a whole process on the
// installation's sample image, beside "dpu510tk3 --help" as the process floor.
// RebuildCheck is what recover and inspect spend building the recovered
// project again; PaintAll what inspect --png spends drawing, also for an image
// whose tables claim huge pictures (largest_MB: the largest picture drawn);
// EncodePng what it spends encoding those pictures as PNG (file_kB: all the
// files together), EncodePngToolkit the same through the toolkit's encoder.

#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "rom/glyphlibrary.h"
#include "rom/tglyphlibraryentries.h"
#include "rom/tmakerom.h"
#include "rom/romlayout.h"
#include "rom/tpngwriter.h"
#include "rom/tromimagepainter.h"
#include "rom/tromimagereader.h"
#include "rom/tromrebuildcheck.h"
#include "rom/trombuilder.h"
#include "support/fullprojecthelpers.h"
#include "support/rasterhelpers.h"
#include "support/tscriptedprompts.h"
#include "support/ttestglyphs.h"
#include "util/fileaccess.h"
#include "support/pathhelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <sys/resource.h>
#include <memory>

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuRom::GlyphLibrary;
using DpuRom::TGlyphLibraryEntries;
using DpuRom::TMakeRom;
using DpuRom::TRomBuilder;

namespace {

struct TSetup {
    QTemporaryDir Dir;
    TConfiguration Config;
    TProject Project;
    GlyphLibrary Library;
    std::string GlbPath;
    std::vector<uint8_t> Image;
};

std::unique_ptr<TSetup> MakeSetup() {
    auto s = std::make_unique<TSetup>();
    const QString dir = s->Dir.path();
    const TTestGlyphs glyphs = InstallationLikeLibrary();
    s->GlbPath = (dir + "/BENCH.GLB").toStdString();
    WriteGlyphLibrary(s->GlbPath, glyphs.Entries);
    s->Library.Load(s->GlbPath);

    s->Config.ProgramDir = dir.toStdString() + "/";
    s->Config.StartupDir = dir.toStdString();
    // One version, so a recovered project names it and loads with its values.
    const char* ini = "[GLOBAL]\r\nGLB=BENCH.GLB\r\nVCN=1\r\nITEM1=BENCH\r\n"
                      "[BENCH]\r\nCFI=1\r\nIFI=41\r\nDISPHV=1\r\nENCODE=1\r\n";
    std::string error;
    YVclUtil::WriteFileAtomically(s->Config.IniPath(), ini, std::strlen(ini), error);
    TScriptedPrompts prompts;
    s->Config.Read(prompts);
    s->Config.SelectVersion(0);
    FillFullProject(s->Project, s->Config.ProgramDir, dir, false);
    return s;
}

TSetup* Setup = nullptr;
double BuildSeconds = 0;

void BM_MakeRom(benchmark::State& state) {
    TScriptedPrompts prompts;
    const std::string out = Setup->Dir.filePath("FULL.BIN").toStdString();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        GlyphLibrary library;
        library.Load(Setup->GlbPath);
        TMakeRom make(Setup->Project, Setup->Config, library, prompts, &prompts);
        make.OutputFile = out;
        if (!make.Run()) state.SkipWithError("the build stopped");
    }
    BuildSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                   static_cast<double>(state.iterations());
    std::string error;
    YVclUtil::ReadWholeFile(out, Setup->Image, error);
}

void Decode(benchmark::State& state, bool WithLibrary) {
    TGlyphLibraryEntries entries(Setup->Library, Setup->Config.GlbName);
    DpuRom::TRomImageReader reader;
    if (WithLibrary) {
        reader.Library = &entries;
        reader.Cfi = 1;
        reader.ProgramDir = Setup->Config.ProgramDir;
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        DpuRom::TRomImage image;
        if (!reader.Read(Setup->Image.data(), Setup->Image.size(), image))
            state.SkipWithError(reader.LastErrMsg.c_str());
        benchmark::DoNotOptimize(image.UserBitmaps.data());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
        static_cast<double>(state.iterations());
    if (BuildSeconds > 0) state.counters["x_build"] = seconds / BuildSeconds;
}

void BM_DecodeWithLibrary(benchmark::State& state) {
    Decode(state, true);
}
void BM_DecodeBare(benchmark::State& state) {
    Decode(state, false);
}

// What recover and inspect add to the reading: the image recovered into a
// scratch folder, loaded and built again in memory, and compared.
void BM_RebuildCheck(benchmark::State& state) {
    TGlyphLibraryEntries entries(Setup->Library, Setup->Config.GlbName);
    DpuRom::TRomImageReader reader;
    reader.Library = &entries;
    reader.Cfi = 1;
    reader.ProgramDir = Setup->Config.ProgramDir;
    DpuRom::TRomImage image;
    if (!reader.Read(Setup->Image.data(), Setup->Image.size(), image))
        state.SkipWithError(reader.LastErrMsg.c_str());
    size_t warnings = 0;
    for (auto _ : state) {
        DpuRom::TRomRebuildCheck check(Setup->Library, reader);
        check.RunOnScratch(Setup->Config, image, Setup->Image);
        warnings = check.Warnings.size();
    }
    state.counters["warnings"] = static_cast<double>(warnings);
}

// inspect --png's pictures, drawn four times enlarged and kept in memory: on
// the full build, and on it with tables claiming one picture as large as its
// zone and the next a byte shorter (the painter's budget at work).
void Paint(benchmark::State& state, bool Huge) {
    std::vector<uint8_t> bytes = Setup->Image;
    if (Huge) {
        auto put = [&bytes](size_t At, unsigned Address) {
            bytes[At] = static_cast<uint8_t>(Address >> 8);
            bytes[At + 1] = static_cast<uint8_t>(Address);
        };
        for (size_t i = 0; i < 60; ++i)
            put(DpuRom::RomLayout::DirTables + 2 * i, 0);
        put(DpuRom::RomLayout::DirTables, 0x3C80);
        put(DpuRom::RomLayout::DirTables + 2, 0x3C80 + 8640);
        put(DpuRom::RomLayout::DirTables + 4, 0x3C80 + 8640 + 8639);
    }
    DpuRom::TRomImageReader reader;
    DpuRom::TRomImage image;
    if (!reader.Read(bytes.data(), bytes.size(), image))
        state.SkipWithError(reader.LastErrMsg.c_str());
    size_t most = 0;
    for (auto _ : state)
        DpuRom::TRomImagePainter::PaintAll(
            image, 4, [&most](const DpuRom::TRomImagePainter::TPicture& P, const std::string&) {
                most = std::max(most, P.SizeInBytes());
                return true;
            });
    state.counters["largest_MB"] = static_cast<double>(most) / (1 << 20);
}

void BM_PaintAll(benchmark::State& state) {
    Paint(state, false);
}
void BM_PaintAllHugeItems(benchmark::State& state) {
    Paint(state, true);
}

// inspect --png's pictures of the full build encoded as PNG in memory: the
// program's own encoder, and beside it the toolkit's as the tool used it
// before (a palette of the three colours), for the same pictures.
void EncodePng(benchmark::State& state, bool Toolkit) {
    DpuRom::TRomImageReader reader;
    DpuRom::TRomImage image;
    if (!reader.Read(Setup->Image.data(), Setup->Image.size(), image))
        state.SkipWithError(reader.LastErrMsg.c_str());
    std::vector<DpuRom::TRomImagePainter::TPicture> pictures;
    DpuRom::TRomImagePainter::PaintAll(
        image, 4, [&pictures](const DpuRom::TRomImagePainter::TPicture& P, const std::string&) {
            pictures.push_back(P);
            return true;
        });
    std::vector<QImage> images;
    for (const auto& p : pictures)
        images.push_back(ImageOf(p));
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (size_t i = 0; i < pictures.size(); ++i) {
            if (Toolkit) {
                QByteArray out;
                QBuffer buffer(&out);
                buffer.open(QIODevice::WriteOnly);
                images[i]
                    .convertToFormat(QImage::Format_Indexed8, {0xFF000000, 0xFFFFFFFF, 0xFFB0B0B0},
                                     Qt::ThresholdDither | Qt::AvoidDither)
                    .save(&buffer, "PNG");
                bytes += static_cast<size_t>(out.size());
            } else {
                std::vector<uint8_t> out;
                std::string reason;
                DpuRom::TPngWriter::Encode(pictures[i], out, reason);
                bytes += out.size();
            }
        }
    }
    state.counters["pictures"] = static_cast<double>(pictures.size());
    state.counters["file_kB"] = static_cast<double>(bytes) / 1024;
}

void BM_EncodePng(benchmark::State& state) {
    EncodePng(state, false);
}
void BM_EncodePngToolkit(benchmark::State& state) {
    EncodePng(state, true);
}

// The installation's sample, built once, in a start-up folder of its own.
std::unique_ptr<QTemporaryDir> SampleDir;

bool PrepareSample() {
    SampleDir = std::make_unique<QTemporaryDir>();
    for (const char* name : {"ORVDVE510TK3.INI", "D510TK3.GLB", "sample.dcf", "SPACE_240x240.bmp"})
        QFile::copy(QString::fromStdString(AssetsDir()) + "/" + name, SampleDir->filePath(name));
    QProcess p;
    p.setWorkingDirectory(SampleDir->path());
    p.start(QCoreApplication::applicationDirPath() + "/dpu510tk3",
            {"make-rom", "sample.dcf", "-o", "SAMPLE.BIN"});
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

double ChildCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall time is the process as the user waits for it; child_cpu_ms is the CPU
// it used, which a loaded machine does not inflate.
void RunTool(benchmark::State& state, const QStringList& Args) {
    const double cpuStart = ChildCpuSeconds();
    for (auto _ : state) {
        QProcess p;
        p.setWorkingDirectory(SampleDir->path());
        p.start(QCoreApplication::applicationDirPath() + "/dpu510tk3", Args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) state.SkipWithError("the tool failed");
        p.readAllStandardOutput();
    }
    state.counters["child_cpu_ms"] =
        (ChildCpuSeconds() - cpuStart) * 1000 / static_cast<double>(state.iterations());
}

void BM_InspectProcess(benchmark::State& state) {
    RunTool(state, {"inspect", "SAMPLE.BIN"});
}
void BM_ProcessFloor(benchmark::State& state) {
    RunTool(state, {"--help"});
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::unique_ptr<TSetup> setup = MakeSetup();
    Setup = setup.get();
    const bool sample = PrepareSample();
    benchmark::RegisterBenchmark("MakeRom", BM_MakeRom)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("DecodeWithLibrary", BM_DecodeWithLibrary)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("DecodeBare", BM_DecodeBare)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("RebuildCheck", BM_RebuildCheck)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PaintAll", BM_PaintAll)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("EncodePng", BM_EncodePng)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("EncodePngToolkit", BM_EncodePngToolkit)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PaintAllHugeItems", BM_PaintAllHugeItems)
        ->Unit(benchmark::kMillisecond);
    if (sample) {
        benchmark::RegisterBenchmark("InspectProcess", BM_InspectProcess)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("ProcessFloor", BM_ProcessFloor)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
