#include "model/FilterDesign.h"

#include "model/EqPaths.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <complex>
#include <limits>
#include <vector>

namespace orvex {
namespace {

constexpr double kFs = 48000.0;
constexpr double kPi = 3.14159265358979323846;
using cd = std::complex<double>;

// |H(e^jw)| in dB straight from the transfer function, independent of SectionMagnitudeDb's closed form.
double DirectDb(const SectionCoefficients& c, double f) {
    const cd z1 = std::polar(1.0, -2.0 * kPi * f / kFs);
    const cd num = c.b0 + c.b1 * z1 + c.b2 * z1 * z1;
    const cd den = 1.0 + c.a1 * z1 + c.a2 * z1 * z1;
    return 20.0 * std::log10(std::abs(num / den));
}

// The analogue prototypes the sections are bilinear images of (prewarped at f0): the digital response at f
// equals the prototype's at s = j tan(w/2) / tan(w0/2).
double PrototypeDb(int code, double gainDb, double f0, double q, double outGainDb, double f) {
    const cd s(0.0, std::tan(kPi * f / kFs) / std::tan(kPi * f0 / kFs));
    const double A = std::pow(10.0, gainDb / 40.0);
    const double g = std::pow(10.0, gainDb / 20.0);
    cd h;
    switch (code) {
    case 1:
        h = std::pow(10.0, outGainDb / 20.0) * (s * s + s * (A / q) + 1.0) / (s * s + s / (A * q) + 1.0);
        break;
    case 4:
        h = A * (s * s + (std::sqrt(A) / q) * s + A) / (A * s * s + (std::sqrt(A) / q) * s + 1.0);
        break;
    case 5:
        h = A * (A * s * s + (std::sqrt(A) / q) * s + 1.0) / (s * s + (std::sqrt(A) / q) * s + A);
        break;
    case 10:
        h = g / (s + 1.0);
        break;
    case 11:
        h = g * s / (s + 1.0);
        break;
    default: // second-order low-pass (even) or high-pass (odd) with prototype Q q
        h = (code % 2 == 0 ? g : g * s * s) / (s * s + s / q + 1.0);
        break;
    }
    return 20.0 * std::log10(std::abs(h));
}

struct PrototypeCase {
    int code;
    double gainDb;
    double f0;
    double bandQ;      // what the band carries
    double prototypeQ; // what the section must realise
    double outGainDb;
};

class SectionPrototypeTest : public ::testing::TestWithParam<PrototypeCase> {};

TEST_P(SectionPrototypeTest, MatchesAnaloguePrototype) {
    const PrototypeCase& p = GetParam();
    const SectionCoefficients c = DesignSection(p.code, p.gainDb, p.f0, p.bandQ, p.outGainDb, kFs);
    for (double f : {20.0, 150.0, p.f0, 0.7 * p.f0, 1.9 * p.f0, 6000.0, 18000.0}) {
        const double expected = PrototypeDb(p.code, p.gainDb, p.f0, p.prototypeQ, p.outGainDb, f);
        EXPECT_NEAR(DirectDb(c, f), expected, 1e-6) << "code " << p.code << " at " << f << " Hz";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SectionPrototypeTest,
    ::testing::Values(PrototypeCase{1, 9.0, 1000.0, 2.0, 2.0, 0.0},                // peaking boost
                      PrototypeCase{1, -12.0, 250.0, 0.7, 0.7, 0.0},               // peaking cut
                      PrototypeCase{1, 4.0, 3000.0, 5.0, 5.0, -6.0},               // output gain on top
                      PrototypeCase{2, 0.0, 800.0, 0.707, 0.707, 0.0},             // LP
                      PrototypeCase{2, -3.0, 5000.0, 1.5, 1.5, 0.0},               // LP with pass-band gain
                      PrototypeCase{3, 0.0, 120.0, 0.5, 0.5, 0.0},                 // HP
                      PrototypeCase{4, 6.0, 300.0, 0.7, 0.7, 0.0},                 // low shelf
                      PrototypeCase{4, -9.0, 2000.0, 1.2, 1.2, 0.0},               //
                      PrototypeCase{5, 6.0, 4000.0, 0.7, 0.7, 0.0},                // high shelf
                      PrototypeCase{5, -4.5, 900.0, 1.0, 1.0, 0.0},                //
                      PrototypeCase{8, 0.0, 1000.0, 9.0, 0.5773502691896258, 0.0}, // Bessel ignores band Q
                      PrototypeCase{9, 0.0, 1000.0, 9.0, 0.5773502691896258, 0.0}, //
                      PrototypeCase{10, 0.0, 700.0, 9.0, 1.0, 0.0},                // first order
                      PrototypeCase{11, 2.0, 700.0, 9.0, 1.0, 0.0},                //
                      PrototypeCase{12, 0.0, 80.0, 9.0, 0.7071067811865476, 0.0},  // Butterworth
                      PrototypeCase{13, 0.0, 80.0, 9.0, 0.7071067811865476, 0.0},  //
                      PrototypeCase{14, 0.0, 1500.0, 9.0, 1.0, 0.0},               // theta = pi/6
                      PrototypeCase{15, 0.0, 1500.0, 9.0, 1.0, 0.0},               //
                      PrototypeCase{16, 0.0, 1500.0, 9.0, 0.5, 0.0},               // theta = pi/2
                      PrototypeCase{17, 0.0, 1500.0, 9.0, 0.5, 0.0},               //
                      PrototypeCase{18, 0.0, 100.0, 9.0, 1.3065629648763766, 0.0}, // theta = pi/8
                      PrototypeCase{19, 0.0, 100.0, 9.0, 1.3065629648763766, 0.0}, //
                      PrototypeCase{20, 0.0, 100.0, 9.0, 0.5411961001461971, 0.0}, // theta = 3 pi/8
                      PrototypeCase{21, 0.0, 100.0, 9.0, 0.5411961001461971, 0.0}));

TEST(SectionMagnitudeDbTest, AgreesWithDirectEvaluation) {
    for (int code = -1; code <= 23; ++code) {
        const SectionCoefficients c = DesignSection(code, 5.0, 1200.0, 1.3, 0.0, kFs);
        for (double f : {18.0, 100.0, 1000.0, 1200.0, 5000.0, 23000.0}) {
            const double direct = DirectDb(c, f);
            // Deep stop bands lose digits to cancellation in either form; compare relative there.
            const double tolerance = std::max(1e-6, std::abs(direct) * 1e-6);
            EXPECT_NEAR(SectionMagnitudeDb(c, f, kFs), direct, tolerance) << "code " << code << " at " << f;
        }
    }
}

TEST(DesignSectionTest, PeakingAtZeroGainIsTheIdentity) {
    const SectionCoefficients c = DesignSection(eqtype::Peaking, 0.0, 1000.0, 1.41, 0.0, kFs);
    EXPECT_DOUBLE_EQ(c.b0, 1.0);
    EXPECT_DOUBLE_EQ(c.b1, c.a1);
    EXPECT_DOUBLE_EQ(c.b2, c.a2);
    for (double f : {20.0, 1000.0, 20000.0}) {
        EXPECT_NEAR(SectionMagnitudeDb(c, f, kFs), 0.0, 1e-12);
    }
}

TEST(DesignSectionTest, LowPassGainScalesTheWholeNumerator) {
    const SectionCoefficients flat = DesignSection(eqtype::LowPass, 0.0, 500.0, 0.707, 0.0, kFs);
    const SectionCoefficients loud = DesignSection(eqtype::LowPass, 6.0, 500.0, 0.707, 0.0, kFs);
    const double g = std::pow(10.0, 6.0 / 20.0);
    EXPECT_DOUBLE_EQ(loud.b0, g * flat.b0);
    EXPECT_DOUBLE_EQ(loud.b1, g * flat.b1);
    EXPECT_DOUBLE_EQ(loud.b2, g * flat.b2);
    EXPECT_DOUBLE_EQ(loud.a1, flat.a1);
    EXPECT_DOUBLE_EQ(loud.a2, flat.a2);
}

TEST(DesignSectionTest, AllPassFallbackAppliesHalfTheOutputGain) {
    // Off bands and unknown codes design as an all-pass whose level uses T/40.
    for (int code : {0, 22, 99, -5}) {
        const SectionCoefficients c = DesignSection(code, 10.0, 700.0, 2.0, 6.0, kFs);
        for (double f : {30.0, 700.0, 9000.0, 22000.0}) {
            EXPECT_NEAR(DirectDb(c, f), 3.0, 1e-9) << "code " << code << " at " << f;
        }
        // Flat magnitude but not a wire: the phase turns through the band.
        EXPECT_NE(c.b0, c.b2);
    }
}

TEST(DesignSectionTest, ChebyshevPairIgnoresQAndSitsAtTheRippleFloor) {
    const double floorDb = 20.0 * std::log10(std::sqrt(1.0 / std::pow(10.0, 0.01))); // -0.1 dB
    for (int code : {6, 7}) {
        EXPECT_EQ(DesignSection(code, 2.0, 900.0, 0.3, 0.0, kFs), DesignSection(code, 2.0, 900.0, 12.0, 0.0, kFs));
    }
    const SectionCoefficients lp = DesignSection(6, 2.0, 900.0, 1.0, 0.0, kFs);
    const SectionCoefficients hp = DesignSection(7, 2.0, 900.0, 1.0, 0.0, kFs);
    EXPECT_NEAR(DirectDb(lp, 0.0), 2.0 + floorDb, 1e-9);
    EXPECT_NEAR(DirectDb(hp, kFs / 2.0), 2.0 + floorDb, 1e-9);
    EXPECT_LT(DirectDb(lp, kFs / 2.0), -200.0);
    EXPECT_LT(DirectDb(hp, 0.0), -200.0);
}

TEST(DesignSectionTest, ChebyshevPairKeepsTheFirmwareShape) {
    // Reference values worked out separately from the firmware's steps: the ripple edge sits at f0 and an
    // octave beyond it the section is down 6.72 dB (6.67 dB for the high-pass an octave below).
    const SectionCoefficients lp = DesignSection(6, 0.0, 1000.0, 1.0, 0.0, kFs);
    const SectionCoefficients hp = DesignSection(7, 0.0, 1000.0, 1.0, 0.0, kFs);
    EXPECT_NEAR(DirectDb(lp, 1000.0), -0.1, 1e-9);
    EXPECT_NEAR(DirectDb(lp, 2000.0), -6.721672373921621, 1e-9);
    EXPECT_NEAR(DirectDb(hp, 1000.0), -0.1, 1e-9);
    EXPECT_NEAR(DirectDb(hp, 500.0), -6.670549975358908, 1e-9);
    EXPECT_NEAR(lp.a1, -1.7787666956244124, 1e-12);
    EXPECT_NEAR(lp.a2, 0.8072008962316979, 1e-12);
    EXPECT_NEAR(lp.b0, 0.007027179251107141, 1e-12);
}

TEST(DesignSectionTest, ChebyshevHighPassMirrorsTheLowPassAboutHalfTheRate) {
    // Code 7 uses 1/tan, which is the low-pass at fs/2 - f0 reflected through z -> -z.
    const double f0 = 3000.0;
    const SectionCoefficients hp = DesignSection(7, 0.0, f0, 1.0, 0.0, kFs);
    const SectionCoefficients lp = DesignSection(6, 0.0, kFs / 2.0 - f0, 1.0, 0.0, kFs);
    for (double f : {100.0, 1000.0, 3000.0, 10000.0}) {
        EXPECT_NEAR(DirectDb(hp, f), DirectDb(lp, kFs / 2.0 - f), 1e-9);
    }
}

// ---- Band curves --------------------------------------------------------------------------------------

double GridHz(int i) {
    return 18.0 * std::pow(23000.0 / 18.0, i / 512.0);
}

CurveBand Band(int type, float hz, float gain, float q) {
    CurveBand b;
    b.type = type;
    b.freqHz = hz;
    b.gainDb = gain;
    b.q = q;
    return b;
}

TEST(ComputeBandCurveTest, SamplesTheLogGridWithoutTouchingNonPeakBands) {
    for (int type : {2, 3, 4, 5, 12, 19}) {
        CurveBand band = Band(type, 1000.0f, 6.0f, 0.7f);
        ASSERT_TRUE(ComputeBandCurve(band, MainPanelAxis(700)));
        const SectionCoefficients c = DesignSection(type, 6.0, 1000.0, 0.7f, 0.0, kFs);
        for (int i = 0; i < kCurvePoints; ++i) {
            EXPECT_NEAR(band.curve[static_cast<size_t>(i)], DirectDb(c, GridHz(i)), 2e-3)
                << "type " << type << " @" << i;
        }
    }
}

TEST(ComputeBandCurveTest, PeakBandCarriesItsGainAtTheMarker) {
    CurveBand band = Band(eqtype::Peaking, 1000.0f, 7.3f, 4.0f);
    ASSERT_TRUE(ComputeBandCurve(band, MainPanelAxis(700)));
    std::vector<int> exact;
    for (int i = 0; i < kCurvePoints; ++i) {
        if (band.curve[static_cast<size_t>(i)] == 7.3f) {
            exact.push_back(i);
        }
    }
    ASSERT_EQ(exact.size(), 1u);
    // The marker point is the grid point under the marker's pixel: at or just below f0.
    EXPECT_LE(GridHz(exact[0]), 1000.0);
    EXPECT_GT(GridHz(exact[0] + 2), 1000.0);
}

TEST(ComputeBandCurveTest, PeakAtTheAxisStartLandsOnPointZero) {
    CurveBand band = Band(eqtype::Peaking, 18.0f, -9.0f, 1.0f);
    ASSERT_TRUE(ComputeBandCurve(band, MainPanelAxis(640)));
    EXPECT_EQ(band.curve[0], -9.0f);
    EXPECT_NE(band.curve[1], -9.0f);

    // Anywhere within the first pixel the marker point is still point 0, although the response there
    // is not quite the band gain.
    CurveBand near = Band(eqtype::Peaking, 18.2f, -9.0f, 8.0f);
    ASSERT_TRUE(ComputeBandCurve(near, MainPanelAxis(512)));
    EXPECT_EQ(near.curve[0], -9.0f);
    EXPECT_GT(DirectDb(DesignSection(1, -9.0, 18.2f, 8.0f, 0.0, kFs), 18.0), -8.99);
}

TEST(ComputeBandCurveTest, PeakOutsideTheAxisWritesNoMarker) {
    // At the top of the axis the marker index would be 512, one past the curve.
    CurveBand band = Band(eqtype::Peaking, 23000.0f, 12.0f, 1.0f);
    ASSERT_TRUE(ComputeBandCurve(band, MainPanelAxis(512)));
    const SectionCoefficients c = DesignSection(1, 12.0, 23000.0, 1.0, 0.0, kFs);
    EXPECT_NEAR(band.curve[511], DirectDb(c, GridHz(511)), 2e-3);
    EXPECT_NE(band.curve[511], 12.0f);
}

TEST(ComputeBandCurveTest, OffBandOrNoWindowKeepsTheOldCurve) {
    CurveBand off = Band(eqtype::Off, 1000.0f, 6.0f, 1.0f);
    off.curve.fill(4.5f);
    EXPECT_FALSE(ComputeBandCurve(off, MainPanelAxis(700)));
    EXPECT_EQ(off.curve[100], 4.5f);

    CurveBand peq = Band(eqtype::Peaking, 1000.0f, 6.0f, 1.0f);
    peq.curve.fill(4.5f);
    EXPECT_FALSE(ComputeBandCurve(peq, MainPanelAxis(0)));
    EXPECT_EQ(peq.curve[300], 4.5f);
}

std::vector<CurveBand> OutputPath() {
    std::vector<CurveBand> path(kOutputEqBandCount);
    for (int i = 0; i < kOutputEqBandCount; ++i) {
        path[static_cast<size_t>(i)] = Band(eqtype::Peaking, 100.0f + 100.0f * i, 0.0f, 1.41f);
    }
    return path;
}

TEST(ComputePathBandCurveTest, CrossoverBandDrivesItsHiddenSections) {
    std::vector<CurveBand> path = OutputPath();
    path[9] = Band(12, 2500.0f, 0.0f, 0.9f);
    path[10] = Band(12, 400.0f, 5.0f, 3.0f);
    path[11] = Band(10, 400.0f, -2.0f, 3.0f);
    const CurveAxis axis = MainPanelAxis(700);
    ComputePathBandCurve(path, kOutputCrossoverBand, eqid::FirstOutput + 2, axis);

    for (int h = 10; h <= 12; ++h) {
        const CurveBand& hidden = path[static_cast<size_t>(h)];
        EXPECT_EQ(hidden.freqHz, 2500.0f);
        EXPECT_EQ(hidden.q, 0.9f);
        EXPECT_EQ(hidden.gainDb, 0.0f);
        CurveBand fresh = hidden;
        ComputeBandCurve(fresh, axis);
        EXPECT_EQ(fresh.curve, hidden.curve) << "band " << h;
    }
    // Two Butterworth pole pairs at the crossover point: the low-pass is 6 dB down there.
    const BandCurve sum = SumBandCurves(std::span<const CurveBand>(path).subspan(9), 2);
    const SectionCoefficients bw = DesignSection(12, 0.0, 2500.0, 0.9, 0.0, kFs);
    EXPECT_NEAR(2.0 * DirectDb(bw, 2500.0), -6.0206, 1e-3);
    EXPECT_LT(sum[400], -6.0f); // above 2.5 kHz
}

TEST(ComputePathBandCurveTest, OnlyOutputPathsHaveHiddenSections) {
    std::vector<CurveBand> path = OutputPath();
    path[9] = Band(12, 2500.0f, 0.0f, 0.9f);
    ComputePathBandCurve(path, 9, eqid::Music, MainPanelAxis(700));
    EXPECT_EQ(path[10].freqHz, 1100.0f);
    ComputePathBandCurve(path, 10, eqid::FirstOutput, MainPanelAxis(700));
    EXPECT_EQ(path[11].freqHz, 1200.0f);
    ComputePathBandCurve(path, 40, eqid::FirstOutput, MainPanelAxis(700)); // out of range: ignored
}

TEST(SumBandCurvesTest, AddsLiveBandsUpToCount) {
    std::vector<CurveBand> bands(4);
    for (size_t i = 0; i < bands.size(); ++i) {
        bands[i].curve.fill(1.0f + static_cast<float>(i));
    }
    bands[1].type = eqtype::Off;
    BandCurve total = SumBandCurves(bands, 3);
    EXPECT_EQ(total[0], 1.0f + 3.0f);
    EXPECT_EQ(total[511], 4.0f);
    total = SumBandCurves(bands, 99); // bounded by the bands held
    EXPECT_EQ(total[7], 8.0f);
    EXPECT_EQ(SumBandCurves(bands, 0)[5], 0.0f);
}

TEST(CurveBandTest, StoreKeepsWholeHertz) {
    const EqBand stored = EqBandFromCurveBand(Band(eqtype::HighShelf, 999.7f, -2.5f, 0.8f));
    EXPECT_EQ(stored, (EqBand{-2.5f, 999, 0.8f, eqtype::HighShelf}));
    EXPECT_EQ(EqBandFromCurveBand(Band(1, std::numeric_limits<float>::quiet_NaN(), 0.0f, 1.0f)).freqHz, 0);
    EXPECT_EQ(EqBandFromCurveBand(Band(1, 1e9f, 0.0f, 1.0f)).freqHz, 65535);
    const CurveBand back = CurveBandFromEqBand(stored);
    EXPECT_EQ(back.freqHz, 999.0f);
    EXPECT_EQ(back.type, eqtype::HighShelf);
}

// ---- Crossover families -------------------------------------------------------------------------------

int SectionOrder(int code) {
    if (code == 1) {
        return 0;
    }
    return (code == 10 || code == 11) ? 1 : 2;
}

TEST(CrossoverFamilyTest, EveryFamilyHasTheSlopeItsNameStates) {
    ASSERT_EQ(kCrossoverFamilyNames.size(), 11u);
    for (int i = 0; i < kCrossoverFamilyCount; ++i) {
        const std::string_view name = kCrossoverFamilyNames[static_cast<size_t>(i)];
        const size_t space = name.find(' ');
        int slope = 0;
        std::from_chars(name.data() + space + 1, name.data() + name.size(), slope);
        ASSERT_TRUE(name.ends_with("dB")) << name;

        for (bool highPass : {false, true}) {
            const CrossoverCodes codes = ExpandCrossoverFamily(i, highPass);
            int order = 0;
            for (int code : codes) {
                order += SectionOrder(code);
                if (code != 1) {
                    EXPECT_EQ(code % 2 != 0, highPass) << name;
                }
            }
            EXPECT_EQ(6 * order, slope) << name;

            // The cascade's far stop band (a decade and more from the crossover) falls at the stated slope.
            const double fc = highPass ? 2000.0 : 50.0;
            auto cascadeDb = [&](double f) {
                double db = 0.0;
                for (int code : codes) {
                    db += DirectDb(DesignSection(code, 0.0, fc, 1.0, 0.0, kFs), f);
                }
                return db;
            };
            const double perOctave =
                highPass ? cascadeDb(40.0) - cascadeDb(20.0) : cascadeDb(1000.0) - cascadeDb(2000.0);
            EXPECT_NEAR(perOctave, slope, 0.6) << name << (highPass ? " high-pass" : " low-pass");
        }
    }
}

TEST(CrossoverFamilyTest, SpelledAsListed) {
    EXPECT_EQ(kCrossoverFamilyNames[0], "LinkwitzRiely 12dB");
    EXPECT_EQ(kCrossoverFamilyNames[3], "LinkwitzRiely 48dB");
    EXPECT_EQ(kCrossoverFamilyNames[5], "Bessel 18dB");
    EXPECT_EQ(kCrossoverFamilyNames[10], "Chebyshev 12dB");
}

TEST(CrossoverFamilyTest, KnownRows) {
    EXPECT_EQ(ExpandCrossoverFamily(1, true), (CrossoverCodes{13, 13, 1, 1}));
    EXPECT_EQ(ExpandCrossoverFamily(1, false), (CrossoverCodes{12, 12, 1, 1}));
    EXPECT_EQ(ExpandCrossoverFamily(2, false), (CrossoverCodes{14, 10, 14, 10}));
    EXPECT_EQ(ExpandCrossoverFamily(3, true), (CrossoverCodes{19, 21, 19, 21}));
    EXPECT_EQ(ExpandCrossoverFamily(10, true), (CrossoverCodes{7, 1, 1, 1}));
    EXPECT_EQ(ExpandCrossoverFamily(11, true), (CrossoverCodes{1, 1, 1, 1}));
    EXPECT_EQ(ExpandCrossoverFamily(-1, false), (CrossoverCodes{1, 1, 1, 1}));
}

TEST(CrossoverFamilyTest, VariantFollowsTheCrossoverBandParity) {
    EXPECT_FALSE(CrossoverUsesHighPass(0));
    EXPECT_TRUE(CrossoverUsesHighPass(1));
    EXPECT_FALSE(CrossoverUsesHighPass(18));
    EXPECT_TRUE(CrossoverUsesHighPass(21));

    std::vector<CurveBand> path = OutputPath(); // band 9 holds a flat PEQ, code 1: odd
    path[9].freqHz = 1200.0f;
    path[9].gainDb = 3.0f;
    path[11].gainDb = -4.0f;
    ApplyCrossoverFamily(path, 1, MainPanelAxis(700));
    EXPECT_EQ(path[9].type, 13);
    EXPECT_EQ(path[10].type, 13);
    EXPECT_EQ(path[11].type, 1);
    EXPECT_EQ(path[12].type, 1);
    for (int b = 9; b <= 12; ++b) {
        EXPECT_EQ(path[static_cast<size_t>(b)].gainDb, 0.0f);
        EXPECT_EQ(path[static_cast<size_t>(b)].freqHz, 1200.0f);
    }
    // High-pass: deep below the crossover on the drawn curve.
    EXPECT_LT(SumBandCurves(std::span<const CurveBand>(path).subspan(9), 4)[0], -60.0f);

    ApplyCrossoverFamily(path, 9, MainPanelAxis(700)); // now odd again (13): stays high-pass
    EXPECT_EQ(path[9].type, 19);
    path[9].type = 0; // off counts as even
    ApplyCrossoverFamily(path, 4, MainPanelAxis(700));
    EXPECT_EQ(path[9].type, 8);
}

TEST(CrossoverFamilyTest, MenuExpansionsForTheCrossoverBand) {
    EXPECT_EQ(ExpandCrossoverMenuType(1), (CrossoverCodes{1, 1, 1, 1}));
    EXPECT_EQ(ExpandCrossoverMenuType(2), (CrossoverCodes{18, 20, 1, 1}));
    EXPECT_EQ(ExpandCrossoverMenuType(3), (CrossoverCodes{19, 21, 1, 1}));
    EXPECT_EQ(ExpandCrossoverMenuType(4), (CrossoverCodes{4, 1, 1, 1}));
    EXPECT_EQ(ExpandCrossoverMenuType(5), (CrossoverCodes{5, 1, 1, 1}));
    EXPECT_FALSE(ExpandCrossoverMenuType(0).has_value());
    EXPECT_FALSE(ExpandCrossoverMenuType(6).has_value());
}

TEST(CrossoverFamilyTest, MatchFindsTheFamilyBack) {
    for (int i = 0; i < kCrossoverFamilyCount; ++i) {
        EXPECT_EQ(MatchCrossoverCodes(ExpandCrossoverFamily(i, false)), (CrossoverMatch{eqtype::LowPass, i}));
        EXPECT_EQ(MatchCrossoverCodes(ExpandCrossoverFamily(i, true)), (CrossoverMatch{eqtype::HighPass, i}));
    }
    // The menu's LP is the Butterworth 24 dB family.
    EXPECT_EQ(MatchCrossoverCodes(*ExpandCrossoverMenuType(2)), (CrossoverMatch{eqtype::LowPass, 9}));
    EXPECT_EQ(MatchCrossoverCodes({1, 1, 1, 1}), (CrossoverMatch{eqtype::Peaking, -1}));
    EXPECT_EQ(MatchCrossoverCodes({5, 1, 1, 1}), (CrossoverMatch{eqtype::HighShelf, -1}));
    EXPECT_FALSE(MatchCrossoverCodes({12, 13, 1, 1}).has_value());
}

// ---- Compact panel ------------------------------------------------------------------------------------

TEST(CompactDesignTest, OwnSectionKinds) {
    SectionCoefficients c;
    ASSERT_EQ(DesignCompactSection(6, 0.0, 1000.0, 2.0, c), kCompactDesignOk);
    EXPECT_NEAR(DirectDb(c, 1000.0), 0.0, 1e-9); // band-pass peak
    EXPECT_LT(DirectDb(c, 100.0), -10.0);
    ASSERT_EQ(DesignCompactSection(7, 0.0, 1000.0, 2.0, c), kCompactDesignOk);
    EXPECT_LT(DirectDb(c, 1000.0), -100.0); // notch
    EXPECT_NEAR(DirectDb(c, 20.0), 0.0, 1e-3);

    // No pass-band gain on low-pass: 0 dB at DC whatever the band gain.
    ASSERT_EQ(DesignCompactSection(2, 9.0, 1000.0, 0.7, c), kCompactDesignOk);
    EXPECT_NEAR(DirectDb(c, 0.0), 0.0, 1e-9);
    ASSERT_EQ(DesignCompactSection(1, 9.0, 1000.0, 0.7, c), kCompactDesignOk);
    EXPECT_EQ(c, DesignSection(1, 9.0, 1000.0, 0.7, 0.0, kFs));
    ASSERT_EQ(DesignCompactSection(4, 3.0, 200.0, 0.7, c), kCompactDesignOk);
    EXPECT_NEAR(DirectDb(c, 0.0), 3.0, 1e-9);
}

TEST(CompactDesignTest, RefusedCodesLeaveTheSectionUntouched) {
    const SectionCoefficients sentinel{0.1, 0.2, 0.3, 0.4, 0.5};
    for (int code : {0, 8, 12, -1}) {
        SectionCoefficients c = sentinel;
        EXPECT_EQ(DesignCompactSection(code, 0.0, 1000.0, 1.0, c), kCompactDesignRefused);
        EXPECT_EQ(c, sentinel);
        CompactCurve curve{};
        curve.fill(2.0f);
        EXPECT_EQ(ComputeCompactCurve(code, 0.0, 1000.0, 1.0, 120, curve), kCompactDesignRefused);
        EXPECT_EQ(curve[10], 2.0f);
    }
}

TEST(CompactDesignTest, AxisRunsFromTenHertzOverThreeAndAHalfDecades) {
    EXPECT_EQ(CompactAxisFrequency(0, 560), 10);
    EXPECT_EQ(CompactAxisFrequency(28, 560), 501);   // 10 * 10^1.7
    EXPECT_EQ(CompactAxisFrequency(55, 560), 21841); // 10 * 10^(3.4 * 550 / 560)
    // A narrow plot samples whole pixels, so neighbouring points can share a pixel and a frequency.
    int previous = 0;
    for (int u = 0; u < kCompactCurvePoints; ++u) {
        const int f = CompactAxisFrequency(u, 37);
        EXPECT_GE(f, previous);
        previous = f;
    }
    CompactCurve curve{};
    ASSERT_EQ(ComputeCompactCurve(1, 6.0, 501.0, 1.0, 560, curve), kCompactDesignOk);
    EXPECT_NEAR(curve[28], 6.0f, 1e-3);
}

} // namespace
} // namespace orvex
