#pragma once

#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <mutex>

#include "link/Tick.h"

namespace orvex {

// A binary event that releases exactly one waiter and then resets itself, the way the
// link's reply event paces one synchronous send per reply.
class AutoResetEvent {
public:
    explicit AutoResetEvent(bool initiallySignalled = false) : m_signalled(initiallySignalled) {}

    void Set() {
        {
            std::lock_guard lock(m_mutex);
            m_signalled = true;
        }
        m_cv.notify_one();
    }

    void Reset() {
        std::lock_guard lock(m_mutex);
        m_signalled = false;
    }

    // Returns true when the event was signalled (and consumes it), false on time-out.
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, timeout, [this] { return m_signalled; }))
            return false;
        m_signalled = false;
        return true;
    }

    // The same wait, but its time-out runs on the link's tick (looked at every `slice`), so a
    // test that replaces the tick decides exactly when it falls.
    bool WaitTicks(std::chrono::milliseconds timeout, std::chrono::milliseconds slice = std::chrono::milliseconds(10)) {
        const uint32_t start = TickNow();
        const auto limit = static_cast<uint32_t>(timeout.count());
        for (;;) {
            std::unique_lock lock(m_mutex);
            if (m_cv.wait_for(lock, slice, [this] { return m_signalled; })) {
                m_signalled = false;
                return true;
            }
            lock.unlock();
            if (TicksSince(start) >= limit)
                return false;
        }
    }

    bool IsSignalled() const {
        std::lock_guard lock(m_mutex);
        return m_signalled;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled;
};

} // namespace orvex
