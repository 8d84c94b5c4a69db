#include "util/errmsgbox.h"
#include "util/eygeneral.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace YVclUtil {

namespace {
std::mutex g_handlerMutex;
ErrMsgBoxHandler g_handler;
} // namespace

void ShowErrMsgBox(const std::string& caption, const std::string& text) {
    ErrMsgBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_handlerMutex);
        handler = g_handler;
    }
    if (handler)
        handler(caption, text);
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

ErrMsgBoxHandler SetErrMsgBoxHandler(ErrMsgBoxHandler handler) {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    ErrMsgBoxHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

int ShowErrMsgBox_Printf(const char* Caption, const char* Format, ...) {
    va_list args;
    va_start(args, Format);
    const std::string text = VFormat(Format, args);
    va_end(args);
    ShowErrMsgBox(Caption ? Caption : "", text);
    return static_cast<int>(text.size());
}

int SendDbgString_Printf(const char* Format, ...) {
    va_list args;
    va_start(args, Format);
    const std::string text = VFormat(Format, args);
    va_end(args);
    static const bool enabled = std::getenv("DPU_DEBUG") != nullptr;
    if (enabled) std::fprintf(stderr, "%s\n", text.c_str());
    return static_cast<int>(text.size());
}

void BinToHexAscii(unsigned char Value, char* Out) {
    static const char digits[] = "0123456789ABCDEF";
    Out[0] = digits[Value >> 4];
    Out[1] = digits[Value & 0x0F];
}

} // namespace YVclUtil
