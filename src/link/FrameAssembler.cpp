#include "link/FrameAssembler.h"

#include "link/DebugSink.h"
#include "link/Frame.h"

#include <algorithm>
#include <cstring>

namespace orvex {

void FrameAssembler::Clear() {
    m_fill = 0;
    m_inFrame = false;
}

void FrameAssembler::Consume(size_t count) {
    count = std::min(count, m_fill);
    std::memmove(m_buffer.data(), m_buffer.data() + count, m_fill - count);
    m_fill -= count;
}

FrameAssembler::Result FrameAssembler::Append(std::span<const uint8_t> data, const FrameHandler& onFrame) {
    Result total;
    // A chunk is at most one receive buffer, but stay safe for any caller.
    while (!data.empty()) {
        const size_t take = std::min(data.size(), kCapacity);
        if (m_fill + take > kCapacity) {
            total.discarded += m_fill;
            Clear();
        }
        std::memcpy(m_buffer.data() + m_fill, data.data(), take);
        m_fill += take;
        data = data.subspan(take);
        const Result r = ProcessRxBuf(onFrame);
        total.frames += r.frames;
        total.checksumErrors += r.checksumErrors;
        total.discarded += r.discarded;
    }
    return total;
}

FrameAssembler::Result FrameAssembler::ProcessRxBuf(const FrameHandler& onFrame) {
    Result result;
    while (m_fill > 0) {
        if (!m_inFrame) {
            if (m_buffer[0] != kFrameStart) {
                const auto* begin = m_buffer.data();
                const auto* next = std::find(begin + 1, begin + m_fill, kFrameStart);
                const auto skip = static_cast<size_t>(next - begin);
                result.discarded += skip;
                Consume(skip);
                continue;
            }
            m_inFrame = true;
        }
        if (m_fill < 2)
            return result; // the length byte has not arrived yet
        const size_t lengthByte = m_buffer[1];
        if (lengthByte < 2 || lengthByte > kMaxLengthByte) {
            // No frame of the protocol is this long (or empty): the start byte was noise.
            m_inFrame = false;
            result.discarded += 1;
            Consume(1);
            continue;
        }
        const size_t frameSize = lengthByte + 2;
        if (m_fill < frameSize)
            return result; // wait for the rest of the frame
        const std::span<const uint8_t> payload(m_buffer.data() + 2, lengthByte - 1);
        if (FrameChecksum(static_cast<uint8_t>(lengthByte), payload) == m_buffer[lengthByte + 1]) {
            ++result.frames;
            if (onFrame)
                onFrame(payload);
        } else {
            ++result.checksumErrors;
            DebugOut("ProcessRxBuf Checksum error\n");
        }
        Consume(frameSize);
        m_inFrame = false;
    }
    return result;
}

} // namespace orvex
