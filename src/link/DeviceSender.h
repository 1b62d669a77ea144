#pragma once

#include <cstdint>
#include <span>

namespace orvex {

// The single byte with which each side acknowledges a Z-Wave frame.
inline constexpr uint8_t kZWaveAck = 0x06;

// The single exit of every message builder: SendToDevice hands a message body to whichever transport
// is connected. `paced` makes it wait for the previous reply first (parameter writes, requests, memory
// messages); `zwave` marks a raw Z-Wave Serial API frame for the smart-home module, which each carrier
// wraps its own way (12, count, frame on USB; prefix 0x80 on TCP). Returns the bytes handed on, 0 when
// nothing could be sent.
class DeviceSender {
public:
    virtual ~DeviceSender() = default;
    virtual int SendToDevice(std::span<const uint8_t> message, bool paced, bool zwave = false) = 0;
};

} // namespace orvex
