#include "model/ParameterStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <numeric>
#include <set>
#include <thread>
#include <type_traits>
#include <vector>

namespace orvex {
namespace {

std::size_t At(int i) {
    return static_cast<std::size_t>(i);
}

// ---- field table ----------------------------------------------------------------------------------

static_assert(std::is_same_v<decltype(std::declval<ParameterStore&>().Get(fields::echoTimeA)), float>);
static_assert(std::is_same_v<decltype(std::declval<ParameterStore&>().Get(fields::echoLevelA)), int32_t>);
static_assert(std::is_same_v<decltype(std::declval<ParameterStore&>().Get(fields::outDelayMs, 0)), float>);

TEST(StoreFieldsTest, NamesAreUniqueAndSlotsTileTheBlock) {
    std::set<std::string_view> names;
    std::array<int, kParamSlotCount> owners{};
    for (const StoreField& field : StoreFields()) {
        EXPECT_TRUE(names.insert(field.name).second) << field.name;
        EXPECT_TRUE(field.count == 1 || field.count == 4 || field.count == 8) << field.name;
        EXPECT_LT(field.minValue, field.maxValue) << field.name;
        for (int i = 0; i < field.count; ++i) {
            ASSERT_LT(field.slot + i, kParamSlotCount) << field.name;
            ++owners[At(field.slot + i)];
        }
    }
    for (int slot = 0; slot < kParamSlotCount; ++slot) {
        EXPECT_EQ(owners[At(slot)], (slot == 6 || slot == 14) ? 0 : 1) << "slot " << slot;
    }
}

struct FieldCase {
    const char* name;
    int slot;
    int count;
    FieldType type;
};

class StoreFieldLookupTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(StoreFieldLookupTest, FindsFieldByName) {
    const FieldCase& c = GetParam();
    const StoreField* field = FindStoreField(c.name);
    ASSERT_NE(field, nullptr) << c.name;
    EXPECT_EQ(field->slot, c.slot);
    EXPECT_EQ(field->count, c.count);
    EXPECT_EQ(field->type, c.type);
    int index = -1;
    EXPECT_EQ(FindStoreFieldBySlot(c.slot + c.count - 1, &index), field);
    EXPECT_EQ(index, c.count - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StoreFieldLookupTest,
    ::testing::Values(
        FieldCase{"micMasterVolume", 0, 1, FieldType::Int}, FieldCase{"micToA", 1, 4, FieldType::Int},
        FieldCase{"shiftFreqA", 7, 1, FieldType::Int}, FieldCase{"micToB", 9, 4, FieldType::Int},
        FieldCase{"micGate", 23, 4, FieldType::Int}, FieldCase{"echoTimeA", 32, 1, FieldType::Float},
        FieldCase{"echoLevelB", 36, 1, FieldType::Int}, FieldCase{"echoPredelayB", 37, 1, FieldType::Float},
        FieldCase{"echoTimeB", 38, 1, FieldType::Float}, FieldCase{"echoDecayB", 40, 1, FieldType::Int},
        FieldCase{"reverbTimeA", 46, 1, FieldType::Float}, FieldCase{"reverbLevelB", 48, 1, FieldType::Int},
        FieldCase{"reverbTimeB", 50, 1, FieldType::Float}, FieldCase{"musicSource", 63, 1, FieldType::Int},
        FieldCase{"outRole", 97, 8, FieldType::Int}, FieldCase{"outCompThreshold", 121, 8, FieldType::Float},
        FieldCase{"outDelayMs", 153, 8, FieldType::Float}, FieldCase{"outPhaseInvert", 185, 8, FieldType::Int},
        FieldCase{"musicAgcLevel", 194, 1, FieldType::Float}, FieldCase{"hdmi4Volume", 198, 1, FieldType::Int},
        FieldCase{"outSurroundVolume", 199, 8, FieldType::Int}, FieldCase{"micBassBoostOnCopy", 208, 1, FieldType::Int},
        FieldCase{"musicAutoRelease", 214, 1, FieldType::Float}, FieldCase{"exciterVolume", 225, 1, FieldType::Float},
        FieldCase{"exciterOn", 227, 1, FieldType::Int}));

TEST(StoreFieldsTest, UnknownNamesAndReservedSlotsFindNothing) {
    EXPECT_EQ(FindStoreField("echoLevel"), nullptr);
    EXPECT_EQ(FindStoreField("EchoLevelA"), nullptr); // names are exact
    EXPECT_EQ(FindStoreField(""), nullptr);
    EXPECT_EQ(FindStoreFieldBySlot(6), nullptr);
    EXPECT_EQ(FindStoreFieldBySlot(14), nullptr);
    EXPECT_EQ(FindStoreFieldBySlot(kParamSlotCount), nullptr);
    EXPECT_EQ(FindStoreFieldBySlot(-1), nullptr);
}

TEST(StoreFieldsTest, RangesOfTheCodedFields) {
    auto range = [](const char* name) {
        const StoreField* f = FindStoreField(name);
        return f ? std::pair{f->minValue, f->maxValue} : std::pair{-1.0, -1.0};
    };
    EXPECT_EQ(range("musicSource"), (std::pair{0.0, 5.0}));
    EXPECT_EQ(range("outRole"), (std::pair{0.0, 7.0}));
    EXPECT_EQ(range("hdmiInput"), (std::pair{0.0, 3.0}));
    for (const StoreField& f : StoreFields()) {
        if (f.kind == FieldKind::Switch) {
            EXPECT_EQ(std::pair(f.minValue, f.maxValue), (std::pair{0.0, 1.0})) << f.name;
        }
        if (f.kind == FieldKind::Percent) {
            EXPECT_EQ(std::pair(f.minValue, f.maxValue), (std::pair{0.0, 100.0})) << f.name;
        }
        // Only floats may carry float kinds and vice versa, or a tool would write the wrong bits.
        if (f.kind == FieldKind::Float100 || f.kind == FieldKind::Ratio || f.kind == FieldKind::Float) {
            EXPECT_EQ(f.type, FieldType::Float) << f.name;
        }
        if (f.kind == FieldKind::Percent || f.kind == FieldKind::Switch || f.kind == FieldKind::Choice) {
            EXPECT_EQ(f.type, FieldType::Int) << f.name;
        }
    }
}

// ---- the store ------------------------------------------------------------------------------------

class ParameterStoreTest : public ::testing::Test {
protected:
    void SetUp() override { store.ResetStoreDefaults(); }

