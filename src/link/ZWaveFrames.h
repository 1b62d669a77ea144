#pragma once

#include "link/MessageIds.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orvex {

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
