#pragma once

#include <functional>
#include <string_view>

namespace orvex {

// The program's diagnostics: fixed texts such as "ProcessRxBuf Checksum error\n". They go to
// stderr when ORVEX_DEBUG is set in the environment, and to a callback when one is installed
// (tests use that to see what the link reported). There is no log file.
void DebugOut(std::string_view text);
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs a callback that receives every debug text; an empty function removes it.
void SetDebugCallback(std::function<void(std::string_view)> callback);

} // namespace orvex
