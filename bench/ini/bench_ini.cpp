// Load, 10^5 lookups and save of two INI files: one the size of a project file
// (about 830 keys) and one of 5 MB (10^5 keys in 10^3 sections). The same work
// is timed for inih (parse only, and parse into a map) and SimpleIni, and the
// ratios are printed after the table. TY_Parse is the load without the file:
// the same bytes handed over in memory.

#include "util/tyinifile.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#ifdef DPU_BENCH_INIH
#include <ini.h>
#endif
#ifdef DPU_BENCH_SIMPLEINI
// Plain bytes in and out, as our engine handles them.
#define SI_NO_CONVERSION 1
// The packaged header keeps the member definitions behind this switch.
#define SI_IMPLEMENTATION 1
#include <SimpleIni.h>
#endif

using YVclUtil::TYIniFile;

namespace {

struct Dataset {
    std::string text;
    std::string path;
    std::string savePath;
    std::vector<std::pair<std::string, std::string>> lookups; // 10^5 (section, key)
};

std::string g_dir;
Dataset g_sets[2];
constexpr int kLookups = 100000;

void WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size()) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fclose(f);
}

void MakeLookups(Dataset& set, const std::vector<std::pair<std::string, std::string>>& keys) {
    std::mt19937 rng(5);
    set.lookups.reserve(kLookups);
    for (int i = 0; i < kLookups; ++i) {
        // Runs of reads in one section, as the callers do, with some misses.
        const auto& k =
            keys[(i % 10 == 9) ? rng() % keys.size() : (i / 10 * 7 + i % 10) % keys.size()];
        set.lookups.emplace_back(k.first, i % 50 == 49 ? k.second + "_missing" : k.second);
    }
}

// A project-sized file: three code tables of 256 keys and some settings.
void MakeProjectFile(Dataset& set) {
    std::string text;
    std::vector<std::pair<std::string, std::string>> keys;
    text += "[Setting]\r\n";
    for (int i = 0; i < 40; ++i) {
        text += "Option" + std::to_string(i) + "=" + std::to_string(i * 7) + "\r\n";
        keys.emplace_back("Setting", "Option" + std::to_string(i));
    }
    text += "\r\n";
    for (int t = 0; t < 3; ++t) {
        const std::string section = "CTBL" + std::to_string(t);
        text += "[" + section + "]\r\n";
        for (int n = 0; n < 256; ++n) {
            text += "CODE_" + std::to_string(n) + "=" +
                    (n % 5 ? std::to_string(n % 40) + "F" : "") + "\r\n";
            keys.emplace_back(section, "CODE_" + std::to_string(n));
        }
        text += "\r\n";
    }
    text += "[LiftState]\r\n";
    for (int i = 0; i < 24; ++i) {
        text += "Slot" + std::to_string(i) + "=DefaultImage2\\LiftState\\state" +
                std::to_string(i) + ".bmp\r\n";
        keys.emplace_back("LiftState", "Slot" + std::to_string(i));
    }
    text += "\r\n";
    set.path = g_dir + "/project.dcf";
    set.savePath = g_dir + "/project_saved.dcf";
    WriteText(set.path, text);
    set.text = text;
    MakeLookups(set, keys);
}

// 10^5 keys in 10^3 sections, about 5 MB.
void MakeLargeFile(Dataset& set) {
    std::string text;
    std::vector<std::pair<std::string, std::string>> keys;
    std::mt19937 rng(9);
    static const char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ._/";
    for (int s = 0; s < 1000; ++s) {
        const std::string section = "Section_" + std::to_string(s);
        text += "[" + section + "]\r\n";
        for (int k = 0; k < 100; ++k) {
            const std::string key = "Key_" + std::to_string(k);
            std::string value(24 + rng() % 20, 'x');
            for (char& c : value)
                c = kChars[rng() % (sizeof(kChars) - 4)];
            text += key + "=" + value + "\r\n";
            keys.emplace_back(section, key);
        }
        text += "\r\n";
    }
    set.path = g_dir + "/large.ini";
    set.savePath = g_dir + "/large_saved.ini";
    WriteText(set.path, text);
    set.text = text;
    MakeLookups(set, keys);
}

// --- TYIniFile -------------------------------------------------------------

void TY_Load(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    for (auto _ : state) {
        TYIniFile ini(set.path);
        benchmark::DoNotOptimize(ini.SectionExists("CTBL0"));
    }
}

void TY_Parse(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(set.text.data()),
                                         set.text.size());
    for (auto _ : state) {
        TYIniFile ini(bytes);
        benchmark::DoNotOptimize(ini.SectionExists("CTBL0"));
    }
}

void TY_Lookup(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    TYIniFile ini(set.path);
    for (auto _ : state) {
        size_t total = 0;
        for (const auto& [section, key] : set.lookups)
            total += ini.ReadString(section, key, "").size();
        benchmark::DoNotOptimize(total);
    }
}

void TY_Save(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    TYIniFile ini(set.path);
    for (auto _ : state) {
        ini.pw_FileName(set.savePath); // marks the content as changed
        if (!ini.UpdateFile()) state.SkipWithError("save failed");
    }
}

#ifdef DPU_BENCH_INIH
// --- inih --------------------------------------------------------------------

int ParseOnlyHandler(void* user, const char*, const char*, const char*) {
    ++*static_cast<size_t*>(user);
    return 1;
}

