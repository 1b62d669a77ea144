#pragma once

#include "model/SmartHomeTables.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace orvex {

class DeviceLink;
class DeviceSession;

// The run's pacing: the confirmation poll and its count, the pause after each command, and what a
// delay's second lasts (tests shorten them).
struct SceneTiming {
    std::chrono::milliseconds poll{10};
    int polls = 600;
    std::chrono::milliseconds between{20};
    std::chrono::milliseconds second{1000};
};

// Plays one scene through the processor on a thread of its own: plug values (each waited for until
// the module confirms it, at most 600 polls of 10 ms), delays, and HDMI input selections. Only one
// scene runs at a time in the whole program. The run ends early when cancelled or when the link goes.
class SceneRunner {
public:
    using Timing = SceneTiming;
    enum class End { Running, Finished, Cancelled, LinkLost };

    static constexpr uint8_t kTargetDelay = 240;
    static constexpr uint8_t kTargetHdmi = 254;

    explicit SceneRunner(DeviceSession& session, Timing timing = {});
    // On a bare link (orvexctl): the run stops when the link itself goes.
    explicit SceneRunner(DeviceLink& link, Timing timing = {});
    ~SceneRunner(); // cancels and waits for the thread

    SceneRunner(const SceneRunner&) = delete;
    SceneRunner& operator=(const SceneRunner&) = delete;

    // False (nothing started) while this or any other runner is running.
    bool Start(const SceneRecord& record);
    void Cancel() { m_cancel.store(true); }
    End Result() const { return m_end.load(); }
    // Non-empty commands handled so far, and in all.
    int Done() const { return m_done.load(); }
    int Total() const { return m_total; }
    // The longest the plan may take: its delays, the full wait for every plug command and the pause
    // after each command.
    std::chrono::milliseconds Limit() const { return m_limit; }

    static std::chrono::milliseconds PlanLimit(const SceneRecord& record, const Timing& timing);
    static bool AnyRunning() { return s_running.load(); }

private:
    void Run(SceneRecord record);
    // Sleeps up to `ms`; false when the run has to stop.
    bool Wait(std::chrono::milliseconds ms);
    bool MustStop();

    DeviceLink& m_link;
    std::function<bool()> m_connected;
    Timing m_timing;
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<End> m_end{End::Finished};
    std::atomic<int> m_done{0};
    int m_total = 0;
    std::chrono::milliseconds m_limit{0};

    static std::atomic<bool> s_running;
};

} // namespace orvex
