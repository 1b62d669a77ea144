#pragma once

#include "model/EqBandRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace orvex {

// The processor runs every equaliser section at this rate; the panels draw at the same rate so that what
// is drawn is what the processor runs.
inline constexpr double kDspSampleRate = 48000.0;
inline constexpr double kDspSamplesPerMs = kDspSampleRate / 1000.0;

// One second-order section H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2), already divided
// by the un-normalised a0. Note the plus signs in the denominator: the coefficient words sent to the
// processor negate a1 and a2.
struct SectionCoefficients {
    double a1 = 0.0;
    double a2 = 0.0;
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;

    friend bool operator==(const SectionCoefficients&, const SectionCoefficients&) = default;
};

// Designs the section for a filter type code (see eqtype; codes 6..21 are crossover sections and anything
// outside 1..21 gives an all-pass). gainDb is the band gain, outputGainDb the extra gain some link
// commands apply (0 for every band the panels draw). Never fails; f0 at or above fs/2 and Q = 0 are not
// guarded and may give non-finite values, which the coefficient encoder replaces before sending.
SectionCoefficients DesignSection(int32_t type, double gainDb, double f0, double q, double outputGainDb, double fs);

// Magnitude response in dB at frequency f. The phase term is always taken at the processor's 48000 Hz;
// fs is accepted for symmetry with DesignSection, and every caller passes 48000.
double SectionMagnitudeDb(const SectionCoefficients& c, double f, double fs);

// ---- Band curves on the display grid -------------------------------------------------------------------

inline constexpr int kCurvePoints = 512;
using BandCurve = std::array<float, kCurvePoints>;

// The panel's horizontal axis. widthPx is the plot width; it enters the grid only through single-precision
// rounding, and 0 (or less) means the panel has no window yet, so no curve is computed.
struct CurveAxis {
    double fMin = 18.0;
    double fMax = 23000.0;
    int widthPx = 0;
};

inline constexpr double kMainPanelMinHz = 18.0;
inline constexpr double kMainPanelMaxHz = 23000.0;

inline constexpr CurveAxis MainPanelAxis(int widthPx) {
    return CurveAxis{kMainPanelMinHz, kMainPanelMaxHz, widthPx};
}

// One band as a curve panel holds it: the settings that shape the curve and the curve itself. The
// panel's marker position and clamps live beside it in the panel. Frequency is a float because dragging
// produces fractional hertz; the store keeps whole hertz.
struct CurveBand {
    int32_t type = eqtype::Peaking;
    float freqHz = 100.0f;
    float gainDb = 0.0f;
    float q = 1.0f;
    BandCurve curve{};
};

CurveBand CurveBandFromEqBand(const EqBand& band);
// Frequency truncated to whole hertz, as the store keeps it.
EqBand EqBandFromCurveBand(const CurveBand& band);

// The frequency of grid point i (0..kCurvePoints-1) on an axis with a width; the curves below are
// sampled there.
double CurveGridFrequency(int i, const CurveAxis& axis);

// Fills band.curve from the band's settings. Returns false and leaves the old curve in place for an off
// band (type 0) or when the axis has no width.
bool ComputeBandCurve(CurveBand& band, const CurveAxis& axis);

// Recomputes band `index` of a path shown under EQ identity `eqIdentity`. On the crossover band (9) of an
// output path the hidden sections 10..12 first take its frequency and Q with 0 dB gain and are recomputed,
// so they always share the crossover point. Indexes outside the span are ignored.
void ComputePathBandCurve(std::span<CurveBand> path, int index, int eqIdentity, const CurveAxis& axis);

// The settings half of ComputePathBandCurve: on the crossover band of an output path the hidden sections
// take its frequency and Q with 0 dB gain. Returns whether it did (their curves are then out of date).
bool ShareCrossoverPoint(std::span<CurveBand> path, int index, int eqIdentity);

// Total response: per grid point, the sum in dB of bands 0..count-1 that are not off. count is bounded by
// the span.
BandCurve SumBandCurves(std::span<const CurveBand> bands, int count);

// ---- Crossover families ------------------------------------------------------------------------------

inline constexpr int kCrossoverFamilyCount = 11;
inline constexpr std::array<std::string_view, kCrossoverFamilyCount> kCrossoverFamilyNames = {
    "LinkwitzRiely 12dB", "LinkwitzRiely 24dB", "LinkwitzRiely 36dB", "LinkwitzRiely 48dB",
    "Bessel 12dB",        "Bessel 18dB",        "Bessel 24dB",        "Butterworth 12dB",
    "Butterworth 18dB",   "Butterworth 24dB",   "Chebyshev 12dB"};

using CrossoverCodes = std::array<int, 4>;

// Type codes for bands 9..12. The high-pass variant adds one to every section code except the parked
// flat sections (code 1). An index outside the list gives four flat sections.
CrossoverCodes ExpandCrossoverFamily(int listIndex, bool highPass);

// Low-pass kinds have even codes (0 counts as even), high-pass kinds odd ones; the family variant follows
// the crossover band's current code.
constexpr bool CrossoverUsesHighPass(int crossoverType) {
    return crossoverType % 2 != 0;
}

// What the panel's type menu (1 PEQ .. 5 HS) puts into bands 9..12 when used on the crossover band;
// nullopt for any other menu type.
std::optional<CrossoverCodes> ExpandCrossoverMenuType(int menuType);

// The reverse look-up the output page shows: the menu type (1..5) the four codes amount to and, for a
// low-pass or high-pass family, its list index (-1 otherwise). nullopt when the codes match nothing.
struct CrossoverMatch {
    int menuType = 0;
    int familyIndex = -1;

    friend bool operator==(const CrossoverMatch&, const CrossoverMatch&) = default;
};
std::optional<CrossoverMatch> MatchCrossoverCodes(const CrossoverCodes& codes);

// Sets bands 9..12 of an output path to 0 dB with the given codes and recomputes their curves (the hidden
// sections take the crossover band's frequency and Q). Needs at least 13 bands; shorter spans are left alone.
void AssignCrossoverSections(std::span<CurveBand> path, const CrossoverCodes& codes, const CurveAxis& axis);

// Choosing family `listIndex`: the variant follows band 9's current code.
void ApplyCrossoverFamily(std::span<CurveBand> path, int listIndex, const CurveAxis& axis);

// ---- The compact panel of the music page ---------------------------------------------------------------

inline constexpr int kCompactCurvePoints = 56;
using CompactCurve = std::array<float, kCompactCurvePoints>;

inline constexpr int kCompactDesignOk = 0;
inline constexpr int kCompactDesignRefused = -2;

// The compact panel's own design: codes 1..5 without the output and pass-band gain factors, 6 a 0 dB
// band-pass, 7 a notch, always at 48000 Hz. Any other code returns kCompactDesignRefused and leaves `out`
// untouched.
int DesignCompactSection(int32_t type, double gainDb, double f0, double q, SectionCoefficients& out);

// Frequency in whole hertz of point u (0..55) on a compact plot widthPx wide: 10 Hz over 3.4 decades,
// sampled at whole pixels.
int CompactAxisFrequency(int u, int widthPx);

// Fills the 56-point curve; returns the design's result code and leaves the curve alone when refused or
// when the plot has no width.
int ComputeCompactCurve(int32_t type, double gainDb, double f0, double q, int widthPx, CompactCurve& curve);

} // namespace orvex
