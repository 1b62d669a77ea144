#include "model/FilterDesign.h"

#include "model/EqPaths.h"

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// The processor's firmware uses this value of 2*pi; keeping it makes the coefficients match bit for bit.
constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

struct Common {
    double c;
    double s;
};

Common Angle(double f0, double fs) {
    const double w0 = f0 * kTwoPi / fs;
    return {std::cos(w0), std::sin(w0)};
}

// Second-order low-pass or high-pass from its damping term alpha; g scales the numerator.
SectionCoefficients PassSection(bool highPass, double c, double alpha, double g) {
    const double a0 = 1.0 + alpha;
    SectionCoefficients r;
    r.a1 = -2.0 * c / a0;
    r.a2 = (1.0 - alpha) / a0;
    if (highPass) {
        r.b0 = g * (1.0 + c) / (2.0 * a0);
        r.b1 = -g * (1.0 + c) / a0;
        r.b2 = r.b0;
    } else {
        r.b1 = g * (1.0 - c) / a0;
        r.b0 = r.b1 / 2.0;
        r.b2 = r.b0;
    }
    return r;
}

SectionCoefficients Peaking(double c, double alpha, double A, double k) {
    const double a0 = 1.0 + alpha / A;
    return {-2.0 * c / a0, (1.0 - alpha / A) / a0, k * (1.0 + alpha * A) / a0, -2.0 * c * k / a0,
            k * (1.0 - alpha * A) / a0};
}

SectionCoefficients LowShelf(double c, double s, double q, double A) {
    const double beta = std::sqrt(A) * s / q;
    const double a0 = (A + 1.0) + (A - 1.0) * c + beta;
    return {-2.0 * ((A - 1.0) + (A + 1.0) * c) / a0, ((A + 1.0) + (A - 1.0) * c - beta) / a0,
            A * ((A + 1.0) - (A - 1.0) * c + beta) / a0, 2.0 * A * ((A - 1.0) - (A + 1.0) * c) / a0,
            A * ((A + 1.0) - (A - 1.0) * c - beta) / a0};
}

SectionCoefficients HighShelf(double c, double s, double q, double A) {
    const double beta = std::sqrt(A) * s / q;
    const double a0 = (A + 1.0) - (A - 1.0) * c + beta;
    return {2.0 * ((A - 1.0) - (A + 1.0) * c) / a0, ((A + 1.0) - (A - 1.0) * c - beta) / a0,
            A * ((A + 1.0) + (A - 1.0) * c + beta) / a0, -2.0 * A * ((A - 1.0) + (A + 1.0) * c) / a0,
            A * ((A + 1.0) + (A - 1.0) * c - beta) / a0};
}

// First order, bilinear with prewarping.
SectionCoefficients FirstOrder(bool highPass, double c, double s, double g) {
    const double d = 1.0 + c + s;
    SectionCoefficients r;
    r.a1 = (s - c - 1.0) / d;
    r.a2 = 0.0;
    r.b2 = 0.0;
    if (highPass) {
        r.b0 = g * (1.0 + c) / d;
        r.b1 = -r.b0;
    } else {
        r.b0 = g * s / d;
        r.b1 = r.b0;
    }
    return r;
}

// The firmware's own two-pole "Chebyshev" section for the 12 dB family. It is not the textbook design
// (the square root sits outside the logarithm) and is kept as it is so that existing crossovers keep
// their sound.
SectionCoefficients Chebyshev(bool highPass, double f0, double fs, double g) {
    const double half = f0 * kTwoPi / fs * 0.5;
    const double K = highPass ? 1.0 / std::tan(half) : std::tan(half);
    const double eps = std::pow(std::pow(10.0, 0.01) - 1.0, 0.5); // 0.1 dB ripple
    const double e2 = eps * eps;
    const double v = 0.5 * std::sqrt(std::log(1.0 / e2 + 1.0 + 1.0 / eps));
    const double sigma = std::sinh(v) * K;
    const double w = K * std::sin(3.0 * kPi / 4.0);
    const double r = 2.0 * sigma * std::cos(3.0 * kPi / 4.0);
    const double mag2 = sigma * sigma + w * w;
    const double D = 1.0 - r + mag2;
    const double h = std::sqrt(1.0 / (1.0 + e2)); // even order: the pass band sits at the ripple floor
    const double N = g * h * mag2 / D;
    SectionCoefficients out;
    out.b0 = N;
    out.b1 = highPass ? -2.0 * N : 2.0 * N;
    out.b2 = N;
    out.a1 = (highPass ? -2.0 : 2.0) * (mag2 - 1.0) / D;
    out.a2 = (1.0 + r + mag2) / D;
    return out;
}