    // A byte pattern with no two neighbouring bytes alike, so a shifted or reordered copy shows.
    static std::vector<uint8_t> Pattern(std::size_t size, uint8_t seed) {
        std::vector<uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
        }
        return bytes;
    }

    ParameterStore store;
};

TEST(ParameterStoreConstructionTest, NewStoreIsZero) {
    ParameterStore fresh;
    for (StoreBlock block : kModeFileBlocks) {
        const std::vector<uint8_t> bytes = fresh.ReadBlock(block);
        EXPECT_EQ(bytes.size(), At(StoreBlockSize(block)));
        EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));
    }
    EXPECT_EQ(fresh.Identity().moduleName, "");
    EXPECT_EQ(fresh.Identity().commandSetVersion, 1);
    EXPECT_EQ(fresh.CommittedMachineSettings(), MachineSettingsRecord{});
    EXPECT_EQ(fresh.ModeLabel(0), "");
}

TEST_F(ParameterStoreTest, DefaultSlotsAreZeroExceptTheEchoSettings) {
    for (int slot = 0; slot < kParamSlotCount; ++slot) {
        if (slot == fields::echoTimeA.slot || slot == fields::echoTimeB.slot || slot == fields::echoStartA.slot ||
            slot == fields::echoStartB.slot) {
            continue;
        }
        EXPECT_EQ(store.GetSlotWord(slot), 0u) << "slot " << slot;
    }
    EXPECT_EQ(store.Get(fields::echoTimeA), 217.0f);
    EXPECT_EQ(store.Get(fields::echoTimeB), 217.0f);
    EXPECT_EQ(store.Get(fields::echoStartA), 60);
    EXPECT_EQ(store.Get(fields::echoStartB), 60);
}

