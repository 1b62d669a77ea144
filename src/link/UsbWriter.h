#pragma once

#include <cstdint>
#include <span>

namespace orvex {

// What the device link needs from the USB transport: one 61-byte report carrying a message body
// (report number 0x02, the body, zeros). A paced write first waits for the previous reply; an
// immediate one goes at once. Returns the bytes written (61), 0 when there is no device or the write
// failed.
class UsbWriter {
public:
    virtual ~UsbWriter() = default;
    virtual int WriteUsbData(std::span<const uint8_t> body, bool paced) = 0;
};

} // namespace orvex
