#include "model/EqPaths.h"

#include <gtest/gtest.h>

#include <array>

namespace orvex {
namespace {

struct OffsetCase {
    int path;
    int band;
    int offset;
};

class EqRecordOffsetTest : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(EqRecordOffsetTest, FollowsTheProcessorNumbering) {
    const OffsetCase& c = GetParam();
    EXPECT_EQ(EqRecordOffset(c.path, c.band), c.offset);
    EXPECT_EQ(EqRecordIndex(c.path, c.band), c.offset < 0 ? -1 : c.offset / 7);
}

INSTANTIATE_TEST_SUITE_P(Paths, EqRecordOffsetTest,
                         ::testing::Values(OffsetCase{1, 0, 0},      // mic A
                                           OffsetCase{1, 10, 70},    // mic B starts at record 10
                                           OffsetCase{1, 19, 133},   //
                                           OffsetCase{2, 0, 140},    // echo A, record 20
                                           OffsetCase{2, 7, 189},    // echo B, record 27
                                           OffsetCase{3, 0, 238},    // reverb A, record 34
                                           OffsetCase{3, 7, 287},    // reverb B, record 41
                                           OffsetCase{4, 9, 399},    // music, records 48..57
                                           OffsetCase{5, 0, 406},    // output 1, record 58
                                           OffsetCase{5, 14, 504},   // its split low-pass
                                           OffsetCase{12, 0, 1141},  // output 8, record 163
                                           OffsetCase{12, 14, 1239}, // record 177, last of the outputs
                                           OffsetCase{14, 0, 1246},  // music low-frequency record 178
                                           OffsetCase{13, 3, 21},    // unknown paths count from 0
                                           OffsetCase{0, 2, 14},     //
                                           OffsetCase{14, 1, -1},    // past the table
                                           OffsetCase{12, 16, -1},   //
                                           OffsetCase{1, 179, -1},   //
                                           OffsetCase{2, -1, -1}));  // negative band

TEST(EqPathsTest, IdentitiesMatchTheProcessorPaths) {
    EXPECT_EQ(EqPathForIdentity(eqid::MicA).firstRecord, EqRecordIndex(1, 0));
    EXPECT_EQ(EqPathForIdentity(eqid::MicB).firstRecord, EqRecordIndex(1, 10));
    EXPECT_EQ(EqPathForIdentity(eqid::EchoA).firstRecord, EqRecordIndex(2, 0));
    EXPECT_EQ(EqPathForIdentity(eqid::EchoB).firstRecord, EqRecordIndex(2, 7));
    EXPECT_EQ(EqPathForIdentity(eqid::ReverbA).firstRecord, EqRecordIndex(3, 0));
    EXPECT_EQ(EqPathForIdentity(eqid::ReverbB).firstRecord, EqRecordIndex(3, 7));
    EXPECT_EQ(EqPathForIdentity(eqid::Music).firstRecord, EqRecordIndex(4, 0));
    for (int k = 0; k < kOutputChannelCount; ++k) {
        EXPECT_EQ(EqPathForIdentity(eqid::FirstOutput + k).firstRecord, EqRecordIndex(5 + k, 0)) << "output " << k;
        EXPECT_EQ(EqPathForIdentity(eqid::FirstOutput + k).bandCount, 13);
        EXPECT_EQ(EqPathForIdentity(eqid::FirstOutput + k).recordCount, 15);
    }
    const std::array<int, 7> inputBands = {10, 10, 7, 7, 7, 7, 10};
    for (int id = 0; id < 7; ++id) {
        EXPECT_EQ(EqPathForIdentity(id).bandCount, inputBands[static_cast<std::size_t>(id)]) << "identity " << id;
    }
}

TEST(EqPathsTest, IdentitiesTileTheTableBeforeTheMusicLowRecord) {
    std::array<int, kEqRecordCount> owners{};
    for (int id = 0; id < eqid::Count; ++id) {
        const EqPathInfo info = EqPathForIdentity(id);
        for (int r = info.firstRecord; r < info.firstRecord + info.recordCount; ++r) {
            ++owners[static_cast<std::size_t>(r)];
        }
    }
    for (int r = 0; r < kMusicLowRecord; ++r) {
        EXPECT_EQ(owners[static_cast<std::size_t>(r)], 1) << "record " << r;
    }
    EXPECT_EQ(owners[kMusicLowRecord], 0);
}

TEST(EqPathsTest, IdentityRecordsAreBoundedByTheIdentity) {
    EXPECT_EQ(EqIdentityRecord(eqid::MicB, 9), 19);
    EXPECT_EQ(EqIdentityRecord(eqid::MicB, 10), -1); // would be echo A
    EXPECT_EQ(EqIdentityRecord(eqid::LastOutput, kOutputSplitLowPassBand), 177);
    EXPECT_EQ(EqIdentityRecord(eqid::LastOutput, 15), -1);
    EXPECT_EQ(EqIdentityRecord(-1, 0), -1);
    EXPECT_EQ(EqIdentityRecord(eqid::Count, 0), -1);
    EXPECT_EQ(EqPathForIdentity(15).firstRecord, -1);
    EXPECT_EQ(EqPathForIdentity(15).bandCount, 0);
}

} // namespace
} // namespace orvex
