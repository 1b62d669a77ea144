#pragma once

#include "link/DeviceLink.h"
#include "link/EqSender.h"
#include "link/HidBackend.h"
#include "link/Synchronizer.h"
#include "link/UsbTransport.h"
#include "model/ModeFile.h"
#include "shell/VolumeControls.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvex {

class ParameterStore;

// The editor's device link: the core's DeviceLink (with its USB transport, band sender and
// synchronisation sequences) and the operations the shell runs on it. The shell reaches the
// processor only through here; pages use Commands() and Eq().
class DeviceSession {
public:
    // `hid` is the platform's HID access; null opens hidapi (tests pass the fake device).
    DeviceSession(ParameterStore& store, LinkEvents* events, TcpTimings timings = {}, HidBackend* hid = nullptr);
    ~DeviceSession();

    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    ParameterStore& Store() { return m_store; }
    LinkState& State() { return m_link.State(); }
    DeviceLink& Link() { return m_link; }
    CommandEncoder& Commands() { return m_link.Commands(); }
    EqSender& Eq() { return m_link.Eq(); }
    Synchronizer& Sync() { return m_link.Sync(); }

    bool IsConnected() const;
    bool IsNetwork() const;

    // A failure carries the platform's error number (0 when no socket could be made).
    ConnectResult TcpConnect(const std::string& address, uint16_t port);
    // The orderly end: queued changes are given up to a second to be acknowledged, then the
    // disconnect notice 0x8A goes and the transport is closed.
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

    // Read-all; it ends with LinkEvents::OnSyncDone(0).
    void StartReadSync();
    // Write-all; it ends with LinkEvents::OnSyncDone(1).
    void StartWriteSync();

    // The ribbon's master volumes and mutes: the setters store the value and send it.
    void SetVolume(VolumeControl control, int value);
    void SetMute(MuteControl control, bool muted);

    void SendLevelRequest();
    // [0x68, 0xAA]: the processor restores its factory state.
    void MachineReset();
    // Device modes 0..3: load [05 m] (deviceMode = m), save [04 m] (clears modifiedFlag,
    // deviceMode = m), select [03 m].
    void LoadDeviceMode(int mode);
    void SaveDeviceMode(int mode);
    void SelectDeviceMode(int mode);

    // Smart-module operations behind the wait dialog, by Serial API function: 0x13 sets plug
    // `node` to `value` (nothing for node 0), 0x4A starts adding a plug, 0x4B removing one.
    void StartZWaveOperation(uint8_t function, uint8_t node, uint8_t value);
    // The abort frame of a running 0x13, 0x4A or 0x4B operation; other functions send nothing.
    void AbortZWaveOperation(uint8_t function);

    // Mode files: the five store blocks behind a version header, all or nothing.
    ModeFileResult LoadModeFile(const std::string& path);
    ModeFileResult SaveModeFile(const std::string& path);

    // Closes every transport and waits for the synchronisation thread, at most
    // DeviceLink::kSequenceExitLimit (exit, tests).
    void Shutdown();

private:
    UsbTransport& Usb() { return *m_link.Usb(); }
    const UsbTransport& Usb() const { return *m_link.Usb(); }

    ParameterStore& m_store;
    std::unique_ptr<HidBackend> m_ownHid; // hidapi, when no backend was handed in
    DeviceLink m_link;
    LinkState& m_state; // m_link's, readable from const members
};

} // namespace orvex
