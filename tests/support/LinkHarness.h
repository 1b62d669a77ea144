#pragma once

#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "link/TcpTransport.h"
#include "model/ParameterStore.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace orvex::test {

// Records every link event, with a wait that wakes as soon as one arrives.
class RecordingEvents : public LinkEvents {
public:
    struct Event {
        uint32_t message;
        uint32_t wParam;
        uint32_t lParam;
    };

    void OnRemoteKey(uint32_t keyCode) override { Add({WM_DEV_REMOTE_KEY, keyCode, 0}); }
    void OnSyncDone(uint32_t wParam) override { Add({WM_DEV_SYNC_DONE, wParam, 0}); }
    void OnLinkTimeout() override { Add({WM_DEV_LINK_TIMEOUT, 0, 0}); }
    void OnHostBusy() override { Add({WM_DEV_HOST_BUSY, 0, 0}); }
    void OnZWaveEvent(uint32_t w, uint32_t l) override { Add({WM_DEV_ZWAVE_EVENT, w, l}); }
    void OnRefresh(uint32_t w) override { Add({WM_DEV_REFRESH, w, 0}); }

    int Count(uint32_t message) const {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto& e : m_events)
            n += e.message == message ? 1 : 0;
        return n;
    }

    bool WaitFor(uint32_t message, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, timeout, [&] {
            for (const auto& e : m_events)
                if (e.message == message)
                    return true;
            return false;
        });
    }

    void Clear() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

    std::vector<Event> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

private:
    void Add(Event e) {
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back(e);
        }
        m_cv.notify_all();
    }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::vector<Event> m_events;
};

// Polls a condition until it holds or the time runs out.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < until) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

inline double MsBetween(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

} // namespace orvex::test
