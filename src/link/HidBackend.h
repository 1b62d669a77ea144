#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orvex {

// One HID interface as enumeration reports it.
struct HidInterfaceInfo {
    std::string path; // the node the interface is opened by, e.g. /dev/hidraw3
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    bool active = true; // an interface that is listed but cannot be used is skipped
};

// An opened HID interface. Read blocks for one input report; Cancel makes a blocked or later
// Read return at once (the link's close uses it to end the reader). Write sends one output
// report whose first byte is the report number.
class HidDevice {
public:
    virtual ~HidDevice() = default;
    // Bytes read (> 0), or 0 / negative when the device failed, was unplugged or cancelled.
    virtual int Read(std::span<uint8_t> report) = 0;
    // Bytes written, or negative on failure.
    virtual int Write(std::span<const uint8_t> report) = 0;
    virtual void Cancel() = 0;
    // The attributes read back from the opened device (not from enumeration).
    virtual bool GetAttributes(uint16_t& vendorId, uint16_t& productId) = 0;
};

// What the USB transport needs of the platform: list HID interfaces and open one.
class HidBackend {
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
    virtual std::unique_ptr<HidDevice> Open(const std::string& path) = 0;
};

// hidapi on the hidraw backend.
std::unique_ptr<HidBackend> MakeHidapiBackend();

} // namespace orvex
