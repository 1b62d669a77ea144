#pragma once

#include "link/CommandEncoder.h"
#include "link/DeviceSender.h"
#include "link/EqSender.h"
#include "link/HidBackend.h"
#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "link/Synchronizer.h"
#include "link/TcpTransport.h"
#include "link/UsbTransport.h"
#include "link/UsbWriter.h"
#include "model/ParameterStore.h"
#include "model/SmartHomeTables.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace orvex {

// Device modes (preset memories) are 0..kDeviceModeCount-1; a number outside is taken as the nearest.
inline int ClampDeviceMode(int mode) {
    return std::clamp(mode, 0, kDeviceModeCount - 1);
}

// The device link as the editor and the command-line tool hold it: the shared link state, the reply
// decoder, the TCP transport, the smart-home tables and the command encoder, and the one routing
// point every outgoing message passes, SendToDevice.
class DeviceLink final : public DeviceSender {
public:
    // The longest Shutdown waits for a synchronisation sequence, unless SetSequenceExitLimit says
    // otherwise.
    static constexpr std::chrono::milliseconds kSequenceExitLimit{2000};

    // `hid` reaches processors on USB (hidapi in the editor, the fake device in tests); without one
    // the link is TCP only.
    DeviceLink(ParameterStore& store, LinkEvents* events, TcpTimings timings = {}, HidBackend* hid = nullptr);
    ~DeviceLink() override;

    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    ParameterStore& Store() { return m_store; }
    LinkState& State() { return m_state; }
    TcpTransport& Tcp() { return m_tcp; }
    CommandEncoder& Commands() { return m_commands; }
    ReplyDispatcher& Replies() { return m_replies; }
    SmartHomeTables& SmartHome() { return m_smartHome; }
    EqSender& Eq() { return m_eq; }
    Synchronizer& Sync() { return m_sync; }
    // Null when the link was made without a HID backend.
    UsbTransport* Usb() { return m_usb.get(); }
    const UsbTransport* Usb() const { return m_usb.get(); }

    // A processor arrived on USB (or the start-up probe): selects USB and connects when no link is
    // up. Returns 1 on success. The caller then starts read-all.
    int UsbConnect();
    // A USB device went away: closes the link when it was the processor's (ignored while TCP is up).
    // Returns true when the link was closed.
    bool HandleUsbRemoval(std::string_view path);

    // Device modes, as the editor and orvexctl both change them: load [05 m] (deviceMode = m), save
    // [04 m] (clears modifiedFlag, deviceMode = m).
    void LoadDeviceMode(int mode);
    void SaveDeviceMode(int mode);

    // Selects TCP (networkMode = 1) and connects to the network host.
    // `cancel`, when given, ends an attempt still waiting for the host (see TcpTransport::TcpConnect).
    ConnectResult TcpConnect(const std::string& address, uint16_t port, const std::atomic<bool>* cancel = nullptr);
    // Ends the link the way every disconnect does: when connected, the disconnect notice 8A first, then
    // the active transport is closed.
    void CloseLink();
    bool IsConnected() const { return m_state.linkConnected.load() == 1; }
    // Closes every transport without a notice and ends a running sequence, waiting for it at most
    // the sequence exit limit (exit, and the destructor). False when the sequence was still held
    // after it: it stays stopped and sends nothing, and the destructor waits for it to end, as it
    // uses the link and the store.
    bool Shutdown();
    void SetSequenceExitLimit(std::chrono::milliseconds limit) { m_sequenceExitLimit.store(limit.count()); }

    // USB (networkMode 0): one report through the USB writer, paced or immediate; nothing without one.
    // TCP: prefix 0x81 (0x80 for a Z-Wave frame), then the coalescing queue while queueEnabled is 1,
    // otherwise NetSendSync when paced and a direct send when not.
    int SendToDevice(std::span<const uint8_t> message, bool paced, bool zwave = false) override;
    // The same routes; queued, the message is never merged and its gap is the writer's to wait out.
    // With the queue off (a sequence's own thread) the gap is waited for here.
    int SendToDeviceSpaced(std::span<const uint8_t> message, std::chrono::milliseconds gap) override;

    // The USB transport plugs in here; null (the default) sends nothing and returns 0.
    void SetUsbWriter(UsbWriter* writer) { m_usbWriter.store(writer); }
    // How the USB link is closed: by CloseLink in USB mode and by the link time-out.
    void SetUsbCloser(std::function<void()> closer);

private:
    int SendUsb(std::span<const uint8_t> message, bool paced, bool zwave);
    int SendTcp(std::span<const uint8_t> message, bool paced, bool zwave, std::chrono::milliseconds gap);

    ParameterStore& m_store;
    LinkState m_state;
    SmartHomeTables m_smartHome;
    ReplyDispatcher m_replies;
    TcpTransport m_tcp;
    CommandEncoder m_commands;
    EqSender m_eq;
    Synchronizer m_sync;
    std::unique_ptr<UsbTransport> m_usb;
    std::atomic<UsbWriter*> m_usbWriter{nullptr};
    std::mutex m_closerMutex;
    std::function<void()> m_usbCloser;
    std::atomic<std::chrono::milliseconds::rep> m_sequenceExitLimit{kSequenceExitLimit.count()};
};

} // namespace orvex
