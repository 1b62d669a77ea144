#include "model/EqBandSet.h"

#include "model/EqPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orvex {
namespace {

class EqBandSetTest : public ::testing::Test {
protected:
    EqBandSet set;
    std::vector<int> recomputed;

    void SetUp() override {
        set.SetAxisSource([] { return MainPanelAxis(958); });
        set.SetRecomputedHandler([this](int index) { recomputed.push_back(index); });
    }
    void TearDown() override { SetEqBandClipboard(-1); }

    void MicPath() {
        set.SetEqIdentity(eqid::MicA);
        set.SetBandCount(10);
    }
    void OutputPath() {
        set.SetEqIdentity(eqid::FirstOutput);
        set.SetBandCount(kOutputEqBandCount);
        for (int i = 0; i < 9; ++i) {
            set.LoadBand(i, {0.0f, 40 * (1 << i), 1.41f, eqtype::Peaking});
        }
        set.LoadBand(kOutputCrossoverBand, {0.0f, 80, 0.707f, eqtype::HighPass});
        set.SetCrossoverFamily(kOutputCrossoverBand, 1);
    }
    static float PeakOf(const CurveBand& band) {
        float peak = -100.0f;
        for (float v : band.curve) {
            peak = std::max(peak, v);
        }
        return peak;
    }
};

TEST_F(EqBandSetTest, SetBandCountLaysOutTheStandardBands) {
    set.SetBandCount(7);
    EXPECT_EQ(set.Band(6).freqHz, 2000.0f);
    set.SetBandCount(10);
    EXPECT_EQ(set.Band(9).freqHz, 16000.0f);
    EXPECT_EQ(set.Band(9).type, eqtype::Peaking);
    EXPECT_FLOAT_EQ(set.Band(9).q, 1.41f);
    set.SetEqIdentity(eqid::FirstOutput + 2);
    set.SetBandCount(13);
    EXPECT_EQ(set.VisibleBandCount(), 10);
    set.SetBandCount(kEqBandSlots + 5);
    EXPECT_EQ(set.BandCount(), kEqBandSlots);
}

TEST_F(EqBandSetTest, SettersApplyTheTypeRules) {
    MicPath();
    set.SetBandGain(2, 9.0f);
    set.SetBandQ(2, 50.0f);
    EXPECT_FLOAT_EQ(set.Band(2).q, 30.0f);
    set.SetBandQ(2, 1e-9f); // ignored
    EXPECT_FLOAT_EQ(set.Band(2).q, 30.0f);
    set.SetBandType(2, eqtype::LowShelf);
    EXPECT_FLOAT_EQ(set.Band(2).gainDb, 0.0f);
    EXPECT_FLOAT_EQ(set.Band(2).q, 0.7f);
    set.SetBandGain(2, 20.0f);
    EXPECT_FLOAT_EQ(set.Band(2).gainDb, 15.0f);
    set.SetBandQ(2, 5.0f);
    EXPECT_FLOAT_EQ(set.Band(2).q, 2.0f);
    set.SetBandType(2, eqtype::HighPass);
    set.SetBandGain(2, 6.0f);
    EXPECT_FLOAT_EQ(set.Band(2).gainDb, 0.0f);
    set.SetBandGain(3, std::nanf(""));
    EXPECT_FLOAT_EQ(set.Band(3).gainDb, 0.0f);
    set.SetBandFrequency(4, 5.0f);
    EXPECT_FLOAT_EQ(set.Band(4).freqHz, 20.0f);
    set.SetBandFrequency(4, std::nanf("")); // ignored
    EXPECT_FLOAT_EQ(set.Band(4).freqHz, 20.0f);
}

TEST_F(EqBandSetTest, EditsKeepTheCurveAndMarkerInStep) {
    MicPath();
    recomputed.clear();
    set.SetBandGain(5, 6.0f);
    EXPECT_NEAR(PeakOf(set.Band(5)), 6.0f, 0.05f);
    EXPECT_EQ(recomputed, std::vector<int>{5});
    // Without an axis width no curve is computed, but the marker still follows.
    set.SetAxisSource([] { return MainPanelAxis(0); });
    set.SetBandGain(5, -3.0f);
    EXPECT_NEAR(PeakOf(set.Band(5)), 6.0f, 0.05f);
    EXPECT_EQ(recomputed.back(), 5);
}

TEST_F(EqBandSetTest, ALoadComputesEachCurveOnceAtItsEnd) {
    MicPath();
    set.BeginLoad();
    set.SetBandGain(2, 9.0f);
    set.SetBandGain(2, 4.0f);
    EXPECT_LT(PeakOf(set.Band(2)), 0.5f); // still the flat curve of before
    EXPECT_TRUE(set.EndLoad());
    EXPECT_NEAR(PeakOf(set.Band(2)), 4.0f, 0.05f);
    EXPECT_FALSE(set.EndLoad());

    // On an output path the crossover band's hidden sections follow it when the load ends.
    OutputPath();
    set.BeginLoad();
    set.SetBandFrequency(kOutputCrossoverBand, 300.0f);
    EXPECT_FLOAT_EQ(set.Band(kOutputFirstHiddenBand).freqHz, 300.0f);
    const BandCurve before = set.Band(kOutputFirstHiddenBand).curve;
    set.EndLoad();
    EXPECT_NE(set.Band(kOutputFirstHiddenBand).curve, before);
}

TEST_F(EqBandSetTest, DragsRoundTheGainToTenthsAndHoldTheLimits) {
    MicPath();
    set.DragBand(3, 1234.5, 4.26);
    EXPECT_FLOAT_EQ(set.Band(3).gainDb, 4.3f);
    EXPECT_FLOAT_EQ(set.Band(3).freqHz, 1234.5f);
    set.DragBand(3, 30000.0, -4.25); // half away from zero
    EXPECT_FLOAT_EQ(set.Band(3).gainDb, -4.3f);
    EXPECT_FLOAT_EQ(set.Band(3).freqHz, 20000.0f);
    set.DragBand(3, 10.0, -40.0);
    EXPECT_FLOAT_EQ(set.Band(3).gainDb, -15.0f);
    EXPECT_FLOAT_EQ(set.Band(3).freqHz, 20.0f);
    set.SetBandType(3, eqtype::LowPass);
    set.DragBand(3, 500.0, 8.0);
    EXPECT_FLOAT_EQ(set.Band(3).gainDb, 0.0f);

    // Q: a twelfth per pixel for peaking, an eightieth for the narrow range of the shapes.
    set.DragQ(3, 8.0f);
    EXPECT_NEAR(set.Band(3).q, 0.8f, 1e-5);
    set.DragQ(3, 400.0f);
    EXPECT_FLOAT_EQ(set.Band(3).q, 2.0f);
    set.SetBandType(4, eqtype::Peaking);
    set.DragQ(4, 24.0f);
    EXPECT_NEAR(set.Band(4).q, 1.41f + 2.0f, 1e-5);
    set.DragQ(4, -1000.0f);
    EXPECT_FLOAT_EQ(set.Band(4).q, 0.1f);
}

TEST_F(EqBandSetTest, WheelAndKeyStepsRespectTypeAndLimits) {
    MicPath();
    EXPECT_TRUE(set.WheelGain(0, true));
    EXPECT_NEAR(set.Band(0).gainDb, 0.1f, 1e-6);
    set.SetBandType(1, eqtype::HighPass);
    EXPECT_FALSE(set.WheelGain(1, true));
    set.NudgeGain(1, true, false);
    EXPECT_FLOAT_EQ(set.Band(1).gainDb, 0.0f);

    // Key steps leave the band where they put it until the limits are applied.
    for (int i = 0; i < 30; ++i) {
        set.NudgeQ(1, true, false);
    }
    EXPECT_GT(set.Band(1).q, 2.0f);
    set.ClampToLimits(1);
    EXPECT_FLOAT_EQ(set.Band(1).q, 2.0f);
    set.LoadBand(2, {0.0f, 21, 1.41f, eqtype::Peaking});
    set.NudgeFrequency(2, false, false);
    set.ClampToLimits(2);
    EXPECT_FLOAT_EQ(set.Band(2).freqHz, 20.0f);

    // Types step through 1..5 and stop at either end.
    set.NudgeType(3, false);
    EXPECT_EQ(set.Band(3).type, eqtype::Peaking);
    for (int i = 0; i < 6; ++i) {
        set.NudgeType(3, true);
    }
    EXPECT_EQ(set.Band(3).type, eqtype::HighShelf);
}

TEST_F(EqBandSetTest, TheCrossoverMenuTypeIsRealisedOnItsFourSections) {
    OutputPath();
    set.SetBandGain(1, 6.0f);
    set.SetBandTypeFromMenu(1, eqtype::Peaking);
    EXPECT_FLOAT_EQ(set.Band(1).gainDb, 0.0f); // outputs reset the gain even for a peaking band
    set.SetBandTypeFromMenu(kOutputCrossoverBand, eqtype::LowPass);
    std::vector<int> codes;
    for (int i = 9; i <= 12; ++i) {
        codes.push_back(set.Band(i).type);
        EXPECT_FLOAT_EQ(set.Band(i).freqHz, 80.0f);
    }
    EXPECT_EQ(codes, (std::vector<int>{18, 20, 1, 1}));
    EXPECT_EQ(set.DisplayType(kOutputCrossoverBand), eqtype::LowPass);
    set.SetCrossoverFamily(kOutputCrossoverBand, 0);
    EXPECT_EQ(set.Band(9).type, 10);
    EXPECT_EQ(set.Band(11).type, 1);
    EXPECT_EQ(set.DisplayType(-1), eqtype::Off);

    // Elsewhere the menu type is the band's type and a peaking band keeps its gain.
    MicPath();
    set.SetEqIdentity(eqid::MicA);
    set.SetBandGain(1, 6.0f);
    set.SetBandTypeFromMenu(1, eqtype::Peaking);
    EXPECT_FLOAT_EQ(set.Band(1).gainDb, 6.0f);
    set.SetBandTypeFromMenu(1, 9); // not a menu type
    EXPECT_EQ(set.Band(1).type, eqtype::Peaking);
}

TEST_F(EqBandSetTest, ResetBandForgetsSettingsAndLimits) {
    MicPath();
    set.SetBandGain(2, 7.0f);
    set.ResetBand(2);
    EXPECT_FLOAT_EQ(set.Band(2).gainDb, 0.0f);
    EXPECT_FLOAT_EQ(set.Band(2).freqHz, 100.0f);
    EXPECT_FLOAT_EQ(set.Limits(2).gainMax, kMaxBandGainDb);
    set.ResetBand(kEqBandSlots); // outside: ignored
}

TEST_F(EqBandSetTest, PasteWithNothingCopiedOnlyReloads) {
    int copies = 0;
    int reloads = 0;
    auto copy = [&](int, int) { ++copies; };
    auto reload = [&] { ++reloads; };
    HandleEqCopyPaste(kEqPasteAction, eqid::FirstOutput, copy, reload);
    EXPECT_EQ(copies, 0);
    EXPECT_EQ(reloads, 1);

    HandleEqCopyPaste(kEqCopyAction, eqid::EchoA, copy, reload);
    EXPECT_EQ(EqBandClipboard(), eqid::EchoA);
    int from = -1;
    int to = -1;
    HandleEqCopyPaste(
        kEqPasteAction, eqid::FirstOutput,
        [&](int s, int d) {
            from = s;
            to = d;
        },
        reload);
    EXPECT_EQ(from, eqid::EchoA);
    EXPECT_EQ(to, eqid::FirstOutput);
    EXPECT_EQ(reloads, 2);
    // The unused third command does nothing.
    HandleEqCopyPaste(2, eqid::MicA, copy, reload);
    EXPECT_EQ(EqBandClipboard(), eqid::EchoA);
    EXPECT_EQ(reloads, 2);
}

} // namespace
} // namespace orvex
