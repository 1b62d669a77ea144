#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace orvex {

// The processor's parameter memory as read-all sees it: 3299 bytes, of which the first 1307
// mirror the store's byte blocks and the rest is a run of parameter records
// (cmd, sub, n, then n big-endian words) that follow each other without gaps.
inline constexpr int kDeviceImageSize = 3299;
inline constexpr size_t kImageEqTableOffset = 0;
inline constexpr size_t kImagePositionGainOffset = 1253;
inline constexpr size_t kImageRoomOffset = 1285;
inline constexpr size_t kImageBassBoostOffset = 1305;
inline constexpr size_t kImageUnusedOffset = 1307; // 10 bytes the editor never reads
inline constexpr size_t kImageRecordsOffset = 1317;

// Read-all decodes the records that start at these offsets, in this order. Records elsewhere
// (the six-word position sets, the bass boost sets, padding) are skipped.
std::span<const uint16_t> DecodedRecordOffsets();

} // namespace orvex
