#include "link/OfflineEdits.h"

#include "RecordingSender.h"
#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace orvex;
using namespace orvex::test;

namespace {

class OfflineEditsTest : public ::testing::Test {
protected:
    static std::vector<std::string> Sorted(const RecordingSender& sender) {
        std::vector<std::string> out;
        for (const auto& body : sender.Bodies())
            out.push_back(ToHex(body));
        std::sort(out.begin(), out.end());
        return out;
    }

    // What read-all does to the store: the processor's image replaces the editor's.
    void ReadBack(const ParameterStore& processor) {
        for (StoreBlock block : kModeFileBlocks)
            store.WriteBlock(block, processor.ReadBlock(block));
    }

    ParameterStore store;
    RecordingSender offline; // where the edits went while the link was down
    CommandEncoder commands{store, offline};
    EqSender eq{store, commands};
    OfflineEdits edits;
};

TEST_F(OfflineEditsTest, EditsComeBackAfterReadAllAndGoOutExactlyAsTheirSettersSentThem) {
    const ParameterStore processor; // the processor's values: the store's when the link went
    edits.Track(store);
    commands.Set(fields::echoLevelA, 30);
    commands.Set(fields::echoLevelA, processor.Get(fields::echoLevelA)); // set back: no edit
    offline.Clear();
    commands.Set(fields::micVolume, 2, 41);
    commands.SetMicRoute(1, false);                                                   // two slots
    commands.SetCompressor(fields::musicAutoThreshold.slot, -20.f, 4.f, 10.f, 300.f); // four slots
    commands.SetFrequencyShift(0, 7);                                                 // and its switch
    eq.SetPathBand(eqid::MicA, 3, EqBand{6.0f, 2500, 1.4f, 1});
    commands.SetPositionGain(5, -3.5f);
    const std::vector<std::string> byHand = Sorted(offline);

    edits.Collect(store);
    ReadBack(processor);
    EXPECT_EQ(store.Get(fields::micVolume, 2), processor.Get(fields::micVolume, 2));
    const std::vector<int> slots = edits.EditedSlots();
    EXPECT_NE(std::find(slots.begin(), slots.end(), fields::micVolume.slot + 2), slots.end());
    EXPECT_EQ(std::find(slots.begin(), slots.end(), fields::echoLevelA.slot), slots.end());

    RecordingSender sent;
    CommandEncoder c{store, sent};
    EqSender e{store, c};
    edits.Apply(store, c, e);
    EXPECT_EQ(store.Get(fields::micVolume, 2), 41);
    EXPECT_EQ(store.GetEqPathBand(eqid::MicA, 3).freqHz, 2500);
    EXPECT_FLOAT_EQ(store.PositionGain(5), -3.5f);
    EXPECT_FALSE(edits.HasEdits());
    // Each setter's messages once: the route pair and the compressor record are not repeated per slot.
    EXPECT_EQ(Sorted(sent), byHand);
}

TEST_F(OfflineEditsTest, ASecondDropKeepsTheFirstBaselineAndOnlyCollectedEditsCount) {
    const ParameterStore processor;
    edits.Track(store);
    commands.Set(fields::micVolume, 0, 12);
    edits.Track(store); // the link went again before it came back: the first baseline holds
    edits.Collect(store);
    EXPECT_EQ(edits.EditedSlots(), std::vector<int>{fields::micVolume.slot});
    // After read-all, with no drop tracked, nothing the user does counts as an offline edit.
    ReadBack(processor);
    commands.Set(fields::micVolume, 1, 13);
    edits.Collect(store);
    EXPECT_EQ(edits.EditedSlots(), std::vector<int>{fields::micVolume.slot});
    edits.Clear();
    EXPECT_FALSE(edits.HasEdits());
}

} // namespace
