#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "link/Frame.h"
#include "link/HidBackend.h"
#include "link/LinkState.h"
#include "link/UsbWriter.h"

namespace orvex {

class ParameterStore;

// The processor's USB identity.
inline constexpr uint16_t kProcessorVendorId = 0x2010;
inline constexpr uint16_t kProcessorProductId = 0x1031;
// Interfaces looked at per connect, as many as the processor's driver ever listed.
inline constexpr int kMaxUsbInterfaces = 32;

struct UsbTimings {
    std::chrono::milliseconds replyWait{2000};      // a paced write waits this long for the reply event (on the tick)
    std::chrono::milliseconds readerExitWait{1000}; // UsbClose's wait for the reader to end
};

// The USB side of the device link: the processor as a HID device exchanging 61-byte reports.
// One reader thread hands every report to the decoder; writes are made by the sending thread,
// immediately or paced by the reply event. There is no write queue: every change is written in
// the order it is made.
class UsbTransport final : public UsbWriter {
public:
    UsbTransport(LinkState& link, ParameterStore& store, MessageSink& decoder, HidBackend& backend,
                 UsbTimings timings = {});
    ~UsbTransport() override;

    UsbTransport(const UsbTransport&) = delete;
    UsbTransport& operator=(const UsbTransport&) = delete;

    // Opens the first active interface with the processor's ids and starts the reader. Returns 1,
    // or 0 when no processor was found, a link is already up, or TCP is the selected transport.
    int UsbConnect();

    // One report: 0x02, the body, zeros. The paced variant first waits for the reply event (at most
    // 2 s, then writes anyway). Returns 61, or 0 when the link is down, the reader has given up,
    // the body does not fit a report, or the write failed.
    int WriteUsbData(std::span<const uint8_t> body, bool paced) override;

    // Clears the level record and linkConnected, waits (bounded) for the reader and releases the
    // device. Safe from any thread; does nothing when no USB link is up.
    void UsbClose();

    // Device arrival while no link is up: selects USB and connects. Returns UsbConnect's result.
    int HandleDeviceArrival();
    // Device removal: unless a TCP link is up, closes the link when the path is the open
    // device's (letter case ignored). Returns true when it closed the link.
    bool HandleDeviceRemoval(std::string_view path);

    // The path of the opened device; empty when none is open.
    std::string DevicePath() const;
    const UsbTimings& Timings() const { return m_timings; }

private:
    void ReadUsbThreadProc();
    bool TryOpen(const HidInterfaceInfo& candidate);
    void ReleaseDevice();

    LinkState& m_link;
    ParameterStore& m_store;
    MessageSink& m_decoder;
    HidBackend& m_backend;
    UsbTimings m_timings;

    std::mutex m_connectMutex; // one connect or close at a time
    mutable std::mutex m_pathMutex;
    std::string m_devicePath;
    // Replaced only while the reader is not running, under both m_connectMutex and the link's I/O
    // lock: the connect and close paths read it under the first, writes under the second.
    std::shared_ptr<HidDevice> m_device;
    std::thread m_reader;
};

} // namespace orvex
