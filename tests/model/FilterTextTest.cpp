#include "model/FilterText.h"

#include "model/EqPaths.h"
#include "model/ParameterStore.h"

#include <gtest/gtest.h>

#include <random>

using namespace orvex;

namespace {

std::vector<std::string> Messages(const std::vector<FilterTextError>& errors) {
    std::vector<std::string> out;
    for (const FilterTextError& e : errors)
        out.push_back(FormatFilterTextError(e));
    return out;
}

} // namespace

TEST(FilterTextTest, ReadsTheCommonVariants) {
    const char* text = "\xEF\xBB\xBF"
                       "Filter Settings file\n"
                       "# a comment\n"
                       "* another\n"
                       "Preamp: -6.5 dB\r\n"
                       "Filter 1: ON PK Fc 63.0 Hz Gain -5.0 dB Q 4.00\n"
                       "filter:   on  pk  fc 1000 hz gain 2.5 db q 1.41\r\n"
                       "Filter 3: OFF None\n"
                       "Filter 10: ON LSC Fc 105 Hz Gain 3 dB Q 0.71\n"
                       "Filter 11: ON HS Fc 8 kHz Gain -2 dB Q 0.9\n"
                       "Filter 12: ON HP Fc 30 Hz\n"
                       "Filter 13: ON LPQ Fc 16000 Hz Q 1.2\n"
                       "Filter 14: ON HPQ Fc 80 Hz Gain -3 dB Q 0.707\n";
    const FilterParseResult r = ParseFilterText(text);
    ASSERT_TRUE(r.Ok()) << Messages(r.errors)[0];
    ASSERT_TRUE(r.list.preampDb);
    EXPECT_DOUBLE_EQ(*r.list.preampDb, -6.5);
    ASSERT_EQ(r.list.entries.size(), 8u);
    EXPECT_EQ(r.list.entries[0].band, (EqBand{-5.0f, 63, 4.0f, eqtype::Peaking}));
    EXPECT_EQ(r.list.entries[0].line, 5);
    EXPECT_EQ(r.list.entries[1].band, (EqBand{2.5f, 1000, 1.41f, eqtype::Peaking}));
    EXPECT_FALSE(r.list.entries[2].enabled);
    EXPECT_EQ(r.list.entries[2].band.type, eqtype::Off);
    EXPECT_EQ(r.list.entries[3].band, (EqBand{3.0f, 105, 0.71f, eqtype::LowShelf}));
    EXPECT_EQ(r.list.entries[4].band, (EqBand{-2.0f, 8000, 0.9f, eqtype::HighShelf}));
    EXPECT_EQ(r.list.entries[5].band, (EqBand{0.0f, 30, 0.707f, eqtype::HighPass}));
    EXPECT_EQ(r.list.entries[6].band, (EqBand{0.0f, 16000, 1.2f, eqtype::LowPass}));
    EXPECT_EQ(r.list.entries[7].band, (EqBand{-3.0f, 80, 0.707f, eqtype::HighPass})); // a pass-band level
}

// Every bad line is reported with its number and its reason, and no entry is taken from a bad line.
TEST(FilterTextTest, RejectsEveryUnsupportedOrOutOfRangeLine) {
    const char* text = "Filter 1: ON NO Fc 100 Hz\n"                   // 1 notch
                       "Filter 2: ON AP Fc 100 Hz Q 1\n"               // 2 all-pass
                       "Filter 3: ON BP Fc 100 Hz Q 1\n"               // 3 band-pass
                       "Filter 4: ON LS 6dB Fc 100 Hz Gain 3 dB\n"     // 4 shelf by slope
                       "Filter 5: ON HSC Fc 5000 Hz Gain 3 dB\n"       // 5 shelf without Q
                       "Filter 6: ON PK Fc 10 Hz Gain 3 dB Q 1\n"      // 6 frequency
                       "Filter 7: ON PK Fc 100 Hz Gain 16 dB Q 1\n"    // 7 gain
                       "Filter 8: ON PK Fc 100 Hz Gain 1 dB Q 31\n"    // 8 Q
                       "Filter 9: ON LSC Fc 100 Hz Gain 1 dB Q 3\n"    // 9 shelf Q above 2
                       "Filter 10: ON PK Fc abc Hz Gain 1 dB Q 1\n"    // 10 not a number
                       "Filter 11: ON PK Fc 100 Hz Q 1\n"              // 11 no gain
                       "Filter 12: MAYBE PK Fc 100 Hz Gain 1 dB Q 1\n" // 12 neither on nor off
                       "Filter 13: ON XYZ Fc 100 Hz\n"                 // 13 unknown
                       "Filter 14: ON PK Fc 100 Hz Gain 1 dB BW 0.5\n" // 14 bandwidth
                       "Preamp: loud\n"                                // 15
                       "Filter 16: ON PK Fc 100 Hz Gain -3 dB Q 2\n";  // good
    const FilterParseResult r = ParseFilterText(text);
    const std::vector<std::string> m = Messages(r.errors);
    ASSERT_EQ(m.size(), 15u);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(r.errors[static_cast<size_t>(i)].line, i + 1) << m[static_cast<size_t>(i)];
    EXPECT_EQ(m[0], "line 1: notch filters are not supported");
    EXPECT_EQ(m[1], "line 2: all-pass filters are not supported");
    EXPECT_EQ(m[2], "line 3: band-pass filters are not supported");
    EXPECT_EQ(m[3], "line 4: shelves given by slope are not supported; give the shelf a Q");
    EXPECT_EQ(m[4], "line 5: shelves given by slope are not supported; give the shelf a Q");
    EXPECT_EQ(m[5], "line 6: frequency 10.0 Hz is outside 20..20000 Hz");
    EXPECT_EQ(m[6], "line 7: gain 16.0 dB is outside -15..+15 dB");
    EXPECT_EQ(m[7], "line 8: Q 31.000 is outside 0.1..30");
    EXPECT_EQ(m[8], "line 9: Q 3.000 is outside 0.1..2");
    EXPECT_EQ(m[9], "line 10: 'abc' is not a number");
    EXPECT_EQ(m[10], "line 11: the gain is missing");
    EXPECT_EQ(m[11], "line 12: expected ON or OFF, found 'MAYBE'");
    EXPECT_EQ(m[12], "line 13: unknown filter kind 'XYZ'");
    EXPECT_EQ(m[13], "line 14: bandwidth is not supported; give a Q");
    EXPECT_EQ(m[14], "line 15: the preamp line needs a level in dB");
    EXPECT_EQ(r.list.entries.size(), 1u);
}

