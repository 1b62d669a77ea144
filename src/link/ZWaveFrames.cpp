#include "link/ZWaveFrames.h"

namespace orvex {

namespace {

constexpr uint8_t kBasicCommandClass = 0x20;
constexpr uint8_t kBasicSet = 0x01;
constexpr uint8_t kTransmitOptions = 0x25; // acknowledged, auto-route, explore
constexpr uint8_t kNodeAny = 0x01;
constexpr uint8_t kAddNodeOptions = 0x30;    // network-wide inclusion, normal power
constexpr uint8_t kRemoveNodeOptions = 0x09; // network-wide exclusion
constexpr uint8_t kStop = 0x05;

} // namespace

std::vector<uint8_t> BuildZWaveFrame(uint8_t function, std::span<const uint8_t> parameters, uint8_t type) {
    std::vector<uint8_t> frame;
    frame.reserve(parameters.size() + 5);
    frame.push_back(0x01);
    frame.push_back(static_cast<uint8_t>(parameters.size() + 3)); // type, function, parameters, checksum
    frame.push_back(type);
    frame.push_back(function);
    frame.insert(frame.end(), parameters.begin(), parameters.end());
    uint8_t checksum = 0xFF;
    for (size_t i = 1; i < frame.size(); ++i)
        checksum ^= frame[i];
    frame.push_back(checksum);
    return frame;
}

uint8_t ZWaveSetValueCallback(uint8_t value) {
    const bool remoteKey = value >= 0x80 && value != 0xFF;
    return remoteKey ? zwave::CallbackQuiet : zwave::CallbackValue;
}

std::vector<uint8_t> ZWaveSetValueParameters(uint8_t node, uint8_t value) {
    return {node, 0x03, kBasicCommandClass, kBasicSet, value, kTransmitOptions, ZWaveSetValueCallback(value)};
}

std::optional<std::vector<uint8_t>> ZWaveOperationParameters(uint8_t function, uint8_t node, uint8_t value) {
    switch (function) {
    case zwave::SendData:
        if (node == 0)
            return std::nullopt;
        return ZWaveSetValueParameters(node, value);
    case zwave::AddNode:
        return std::vector<uint8_t>{kNodeAny, kAddNodeOptions};
    case zwave::RemoveNode:
        return std::vector<uint8_t>{kNodeAny, kRemoveNodeOptions};
    default:
        return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> ZWaveAbortParameters(uint8_t function) {
    if (function != zwave::SendData && function != zwave::AddNode && function != zwave::RemoveNode)
        return std::nullopt;
    return std::vector<uint8_t>{kStop, 0x00};
}

} // namespace orvex
