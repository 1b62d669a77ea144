#pragma once

#include <chrono>
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
    // A paced report that goes out no sooner than `gap` after the report before it (a fade step).
    virtual int WriteUsbDataSpaced(std::span<const uint8_t> body, std::chrono::milliseconds gap) {
        (void)gap;
        return WriteUsbData(body, true);
    }
    // Waits, at most `limit`, until every report handed over so far has been written (or dropped).
    virtual bool WaitUntilWritten(std::chrono::milliseconds limit) {
        (void)limit;
        return true;
    }
};

} // namespace orvex
