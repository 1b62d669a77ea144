#include "model/EqFit.h"

#include "model/FilterDesign.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace orvex;

namespace {

// A 1/48-octave response from 20 Hz to 20 kHz: the given bands plus a small random ripple.
Measurement Synthetic(const std::vector<EqBand>& room, double noiseDb, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-noiseDb, noiseDb);
    Measurement m;
    for (double f = 20.0; f <= 20000.0; f *= std::exp2(1.0 / 48.0)) {
        m.freqHz.push_back(f);
        m.levelDb.push_back(75.0 + EqResponseDb(room, f) + noise(rng));
    }
    return m;
}

void ExpectWithinLimits(const FitResult& r, const FitOptions& o) {
    for (const EqBand& b : r.bands) {
        if (b.type == eqtype::Off)
            continue;
        EXPECT_LE(b.gainDb, o.maxBoostDb + 1e-6);
        EXPECT_GE(b.gainDb, -o.maxCutDb - 1e-6);
        EXPECT_GE(b.q, o.minQ - 1e-6);
        EXPECT_LE(b.q, o.maxQ + 1e-6);
        EXPECT_GE(b.freqHz, kMinBandFreqHz);
        EXPECT_LE(b.freqHz, kMaxBandFreqHz);
    }
}

} // namespace

TEST(MeasurementTest, ReadsColumnsSkipsCommentsAndReportsBadLines) {
    const MeasurementParseResult r = ParseMeasurementText("* Measurement data\n"
                                                          "Freq(Hz) SPL(dB) Phase\n"
                                                          "# comment\n"
                                                          "20, 70.5, -10\n"
                                                          "40\t72\n"
                                                          "80;74;3\r\n");
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.response.freqHz, (std::vector<double>{20, 40, 80}));
    EXPECT_EQ(r.response.levelDb, (std::vector<double>{70.5, 72, 74}));
    EXPECT_DOUBLE_EQ(InterpolateLevelDb(r.response, std::sqrt(20.0 * 40.0)), 71.25);
    EXPECT_DOUBLE_EQ(InterpolateLevelDb(r.response, 10.0), 70.5);
    EXPECT_DOUBLE_EQ(InterpolateLevelDb(r.response, 1000.0), 74.0);

    const MeasurementParseResult bad = ParseMeasurementText("20 70\n10 71\n30 x\n-5 3\n40\n");
    ASSERT_EQ(bad.errors.size(), 4u);
    EXPECT_EQ(bad.errors[0].line, 2);
    EXPECT_EQ(bad.errors[1].line, 3);
    EXPECT_EQ(bad.errors[2].line, 4);
    EXPECT_EQ(bad.errors[3].line, 5);
    EXPECT_FALSE(ParseMeasurementText("20 70\n").Ok());
}

// Normalising takes the mean over log frequency between 200 Hz and 2 kHz, and the prediction adds the
// same section response the graph draws.
TEST(MeasurementTest, NormalisesToTheMidBandAndPredictsWithTheBandDesign) {
    Measurement m;
    for (double f = 20.0; f <= 20000.0; f *= 1.01) {
        m.freqHz.push_back(f);
        m.levelDb.push_back(f < 200.0 ? 90.0 : 80.0 + 10.0 * std::log10(f / 200.0) / std::log10(10.0));
    }
    const Measurement n = NormaliseMeasurement(m);
    EXPECT_NEAR(MeanLevelDb(n), 0.0, 1e-9);
    EXPECT_NEAR(InterpolateLevelDb(n, std::sqrt(200.0 * 2000.0)), 0.0, 0.05);

    const std::vector<EqBand> bands = {{-6.0f, 1000, 2.0f, eqtype::Peaking}, {3.0f, 100, 1.0f, eqtype::Off}};
    const Measurement p = PredictResponse(n, bands);
    for (size_t i = 0; i < n.freqHz.size(); i += 50) {
        const SectionCoefficients c = DesignSection(eqtype::Peaking, -6.0, 1000, 2.0f, 0.0, kDspSampleRate);
        EXPECT_NEAR(p.levelDb[i] - n.levelDb[i], SectionMagnitudeDb(c, n.freqHz[i], kDspSampleRate), 1e-9);
    }
}

