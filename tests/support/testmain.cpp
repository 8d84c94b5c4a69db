// The one main() of the test programs. Events of the serial component, the
// link's timers and the converter's time-outs reach their owner through the Qt
// event loop, so every test runs inside an application object: a
// QCoreApplication, or with DPU_TEST_WIDGETS (target dpu_testmain_widgets) a
// QApplication for the editor's window. Error boxes of the libraries are
// recorded, never shown, and the per-user configuration (COM port links)
// lives in a folder of the run's own.
#include "testmain.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#ifdef DPU_TEST_WIDGETS
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#else
#include <QCoreApplication>
#endif

namespace {
TErrorBoxRecorder* g_errorBoxes = nullptr;

#ifdef DPU_TEST_WIDGETS
// DPU_TEST_SCREEN=WIDTHxHEIGHT@SCALE ("1920x1080@1.5") gives the offscreen
// platform a screen of that many pixels, scaled as a person's desktop would be.
void UseNamedScreen(QTemporaryDir& Dir) {
    const QString name = qEnvironmentVariable("DPU_TEST_SCREEN");
    const QStringList parts = name.split('@');
    const QStringList wh = parts.value(0).split('x');
    if (name.isEmpty() || wh.size() != 2) return;
    const QString config = Dir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(QStringLiteral("{ \"windowFrameMargins\": true, \"screens\": [ { \"name\": "
                              "\"TestScreen\", \"x\": 0, \"y\": 0, \"width\": %1, "
                              "\"height\": %2, \"logicalDpi\": 96, \"logicalBaseDpi\": 96 } ] }")
                   .arg(wh[0], wh[1])
                   .toUtf8());
    file.close();
    // Qt splits the platform's arguments at ':', so a path with a drive letter
    // (Windows) is named from the current folder, made the file's own.
    QString named = config;
    if (named.contains(QLatin1Char(':')) && QDir::setCurrent(Dir.path()))
        named = QStringLiteral("screen.json");
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + named.toLocal8Bit());
    qputenv("QT_SCALE_FACTOR", parts.value(1, QStringLiteral("1")).toLatin1());
}
#endif
} // namespace

std::vector<TErrorBoxRecorder::TBox> TakeErrorBoxes() {
    return g_errorBoxes ? g_errorBoxes->Take() : std::vector<TErrorBoxRecorder::TBox>();
}

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
#ifdef DPU_TEST_WIDGETS
    qputenv("QT_QPA_PLATFORM", "offscreen");
    UseNamedScreen(config);
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    TErrorBoxRecorder errorBoxes;
    g_errorBoxes = &errorBoxes;
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    g_errorBoxes = nullptr;
    return result;
}
