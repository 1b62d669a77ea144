#include "link/NetReceiver.h"

#include "link/Frame.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvex;
using orvex::test::Bytes;
using orvex::test::Concat;
using orvex::test::Hex;
using orvex::test::ToHex;

namespace {

// Records what the receive path asked for, in order: "echo", "rx", "busy", "frame:<hex>".
class RecordingSink : public NetReceiveSink {
public:
    void SendHeartbeatEcho() override { log.push_back("echo"); }
    void MarkRxActivity() override { log.push_back("rx"); }
    void OnHostBusy() override { log.push_back("busy"); }
    void OnFrame(std::span<const uint8_t> payload) override { log.push_back("frame:" + ToHex(payload)); }

    std::vector<std::string> Frames() const {
        std::vector<std::string> frames;
        for (const auto& e : log)
            if (e.rfind("frame:", 0) == 0)
                frames.push_back(e.substr(6));
        return frames;
    }
    std::vector<std::string> log;
};

std::vector<uint8_t> Frame(std::string_view payloadHex) {
    return BuildFrame(Hex(payloadHex));
}

std::vector<uint8_t> BadChecksum(std::vector<uint8_t> frame) {
    frame.back() ^= 0x01;
    return frame;
}

struct ReceiveCase {
    const char* name;
    std::vector<std::vector<uint8_t>> chunks;
    std::vector<std::string> frames; // payloads decoded, in order
    size_t bufferedAfter;
};

class NetReceiverTest : public ::testing::TestWithParam<ReceiveCase> {};

TEST_P(NetReceiverTest, DecodesTheStream) {
    RecordingSink sink;
    NetReceiver receiver(sink);
    for (const auto& chunk : GetParam().chunks)
        receiver.HandleChunk(chunk);
    EXPECT_EQ(sink.Frames(), GetParam().frames);
    EXPECT_EQ(receiver.Assembler().Buffered(), GetParam().bufferedAfter);
}

const std::vector<uint8_t> kModeReply = Frame("81 07 02");
const std::vector<uint8_t> kVersionReply = Frame("81 7F 12");

INSTANTIATE_TEST_SUITE_P(
    Streams, NetReceiverTest,
    ::testing::Values(
        ReceiveCase{"twoFramesInOneChunk", {Concat({kModeReply, kVersionReply})}, {"81 07 02", "81 7F 12"}, 0},
        ReceiveCase{"frameSplitAcrossReceives",
                    {std::vector<uint8_t>(kModeReply.begin(), kModeReply.begin() + 2),
                     std::vector<uint8_t>(kModeReply.begin() + 2, kModeReply.end())},
                    {"81 07 02"},
                    0},
        ReceiveCase{"splitAfterStartByte",
                    {Hex("55"), std::vector<uint8_t>(kModeReply.begin() + 1, kModeReply.end())},
                    {"81 07 02"},
                    0},
        ReceiveCase{
            "badChecksumCostsOnlyItsOwnFrame", {Concat({BadChecksum(kModeReply), kVersionReply})}, {"81 7F 12"}, 0},
        ReceiveCase{"heartbeatThenFrame", {Concat({Bytes("$HB$"), kModeReply})}, {"81 07 02"}, 0},
        // Stray bytes in front of a frame are dropped at once, not left to block it.
        ReceiveCase{"garbageBeforeFrame", {Concat({Hex("00 13 AA"), kModeReply})}, {"81 07 02"}, 0},
        ReceiveCase{"garbageInOwnChunk", {Hex("01 02 03"), kModeReply}, {"81 07 02"}, 0},
        ReceiveCase{"otherDollarStringIsStreamData", {Concat({Bytes("$XY$"), kModeReply})}, {"81 07 02"}, 0},
        ReceiveCase{"heartbeatInsideStreamIsNoise",
                    {Concat({kModeReply, Bytes("$HB$"), kVersionReply})},
                    {"81 07 02", "81 7F 12"},
                    0},
        // A length byte no frame can have marks the start byte as noise.
        ReceiveCase{"impossibleLength", {Concat({Hex("55 F0 01 02"), kModeReply})}, {"81 07 02"}, 0},
        ReceiveCase{"zeroLength", {Concat({Hex("55 00"), kModeReply})}, {"81 07 02"}, 0},
        ReceiveCase{"largestFrame", {Frame(std::string(66 * 2, '7'))}, {ToHex(std::vector<uint8_t>(66, 0x77))}, 0},
        ReceiveCase{"partialFrameWaits", {std::vector<uint8_t>(kModeReply.begin(), kModeReply.end() - 1)}, {}, 5},
        ReceiveCase{"cutBusyNoticeIsStreamData", {Concat({Bytes("ISCONNECTE"), kModeReply})}, {"81 07 02"}, 0}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(NetReceiver, ExactHeartbeatIsEchoedAndAddsNothing) {
    RecordingSink sink;
    NetReceiver receiver(sink);
    receiver.HandleChunk(Bytes("$HB$"));
    EXPECT_EQ(sink.log, (std::vector<std::string>{"echo", "rx"}));
    EXPECT_EQ(receiver.Assembler().Buffered(), 0u);
}

TEST(NetReceiver, HeartbeatFollowedByFrameIsEchoedAndDecoded) {
    RecordingSink sink;
    NetReceiver receiver(sink);
    receiver.HandleChunk(Concat({Bytes("$HB$"), kModeReply}));
    ASSERT_GE(sink.log.size(), 2u);
    EXPECT_EQ(sink.log.front(), "echo");
    EXPECT_EQ(sink.Frames(), (std::vector<std::string>{"81 07 02"}));
}

TEST(NetReceiver, BusyNoticeIsNotStreamData) {
    RecordingSink sink;
    NetReceiver receiver(sink);
    receiver.HandleChunk(Concat({Bytes("ISCONNECTED"), kModeReply}));
    EXPECT_EQ(sink.log, (std::vector<std::string>{"busy"}));
    EXPECT_EQ(receiver.Assembler().Buffered(), 0u);
}

TEST(NetReceiver, StalledFrameIsDiscardedWhenTheBufferWouldOverflow) {
    // A frame that announces 67 bytes but never completes holds the buffer until an append
    // would pass 260 bytes; that append discards it and decoding resumes with the new data.
    RecordingSink sink;
    NetReceiver receiver(sink);
    receiver.HandleChunk(Hex("55 43 81"));
    std::vector<uint8_t> filler(250, 0x00);
    receiver.HandleChunk(filler); // completes the stalled frame with a bad checksum
    EXPECT_TRUE(sink.Frames().empty());
    receiver.HandleChunk(kModeReply);
    EXPECT_EQ(sink.Frames(), (std::vector<std::string>{"81 07 02"}));
}

TEST(FrameAssembler, OverflowDiscardsOldContent) {
    FrameAssembler assembler;
    int frames = 0;
    const auto count = [&](std::span<const uint8_t>) { ++frames; };
    // 200 bytes of a frame that is still missing its tail: start, length 67, then payload.
    std::vector<uint8_t> head = {0x55, 0x43};
    assembler.Append(head, count);
    EXPECT_TRUE(assembler.InFrame());
    EXPECT_EQ(assembler.Buffered(), 2u);
    std::vector<uint8_t> big(259, 0x55);
    const auto r = assembler.Append(big, count);
    EXPECT_GE(r.discarded, 2u);
    EXPECT_LE(assembler.Buffered(), FrameAssembler::kCapacity);
}

TEST(FrameAssembler, AppendLargerThanCapacityIsProcessedInPieces) {
    FrameAssembler assembler;
    std::vector<uint8_t> stream;
    for (int i = 0; i < 100; ++i)
        stream.insert(stream.end(), kModeReply.begin(), kModeReply.end());
    int frames = 0;
    const auto r = assembler.Append(stream, [&](std::span<const uint8_t>) { ++frames; });
    // 100 six-byte frames fed as 260-byte pieces: only the frames cut at a piece boundary are
    // lost to the overflow rule.
    EXPECT_EQ(r.frames, frames);
    EXPECT_GE(frames, 97);
    EXPECT_LT(frames, 100);
    EXPECT_LE(assembler.Buffered(), FrameAssembler::kCapacity);
}

} // namespace