SectionCoefficients AllPass(double c, double alpha, double outputGainDb) {
    // The firmware scales by T/40, so a requested +6 dB comes out as +3 dB.
    const double m = std::pow(10.0, outputGainDb / 40.0);
    const double a0 = 1.0 + alpha;
    return {-2.0 * c / a0, (1.0 - alpha) / a0, m * (1.0 - alpha) / a0, -2.0 * c * m / a0, m};
}

// Pole angle of the crossover pole pairs 14..21; alpha = s * sin(theta), i.e. Q = 1 / (2 sin theta).
double PoleAngle(int32_t type) {
    switch (type) {
    case 14:
    case 15:
        return kPi / 6.0;
    case 16:
    case 17:
        return kPi / 2.0;
    case 18:
    case 19:
        return kPi / 8.0;
    default: // 20, 21
        return 3.0 * kPi / 8.0;
    }
}

} // namespace

SectionCoefficients DesignSection(int32_t type, double gainDb, double f0, double q, double outputGainDb, double fs) {
    const Common a = Angle(f0, fs);
    const double A = std::pow(10.0, gainDb / 40.0);
    const double g = std::pow(10.0, gainDb / 20.0);
    const double bandAlpha = a.s / (2.0 * q);
    const bool highPass = type % 2 != 0;

    switch (type) {
    case 1:
        return Peaking(a.c, bandAlpha, A, std::pow(10.0, outputGainDb / 20.0));
    case 2:
    case 3:
        return PassSection(highPass, a.c, bandAlpha, g);
    case 4:
        return LowShelf(a.c, a.s, q, A);
    case 5:
        return HighShelf(a.c, a.s, q, A);
    case 6:
    case 7:
        return Chebyshev(highPass, f0, fs, g);
    case 8:
    case 9: // Bessel pole pair
        return PassSection(highPass, a.c, a.s / (2.0 * (1.0 / std::sqrt(3.0))), g);
    case 10:
    case 11:
        return FirstOrder(highPass, a.c, a.s, g);
    case 12:
    case 13: // Butterworth pole pair
        return PassSection(highPass, a.c, a.s / (2.0 * (1.0 / std::sqrt(2.0))), g);
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
        return PassSection(highPass, a.c, a.s * std::sin(PoleAngle(type)), g);
    default:
        return AllPass(a.c, bandAlpha, outputGainDb);
    }
}

double SectionMagnitudeDb(const SectionCoefficients& c, double f, [[maybe_unused]] double fs) {
    // |H|^2 written in phi = sin^2(w/2), which avoids complex arithmetic on the drawing path.
    const double S = std::sin(f * kTwoPi / kDspSampleRate * 0.5);
    const double phi = S * S;
    const double num = (c.b0 + c.b1 + c.b2) * (c.b0 + c.b1 + c.b2) -
                       4.0 * (c.b0 * c.b1 + 4.0 * c.b0 * c.b2 + c.b1 * c.b2) * phi + 16.0 * c.b0 * c.b2 * phi * phi;
    const double den = (1.0 + c.a1 + c.a2) * (1.0 + c.a1 + c.a2) - 4.0 * (c.a1 + 4.0 * c.a2 + c.a1 * c.a2) * phi +
                       16.0 * c.a2 * phi * phi;
    return 10.0 * std::log10(num) - 10.0 * std::log10(den);
}

CurveBand CurveBandFromEqBand(const EqBand& band) {
    CurveBand out;
    out.type = band.type;
    out.freqHz = static_cast<float>(band.freqHz);
    out.gainDb = band.gainDb;
    out.q = band.q;
    return out;
}

EqBand EqBandFromCurveBand(const CurveBand& band) {
    EqBand out;
    out.type = band.type;
    // Truncated like every frequency the editors hand to the store; held to what a record can carry so the
    // conversion is defined for any float.
    const float hz = band.freqHz;
    out.freqHz = !(hz > 0.0f) ? 0 : (hz >= 65535.0f ? 65535 : static_cast<int>(hz));
    out.gainDb = band.gainDb;
    out.q = band.q;
    return out;
}

namespace {

// The axis span in decades, taken once per curve: the grid is walked on every drag step.
float GridDecades(const CurveAxis& axis) {
    return static_cast<float>(std::log10(axis.fMax / axis.fMin));
}

double GridFrequency(int i, const CurveAxis& axis, float decades) {
    // The grid is stepped in single precision as the panel has always drawn it, so a marker's grid
    // point lands where the user expects.
    const float width = static_cast<float>(axis.widthPx);
    const float step = width * 0.001953125f;
    const float x = static_cast<float>(i) * step;
    const float exponent = x / width * decades;
    return static_cast<float>(axis.fMin * std::pow(10.0, static_cast<double>(exponent)));
}

} // namespace

double CurveGridFrequency(int i, const CurveAxis& axis) {
    return GridFrequency(i, axis, GridDecades(axis));
}

