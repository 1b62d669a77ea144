#pragma once

#include "link/DeviceLink.h"
#include "link/EqSender.h"
#include "link/HidBackend.h"
#include "link/OfflineEdits.h"
#include "link/Synchronizer.h"
#include "link/UsbTransport.h"
#include "model/ModeFile.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace orvex {

class ParameterStore;

// The thread a session belongs to (the editor's window thread), as the session uses it. Whatever it
// is asked to run runs later on that thread, never inside the call that asks.
class SessionLoop {
public:
    virtual ~SessionLoop() = default;
    // What Wake and the ticks call; the session sets them once, when it is made.
    virtual void Bind(std::function<void()> onWake, std::function<void()> onTick) = 0;
    // From any thread: onWake runs on the loop's thread. Nothing crosses with it, so the hand-over is
    // one the thread checks can follow.
    virtual void Wake() = 0;
    // From the loop's thread: `task` runs on it later.
    virtual void Post(std::function<void()> task) = 0;
    // onTick every `interval` until StopTicks.
    virtual void StartTicks(std::chrono::milliseconds interval) = 0;
    virtual void StopTicks() = 0;
    virtual bool Ticking() const = 0;
};

// The editor's device link: the core's DeviceLink (with its USB transport, band sender and
// synchronisation sequences) and the operations the shell runs on it. The shell reaches the
// processor only through here; pages use Commands() and Eq().
class DeviceSession {
public:
    // `loop` is the owner's thread; `hid` is the platform's HID access; null opens hidapi (tests pass
    // the fake device).
    DeviceSession(ParameterStore& store, LinkEvents* events, std::unique_ptr<SessionLoop> loop, TcpTimings timings = {},
                  HidBackend* hid = nullptr);
    ~DeviceSession();

    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    ParameterStore& Store() { return m_store; }
    LinkState& State() { return m_link.State(); }
    DeviceLink& Link() { return m_link; }
    CommandEncoder& Commands() { return m_link.Commands(); }
    EqSender& Eq() { return m_link.Eq(); }
    Synchronizer& Sync() { return m_link.Sync(); }

    // False from the moment a close was asked for, while queued changes are still going out, and
    // while a connect attempt has not yet reported.
    bool IsConnected() const;
    bool IsNetwork() const;

    // Connects on a thread of its own so that the window keeps running; `done` runs afterwards on the
    // window thread with the result (a failure carries the platform's error number, 0 when no socket
    // could be made). An attempt still under way is cancelled first. A cancelled attempt reports
    // ECANCELED, later, and never a link.
    using ConnectDone = std::function<void(ConnectResult)>;
    void StartTcpConnect(const std::string& address, uint16_t port, ConnectDone done);
    // Ends an attempt under way at once: a link it opened meanwhile is closed with the disconnect notice.
    void CancelTcpConnect();
    bool IsConnecting() const { return m_attempt != nullptr; }

    // The orderly end: queued changes are given up to a second to be acknowledged (the link's
    // writer sends them while a timer watches), then the disconnect notice 0x8A goes and the
    // transport is closed. The session counts as disconnected from the call on.
    void CloseLink();
    bool IsClosing() const { return m_loop->Ticking(); }
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

    void SendLevelRequest();
    // [0x68, 0xAA]: the processor restores its factory state.
    void MachineReset();
    // Device modes 0..3 (see DeviceLink), and select [03 m].
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
    // DeviceLink::kSequenceExitLimit (exit, tests). A close still letting changes out gets the rest
    // of its second first.
    void Shutdown();

    // Edits made while a dropped network link waits to be reopened.
    OfflineEdits& OfflineChanges() { return m_offlineEdits; }

private:
    struct ConnectAttempt;

    // On the window thread, when an attempt's thread has posted: the attempt that has finished reports.
    void FinishTcpConnect();
    // The close's last step: the notice and the transport.
    void FinishClose();
    bool CloseDrained() const;
    UsbTransport& Usb() { return *m_link.Usb(); }
    const UsbTransport& Usb() const { return *m_link.Usb(); }

    ParameterStore& m_store;
    // Where finished attempts report and a closing link's queue is watched: the thread that made
    // the session.
    std::unique_ptr<SessionLoop> m_loop;
    std::unique_ptr<HidBackend> m_ownHid; // hidapi, when no backend was handed in
    DeviceLink m_link;
    LinkState& m_state; // m_link's, readable from const members
    OfflineEdits m_offlineEdits;

    std::unique_ptr<ConnectAttempt> m_attempt;
    std::chrono::steady_clock::time_point m_closeDeadline;
};

} // namespace orvex
