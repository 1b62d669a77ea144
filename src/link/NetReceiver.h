#pragma once

#include <cstdint>
#include <span>

#include "link/FrameAssembler.h"

namespace orvex {

// What the receive path does with one socket receive, apart from the socket itself: answer
// heartbeats, notice the host-busy string, and feed frames to the decoder. The TCP transport
// implements the sink; tests and the fuzzer use recorders.
class NetReceiveSink {
public:
    virtual ~NetReceiveSink() = default;
    virtual void SendHeartbeatEcho() = 0;                       // "$HB$" straight back, outside any frame
    virtual void MarkRxActivity() = 0;                          // lastRxTick = now
    virtual void OnHostBusy() = 0;                              // clear linkConnected, post WM_DEV_HOST_BUSY
    virtual void OnFrame(std::span<const uint8_t> payload) = 0; // decode, clear awaitingReply
};

class NetReceiver {
public:
    static constexpr size_t kChunkSize = 260;

    explicit NetReceiver(NetReceiveSink& sink) : m_sink(sink) {}

    // Handles the bytes of one receive (at most kChunkSize in practice).
    void HandleChunk(std::span<const uint8_t> chunk);

    const FrameAssembler& Assembler() const { return m_assembler; }
    void Reset() { m_assembler.Clear(); }

private:
    NetReceiveSink& m_sink;
    FrameAssembler m_assembler;
};

} // namespace orvex
