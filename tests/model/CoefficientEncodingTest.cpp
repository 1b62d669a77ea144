#include "model/CoefficientEncoding.h"

#include "model/EqPaths.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <set>

namespace orvex {
namespace {

float WordFloat(uint32_t w) {
    return std::bit_cast<float>(w);
}

TEST(BiquadWordsTest, WordOrderAndSigns) {
    // Words are -a1, -a2, b0, b1, b2 as float bit patterns.
    const BiquadWordSet words = BiquadWords({0.5, -0.25, 1.5, 2.0, -3.0});
    EXPECT_EQ(words, (BiquadWordSet{0xBF000000, 0x3E800000, 0x3FC00000, 0x40000000, 0xC0400000}));
}

TEST(BiquadWordsTest, RoundsFromDoubleToNearestFloat) {
    const BiquadWordSet words = BiquadWords({-0.1, 0.0, 1.0 / 3.0, 0.0, 0.0});
    EXPECT_EQ(words[0], 0x3DCCCCCDu); // 0.1f
    EXPECT_EQ(words[2], 0x3EAAAAABu); // 1/3 rounded up in the last bit
}

TEST(BiquadWordsTest, PeakingAtZeroGainSendsTheIdentity) {
    const BiquadWordSet words = BiquadWords(DesignSection(eqtype::Peaking, 0.0, 1000.0, 1.41, 0.0, kDspSampleRate));
    EXPECT_EQ(words[2], 0x3F800000u);
    EXPECT_EQ(WordFloat(words[0]), -WordFloat(words[3]));
    EXPECT_EQ(WordFloat(words[1]), -WordFloat(words[4]));
}

TEST(BiquadWordsTest, NonFiniteSectionIsSentAsIdentity) {
    const BiquadWordSet identity = {0u, 0u, 0x3F800000u, 0u, 0u};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(BiquadWords({nan, 0.1, 1.0, 0.0, 0.0}), identity);
    EXPECT_EQ(BiquadWords({0.1, 0.2, 1.0, -inf, 0.0}), identity);
    EXPECT_EQ(BiquadWords({0.1, 0.2, 1e300, 0.0, 0.0}), identity); // finite, but no float holds it

    // The processor's zeroed music low-frequency record: 0 Hz and Q 0 design as 0/0.
    const EqBandBytes zeroed{};
    const BandDesign band = BandFromRecord(zeroed);
    EXPECT_FALSE(std::isfinite(DesignBand(band).a2));
    EXPECT_EQ(BandWords(band), identity);
}

TEST(BandFromRecordTest, DecodesTheRecordInDoublePrecision) {
    // gain code 213 = +6.3 dB, 1000 Hz, Q 1.414, high shelf
    const EqBandBytes record = {0x00, 0xD5, 0x03, 0xE8, 0x05, 0x86, 0x05};
    const BandDesign band = BandFromRecord(record);
    EXPECT_EQ(band.type, 5);
    EXPECT_DOUBLE_EQ(band.gainDb, 6.3);
    EXPECT_EQ(band.freqHz, 1000.0);
    EXPECT_DOUBLE_EQ(band.q, 1.414);
    EXPECT_EQ(band.outputGainDb, 0.0);
    EXPECT_EQ(DesignBand(band), DesignSection(5, 6.3, 1000.0, 1.414, 0.0, 48000.0));
}

struct SlotCase {
    int record;
    int cmd;
    int slot;
};

class SlotForRecordTest : public ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotForRecordTest, MapsRecordToCommandAndSlot) {
    const SlotCase& c = GetParam();
    const std::optional<CoefficientSlot> slot = SlotForRecord(c.record);
    ASSERT_TRUE(slot.has_value());
    EXPECT_EQ(slot->cmd, c.cmd);
    EXPECT_EQ(slot->slot, c.slot);
}

INSTANTIATE_TEST_SUITE_P(Paths, SlotForRecordTest,
                         ::testing::Values(SlotCase{0, 1, 16}, SlotCase{9, 1, 25},      // mic A
                                           SlotCase{10, 1, 39}, SlotCase{19, 1, 48},    // mic B
                                           SlotCase{20, 2, 0}, SlotCase{26, 2, 6},      // echo A
                                           SlotCase{27, 2, 13}, SlotCase{33, 2, 19},    // echo B
                                           SlotCase{34, 3, 0}, SlotCase{40, 3, 6},      // reverb A
                                           SlotCase{41, 3, 12}, SlotCase{47, 3, 18},    // reverb B
                                           SlotCase{48, 4, 0}, SlotCase{57, 4, 9},      // music
                                           SlotCase{58, 5, 0}, SlotCase{72, 5, 14},     // output 1
                                           SlotCase{73, 6, 0}, SlotCase{93, 7, 5},      // outputs 2, 3
                                           SlotCase{163, 12, 0}, SlotCase{177, 12, 14}, // output 8
                                           SlotCase{178, 4, 10}));                      // music low-frequency

TEST(SlotForRecordTest, OutsideTheTableHasNoSlot) {
    EXPECT_FALSE(SlotForRecord(-1).has_value());
    EXPECT_FALSE(SlotForRecord(179).has_value());
}

TEST(SlotForRecordTest, Output3Band5) {
    // Output 3 is processor path 7: record 58 + 30 + 5, memory offset 651, coefficients to 7/5.
    EXPECT_EQ(EqRecordIndex(7, 5), 93);
    EXPECT_EQ(EqRecordOffset(7, 5), 651);
    EXPECT_EQ(SlotForRecord(93), (CoefficientSlot{7, 5}));
}

TEST(SlotForRecordTest, EverySlotIsUsedOnce) {
    std::set<std::pair<int, int>> seen;
    for (int r = 0; r < kEqRecordCount; ++r) {
        const std::optional<CoefficientSlot> slot = SlotForRecord(r);
        ASSERT_TRUE(slot.has_value()) << r;
        EXPECT_TRUE(seen.insert({slot->cmd, slot->slot}).second) << "record " << r;
    }
}

TEST(AllEqCoefficientRecordsTest, WriteAllOrderLeavesOutTheSplitPairs) {
    const auto& records = AllEqCoefficientRecords();
    ASSERT_EQ(records.size(), 163u);
    for (int i = 0; i < 58; ++i) {
        EXPECT_EQ(records[static_cast<size_t>(i)], i);
    }
    EXPECT_EQ(records[58], 58);
    EXPECT_EQ(records[58 + 12], 70);
    EXPECT_EQ(records[58 + 13], 73); // output 2 starts after output 1's band 12
    EXPECT_EQ(records[161], 163 + 12);
    EXPECT_EQ(records[162], kMusicLowRecord);
    for (int r : records) {
        if (r >= kOutputFirstRecord && r < kMusicLowRecord) {
            EXPECT_LT((r - kOutputFirstRecord) % kOutputRecordsPerChannel, 13) << r;
        }
    }
}

// ---- Reset tables --------------------------------------------------------------------------------

std::vector<int> Frequencies(const std::vector<BandAssignment>& bands) {
    std::vector<int> out;
    for (const BandAssignment& b : bands) {
        out.push_back(b.band.freqHz);
    }
    return out;
}

TEST(ResetEqPathBandsTest, InputPathsGetTheirStandardFrequencies) {
    const std::vector<int> ten = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    const std::vector<int> seven = {63, 125, 250, 500, 1000, 2300, 5000};
    EXPECT_EQ(Frequencies(ResetEqPathBands(eqid::MicA, 0)), ten);
    EXPECT_EQ(Frequencies(ResetEqPathBands(eqid::Music, 0)), ten);
    EXPECT_EQ(Frequencies(ResetEqPathBands(eqid::EchoB, 0)), seven);
    EXPECT_EQ(Frequencies(ResetEqPathBands(eqid::ReverbA, 0)), seven);

    const std::vector<BandAssignment> micB = ResetEqPathBands(eqid::MicB, 0);
    EXPECT_EQ(micB.front().record, 10);
    EXPECT_EQ(micB.back().record, 19);
    for (const BandAssignment& b : micB) {
        EXPECT_EQ(b.band, (EqBand{0.0f, b.band.freqHz, 1.41f, eqtype::Peaking}));
    }
    EXPECT_EQ(ResetEqPathBands(eqid::EchoB, 0).front().record, 27);
    EXPECT_TRUE(ResetEqPathBands(15, 0).empty());
    EXPECT_TRUE(ResetEqPathBands(-1, 0).empty());
}

TEST(ResetEqPathBandsTest, SubwooferGetsAButterworthCrossoverAt100Hz) {
    const std::vector<BandAssignment> sub = ResetEqPathBands(eqid::FirstOutput + 3, kSubwooferRole);
    ASSERT_EQ(sub.size(), 13u);
    EXPECT_EQ(sub.front().record, 58 + 45);
    const std::array<int, 4> types = {18, 20, 1, 1};
    for (int b = 9; b <= 12; ++b) {
        EXPECT_EQ(sub[static_cast<size_t>(b)].band.type, types[static_cast<size_t>(b - 9)]);
        EXPECT_EQ(sub[static_cast<size_t>(b)].band.freqHz, 100);
        EXPECT_EQ(sub[static_cast<size_t>(b)].band.gainDb, 0.0f);
    }
    EXPECT_EQ(sub[8].band.freqHz, 8000);
    EXPECT_EQ(sub[8].band.type, 1);
}

TEST(ResetEqPathBandsTest, OtherOutputsAreFlatUpTo16k) {
    const std::vector<BandAssignment> out = ResetEqPathBands(eqid::LastOutput, 0);
    EXPECT_EQ(Frequencies(out),
              (std::vector<int>{31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000, 16000, 16000, 16000}));
    EXPECT_EQ(out.back().record, 177 - 2); // bands 13 and 14 keep their split
    for (const BandAssignment& b : out) {
        EXPECT_EQ(b.band.type, 1);
    }
}

// ---- Band split ----------------------------------------------------------------------------------

TEST(BandSplitTest, PairTableAndSelection) {
    EXPECT_EQ(BandSplitPairAt(0), (BandSplitPair{500, 1000}));
    EXPECT_EQ(BandSplitPairAt(25), (BandSplitPair{3000, 3500}));
    EXPECT_EQ(BandSplitPairAt(26), (BandSplitPair{3000, 3500}));
    EXPECT_EQ(BandSplitPairAt(-4), (BandSplitPair{500, 1000}));
    EXPECT_EQ(BandSplitIndexForFrequency(1200), 7);
    EXPECT_EQ(BandSplitIndexForFrequency(3000), 25);
    EXPECT_EQ(BandSplitIndexForFrequency(1250), 0); // no pair starts there
    EXPECT_EQ(BandSplitIndexForFrequency(3500), 0);
}

TEST(BandSplitTest, ModeChoosesTheSectionKinds) {
    const std::array<EqBand, 2> split = BandSplitBands(7, 0);
    EXPECT_EQ(split[0], (EqBand{0.0f, 1200, 0.707f, eqtype::HighPass}));
    EXPECT_EQ(split[1], (EqBand{0.0f, 1700, 0.707f, eqtype::LowPass}));
    const std::array<EqBand, 2> whole = BandSplitBands(7, 1);
    EXPECT_EQ(whole[0].type, eqtype::Peaking);
    EXPECT_EQ(whole[1].type, eqtype::Peaking);
    EXPECT_EQ(whole[1].freqHz, 1700);
}

TEST(MusicLowFilterTest, LowPassAtTheChosenFrequency) {
    EXPECT_EQ(MusicLowFilterBand(120), (EqBand{0.0f, 120, 0.707f, eqtype::LowPass}));
    EXPECT_EQ(SlotForRecord(kMusicLowRecord), (CoefficientSlot{4, 10}));
}

// ---- Gain sets -----------------------------------------------------------------------------------

TEST(GainSetTest, PositionSetAtZeroIsUnity) {
    EXPECT_EQ(PositionSet(0.0f),
              (std::array<uint32_t, 6>{0x3F800000, 0x3F800000, 0x3F7EFF25, 0xBFFF7EF1, 0x3F800000, 0x3F800000}));
}

TEST(GainSetTest, PositionSetFollowsItsCurve) {
    const std::array<uint32_t, 6> w = PositionSet(-6.0f);
    EXPECT_NEAR(WordFloat(w[0]), 0.501187, 1e-6);                                      // 10^(-6/20)
    EXPECT_NEAR(WordFloat(w[1]), std::pow(10.0, (0.0813403 - 4.799412) / 20.0), 1e-6); // t = -4.718
    EXPECT_EQ(w[4], w[0]);
    EXPECT_EQ(w[5], w[1]);
}

TEST(GainSetTest, BassBoostUsesItsOwnShelfPair) {
    const std::array<uint32_t, 6> w = BassBoostSet(6.0f);
    EXPECT_EQ(w[2], 0x3F7D554Au);
    EXPECT_EQ(w[3], 0xBFFEA8DCu);
    EXPECT_NEAR(WordFloat(w[0]), 1.995262, 1e-6);
    EXPECT_NEAR(WordFloat(w[1]), std::pow(10.0, (0.0813403 + 4.799412) / 20.0), 1e-6);
    EXPECT_NEAR(WordFloat(w[2]), 0.9895827, 1e-7);
}

} // namespace
} // namespace orvex