TEST_F(ParameterStoreTest, DefaultIdentityLabelsAndSettings) {
    const DeviceIdentity id = store.Identity();
    EXPECT_EQ(id.moduleName, "Calyxon");
    EXPECT_EQ(id.mcuVersion, "2012-10-03");
    EXPECT_EQ(id.dspVersion, "2012-11-30");
    EXPECT_EQ(id.commandSetVersion, 1);
    EXPECT_FALSE(store.IsAcceptedProcessor()); // the start-up version is not the one read-all accepts
    for (int m = 0; m < kDeviceModeCount; ++m) {
        EXPECT_EQ(store.ModeLabel(m), "M" + std::to_string(m + 1));
    }
    EXPECT_EQ(store.CommittedMachineSettings(), (MachineSettingsRecord{0, 0, 0, 99, 99, 99, 99, 0, 0, 0, 0, 0, 0, 0}));
    // The working copy was all zero, so an Apply before any reply sent maximum volumes of 0.
    EXPECT_EQ(store.WorkingMachineSettings(), store.CommittedMachineSettings());
    EXPECT_EQ(store.GetRoomRecordBytes(), kDefaultRoomRecord);
    EXPECT_EQ(store.Room(), UnpackRoomRecord(kDefaultRoomRecord));
    const std::vector<uint8_t> gains = store.ReadBlock(StoreBlock::PositionGainTable);
    EXPECT_TRUE(std::all_of(gains.begin(), gains.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(ParameterStoreTest, ResetDiscardsEarlierState) {
    store.Set(fields::micMasterVolume, 77);
    store.SetSlotWord(6, 0xDEADBEEF);
    store.SetModifiedFlag(true);
    store.SetDeviceMode(2);
    const uint8_t levels[] = {1, 2, 3};
    store.SetLevelRecord(levels);
    store.SetEqBand(kMusicLowRecord, {3.0f, 80, 0.7f, 2});
    store.SetModuleName("Other");

    store.ResetStoreDefaults();
    EXPECT_EQ(store.Get(fields::micMasterVolume), 0);
    EXPECT_EQ(store.GetSlotWord(6), 0u);
    EXPECT_FALSE(store.ModifiedFlag());
    EXPECT_EQ(store.DeviceMode(), 0);
    EXPECT_EQ(store.GetLevelRecord(), LevelRecord{});
    EXPECT_EQ(store.GetEqRecordBytes(kMusicLowRecord), EqBandBytes{});
    EXPECT_EQ(store.Identity().moduleName, "Calyxon");
}

struct DefaultBandCase {
    int identity;
    int band;
    EqBand expected;
};

class DefaultBandTest : public ::testing::TestWithParam<DefaultBandCase> {
protected:
    void SetUp() override { store.ResetStoreDefaults(); }
    ParameterStore store;
};

TEST_P(DefaultBandTest, MatchesStartUpTable) {
    const DefaultBandCase& c = GetParam();
    const EqBand band = store.GetEqPathBand(c.identity, c.band);
    EXPECT_FLOAT_EQ(band.gainDb, c.expected.gainDb);
    EXPECT_EQ(band.freqHz, c.expected.freqHz);
    EXPECT_FLOAT_EQ(band.q, c.expected.q);
    EXPECT_EQ(band.type, c.expected.type);
}

INSTANTIATE_TEST_SUITE_P(Paths, DefaultBandTest,
                         ::testing::Values(DefaultBandCase{eqid::MicA, 0, {0.0f, 31, 1.414f, 1}},
                                           DefaultBandCase{eqid::MicB, 9, {0.0f, 16000, 1.414f, 1}},
                                           DefaultBandCase{eqid::Music, 5, {0.0f, 1000, 1.414f, 1}},
                                           DefaultBandCase{eqid::FirstOutput, 9, {0.0f, 16000, 1.414f, 1}},
                                           DefaultBandCase{eqid::LastOutput, 12, {0.0f, 16000, 1.414f, 1}},
                                           DefaultBandCase{eqid::FirstOutput + 3, 13, {0.0f, 500, 0.707f, 1}},
                                           DefaultBandCase{eqid::FirstOutput + 3, 14, {0.0f, 1000, 0.707f, 1}},
                                           DefaultBandCase{eqid::EchoA, 0, {0.0f, 61, 1.414f, 1}},
                                           DefaultBandCase{eqid::EchoA, 5, {0.0f, 2300, 1.414f, 1}},
                                           DefaultBandCase{eqid::EchoA, 6, {0.0f, 5000, 0.707f, 2}},
                                           DefaultBandCase{eqid::EchoB, 0, {0.0f, 200, 0.707f, 3}},
                                           DefaultBandCase{eqid::EchoB, 1, {0.0f, 160, 1.414f, 1}},
                                           DefaultBandCase{eqid::EchoB, 6, {3.0f, 5000, 0.707f, 5}},
                                           DefaultBandCase{eqid::ReverbA, 0, {0.0f, 120, 0.707f, 3}},
                                           DefaultBandCase{eqid::ReverbA, 6, {-6.0f, 5000, 0.707f, 5}},
                                           DefaultBandCase{eqid::ReverbB, 0, {0.0f, 100, 0.707f, 3}},
                                           DefaultBandCase{eqid::ReverbB, 2, {0.0f, 250, 1.414f, 1}},
                                           DefaultBandCase{eqid::ReverbB, 6, {-3.0f, 3000, 0.707f, 5}}));

TEST_F(ParameterStoreTest, DefaultBandTableHasNoGapsAndAZeroMusicLowRecord) {
    for (int r = 0; r < kMusicLowRecord; ++r) {
        const EqBand band = store.GetEqBand(r);
        EXPECT_NE(band.freqHz, 0) << "record " << r;
        EXPECT_NE(band.type, 0) << "record " << r;
    }
    EXPECT_EQ(store.GetEqRecordBytes(kMusicLowRecord), EqBandBytes{});
}

TEST_F(ParameterStoreTest, TypedFieldsReadBackWhatWasSet) {
    store.Set(fields::echoLevelA, 55);
    store.Set(fields::reverbTimeB, 42.5f);
    store.Set(fields::outDelayMs, 7, 12.25f);
    store.Set(fields::micToB, 0, 100);
    EXPECT_EQ(store.Get(fields::echoLevelA), 55);
    EXPECT_EQ(store.Get(fields::reverbTimeB), 42.5f);
    EXPECT_EQ(store.Get(fields::outDelayMs, 7), 12.25f);
    EXPECT_EQ(store.GetSlotFloat(160), 12.25f);
    EXPECT_EQ(store.GetSlotInt(9), 100);
    EXPECT_EQ(store.GetSlotWord(fields::reverbTimeB.slot), std::bit_cast<uint32_t>(42.5f));
    store.SetSlotInt(fields::musicParam21.slot, -5);
    EXPECT_EQ(store.Get(fields::musicParam21), -5);
}

TEST_F(ParameterStoreTest, OutOfRangeIndexTouchesNoNeighbour) {
    // outDelayMs[8] would be outDelayOff[0]; micToA[-1] would be micMasterVolume.
    store.Set(fields::outDelayOff, 0, 1);
    store.Set(fields::micMasterVolume, 80);
    const std::vector<uint8_t> before = store.ReadBlock(StoreBlock::ParamBlock);

    store.Set(fields::outDelayMs, 8, 99.0f);
    store.Set(fields::micToA, -1, 100);
    store.SetSlotWord(kParamSlotCount, 1);
    store.SetSlotFloat(-1, 1.0f);
    EXPECT_EQ(store.ReadBlock(StoreBlock::ParamBlock), before);

    EXPECT_EQ(store.Get(fields::outDelayMs, 8), 0.0f);
    EXPECT_EQ(store.Get(fields::micToA, -1), 0);
    EXPECT_EQ(store.GetSlotWord(kParamSlotCount), 0u);
}

TEST_F(ParameterStoreTest, ParamBlockIsLittleEndianSlotWords) {
    store.Set(fields::micMasterVolume, 0x01020304);
    const std::vector<uint8_t> block = store.ReadBlock(StoreBlock::ParamBlock);
    ASSERT_EQ(block.size(), 912u);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 4), (std::vector<uint8_t>{4, 3, 2, 1}));
    // echoTimeA = 217.0f = 0x43590000 at slot 32, bytes 128..131.
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 128, block.begin() + 132),
              (std::vector<uint8_t>{0x00, 0x00, 0x59, 0x43}));
    // echoStartA = 60 at slot 33.
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 132, block.begin() + 136), (std::vector<uint8_t>{60, 0, 0, 0}));
}

