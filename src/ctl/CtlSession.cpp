#include "ctl/CtlSession.h"

#include "link/Synchronizer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace orvex::ctl {

namespace {

// The transport connects to dotted IPv4 addresses; a host name is resolved to one first.
std::optional<std::string> ResolveIpv4(const std::string& host) {
    in_addr parsed{};
    if (inet_pton(AF_INET, host.c_str(), &parsed) == 1)
        return host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const bool ok = inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr;
    freeaddrinfo(found);
    return ok ? std::optional<std::string>(text) : std::nullopt;
}

} // namespace

// ---- events ---------------------------------------------------------------------------------------------

void CtlEvents::OnSyncDone(uint32_t wParam) {
    {
        std::lock_guard lock(m_mutex);
        m_syncDone.push_back(wParam);
    }
    m_cv.notify_all();
    if (m_notice)
        m_notice();
}

void CtlEvents::OnLinkTimeout() {
    {
        std::lock_guard lock(m_mutex);
        m_timedOut = true;
    }
    m_cv.notify_all();
    if (m_notice)
        m_notice();
}

void CtlEvents::OnHostBusy() {
    {
        std::lock_guard lock(m_mutex);
        m_hostBusy = true;
    }
    m_cv.notify_all();
    if (m_notice)
        m_notice();
}

void CtlEvents::OnZWaveEvent(uint32_t, uint32_t) {
    if (m_notice)
        m_notice();
}

void CtlEvents::OnRefresh(uint32_t, uint32_t) {
    if (m_notice)
        m_notice();
}

void CtlEvents::OnCurrentMode() {
    if (m_notice)
        m_notice();
}

void CtlEvents::OnStoreReported() {
    if (m_notice)
        m_notice();
}

void CtlEvents::ClearSyncDone() {
    std::lock_guard lock(m_mutex);
    m_syncDone.clear();
}

bool CtlEvents::WaitForSyncDone(uint32_t wParam, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout,
                         [&] { return std::find(m_syncDone.begin(), m_syncDone.end(), wParam) != m_syncDone.end(); });
}

bool CtlEvents::TimedOut() const {
    std::lock_guard lock(m_mutex);
    return m_timedOut;
}

bool CtlEvents::HostBusy() const {
    std::lock_guard lock(m_mutex);
    return m_hostBusy;
}

// ---- session --------------------------------------------------------------------------------------------

void ForgetIdentity(ParameterStore& store) {
    store.SetModuleName("");
    store.SetMcuVersion("");
    store.SetDspVersion("");
    store.SetCommandSetVersion(1);
}

CtlSession::CtlSession(ParameterStore& store, ConnectTarget target, std::chrono::milliseconds timeout, HidBackend* hid)
    : m_store(store), m_target(std::move(target)), m_timeout(timeout) {
    if (m_target.usb && hid == nullptr) {
        m_ownHid = MakeHidapiBackend();
        hid = m_ownHid.get();
    }
    TcpTimings timings;
    timings.connectTimeout = m_timeout;
    // The caller's time-out is how long a silent processor is waited for; the link's own watchdog
    // would otherwise give up after its 3 s whatever the caller asked for. It is set a second beyond
    // the caller's, so that the command's own deadline is what reports a silent processor.
    constexpr int64_t kWatchdogMargin = 1000;
    timings.linkTimeoutMs =
        std::max(timings.linkTimeoutMs,
                 static_cast<uint32_t>(std::min<int64_t>(m_timeout.count() + kWatchdogMargin, UINT32_MAX)));
    m_link = std::make_unique<DeviceLink>(store, &m_events, timings, m_target.usb ? hid : nullptr);
}

CtlSession::~CtlSession() {
    m_link->Sync().Join();
    m_link->CloseLink();
    m_link.reset();
}

std::string CtlSession::Where() const {
    return m_target.usb ? std::string("USB") : m_target.host + ":" + std::to_string(m_target.port);
}

Outcome CtlSession::Connect() {
    ForgetIdentity(m_store);
    if (m_target.usb) {
        if (m_link->UsbConnect() != 1)
            return Failure{kExitLink, "no processor found on USB"};
        UsePacedSends();
        return std::nullopt;
    }
    const std::optional<std::string> address = ResolveIpv4(m_target.host);
    if (!address)
        return Failure{kExitLink, "cannot connect to " + Where() + ": unknown host"};
    const ConnectResult result = m_link->TcpConnect(*address, m_target.port);
    if (!result)
        return Failure{kExitLink, "cannot connect to " + Where() + ": " + ConnectErrorReason(result.error, false)};
    UsePacedSends();
    return std::nullopt;
}

