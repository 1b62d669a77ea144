#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
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
// One reader thread hands every report to the decoder; one writer thread writes the reports handed
// to it, in the order they were handed over, a paced one once the reply event allows. Nothing is
// merged: every change is written in the order it is made. A caller never waits for the processor
// unless the write queue is switched off (a synchronisation sequence, the command-line tool): then a
// paced write returns once its report is written, as the sequences expect.
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

    // One report: 0x02, the body, zeros. The writer writes a paced one after the reply event (at most
    // 2 s, then anyway). Returns 61 once the report is handed to the writer (once it is written, for a
    // paced write while the queue is off), or 0 when the link is down, the reader has given up, the
    // body does not fit a report, or the write failed. A paced report identical to one still waiting
    // is not handed over twice (a level poll repeated while the processor is slow to answer).
    int WriteUsbData(std::span<const uint8_t> body, bool paced) override;
    int WriteUsbDataSpaced(std::span<const uint8_t> body, std::chrono::milliseconds gap) override;
    bool WaitUntilWritten(std::chrono::milliseconds limit) override;

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
    struct PendingWrite {
        std::array<uint8_t, kUsbReportSize> report{};
        bool paced = false;
        bool spaced = false; // a fade step: keeps its place, never taken for a repeat
        std::chrono::milliseconds gap{0};
        std::shared_ptr<std::promise<int>> written; // for a caller that waits for the write
    };

    int Submit(std::span<const uint8_t> body, bool paced, bool spaced, std::chrono::milliseconds gap);
    void ReadUsbThreadProc();
    void WriteUsbThreadProc();
    int WriteOne(const PendingWrite& write, uint32_t& lastWriteTick);
    void StartWriter();
    // Ends the writer and drops what it had not written yet; waiting callers get 0.
    void StopWriter();
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

    std::mutex m_writeMutex;
    std::condition_variable m_writeWake;
    std::deque<PendingWrite> m_writes;
    bool m_writing = false;               // the writer holds a report it has taken from m_writes
    std::atomic<bool> m_writerStop{true}; // no writer takes reports (none runs, or it is ending)
    std::thread m_writer;
};

} // namespace orvex
