// The editor tests need a QApplication (widgets) and must never block on a
// real message box: library error boxes are recorded instead.
#include "util/errmsgbox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
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

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // COM port symlinks of the tests live in a folder of their own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    YVclUtil::SetErrMsgBoxHandler([](const std::string& Caption, const std::string& Text) {
        std::lock_guard<std::mutex> lock(g_errLock);
        g_errBoxes.emplace_back(Caption, Text);
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
