#include "link/DebugSink.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace orvex {
namespace {

std::mutex g_debugMutex;
std::shared_ptr<const std::function<void(std::string_view)>> g_debugCallback;

bool StderrEnabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("ORVEX_DEBUG");
        return v != nullptr && *v != '\0' && *v != '0';
    }();
    return enabled;
}

} // namespace

void DebugOut(std::string_view text) {
    std::shared_ptr<const std::function<void(std::string_view)>> callback;
    {
        std::lock_guard lock(g_debugMutex);
        callback = g_debugCallback;
    }
    if (callback)
        (*callback)(text);
    if (StderrEnabled()) {
        std::lock_guard lock(g_debugMutex);
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
}

void DebugPrintf(const char* format, ...) {
    if (!StderrEnabled()) {
        std::lock_guard lock(g_debugMutex);
        if (!g_debugCallback)
            return;
    }
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return;
    DebugOut(
        std::string_view(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1));
}

void SetDebugCallback(std::function<void(std::string_view)> callback) {
    std::lock_guard lock(g_debugMutex);
    if (callback)
        g_debugCallback = std::make_shared<const std::function<void(std::string_view)>>(std::move(callback));
    else
        g_debugCallback.reset();
}

} // namespace orvex
