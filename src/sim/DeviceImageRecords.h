#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "model/DeviceImageLayout.h"

namespace orvex::sim {

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
// exactly. The table is the one place that says where each parameter lives in the simulated
// processor; the editor itself only knows the offsets read-all decodes.
std::span<const ImageRecord> DeviceImageRecords();

// The record holding cmd/sub, or nullptr when the layout has no room for it.
const ImageRecord* FindImageRecord(uint8_t cmd, uint8_t sub);

} // namespace orvex::sim