bool ComputeBandCurve(CurveBand& band, const CurveAxis& axis) {
    if (band.type == eqtype::Off || axis.widthPx <= 0) {
        return false;
    }
    const SectionCoefficients c = DesignSection(band.type, band.gainDb, band.freqHz, band.q, 0.0, kDspSampleRate);
    const float decades = GridDecades(axis);
    for (int i = 0; i < kCurvePoints; ++i) {
        band.curve[static_cast<size_t>(i)] =
            static_cast<float>(SectionMagnitudeDb(c, GridFrequency(i, axis, decades), kDspSampleRate));
    }

    if (band.type == eqtype::Peaking) {
        // The drawn peak passes through the point the user dragged: the grid point under the marker
        // holds the band's gain exactly.
        const float width = static_cast<float>(axis.widthPx);
        const float step = width * 0.001953125f;
        const float fMin = static_cast<float>(axis.fMin);
        const float p = std::log10(band.freqHz / fMin) / std::log10(static_cast<float>(axis.fMax) / fMin);
        const float k = std::trunc(std::trunc(p * width) / step);
        // A band outside the axis has no grid point under it; never write past the curve.
        if (k >= 0.0f && k < static_cast<float>(kCurvePoints)) {
            band.curve[static_cast<size_t>(k)] = band.gainDb;
        }
    }
    return true;
}

bool ShareCrossoverPoint(std::span<CurveBand> path, int index, int eqIdentity) {
    if (!IsOutputEqIdentity(eqIdentity) || index != kOutputCrossoverBand ||
        path.size() <= static_cast<size_t>(kOutputLastHiddenBand)) {
        return false;
    }
    const CurveBand& crossover = path[kOutputCrossoverBand];
    for (int h = kOutputFirstHiddenBand; h <= kOutputLastHiddenBand; ++h) {
        CurveBand& hidden = path[static_cast<size_t>(h)];
        hidden.freqHz = crossover.freqHz;
        hidden.q = crossover.q;
        hidden.gainDb = 0.0f;
    }
    return true;
}

void ComputePathBandCurve(std::span<CurveBand> path, int index, int eqIdentity, const CurveAxis& axis) {
    if (index < 0 || static_cast<size_t>(index) >= path.size()) {
        return;
    }
    if (ShareCrossoverPoint(path, index, eqIdentity)) {
        for (int h = kOutputFirstHiddenBand; h <= kOutputLastHiddenBand; ++h) {
            ComputeBandCurve(path[static_cast<size_t>(h)], axis);
        }
    }
    ComputeBandCurve(path[static_cast<size_t>(index)], axis);
}

BandCurve SumBandCurves(std::span<const CurveBand> bands, int count) {
    BandCurve total{};
    const size_t n = count <= 0 ? 0 : std::min(bands.size(), static_cast<size_t>(count));
    for (size_t b = 0; b < n; ++b) {
        if (bands[b].type == eqtype::Off) {
            continue;
        }
        const BandCurve& curve = bands[b].curve;
        for (size_t i = 0; i < total.size(); ++i) {
            total[i] += curve[i];
        }
    }
    return total;
}

// ---- Crossover families ------------------------------------------------------------------------------

namespace {

// Low-pass codes of each family; code 1 parks an unused section as a flat 0 dB PEQ.
constexpr std::array<CrossoverCodes, kCrossoverFamilyCount> kFamilyLowPass = {{
    {10, 10, 1, 1},   // LinkwitzRiely 12dB
    {12, 12, 1, 1},   // LinkwitzRiely 24dB
    {14, 10, 14, 10}, // LinkwitzRiely 36dB
    {18, 20, 18, 20}, // LinkwitzRiely 48dB
    {8, 1, 1, 1},     // Bessel 12dB
    {8, 10, 1, 1},    // Bessel 18dB
    {8, 8, 1, 1},     // Bessel 24dB
    {12, 1, 1, 1},    // Butterworth 12dB
    {14, 10, 1, 1},   // Butterworth 18dB
    {18, 20, 1, 1},   // Butterworth 24dB
    {6, 1, 1, 1},     // Chebyshev 12dB
}};

constexpr CrossoverCodes kFlatSections = {1, 1, 1, 1};

} // namespace

CrossoverCodes ExpandCrossoverFamily(int listIndex, bool highPass) {
    if (listIndex < 0 || listIndex >= kCrossoverFamilyCount) {
        return kFlatSections;
    }
    CrossoverCodes codes = kFamilyLowPass[static_cast<size_t>(listIndex)];
    if (highPass) {
        for (int& code : codes) {
            if (code != eqtype::Peaking) {
                code += 1;
            }
        }
    }
    return codes;
}

