#pragma once

#include "link/MessageIds.h"

#include <chrono>
#include <cstdint>
#include <span>

namespace orvex {

// The single exit of every message builder: SendToDevice hands a message body to whichever transport
// is connected. `paced` makes it wait for the previous reply first (parameter writes, requests, memory
// messages); `zwave` marks a raw Z-Wave Serial API frame for the smart-home module, which each carrier
// wraps its own way (12, count, frame on USB; prefix 0x80 on TCP). Returns the bytes handed on, 0 when
// nothing could be sent.
class DeviceSender {
public:
    virtual ~DeviceSender() = default;
    virtual int SendToDevice(std::span<const uint8_t> message, bool paced, bool zwave = false) = 0;
    // A paced message that keeps its place and its distance (a step of a fade): it is never merged
    // with another queued message, and it goes out no sooner than `gap` after the message before it.
    // The wait is the link's own (its writer thread, or the thread of a sequence), never the caller's.
    // A sender without a writer of its own hands it on at once.
    virtual int SendToDeviceSpaced(std::span<const uint8_t> message, std::chrono::milliseconds gap) {
        (void)gap;
        return SendToDevice(message, true);
    }
};

} // namespace orvex
