#include "link/CommandEncoder.h"

#include "RecordingSender.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <string>

using namespace orvex;
using namespace orvex::test;

namespace {

namespace f = fields;

// One user-level call and the exact bodies it must put on the wire. The expected words were worked out
// by hand from the processor's encodings (percent / 100 as a float, samples = ms x 48 + 0.5, ...), not
// taken from the encoder's own table.
struct GoldenCase {
    std::string name;
    std::string field; // the command-table row the case covers
    std::function<void(ParameterStore&)> prepare;
    std::function<void(CommandEncoder&)> call;
    std::vector<std::string> expected;
};

void Nothing(ParameterStore&) {}

std::vector<GoldenCase> GoldenCases() {
    using E = CommandEncoder;
    auto musicCompressor = [](ParameterStore& s) {
        s.Set(f::musicAutoRatio, 2.0f);
        s.Set(f::musicAutoAttack, 10.0f);
        s.Set(f::musicAutoRelease, 100.0f);
    };
    auto outputCompressor = [](ParameterStore& s) {
        s.Set(f::outCompRatio, 1, 4.0f);
        s.Set(f::outCompAttack, 1, 5.0f);
        s.Set(f::outCompRelease, 1, 200.0f);
    };
    // clang-format off
    return {
        {"micVolume", "micVolume", Nothing, [](E& e) { e.Set(f::micVolume, 2, 80); }, {"09 00 01 06 01 3F4CCCCD"}},
        {"micGate", "micGate", Nothing, [](E& e) { e.Set(f::micGate, 3, 1234); }, {"09 00 01 0B 01 3DFCB924"}},
        {"autoSubOn", "autoSubOn", Nothing, [](E& e) { e.Set(f::autoSubOn, 1); }, {"09 00 01 0C 01 00000001"}},
        {"autoSubRatio", "autoSubRatio", Nothing, [](E& e) { e.Set(f::autoSubRatio, 30); }, {"09 00 01 0D 01 3E99999A"}},
        // 0.55 + 0.0005
        {"micMasterVolume", "micMasterVolume", Nothing, [](E& e) { e.Set(f::micMasterVolume, 55); }, {"09 00 01 0E 01 3F0CED91"}},
        {"micMute", "micMute", Nothing, [](E& e) { e.Set(f::micMute, 1); }, {"09 00 01 0F 01 00000000"}},
        {"micEqBypassA", "micEqBypassA", Nothing, [](E& e) { e.Set(f::micEqBypassA, 1); }, {"09 00 01 1A 01 00000001"}},
        {"micToA", "micToA", Nothing, [](E& e) { e.Set(f::micToA, 1, 100); },
         {"09 00 01 1C 01 3F800000", "09 00 01 33 01 00000000"}},
        // off switch 0, angle 2 x 2 pi / 48000, period (1000 / 8 - 25) x 48 = 4800
        {"shiftFreqA", "shiftFreqA", Nothing, [](E& e) { e.Set(f::shiftFreqA, 2); },
         {"09 00 01 21 01 00000000", "09 00 01 1F 01 3989421E", "09 00 01 20 01 000012C0"}},
        {"shiftOffA", "shiftOffA", Nothing, [](E& e) { e.Set(f::shiftOffA, 1); }, {"09 00 01 21 01 00000001"}},
        {"effectVolume", "effectVolume", Nothing, [](E& e) { e.Set(f::effectVolume, 70); },
         {"09 00 01 22 01 3F3353F8", "09 00 01 39 01 3F3353F8"}},
        {"micBassBoostOn", "micBassBoostOn", Nothing, [](E& e) { e.Set(f::micBassBoostOn, 1); },
         {"09 00 01 25 01 00000000", "09 00 01 3C 01 00000000"}},
        {"micEqBypassB", "micEqBypassB", Nothing, [](E& e) { e.Set(f::micEqBypassB, 1); }, {"09 00 01 31 01 00000001"}},
        {"micToB", "micToB", Nothing, [](E& e) { e.Set(f::micToB, 2, 100); },
         {"09 00 01 1D 01 00000000", "09 00 01 34 01 3F800000"}},
        // (1000 / 20 - 25) x 48 = 1200
        {"shiftFreqB", "shiftFreqB", Nothing, [](E& e) { e.Set(f::shiftFreqB, 5); },
         {"09 00 01 38 01 00000000", "09 00 01 36 01 3A2B92A6", "09 00 01 37 01 000004B0"}},
        {"shiftOffB", "shiftOffB", Nothing, [](E& e) { e.Set(f::shiftOffB, 1); }, {"09 00 01 38 01 00000001"}},

        {"echoEqBypassA", "echoEqBypassA", Nothing, [](E& e) { e.Set(f::echoEqBypassA, 1); }, {"09 00 02 07 01 00000001"}},
        {"echoLevelA", "echoLevelA", Nothing, [](E& e) { e.Set(f::echoLevelA, 55); }, {"09 00 02 08 01 3F0CCCCD"}},
        {"echoPredelayA", "echoPredelayA", Nothing, [](E& e) { e.Set(f::echoPredelayA, 20.0f); }, {"09 00 02 09 01 000003C0"}},
        {"echoTimeA", "echoTimeA", Nothing, [](E& e) { e.Set(f::echoTimeA, 217.0f); }, {"09 00 02 0A 01 000028B0"}},
        {"echoStartA", "echoStartA", Nothing, [](E& e) { e.Set(f::echoStartA, 60); }, {"09 00 02 0B 01 3F19999A"}},
        {"echoDecayA", "echoDecayA", Nothing, [](E& e) { e.Set(f::echoDecayA, 40); }, {"09 00 02 0C 01 3ECCCCCD"}},
        {"echoEqBypassB", "echoEqBypassB", Nothing, [](E& e) { e.Set(f::echoEqBypassB, 1); }, {"09 00 02 14 01 00000001"}},
        {"echoLevelB", "echoLevelB", Nothing, [](E& e) { e.Set(f::echoLevelB, 30); }, {"09 00 02 15 01 3E99999A"}},
        // below 2 ms: sent as 2 ms = 96 samples
        {"echoPredelayB", "echoPredelayB", Nothing, [](E& e) { e.Set(f::echoPredelayB, 1.0f); }, {"09 00 02 16 01 00000060"}},
        {"echoTimeB", "echoTimeB", Nothing, [](E& e) { e.Set(f::echoTimeB, 100.5f); }, {"09 00 02 17 01 000012D8"}},
        {"echoStartB", "echoStartB", Nothing, [](E& e) { e.Set(f::echoStartB, 60); }, {"09 00 02 18 01 3F19999A"}},
        {"echoDecayB", "echoDecayB", Nothing, [](E& e) { e.Set(f::echoDecayB, 40); }, {"09 00 02 19 01 3ECCCCCD"}},
        {"echoVolume", "echoVolume", Nothing, [](E& e) { e.Set(f::echoVolume, 70); }, {"09 00 02 1A 01 3F333333"}},
        {"echoMute", "echoMute", Nothing, [](E& e) { e.Set(f::echoMute, 1); }, {"09 00 02 1B 01 00000000"}},

        {"reverbEqBypassA", "reverbEqBypassA", Nothing, [](E& e) { e.Set(f::reverbEqBypassA, 1); }, {"09 00 03 07 01 00000001"}},
        {"reverbLevelA", "reverbLevelA", Nothing, [](E& e) { e.Set(f::reverbLevelA, 50); }, {"09 00 03 08 01 3F000000"}},
        {"reverbPredelayA", "reverbPredelayA", Nothing, [](E& e) { e.Set(f::reverbPredelayA, 10.0f); }, {"09 00 03 09 01 000001E0"}},
        {"reverbTimeA", "reverbTimeA", Nothing, [](E& e) { e.Set(f::reverbTimeA, 40.0f); },
         {"09 00 03 0A 01 3ECCCCCD", "09 00 03 0B 01 3ECCCCCD"}},
        {"reverbEqBypassB", "reverbEqBypassB", Nothing, [](E& e) { e.Set(f::reverbEqBypassB, 1); }, {"09 00 03 13 01 00000001"}},
        {"reverbLevelB", "reverbLevelB", Nothing, [](E& e) { e.Set(f::reverbLevelB, 20); }, {"09 00 03 14 01 3E4CCCCD"}},
        {"reverbPredelayB", "reverbPredelayB", Nothing, [](E& e) { e.Set(f::reverbPredelayB, 0.0f); }, {"09 00 03 15 01 00000060"}},
        {"reverbTimeB", "reverbTimeB", Nothing, [](E& e) { e.Set(f::reverbTimeB, 55.5f); },
         {"09 00 03 16 01 3F0E147B", "09 00 03 17 01 3F0E147B"}},
        {"reverbVolume", "reverbVolume", Nothing, [](E& e) { e.Set(f::reverbVolume, 70); }, {"09 00 03 18 02 3F333333 3F333333"}}, // the processor keeps the word twice
        {"reverbMute", "reverbMute", Nothing, [](E& e) { e.Set(f::reverbMute, 1); }, {"09 00 03 19 02 00000000 00000000"}},

        {"musicEqBypass", "musicEqBypass", Nothing, [](E& e) { e.Set(f::musicEqBypass, 1); }, {"09 00 04 0B 01 00000001"}},
        {"musicVolume", "musicVolume", Nothing, [](E& e) { e.Set(f::musicVolume, 75); }, {"09 00 04 0C 01 3F4020C5"}},
        {"musicMute", "musicMute", Nothing, [](E& e) { e.Set(f::musicMute, 1); }, {"09 00 04 0D 01 00000000"}},
        // -20 dB, 0, 1 - 1/2, 20, 0.05, 1 - e^(-1/480), 1 - e^(-1/4800)
        {"musicAutoLevel", "musicAutoThreshold", musicCompressor, [](E& e) { e.Set(f::musicAutoThreshold, -20.0f); },
         {"09 00 04 0E 07 C1A00000 00000000 3F000000 41A00000 3D4CCCCD 3B086426 395A6E3A"}},
        {"musicAutoOff", "musicAutoOff", Nothing, [](E& e) { e.Set(f::musicAutoOff, 1); }, {"09 00 04 0F 01 00000001"}},
        {"musicAgcOn", "musicAgcOn", Nothing, [](E& e) { e.Set(f::musicAgcOn, 1); }, {"09 00 04 10 01 00000001"}},
        {"musicAgcLevel", "musicAgcLevel", Nothing, [](E& e) { e.Set(f::musicAgcLevel, 0.5f); }, {"09 00 04 11 01 3F000000"}},
        {"musicParam21", "musicParam21", Nothing, [](E& e) { e.Set(f::musicParam21, 3); }, {"09 00 04 15 01 00000008"}},
        {"musicNoiseGate", "musicNoiseGate", Nothing, [](E& e) { e.Set(f::musicNoiseGate, 500); }, {"09 00 04 16 01 3D4CCCCD"}},
        {"musicSource", "musicSource", Nothing, [](E& e) { e.Set(f::musicSource, 2); }, {"09 00 04 17 01 00000002"}},
        {"opticalVolume", "opticalVolume", Nothing, [](E& e) { e.Set(f::opticalVolume, 80); }, {"09 00 04 18 01 3F4CCCCD"}},
        {"spdif2Volume", "spdif2Volume", Nothing, [](E& e) { e.Set(f::spdif2Volume, 80); }, {"09 00 04 19 01 3F4CCCCD"}},
        {"hdmiVolume", "hdmiVolume", Nothing, [](E& e) { e.Set(f::hdmiVolume, 80); }, {"09 00 04 1A 01 3F4CCCCD"}},
        {"hdmi2Volume", "hdmi2Volume", Nothing, [](E& e) { e.Set(f::hdmi2Volume, 80); }, {"09 00 04 1B 01 3F4CCCCD"}},
        {"hdmi3Volume", "hdmi3Volume", Nothing, [](E& e) { e.Set(f::hdmi3Volume, 80); }, {"09 00 04 1C 01 3F4CCCCD"}},
        {"hdmi4Volume", "hdmi4Volume", Nothing, [](E& e) { e.Set(f::hdmi4Volume, 80); }, {"09 00 04 1D 01 3F4CCCCD"}},
        {"btVolume", "btVolume", Nothing, [](E& e) { e.Set(f::btVolume, 80); }, {"09 00 04 1E 01 3F4CCCCD"}},
        {"auxVolume", "auxVolume", Nothing, [](E& e) { e.Set(f::auxVolume, 80); }, {"09 00 04 1F 01 3F4CCCCD"}},
        {"aux2Volume", "aux2Volume", Nothing, [](E& e) { e.Set(f::aux2Volume, 80); }, {"09 00 04 20 01 3F4CCCCD"}},
        {"hdmiInput", "hdmiInput", Nothing, [](E& e) { e.Set(f::hdmiInput, 3); }, {"09 00 04 21 01 00000003"}},
        {"speakerLocate", "", Nothing, [](E& e) { e.SpeakerLocate(5); }, {"09 00 04 22 01 00000005"}},
        {"speakerLocateNone", "", Nothing, [](E& e) { e.SpeakerLocate(8); }, {"09 00 04 22 01 00000008"}},
        {"musicLowDelay", "musicLowDelay", Nothing, [](E& e) { e.Set(f::musicLowDelay, 10); }, {"09 00 04 24 01 000001E0"}},
        {"musicLowGain", "musicLowGain", Nothing, [](E& e) { e.Set(f::musicLowGain, 50); }, {"09 00 04 25 01 3F000000"}},

        {"outEqBypass", "outEqBypass", Nothing, [](E& e) { e.Set(f::outEqBypass, 2, 1); }, {"09 00 07 0F 01 00000001"}},
        {"outRole", "outRole", Nothing, [](E& e) { e.Set(f::outRole, 3, 4); }, {"09 00 08 10 01 00000004"}},
        {"outDelayMode", "outDelayMode", Nothing, [](E& e) { e.Set(f::outDelayMode, 0, 1); }, {"09 00 05 11 02 3F800000 00000000"}},
        {"outDelayMs", "outDelayMs", Nothing, [](E& e) { e.Set(f::outDelayMs, 7, 12.5f); }, {"09 00 0C 12 01 00000258"}},
        {"outDelayOff", "outDelayOff", Nothing, [](E& e) { e.Set(f::outDelayOff, 1, 1); }, {"09 00 06 13 01 00000001"}},
        {"outMixDirect", "outMixDirect", Nothing, [](E& e) { e.Set(f::outMixDirect, 4, 100); }, {"09 00 09 14 01 3F800000"}},
        {"outMixReverb", "outMixReverb", Nothing, [](E& e) { e.Set(f::outMixReverb, 5, 50); }, {"09 00 0A 15 01 3F000000"}},
        {"outMixEcho", "outMixEcho", Nothing, [](E& e) { e.Set(f::outMixEcho, 6, 50); }, {"09 00 0B 16 01 3F000000"}},
        {"outMixMusic", "outMixMusic", Nothing, [](E& e) { e.Set(f::outMixMusic, 7, 50); }, {"09 00 0C 17 01 3F000000"}},
        {"outSurroundVolume", "outSurroundVolume", Nothing, [](E& e) { e.Set(f::outSurroundVolume, 5, 90); }, {"09 00 0A 18 01 3F666666"}},
        {"outPhaseInvert", "outPhaseInvert", Nothing, [](E& e) { e.Set(f::outPhaseInvert, 6, 1); }, {"09 00 0B 19 01 BF800000"}},
        {"outMute", "outMute", Nothing, [](E& e) { e.Set(f::outMute, 0, 1); }, {"09 00 05 1A 01 00000000"}},
        // -10 dB, 0, 1 - 1/4, 20, 0.05, 1 - e^(-1/240), 1 - e^(-1/9600)
        {"outCompressor", "outCompThreshold", outputCompressor, [](E& e) { e.Set(f::outCompThreshold, 1, -10.0f); },
         {"09 00 06 1B 07 C1200000 00000000 3F400000 41A00000 3D4CCCCD 3B883FD1 38DA7124"}},
        {"outCompOff", "outCompOff", Nothing, [](E& e) { e.Set(f::outCompOff, 2, 1); }, {"09 00 07 1C 01 00000001"}},
        // 0 dB: w0 = w1 = 1.0 around the fixed shelf pair; the table goes to memory 1253 first
        {"positionGain", "", Nothing, [](E& e) { e.SetPositionGain(2, 0.0f); },
         {"85 04 E5 20" + std::string(64, '0'), "09 00 07 1D 06 3F800000 3F800000 3F7EFF25 BFFF7EF1 3F800000 3F800000"}},

        {"exciterLowFreq", "exciterLowFreq", Nothing, [](E& e) { e.Set(f::exciterLowFreq, 100.0f); }, {"09 00 0D 00 01 42C80000"}},
        {"exciterLowGain", "exciterLowGain", Nothing, [](E& e) { e.Set(f::exciterLowGain, -3.0f); }, {"09 00 0D 01 01 C0400000"}},
        {"exciterMidFreq", "exciterMidFreq", Nothing, [](E& e) { e.Set(f::exciterMidFreq, 1000.0f); }, {"09 00 0D 02 01 447A0000"}},
        {"exciterMidGain", "exciterMidGain", Nothing, [](E& e) { e.Set(f::exciterMidGain, 2.5f); }, {"09 00 0D 03 01 40200000"}},
        {"exciterHighFreq", "exciterHighFreq", Nothing, [](E& e) { e.Set(f::exciterHighFreq, 8000.0f); }, {"09 00 0D 04 01 45FA0000"}},
        {"exciterHighGain", "exciterHighGain", Nothing, [](E& e) { e.Set(f::exciterHighGain, 6.0f); }, {"09 00 0D 05 01 40C00000"}},
        {"exciterHarmonicGain", "exciterHarmonicGain", Nothing, [](E& e) { e.Set(f::exciterHarmonicGain, 50.0f); }, {"09 00 0D 06 01 3F000000"}},
        {"exciterHarmonicOrder", "exciterHarmonicOrder", Nothing, [](E& e) { e.Set(f::exciterHarmonicOrder, 25.0f); }, {"09 00 0D 07 01 3E800000"}},
        {"exciterHarmonicMix", "exciterHarmonicMix", Nothing, [](E& e) { e.Set(f::exciterHarmonicMix, 75.0f); }, {"09 00 0D 08 01 3F400000"}},
        {"exciterVolume", "exciterVolume", Nothing, [](E& e) { e.Set(f::exciterVolume, 80.0f); }, {"09 00 0D 09 01 3F4CCCCD"}},
        {"exciterEqOn", "exciterEqOn", Nothing, [](E& e) { e.Set(f::exciterEqOn, 1); }, {"09 00 0D 0A 01 00000001"}},
        {"exciterOn", "exciterOn", Nothing, [](E& e) { e.Set(f::exciterOn, 1); }, {"09 00 0D 0B 01 00000001"}},
    };
    // clang-format on
}

void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.name;
}

