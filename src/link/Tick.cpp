#include "link/Tick.h"

#include <chrono>
#include <memory>
#include <mutex>

namespace orvex {
namespace {

std::mutex g_tickMutex;
std::shared_ptr<const std::function<uint32_t()>> g_tickSource;

uint32_t MonotonicTick() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

uint32_t TickNow() {
    std::shared_ptr<const std::function<uint32_t()>> source;
    {
        std::lock_guard lock(g_tickMutex);
        source = g_tickSource;
    }
    return source ? (*source)() : MonotonicTick();
}

void SetTickSource(std::function<uint32_t()> source) {
    std::lock_guard lock(g_tickMutex);
    if (source)
        g_tickSource = std::make_shared<const std::function<uint32_t()>>(std::move(source));
    else
        g_tickSource.reset();
}

} // namespace orvex