class StoreBlockRoundTripTest : public ::testing::TestWithParam<StoreBlock> {};

TEST_P(StoreBlockRoundTripTest, WrittenBytesReadBackExactly) {
    ParameterStore store;
    store.ResetStoreDefaults();
    const StoreBlock block = GetParam();
    std::vector<uint8_t> bytes(At(StoreBlockSize(block)));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(0x5A ^ (i * 13 + (i >> 8)));
    }
    EXPECT_EQ(store.WriteBlock(block, bytes), bytes.size());
    EXPECT_EQ(store.ReadBlock(block), bytes);

    std::vector<uint8_t> out(bytes.size() + 5, 0xEE);
    EXPECT_EQ(store.ReadBlock(block, out), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin()));
    EXPECT_EQ(out.back(), 0xEE);
}

INSTANTIATE_TEST_SUITE_P(ModeFileBlocks, StoreBlockRoundTripTest, ::testing::ValuesIn(kModeFileBlocks));

TEST_F(ParameterStoreTest, ReservedSlotsSurviveTheParamBlock) {
    std::vector<uint8_t> block = store.ReadBlock(StoreBlock::ParamBlock);
    const uint8_t marks[] = {0x11, 0x22, 0x33, 0x44};
    std::copy(std::begin(marks), std::end(marks), block.begin() + 6 * 4);
    std::copy(std::begin(marks), std::end(marks), block.begin() + 14 * 4);
    store.WriteBlock(StoreBlock::ParamBlock, block);
    EXPECT_EQ(store.GetSlotWord(6), 0x44332211u);
    EXPECT_EQ(store.GetSlotWord(14), 0x44332211u);
    EXPECT_EQ(store.ReadBlock(StoreBlock::ParamBlock), block);
}

TEST_F(ParameterStoreTest, ShortBlockWriteKeepsTheTail) {
    // An old mode file carries 784 bytes of the parameter block; slots 196.. keep their values.
    store.Set(fields::outSurroundVolume, 3, 42);
    store.Set(fields::exciterOn, 1);
    const std::vector<uint8_t> head = Pattern(784, 1);
    EXPECT_EQ(store.WriteBlock(StoreBlock::ParamBlock, head), 784u);
    const std::vector<uint8_t> block = store.ReadBlock(StoreBlock::ParamBlock);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), block.begin()));
    EXPECT_EQ(store.Get(fields::outSurroundVolume, 3), 42);
    EXPECT_EQ(store.Get(fields::exciterOn), 1);
}

TEST_F(ParameterStoreTest, BlockWritesAreBoundedToTheBlock) {
    const std::vector<uint8_t> tooLong = Pattern(40, 9);
    EXPECT_EQ(store.WriteBlock(StoreBlock::PositionGainTable, tooLong), 32u);
    EXPECT_EQ(store.ReadBlock(StoreBlock::PositionGainTable),
              std::vector<uint8_t>(tooLong.begin(), tooLong.begin() + 32));

    const std::vector<uint8_t> eqBefore = store.ReadBlock(StoreBlock::EqBandTable);
    EXPECT_EQ(store.WriteBlockAt(StoreBlock::EqBandTable, 1253, tooLong), 0u);
    EXPECT_EQ(store.WriteBlockAt(StoreBlock::EqBandTable, 100000, tooLong), 0u);
    EXPECT_EQ(store.ReadBlock(StoreBlock::EqBandTable), eqBefore);

    EXPECT_EQ(store.WriteBlockAt(StoreBlock::EqBandTable, 1246, tooLong), 7u);
    EXPECT_EQ(store.GetEqRecordBytes(kMusicLowRecord), (EqBandBytes{9, 16, 23, 30, 37, 44, 51}));

    EXPECT_EQ(store.WriteBlock(static_cast<StoreBlock>(9), tooLong), 0u);
    EXPECT_TRUE(store.ReadBlock(static_cast<StoreBlock>(0)).empty());
}

