#include "link/StoreRestore.h"

#include "RecordingSender.h"
#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "model/EditJournal.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

using namespace orvex;
using namespace orvex::test;

namespace {

std::vector<std::string> Sorted(const RecordingSender& sender) {
    std::vector<std::string> out;
    for (const auto& body : sender.Bodies())
        out.push_back(ToHex(body));
    std::sort(out.begin(), out.end());
    return out;
}

// Two editors side by side: one undoes its edits, the other makes the same way back by hand. The
// processor must not be able to tell them apart.
class StoreRestoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (ParameterStore* store : {&undoing, &byHand}) {
            store->ResetStoreDefaults();
            store->Set(fields::micToA, 1, 100); // mic 2 on effect channel A, as a processor has it
        }
    }

    ParameterStore undoing;
    RecordingSender undoWire;
    CommandEncoder undoCommands{undoing, undoWire};
    EqSender undoEq{undoing, undoCommands};

    ParameterStore byHand;
    RecordingSender handWire;
    CommandEncoder handCommands{byHand, handWire};
    EqSender handEq{byHand, handCommands};

    EditJournal journal;
    const EditJournal::SteadyTime now = std::chrono::steady_clock::now();
};

TEST_F(StoreRestoreTest, UndoSendsWhatTheHandEditBackWouldSendByteForByte) {
    const EqBand oldBand = undoing.GetEqPathBand(eqid::FirstOutput + 2, 3);
    const bool oldRoute = undoing.Get(fields::micToA, 1) == 100;
    const float oldGain = undoing.PositionGain(5);

    // Both editors make the same edits; the first keeps them as one action.
    journal.Begin(undoing, 0, {}, now, {});
    for (auto* side : {&undoCommands, &handCommands}) {
        side->Set(fields::micMasterVolume, 77);
        side->SetMicRoute(1, !oldRoute);
        side->SetCompressor(fields::musicAutoThreshold.slot, -20.f, 4.f, 10.f, 300.f);
        side->SetPositionGain(5, -3.5f);
        side->SetMusicMute(true);
    }
    undoEq.SetPathBand(eqid::FirstOutput + 2, 3, EqBand{6.0f, 2500, 1.4f, 1});
    handEq.SetPathBand(eqid::FirstOutput + 2, 3, EqBand{6.0f, 2500, 1.4f, 1});
    ASSERT_TRUE(journal.End(undoing, now));
    ParameterStore original;
    original.ResetStoreDefaults();
    original.Set(fields::micToA, 1, 100);

    // The way back by hand, through the same setters.
    handWire.Clear();
    handCommands.Set(fields::micMasterVolume, original.Get(fields::micMasterVolume));
    handCommands.SetMicRoute(1, oldRoute);
    handCommands.SetCompressor(fields::musicAutoThreshold.slot, original.Get(fields::musicAutoThreshold),
                               original.Get(fields::musicAutoRatio), original.Get(fields::musicAutoAttack),
                               original.Get(fields::musicAutoRelease));
    handCommands.SetPositionGain(5, oldGain);
    handCommands.SetMusicMute(false);
    handEq.SetPathBand(eqid::FirstOutput + 2, 3, oldBand);

    undoWire.Clear();
    RestoreStoreUnits(journal.Undo(), undoing, undoCommands, undoEq);
    EXPECT_EQ(Sorted(undoWire), Sorted(handWire));
    for (StoreBlock block : kModeFileBlocks)
        EXPECT_EQ(undoing.ReadBlock(block), original.ReadBlock(block)) << static_cast<int>(block);
    // The unmute fades in with its steps apart, as a hand unmute does.
    const auto spaced = [](const RecordingSender& wire) {
        int n = 0;
        for (const auto& m : wire.Messages())
            n += m.gap.count() > 0 ? 1 : 0;
        return n;
    };
    EXPECT_GT(spaced(handWire), 0);
    EXPECT_EQ(spaced(undoWire), spaced(handWire));

    // Redo is the edit again.
    undoWire.Clear();
    RestoreStoreUnits(journal.Redo(), undoing, undoCommands, undoEq);
    EXPECT_EQ(undoing.Get(fields::micMasterVolume), 77);
    EXPECT_EQ(undoing.GetEqPathBand(eqid::FirstOutput + 2, 3).freqHz, 2500);
    EXPECT_EQ(undoing.Get(fields::musicMute), 1);
}

TEST_F(StoreRestoreTest, ASplitPairOutOfStepWithItsDelayModeComesBackAsItWas) {
    // As a processor may hold it: the high-frequency delay mode with a flat (peaking) split pair.
    undoCommands.SetBandSplitResender([this](int channel) { undoEq.SendBandSplit(channel); });
    const int channel = 3;
    const int first = OutputChannelFirstRecord(channel);
    for (int band : {kOutputSplitHighPassBand, kOutputSplitLowPassBand}) {
        EqBand flat = undoing.GetEqBand(first + band);
        flat.type = eqtype::Peaking;
        undoing.SetEqBand(first + band, flat);
    }
    undoing.Set(fields::outDelayMode, channel, 0);
    const StoreImage before = StoreImage::Take(undoing);

    // Whole channel: the pair is sent flat, which it already was.
    journal.Begin(undoing, 0, {}, now, {});
    undoCommands.Set(fields::outDelayMode, channel, 1);
    ASSERT_TRUE(journal.End(undoing, now));
    ASSERT_EQ(journal.Entries().back().changes.size(), 1u);

    // Back to the high frequencies: the mode's setter sends the pair as high- and low-pass, and the pair
    // then goes back as it was, so that the processor holds what it held.
    undoWire.Clear();
    RestoreStoreUnits(journal.Undo(), undoing, undoCommands, undoEq);
    EXPECT_TRUE(DiffStoreImages(before, StoreImage::Take(undoing)).empty());
    const std::vector<std::vector<uint8_t>> bodies = undoWire.Bodies();
    ASSERT_FALSE(bodies.empty());
    // The last records out are the pair as it was.
    int pairRecords = 0;
    for (const auto& body : bodies)
        pairRecords += body.size() > 3 && body[0] == 0x85 ? 1 : 0;
    EXPECT_EQ(pairRecords, 4); // twice each: in the mode's types, then as before
    EXPECT_EQ(undoing.GetEqBand(first + kOutputSplitHighPassBand).type, eqtype::Peaking);
}

TEST_F(StoreRestoreTest, TheRoomComesBackWithItsGeometryAndItsRecordGoesOut) {
    const RoomGeometry before = undoing.Room();
    journal.Begin(undoing, 0, {}, now, {});
    undoing.SetRoomSpeaker(2, {2.35f, 1.0f}); // a point the record cannot hold exactly
    undoing.PackRoomFromFloats();
    undoCommands.WriteRoomRecord();
    ASSERT_TRUE(journal.End(undoing, now));
    undoWire.Clear();
    RestoreStoreUnits(journal.Undo(), undoing, undoCommands, undoEq);
    EXPECT_EQ(undoing.Room(), before);
    ASSERT_EQ(undoWire.Bodies().size(), 1u);
    handCommands.WriteRoomRecord();
    EXPECT_EQ(undoWire.Bodies(), handWire.Bodies());
}

} // namespace