class GoldenWireTest : public ::testing::TestWithParam<GoldenCase> {
protected:
    ParameterStore store;
    RecordingSender sender;
    CommandEncoder encoder{store, sender};
};

TEST_P(GoldenWireTest, SetterSendsExactBodies) {
    const GoldenCase& c = GetParam();
    c.prepare(store);
    c.call(encoder);
    std::vector<std::string> got;
    for (const auto& s : sender.Messages()) {
        got.push_back(ToHex(s.body));
        EXPECT_TRUE(s.paced) << "parameter writes wait for the previous reply";
        EXPECT_FALSE(s.zwave);
    }
    std::vector<std::string> want;
    for (const auto& e : c.expected)
        want.push_back(ToHex(Hex(e)));
    EXPECT_EQ(got, want);
}

INSTANTIATE_TEST_SUITE_P(EveryCommandRow, GoldenWireTest, ::testing::ValuesIn(GoldenCases()),
                         [](const auto& testInfo) { return testInfo.param.name; });

TEST(GoldenWireTable, CoversEveryRowOfTheCommandTable) {
    std::set<std::string> covered;
    for (const auto& c : GoldenCases())
        covered.insert(c.field);
    for (const ParamCommand& row : ParamCommands())
        EXPECT_TRUE(covered.count(std::string(row.field))) << row.field << " has no golden case";
}

