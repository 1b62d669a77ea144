#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/HidBackend.h"
#include "sim/ProcessorModel.h"

namespace orvex::sim {

// A report the fake device received, with its arrival time.
struct WrittenReport {
    std::vector<uint8_t> report; // 61 bytes, report number first
    std::chrono::steady_clock::time_point at;
};

// An in-process HID backend whose interfaces stand in for USB devices. An interface with the
// processor's ids is backed by a ProcessorModel: every report written to it is handled by the
// model and its replies come back as 61-byte input reports. Faults: silence (no replies), a
// reply delay, dropped replies and unplugging. Thread-safe.
class FakeHidBackend final : public HidBackend {
public:
    explicit FakeHidBackend(ProcessorModel& model);
    ~FakeHidBackend() override;

    // Interfaces are enumerated in the order they were added.
    void AddInterface(const std::string& path, uint16_t vendorId, uint16_t productId, bool active = true);
    // The device disappears: enumeration no longer lists it, a blocked read returns a failure,
    // writes fail.
    void Unplug(const std::string& path);

    void SetSilent(bool silent);
    void SetReplyDelay(std::chrono::milliseconds delay);
    void DropNextReplies(int count);
    // A message the processor sends on its own.
    void SendUnsolicited(const std::string& path, const std::vector<uint8_t>& body);

    std::vector<WrittenReport> Written(const std::string& path) const;
    bool WaitForWrites(const std::string& path, size_t count, std::chrono::milliseconds timeout) const;
    int OpenCount(const std::string& path) const;
    int OpenHandles(const std::string& path) const; // opened and not yet released

    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

    struct Interface;

private:
    std::shared_ptr<Interface> Find(const std::string& path) const;

    ProcessorModel& m_model;
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Interface>> m_interfaces;
};

} // namespace orvex::sim
