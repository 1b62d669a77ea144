#include "model/RoomRecord.h"

#include <cmath>

namespace orvex {

namespace {

constexpr uint8_t kSignBit = 0x80;
constexpr uint8_t kMagnitudeMask = 0x7F;

uint8_t PackMetres(int metres) {
    return static_cast<uint8_t>(metres < 0 ? 0 : (metres > 0xFF ? 0xFF : metres));
}

} // namespace

uint8_t PackRoomCoordinate(float metres) {
    // The half-tenth push is made in double and the result held as a float, so that values such as
    // 0.1 or 1.0, which a float holds slightly below their tenth, still land on it.
    const float pushed =
        static_cast<float>(metres > 0.0f ? static_cast<double>(metres) + 0.05 : static_cast<double>(metres) - 0.05);
    const float tenths = std::fabs(std::trunc(pushed * 10.0f));
    uint8_t magnitude = kMagnitudeMask;
    if (std::isnan(tenths)) {
        magnitude = 0;
    } else if (tenths < static_cast<float>(kMagnitudeMask)) {
        magnitude = static_cast<uint8_t>(tenths);
    }
    // NaN fails "> 0" above and so counts as not positive, like zero.
    const bool negative = !(pushed >= 0.0f);
    return static_cast<uint8_t>(magnitude | (negative ? kSignBit : 0));
}

float UnpackRoomCoordinate(uint8_t byte) {
    const int magnitude = byte & kMagnitudeMask;
    if (magnitude == 0) {
        return 0.0f;
    }
    const float value = static_cast<float>(magnitude) / 10.0f;
    return (byte & kSignBit) != 0 ? -value : value;
}

RoomRecordBytes PackRoomRecord(const RoomGeometry& room) {
    RoomRecordBytes bytes{};
    bytes[0] = PackMetres(room.width);
    bytes[1] = PackMetres(room.length);
    bytes[2] = PackRoomCoordinate(room.listener.x);
    bytes[3] = PackRoomCoordinate(room.listener.y);
    for (int i = 0; i < kRoomSpeakerCount; ++i) {
        const auto at = static_cast<std::size_t>(4 + 2 * i);
        bytes[at] = PackRoomCoordinate(room.speakers[static_cast<std::size_t>(i)].x);
        bytes[at + 1] = PackRoomCoordinate(room.speakers[static_cast<std::size_t>(i)].y);
    }
    return bytes;
}

RoomGeometry UnpackRoomRecord(std::span<const uint8_t, kRoomRecordSize> bytes) {
    RoomGeometry room;
    room.width = bytes[0];
    room.length = bytes[1];
    room.listener = {UnpackRoomCoordinate(bytes[2]), UnpackRoomCoordinate(bytes[3])};
    for (int i = 0; i < kRoomSpeakerCount; ++i) {
        const auto at = static_cast<std::size_t>(4 + 2 * i);
        room.speakers[static_cast<std::size_t>(i)] = {UnpackRoomCoordinate(bytes[at]),
                                                      UnpackRoomCoordinate(bytes[at + 1])};
    }
    return room;
}

} // namespace orvex