TEST_F(ParameterStoreTest, ParamBlockWriteAtAnOffsetChangesOnlyThoseBytes) {
    // A memory reply may start in the middle of a slot.
    store.Set(fields::micMasterVolume, 0x01020304);
    const uint8_t bytes[] = {0xAA, 0xBB};
    EXPECT_EQ(store.WriteBlockAt(StoreBlock::ParamBlock, 3, bytes), 2u);
    EXPECT_EQ(store.GetSlotWord(0), 0xAA020304u);
    EXPECT_EQ(store.GetSlotWord(1), 0x000000BBu);
}

TEST_F(ParameterStoreTest, LoadingTheRoomRecordRecomputesTheGeometry) {
    RoomRecordBytes record = kDefaultRoomRecord;
    record[0] = 6;
    record[2] = 0x85; // listener x -0.5
    store.WriteBlock(StoreBlock::RoomRecord, record);
    EXPECT_EQ(store.Room().width, 6);
    EXPECT_EQ(store.Room().listener.x, -0.5f);

    const uint8_t speaker1 = 0x14; // L at x = 2.0
    store.WriteBlockAt(StoreBlock::RoomRecord, 4, std::span(&speaker1, 1));
    EXPECT_EQ(store.Room().speakers[0].x, 2.0f);

    store.SetRoomRecordBytes(kDefaultRoomRecord);
    EXPECT_EQ(store.Room(), UnpackRoomRecord(kDefaultRoomRecord));
}

TEST_F(ParameterStoreTest, EditedGeometryReachesTheRecordOnlyWhenPacked) {
    store.SetRoomSize(5, 6);
    store.SetRoomListener({0.3f, -0.2f});
    store.SetRoomSpeaker(7, {2.0f, 0.0f});
    store.SetRoomSpeaker(8, {9.0f, 9.0f}); // no such speaker
    EXPECT_EQ(store.GetRoomRecordBytes(), kDefaultRoomRecord);

    const RoomRecordBytes packed = store.PackRoomFromFloats();
    EXPECT_EQ(store.GetRoomRecordBytes(), packed);
    EXPECT_EQ(packed[0], 5);
    EXPECT_EQ(packed[1], 6);
    EXPECT_EQ(packed[2], 0x03);
    EXPECT_EQ(packed[3], 0x82);
    EXPECT_EQ(packed[18], 0x14);
    EXPECT_EQ(packed[19], 0x80);
}

TEST_F(ParameterStoreTest, PositionGainsAreBigEndianFloats) {
    store.SetPositionGain(2, -3.0f); // 0xC0400000
    store.SetPositionGain(8, 5.0f);  // no such channel
    const std::vector<uint8_t> table = store.ReadBlock(StoreBlock::PositionGainTable);
    std::vector<uint8_t> expected(32, 0);
    expected[8] = 0xC0;
    expected[9] = 0x40;
    EXPECT_EQ(table, expected);
    EXPECT_EQ(store.PositionGain(2), -3.0f);
    EXPECT_EQ(store.PositionGain(-1), 0.0f);
}

TEST_F(ParameterStoreTest, BassBoostKeepsTheTopHalfOfTheFloat) {
    store.SetBassBoostLevel(-12.5f); // 0xC1480000
    EXPECT_EQ(store.ReadBlock(StoreBlock::BassBoostRecord), (std::vector<uint8_t>{0xC1, 0x48}));
    EXPECT_EQ(store.BassBoostLevel(), -12.5f);

    store.SetBassBoostLevel(-12.3f); // 0xC144CCCD: the low half is lost
    EXPECT_EQ(store.ReadBlock(StoreBlock::BassBoostRecord), (std::vector<uint8_t>{0xC1, 0x44}));
    EXPECT_EQ(store.BassBoostLevel(), std::bit_cast<float>(0xC1440000u));

    store.SetLastBassBoostLevel(-7.0f);
    EXPECT_EQ(store.LastBassBoostLevel(), -7.0f);
    EXPECT_EQ(store.ReadBlock(StoreBlock::BassBoostRecord), (std::vector<uint8_t>{0xC1, 0x44}));
}

TEST_F(ParameterStoreTest, EqBandsByRecordAndByIdentity) {
    const EqBand band{-4.5f, 777, 2.0f, 4};
    store.SetEqPathBand(eqid::EchoB, 0, band);
    EXPECT_EQ(store.GetEqBand(27), band);
    EXPECT_EQ(store.GetEqRecordBytes(27), PackEqBand(band));

    store.SetEqPathBand(eqid::FirstOutput + 1, kOutputSplitLowPassBand, band);
    EXPECT_EQ(store.GetEqBand(OutputChannelFirstRecord(1) + 14), band);

    const std::vector<uint8_t> before = store.ReadBlock(StoreBlock::EqBandTable);
    store.SetEqBand(kEqRecordCount, band);
    store.SetEqRecordBytes(-1, PackEqBand(band));
    store.SetEqPathBand(eqid::MicA, 10, band);
    store.SetEqPathBand(eqid::Count, 0, band);
    EXPECT_EQ(store.ReadBlock(StoreBlock::EqBandTable), before);
    EXPECT_EQ(store.GetEqBand(kEqRecordCount), EqBand{});

    store.ClearEqTable();
    const std::vector<uint8_t> cleared = store.ReadBlock(StoreBlock::EqBandTable);
    EXPECT_TRUE(std::all_of(cleared.begin(), cleared.end(), [](uint8_t b) { return b == 0; }));
}