class EncoderTest : public ::testing::Test {
protected:
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& b : sender.Bodies())
            out.push_back(ToHex(b));
        return out;
    }

    ParameterStore store;
    RecordingSender sender;
    CommandEncoder encoder{store, sender};
};

TEST_F(EncoderTest, MicMuteWordsAreInverted) {
    encoder.Set(fields::micMute, 1);
    encoder.Set(fields::micMute, 0);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"09 00 01 0F 01 00 00 00 00", "09 00 01 0F 01 3F 80 00 00"}));
    EXPECT_EQ(store.Get(fields::micMute), 0);
}

TEST_F(EncoderTest, FrequencyShiftOfOneHzSendsOnlyTheOffSwitch) {
    store.Set(fields::shiftOffA, 0);
    encoder.Set(fields::shiftFreqA, 1);
    EXPECT_EQ(Sent(), std::vector<std::string>{"09 00 01 21 01 00 00 00 01"});
    EXPECT_EQ(store.Get(fields::shiftOffA), 1);
    EXPECT_EQ(store.Get(fields::shiftFreqA), 1);
}

TEST_F(EncoderTest, FrequencyShiftTurnsTheSwitchBackOn) {
    store.Set(fields::shiftOffB, 1);
    encoder.Set(fields::shiftFreqB, 2);
    ASSERT_EQ(Sent().size(), 3u);
    EXPECT_EQ(Sent()[0], "09 00 01 38 01 00 00 00 00");
    EXPECT_EQ(store.Get(fields::shiftOffB), 0);
}

