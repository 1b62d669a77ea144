#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace orvex {

// roomRecord, 20 bytes, mirrored at processor memory 1285:
//   0 room width, 1 room length: whole metres
//   2, 3 listener x, y; 4..19 speaker points 1..8 as (x, y): sign-magnitude tenths of a metre,
//   bit 7 the sign, bits 0..6 the magnitude (so +-12.7 m at most).
// Coordinates have their origin at the centre of the room, x to the right and y to the front.
inline constexpr int kRoomRecordSize = 20;
inline constexpr int kRoomSpeakerCount = 8;
using RoomRecordBytes = std::array<uint8_t, kRoomRecordSize>;

// 4 m x 4 m, listener in the middle; L (-1, 1), CEN (0, 1), R (1, 1), SBL (-1, -1), SUB (0, -1),
// SBR (1, -1), SL (-0.5, 0), SR (0.5, 0).
inline constexpr RoomRecordBytes kDefaultRoomRecord = {0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00, 0x0A, 0x0A, 0x0A,
                                                       0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00};

struct RoomPoint {
    float x = 0.0f;
    float y = 0.0f;

    friend bool operator==(const RoomPoint&, const RoomPoint&) = default;
};

// The unpacked room: what the room page edits. Speaker points are in room-record order
// (L, CEN, R, SBL, SUB, SBR, SL, SR).
struct RoomGeometry {
    int width = 0;
    int length = 0;
    RoomPoint listener;
    std::array<RoomPoint, kRoomSpeakerCount> speakers{};

    friend bool operator==(const RoomGeometry&, const RoomGeometry&) = default;
};

// A coordinate byte. The value is pushed half a tenth away from zero and truncated, so it rounds to
// the nearest tenth; anything not above zero gets the sign bit, 0.0 included (0x80). The magnitude
// saturates at 127 so a far point never spills into the sign bit.
uint8_t PackRoomCoordinate(float metres);
// Magnitude / 10, negated when the sign bit is set; a zero magnitude gives +0.0 either way.
float UnpackRoomCoordinate(uint8_t byte);

RoomRecordBytes PackRoomRecord(const RoomGeometry& room);
RoomGeometry UnpackRoomRecord(std::span<const uint8_t, kRoomRecordSize> bytes);

} // namespace orvex
