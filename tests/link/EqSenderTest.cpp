#include "link/EqSender.h"

#include "RecordingSender.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvex;
using namespace orvex::test;

namespace {

// The expected bodies as ToHex spells them, whatever the spacing they are written with.
std::vector<std::string> Bodies(std::initializer_list<const char*> texts) {
    std::vector<std::string> out;
    for (const char* text : texts)
        out.push_back(ToHex(Hex(text)));
    return out;
}

class EqSenderSplitTest : public ::testing::Test {
protected:
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& body : sender.Bodies())
            out.push_back(ToHex(body));
        return out;
    }

    ParameterStore store;
    RecordingSender sender;
    CommandEncoder commands{store, sender};
    EqSender eq{store, commands};
};

// Output 3's split at index 25 in high-frequency mode: band 13 (record 101, memory 707) becomes a
// high-pass at 3000 Hz, band 14 (record 102, memory 714) a low-pass at 3500 Hz, each as record, memory
// write and coefficients. Record bytes: gain (0 + 15) x 10, frequency, Q x 1000, type. Coefficients
// -a1, -a2, b0, b1, b2 over a0 of the 48 kHz Butterworth-Q sections, worked out apart from the encoder.
TEST_F(EqSenderSplitTest, IndexedSplitWritesRecordMemoryAndCoefficientsOfBothSections) {
    store.Set(fields::outDelayMode, 2, 0);
    eq.SendBandSplit(2, 25);
    EXPECT_EQ(Sent(), Bodies({
                          "85 02 C3 07 00 96 0B B8 02 C3 03",
                          "09 00 07 0D 05 3FBA231F BF12F267 3F41CE29 BFC1CE29 3F41CE29",
                          "85 02 CA 07 00 96 0D AC 02 C3 02",
                          "09 00 07 0E 05 3FAEE4D7 BF060220 3D20E1C7 3DA0E1C7 3D20E1C7",
                      }));
    const int first = OutputChannelFirstRecord(2);
    EXPECT_EQ(store.GetEqBand(first + kOutputSplitHighPassBand).freqHz, 3000);
    EXPECT_EQ(store.GetEqBand(first + kOutputSplitLowPassBand).freqHz, 3500);
}

// Whole-channel mode: both sections flat (type 1) at the same frequencies.
TEST_F(EqSenderSplitTest, WholeChannelModeSendsFlatSectionsAndIndexesAreHeldToTheEnds) {
    store.Set(fields::outDelayMode, 0, 1);
    eq.SendBandSplit(0, -3);
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], "85 01 F1 07 00 96 01 F4 02 C3 01"); // record 71 at 497: 500 Hz
    EXPECT_EQ(sent[2], "85 01 F8 07 00 96 03 E8 02 C3 01"); // record 72 at 504: 1000 Hz

    sender.Clear();
    store.Set(fields::outDelayMode, 7, 0);
    eq.SendBandSplit(7, 40);
    const int first = OutputChannelFirstRecord(7);
    EXPECT_EQ(store.GetEqBand(first + kOutputSplitHighPassBand).freqHz, 3000);
    EXPECT_EQ(store.GetEqBand(first + kOutputSplitLowPassBand).freqHz, 3500);
}

// The index is kept only as band 13's frequency: the mode change's resend must find the same pair.
TEST_F(EqSenderSplitTest, StoredSplitIsWhatTheModeResendUses) {
    store.Set(fields::outDelayMode, 4, 0);
    eq.SendBandSplit(4, 12);
    const std::vector<std::string> indexed = Sent();
    sender.Clear();
    eq.SendBandSplit(4);
    EXPECT_EQ(Sent(), indexed);
    EXPECT_EQ(store.GetEqBand(OutputChannelFirstRecord(4) + kOutputSplitLowPassBand).freqHz, 2200);
}

TEST_F(EqSenderSplitTest, ChannelsOutsideTheEightSendNothing) {
    eq.SendBandSplit(-1, 3);
    eq.SendBandSplit(8, 3);
    EXPECT_TRUE(sender.Bodies().empty());
}

} // namespace
