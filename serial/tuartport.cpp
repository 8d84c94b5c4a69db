#include "serial/tuartport.h"

#include <mutex>

namespace YVclCtrl {

namespace {
std::mutex g_factoryMutex;
TUartPortFactory g_factory;
} // namespace

TUartPortFactory SetUartPortFactory(TUartPortFactory Factory) {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    TUartPortFactory previous = std::move(g_factory);
    g_factory = std::move(Factory);
    return previous;
}

std::unique_ptr<TUartPort> CreateUartPort() {
    {
        std::lock_guard<std::mutex> lock(g_factoryMutex);
        if (g_factory) return g_factory();
    }
    return CreatePlatformUartPort();
}

} // namespace YVclCtrl
