#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orvex {

// Serial API functions of the smart-home module: those the editor starts and those the module
// reports (wParam of WM_DEV_ZWAVE_EVENT).
namespace zwave {
inline constexpr uint8_t InitData = 0x02;
inline constexpr uint8_t ApplicationCommand = 0x04;
inline constexpr uint8_t SendData = 0x13;
inline constexpr uint8_t SetDefault = 0x42;
inline constexpr uint8_t AddNode = 0x4A;
inline constexpr uint8_t RemoveNode = 0x4B;

// Send-data callback ids: a plug value is confirmed by its callback, a remote-key value (0x80..0xFE)
// by the node's own report, so its callback is the quiet one.
inline constexpr uint8_t CallbackValue = 0x43;
inline constexpr uint8_t CallbackQuiet = 0x44;

// Frame types.
inline constexpr uint8_t Request = 0x00;
inline constexpr uint8_t Response = 0x01;
} // namespace zwave

// Serial API data frame: 01, length (bytes after it, checksum included), type, function, parameters,
// checksum = 0xFF ^ every byte from the length through the last parameter.
std::vector<uint8_t> BuildZWaveFrame(uint8_t function, std::span<const uint8_t> parameters,
                                     uint8_t type = zwave::Request);

// The send-data callback id that goes with a plug value: the quiet one for a remote key (0x80..0xFE).
uint8_t ZWaveSetValueCallback(uint8_t value);

// The parameters of the send-data that sets `value` on `node`: a Basic Set with transmit options
// 0x25 and the callback id that belongs to the value.
std::vector<uint8_t> ZWaveSetValueParameters(uint8_t node, uint8_t value);

// The parameters that start one of the operations the wait dialog stands for: send-data (a value to a
// node; node 0 is no node), add node or remove node (any node, network-wide). nullopt when there is
// nothing to send.
std::optional<std::vector<uint8_t>> ZWaveOperationParameters(uint8_t function, uint8_t node, uint8_t value);

// The parameters that abort a running send-data, add-node or remove-node; nullopt for any other
// function.
std::optional<std::vector<uint8_t>> ZWaveAbortParameters(uint8_t function);

} // namespace orvex
