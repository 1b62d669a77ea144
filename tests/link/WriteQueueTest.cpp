#include "link/WriteQueue.h"

#include "support/Hex.h"

#include <gtest/gtest.h>

using namespace orvex;
using orvex::test::Hex;
using orvex::test::ToHex;

TEST(WriteQueue, KeyIsTheFirstFiveBytesAndAZero) {
    EXPECT_EQ(ToHex(WriteQueueKey(Hex("81 09 00 02 08 01 3F 0C CC CD"))), "81 09 00 02 08 00");
    EXPECT_EQ(ToHex(WriteQueueKey(Hex("81 0E"))), "81 0E 00 00 00 00");
    EXPECT_EQ(ToHex(WriteQueueKey(Hex("81 85 04 E5 20 00"))), "81 85 04 E5 20 00");
}

TEST(WriteQueue, BurstOfOneParameterLeavesOneEntryWithTheLastValue) {
    WriteQueue queue;
    for (int i = 0; i <= 20; ++i)
        ASSERT_TRUE(queue.Enqueue(Hex("81 09 00 02 08 01 00 00 00") + std::vector<uint8_t>{static_cast<uint8_t>(i)}));
    ASSERT_EQ(queue.Size(), 1u);
    EXPECT_EQ(ToHex(queue.PopFront()->Payload()), "81 09 00 02 08 01 00 00 00 14");
    EXPECT_FALSE(queue.PopFront().has_value());
}

TEST(WriteQueue, CoalescedEntryKeepsThePositionOfItsFirstChange) {
    WriteQueue queue;
    queue.Enqueue(Hex("81 09 00 02 08 01 00000001")); // echo level A
    queue.Enqueue(Hex("81 09 00 02 15 01 00000001")); // echo level B
    queue.Enqueue(Hex("81 09 00 02 08 01 00000002"));
    queue.Enqueue(Hex("81 0E"));
    queue.Enqueue(Hex("81 09 00 02 15 01 00000003"));
    ASSERT_EQ(queue.Size(), 3u);
    EXPECT_EQ(ToHex(queue.PopFront()->Payload()), "81 09 00 02 08 01 00 00 00 02");
    EXPECT_EQ(ToHex(queue.PopFront()->Payload()), "81 09 00 02 15 01 00 00 00 03");
    EXPECT_EQ(ToHex(queue.PopFront()->Payload()), "81 0E");
}

TEST(WriteQueue, ModeRequestsForDifferentModesStayApart) {
    WriteQueue queue;
    queue.Enqueue(Hex("81 03 01"));
    queue.Enqueue(Hex("81 03 02"));
    EXPECT_EQ(queue.Size(), 2u);
}

TEST(WriteQueue, RefusesWhatNoFrameCanCarry) {
    WriteQueue queue;
    EXPECT_FALSE(queue.Enqueue({}));
    EXPECT_FALSE(queue.Enqueue(std::vector<uint8_t>(kMaxPayload + 1, 0x81)));
    EXPECT_TRUE(queue.Enqueue(std::vector<uint8_t>(kMaxPayload, 0x81)));
    EXPECT_EQ(queue.Size(), 1u);
    queue.Clear();
    EXPECT_TRUE(queue.Empty());
}

TEST(WriteQueue, ZWaveFramesAreNeverMerged) {
    // Both set-values keyed 80 01 0A 00 13: plug 2's "on" was overwritten by plug 3's and lost.
    WriteQueue queue;
    queue.Enqueue(Hex("80 01 0A 00 13 02 03 20 01 FF 25 43 5F"));
    queue.Enqueue(Hex("80 01 0A 00 13 03 03 20 01 FF 25 43 5E"));
    queue.Enqueue(Hex("80 01 0A 00 13 03 03 20 01 FF 25 43 5E")); // a repeated command is still sent
    ASSERT_EQ(queue.Size(), 3u);
    EXPECT_EQ(ToHex(queue.PopFront()->Payload()), "80 01 0A 00 13 02 03 20 01 FF 25 43 5F");
    EXPECT_EQ(ToHex(queue.PopFront()->Payload()), "80 01 0A 00 13 03 03 20 01 FF 25 43 5E");
    EXPECT_EQ(ToHex(queue.PopFront()->Payload()), "80 01 0A 00 13 03 03 20 01 FF 25 43 5E");
}
