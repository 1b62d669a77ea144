#include "ctl/LinkKeeper.h"

#include "link/ConnectResult.h"
#include "link/SceneRunner.h"
#include "link/Synchronizer.h"
#include "remote/RemoteWrites.h"

#include <algorithm>
#include <utility>

namespace orvex::ctl {

LinkKeeper::LinkKeeper(ParameterStore& store, ConnectTarget target, std::chrono::milliseconds timeout, HidBackend* hid,
                       SnapshotBoard& board, Log log)
    : m_store(store), m_target(std::move(target)), m_timeout(timeout), m_hid(hid), m_board(board),
      m_log(std::move(log)) {}

LinkKeeper::~LinkKeeper() = default;

void LinkKeeper::Post(RemoteWrite write) {
    {
        std::lock_guard lock(m_mutex);
        m_writes.push_back(write);
        ++m_posted;
    }
    m_wake.notify_one();
}

void LinkKeeper::Rest() {
    // A turn ends early when a controller posts a write or the processor has news (a plug's report,
    // a read's end): either is out to the controllers within milliseconds.
    std::unique_lock lock(m_mutex);
    const uint64_t seen = m_posted;
    const uint64_t heard = m_notices;
    m_wake.wait_for(lock, kTurn, [&] { return m_posted != seen || m_notices != heard; });
}

void LinkKeeper::Notice() {
    {
        std::lock_guard lock(m_mutex);
        ++m_notices;
    }
    m_wake.notify_one();
}

std::vector<RemoteWrite> LinkKeeper::Take() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_writes, {});
}

void LinkKeeper::Say(const std::string& line) const {
    if (m_log)
        m_log(line);
}

Outcome LinkKeeper::Run(const std::atomic<bool>* stop) {
    const auto stopped = [&] { return stop != nullptr && stop->load(); };
    using Clock = std::chrono::steady_clock;
    std::unique_ptr<SceneRunner> scenes; // on the link of the moment, made when it opens
    SmartHomeTables noTables;            // what the state shows of the plugs while there is no link
    bool up = false;
    bool smartRead = false;
    size_t failures = 0;
    Clock::time_point nextAttempt = Clock::now();
    Clock::time_point nextLevels = Clock::now();
    Outcome result;
    while (!stopped()) {
        if (!up) {
            Take(); // nothing reaches a processor that is not there
            m_board.Publish(TakeRemoteSnapshot(m_store, noTables, false));
            if (Clock::now() < nextAttempt) {
                Rest();
                continue;
            }
            m_session.reset(); // an earlier attempt's link says goodbye first
            m_session = std::make_unique<CtlSession>(m_store, m_target, m_timeout, m_hid);
            m_session->Events().SetNotice([this] { Notice(); });
            Outcome outcome = m_session->Connect();
            if (!outcome)
                outcome = m_session->ReadAll();
            if (outcome) {
                m_session.reset();
                if (outcome->exitCode != kExitLink) {
                    result = outcome; // a processor the editor does not accept stays refused
                    break;
                }
                const int delayMs = kReconnectDelaysMs[std::min(failures++, kReconnectDelaysMs.size() - 1)];
                Say(outcome->message + "; trying again in " + std::to_string(delayMs / 1000) + " s");
                nextAttempt = Clock::now() + std::chrono::milliseconds(delayMs);
                continue;
            }
            failures = 0;
            up = true;
            scenes = std::make_unique<SceneRunner>(m_session->Link());
            // The plugs and scenes come from the smart-home module, as the editor reads them.
            smartRead = m_session->Link().Sync().StartReadZWave();
            Say("connected to " + m_session->Where());
            if (m_onConnected)
                m_onConnected();
        }
        DeviceLink& link = m_session->Link();
        if (!link.IsConnected() || m_session->Events().TimedOut() || m_session->Events().HostBusy()) {
            Say("lost the link to " + m_session->Where());
            scenes.reset(); // a run still going ends with the link
            m_session.reset();
            up = false;
            nextAttempt = Clock::now() + std::chrono::milliseconds(kReconnectDelaysMs[0]);
            failures = 1;
            continue;
        }
        // A synchronisation (the smart-home read, the read-all after a mode load) owns the link
        // while it runs; writes wait for its end.
        if (!link.Sync().Running()) {
            if (smartRead) {
                link.Sync().Join();
                link.State().queueEnabled.store(0); // back to paced sends
                smartRead = false;
            }
            for (const RemoteWrite& write : Take()) {
                if (write.entry->target == ControlTarget::Scene) {
                    // One scene at a time, in the whole program, as in the editor.
                    if (!scenes->Start(link.SmartHome().Scene(write.value)))
                        Say("scene " + std::to_string(write.value + 1) + " not run: another scene is running");
                    continue;
                }
                ApplyRemoteWrite(link, write);
                if (write.entry->target == ControlTarget::DeviceMode)
                    smartRead = true; // the processor answers with a read-all of its own
            }
            if (Clock::now() >= nextLevels) {
                link.Commands().RequestLevels();
                nextLevels = Clock::now() + kLevelPeriod;
            }
        }
        m_board.Publish(TakeRemoteSnapshot(m_store, link.SmartHome(), true));
        Rest();
    }
    scenes.reset();
    m_session.reset();
    return result;
}

} // namespace orvex::ctl
