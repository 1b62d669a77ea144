#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace orvex {

// Reassembles TCP frames from the receive stream. Pure: no I/O, no clock, no threads; the
// receive thread owns one and feeds it every chunk of stream data.
//
// Resynchronisation differs from a naive "wait for more" parser on purpose: bytes before the
// next start byte are dropped at once, and a length byte that announces more than a frame can
// carry is treated the same way, so one stray byte never blocks the replies that follow it.
class FrameAssembler {
public:
    static constexpr size_t kCapacity = 260;

    using FrameHandler = std::function<void(std::span<const uint8_t> payload)>;

    struct Result {
        int frames = 0;         // good frames handed to the handler
        int checksumErrors = 0; // frames dropped for a bad checksum
        size_t discarded = 0;   // bytes dropped as garbage or by an overflow
    };

    // Appends stream data and decodes every complete frame, in order. When the buffered bytes
    // plus the new ones would exceed the capacity the old content is discarded first.
    Result Append(std::span<const uint8_t> data, const FrameHandler& onFrame);

    // Parses what is buffered (the receive path's ProcessRxBuf); Append calls it.
    Result ProcessRxBuf(const FrameHandler& onFrame);

    size_t Buffered() const { return m_fill; }
    bool InFrame() const { return m_inFrame; }
    void Clear();

private:
    void Consume(size_t count);

    std::array<uint8_t, kCapacity> m_buffer{};
    size_t m_fill = 0;
    bool m_inFrame = false;
};

} // namespace orvex