Outcome CtlSession::LinkOutcome(const char* during) const {
    if (m_events.HostBusy())
        return Failure{kExitLink, "the network host at " + Where() + " is serving another editor"};
    if (m_events.TimedOut())
        return Failure{kExitLink, "the link to " + Where() + " timed out " + during};
    if (!m_link->IsConnected())
        return Failure{kExitLink, "lost the link to " + Where() + " " + during};
    return std::nullopt;
}

Outcome CtlSession::IdentityOutcome() const {
    const DeviceIdentity identity = m_store.Identity();
    if (identity.moduleName.empty())
        return Failure{kExitLink, "no answer from the processor at " + Where()};
    switch (CheckIdentity(identity)) {
    case IdentityCheck::Accepted:
        return std::nullopt;
    case IdentityCheck::WrongModel:
        return Failure{kExitProcessor, "wrong processor: module '" + identity.moduleName + "' is not supported"};
    case IdentityCheck::WrongVersion:
        return Failure{kExitProcessor, "wrong processor: command set " + std::to_string(identity.commandSetVersion) +
                                           ", expected " + std::to_string(kAcceptedCommandSetVersion)};
    }
    return std::nullopt;
}

Outcome CtlSession::WaitForSequence(uint32_t wParam, const char* what) {
    if (!m_events.WaitForSyncDone(wParam, m_timeout)) {
        // Closing the link makes every paced send of the sequence return at once.
        m_link->CloseLink();
        m_link->Sync().Join();
        return Failure{kExitLink,
                       std::string(what) + " did not finish within " + std::to_string(m_timeout.count()) + " ms"};
    }
    m_link->Sync().Join(); // the thread restores its flags after posting its end
    UsePacedSends();
    return std::nullopt;
}

Outcome CtlSession::ReadAll() {
    m_events.ClearSyncDone();
    if (!m_link->Sync().StartReadAll())
        return Failure{kExitLink, "another synchronisation is running"};
    if (Outcome failure = WaitForSequence(0, "read-all"))
        return failure;
    if (Outcome failure = LinkOutcome("during read-all"))
        return failure;
    return IdentityOutcome();
}

bool CtlSession::AwaitReply(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const auto wait = std::clamp(left, std::chrono::milliseconds(0), m_link->Tcp().Timings().replyWait);
    const bool replied = m_link->State().replyEvent.Wait(wait);
    // Whether or not the reply came, the next paced send goes at once instead of waiting past the
    // deadline on its own.
    m_link->State().replyEvent.Set();
    return replied;
}

Outcome CtlSession::Identify() {
    UsePacedSends();
    const auto deadline = std::chrono::steady_clock::now() + m_timeout;
    const Failure late{kExitLink, "no answer from the processor at " + Where() + " within " +
                                      std::to_string(m_timeout.count()) + " ms"};
    CommandEncoder& commands = m_link->Commands();
    // False when the deadline passed before every answer was in.
    auto ask = [&] {
        for (uint8_t code :
             {request::ModuleName, request::CommandSetVersion, request::McuVersion, request::DspVersion}) {
            AwaitReply(deadline);
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            commands.SendRequest(code);
        }
        return AwaitReply(deadline) || std::chrono::steady_clock::now() < deadline;
    };
    if (!ask())
        return LinkOutcome("while identifying").value_or(late);
    // Read-all's rule: a processor wrong in its model or its command set is asked once more before
    // it is believed, as the first answers after a connect are sometimes lost.
    if (CheckIdentity(m_store.Identity()) != IdentityCheck::Accepted && !ask())
        return LinkOutcome("while identifying").value_or(late);
    if (Outcome failure = LinkOutcome("while identifying"))
        return failure;
    // A wait can end a hair before its deadline; a processor that never named itself is still late.
    if (m_store.Identity().moduleName.empty())
        return late;
    return IdentityOutcome();
}

Outcome CtlSession::WriteAll() {
    m_events.ClearSyncDone();
    if (!m_link->Sync().StartWriteAll())
        return Failure{kExitLink, "another synchronisation is running"};
    if (Outcome failure = WaitForSequence(1, "write-all"))
        return failure;
    return LinkOutcome("during write-all");
}

Outcome CtlSession::WaitForTriggeredReadAll() {
    if (Outcome failure = WaitForSequence(0, "the processor's read-all"))
        return failure;
    if (Outcome failure = LinkOutcome("during read-all"))
        return failure;
    return IdentityOutcome();
}

Outcome CtlSession::Settle() {
    const auto wait = std::min(m_timeout, m_link->Tcp().Timings().replyWait);
    if (!m_link->State().replyEvent.Wait(wait)) {
        if (Outcome failure = LinkOutcome("waiting for a reply"))
            return failure;
        return Failure{kExitLink, "no reply from the processor at " + Where()};
    }
    // The reply is consumed here; the next paced send must not wait for it again.
    m_link->State().replyEvent.Set();
    return LinkOutcome("waiting for a reply");
}

} // namespace orvex::ctl