// A response made from four room modes and a little noise comes within 1 dB of flat with four bands.
TEST(EqFitTest, BringsASyntheticRoomWithinOneDecibelOfFlat) {
    const std::vector<EqBand> room = {{8.0f, 55, 5.0f, eqtype::Peaking},
                                      {5.0f, 180, 2.0f, eqtype::Peaking},
                                      {-3.0f, 1200, 1.5f, eqtype::Peaking},
                                      {4.0f, 5500, 3.0f, eqtype::Peaking}};
    const Measurement m = NormaliseMeasurement(Synthetic(room, 0.2, 3));
    FitOptions o;
    o.bandCount = 4;
    const FitResult r = FitEqualiser(m, {}, o);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.bands.size(), 4u);
    EXPECT_GT(r.before.peakDb, 5.0);
    EXPECT_LT(r.after.peakDb, 1.0);
    EXPECT_LT(r.after.rmsDb, r.before.rmsDb / 4);
    ExpectWithinLimits(r, o);
}

// Tight limits bind: a deep dip is not filled beyond the boost limit and a sharp peak is cut no
// further and narrower than allowed, whatever the deviation asks for.
TEST(EqFitTest, LimitsAreAlwaysRespectedAndAFlatResponseGivesFlatBands) {
    const std::vector<EqBand> room = {{15.0f, 70, 12.0f, eqtype::Peaking}, {-15.0f, 400, 8.0f, eqtype::Peaking}};
    const Measurement m = NormaliseMeasurement(Synthetic(room, 0.0, 1));
    FitOptions o;
    o.maxBoostDb = 3.0;
    o.maxCutDb = 9.0;
    o.minQ = 0.7;
    o.maxQ = 4.0;
    o.bandCount = 5;
    const FitResult r = FitEqualiser(m, {}, o);
    ASSERT_TRUE(r.ok);
    ExpectWithinLimits(r, o);

    const Measurement flat = Synthetic({}, 0.0, 1);
    const FitResult f = FitEqualiser(NormaliseMeasurement(flat), {}, FitOptions{});
    ASSERT_TRUE(f.ok);
    ASSERT_EQ(f.bands.size(), 9u);
    for (double hz : {30.0, 100.0, 1000.0, 15000.0})
        EXPECT_NEAR(EqResponseDb(f.bands, hz), 0.0, 1e-9);
    EXPECT_NEAR(f.after.peakDb, 0.0, 1e-9);

    FitOptions broken;
    broken.loHz = 5000.0;
    broken.hiHz = 100.0;
    EXPECT_FALSE(FitEqualiser(flat, {}, broken).ok);
}

// The target is followed, not flat: a response equal to the target needs no band.
TEST(EqFitTest, FollowsAGivenTarget) {
    const std::vector<EqBand> tilt = {{-4.0f, 3000, 0.7f, eqtype::HighShelf}};
    const Measurement target = NormaliseMeasurement(Synthetic(tilt, 0.0, 1));
    const FitResult r = FitEqualiser(target, target, FitOptions{});
    ASSERT_TRUE(r.ok);
    EXPECT_NEAR(r.before.peakDb, 0.0, 1e-9);
    for (const EqBand& b : r.bands)
        EXPECT_EQ(b.type, eqtype::Off);
}

// A broad tilt at either end is a shelf's work: with shelves allowed the fit uses them there and does
// better with the same bands than peaking bands alone; without, it uses none.
TEST(EqFitTest, ShelvesAreUsedAtTheEndsOnlyWhenAllowed) {
    const std::vector<EqBand> room = {{5.0f, 120, 0.7f, eqtype::LowShelf},
                                      {-4.0f, 4000, 0.7f, eqtype::HighShelf},
                                      {6.0f, 700, 4.0f, eqtype::Peaking}};
    const Measurement m = NormaliseMeasurement(Synthetic(room, 0.1, 2));
    FitOptions o;
    o.bandCount = 3;
    o.allowShelves = true;
    const FitResult shelved = FitEqualiser(m, {}, o);
    ASSERT_TRUE(shelved.ok);
    ExpectWithinLimits(shelved, o);
    int shelves = 0;
    for (const EqBand& b : shelved.bands)
        shelves += b.type == eqtype::LowShelf || b.type == eqtype::HighShelf ? 1 : 0;
    EXPECT_GE(shelves, 1);
    EXPECT_LT(shelved.after.rmsDb, shelved.before.rmsDb / 3);

    o.allowShelves = false;
    const FitResult peaking = FitEqualiser(m, {}, o);
    ASSERT_TRUE(peaking.ok);
    for (const EqBand& b : peaking.bands)
        EXPECT_TRUE(b.type == eqtype::Peaking || b.type == eqtype::Off) << b.type;
    EXPECT_LT(shelved.after.rmsDb, peaking.after.rmsDb);
}
