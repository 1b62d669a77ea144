#pragma once

#include <cstdint>
#include <functional>

namespace orvex {

// The link's one clock: a wrapping millisecond count like the processor-side hosts use.
// Differences are taken as unsigned 32-bit values, so the wrap every 49.7 days is harmless.
uint32_t TickNow();

// Tests replace the clock to run time-outs without waiting for them; an empty function
// restores the monotonic clock.
void SetTickSource(std::function<uint32_t()> source);

inline uint32_t TicksSince(uint32_t then) {
    return TickNow() - then;
}

} // namespace orvex
