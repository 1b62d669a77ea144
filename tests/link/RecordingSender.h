#pragma once

#include "link/DeviceSender.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace orvex::test {

// Stands where SendToDevice would be and keeps every message with its flags.
class RecordingSender : public DeviceSender {
public:
    struct Sent {
        std::vector<uint8_t> body;
        bool paced;
        bool zwave;
        std::chrono::milliseconds gap{-1}; // a spaced message's distance from the one before; -1 otherwise
    };

    int SendToDevice(std::span<const uint8_t> message, bool paced, bool zwave) override {
        std::lock_guard lock(m_mutex);
        m_sent.push_back({{message.begin(), message.end()}, paced, zwave});
        return static_cast<int>(message.size());
    }

    int SendToDeviceSpaced(std::span<const uint8_t> message, std::chrono::milliseconds gap) override {
        std::lock_guard lock(m_mutex);
        m_sent.push_back({{message.begin(), message.end()}, true, false, gap});
        return static_cast<int>(message.size());
    }

    std::vector<Sent> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }

    std::vector<std::vector<uint8_t>> Bodies() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::vector<uint8_t>> bodies;
        for (const auto& s : m_sent)
            bodies.push_back(s.body);
        return bodies;
    }

    void Clear() {
        std::lock_guard lock(m_mutex);
        m_sent.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Sent> m_sent;
};

} // namespace orvex::test
