#pragma once

#include "model/EqBandRecord.h"
#include "model/FilterDesign.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvex {

// ---- Coefficient words -------------------------------------------------------------------------------

inline constexpr int kBiquadWordCount = 5;
using BiquadWordSet = std::array<uint32_t, kBiquadWordCount>;

// The five words the processor takes for a section, as IEEE float bit patterns in this order:
// -a1, -a2, b0, b1, b2 (the DSP's recursion adds its feedback terms, hence the negation). Values are
// rounded from double to float. A section with any non-finite word (a zeroed record designs as 0/0) is
// replaced by the identity section, so the processor never runs NaN through an output.
BiquadWordSet BiquadWords(const SectionCoefficients& c);

// ---- Bands and their slots -----------------------------------------------------------------------------

// A band's design inputs in double precision, as the link designs it.
struct BandDesign {
    int32_t type = eqtype::Off;
    double gainDb = 0.0;
    double freqHz = 0.0;
    double q = 0.0;
    double outputGainDb = 0.0;
};

// From the record's bytes: gain = code / 10 - 15 dB, Q = code / 1000, output gain 0.
BandDesign BandFromRecord(const EqBandBytes& record);
// From values a band editor hands over; the frequency is designed as the whole hertz the store keeps.
BandDesign BandFromEqBand(const EqBand& band, double outputGainDb = 0.0);

SectionCoefficients DesignBand(const BandDesign& band);
inline BiquadWordSet BandWords(const BandDesign& band) {
    return BiquadWords(DesignBand(band));
}

// Where a record's coefficients go: parameter command `cmd`, sub-address `slot`.
struct CoefficientSlot {
    uint8_t cmd = 0;
    uint8_t slot = 0;

    friend bool operator==(const CoefficientSlot&, const CoefficientSlot&) = default;
};

// The slot of each of the 179 band records; nullopt outside the table.
std::optional<CoefficientSlot> SlotForRecord(int record);

// Records in the order the write-all pass sends their coefficients: mic A and B, echo A and B, reverb A
// and B, music, output channels 1..8 bands 0..12, then the music low-frequency filter. Bands 13 and 14 of
// the outputs are left out: write-all sends them with each channel's delay mode.
inline constexpr int kAllEqCoefficientCount = 163;
const std::array<int, kAllEqCoefficientCount>& AllEqCoefficientRecords();

// A band setting to apply with SetBand: the record it lands in and its values.
struct BandAssignment {
    int record = -1;
    EqBand band;

    friend bool operator==(const BandAssignment&, const BandAssignment&) = default;
};

// The flat settings an equaliser reset applies to the path of EQ identity `eqIdentity` (0..14): 0 dB,
// Q 1.41, PEQ at the path's standard frequencies. An output whose role is the subwoofer (outRole 4)
// instead gets a 24 dB Butterworth low-pass crossover at 100 Hz on bands 9..12. Outputs reset bands
// 0..12; the split pair is not touched. Empty for an unknown identity.
inline constexpr int kSubwooferRole = 4;
std::vector<BandAssignment> ResetEqPathBands(int eqIdentity, int outRole);

// ---- Band-split pair of an output channel ----------------------------------------------------------------

inline constexpr int kBandSplitPairCount = 26;

struct BandSplitPair {
    int lowHz = 0;  // band 13, the high-pass that feeds the delayed part
    int highHz = 0; // band 14, the low-pass of the undelayed part

    friend bool operator==(const BandSplitPair&, const BandSplitPair&) = default;
};

// Pair `index` (0..25) is (500 + 100 index, 1000 + 100 index) Hz; indexes outside are held to the ends.
BandSplitPair BandSplitPairAt(int index);
// The index whose pair starts at band 13's stored frequency; 0 when none does.
int BandSplitIndexForFrequency(int band13FreqHz);
// Bands 13 and 14 for a pair: high-pass and low-pass in high-frequency delay mode (0), flat sections in
// whole-channel mode (1); 0 dB and Q 0.707 either way.
std::array<EqBand, 2> BandSplitBands(int index, int delayMode);

// The music low-frequency filter (record 178): a 0 dB low-pass, Q 0.707, at the chosen frequency.
EqBand MusicLowFilterBand(int freqHz);

// ---- Six-word gain sets ----------------------------------------------------------------------------------

// Position gain of x dB: w0 = 10^(x/20), w1 = 10^(t/20) with t = 0.0022594517 x^2 + 0.799902 x, then
// the fixed shelf pair and w0, w1 again.
std::array<uint32_t, 6> PositionSet(float x);
// The same with the bass boost's own fixed pair.
std::array<uint32_t, 6> BassBoostSet(float x);

} // namespace orvex