TEST_F(EncoderTest, FrequencyShiftBelowOneHzIsOff) {
    // 1000 / (4 f) has no value at 0 Hz; the only sensible reading of 0 is "off".
    encoder.SetFrequencyShift(0, 0);
    EXPECT_EQ(Sent(), std::vector<std::string>{"09 00 01 21 01 00 00 00 01"});
    EXPECT_EQ(store.Get(fields::shiftFreqA), 1);
}

TEST_F(EncoderTest, DelaysBelowTheirMinimumAreStoredAndSentAsIt) {
    encoder.Set(fields::outDelayMs, 3, 0.0f);
    encoder.Set(fields::echoTimeA, 0.5f);
    encoder.Set(fields::reverbPredelayB, -4.0f);
    // 1.5 ms = 72 samples, 2 ms = 96 samples
    EXPECT_EQ(Sent(), (std::vector<std::string>{"09 00 08 12 01 00 00 00 48", "09 00 02 0A 01 00 00 00 60",
                                                "09 00 03 15 01 00 00 00 60"}));
    EXPECT_FLOAT_EQ(store.Get(fields::outDelayMs, 3), 1.5f);
    EXPECT_FLOAT_EQ(store.Get(fields::echoTimeA), 2.0f);
    EXPECT_FLOAT_EQ(store.Get(fields::reverbPredelayB), 2.0f);
}