std::optional<CrossoverCodes> ExpandCrossoverMenuType(int menuType) {
    switch (menuType) {
    case eqtype::Peaking:
        return kFlatSections;
    case eqtype::LowPass:
        return CrossoverCodes{18, 20, 1, 1};
    case eqtype::HighPass:
        return CrossoverCodes{19, 21, 1, 1};
    case eqtype::LowShelf:
        return CrossoverCodes{4, 1, 1, 1};
    case eqtype::HighShelf:
        return CrossoverCodes{5, 1, 1, 1};
    default:
        return std::nullopt;
    }
}

std::optional<CrossoverMatch> MatchCrossoverCodes(const CrossoverCodes& codes) {
    for (int i = 0; i < kCrossoverFamilyCount; ++i) {
        if (codes == ExpandCrossoverFamily(i, false)) {
            return CrossoverMatch{eqtype::LowPass, i};
        }
        if (codes == ExpandCrossoverFamily(i, true)) {
            return CrossoverMatch{eqtype::HighPass, i};
        }
    }
    for (int menuType : {eqtype::Peaking, eqtype::LowShelf, eqtype::HighShelf}) {
        if (codes == *ExpandCrossoverMenuType(menuType)) {
            return CrossoverMatch{menuType, -1};
        }
    }
    return std::nullopt;
}

void AssignCrossoverSections(std::span<CurveBand> path, const CrossoverCodes& codes, const CurveAxis& axis) {
    if (path.size() <= static_cast<size_t>(kOutputLastHiddenBand)) {
        return;
    }
    for (size_t j = 0; j < codes.size(); ++j) {
        CurveBand& band = path[kOutputCrossoverBand + j];
        band.gainDb = 0.0f;
        band.type = codes[j];
    }
    // Recomputing the crossover band recomputes the hidden sections first, with its frequency and Q.
    ComputePathBandCurve(path, kOutputCrossoverBand, eqid::FirstOutput, axis);
}

void ApplyCrossoverFamily(std::span<CurveBand> path, int listIndex, const CurveAxis& axis) {
    if (path.size() <= static_cast<size_t>(kOutputLastHiddenBand)) {
        return;
    }
    const bool highPass = CrossoverUsesHighPass(path[kOutputCrossoverBand].type);
    AssignCrossoverSections(path, ExpandCrossoverFamily(listIndex, highPass), axis);
}

// ---- The compact panel ---------------------------------------------------------------------------------

int DesignCompactSection(int32_t type, double gainDb, double f0, double q, SectionCoefficients& out) {
    const Common a = Angle(f0, kDspSampleRate);
    const double A = std::pow(10.0, gainDb / 40.0);
    const double alpha = a.s / (2.0 * q);
    switch (type) {
    case 1:
        out = Peaking(a.c, alpha, A, 1.0);
        return kCompactDesignOk;
    case 2:
    case 3:
        out = PassSection(type == 3, a.c, alpha, 1.0);
        return kCompactDesignOk;
    case 4:
        out = LowShelf(a.c, a.s, q, A);
        return kCompactDesignOk;
    case 5:
        out = HighShelf(a.c, a.s, q, A);
        return kCompactDesignOk;
    case 6:
    case 7: {
        // 6: band-pass with a 0 dB peak; 7: notch. Both share the denominator.
        const double a0 = 1.0 + alpha;
        out.a1 = -2.0 * a.c / a0;
        out.a2 = (1.0 - alpha) / a0;
        if (type == 6) {
            out.b0 = alpha / a0;
            out.b1 = 0.0;
            out.b2 = -alpha / a0;
        } else {
            out.b0 = 1.0 / a0;
            out.b1 = -2.0 * a.c / a0;
            out.b2 = 1.0 / a0;
        }
        return kCompactDesignOk;
    }
    default:
        return kCompactDesignRefused;
    }
}

int CompactAxisFrequency(int u, int widthPx) {
    if (widthPx <= 0) {
        return 10;
    }
    // Points sit at whole pixels; the pixel offset is converted back to a frequency.
    const float x = static_cast<float>(u) * static_cast<float>(widthPx) / static_cast<float>(kCompactCurvePoints);
    const double px = std::trunc(static_cast<double>(x));
    return static_cast<int>(std::trunc(10.0 * std::pow(10.0, 3.4 * px / widthPx)));
}

int ComputeCompactCurve(int32_t type, double gainDb, double f0, double q, int widthPx, CompactCurve& curve) {
    SectionCoefficients c;
    const int result = DesignCompactSection(type, gainDb, f0, q, c);
    if (result != kCompactDesignOk || widthPx <= 0) {
        return result;
    }
    for (int u = 0; u < kCompactCurvePoints; ++u) {
        curve[static_cast<size_t>(u)] =
            static_cast<float>(SectionMagnitudeDb(c, CompactAxisFrequency(u, widthPx), kDspSampleRate));
    }
    return result;
}

} // namespace orvex
