#include "link/DeviceLink.h"

#include "link/Frame.h"

#include <algorithm>
#include <array>
#include <thread>

namespace orvex {

DeviceLink::DeviceLink(ParameterStore& store, LinkEvents* events, TcpTimings timings, HidBackend* hid)
    : m_store(store), m_replies(m_state, store, events, m_smartHome, this),
      m_tcp(m_state, store, m_replies, events, timings), m_commands(store, *this), m_eq(store, m_commands),
      m_sync(m_state, store, m_commands, m_eq, m_smartHome, events) {
    // A delay-mode change resends the channel's band split; replies 05 and 06 start read-all.
    m_commands.SetBandSplitResender([this](int channel) { m_eq.SendBandSplit(channel); });
    m_replies.SetReadAllStarter([this] { m_sync.StartReadAll(); });
    if (hid != nullptr) {
        m_usb = std::make_unique<UsbTransport>(m_state, store, m_replies, *hid);
        SetUsbWriter(m_usb.get());
        SetUsbCloser([this] { m_usb->UsbClose(); });
    }
}

DeviceLink::~DeviceLink() {
    // No reply may start a sequence now.
    m_replies.SetReadAllStarter({});
    Shutdown();
    // A sequence that outlasted the limit still runs on the store and on this link: it is stopped,
    // so it ends as soon as whatever holds it lets go.
    m_sync.Join();
    SetUsbWriter(nullptr);
    m_usb.reset();
}

bool DeviceLink::Shutdown() {
    // With the transports down a running sequence ends at once; the bound is for one that is held
    // by something else.
    m_tcp.Shutdown();
    if (m_usb)
        m_usb->UsbClose();
    return m_sync.Shutdown(std::chrono::milliseconds(m_sequenceExitLimit.load()));
}

int DeviceLink::UsbConnect() {
    if (!m_usb || IsConnected())
        return 0;
    m_smartHome.tablesRead.store(0); // a new link has read nothing yet
    return m_usb->HandleDeviceArrival();
}

bool DeviceLink::HandleUsbRemoval(std::string_view path) {
    if (!m_usb || !m_usb->HandleDeviceRemoval(path))
        return false;
    m_smartHome.tablesRead.store(0);
    return true;
}

void DeviceLink::LoadDeviceMode(int mode) {
    mode = ClampDeviceMode(mode);
    m_store.SetDeviceMode(mode);
    m_commands.LoadDeviceMode(mode);
}

void DeviceLink::SaveDeviceMode(int mode) {
    mode = ClampDeviceMode(mode);
    m_store.SetModifiedFlag(false);
    m_store.SetDeviceMode(mode);
    m_commands.SaveDeviceMode(mode);
}

void DeviceLink::SetUsbCloser(std::function<void()> closer) {
    {
        std::lock_guard lock(m_closerMutex);
        m_usbCloser = closer;
    }
    // The TCP time-out watcher closes whichever transport is active.
    m_tcp.SetTimeoutCloser(std::move(closer));
}

ConnectResult DeviceLink::TcpConnect(const std::string& address, uint16_t port, const std::atomic<bool>* cancel) {
    m_state.networkMode.store(1);
    m_smartHome.tablesRead.store(0); // a new link has read nothing yet
    return m_tcp.TcpConnect(address, port, cancel);
}

void DeviceLink::CloseLink() {
    m_smartHome.tablesRead.store(0);
    if (m_state.networkMode.load() == 1) {
        if (IsConnected()) {
            // Straight to the socket: queued, the notice would be thrown away with the queue that
            // TcpClose empties a moment later.
            const std::array<uint8_t, 2> notice = {kPrefixProcessor, request::Disconnect};
            m_tcp.TcpSendDirect(notice);
        }
        m_tcp.TcpClose();
        return;
    }
    if (IsConnected()) {
        m_commands.SendDisconnectNotice();
        // The notice is the last thing the processor hears, after whatever the writer still holds;
        // a processor that does not answer costs at most one reply wait here.
        if (UsbWriter* writer = m_usbWriter.load())
            writer->WaitUntilWritten(m_usb ? m_usb->Timings().replyWait : std::chrono::milliseconds(2000));
    }
    std::function<void()> closer;
    {
        std::lock_guard lock(m_closerMutex);
        closer = m_usbCloser;
    }
    if (closer)
        closer();
}

int DeviceLink::SendToDevice(std::span<const uint8_t> message, bool paced, bool zwave) {
    if (message.empty() || m_sync.StoppedSequenceThread())
        return 0;
    return m_state.networkMode.load() == 1 ? SendTcp(message, paced, zwave, std::chrono::milliseconds(-1))
                                           : SendUsb(message, paced, zwave);
}

int DeviceLink::SendToDeviceSpaced(std::span<const uint8_t> message, std::chrono::milliseconds gap) {
    if (message.empty() || m_sync.StoppedSequenceThread())
        return 0;
    gap = std::max(gap, std::chrono::milliseconds(0));
    if (m_state.networkMode.load() == 1)
        return SendTcp(message, true, false, gap);
    UsbWriter* writer = m_usbWriter.load();
    if (writer == nullptr || message.size() > kUsbMaxBody)
        return 0;
    return writer->WriteUsbDataSpaced(message, gap);
}

int DeviceLink::SendUsb(std::span<const uint8_t> message, bool paced, bool zwave) {
    UsbWriter* writer = m_usbWriter.load();
    if (writer == nullptr)
        return 0;
    if (!zwave)
        return message.size() <= kUsbMaxBody ? writer->WriteUsbData(message, paced) : 0;
    // On USB a Z-Wave frame travels inside message 12: 12, count, frame.
    if (message.size() + 2 > kUsbMaxBody)
        return 0;
    std::array<uint8_t, kUsbMaxBody> body{};
    body[0] = kMsgZWaveUsb;
    body[1] = static_cast<uint8_t>(message.size());
    std::copy(message.begin(), message.end(), body.begin() + 2);
    return writer->WriteUsbData(std::span(body.data(), message.size() + 2), paced);
}

// A negative gap: an ordinary message, merged in the queue with the parameter's earlier change.
int DeviceLink::SendTcp(std::span<const uint8_t> message, bool paced, bool zwave, std::chrono::milliseconds gap) {
    if (message.size() > kMaxBody)
        return 0;
    std::array<uint8_t, kMaxPayload> payload{};
    payload[0] = zwave ? kPrefixZWave : kPrefixProcessor;
    std::copy(message.begin(), message.end(), payload.begin() + 1);
    const std::span<const uint8_t> p(payload.data(), message.size() + 1);
    const bool spaced = gap.count() >= 0;
    if (m_state.queueEnabled.load() == 1) {
        const bool queued = spaced ? m_tcp.TcpSendQueuedSpaced(p, gap) : m_tcp.TcpSendQueued(p);
        return queued ? static_cast<int>(p.size()) : 0;
    }
    if (spaced && gap.count() > 0)
        std::this_thread::sleep_for(gap); // a sequence's thread (or the command-line tool): it may wait
    return paced ? m_tcp.NetSendSync(p) : m_tcp.TcpSendDirect(p);
}

} // namespace orvex