TEST_F(EncoderTest, MicRouteSetsBothFieldsOfTheMic) {
    store.Set(fields::micToA, 3, 100);
    encoder.Set(fields::micToA, 3, 0); // mic 4 leaves A, so it goes to B
    EXPECT_EQ(store.Get(fields::micToA, 3), 0);
    EXPECT_EQ(store.Get(fields::micToB, 3), 100);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"09 00 01 1E 01 00 00 00 00", "09 00 01 35 01 3F 80 00 00"}));
    sender.Clear();
    encoder.SetMicRoute(0, true);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"09 00 01 1B 01 3F 80 00 00", "09 00 01 32 01 00 00 00 00"}));
}

TEST_F(EncoderTest, BassBoostSwitchKeepsItsCopy) {
    encoder.Set(fields::micBassBoostOn, 1);
    EXPECT_EQ(store.Get(fields::micBassBoostOnCopy), 1);
    sender.Clear();
    encoder.Set(fields::micBassBoostOnCopy, 0); // the copy's setter is the switch's setter
    EXPECT_EQ(store.Get(fields::micBassBoostOn), 0);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"09 00 01 25 01 00 00 00 01", "09 00 01 3C 01 00 00 00 01"}));
}

TEST_F(EncoderTest, CompressorFromZeroedStoreCarriesOnlyFiniteWords) {
    // A fresh store holds ratio 0 and times of 0: 1 - 1/0 and e^(-1/0) would put -inf and 1.0 - NaN on
    // the wire. They go as ratio 1:1 and 1 ms; the store keeps what was entered.
    encoder.Set(fields::outCompThreshold, 0, -12.0f);
    // -12 dB, 0, 0 (ratio 1), 20, 0.05, 1 - e^(-1/48) twice
    EXPECT_EQ(Sent(), std::vector<std::string>{ToHex(Hex("09 00 05 1B 07 C1400000 00000000 00000000 41A00000 "
                                                         "3D4CCCCD 3CA8E6B3 3CA8E6B3"))});
    EXPECT_EQ(store.Get(fields::outCompRatio, 0), 0.0f);
    EXPECT_EQ(store.Get(fields::outCompAttack, 0), 0.0f);
}

