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

// One parameter record of the memory layout the simulated processor keeps. cmd 0 marks
// padding: a record the processor reserves and no command addresses.
struct ImageRecord {
    uint16_t offset;
    uint8_t cmd;
    uint8_t sub;
    uint8_t words;

    constexpr size_t Size() const { return 3 + 4 * static_cast<size_t>(words); }
};

// Every record from kImageRecordsOffset to the end of the image, in memory order, tiling it
// exactly. The table is the one place that says where each parameter lives.
std::span<const ImageRecord> DeviceImageRecords();

// The record holding cmd/sub, or nullptr when the layout has no room for it.
const ImageRecord* FindImageRecord(uint8_t cmd, uint8_t sub);

} // namespace orvex
