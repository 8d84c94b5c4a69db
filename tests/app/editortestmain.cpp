// The editor tests need a QApplication (widgets) and must never block on a
// real message box: library error boxes are recorded instead.
#include "util/errmsgbox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {
std::mutex g_errLock;
std::vector<std::pair<std::string, std::string>> g_errBoxes;
} // namespace

// Error boxes shown by the libraries since the last call.
std::vector<std::pair<std::string, std::string>> TakeErrorBoxes() {
    std::lock_guard<std::mutex> lock(g_errLock);
    return std::exchange(g_errBoxes, {});
}

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
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.toLocal8Bit());
    qputenv("QT_SCALE_FACTOR", parts.value(1, QStringLiteral("1")).toLatin1());
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // COM port symlinks of the tests live in a folder of their own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    UseNamedScreen(config);
    QApplication app(argc, argv);
    YVclUtil::SetErrMsgBoxHandler([](const std::string& Caption, const std::string& Text) {
        std::lock_guard<std::mutex> lock(g_errLock);
        g_errBoxes.emplace_back(Caption, Text);
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
