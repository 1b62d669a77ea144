#include "link/SceneRunner.h"

#include "link/CommandEncoder.h"
#include "link/ZWaveFrames.h"
#include "model/ParameterStore.h"
#include "link/DeviceSession.h"

#include <algorithm>

namespace orvex {

std::atomic<bool> SceneRunner::s_running{false};

SceneRunner::SceneRunner(DeviceSession& session, Timing timing)
    : m_link(session.Link()), m_connected([&session] { return session.IsConnected(); }), m_timing(timing) {}

SceneRunner::SceneRunner(DeviceLink& link, Timing timing)
    : m_link(link), m_connected([&link] { return link.IsConnected(); }), m_timing(timing) {}

SceneRunner::~SceneRunner() {
    m_cancel.store(true);
    if (m_thread.joinable())
        m_thread.join();
}

std::chrono::milliseconds SceneRunner::PlanLimit(const SceneRecord& record, const Timing& timing) {
    std::chrono::milliseconds limit{0};
    for (int i = 0; i < kSceneCommandCount; ++i) {
        const uint8_t target = record[static_cast<size_t>(2 * i)];
        const uint8_t value = record[static_cast<size_t>(2 * i + 1)];
        if (target == 0)
            continue;
        if (target == kTargetDelay)
            limit += timing.second * value;
        else if (IsPlugNode(target))
            limit += timing.poll * timing.polls;
        limit += timing.between;
    }
    return limit;
}

bool SceneRunner::Start(const SceneRecord& record) {
    if (m_thread.joinable()) {
        if (m_end.load() == End::Running)
            return false;
        m_thread.join();
    }
    bool expected = false;
    if (!s_running.compare_exchange_strong(expected, true))
        return false;
    m_cancel.store(false);
    m_done.store(0);
    m_total = 0;
    for (int i = 0; i < kSceneCommandCount; ++i)
        m_total += record[static_cast<size_t>(2 * i)] != 0 ? 1 : 0;
    m_limit = PlanLimit(record, m_timing);
    m_end.store(End::Running);
    m_thread = std::thread(&SceneRunner::Run, this, record);
    return true;
}

bool SceneRunner::MustStop() {
    if (m_cancel.load()) {
        m_end.store(End::Cancelled);
        return true;
    }
    if (!m_connected()) {
        m_end.store(End::LinkLost);
        return true;
    }
    return false;
}

bool SceneRunner::Wait(std::chrono::milliseconds ms) {
    // Long delays are slept in short steps so that cancelling or losing the link ends them.
    const auto step = std::chrono::milliseconds(10);
    while (ms.count() > 0) {
        if (MustStop())
            return false;
        const auto now = std::min(ms, step);
        std::this_thread::sleep_for(now);
        ms -= now;
    }
    return !MustStop();
}

void SceneRunner::Run(SceneRecord record) {
    SmartHomeTables& tables = m_link.SmartHome();
    for (int i = 0; i < kSceneCommandCount; ++i) {
        const uint8_t target = record[static_cast<size_t>(2 * i)];
        const uint8_t value = record[static_cast<size_t>(2 * i + 1)];
        if (target == 0)
            continue;
        if (MustStop())
            break;
        if (target == kTargetHdmi) {
            m_link.Commands().Set(fields::hdmiInput, value);
        } else if (target == kTargetDelay) {
            if (!Wait(m_timing.second * value))
                break;
        } else if (IsPlugNode(target) && tables.NodePresent(target)) {
            tables.SetNodeValue(target, value);
            // Armed before the frame goes, so that an earlier command's confirmation is not taken
            // for this one's; only this command's callback or this plug's own report confirm it.
            const std::vector<uint8_t> parameters = ZWaveSetValueParameters(target, value);
            const uint8_t callback = ZWaveSetValueCallback(value);
            tables.ExpectConfirmation(target, callback, callback != zwave::CallbackQuiet);
            m_link.Commands().SendZWaveFrame(zwave::SendData, parameters);
            for (int poll = 0; poll < m_timing.polls && !tables.Confirmed(); ++poll) {
                if (!Wait(m_timing.poll))
                    break;
            }
            if (m_end.load() != End::Running)
                break;
        }
        ++m_done;
        if (!Wait(m_timing.between))
            break;
    }
    if (m_end.load() == End::Running)
        m_end.store(End::Finished);
    s_running.store(false);
}

} // namespace orvex
