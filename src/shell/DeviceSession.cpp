#include "shell/DeviceSession.h"

#include "link/ZWaveFrames.h"
#include "model/ParameterStore.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

namespace orvex {

namespace {
int ClampMode(int mode) {
    return std::clamp(mode, 0, kDeviceModeCount - 1);
}
// The longest a close waits for queued changes to be acknowledged.
constexpr std::chrono::milliseconds kCloseDrainLimit{1000};
} // namespace

DeviceSession::DeviceSession(ParameterStore& store, LinkEvents* events, TcpTimings timings, HidBackend* hid)
    : m_store(store), m_ownHid(hid ? nullptr : MakeHidapiBackend()),
      m_link(store, events, timings, hid ? hid : m_ownHid.get()), m_state(m_link.State()) {}

DeviceSession::~DeviceSession() {
    Shutdown();
}

bool DeviceSession::IsConnected() const {
    return m_link.IsConnected();
}

bool DeviceSession::IsNetwork() const {
    return m_state.networkMode.load() == 1;
}

ConnectResult DeviceSession::TcpConnect(const std::string& address, uint16_t port) {
    // A sequence of the previous link must not run into the new one.
    m_link.Sync().Join();
    return m_link.TcpConnect(address, port);
}

void DeviceSession::CloseLink() {
    // Changes still in the TCP write queue (the save into the current mode that the close prompt
    // sends, say) would be thrown away with the queue: let them reach the processor first.
    if (IsNetwork() && IsConnected()) {
        const auto until = std::chrono::steady_clock::now() + kCloseDrainLimit;
        while (IsConnected() && (!m_state.writeQueue.Empty() || m_state.awaitingReply.load() != 0) &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
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
    m_link.Sync().Join();
    m_link.State().networkMode.store(0);
    m_link.SmartHome().tablesRead.store(0); // the smart-home tables are read once per link
    return Usb().UsbConnect() == 1;
}

bool DeviceSession::UsbRemoved(const std::string& path) {
    if (!Usb().HandleDeviceRemoval(path))
        return false;
    m_link.SmartHome().tablesRead.store(0);
    return true;
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

void DeviceSession::SetVolume(VolumeControl control, int value) {
    Commands().Set(Info(control).field, value);
}

void DeviceSession::SetMute(MuteControl control, bool muted) {
    if (control == MuteControl::Music)
        Commands().SetMusicMute(muted); // unmuting fades the music in
    else
        Commands().Set(Info(control).field, muted ? 1 : 0);
}

void DeviceSession::SendLevelRequest() {
    Commands().RequestLevels();
}

void DeviceSession::MachineReset() {
    Commands().MachineReset();
}

void DeviceSession::LoadDeviceMode(int mode) {
    mode = ClampMode(mode);
    m_store.SetDeviceMode(mode);
    Commands().LoadDeviceMode(mode);
}

void DeviceSession::SaveDeviceMode(int mode) {
    mode = ClampMode(mode);
    m_store.SetModifiedFlag(false);
    m_store.SetDeviceMode(mode);
    Commands().SaveDeviceMode(mode);
}

void DeviceSession::SelectDeviceMode(int mode) {
    Commands().SelectDeviceMode(ClampMode(mode));
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
    m_link.Shutdown();
}

} // namespace orvex
