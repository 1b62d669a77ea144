#pragma once

#include <array>
#include <cstdint>

namespace orvex {

// One equaliser band as the processor keeps it in parameter memory: 7 bytes, big-endian.
//   0..1 gain  (gain_dB + 15) x 10, so 0 = -15 dB, 150 = 0 dB, 300 = +15 dB
//   2..3 frequency in Hz
//   4..5 Q x 1000, truncated
//   6    filter type code
inline constexpr int kEqBandRecordSize = 7;
using EqBandBytes = std::array<uint8_t, kEqBandRecordSize>;

// Filter type codes. Codes 6..21 are crossover and band-split sections: even codes are low-pass kinds,
// odd codes high-pass kinds.
namespace eqtype {
inline constexpr int Off = 0;
inline constexpr int Peaking = 1;
inline constexpr int LowPass = 2;
inline constexpr int HighPass = 3;
inline constexpr int LowShelf = 4;
inline constexpr int HighShelf = 5;
inline constexpr int FirstSection = 6;
inline constexpr int LastSection = 21;
} // namespace eqtype

// ---- What a band editor may set ------------------------------------------------------------------------

inline constexpr float kMinBandGainDb = -15.0f;
inline constexpr float kMaxBandGainDb = 15.0f;
inline constexpr int kMinBandFreqHz = 20;
inline constexpr int kMaxBandFreqHz = 20000;
inline constexpr double kMinBandQ = 0.1;
inline constexpr double kMaxPeakingQ = 30.0;
inline constexpr double kMaxShapeQ = 2.0; // pass and shelf filters beyond Q 2 ring

// Only peaking and shelf bands have a gain of their own; pass filters, crossover sections and an
// off band are edited at 0 dB.
bool BandGainEditable(int type);
// The highest Q a band of this type takes: kMaxShapeQ for the low- and high-pass filters and the
// shelves (codes 2..5), kMaxPeakingQ for peaking, off and crossover sections.
double BandQLimit(int type);

struct EqBand {
    float gainDb = 0.0f;
    int freqHz = 0;
    float q = 0.0f;
    int type = 0;

    friend bool operator==(const EqBand&, const EqBand&) = default;
};

// Gain code of a level in dB: trunc((dB + 15) x 10 + 0.05), held to 0..300 so that an out-of-range
// gain saturates instead of wrapping into the opposite extreme.
uint16_t EqGainCode(float gainDb);
float EqGainFromCode(uint16_t code);

// Packing saturates every field to what its bytes can hold (gain 0..300, frequency and Q x 1000
// 0..65535, type 0..255); it never wraps.
void PackEqBand(const EqBand& band, uint8_t out[kEqBandRecordSize]);
EqBandBytes PackEqBand(const EqBand& band);

EqBand UnpackEqBand(const uint8_t in[kEqBandRecordSize]);
inline EqBand UnpackEqBand(const EqBandBytes& in) {
    return UnpackEqBand(in.data());
}

} // namespace orvex
