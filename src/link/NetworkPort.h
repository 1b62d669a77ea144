#pragma once

#include <cstdint>

namespace orvex {

// The TCP port a network host listens on unless it is told otherwise.
inline constexpr uint16_t kDefaultNetworkPort = 30303;

} // namespace orvex