// ---- CopyEqPath -----------------------------------------------------------------------------------

class CopyEqPathTest : public ParameterStoreTest {
protected:
    // Gives every band of an identity a distinct record so copies can be traced.
    void Mark(int identity, int seed) {
        const EqPathInfo info = EqPathForIdentity(identity);
        for (int b = 0; b < info.recordCount; ++b) {
            store.SetEqPathBand(identity, b, {static_cast<float>(b % 10) - 5.0f, seed + b, 0.5f + 0.1f * b, 1});
        }
    }
};

TEST_F(CopyEqPathTest, MicToReverbCopiesTheSevenBandsItHas) {
    Mark(eqid::MicA, 100);
    const EqBandBytes reverbB0 = store.GetEqRecordBytes(EqPathForIdentity(eqid::ReverbB).firstRecord);
    ASSERT_TRUE(store.CopyEqPath(eqid::MicA, eqid::ReverbA));
    for (int b = 0; b < 7; ++b) {
        EXPECT_EQ(store.GetEqPathBand(eqid::ReverbA, b), store.GetEqPathBand(eqid::MicA, b)) << "band " << b;
    }
    EXPECT_EQ(store.GetEqRecordBytes(EqPathForIdentity(eqid::ReverbB).firstRecord), reverbB0);
}

TEST_F(CopyEqPathTest, InputToOutputFlattensTheHiddenSections) {
    Mark(eqid::MicB, 200);
    store.SetEqPathBand(eqid::MicB, 9, {6.0f, 12345, 3.21f, eqtype::HighShelf});
    const int output = eqid::FirstOutput + 2;
    const EqBandBytes split13 = store.GetEqRecordBytes(EqIdentityRecord(output, 13));
    const EqBandBytes split14 = store.GetEqRecordBytes(EqIdentityRecord(output, 14));

    ASSERT_TRUE(store.CopyEqPath(eqid::MicB, output));
    for (int b = 0; b < 10; ++b) {
        EXPECT_EQ(store.GetEqPathBand(output, b), store.GetEqPathBand(eqid::MicB, b)) << "band " << b;
    }
    for (int b = kOutputFirstHiddenBand; b <= kOutputLastHiddenBand; ++b) {
        const EqBandBytes hidden = store.GetEqRecordBytes(EqIdentityRecord(output, b));
        // 0 dB, 12345 Hz and Q 3.21 taken byte for byte from band 9, peaking.
        EXPECT_EQ(hidden, (EqBandBytes{0x00, 0x96, 0x30, 0x39, 0x0C, 0x8A, 0x01})) << "band " << b;
    }
    EXPECT_EQ(store.GetEqRecordBytes(EqIdentityRecord(output, 13)), split13);
    EXPECT_EQ(store.GetEqRecordBytes(EqIdentityRecord(output, 14)), split14);
}

TEST_F(CopyEqPathTest, EffectToOutputCopiesSevenWithoutFixUp) {
    const int output = eqid::FirstOutput;
    Mark(output, 300);
    Mark(eqid::EchoA, 400);
    const EqBandBytes band7 = store.GetEqRecordBytes(EqIdentityRecord(output, 7));
    const EqBandBytes band10 = store.GetEqRecordBytes(EqIdentityRecord(output, 10));
    ASSERT_TRUE(store.CopyEqPath(eqid::EchoA, output));
    EXPECT_EQ(store.GetEqPathBand(output, 6), store.GetEqPathBand(eqid::EchoA, 6));
    EXPECT_EQ(store.GetEqRecordBytes(EqIdentityRecord(output, 7)), band7);
    EXPECT_EQ(store.GetEqRecordBytes(EqIdentityRecord(output, 10)), band10);
}

TEST_F(CopyEqPathTest, OutputToOutputCopiesThirteenAndLeavesTheSplitPair) {
    Mark(eqid::FirstOutput, 500);
    Mark(eqid::LastOutput, 600);
    const EqBandBytes split13 = store.GetEqRecordBytes(EqIdentityRecord(eqid::LastOutput, 13));
    ASSERT_TRUE(store.CopyEqPath(eqid::FirstOutput, eqid::LastOutput));
    EXPECT_EQ(store.GetEqPathBand(eqid::LastOutput, 12), store.GetEqPathBand(eqid::FirstOutput, 12));
    EXPECT_EQ(store.GetEqRecordBytes(EqIdentityRecord(eqid::LastOutput, 13)), split13);
}

