#include "model/EditJournal.h"

#include "model/EqPaths.h"
#include "model/ParameterStore.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace orvex;
using namespace std::chrono_literals;

namespace {

class EditJournalTest : public ::testing::Test {
protected:
    // One action by control `key` at `at` that sets the mic master volume.
    bool Step(uint64_t key, std::chrono::milliseconds at, int volume) {
        journal.Begin(store, key, {"话筒音量", "Mic volume"}, t0 + at, wall);
        store.Set(fields::micMasterVolume, volume);
        return journal.End(store, t0 + at);
    }

    // What the editor does with an undo's values, for the slots these cases change.
    void Apply(const std::vector<StoreUnitValue>& values) {
        for (const StoreUnitValue& value : values)
            store.WriteBlockAt(StoreBlock::ParamBlock, static_cast<std::size_t>(value.index) * 4, value.bytes);
    }

    ParameterStore store;
    EditJournal journal;
    const EditJournal::SteadyTime t0 = std::chrono::steady_clock::now();
    const EditJournal::WallTime wall = std::chrono::system_clock::now();
};

TEST_F(EditJournalTest, KeyStepsOnOneControlJoinWhileTheyComeWithinTheBurstGap) {
    store.Set(fields::micMasterVolume, 75);
    EXPECT_TRUE(Step(7, 0ms, 77));
    EXPECT_TRUE(Step(7, 500ms, 79));
    EXPECT_TRUE(Step(7, 1000ms, 81)); // 500 ms after the step before: still the same burst
    EXPECT_TRUE(Step(7, 1700ms, 83)); // 700 ms: a new action
    EXPECT_TRUE(Step(9, 1800ms, 85)); // another control: a new action
    ASSERT_EQ(journal.Entries().size(), 3u);

    auto values = journal.Undo();
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].kind, StoreUnitKind::Slot);
    EXPECT_EQ(values[0].index, fields::micMasterVolume.slot);
    EXPECT_EQ(values[0].bytes, (std::vector<uint8_t>{83, 0, 0, 0}));
    EXPECT_EQ(journal.Undo()[0].bytes, (std::vector<uint8_t>{81, 0, 0, 0}));
    EXPECT_EQ(journal.Undo()[0].bytes, (std::vector<uint8_t>{75, 0, 0, 0}));
    EXPECT_FALSE(journal.CanUndo());
    EXPECT_EQ(journal.Redo()[0].bytes, (std::vector<uint8_t>{81, 0, 0, 0}));
    EXPECT_EQ(journal.Current(), 1u);
}

TEST_F(EditJournalTest, NothingChangedKeepsNoEntryAndABurstBackToItsStartLeavesNone) {
    store.Set(fields::micMasterVolume, 100);
    EXPECT_FALSE(Step(3, 0ms, 100)); // at its limit: nothing to undo
    EXPECT_TRUE(journal.Entries().empty());
    EXPECT_TRUE(Step(3, 100ms, 98));
    EXPECT_TRUE(Step(3, 200ms, 100) == false); // back where the burst began: the entry goes
    EXPECT_TRUE(journal.Entries().empty());
    EXPECT_FALSE(journal.CanUndo());
}

TEST_F(EditJournalTest, ANewEditAfterAnUndoDropsWhatCouldHaveBeenRedone) {
    Step(1, 0ms, 10);
    Step(2, 10ms, 20);
    Apply(journal.Undo());
    EXPECT_TRUE(journal.CanRedo());
    Step(1, 20ms, 30); // key 1 is not the newest entry's control once undone: no join
    EXPECT_FALSE(journal.CanRedo());
    ASSERT_EQ(journal.Entries().size(), 2u);
    EXPECT_EQ(journal.Undo()[0].bytes, (std::vector<uint8_t>{10, 0, 0, 0}));
}

TEST_F(EditJournalTest, ABreakEndsTheHistoryAndSaysWhy) {
    Step(1, 0ms, 10);
    Step(2, 10ms, 20);
    Apply(journal.Undo());
    journal.Break({"读取全部", "Read all"}, wall);
    ASSERT_EQ(journal.Entries().size(), 2u); // the undone one is gone, the boundary follows the first
    EXPECT_EQ(journal.Entries().back().kind, JournalEntry::Kind::Boundary);
    EXPECT_EQ(journal.Entries().back().text.en, "Read all");
    EXPECT_FALSE(journal.CanUndo());
    EXPECT_FALSE(journal.CanRedo());
    // A key burst never reaches over a boundary.
    Step(1, 20ms, 30);
    EXPECT_EQ(journal.Entries().size(), 3u);
    EXPECT_EQ(journal.Undo()[0].bytes, (std::vector<uint8_t>{10, 0, 0, 0}));
    EXPECT_FALSE(journal.CanUndo());
}

