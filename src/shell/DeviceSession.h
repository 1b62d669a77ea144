#pragma once

#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/HidBackend.h"
#include "link/TcpTransport.h"
#include "link/UsbTransport.h"
#include "model/ModeFile.h"
#include "shell/VolumeControls.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace orvex {

class ParameterStore;
class ReplyDispatcher;

// The shell's one handle on the device link: connects and closes it, runs the read
// synchronisation, and turns the ribbon's and the view's commands into the core's setters and
// requests. Everything here is called on the user-interface thread.
class DeviceSession {
public:
    // `hid` is the platform's HID access; null opens hidapi (tests pass the fake device).
    DeviceSession(ParameterStore& store, LinkEvents* events, TcpTimings timings = {}, HidBackend* hid = nullptr);
    ~DeviceSession();

    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    ParameterStore& Store() { return m_store; }
    LinkState& State() { return m_state; }

    bool IsConnected() const;
    bool IsNetwork() const;

    // 1 on success, otherwise the platform's error number (0 when no socket could be made).
    int TcpConnect(const std::string& address, uint16_t port);
    // The orderly end: the disconnect notice 0x8A, then the transport is closed.
    void CloseLink();
    // Ends an open USB link without a notice (the connect dialog does this before a TCP attempt).
    void CloseUsbWithoutNotice();
    // Ends an open TCP link without a notice (the synchronisation time-out does this).
    void DropTcpWithoutNotice();

    // The USB probe of start-up and arrival; true when a processor was opened.
    bool UsbConnect();
    // A device interface went away; true when it was ours and the link was closed. Ignored while
    // TCP is connected.
    bool UsbRemoved(const std::string& path);
    std::string UsbDevicePath() const;

    // Starts the read synchronisation; it ends with LinkEvents::OnSyncDone(0).
    void StartReadSync();
    bool ReadSyncRunning() const { return m_syncRunning.load() != 0; }

    // The ribbon's master volumes and mutes: store the value and send it.
    void SetVolume(VolumeControl control, int value);
    void SetMute(MuteControl control, bool muted);

    void SendRequest(uint8_t code);
    void SendRequest(uint8_t code, uint8_t value);
    void SendLevelRequest() { SendRequest(0x0E); }
    // [0x68, 0xAA]: the processor restores its factory state.
    void MachineReset() { SendRequest(0x68, 0xAA); }
    // Device modes 0..3: load [05 m], save [04 m] (clears modifiedFlag), select [03 m].
    void LoadDeviceMode(int mode);
    void SaveDeviceMode(int mode);
    void SelectDeviceMode(int mode);

    // Mode files: the five store blocks behind a version header. Loading replaces them in the
    // store (all or nothing); StartWriteSync then pushes the store to the processor and ends with
    // LinkEvents::OnSyncDone(1).
    ModeFileResult LoadModeFile(const std::string& path);
    ModeFileResult SaveModeFile(const std::string& path);
    void StartWriteSync();

    // Waits for the synchronisation thread and closes every transport (exit, tests).
    void Shutdown();

private:
    void SendMessage(std::span<const uint8_t> body);
    void SendMessagePaced(std::span<const uint8_t> body);
    void JoinSync();
    void ReadIdentityThreadProc();

    ParameterStore& m_store;
    LinkEvents* m_events;
    LinkState m_state;
    std::unique_ptr<ReplyDispatcher> m_dispatcher;
    std::unique_ptr<TcpTransport> m_tcp;
    std::unique_ptr<HidBackend> m_ownHid;
    std::unique_ptr<UsbTransport> m_usb;
    std::thread m_syncThread;
    std::atomic<int> m_syncRunning{0};
};

} // namespace orvex
