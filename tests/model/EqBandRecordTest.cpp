#include "model/EqBandRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvex {
namespace {

TEST(EqBandRecordTest, PacksBigEndianFieldsInRecordOrder) {
    // +3 dB at 1 kHz, Q 1.414, peaking: 180 = 0x00B4, 1000 = 0x03E8, 1414 = 0x0586.
    const EqBandBytes bytes = PackEqBand({3.0f, 1000, 1.414f, eqtype::Peaking});
    EXPECT_EQ(bytes, (EqBandBytes{0x00, 0xB4, 0x03, 0xE8, 0x05, 0x86, 0x01}));

    const EqBand band = UnpackEqBand(EqBandBytes{0x00, 0x5A, 0x13, 0x88, 0x02, 0xC3, 0x05});
    EXPECT_FLOAT_EQ(band.gainDb, -6.0f);
    EXPECT_EQ(band.freqHz, 5000);
    EXPECT_FLOAT_EQ(band.q, 0.707f);
    EXPECT_EQ(band.type, eqtype::HighShelf);
}

TEST(EqBandRecordTest, RawPointerFormMatchesArrayForm) {
    const EqBand band{-4.5f, 125, 2.5f, 4};
    uint8_t raw[kEqBandRecordSize] = {};
    PackEqBand(band, raw);
    EXPECT_EQ(UnpackEqBand(raw), UnpackEqBand(PackEqBand(band)));
}

struct GainCase {
    float gainDb;
    uint16_t code;
};

class EqGainCodeTest : public ::testing::TestWithParam<GainCase> {};

TEST_P(EqGainCodeTest, PacksToCode) {
    EXPECT_EQ(EqGainCode(GetParam().gainDb), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Edges, EqGainCodeTest,
                         ::testing::Values(GainCase{-15.0f, 0}, GainCase{0.0f, 150}, GainCase{15.0f, 300},
                                           GainCase{-0.3f, 147},  // a float below its tenth still lands on it
                                           GainCase{0.09f, 150},  // truncated to the tenth below
                                           GainCase{0.1f, 151},   //
                                           GainCase{15.01f, 300}, // saturates rather than wrapping
                                           GainCase{40.0f, 300},  //
                                           GainCase{-15.1f, 0},   //
                                           GainCase{-100.0f, 0},  //
                                           GainCase{std::numeric_limits<float>::quiet_NaN(), 0}));

TEST(EqBandRecordTest, GainCodesUnpackAtTheirEnds) {
    EXPECT_FLOAT_EQ(EqGainFromCode(0), -15.0f);
    EXPECT_FLOAT_EQ(EqGainFromCode(150), 0.0f);
    EXPECT_FLOAT_EQ(EqGainFromCode(300), 15.0f);
}

TEST(EqBandRecordTest, EveryGainCodeSurvivesUnpackAndPack) {
    // The band editors read a record, change one field and pack it again: no other field may drift.
    for (int code = 0; code <= 300; ++code) {
        EXPECT_EQ(EqGainCode(EqGainFromCode(static_cast<uint16_t>(code))), code) << "code " << code;
    }
}

TEST(EqBandRecordTest, QIsTruncatedAndSaturated) {
    auto qCode = [](float q) {
        const EqBandBytes b = PackEqBand({0.0f, 1000, q, 1});
        return (b[4] << 8) | b[5];
    };
    EXPECT_EQ(qCode(1.414f), 1414);
    EXPECT_EQ(qCode(0.707f), 707);
    EXPECT_EQ(qCode(1.41f), 1410);   // the reset Q; a double product would give 1409
    EXPECT_EQ(qCode(1.4149f), 1414); // truncated, not rounded
    EXPECT_EQ(qCode(65.535f), 65535);
    EXPECT_EQ(qCode(100.0f), 65535);
    EXPECT_EQ(qCode(-1.0f), 0);
}

TEST(EqBandRecordTest, FrequencyAndTypeSaturateInsteadOfWrapping) {
    EqBandBytes b = PackEqBand({0.0f, 70000, 1.0f, 300});
    EXPECT_EQ(b[2], 0xFF);
    EXPECT_EQ(b[3], 0xFF);
    EXPECT_EQ(b[6], 0xFF);

    b = PackEqBand({0.0f, -20, 1.0f, -1});
    EXPECT_EQ(b[2], 0x00);
    EXPECT_EQ(b[3], 0x00);
    EXPECT_EQ(b[6], 0x00);
}

} // namespace
} // namespace orvex
