#include "link/Frame.h"

#include "support/Hex.h"

#include <gtest/gtest.h>

using namespace orvex;
using orvex::test::Bytes;
using orvex::test::Hex;
using orvex::test::ToHex;

TEST(Frame, EchoLevelWriteIsFramedWithItsChecksum) {
    // Prefix 0x81 and the parameter write 09 00 02 08 01 3F0CCCCD (echo level A = 55 %).
    const auto frame = BuildFrame(Hex("81 09 00 02 08 01 3F 0C CC CD"));
    EXPECT_EQ(ToHex(frame), "55 0B 81 09 00 02 08 01 3F 0C CC CD 45");
}

TEST(Frame, OneByteRequest) {
    // Module name request: 55, L = 3, 81 80, X = FF ^ 03 ^ 81 ^ 80.
    EXPECT_EQ(ToHex(BuildFrame(Hex("81 80"))), "55 03 81 80 FD");
}

TEST(Frame, RefusesPayloadsThatDoNotFit) {
    EXPECT_TRUE(BuildFrame(std::vector<uint8_t>{}).empty());
    EXPECT_EQ(BuildFrame(std::vector<uint8_t>(kMaxPayload, 0x11)).size(), kMaxPayload + 3);
    EXPECT_TRUE(BuildFrame(std::vector<uint8_t>(kMaxPayload + 1, 0x11)).empty());

    std::array<uint8_t, 8> small{};
    EXPECT_EQ(BuildFrame(Hex("81 09 00 02 08 01"), small), 0u) << "output too small for 6 + 3 bytes";
    EXPECT_EQ(small, (std::array<uint8_t, 8>{})) << "nothing written on refusal";
}

TEST(Frame, UsbReportIsSixtyOneBytesZeroFilled) {
    std::array<uint8_t, kUsbReportSize> report{};
    ASSERT_TRUE(BuildUsbReport(Hex("09 00 02 08 01 3F 0C CC CD"), report));
    EXPECT_EQ(report[0], 0x02);
    EXPECT_EQ(ToHex(std::span(report).subspan(1, 9)), "09 00 02 08 01 3F 0C CC CD");
    for (size_t i = 10; i < report.size(); ++i)
        EXPECT_EQ(report[i], 0) << i;

    EXPECT_TRUE(BuildUsbReport(std::vector<uint8_t>(60, 0xAB), report));
    EXPECT_EQ(report[60], 0xAB);
    EXPECT_FALSE(BuildUsbReport(std::vector<uint8_t>(61, 0xAB), report));
}

struct ChunkCase {
    const char* name;
    std::vector<uint8_t> chunk;
    ChunkKind kind;
    size_t streamOffset;
};

class ClassifyChunkTest : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(ClassifyChunkTest, Classifies) {
    const ChunkInfo info = ClassifyChunk(GetParam().chunk);
    EXPECT_EQ(info.kind, GetParam().kind);
    if (info.kind == ChunkKind::Stream || info.kind == ChunkKind::HeartbeatThenStream) {
        EXPECT_EQ(info.streamOffset, GetParam().streamOffset);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, ClassifyChunkTest,
    ::testing::Values(ChunkCase{"heartbeat", Bytes("$HB$"), ChunkKind::HeartbeatOnly, 4},
                      ChunkCase{"heartbeatAndFrame", Bytes("$HB$U\x03\x81\x80\xFD"), ChunkKind::HeartbeatThenStream, 4},
                      ChunkCase{"otherDollar", Bytes("$HBXU"), ChunkKind::Stream, 0},
                      ChunkCase{"shortDollar", Bytes("$HB"), ChunkKind::Stream, 0},
                      ChunkCase{"busy", Bytes("ISCONNECTED"), ChunkKind::HostBusy, 0},
                      ChunkCase{"busyLonger", Bytes("ISCONNECTED and more"), ChunkKind::HostBusy, 0},
                      ChunkCase{"busyCut", Bytes("ISCONNECTE"), ChunkKind::Stream, 0},
                      ChunkCase{"frame", Hex("55 03 81 80 FD"), ChunkKind::Stream, 0}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });
