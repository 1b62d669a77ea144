#include "sim/ProcessorModel.h"

#include "link/ParamTable.h"
#include "model/DeviceImageLayout.h"
#include "sim/DeviceImageRecords.h"
#include "model/ParameterStore.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::sim;
using namespace orvex::test;

namespace {

class ProcessorModelTest : public ::testing::Test {
protected:
    std::vector<uint8_t> One(const std::string& hex) {
        auto replies = model.HandleMessage(Hex(hex));
        EXPECT_EQ(replies.size(), 1u);
        return replies.empty() ? std::vector<uint8_t>{} : replies[0];
    }

    sim::ProcessorModel model;
};

TEST_F(ProcessorModelTest, ParameterWriteLandsInItsRecordAndReadsBack) {
    EXPECT_EQ(One("09 00 02 08 01 3F0CCCCD"), Hex("09"));
    const ImageRecord* r = FindImageRecord(2, 8);
    ASSERT_NE(r, nullptr);
    const auto memory = model.Memory();
    EXPECT_EQ(std::vector<uint8_t>(memory.begin() + r->offset, memory.begin() + r->offset + 7),
              Hex("02 08 01 3F0CCCCD"));
    EXPECT_EQ(One("0A 00 02 08 01"), Hex("0A 00 02 08 01 3F0CCCCD"));
}

TEST_F(ProcessorModelTest, ReadOfAMultiWordRecordReturnsTheWordsAskedFor) {
    One("09 00 07 11 02 3F800000 00000000");
    EXPECT_EQ(One("0A 00 07 11 02"), Hex("0A 00 07 11 02 3F800000 00000000"));
    EXPECT_EQ(One("0A 00 07 11 00"), Hex("0A 00 07 11 01 3F800000"));
}

TEST_F(ProcessorModelTest, ParametersWithoutAMemoryRecordAreStillHeld) {
    // Output 8's position set has no room in the parameter memory.
    ASSERT_EQ(FindImageRecord(12, 29), nullptr);
    EXPECT_EQ(One("0A 00 0C 1D 06")[1], 0x02) << "never written: an error code";
    const std::string words = "3F800000 00000000 40000000 00000000 3F000000 00000000";
    One("09 00 0C 1D 06 " + words);
    EXPECT_EQ(One("0A 00 0C 1D 06"), Hex("0A 00 0C 1D 06 " + words));
}

TEST_F(ProcessorModelTest, OutputEightsDelayModeLivesInTheMemory) {
    const ImageRecord* r = FindImageRecord(12, 17);
    ASSERT_NE(r, nullptr);
    One("09 00 0C 11 02 3F800000 00000000");
    const auto reply = One("0A 00 0C 11 02");
    EXPECT_EQ(reply, Hex("0A 00 0C 11 02 3F800000 00000000"));
    ParameterStore store;
    ASSERT_TRUE(DecodeParamValue(store, reply[2], reply[3], std::span(reply).subspan(5)));
    EXPECT_EQ(store.Get(fields::outDelayMode, 7), 1);
}

TEST_F(ProcessorModelTest, ShortOrOversizedWritesStayInsideTheirRecord) {
    const auto before = model.Memory();
    One("09 00 02 08 05 3F0CCCCD"); // announces 5 words, carries 1
    One("09 00 02");
    const ImageRecord* r = FindImageRecord(2, 8);
    const auto after = model.Memory();
    const size_t first = r->offset + 3u;
    for (size_t i = 0; i < after.size(); ++i) {
        if (i < first || i >= first + 4) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    }
}

TEST_F(ProcessorModelTest, FactoryRecordsDecodeToSensibleValues) {
    // What read-all would make of a factory-fresh processor.
    ParameterStore store;
    const auto memory = model.Memory();
    for (uint16_t offset : DecodedRecordOffsets()) {
        const uint8_t* p = memory.data() + offset;
        DecodeParamValue(store, p[0], p[1], std::span(p + 3, 4 * size_t{p[2]}));
    }
    EXPECT_EQ(store.Get(fields::micVolume, 0), 80);
    EXPECT_FLOAT_EQ(store.Get(fields::echoTimeA), 217.0f);
    EXPECT_EQ(store.Get(fields::outRole, 3), 4);
    EXPECT_NEAR(store.Get(fields::musicAutoRatio), 2.0f, 1e-4);
}

} // namespace
