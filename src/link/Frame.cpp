#include "link/Frame.h"

#include <algorithm>
#include <cstring>

namespace orvex {

uint8_t FrameChecksum(uint8_t lengthByte, std::span<const uint8_t> payload) {
    uint8_t x = 0xFF ^ lengthByte;
    for (uint8_t b : payload)
        x ^= b;
    return x;
}

size_t BuildFrame(std::span<const uint8_t> payload, std::span<uint8_t> out) {
    const size_t n = payload.size();
    if (n == 0 || n > kMaxPayload || out.size() < n + 3)
        return 0;
    const auto lengthByte = static_cast<uint8_t>(n + 1);
    out[0] = kFrameStart;
    out[1] = lengthByte;
    std::copy(payload.begin(), payload.end(), out.begin() + 2);
    out[n + 2] = FrameChecksum(lengthByte, payload);
    return n + 3;
}

std::vector<uint8_t> BuildFrame(std::span<const uint8_t> payload) {
    std::vector<uint8_t> frame(payload.size() + 3);
    const size_t size = BuildFrame(payload, frame);
    frame.resize(size);
    return frame;
}

bool BuildUsbReport(std::span<const uint8_t> body, std::array<uint8_t, kUsbReportSize>& report) {
    report.fill(0);
    if (body.size() > kUsbMaxBody)
        return false;
    report[0] = kUsbReportNumber;
    std::copy(body.begin(), body.end(), report.begin() + 1);
    return true;
}

ChunkInfo ClassifyChunk(std::span<const uint8_t> chunk) {
    const auto startsWith = [&](std::string_view text) {
        return chunk.size() >= text.size() && std::memcmp(chunk.data(), text.data(), text.size()) == 0;
    };
    if (chunk.size() >= kHeartbeat.size() && chunk[0] == '$') {
        if (!startsWith(kHeartbeat))
            return {ChunkKind::Stream, 0};
        if (chunk.size() == kHeartbeat.size())
            return {ChunkKind::HeartbeatOnly, kHeartbeat.size()};
        return {ChunkKind::HeartbeatThenStream, kHeartbeat.size()};
    }
    if (chunk.size() >= kHostBusy.size() && chunk[0] == 'I' && startsWith(kHostBusy))
        return {ChunkKind::HostBusy, chunk.size()};
    return {ChunkKind::Stream, 0};
}

} // namespace orvex
