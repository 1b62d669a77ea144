#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>

#include "link/Frame.h"

namespace orvex {

// One pending TCP message. The key is the first five payload bytes and a zero (a shorter
// payload is zero-padded), so a parameter write is keyed by prefix, 09, 00, cmd, sub: one
// entry per parameter.
struct WriteQueueEntry {
    std::array<uint8_t, 6> key{};
    std::array<uint8_t, kMaxPayload> payload{};
    uint32_t length = 0;
    // A spaced entry (a fade step) goes out no sooner than this after the frame before it.
    uint32_t gapMs = 0;
    // Nothing is merged into a sealed entry: it keeps its value and its place.
    bool sealed = false;

    std::span<const uint8_t> Payload() const { return {payload.data(), length}; }
};

std::array<uint8_t, 6> WriteQueueKey(std::span<const uint8_t> payload);

// The coalescing write queue of the TCP link, with its own lock. A burst of changes to one
// parameter leaves a single entry carrying the latest value, kept at the position of the first.
// Z-Wave pass-through frames (prefix 0x80) are never merged: each one is a command of its own.
class WriteQueue {
public:
    // Returns false, queueing nothing, for an empty payload or one longer than a frame carries.
    bool Enqueue(std::span<const uint8_t> payload);
    // A message that must not be merged, sent `gapMs` after the one before it at the earliest. It
    // seals the entries of its parameter already queued too, so that a later change of the parameter
    // lands after it instead of going back to an earlier place.
    bool EnqueueSpaced(std::span<const uint8_t> payload, uint32_t gapMs);
    std::optional<WriteQueueEntry> PopFront();
    void Clear();
    size_t Size() const;
    // Waits until an entry is queued, Wake is called or `limit` has passed; true when not empty.
    bool WaitNotEmpty(std::chrono::milliseconds limit);
    // Ends every wait at once (the link is closing).
    void Wake();
    bool Empty() const { return Size() == 0; }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_queued;
    uint64_t m_wakes = 0;
    std::deque<WriteQueueEntry> m_entries;
};

} // namespace orvex
