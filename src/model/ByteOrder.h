#pragma once

#include <bit>
#include <cstdint>

// Byte-order helpers for the store's packed records. They build numbers from bytes one by one and never
// reinterpret memory, so they hold on any alignment and any host byte order. They live in their own
// namespace so that a translation unit may include them beside the link's helpers of the same names.
namespace orvex::byteorder {

inline uint16_t ReadBe16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t ReadBe32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

inline void WriteBe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

inline void WriteBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

inline void WriteLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint32_t FloatBits(float f) {
    return std::bit_cast<uint32_t>(f);
}
inline float BitsFloat(uint32_t w) {
    return std::bit_cast<float>(w);
}

inline float ReadBeFloat(const uint8_t* p) {
    return BitsFloat(ReadBe32(p));
}
inline void WriteBeFloat(uint8_t* p, float f) {
    WriteBe32(p, FloatBits(f));
}

} // namespace orvex::byteorder