TEST_F(EncoderTest, NonFiniteValuesAreRefused) {
    store.Set(fields::musicAgcLevel, 0.25f);
    encoder.Set(fields::musicAgcLevel, std::nanf(""));
    encoder.Set(fields::exciterVolume, INFINITY);
    encoder.Set(fields::outDelayMs, 0, NAN);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(store.Get(fields::musicAgcLevel), 0.25f);
    // A NaN that reached the store another way (a mode file) is not sent either.
    store.Set(fields::exciterLowGain, NAN);
    encoder.Send(fields::exciterLowGain);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(EncoderTest, ReservedSlotsSendNothing) {
    encoder.SetSlotWord(6, 5);
    encoder.SetSlotWord(14, 5);
    encoder.SetSlotWord(500, 5);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(store.GetSlotInt(6), 0);
}

TEST_F(EncoderTest, MusicUnmuteFadesInTenStepsThirtyMillisecondsApart) {
    // The steps were 30 ms sleeps of the caller (the window); they are gaps the link keeps now.
    store.Set(fields::musicMute, 1);
    encoder.SetMusicMute(false);
    const auto sent = sender.Messages();
    ASSERT_EQ(sent.size(), 10u);
    // 0.0, 0.1 .. 0.8, then 1.0
    const char* words[] = {"00000000", "3DCCCCCD", "3E4CCCCD", "3E99999A", "3ECCCCCD",
                           "3F000000", "3F19999A", "3F333333", "3F4CCCCD", "3F800000"};
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(ToHex(sent[i].body), ToHex(Hex(std::string("09 00 04 0D 01 ") + words[i]))) << i;
        EXPECT_TRUE(sent[i].paced) << i;
        EXPECT_EQ(sent[i].gap, std::chrono::milliseconds(i == 0 ? 0 : 30)) << i;
    }
    EXPECT_EQ(store.Get(fields::musicMute), 0);
}

