#include "shell/DeviceSession.h"

#include "link/DebugSink.h"
#include "link/ReplyDispatcher.h"
#include "model/ParameterStore.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace orvex {

namespace {
constexpr uint8_t kPrefixParameter = 0x81;
constexpr uint8_t kDisconnectNotice = 0x8A;
} // namespace

DeviceSession::DeviceSession(ParameterStore& store, LinkEvents* events, TcpTimings timings, HidBackend* hid)
    : m_store(store), m_events(events) {
    m_dispatcher = std::make_unique<ReplyDispatcher>(m_state, m_store, m_events);
    m_tcp = std::make_unique<TcpTransport>(m_state, m_store, *m_dispatcher, m_events, timings);
    if (!hid) {
        m_ownHid = MakeHidapiBackend();
        hid = m_ownHid.get();
    }
    m_usb = std::make_unique<UsbTransport>(m_state, m_store, *m_dispatcher, *hid);
    // A link time-out while USB is selected closes the USB link.
    m_tcp->SetTimeoutCloser([this] { m_usb->UsbClose(); });
}

DeviceSession::~DeviceSession() {
    Shutdown();
}

bool DeviceSession::IsConnected() const {
    return m_state.linkConnected.load() != 0;
}

bool DeviceSession::IsNetwork() const {
    return m_state.networkMode.load() == 1;
}

int DeviceSession::TcpConnect(const std::string& address, uint16_t port) {
    JoinSync();
    m_state.networkMode.store(1);
    return m_tcp->TcpConnect(address, port);
}

void DeviceSession::CloseLink() {
    if (!IsConnected())
        return;
    const std::array<uint8_t, 1> notice{kDisconnectNotice};
    SendMessagePaced(notice);
    if (IsNetwork())
        m_tcp->Shutdown();
    else
        m_usb->UsbClose();
}

void DeviceSession::CloseUsbWithoutNotice() {
    if (!IsNetwork())
        m_usb->UsbClose();
}

void DeviceSession::DropTcpWithoutNotice() {
    if (IsNetwork() && IsConnected())
        m_tcp->TcpClose();
}

bool DeviceSession::UsbConnect() {
    if (IsConnected())
        return false;
    JoinSync();
    m_state.networkMode.store(0);
    return m_usb->UsbConnect() == 1;
}

bool DeviceSession::UsbRemoved(const std::string& path) {
    return m_usb->HandleDeviceRemoval(path);
}

std::string DeviceSession::UsbDevicePath() const {
    return m_usb->DevicePath();
}

void DeviceSession::StartReadSync() {
    JoinSync();
    m_syncRunning.store(1);
    m_syncThread = std::thread(&DeviceSession::ReadIdentityThreadProc, this);
}

void DeviceSession::ReadIdentityThreadProc() {
    DebugOut("Start thread:SynchronizeData\n");
    m_state.pollEnabled.store(0);
    m_store.ClearLevelRecord();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_state.queueEnabled.store(0);
    for (uint8_t code : {uint8_t{0x80}, uint8_t{0x7F}, uint8_t{0x81}, uint8_t{0x7E}}) {
        if (!IsConnected())
            break;
        const std::array<uint8_t, 1> request{code};
        SendMessagePaced(request);
    }
    // Let the last reply arrive before the identity is judged.
    if (IsConnected()) {
        m_state.replyEvent.Wait(m_tcp->Timings().replyWait);
        m_state.replyEvent.Set();
    }
    m_state.queueEnabled.store(1);
    if (m_events)
        m_events->OnSyncDone(0);
    m_store.ClearLevelRecord();
    m_state.pollEnabled.store(1);
    m_syncRunning.store(0);
    DebugOut("End thread: Delay Read SynchronizeData\n");
}

void DeviceSession::SetVolume(VolumeControl control, int value) {
    m_store.Set(Info(control).field, value);
}

void DeviceSession::SetMute(MuteControl control, bool muted) {
    m_store.Set(Info(control).field, muted ? 1 : 0);
}

void DeviceSession::SendRequest(uint8_t code) {
    const std::array<uint8_t, 1> body{code};
    SendMessage(body);
}

void DeviceSession::SendRequest(uint8_t code, uint8_t value) {
    const std::array<uint8_t, 2> body{code, value};
    SendMessage(body);
}

void DeviceSession::LoadDeviceMode(int mode) {
    mode = std::clamp(mode, 0, 3);
    m_store.SetDeviceMode(mode);
    SendRequest(0x05, static_cast<uint8_t>(mode));
}

void DeviceSession::SaveDeviceMode(int mode) {
    mode = std::clamp(mode, 0, 3);
    m_store.SetModifiedFlag(false);
    m_store.SetDeviceMode(mode);
    SendRequest(0x04, static_cast<uint8_t>(mode));
}

void DeviceSession::SelectDeviceMode(int mode) {
    SendRequest(0x03, static_cast<uint8_t>(std::clamp(mode, 0, 3)));
}

ModeFileResult DeviceSession::LoadModeFile(const std::string& path) {
    return orvex::LoadModeFile(path, m_store);
}

ModeFileResult DeviceSession::SaveModeFile(const std::string& path) {
    return orvex::SaveModeFile(path, m_store);
}

// Write-all belongs to the synchronisation layer of the core, which plugs in here.
void DeviceSession::StartWriteSync() {}

void DeviceSession::SendMessage(std::span<const uint8_t> body) {
    if (!IsConnected())
        return;
    if (!IsNetwork()) {
        m_usb->WriteUsbData(body, false);
        return;
    }
    std::array<uint8_t, 64> payload{};
    payload[0] = kPrefixParameter;
    const size_t n = std::min(body.size(), payload.size() - 1);
    std::copy_n(body.begin(), n, payload.begin() + 1);
    m_tcp->TcpSendQueued({payload.data(), n + 1});
}

void DeviceSession::SendMessagePaced(std::span<const uint8_t> body) {
    if (!IsConnected())
        return;
    if (!IsNetwork()) {
        m_usb->WriteUsbData(body, true);
        return;
    }
    std::array<uint8_t, 64> payload{};
    payload[0] = kPrefixParameter;
    const size_t n = std::min(body.size(), payload.size() - 1);
    std::copy_n(body.begin(), n, payload.begin() + 1);
    m_tcp->NetSendSync({payload.data(), n + 1});
}

void DeviceSession::JoinSync() {
    if (m_syncThread.joinable())
        m_syncThread.join();
}

void DeviceSession::Shutdown() {
    m_tcp->Shutdown();
    m_usb->UsbClose();
    JoinSync();
}

} // namespace orvex
