#include "model/RoomRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvex {
namespace {

struct CoordinateCase {
    float metres;
    uint8_t byte;
};

class RoomCoordinatePackTest : public ::testing::TestWithParam<CoordinateCase> {};

TEST_P(RoomCoordinatePackTest, PacksToByte) {
    EXPECT_EQ(PackRoomCoordinate(GetParam().metres), GetParam().byte) << GetParam().metres;
}

INSTANTIATE_TEST_SUITE_P(Edges, RoomCoordinatePackTest,
                         ::testing::Values(CoordinateCase{0.0f, 0x80},   // zero carries the sign bit
                                           CoordinateCase{-0.0f, 0x80},  //
                                           CoordinateCase{-0.04f, 0x80}, // rounds to zero, still signed
                                           CoordinateCase{0.04f, 0x00},  // positive values round to an unsigned zero
                                           CoordinateCase{0.06f, 0x01},  //
                                           CoordinateCase{0.1f, 0x01}, // a float just below its tenth still lands on it
                                           CoordinateCase{1.0f, 0x0A}, //
                                           CoordinateCase{-1.0f, 0x8A},  //
                                           CoordinateCase{-0.5f, 0x85},  //
                                           CoordinateCase{2.8f, 0x1C},   //
                                           CoordinateCase{12.7f, 0x7F},  // the largest magnitude
                                           CoordinateCase{-12.7f, 0xFF}, //
                                           CoordinateCase{12.8f, 0x7F},  // saturates, never spills into the sign bit
                                           CoordinateCase{50.0f, 0x7F},  //
                                           CoordinateCase{-50.0f, 0xFF}, //
                                           CoordinateCase{std::numeric_limits<float>::infinity(), 0x7F},
                                           CoordinateCase{-std::numeric_limits<float>::infinity(), 0xFF},
                                           CoordinateCase{std::numeric_limits<float>::quiet_NaN(), 0x80}));

TEST(RoomRecordTest, EveryNonZeroByteSurvivesUnpackAndPack) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        const uint8_t expected = b == 0x00 ? 0x80 : byte; // an unsigned zero comes back signed
        EXPECT_EQ(PackRoomCoordinate(UnpackRoomCoordinate(byte)), expected) << "byte " << b;
    }
}

TEST(RoomRecordTest, UnpacksSignMagnitudeTenths) {
    EXPECT_FLOAT_EQ(UnpackRoomCoordinate(0x0A), 1.0f);
    EXPECT_FLOAT_EQ(UnpackRoomCoordinate(0x8A), -1.0f);
    EXPECT_FLOAT_EQ(UnpackRoomCoordinate(0xFF), -12.7f);
    // A signed zero reads as plus zero, so the room page never shows "-0.0m".
    EXPECT_FALSE(std::signbit(UnpackRoomCoordinate(0x80)));
}

TEST(RoomRecordTest, DefaultRecordIsTheFourMetreRoom) {
    const RoomGeometry room = UnpackRoomRecord(kDefaultRoomRecord);
    EXPECT_EQ(room.width, 4);
    EXPECT_EQ(room.length, 4);
    EXPECT_EQ(room.listener, (RoomPoint{0.0f, 0.0f}));
    const std::array<RoomPoint, kRoomSpeakerCount> expected = {{
        {-1.0f, 1.0f},  // L
        {0.0f, 1.0f},   // CEN
        {1.0f, 1.0f},   // R
        {-1.0f, -1.0f}, // SBL
        {0.0f, -1.0f},  // SUB
        {1.0f, -1.0f},  // SBR
        {-0.5f, 0.0f},  // SL
        {0.5f, 0.0f},   // SR
    }};
    EXPECT_EQ(room.speakers, expected);
}

TEST(RoomRecordTest, RepackingTheDefaultSignsItsZeros) {
    // The factory record writes zero coordinates as 0x00; the packer writes 0x80. Both read as zero,
    // so the only difference after a round trip is the sign bit of the zero coordinates.
    RoomRecordBytes expected = kDefaultRoomRecord;
    for (std::size_t i = 2; i < expected.size(); ++i) {
        if (expected[i] == 0x00) {
            expected[i] = 0x80;
        }
    }
    EXPECT_EQ(PackRoomRecord(UnpackRoomRecord(kDefaultRoomRecord)), expected);
}

TEST(RoomRecordTest, RoomSizeIsHeldToAByte) {
    RoomGeometry room;
    room.width = 300;
    room.length = -2;
    const RoomRecordBytes bytes = PackRoomRecord(room);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0x00);
}

TEST(RoomRecordTest, PointsLandInRecordOrder) {
    RoomGeometry room;
    room.width = 6;
    room.length = 5;
    room.listener = {0.3f, -0.2f};
    for (int i = 0; i < kRoomSpeakerCount; ++i) {
        const float tenths = static_cast<float>(i + 1) / 10.0f;
        room.speakers[static_cast<std::size_t>(i)] = {tenths, -tenths};
    }
    const RoomRecordBytes bytes = PackRoomRecord(room);
    EXPECT_EQ(bytes[0], 6);
    EXPECT_EQ(bytes[1], 5);
    EXPECT_EQ(bytes[2], 0x03);
    EXPECT_EQ(bytes[3], 0x82);
    for (int i = 0; i < kRoomSpeakerCount; ++i) {
        EXPECT_EQ(bytes[static_cast<std::size_t>(4 + 2 * i)], i + 1) << "speaker " << i;
        EXPECT_EQ(bytes[static_cast<std::size_t>(5 + 2 * i)], 0x80 | (i + 1)) << "speaker " << i;
    }
    EXPECT_EQ(UnpackRoomRecord(bytes), room);
}

} // namespace
} // namespace orvex
