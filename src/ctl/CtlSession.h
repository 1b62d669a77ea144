#pragma once

#include "link/DeviceLink.h"
#include "link/HidBackend.h"
#include "link/LinkEvents.h"
#include "link/NetworkPort.h"
#include "model/ParameterStore.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvex::ctl {

// The tool's exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitLink = 2;      // cannot connect, link lost, no answer
inline constexpr int kExitProcessor = 3; // a processor the editor does not accept
inline constexpr int kExitFile = 4;      // a mode file that cannot be read, written or understood

// Why a command gave up: the exit code and the one line shown on standard error.
struct Failure {
    int exitCode = kExitUsage;
    std::string message;
};
using Outcome = std::optional<Failure>;

// Where the processor is: the first one on USB, or a network host.
struct ConnectTarget {
    bool usb = false;
    std::string host;
    uint16_t port = kDefaultNetworkPort;
};

// The link events a command waits for: the end of a synchronisation sequence, the link time-out
// and the host's busy notice.
class CtlEvents final : public LinkEvents {
public:
    void OnSyncDone(uint32_t wParam) override;
    void OnLinkTimeout() override;
    void OnHostBusy() override;
    void OnZWaveEvent(uint32_t wParam, uint32_t lParam) override;
    void OnRefresh(uint32_t wParam, uint32_t lParam) override;
    void OnCurrentMode() override;
    void OnStoreReported() override;

    // Called on the link's thread after any of the events above: whoever waits for the processor's
    // news (a plug reported, a sequence ended) wakes at once. Set before the link opens.
    void SetNotice(std::function<void()> notice) { m_notice = std::move(notice); }

    // Forgets earlier sequence ends, so that the next wait sees only a new one.
    void ClearSyncDone();
    bool WaitForSyncDone(uint32_t wParam, std::chrono::milliseconds timeout);
    bool TimedOut() const;
    bool HostBusy() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<uint32_t> m_syncDone;
    bool m_timedOut = false;
    bool m_hostBusy = false;
    std::function<void()> m_notice;
};

// One connection to a processor for the length of a command, on the editor's own link code.
// Every message the tool sends itself is paced (the write queue is off), so nothing is left in a
// queue when the command ends; the destructor sends the disconnect notice and closes the link.
class CtlSession {
public:
    // `hid` reaches USB processors; null means hidapi when `target.usb` asks for USB.
    CtlSession(ParameterStore& store, ConnectTarget target, std::chrono::milliseconds timeout,
               HidBackend* hid = nullptr);
    ~CtlSession();

    CtlSession(const CtlSession&) = delete;
    CtlSession& operator=(const CtlSession&) = delete;

    Outcome Connect();
    // Read-all on its own thread as the editor runs it, bounded by the time-out, then the editor's
    // identity check.
    Outcome ReadAll();
    // Only the identity requests (module name, command set, MCU and DSP versions), then the check;
    // asked once more when the identity is not accepted, as read-all does. Bounded by the time-out.
    Outcome Identify();
    // Write-all of the store, bounded by the time-out.
    Outcome WriteAll();
    // After a message that makes the processor start a read-all (05, 06): waits for that read-all.
    Outcome WaitForTriggeredReadAll();
    // Waits for the reply to the last paced message, so that the processor has taken it.
    Outcome Settle();

    DeviceLink& Link() { return *m_link; }
    CtlEvents& Events() { return m_events; }
    std::string Where() const;

private:
    Outcome LinkOutcome(const char* during) const;
    // Waits for the reply to the last paced message until it comes, the link's reply wait passes or
    // the deadline does; true when it came. The next paced send then goes without a wait of its own.
    bool AwaitReply(std::chrono::steady_clock::time_point deadline);
    Outcome IdentityOutcome() const;
    Outcome WaitForSequence(uint32_t wParam, const char* what);
    void UsePacedSends() { m_link->State().queueEnabled.store(0); }

    ParameterStore& m_store;
    ConnectTarget m_target;
    std::chrono::milliseconds m_timeout;
    std::unique_ptr<HidBackend> m_ownHid;
    CtlEvents m_events;
    std::unique_ptr<DeviceLink> m_link;
};

// The link's identity strings cleared, so that a processor that never answers is not taken for
// the defaults.
void ForgetIdentity(ParameterStore& store);

} // namespace orvex::ctl