TEST_F(EncoderTest, MusicMuteIsImmediate) {
    encoder.SetMusicMute(true);
    const auto sent = sender.Messages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(ToHex(sent[0].body), "09 00 04 0D 01 00 00 00 00");
    EXPECT_EQ(sent[0].gap, std::chrono::milliseconds(-1)) << "an ordinary message, no step of a fade";
}

TEST_F(EncoderTest, DelayModeResendsTheBandSplitPair) {
    std::vector<int> resent;
    encoder.SetBandSplitResender([&](int channel) { resent.push_back(channel); });
    encoder.Set(fields::outDelayMode, 4, 0);
    EXPECT_EQ(Sent(), std::vector<std::string>{"09 00 09 11 02 3F 80 00 00 3F 80 00 00"});
    EXPECT_EQ(resent, std::vector<int>{4});
}

TEST_F(EncoderTest, PositionGainByRoleUsesTheFirstMatchingOutput) {
    for (int k = 0; k < 8; ++k)
        store.Set(fields::outRole, k, k == 2 || k == 6 ? 4 : 0); // two outputs claim SUB
    store.Set(fields::outRole, 0, 5);
    EXPECT_EQ(encoder.SetPositionGainByRole(4, -3.0f), 2);
    EXPECT_EQ(store.PositionGain(2), -3.0f);
    EXPECT_EQ(store.PositionGain(6), 0.0f);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].substr(0, 14), "09 00 07 1D 06");
    // -3 dB as big-endian float in word 2 of the table written to 1253
    EXPECT_EQ(sent[0].substr(0, 11), "85 04 E5 20");
    EXPECT_EQ(Hex(sent[0]).at(4 + 8), 0xC0);
    EXPECT_EQ(Hex(sent[0]).at(4 + 9), 0x40);
    sender.Clear();
    EXPECT_EQ(encoder.SetPositionGainByRole(7, 1.0f), -1); // no output is SR
    EXPECT_TRUE(Sent().empty());
}

TEST_F(EncoderTest, RaisingBassBoostLowersThePreGainsFirst) {
    encoder.SetBassBoostLevel(6.0f);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(sent[0], "85 05 19 02 40 C0"); // the top 16 bits of 6.0f
    // 1/g = 10^(-6/20), g = 10^(6/20)
    EXPECT_EQ(sent[1], "09 00 01 3A 01 3F 00 4D CE");
    EXPECT_EQ(sent[2].substr(0, 14), "09 00 01 3D 06");
    EXPECT_EQ(sent[3], "09 00 01 3B 01 3F FF 64 C1");
    EXPECT_EQ(sent[4], "09 00 01 23 01 3F 00 4D CE");
    EXPECT_EQ(sent[5].substr(0, 14), "09 00 01 26 06");
    EXPECT_EQ(sent[6], "09 00 01 24 01 3F FF 64 C1");
    EXPECT_EQ(store.LastBassBoostLevel(), 6.0f);
}

TEST_F(EncoderTest, LoweringBassBoostRestoresThePreGainsLast) {
    store.SetLastBassBoostLevel(6.0f);
    encoder.SetBassBoostLevel(3.0f);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 7u);
    std::vector<std::string> subs;
    for (size_t i = 1; i < sent.size(); ++i)
        subs.push_back(sent[i].substr(9, 2));
    // 61, 59, 58, 38, 36, 35
    EXPECT_EQ(subs, (std::vector<std::string>{"3D", "3B", "3A", "26", "24", "23"}));
    EXPECT_EQ(sent[3], "09 00 01 3A 01 3F 35 3B EF");
    EXPECT_EQ(store.BassBoostLevel(), 3.0f);
}

