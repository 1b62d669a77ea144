#include "link/DeviceSession.h"

#include "link/ZWaveFrames.h"
#include "model/ParameterStore.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <thread>

namespace orvex {

namespace {
// The longest a close waits for queued changes to be acknowledged, and how often it looks.
constexpr std::chrono::milliseconds kCloseDrainLimit{1000};
constexpr std::chrono::milliseconds kCloseDrainCheck{5};
} // namespace

// One connect running on its own thread. The thread writes `result`, raises `finished` and then
// only posts; whoever joins it reads the result.
struct DeviceSession::ConnectAttempt {
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
    ConnectResult result;
    ConnectDone done;
    std::thread thread;
};

DeviceSession::DeviceSession(ParameterStore& store, LinkEvents* events, std::unique_ptr<SessionLoop> loop,
                             TcpTimings timings, HidBackend* hid)
    : m_store(store), m_loop(std::move(loop)), m_ownHid(hid ? nullptr : MakeHidapiBackend()),
      m_link(store, events, timings, hid ? hid : m_ownHid.get()), m_state(m_link.State()) {
    m_loop->Bind([this] { FinishTcpConnect(); },
                 [this] {
                     if (CloseDrained() || std::chrono::steady_clock::now() >= m_closeDeadline)
                         FinishClose();
                 });
}

DeviceSession::~DeviceSession() {
    Shutdown();
}

bool DeviceSession::IsConnected() const {
    // A link an attempt has just opened counts once the attempt has reported.
    return m_link.IsConnected() && !IsClosing() && !IsConnecting();
}

bool DeviceSession::IsNetwork() const {
    return m_state.networkMode.load() == 1;
}

void DeviceSession::StartTcpConnect(const std::string& address, uint16_t port, ConnectDone done) {
    CancelTcpConnect();
    if (IsClosing())
        FinishClose();
    auto attempt = std::make_unique<ConnectAttempt>();
    attempt->done = std::move(done);
    ConnectAttempt* a = attempt.get();
    m_attempt = std::move(attempt);
    a->thread = std::thread([this, a, address, port] {
        // A sequence of the previous link must not run into the new one.
        m_link.Sync().Join();
        a->result = m_link.TcpConnect(address, port, &a->cancel);
        a->finished.store(true);
        m_loop->Wake();
    });
}

void DeviceSession::FinishTcpConnect() {
    // At most one attempt runs: one cancelled or superseded has been dealt with already, and a post
    // that arrives for it finds either no attempt or one that has not finished.
    if (!m_attempt || !m_attempt->finished.load())
        return;
    std::unique_ptr<ConnectAttempt> attempt = std::move(m_attempt);
    attempt->thread.join(); // it has nothing left to do but end
    if (attempt->done)
        attempt->done(attempt->result);
}

void DeviceSession::CancelTcpConnect() {
    if (!m_attempt)
        return;
    std::unique_ptr<ConnectAttempt> attempt = std::move(m_attempt);
    attempt->cancel.store(true);
    // Short: a connect still waiting for the host looks at the flag every few milliseconds.
    attempt->thread.join();
    if (attempt->result)
        m_link.CloseLink(); // the host learns that nobody will use the link it accepted
    if (attempt->done) {
        m_loop->Post([done = std::move(attempt->done)] { done(ConnectResult::Failed(ECANCELED)); });
    }
}

bool DeviceSession::CloseDrained() const {
    return !m_link.IsConnected() || (m_state.writeQueue.Empty() && m_state.awaitingReply.load() == 0);
}

void DeviceSession::CloseLink() {
    CancelTcpConnect();
    if (IsClosing())
        return;
    // Changes still in the TCP write queue (the save into the current mode that the close prompt
    // sends, say) would be thrown away with the queue: the writer lets them out first.
    if (IsNetwork() && m_link.IsConnected() && !CloseDrained()) {
        m_closeDeadline = std::chrono::steady_clock::now() + kCloseDrainLimit;
        m_loop->StartTicks(kCloseDrainCheck);
        return;
    }
    m_link.CloseLink();
}

void DeviceSession::FinishClose() {
    m_loop->StopTicks();
    m_link.CloseLink();
}

void DeviceSession::CloseUsbWithoutNotice() {
    m_link.SmartHome().tablesRead.store(0);
    if (!IsNetwork())
        Usb().UsbClose();
}

void DeviceSession::DropTcpWithoutNotice() {
    m_link.SmartHome().tablesRead.store(0);
    if (IsNetwork() && IsConnected())
        m_link.Tcp().TcpClose();
}

bool DeviceSession::UsbConnect() {
    if (IsConnected())
        return false;
    // A processor on USB wins over a network attempt under way.
    CancelTcpConnect();
    if (IsClosing())
        FinishClose();
    m_link.Sync().Join();
    return m_link.UsbConnect() == 1;
}

bool DeviceSession::UsbRemoved(const std::string& path) {
    return m_link.HandleUsbRemoval(path);
}

std::string DeviceSession::UsbDevicePath() const {
    return Usb().DevicePath();
}

void DeviceSession::StartReadSync() {
    m_link.Sync().StartReadAll();
}

void DeviceSession::StartWriteSync() {
    m_link.Sync().StartWriteAll();
}

void DeviceSession::SendLevelRequest() {
    Commands().RequestLevels();
}

void DeviceSession::MachineReset() {
    Commands().MachineReset();
}

void DeviceSession::LoadDeviceMode(int mode) {
    m_link.LoadDeviceMode(mode);
}

void DeviceSession::SaveDeviceMode(int mode) {
    m_link.SaveDeviceMode(mode);
}

void DeviceSession::SelectDeviceMode(int mode) {
    Commands().SelectDeviceMode(ClampDeviceMode(mode));
}

void DeviceSession::StartZWaveOperation(uint8_t function, uint8_t node, uint8_t value) {
    if (const auto parameters = ZWaveOperationParameters(function, node, value))
        Commands().SendZWaveFrame(function, *parameters);
}

void DeviceSession::AbortZWaveOperation(uint8_t function) {
    // An add given up (in its exclusion or its inclusion step) names no plug that joins late.
    if (function == zwave::AddNode || function == zwave::RemoveNode)
        m_link.SmartHome().addInProgress.store(0);
    if (const auto parameters = ZWaveAbortParameters(function))
        Commands().SendZWaveFrame(function, *parameters);
}

ModeFileResult DeviceSession::LoadModeFile(const std::string& path) {
    return orvex::LoadModeFile(path, m_store);
}

ModeFileResult DeviceSession::SaveModeFile(const std::string& path) {
    return orvex::SaveModeFile(path, m_store);
}

void DeviceSession::Shutdown() {
    CancelTcpConnect();
    if (IsClosing()) {
        // The window has gone: what is left of the close's second is waited for here.
        while (!CloseDrained() && std::chrono::steady_clock::now() < m_closeDeadline)
            std::this_thread::sleep_for(kCloseDrainCheck);
        FinishClose();
    }
    m_link.Shutdown();
}

} // namespace orvex
