#include "link/WriteQueue.h"

#include <algorithm>

namespace orvex {

std::array<uint8_t, 6> WriteQueueKey(std::span<const uint8_t> payload) {
    std::array<uint8_t, 6> key{};
    const size_t n = std::min<size_t>(payload.size(), 5);
    std::copy_n(payload.begin(), n, key.begin());
    return key;
}

namespace {
WriteQueueEntry MakeEntry(std::span<const uint8_t> payload) {
    WriteQueueEntry entry;
    entry.key = WriteQueueKey(payload);
    std::copy(payload.begin(), payload.end(), entry.payload.begin());
    entry.length = static_cast<uint32_t>(payload.size());
    return entry;
}
} // namespace

bool WriteQueue::Enqueue(std::span<const uint8_t> payload) {
    if (payload.empty() || payload.size() > kMaxPayload)
        return false;
    const WriteQueueEntry entry = MakeEntry(payload);
    {
        std::lock_guard lock(m_lock);
        // A pass-through frame's first bytes are 80 01 L 00 function for every frame of that function
        // (a set-value to any plug, say): they name no parameter, so each such frame is sent as it is.
        const auto it = payload[0] == kPrefixZWave
                            ? m_entries.end()
                            : std::find_if(m_entries.begin(), m_entries.end(),
                                           [&](const WriteQueueEntry& e) { return !e.sealed && e.key == entry.key; });
        if (it != m_entries.end())
            *it = entry;
        else
            m_entries.push_back(entry);
    }
    m_queued.notify_all();
    return true;
}

bool WriteQueue::EnqueueSpaced(std::span<const uint8_t> payload, uint32_t gapMs) {
    if (payload.empty() || payload.size() > kMaxPayload)
        return false;
    WriteQueueEntry entry = MakeEntry(payload);
    entry.gapMs = gapMs;
    entry.sealed = true;
    {
        std::lock_guard lock(m_lock);
        for (WriteQueueEntry& e : m_entries)
            e.sealed = e.sealed || e.key == entry.key;
        m_entries.push_back(entry);
    }
    m_queued.notify_all();
    return true;
}

bool WriteQueue::WaitNotEmpty(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_lock);
    const uint64_t wakes = m_wakes;
    m_queued.wait_for(lock, limit, [&] { return !m_entries.empty() || m_wakes != wakes; });
    return !m_entries.empty();
}

void WriteQueue::Wake() {
    {
        std::lock_guard lock(m_lock);
        ++m_wakes;
    }
    m_queued.notify_all();
}

std::optional<WriteQueueEntry> WriteQueue::PopFront() {
    std::lock_guard lock(m_lock);
    if (m_entries.empty())
        return std::nullopt;
    WriteQueueEntry front = m_entries.front();
    m_entries.pop_front();
    return front;
}

void WriteQueue::Clear() {
    std::lock_guard lock(m_lock);
    m_entries.clear();
}

size_t WriteQueue::Size() const {
    std::lock_guard lock(m_lock);
    return m_entries.size();
}

} // namespace orvex
