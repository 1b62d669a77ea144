#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

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