TEST(FilterTextTest, PlanFillsBandsInOrderTurnsTheRestOffAndRefusesTooMany) {
    const std::vector<EqBand> current(9, EqBand{4.0f, 500, 2.0f, eqtype::Peaking});
    std::string text;
    for (int i = 0; i < 3; ++i)
        text += "Filter: ON PK Fc " + std::to_string(100 * (i + 1)) + " Hz Gain -3 dB Q 2\n";
    std::vector<FilterTextError> errors;
    auto bands = PlanFilterImport(ParseFilterText(text).list, current, errors);
    ASSERT_TRUE(bands);
    EXPECT_EQ((*bands)[2], (EqBand{-3.0f, 300, 2.0f, eqtype::Peaking}));
    // The untouched bands keep their values but play as off.
    EXPECT_EQ((*bands)[3], (EqBand{4.0f, 500, 2.0f, eqtype::Off}));

    // OFF entries give way when the enabled ones would not fit otherwise.
    std::string crowded = "Filter: OFF None\n" + text + text + text;
    bands = PlanFilterImport(ParseFilterText(crowded).list, current, errors);
    ASSERT_TRUE(bands);
    EXPECT_EQ((*bands)[0].freqHz, 100);

    crowded += "Filter 11: ON PK Fc 100 Hz Gain 1 dB Q 1\n";
    bands = PlanFilterImport(ParseFilterText(crowded).list, current, errors);
    EXPECT_FALSE(bands);
    EXPECT_EQ(Messages(errors), std::vector<std::string>{"line 11: more filters than the 9 bands this path has free"});
}

// Export then import gives back every free band of every path, byte for byte, including off bands
// with leftover values and extreme settings.
TEST(FilterTextTest, ExportThenImportReproducesEveryPathBitForBit) {
    ParameterStore store;
    std::mt19937 rng(7);
    const int types[] = {eqtype::Off,      eqtype::Peaking,  eqtype::LowPass,
                         eqtype::HighPass, eqtype::LowShelf, eqtype::HighShelf};
    for (int id = 0; id < eqid::Count; ++id) {
        for (int b = 0; b < FreeEqBandCount(id); ++b) {
            EqBand band;
            band.type = types[rng() % 6];
            band.freqHz = 20 + static_cast<int>(rng() % 19981);
            band.q =
                static_cast<float>((100 + rng() % (static_cast<unsigned>(BandQLimit(band.type) * 1000) - 99)) / 1000.0);
            // Pass filters too: the processor plays their gain as a pass-band level.
            band.gainDb = EqGainFromCode(static_cast<uint16_t>(rng() % 301));
            store.SetEqBand(EqIdentityRecord(id, b), band);
        }
    }
    ParameterStore copy;
    for (int id = 0; id < eqid::Count; ++id) {
        const std::string text = ExportFilterText(store, id);
        ASSERT_TRUE(ImportFilterTextIntoStore(copy, id, text).empty()) << text;
        for (int b = 0; b < FreeEqBandCount(id); ++b) {
            const int record = EqIdentityRecord(id, b);
            EXPECT_EQ(copy.GetEqRecordBytes(record), store.GetEqRecordBytes(record)) << id << " " << b;
        }
    }
    EXPECT_EQ(FreeEqBandCount(eqid::FirstOutput), 9);
    EXPECT_EQ(FreeEqBandCount(eqid::Count), 0);
}