TEST_F(EncoderTest, RequestsAndMemoryMessages) {
    encoder.SendRequest(request::ModuleName);
    encoder.LoadDeviceMode(2);
    encoder.MachineReset();
    encoder.SendParamRead(1, 14);
    encoder.ReadDeviceMemory(3248, 51);
    encoder.WriteDeviceMemory(651, std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7});
    encoder.ReadSceneMemory(6524 + 56, 56);
    encoder.WriteSceneMemory(28 * 7, std::vector<uint8_t>(28, 0xAB));
    EXPECT_EQ(Sent(), (std::vector<std::string>{"80", "05 02", "68 AA", "0A 00 01 0E 01", "30 0C B0 33",
                                                "85 02 8B 07 01 02 03 04 05 06 07", "14 19 B4 38",
                                                ToHex(Hex("13 00 C4 1C") + std::vector<uint8_t>(28, 0xAB))}));
    for (const auto& s : sender.Messages())
        EXPECT_TRUE(s.paced);
}

TEST_F(EncoderTest, MemoryWritesLongerThanOneReportAreRefused) {
    EXPECT_EQ(encoder.WriteDeviceMemory(0, std::vector<uint8_t>(57, 1)), 0);
    EXPECT_TRUE(Sent().empty());
    EXPECT_GT(encoder.WriteDeviceMemory(0, std::vector<uint8_t>(56, 1)), 0);
}

TEST_F(EncoderTest, EqTableGoesAsTwentyThreeWrites) {
    store.ResetStoreDefaults();
    encoder.WriteEqTable();
    const auto bodies = sender.Bodies();
    ASSERT_EQ(bodies.size(), 23u);
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < bodies.size(); ++i) {
        const auto& b = bodies[i];
        EXPECT_EQ(b[0], 0x85);
        EXPECT_EQ(b[1] * 256 + b[2], static_cast<int>(56 * i));
        EXPECT_EQ(b[3], i < 22 ? 56 : 21);
        EXPECT_EQ(b.size(), 4u + b[3]);
        joined.insert(joined.end(), b.begin() + 4, b.end());
    }
    EXPECT_EQ(joined, store.ReadBlock(StoreBlock::EqBandTable));
}

TEST_F(EncoderTest, BlockWritersUseTheirAddresses) {
    store.ResetStoreDefaults();
    encoder.WriteRoomRecord();
    encoder.WritePositionGains();
    encoder.WriteBassBoostRecord();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], "85 05 05 14 04 04 00 00 8A 0A 00 0A 0A 0A 8A 8A 00 8A 0A 8A 85 00 05 00");
    EXPECT_EQ(sent[1].substr(0, 11), "85 04 E5 20");
    EXPECT_EQ(sent[2], "85 05 19 02 00 00");
}

TEST_F(EncoderTest, RemoteKeysAndMachineSettings) {
    RemoteKeyRecord keys{};
    for (size_t i = 0; i < keys.size(); ++i)
        keys[i] = static_cast<uint8_t>(i + 1);
    store.SetRemoteKeyRecord(keys);
    encoder.WriteRemoteKeys();
    MachineSettingsRecord settings{};
    settings[5] = 99;
    encoder.WriteMachineSettings(settings);
    const auto bodies = sender.Bodies();
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0], Hex("63 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12"));
    EXPECT_EQ(bodies[1], Hex("91 00 00 00 00 00 63 00 00 00 00 00 00 00 00"));
}

TEST_F(EncoderTest, ZWaveFramesCarryTheSerialApiChecksum) {
    const std::vector<uint8_t> include = {0x01, 0x30};
    encoder.SendZWaveFrame(0x4A, include);
    const std::vector<uint8_t> setValue = {0x07, 0x03, 0x20, 0x01, 0xFF, 0x25, 0x43};
    encoder.SendZWaveFrame(0x13, setValue);
    encoder.SendZWaveAck();
    const auto sent = sender.Messages();
    ASSERT_EQ(sent.size(), 3u);
    // 0xFF ^ 05 ^ 00 ^ 4A ^ 01 ^ 30 = 0x81
    EXPECT_EQ(ToHex(sent[0].body), "01 05 00 4A 01 30 81");
    // 0xFF ^ 0A ^ 00 ^ 13 ^ 07 ^ 03 ^ 20 ^ 01 ^ FF ^ 25 ^ 43 = 0x5A
    EXPECT_EQ(ToHex(sent[1].body), "01 0A 00 13 07 03 20 01 FF 25 43 5A");
    EXPECT_EQ(ToHex(sent[2].body), "06");
    for (const auto& s : sent) {
        EXPECT_TRUE(s.zwave);
        EXPECT_FALSE(s.paced) << "pass-through frames are never paced";
    }
}

} // namespace