// A change from outside repeated with nothing of the user's between is one boundary, not a list
// of them; an edit between makes the next one a boundary of its own.
TEST_F(EditJournalTest, TheSameBreakAgainStaysOneEntry) {
    Step(1, 0ms, 10);
    journal.Break({"手机遥控", "Phone remote"}, wall);
    journal.Break({"手机遥控", "Phone remote"}, wall + 1s);
    ASSERT_EQ(journal.Entries().size(), 2u);
    EXPECT_EQ(journal.Entries().back().when, wall + 1s);
    journal.Break({"读取全部", "Read all"}, wall);
    EXPECT_EQ(journal.Entries().size(), 3u);
    Step(1, 10ms, 20);
    journal.Break({"读取全部", "Read all"}, wall);
    EXPECT_EQ(journal.Entries().size(), 5u);
}

TEST_F(EditJournalTest, AnActionOpenWhenAnotherBeginsStaysTheOneThatCounts) {
    journal.Begin(store, 0, {"复位", "Reset"}, t0, wall);
    journal.Begin(store, 5, {"内层", "Inner"}, t0, wall); // a dialog's button inside the press
    store.Set(fields::micMasterVolume, 50);
    EXPECT_FALSE(journal.CanUndo()); // nothing to undo while an action is open
    EXPECT_TRUE(journal.End(store, t0));
    EXPECT_FALSE(journal.End(store, t0));
    ASSERT_EQ(journal.Entries().size(), 1u);
    EXPECT_EQ(journal.Entries()[0].text.en, "Reset");
}

TEST_F(EditJournalTest, TheOldestEntriesGoWhenTheCountOrTheMemoryIsExceeded) {
    EditJournal small({.maxEntries = 3, .maxBytes = 1u << 20, .burstGap = 600ms});
    for (int i = 1; i <= 5; ++i) {
        small.Begin(store, 0, {}, t0, wall);
        store.Set(fields::micMasterVolume, i);
        small.End(store, t0);
    }
    ASSERT_EQ(small.Entries().size(), 3u);
    EXPECT_EQ(small.Undo()[0].bytes[0], 4);
    EXPECT_EQ(small.Undo()[0].bytes[0], 3);
    EXPECT_EQ(small.Undo()[0].bytes[0], 2);
    EXPECT_FALSE(small.CanUndo());

    // A hundred band records are about 7 KB an action: a 20 KB bound keeps the newest two.
    EditJournal tight({.maxEntries = 1000, .maxBytes = 20000, .burstGap = 600ms});
    for (int i = 0; i < 3; ++i) {
        tight.Begin(store, 0, {}, t0, wall);
        for (int r = 0; r < 100; ++r)
            store.SetEqBand(r, EqBand{static_cast<float>(i + 1), 100 + r, 1.0f, 1});
        tight.End(store, t0);
    }
    EXPECT_LE(tight.Bytes(), 20000u);
    ASSERT_EQ(tight.Entries().size(), 2u);
    EXPECT_EQ(tight.Undo().size(), 100u);
    EXPECT_EQ(tight.Undo().size(), 100u);
    EXPECT_FALSE(tight.CanUndo());
}

TEST_F(EditJournalTest, EqBandsNameTheirEqualiserAndBand) {
    journal.Begin(store, 0, {"均衡图", "EQ graph"}, t0, wall);
    store.SetEqPathBand(eqid::FirstOutput + 2, 3, EqBand{4.0f, 900, 2.0f, 1});
    journal.End(store, t0);
    EXPECT_EQ(journal.NextUndo()->text.en, "CH3 EQ band 4");
    EXPECT_EQ(journal.NextUndo()->text.zh, "通道3 均衡 第4段");

    journal.Begin(store, 0, {"复位", "Reset"}, t0, wall);
    store.SetEqPathBand(eqid::MicB, 0, EqBand{1.0f, 40, 1.0f, 1});
    store.SetEqPathBand(eqid::MicB, 1, EqBand{1.0f, 80, 1.0f, 1});
    journal.End(store, t0);
    EXPECT_EQ(journal.NextUndo()->text.en, "Mic B EQ");

    // Changes of several kinds keep the control's name.
    journal.Begin(store, 0, {"粘贴", "Paste"}, t0, wall);
    store.SetEqPathBand(eqid::Music, 0, EqBand{2.0f, 50, 1.0f, 1});
    store.Set(fields::micMasterVolume, 3);
    journal.End(store, t0);
    EXPECT_EQ(journal.NextUndo()->text.en, "Paste");
}

TEST_F(EditJournalTest, TheRoomAndTheMachineSettingsAreUnitsOfTheirOwn) {
    store.ResetStoreDefaults();
    const RoomGeometry room = store.Room();
    journal.Begin(store, 0, {}, t0, wall);
    store.SetRoomListener({1.5f, -2.0f});
    MachineSettingsRecord settings = store.WorkingMachineSettings();
    settings[3] ^= 0x01;
    store.SetWorkingMachineSettings(settings);
    store.CommitMachineSettings();
    journal.End(store, t0);
    const auto values = journal.Undo();
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].kind, StoreUnitKind::Room);
    RoomRecordBytes record{};
    RoomGeometry before;
    ASSERT_TRUE(RoomFromUnitBytes(values[0].bytes, record, before));
    EXPECT_EQ(before, room);
    EXPECT_EQ(values[1].kind, StoreUnitKind::MachineSettings);
    EXPECT_EQ(values[1].bytes[3], static_cast<uint8_t>(settings[3] ^ 0x01));
}

} // namespace
