#include "waithelpers.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!Done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
