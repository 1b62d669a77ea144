#pragma once

#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "link/TcpTransport.h"
#include "link/Tick.h"
#include "model/ParameterStore.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace orvex::test {

// The link-lost event has no window message number of its own; the recorder gives it this one.
inline constexpr uint32_t kLinkLostEvent = 0xF001;
// Nor has the processor's report of a change it made by itself.
inline constexpr uint32_t kStoreReportedEvent = 0xF002;

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
    void OnLinkLost() override { Add({kLinkLostEvent, 0, 0}); }
    void OnZWaveEvent(uint32_t w, uint32_t l) override { Add({WM_DEV_ZWAVE_EVENT, w, l}); }
    void OnRefresh(uint32_t w, uint32_t l) override { Add({WM_DEV_REFRESH, w, l}); }
    void OnStoreReported() override { Add({kStoreReportedEvent, 0, 0}); }

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

// The link's clock in the test's hand: it stands still until the test moves it, and it notes
// which thread looked at it, so a test can tell that a waiter has seen the time it was given.
// The state is shared with the installed source, which a link thread may still be calling when
// the clock goes out of scope.
class ManualClock {
public:
    explicit ManualClock(uint32_t start = 10000) : m_state(std::make_shared<State>()) {
        m_state->now.store(start);
        SetTickSource([state = m_state] {
            {
                std::lock_guard lock(state->mutex);
                ++state->reads[std::this_thread::get_id()];
                ++state->totalReads;
            }
            return state->now.load();
        });
    }
    ~ManualClock() { SetTickSource({}); }

    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    uint32_t Now() const { return m_state->now.load(); }
    void Advance(uint32_t ms) { m_state->now += ms; }

    int ReadsBy(std::thread::id thread) const {
        std::lock_guard lock(m_state->mutex);
        const auto it = m_state->reads.find(thread);
        return it == m_state->reads.end() ? 0 : it->second;
    }
    // How many threads have looked at the clock.
    int Readers() const {
        std::lock_guard lock(m_state->mutex);
        return static_cast<int>(m_state->reads.size());
    }
    int TotalReads() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->totalReads;
    }
    // Waits until `thread` has read the clock `count` more times than `before`.
    bool WaitForReadsBy(std::thread::id thread, int before, int count,
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) const {
        return Eventually([&] { return ReadsBy(thread) >= before + count; }, timeout);
    }
    // Waits until the clock has been read `count` more times by anyone.
    bool WaitForReads(int count, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) const {
        const int target = TotalReads() + count;
        return Eventually([&] { return TotalReads() >= target; }, timeout);
    }

private:
    struct State {
        std::atomic<uint32_t> now{0};
        mutable std::mutex mutex;
        std::map<std::thread::id, int> reads;
        int totalReads = 0;
    };
    std::shared_ptr<State> m_state;
};

// Lets a manual clock run on when a test leaves, early or not: a waiter the test started must be
// able to finish before its future is destroyed. Declare it after the futures it is for.
class ClockThaw {
public:
    explicit ClockThaw(ManualClock& clock) : m_clock(clock) {}
    ~ClockThaw() { m_clock.Advance(1u << 30); }
    ClockThaw(const ClockThaw&) = delete;
    ClockThaw& operator=(const ClockThaw&) = delete;

private:
    ManualClock& m_clock;
};

inline double MsBetween(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

} // namespace orvex::test
