#pragma once

#include "link/HidBackend.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>

namespace orvex::ctl {

// What the surrounding program provides: the USB backend (hidapi when null), a flag that ends an
// endless `levels` or `serve` (set from a signal handler), and who wants to know the port `serve`
// listens on once it listens (tests that let it pick a free one).
struct CtlEnvironment {
    HidBackend* hid = nullptr;
    const std::atomic<bool>* stop = nullptr;
    std::function<void(uint16_t port)> onListening;
};

// Runs one orvexctl command line (the arguments after the program name); returns the exit code.
// Results go to `out`, the one-line error to `err`.
int RunCtl(std::span<const std::string> args, std::ostream& out, std::ostream& err, const CtlEnvironment& env = {});

// The --help text.
const char* CtlUsage();

} // namespace orvex::ctl
