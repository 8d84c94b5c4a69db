// The editor at start: from creating the main window (start-up reads the
// configuration, loads the glyph library, draws the style previews and the
// 40 lift-state pictures) to the window's first paint, and the process's
// resident memory once the window is up. The first window of the process is
// the person's cold start (ColdStart, one run); later windows show what a
// start costs once fonts and plugins are loaded (WarmStart). The window is
// held to a first paint under 300 ms and the process to under 60 MB resident.
//
// Runs on the display's platform, or offscreen when there is no display.

#include "app/tform1.h"
#include "util/silentprompts.h"
#include "support/pathhelpers.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace {

// Started first thing in main: the cold start also counts from there
// (platform plugin, fonts), as the person waiting for the window does.
QElapsedTimer g_sinceMain;

// Resident and peak resident memory of this process in MB ("VmRSS"/"VmHWM").
double StatusMb(const char* Key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(Key) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}

// Notes the first paint of the window it watches.
class TFirstPaint : public QObject {
public:
    bool Painted = false;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Paint) Painted = true;
        return QObject::eventFilter(Watched, Event);
    }
};

// Milliseconds from creating the window to its first paint; -1 when it never
// painted within 10 s. The window stays in Form.
double StartWindow(YVclUtil::SilentPrompts& Ask, std::unique_ptr<TForm1>& Form) {
    QElapsedTimer clock;
    clock.start();
    Form = std::make_unique<TForm1>(&Ask);
    TFirstPaint watch;
    Form->installEventFilter(&watch);
    Form->show();
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (watch.Painted || clock.elapsed() > 10000) loop.quit();
    });
    tick.start();
    if (!watch.Painted) loop.exec();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    Form->removeEventFilter(&watch);
    return watch.Painted ? ms : -1;
}

void Settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void ColdStart(benchmark::State& State) {
    // Nobody answers: every question is declined, every box dropped.
    YVclUtil::SilentPrompts ask;
    for (auto _ : State) {
        std::unique_ptr<TForm1> form;
        const double ms = StartWindow(ask, form);
        Settle();
        const double sinceMain = static_cast<double>(g_sinceMain.nsecsElapsed()) / 1e6;
        State.counters["first_paint_ms"] = ms;
        State.counters["since_main_ms"] = sinceMain;
        State.counters["rss_mb"] = StatusMb("VmRSS");
        State.counters["peak_rss_mb"] = StatusMb("VmHWM");
        State.counters["startup_ok"] = form->StartupCompleted() ? 1 : 0;
        std::printf("cold start: first paint %.1f ms after the window was created (%.1f ms "
                    "after main began), resident %.1f MB (peak %.1f MB)%s\n",
                    ms, sinceMain, StatusMb("VmRSS"), StatusMb("VmHWM"),
                    form->StartupCompleted() ? "" : ", start-up did not complete");
    }
}

void WarmStart(benchmark::State& State) {
    YVclUtil::SilentPrompts ask;
    double total = 0;
    for (auto _ : State) {
        std::unique_ptr<TForm1> form;
        total += StartWindow(ask, form);
        State.PauseTiming();
        form.reset();
        Settle();
        State.ResumeTiming();
    }
    State.counters["first_paint_ms"] = total / static_cast<double>(State.iterations());
    State.counters["rss_mb"] = StatusMb("VmRSS");
}

} // namespace

// The cold start must be the first window of the process.
BENCHMARK(ColdStart)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(WarmStart)->Iterations(10)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    g_sinceMain.start();
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A start-up directory as "make run" prepares it; settings out of the user's own.
    QTemporaryDir workspace;
    qputenv("XDG_CONFIG_HOME", workspace.filePath(QStringLiteral("config")).toLocal8Bit());
    for (const char* name : {"ORVDVE510TK3.INI", "D510TK3.GLB", "SPACE_240x240.bmp", "sample.dcf"})
        QFile::copy(QString::fromStdString(AssetsDir() + "/") + QLatin1String(name),
                    workspace.filePath(QLatin1String(name)));
    QDir::setCurrent(workspace.path());
    QApplication app(argc, argv);
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
