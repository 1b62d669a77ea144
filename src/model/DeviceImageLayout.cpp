#include "model/DeviceImageLayout.h"

#include <array>

namespace orvex {
namespace {

constexpr size_t CountDecodedOffsets() {
    return 21 + 1 + 9 + 1 + 25 + 1 + 4 + 21 + 10 + 7 * 14 + 1 + 12;
}

constexpr auto BuildDecodedOffsets() {
    std::array<uint16_t, CountDecodedOffsets()> out{};
    size_t n = 0;
    auto run = [&](int start, int count) {
        for (int i = 0; i < count; ++i)
            out[n++] = static_cast<uint16_t>(start + 7 * i);
    };
    run(1317, 21);
    run(1478, 1);
    run(1512, 9);
    run(1589, 1);
    run(1623, 25);
    run(1802, 1);
    run(1813, 4);
    run(1865, 21);
    run(2016, 10);
    for (int c = 0; c < 7; ++c) {
        const int base = 2110 + 153 * c;
        run(base, 1);
        run(base + 34, 3);
        run(base + 59, 10);
    }
    run(3181, 1);
    run(3215, 12);
    return out;
}

constexpr auto kDecodedOffsets = BuildDecodedOffsets();

} // namespace

std::span<const uint16_t> DecodedRecordOffsets() {
    return kDecodedOffsets;
}

} // namespace orvex