TEST_F(CopyEqPathTest, InvalidNumbersChangeNothing) {
    Mark(eqid::MicA, 700);
    const std::vector<uint8_t> before = store.ReadBlock(StoreBlock::EqBandTable);
    EXPECT_FALSE(store.CopyEqPath(-1, eqid::MicA));
    EXPECT_FALSE(store.CopyEqPath(eqid::MicA, 15));
    EXPECT_FALSE(store.CopyEqPath(15, -1));
    EXPECT_EQ(store.ReadBlock(StoreBlock::EqBandTable), before);

    EXPECT_TRUE(store.CopyEqPath(eqid::MicA, eqid::MicA));
    EXPECT_EQ(store.ReadBlock(StoreBlock::EqBandTable), before);
}

struct CrossoverCase {
    int destination;
    int sourceType;
    int copiedType;
};

class CopyCrossoverTest : public ::testing::TestWithParam<CrossoverCase> {
protected:
    void SetUp() override { store.ResetStoreDefaults(); }
    ParameterStore store;
};

TEST_P(CopyCrossoverTest, LastCopiedSectionBecomesAPlainFilter) {
    const CrossoverCase& c = GetParam();
    const int output = eqid::FirstOutput + 4;
    store.SetEqPathBand(output, kOutputCrossoverBand, {-2.0f, 180, 0.9f, c.sourceType});
    const int destinationCount = EqPathForIdentity(c.destination).bandCount;
    ASSERT_TRUE(store.CopyEqPath(output, c.destination));
    const EqBand last = store.GetEqPathBand(c.destination, destinationCount - 1);
    EXPECT_EQ(last.type, c.copiedType);
    if (destinationCount == 10) {
        EXPECT_EQ(last.freqHz, 180); // only the type changes
        EXPECT_FLOAT_EQ(last.gainDb, -2.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, CopyCrossoverTest,
    ::testing::Values(CrossoverCase{eqid::Music, 6, eqtype::LowPass}, CrossoverCase{eqid::Music, 7, eqtype::HighPass},
                      CrossoverCase{eqid::Music, 20, eqtype::LowPass}, CrossoverCase{eqid::Music, 21, eqtype::HighPass},
                      CrossoverCase{eqid::MicA, 12, eqtype::LowPass}, CrossoverCase{eqid::MicB, 13, eqtype::HighPass},
                      CrossoverCase{eqid::Music, 5, 5},   // not a section: kept
                      CrossoverCase{eqid::Music, 22, 22}, // past the section codes: kept
                      CrossoverCase{eqid::Music, 0, 0},   //
                      // Echo and reverb take only bands 0..6, so band 9 never arrives there.
                      CrossoverCase{eqid::EchoA, 8, eqtype::Peaking}));

// ---- identity and small records -------------------------------------------------------------------

TEST_F(ParameterStoreTest, IdentityStringsAreBounded) {
    const std::string exact29(29, 'x');
    store.SetModuleName(exact29);
    EXPECT_EQ(store.Identity().moduleName, exact29);
    store.SetModuleName(exact29 + "yz");
    EXPECT_EQ(store.Identity().moduleName, exact29);
    store.SetMcuVersion("2013-01-01-extra");
    EXPECT_EQ(store.Identity().mcuVersion, "2013-01-01");
    store.SetDspVersion(std::string_view("v2\0junk", 7));
    EXPECT_EQ(store.Identity().dspVersion, "v2");
    store.SetModuleName(std::string_view("\xB0\xC1", 2)); // 8-bit characters pass unchanged
    EXPECT_EQ(store.Identity().moduleName, "\xB0\xC1");
}

TEST(ProcessorAcceptanceTest, NeedsAKnownModelAndCommandSet18) {
    struct Row {
        const char* name;
        uint8_t version;
        bool accepted;
    };
    const Row rows[] = {{"Calyxon", 18, true}, {"CALYXON", 18, true}, {"pEmBa", 18, true},     {"Calyxon", 17, false},
                        {"Pemba", 1, false},   {"Calyx", 18, false},  {"Calyxon ", 18, false}, {"", 18, false}};
    for (const Row& row : rows) {
        ParameterStore store;
        store.SetModuleName(row.name);
        store.SetCommandSetVersion(row.version);
        EXPECT_EQ(store.IsAcceptedProcessor(), row.accepted) << row.name << " " << int(row.version);
    }
}

TEST_F(ParameterStoreTest, MachineSettingsCopies) {
    const uint8_t reply[kMachineSettingsSize] = {1, 1, 1, 50, 60, 70, 80, 0, 0x83, 9, 10, 2, 0x21, 13};
    store.SetMachineSettingsFromDevice(reply);
    EXPECT_EQ(store.WorkingMachineSettings()[5], 70);
    EXPECT_EQ(store.CommittedMachineSettings(), store.WorkingMachineSettings());

    MachineSettingsRecord edited = store.WorkingMachineSettings();
    edited[5] = 42;
    store.SetWorkingMachineSettings(edited);
    EXPECT_EQ(store.CommittedMachineSettings()[5], 70); // not applied yet
    EXPECT_EQ(store.CommitMachineSettings(), edited);
    EXPECT_EQ(store.CommittedMachineSettings(), edited);
}

TEST_F(ParameterStoreTest, LevelAndRemoteKeyRecords) {
    const std::vector<uint8_t> levels = Pattern(20, 3);
    store.SetLevelRecord(levels);
    EXPECT_TRUE(std::equal(levels.begin(), levels.begin() + 16, store.GetLevelRecord().begin()));
    store.ClearLevelRecord();
    EXPECT_EQ(store.GetLevelRecord(), LevelRecord{});

    store.SetRemoteKeyByte(16, 0x16);
    store.SetRemoteKeyByte(17, 0x17);
    store.SetRemoteKeyByte(18, 0x18);         // no such key
    store.SetRemoteKeyRecord(Pattern(16, 5)); // the table reply: first 16 bytes only
    const RemoteKeyRecord keys = store.GetRemoteKeyRecord();
    EXPECT_EQ(keys[0], 5);
    EXPECT_EQ(keys[16], 0x16);
    EXPECT_EQ(keys[17], 0x17);
}

TEST_F(ParameterStoreTest, DeviceImageCopiesOnlyWhatFits) {
    const std::vector<uint8_t> slice = Pattern(56, 1);
    EXPECT_EQ(store.WriteDeviceImage(0, slice), 56u);
    EXPECT_EQ(store.WriteDeviceImage(3290, slice), 9u);
    EXPECT_EQ(store.WriteDeviceImage(3299, slice), 0u);
    EXPECT_EQ(store.WriteDeviceImage(size_t{1} << 40, slice), 0u);

    const std::vector<uint8_t> image = store.ReadDeviceImage();
    ASSERT_EQ(image.size(), 3299u);
    EXPECT_TRUE(std::equal(slice.begin(), slice.end(), image.begin()));
    EXPECT_TRUE(std::equal(slice.begin(), slice.begin() + 9, image.begin() + 3290));
    EXPECT_EQ(store.ReadDeviceImage(3290, 100), std::vector<uint8_t>(slice.begin(), slice.begin() + 9));
    EXPECT_TRUE(store.ReadDeviceImage(3299, 1).empty());
}

TEST_F(ParameterStoreTest, ModeStateIsBounded) {
    store.SetDeviceMode(3);
    store.SetDeviceMode(4);
    store.SetDeviceMode(-1);
    EXPECT_EQ(store.DeviceMode(), 3);
    store.SetModeLabel(1, "Movie");
    store.SetModeLabel(4, "nowhere");
    EXPECT_EQ(store.ModeLabel(1), "Movie");
    EXPECT_EQ(store.ModeLabel(4), "");
    store.SetModifiedFlag(true);
    EXPECT_TRUE(store.ModifiedFlag());
}

// ---- concurrency ----------------------------------------------------------------------------------

TEST(ParameterStoreConcurrencyTest, ReaderNeverSeesATornRecordOrSlot) {
    // The user-interface thread edits while the reader thread decodes replies and read-all copies
    // blocks out. Run under ThreadSanitizer this also proves the accesses race-free.
    ParameterStore store;
    store.ResetStoreDefaults();
    const EqBandBytes a = PackEqBand({-15.0f, 0, 0.0f, 0});
    const EqBandBytes b = PackEqBand({15.0f, 65535, 65.535f, 255});
    constexpr float kFloatA = 1.0f;
    constexpr float kFloatB = -2.5e6f;
    std::atomic<bool> stop{false};
    store.SetEqRecordBytes(5, a);
    store.Set(fields::outDelayMs, 3, kFloatA);
    // The listener starts where the writer puts it: a reader that runs before the writer's first
    // pass sees one of the values it checks for, not the default room's.
    store.SetRoomListener({-1.0f, 0.0f});
    store.PackRoomFromFloats();

    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            const bool odd = (i & 1) != 0;
            store.SetEqRecordBytes(5, odd ? b : a);
            store.Set(fields::outDelayMs, 3, odd ? kFloatB : kFloatA);
            store.SetRoomListener({odd ? 1.0f : -1.0f, 0.0f});
            store.PackRoomFromFloats();
            store.SetModuleName(odd ? "Pemba" : "Calyxon");
        }
        stop = true;
    });

    int reads = 0;
    int torn = 0;
    while (!stop) {
        const EqBandBytes record = store.GetEqRecordBytes(5);
        torn += (record == a || record == b) ? 0 : 1;
        const std::vector<uint8_t> table = store.ReadBlock(StoreBlock::EqBandTable);
        torn +=
            (std::equal(a.begin(), a.end(), table.begin() + 35) || std::equal(b.begin(), b.end(), table.begin() + 35))
                ? 0
                : 1;
        const float delay = store.Get(fields::outDelayMs, 3);
        torn += (delay == kFloatA || delay == kFloatB) ? 0 : 1;
        store.WriteBlockAt(StoreBlock::RoomRecord, 0, std::vector<uint8_t>{4});
        const uint8_t listenerX = store.GetRoomRecordBytes()[2];
        torn += (listenerX == 0x0A || listenerX == 0x8A || listenerX == 0x00) ? 0 : 1;
        torn += IsAcceptedModuleName(store.Identity().moduleName) ? 0 : 1;
        ++reads;
    }
    writer.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0);
}

} // namespace
} // namespace orvex
