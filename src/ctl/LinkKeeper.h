#pragma once

#include "ctl/CtlSession.h"
#include "remote/RemoteOwner.h"
#include "remote/RemoteSnapshot.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orvex::ctl {

// Holds the processor link for whoever serves outside controllers (`serve`, `bridge`): connects,
// reconnects after the editor's delays when the link drops, reads the smart-home tables, applies the
// writes controllers posted, runs scenes, asks for the live levels four times a second and publishes
// what the store holds to a snapshot board every turn. The link is touched only on the thread that
// calls Run; Post may be called from any thread.
class LinkKeeper final : public RemoteOwner {
public:
    static constexpr std::chrono::milliseconds kLevelPeriod{250};
    static constexpr std::chrono::milliseconds kTurn{20};

    // Lines for standard error; called on the keeper's thread.
    using Log = std::function<void(const std::string& line)>;

    LinkKeeper(ParameterStore& store, ConnectTarget target, std::chrono::milliseconds timeout, HidBackend* hid,
               SnapshotBoard& board, Log log);
    ~LinkKeeper() override;

    // Called on the keeper's thread each time read-all has finished on a new link.
    void OnConnected(std::function<void()> hook) { m_onConnected = std::move(hook); }

    // Runs until `stop` is set. Fails only for a processor the editor does not accept.
    Outcome Run(const std::atomic<bool>* stop);

    void Post(RemoteWrite write) override;

private:
    std::vector<RemoteWrite> Take();
    void Rest();
    void Notice();
    void Say(const std::string& line) const;

    ParameterStore& m_store;
    ConnectTarget m_target;
    std::chrono::milliseconds m_timeout;
    HidBackend* m_hid;
    SnapshotBoard& m_board;
    Log m_log;
    std::function<void()> m_onConnected;
    std::unique_ptr<CtlSession> m_session;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<RemoteWrite> m_writes;
    uint64_t m_posted = 0;
    uint64_t m_notices = 0;
};

} // namespace orvex::ctl
