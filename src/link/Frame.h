#pragma once

#include "link/MessageIds.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace orvex {

inline constexpr size_t kMaxBody = 65;               // body after the carrier prefix
inline constexpr size_t kMaxPayload = kMaxBody + 1;  // prefix + body
inline constexpr size_t kMaxFrame = kMaxPayload + 3; // start, length, payload, checksum
inline constexpr size_t kMaxLengthByte = kMaxPayload + 1;
inline constexpr size_t kUsbReportSize = 61; // report number + 60 body bytes
inline constexpr size_t kUsbMaxBody = kUsbReportSize - 1;

inline constexpr std::string_view kHeartbeat = "$HB$";
inline constexpr std::string_view kHostBusy = "ISCONNECTED";

uint8_t FrameChecksum(uint8_t lengthByte, std::span<const uint8_t> payload);

// Writes the frame for `payload` into `out` and returns its size (payload + 3). Returns 0 and
// writes nothing when the payload is empty, longer than a frame may carry, or `out` is too small.
size_t BuildFrame(std::span<const uint8_t> payload, std::span<uint8_t> out);

// Convenience form; an empty vector means the payload was refused.
std::vector<uint8_t> BuildFrame(std::span<const uint8_t> payload);

// Fills a 61-byte USB report: report number 0x02, the body, zeros. Returns false (report left
// zeroed) for a body longer than 60 bytes.
bool BuildUsbReport(std::span<const uint8_t> body, std::array<uint8_t, kUsbReportSize>& report);

// What one socket receive holds, decided from its first bytes only: the heartbeat and the
// host-busy notice are recognised only at the start of a chunk.
enum class ChunkKind {
    Stream,              // everything is frame data
    HeartbeatOnly,       // exactly "$HB$"
    HeartbeatThenStream, // "$HB$" followed by frame data
    HostBusy,            // starts with "ISCONNECTED"
};

struct ChunkInfo {
    ChunkKind kind = ChunkKind::Stream;
    size_t streamOffset = 0; // where frame data begins
};

ChunkInfo ClassifyChunk(std::span<const uint8_t> chunk);

} // namespace orvex