using FlatMap = std::unordered_map<std::string, std::string>;

std::string FlatKey(const char* section, const char* name) {
    std::string k = section;
    k += '\0';
    k += name;
    return k;
}

int MapHandler(void* user, const char* section, const char* name, const char* value) {
    (*static_cast<FlatMap*>(user))[FlatKey(section, name)] = value;
    return 1;
}

void Inih_ParseOnly(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    for (auto _ : state) {
        size_t pairs = 0;
        if (ini_parse(set.path.c_str(), ParseOnlyHandler, &pairs) != 0)
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(pairs);
    }
}

void Inih_LoadMap(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    for (auto _ : state) {
        FlatMap map;
        if (ini_parse(set.path.c_str(), MapHandler, &map) != 0) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(map.size());
    }
}

void Inih_Lookup(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    FlatMap map;
    ini_parse(set.path.c_str(), MapHandler, &map);
    for (auto _ : state) {
        size_t total = 0;
        for (const auto& [section, key] : set.lookups) {
            auto it = map.find(FlatKey(section.c_str(), key.c_str()));
            total += it == map.end() ? 0 : it->second.size();
        }
        benchmark::DoNotOptimize(total);
    }
}
#endif

#ifdef DPU_BENCH_SIMPLEINI
// --- SimpleIni -----------------------------------------------------------------

void Simple_Load(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    for (auto _ : state) {
        CSimpleIniA ini;
        if (ini.LoadFile(set.path.c_str()) < 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(ini.GetSectionSize("CTBL0"));
    }
}

void Simple_Lookup(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    CSimpleIniA ini;
    ini.LoadFile(set.path.c_str());
    for (auto _ : state) {
        size_t total = 0;
        for (const auto& [section, key] : set.lookups) {
            const char* v = ini.GetValue(section.c_str(), key.c_str(), "");
            total += std::char_traits<char>::length(v);
        }
        benchmark::DoNotOptimize(total);
    }
}

void Simple_Save(benchmark::State& state) {
    const Dataset& set = g_sets[state.range(0)];
    CSimpleIniA ini;
    ini.LoadFile(set.path.c_str());
    for (auto _ : state) {
        if (ini.SaveFile(set.savePath.c_str()) < 0) state.SkipWithError("save failed");
    }
}
#endif

// Records the CPU time per iteration of every run so the ratios can be
// printed; CPU time, because wall time on a shared machine mostly measures the
// neighbours.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

void PrintRatio(const RatioReporter& r, const char* what, const std::string& ours,
                const std::string& theirs) {
    auto a = r.times.find(ours), b = r.times.find(theirs);
    if (a == r.times.end() || b == r.times.end()) return;
    std::printf("  %-44s %6.2f  (%s / %s)\n", what, a->second / b->second, ours.c_str(),
                theirs.c_str());
}

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() /
        ("bench_ini." +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::error_code ec;
    if (!fs::create_directory(dir, ec)) {
        std::fprintf(stderr, "bench_ini: cannot make %s: %s\n", dir.string().c_str(),
                     ec.message().c_str());
        return 1;
    }
    g_dir = dir.string();
    MakeProjectFile(g_sets[0]);
    MakeLargeFile(g_sets[1]);

    auto reg = [](const char* name, void (*fn)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name, fn)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
    };
    reg("TY_Load", TY_Load);
    reg("TY_Parse", TY_Parse);
#ifdef DPU_BENCH_INIH
    reg("Inih_ParseOnly", Inih_ParseOnly);
    reg("Inih_LoadMap", Inih_LoadMap);
#endif
#ifdef DPU_BENCH_SIMPLEINI
    reg("Simple_Load", Simple_Load);
#endif
    reg("TY_Lookup", TY_Lookup);
#ifdef DPU_BENCH_INIH
    reg("Inih_Lookup", Inih_Lookup);
#endif
#ifdef DPU_BENCH_SIMPLEINI
    reg("Simple_Lookup", Simple_Lookup);
#endif
    reg("TY_Save", TY_Save);
#ifdef DPU_BENCH_SIMPLEINI
    reg("Simple_Save", Simple_Save);
#endif

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf(
        "\nCPU time ratios (below 1: TYIniFile is faster); /0 = project file, /1 = 5 MB file\n");
    for (const char* arg : {"/0", "/1"}) {
        const std::string a = arg;
        PrintRatio(reporter, "load vs inih parse-only (goal <= 1.5)", "TY_Load" + a,
                   "Inih_ParseOnly" + a);
        PrintRatio(reporter, "load vs inih parse into map", "TY_Load" + a, "Inih_LoadMap" + a);
        PrintRatio(reporter, "load vs SimpleIni (goal < 1)", "TY_Load" + a, "Simple_Load" + a);
        PrintRatio(reporter, "10^5 lookups vs SimpleIni (goal < 1)", "TY_Lookup" + a,
                   "Simple_Lookup" + a);
        PrintRatio(reporter, "10^5 lookups vs inih map", "TY_Lookup" + a, "Inih_Lookup" + a);
        PrintRatio(reporter, "save vs SimpleIni", "TY_Save" + a, "Simple_Save" + a);
    }
    benchmark::Shutdown();
    for (const Dataset& set : g_sets) {
        std::remove(set.path.c_str());
        std::remove(set.savePath.c_str());
    }
    fs::remove_all(dir, ec);
    return 0;
}
