#include "link/EqImport.h"

#include "RecordingSender.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"

#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::test;

namespace {

struct Rig {
    ParameterStore store;
    RecordingSender sender;
    CommandEncoder commands{store, sender};
    EqSender eq{store, commands};
};

} // namespace

// Three filters into output 3 go out exactly as editing those bands by hand (and turning the other
// free bands off) does; the crossover sections 9..12 are neither stored nor sent.
TEST(EqImportTest, ImportSendsWhatEditingByHandSendsAndLeavesTheCrossoverAlone) {
    const int out3 = eqid::FirstOutput + 2;
    Rig imported, byHand;
    for (Rig* rig : {&imported, &byHand}) {
        rig->eq.ResetEqPath(out3);
        rig->store.SetEqBand(EqIdentityRecord(out3, 10), EqBand{0.0f, 777, 0.5f, 9});
        rig->sender.Clear();
    }
    const char* text = "Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.00\n"
                       "Filter 2: ON LSC Fc 120 Hz Gain 2.0 dB Q 0.71\n"
                       "Filter 3: ON PK Fc 2500 Hz Gain -1.5 dB Q 1.20\n";
    EXPECT_TRUE(ImportFilterText(imported.eq, imported.store, out3, text).empty());

    byHand.eq.SetPathBand(out3, 0, EqBand{-5.0f, 63, 4.0f, eqtype::Peaking});
    byHand.eq.SetPathBand(out3, 1, EqBand{2.0f, 120, 0.71f, eqtype::LowShelf});
    byHand.eq.SetPathBand(out3, 2, EqBand{-1.5f, 2500, 1.2f, eqtype::Peaking});
    for (int b = 3; b < 9; ++b) {
        EqBand off = byHand.store.GetEqPathBand(out3, b);
        off.type = eqtype::Off;
        byHand.eq.SetPathBand(out3, b, off);
    }
    EXPECT_EQ(imported.sender.Bodies(), byHand.sender.Bodies());
    EXPECT_EQ(imported.sender.Bodies().size(), 18u); // nine bands, record write and coefficients each
    EXPECT_EQ(imported.store.GetEqPathBand(out3, 10), (EqBand{0.0f, 777, 0.5f, 9}));
    for (int r = 0; r < kEqRecordCount; ++r)
        EXPECT_EQ(imported.store.GetEqRecordBytes(r), byHand.store.GetEqRecordBytes(r)) << r;
}

// One bad line anywhere, or a list too long for the path, leaves the store and the wire untouched.
TEST(EqImportTest, AnErrorLeavesStoreAndWireUntouched) {
    Rig rig;
    const auto before = rig.store.GetEqRecordBytes(EqIdentityRecord(eqid::MicA, 0));
    std::string good = "Filter: ON PK Fc 100 Hz Gain -3 dB Q 2\n";
    std::vector<FilterTextError> errors =
        ImportFilterText(rig.eq, rig.store, eqid::MicA, good + "Filter: ON NO Fc 50 Hz\n" + good);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].line, 2);

    std::string tooMany;
    for (int i = 0; i <= FreeEqBandCount(eqid::EchoA); ++i)
        tooMany += good;
    errors = ImportFilterText(rig.eq, rig.store, eqid::EchoA, tooMany);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].line, FreeEqBandCount(eqid::EchoA) + 1);

    EXPECT_FALSE(ImportFilterText(rig.eq, rig.store, eqid::Count, good).empty());
    EXPECT_FALSE(ApplyFreeEqBands(rig.eq, eqid::Music, std::vector<EqBand>(3)));
    EXPECT_TRUE(rig.sender.Bodies().empty());
    EXPECT_EQ(rig.store.GetEqRecordBytes(EqIdentityRecord(eqid::MicA, 0)), before);
}
