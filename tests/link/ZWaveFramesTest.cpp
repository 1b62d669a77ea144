// The Serial API frames the smart-home operations send, byte for byte as the module takes them.

#include "link/ZWaveFrames.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::test;

namespace {

std::string StartFrame(uint8_t function, uint8_t node, uint8_t value) {
    const auto parameters = ZWaveOperationParameters(function, node, value);
    return parameters ? ToHex(BuildZWaveFrame(function, *parameters)) : std::string("none");
}

std::string AbortFrame(uint8_t function) {
    const auto parameters = ZWaveAbortParameters(function);
    return parameters ? ToHex(BuildZWaveFrame(function, *parameters)) : std::string("none");
}

TEST(ZWaveFramesTest, SetValueCarriesTheCallbackIdOfItsKind) {
    // A plug value is confirmed by its callback (43); remote-key commands 80..FE by the node (44).
    EXPECT_EQ(StartFrame(zwave::SendData, 7, 0x63), "01 0A 00 13 07 03 20 01 63 25 43 C6");
    EXPECT_EQ(StartFrame(zwave::SendData, 7, 0x80), "01 0A 00 13 07 03 20 01 80 25 44 22");
    EXPECT_EQ(StartFrame(zwave::SendData, 7, 0xFE), "01 0A 00 13 07 03 20 01 FE 25 44 5C");
    // FF is "on", a plug value again.
    EXPECT_EQ(StartFrame(zwave::SendData, 7, 0xFF), "01 0A 00 13 07 03 20 01 FF 25 43 5A");
    // Node 0 is no node: nothing is sent.
    EXPECT_EQ(StartFrame(zwave::SendData, 0, 0xFF), "none");
}

TEST(ZWaveFramesTest, InclusionAndExclusionAskForAnyNode) {
    EXPECT_EQ(StartFrame(zwave::AddNode, 0, 0), "01 05 00 4A 01 30 81");
    EXPECT_EQ(StartFrame(zwave::RemoveNode, 0, 0), "01 05 00 4B 01 09 B9");
    EXPECT_EQ(StartFrame(zwave::SetDefault, 0, 0), "none");
    EXPECT_EQ(StartFrame(zwave::InitData, 0, 0), "none");
}

TEST(ZWaveFramesTest, OnlyTheWaitDialogsOperationsHaveAnAbortFrame) {
    EXPECT_EQ(AbortFrame(zwave::AddNode), "01 05 00 4A 05 00 B5");
    EXPECT_EQ(AbortFrame(zwave::SendData), "01 05 00 13 05 00 EC");
    EXPECT_EQ(AbortFrame(zwave::RemoveNode), "01 05 00 4B 05 00 B4");
    EXPECT_EQ(AbortFrame(zwave::SetDefault), "none");
    EXPECT_EQ(AbortFrame(zwave::ApplicationCommand), "none");
}

TEST(ZWaveFramesTest, AResponseFrameCarriesItsType) {
    const uint8_t callback = 0x07;
    EXPECT_EQ(ToHex(BuildZWaveFrame(zwave::SetDefault, std::span(&callback, 1), zwave::Response)), "01 04 01 42 07 BF");
}

} // namespace
