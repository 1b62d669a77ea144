#include "link/ReplyDispatcher.h"

#include "RecordingSender.h"
#include "link/DebugSink.h"
#include "link/ParamTable.h"
#include "model/ParameterStore.h"
#include "support/Hex.h"
#include "support/LinkHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

using namespace orvex;
using namespace orvex::test;

namespace {

namespace f = fields;

// ---- DecodeParamValue: one reported value per read-back rule ---------------------------------------------

struct ReadbackCase {
    std::string name;
    uint8_t cmd;
    uint8_t sub;
    std::string words;
    std::function<void(const ParameterStore&)> check;
};

std::vector<ReadbackCase> ReadbackCases() {
    using S = const ParameterStore&;
    // clang-format off
    return {
        {"micVolumePercent", 1, 6, "3F4CCCCD", [](S s) { EXPECT_EQ(s.Get(f::micVolume, 2), 80); }},
        {"micGate", 1, 11, "3DFCB924", [](S s) { EXPECT_EQ(s.Get(f::micGate, 3), 1234); }},
        // 7 / 10000 is 0.00069999998 as a float: truncating e x 10000 would read back 6
        {"micGateSmallValue", 1, 8, "3A378034", [](S s) { EXPECT_EQ(s.Get(f::micGate, 0), 7); }},
        {"autoSubOnLastByte", 1, 12, "12345601", [](S s) { EXPECT_EQ(s.Get(f::autoSubOn), 1); }},
        {"masterVolumePlus", 1, 14, "3F0CED91", [](S s) { EXPECT_EQ(s.Get(f::micMasterVolume), 55); }},
        {"micMuteZeroIsMuted", 1, 15, "00000000", [](S s) { EXPECT_EQ(s.Get(f::micMute), 1); }},
        {"micMuteOneIsSounding", 1, 15, "3F800000", [](S s) { EXPECT_EQ(s.Get(f::micMute), 0); }},
        {"micToB", 1, 52, "3F800000", [](S s) { EXPECT_EQ(s.Get(f::micToB, 2), 100); }},
        {"shiftFrequency", 1, 31, "3989421E", [](S s) { EXPECT_EQ(s.Get(f::shiftFreqA), 2); }},
        {"shiftOffSetsFrequencyToOne", 1, 56, "00000001",
         [](S s) { EXPECT_EQ(s.Get(f::shiftOffB), 1); EXPECT_EQ(s.Get(f::shiftFreqB), 1); }},
        {"effectVolume", 1, 34, "3F3353F8", [](S s) { EXPECT_EQ(s.Get(f::effectVolume), 70); }},
        {"bassBoostSwitchInverted", 1, 37, "00000000", [](S s) { EXPECT_EQ(s.Get(f::micBassBoostOn), 1); }},
        {"echoLevelB", 2, 21, "3E99999A", [](S s) { EXPECT_EQ(s.Get(f::echoLevelB), 30); }},
        {"echoPredelayMs", 2, 9, "000003C0", [](S s) { EXPECT_FLOAT_EQ(s.Get(f::echoPredelayA), 20.0f); }},
        {"echoTimeMs", 2, 23, "000028B0", [](S s) { EXPECT_FLOAT_EQ(s.Get(f::echoTimeB), 217.0f); }},
        {"echoMute", 2, 27, "00000000", [](S s) { EXPECT_EQ(s.Get(f::echoMute), 1); }},
        {"reverbTimeWholePercent", 3, 22, "3F0E147B", [](S s) { EXPECT_EQ(s.Get(f::reverbTimeB), 56.0f); }},
        {"reverbMute", 3, 25, "3F800000", [](S s) { EXPECT_EQ(s.Get(f::reverbMute), 0); }},
        {"musicVolume", 4, 12, "3F4020C5", [](S s) { EXPECT_EQ(s.Get(f::musicVolume), 75); }},
        {"musicAgcLevelUnchanged", 4, 17, "3F000000", [](S s) { EXPECT_EQ(s.Get(f::musicAgcLevel), 0.5f); }},
        {"musicParam21MinusFive", 4, 21, "00000008", [](S s) { EXPECT_EQ(s.Get(f::musicParam21), 3); }},
        {"musicNoiseGate", 4, 22, "3D4CCCCD", [](S s) { EXPECT_EQ(s.Get(f::musicNoiseGate), 500); }},
        {"hdmiInput", 4, 33, "00000003", [](S s) { EXPECT_EQ(s.Get(f::hdmiInput), 3); }},
        {"inputLevel", 4, 30, "3F4CCCCD", [](S s) { EXPECT_EQ(s.Get(f::btVolume), 80); }},
        {"musicLowDelayWholeMs", 4, 36, "000001EA", [](S s) { EXPECT_EQ(s.Get(f::musicLowDelay), 10); }},
        {"musicAutoLevelRecord", 4, 14, "C1A00000 00000000 3F000000 41A00000 3D4CCCCD 3B086426 395A6E3A",
         [](S s) {
             EXPECT_EQ(s.Get(f::musicAutoThreshold), -20.0f);
             EXPECT_NEAR(s.Get(f::musicAutoRatio), 2.0f, 1e-5);
             EXPECT_NEAR(s.Get(f::musicAutoAttack), 10.0f, 1e-3);
             EXPECT_NEAR(s.Get(f::musicAutoRelease), 100.0f, 0.1);
         }},
        {"outputRole", 8, 16, "00000004", [](S s) { EXPECT_EQ(s.Get(f::outRole, 3), 4); }},
        {"delayModeWholeChannel", 8, 17, "3F800000 00000000", [](S s) { EXPECT_EQ(s.Get(f::outDelayMode, 3), 1); }},
        {"delayModeHighFrequency", 8, 17, "3F800000 3F800000", [](S s) { EXPECT_EQ(s.Get(f::outDelayMode, 3), 0); }},
        {"outDelayMs", 12, 18, "00000048", [](S s) { EXPECT_FLOAT_EQ(s.Get(f::outDelayMs, 7), 1.5f); }},
        {"outSurround", 10, 24, "3F666666", [](S s) { EXPECT_EQ(s.Get(f::outSurroundVolume, 5), 90); }},
        {"phaseInverted", 11, 25, "BF800000", [](S s) { EXPECT_EQ(s.Get(f::outPhaseInvert, 6), 1); }},
        {"phaseNormal", 11, 25, "3F800000", [](S s) { EXPECT_EQ(s.Get(f::outPhaseInvert, 6), 0); }},
        {"outMute", 5, 26, "00000000", [](S s) { EXPECT_EQ(s.Get(f::outMute, 0), 1); }},
        {"outCompressor", 6, 27, "C1200000 00000000 3F400000 41A00000 3D4CCCCD 3B883FD1 38DA7124",
         [](S s) {
             EXPECT_EQ(s.Get(f::outCompThreshold, 1), -10.0f);
             EXPECT_NEAR(s.Get(f::outCompRatio, 1), 4.0f, 1e-4);
             EXPECT_NEAR(s.Get(f::outCompAttack, 1), 5.0f, 1e-3);
             EXPECT_NEAR(s.Get(f::outCompRelease, 1), 200.0f, 0.5);
         }},
        {"outCompOff", 7, 28, "00000001", [](S s) { EXPECT_EQ(s.Get(f::outCompOff, 2), 1); }},
        // the exciter points keep the half-hundredth shift
        // Rounded to the hundredth, not shifted: a shifted value would creep up on every round trip.
        {"exciterFrequency", 13, 0, "42C80000", [](S s) { EXPECT_FLOAT_EQ(s.Get(f::exciterLowFreq), 100.0f); }},
        {"exciterGainRounds", 13, 1, "C04CCCCD", [](S s) { EXPECT_FLOAT_EQ(s.Get(f::exciterLowGain), -3.2f); }},
        {"exciterGainHalfUp", 13, 3, "3F8147AE", [](S s) { EXPECT_FLOAT_EQ(s.Get(f::exciterMidGain), 1.01f); }},
        {"exciterPercent", 13, 9, "3F4CCCCD", [](S s) { EXPECT_EQ(s.Get(f::exciterVolume), 80.0f); }},
        {"exciterOn", 13, 11, "00000001", [](S s) { EXPECT_EQ(s.Get(f::exciterOn), 1); }},
    };
    // clang-format on
}

void PrintTo(const ReadbackCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadbackTest : public ::testing::TestWithParam<ReadbackCase> {};

TEST_P(ReadbackTest, StoresTheReportedValue) {
    const ReadbackCase& c = GetParam();
    ParameterStore store;
    EXPECT_TRUE(DecodeParamValue(store, c.cmd, c.sub, Hex(c.words)));
    c.check(store);
}

INSTANTIATE_TEST_SUITE_P(DecodeParamValue, ReadbackTest, ::testing::ValuesIn(ReadbackCases()),
                         [](const auto& testInfo) { return testInfo.param.name; });

TEST(DecodeParamValue, IgnoresWhatIsNotReadBack) {
    ParameterStore store;
    const auto before = store.ReadBlock(StoreBlock::ParamBlock);
    // a coefficient slot, the second sub of a doubled word, the shift period, speaker locate, no block
    for (auto [cmd, sub] : {std::pair{1, 16}, {1, 57}, {3, 11}, {1, 60}, {1, 32}, {4, 34}, {0, 0}, {14, 1}, {5, 29}})
        EXPECT_FALSE(DecodeParamValue(store, static_cast<uint8_t>(cmd), static_cast<uint8_t>(sub), Hex("3F800000")));
    EXPECT_EQ(store.ReadBlock(StoreBlock::ParamBlock), before);
}

TEST(DecodeParamValue, KeepsThePreviousValueForNonFiniteResults) {
    ParameterStore store;
    store.Set(f::outCompRatio, 0, 3.0f);
    store.Set(f::outCompAttack, 0, 7.0f);
    store.Set(f::outCompRelease, 0, 70.0f);
    store.Set(f::outCompThreshold, 0, -6.0f);
    // A processor with zeroed memory: 1 / (1 - 0) is fine, but -1 / ln(1 - 0) is infinite.
    DecodeParamValue(store, 5, 27, std::vector<uint8_t>(28, 0));
    EXPECT_EQ(store.Get(f::outCompThreshold, 0), 0.0f);
    EXPECT_EQ(store.Get(f::outCompRatio, 0), 1.0f);
    EXPECT_EQ(store.Get(f::outCompAttack, 0), 7.0f);
    EXPECT_EQ(store.Get(f::outCompRelease, 0), 70.0f);
    // word 2 = 1.0 makes the ratio 1 / 0
    DecodeParamValue(store, 4, 14, Hex("00000000 00000000 3F800000 00000000 00000000 3F000000 3F000000"));
    EXPECT_EQ(store.Get(f::musicAutoRatio), 0.0f);
    store.Set(f::echoLevelA, 33);
    EXPECT_FALSE(DecodeParamValue(store, 2, 8, Hex("7FC00000"))); // NaN
    store.Set(f::exciterLowGain, 1.5f);
    EXPECT_FALSE(DecodeParamValue(store, 13, 1, Hex("7F800000"))); // +inf
    EXPECT_EQ(store.Get(f::echoLevelA), 33);
    EXPECT_EQ(store.Get(f::exciterLowGain), 1.5f);
    // A huge finite word (-3.39e38) times 100 does not fit a float: the harmonic gain became -inf.
    store.Set(f::exciterHarmonicGain, 50.0f);
    EXPECT_FALSE(DecodeParamValue(store, 13, 6, Hex("FF7EFC99")));
    EXPECT_EQ(store.Get(f::exciterHarmonicGain), 50.0f);
}

TEST(DecodeParamValue, RefusesDataShorterThanItsRow) {
    ParameterStore store;
    EXPECT_FALSE(DecodeParamValue(store, 2, 8, Hex("3F0CCC")));
    EXPECT_FALSE(DecodeParamValue(store, 5, 17, Hex("3F800000")));
    EXPECT_FALSE(DecodeParamValue(store, 5, 27, std::vector<uint8_t>(27, 0)));
    EXPECT_EQ(store.Get(f::echoLevelA), 0);
}

std::vector<uint8_t> WordBytes(uint32_t word) {
    return {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 8),
            static_cast<uint8_t>(word)};
}

TEST(DecodeParamValue, EveryGateAndPercentRoundTrips) {
    ParameterStore store;
    for (int v = 0; v <= 10000; ++v) {
        DecodeParamValue(store, 4, 22, WordBytes(Per10000Word(v)));
        ASSERT_EQ(store.Get(f::musicNoiseGate), v);
    }
    for (int v = -100; v <= 100; ++v) {
        for (uint32_t word : {PercentWord(v), PercentPlusWord(v)}) {
            DecodeParamValue(store, 2, 26, WordBytes(word));
            ASSERT_EQ(store.Get(f::echoVolume), v);
        }
    }
}

// ---- DecodeReply -----------------------------------------------------------------------------------------

class ErrorRecordingEvents : public RecordingEvents {
public:
    struct Error {
        uint8_t code, cmd, sub;
    };
    void OnParameterError(uint8_t code, uint8_t cmd, uint8_t sub) override { errors.push_back({code, cmd, sub}); }
    void OnStoreReported() override { ++storeReports; }
    std::vector<Error> errors;
    int storeReports = 0;
};

class ReplyTest : public ::testing::Test {
protected:
    ReplyTest() { replies.SetZWaveAckPause(std::chrono::milliseconds(0)); }

    void Decode(const std::string& hex) { replies.DecodeReply(Hex(hex)); }
    void Decode(const std::vector<uint8_t>& bytes) { replies.DecodeReply(bytes); }

    LinkState link;
    ParameterStore store;
    ErrorRecordingEvents events;
    SmartHomeTables smart;
    RecordingSender sender;
    ReplyDispatcher replies{link, store, &events, smart, &sender};
};

TEST_F(ReplyTest, EveryMessageSignalsTheReplyEventOnce) {
    link.replyEvent.Reset();
    const char* messages[] = {"81",
                              "81 31",
                              "81 32",
                              "81 07 02",
                              "81 09",
                              "81 0A 00 02 08 01 3F0CCCCD",
                              "81 EE 01",
                              "81 05",
                              "81 06 01",
                              "81 12 01 06",
                              "81 86 00 00 02 FF FF",
                              "02 30 0C E3 00"};
    int n = 0;
    for (const char* m : messages) {
        Decode(m);
        ++n;
        EXPECT_EQ(replies.RepliesSignalled(), static_cast<uint64_t>(n)) << m;
        EXPECT_TRUE(link.replyEvent.Wait(std::chrono::milliseconds(0))) << m;
    }
    EXPECT_EQ(replies.MessagesDecoded(), static_cast<uint64_t>(n));
}

TEST_F(ReplyTest, ModeLoadedAndResetStartReadAll) {
    int started = 0;
    replies.SetReadAllStarter([&] {
        EXPECT_TRUE(link.replyEvent.IsSignalled()) << "the read thread paces on the event";
        ++started;
    });
    link.replyEvent.Reset();
    Decode("81 05");
    Decode("02 06" + std::string(118, '0'));
    EXPECT_EQ(started, 2);
}

TEST_F(ReplyTest, SimpleReplies) {
    Decode("81 07 03");
    EXPECT_EQ(store.DeviceMode(), 3);
    Decode("81 07 09"); // no such mode
    EXPECT_EQ(store.DeviceMode(), 3);
    Decode("81 09");
    EXPECT_TRUE(store.ModifiedFlag());
    Decode("81 0E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 FF FF");
    EXPECT_EQ(store.GetLevelRecord()[15], 0x10);
    Decode("81 7F 12");
    EXPECT_EQ(store.Identity().commandSetVersion, 18);
    Decode("81 92 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E");
    EXPECT_EQ(store.WorkingMachineSettings(), store.CommittedMachineSettings());
    EXPECT_EQ(store.CommittedMachineSettings()[13], 0x0E);
}

TEST_F(ReplyTest, ParameterValueWithoutErrorShowsNothing) {
    Decode("81 0A 00 02 08 01 3F0CCCCD");
    EXPECT_EQ(store.Get(f::echoLevelA), 55);
    EXPECT_TRUE(events.errors.empty());
}

TEST_F(ReplyTest, OnlyAValueTheProcessorChangedByItselfIsReportedAsAChange) {
    // Its own remote turns the echo up: reported, once, after the store holds it.
    Decode("81 0A 00 02 08 01 3F0CCCCD");
    EXPECT_EQ(store.Get(f::echoLevelA), 55);
    EXPECT_EQ(events.storeReports, 1);
    // The same value again, and replies that touch nothing the user edits, are no change.
    Decode("81 0A 00 02 08 01 3F0CCCCD");
    Decode("81 0E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 FF FF");
    Decode("81 07 02");
    Decode("81 09");
    EXPECT_EQ(events.storeReports, 1);
    // Machine settings and band memory written from the processor's side count too.
    Decode("81 92 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E");
    EXPECT_EQ(events.storeReports, 2);
    Decode("81 86 04 E5 02 05 06");
    EXPECT_EQ(events.storeReports, 3);
    // While a synchronisation runs, values are its answers: the read-all says what it read itself.
    link.sequenceRunning.store(1);
    Decode("81 0A 00 02 08 01 3F000000");
    Decode("81 92 0F 0E 0D 0C 0B 0A 09 08 07 06 05 04 03 02");
    EXPECT_EQ(store.Get(f::echoLevelA), 50);
    EXPECT_EQ(events.storeReports, 3);
}

TEST_F(ReplyTest, ParameterErrorIsShownOnceAndTheValueStillApplied) {
    Decode("81 0A 05 02 08 01 3F0CCCCD");
    Decode("81 0A 07 04 0C 01 3F4020C5");
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_EQ(events.errors[0].code, 5);
    EXPECT_EQ(events.errors[0].cmd, 2);
    EXPECT_EQ(events.errors[0].sub, 8);
    EXPECT_EQ(store.Get(f::echoLevelA), 55);
    EXPECT_EQ(store.Get(f::musicVolume), 75);
}

TEST_F(ReplyTest, BlockReplyFFFFClearsTheBandTable) {
    store.ResetStoreDefaults();
    Decode("81 86 00 00 38 FF FF 01 02");
    EXPECT_EQ(store.ReadBlock(StoreBlock::EqBandTable), std::vector<uint8_t>(kEqBandTableBytes, 0));
}

TEST_F(ReplyTest, BlockRepliesLandInTheirRecords) {
    Decode("81 86 00 07 07 00 96 03 E8 05 86 01"); // record 1: 0 dB, 1000 Hz, Q 1.414, PEQ
    EXPECT_EQ(store.GetEqBand(1).freqHz, 1000);
    Decode("81 86 04 E5 08 40 C0 00 00 C0 40 00 00");
    EXPECT_EQ(store.PositionGain(0), 6.0f);
    EXPECT_EQ(store.PositionGain(1), -3.0f);
    Decode("81 86 05 05 04 05 06 0A 8A");
    EXPECT_EQ(store.Room().width, 5);
    EXPECT_FLOAT_EQ(store.Room().listener.x, 1.0f);
    EXPECT_FLOAT_EQ(store.Room().listener.y, -1.0f);
    Decode("81 86 05 19 02 40 C0");
    EXPECT_EQ(store.BassBoostLevel(), 6.0f);
    const auto room = store.GetRoomRecordBytes();
    Decode("81 86 05 06 02 11 22"); // no block starts at 1286
    EXPECT_EQ(store.GetRoomRecordBytes(), room);
}

TEST_F(ReplyTest, BlockReplyNearTheTableEndIsBounded) {
    // count 56 at 1246: only the 7 bytes of record 178 fit; the position gains that follow stay untouched.
    std::vector<uint8_t> m = Hex("81 86 04 DE 38");
    m.resize(61, 0x77);
    Decode(m);
    EXPECT_EQ(store.GetEqRecordBytes(178), EqBandBytes({0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77}));
    EXPECT_EQ(store.PositionGain(0), 0.0f);
    // a count larger than the message carries copies what is there
    Decode("81 86 00 00 38 01 02");
    EXPECT_EQ(store.GetEqRecordBytes(0)[1], 0x02);
}

TEST_F(ReplyTest, DeviceMemoryReply) {
    Decode("81 30 00 10 03 AA BB CC");
    EXPECT_EQ(store.ReadDeviceImage(16, 3), Hex("AA BB CC"));
    const auto before = store.ReadDeviceImage();
    Decode("81 30 0C E3 04 01 02 03 04"); // offset 3299: past the image
    Decode("81 30 FF FF 04 01 02 03 04");
    EXPECT_EQ(store.ReadDeviceImage(), before);
    std::vector<uint8_t> m = Hex("81 30 0C DA 38"); // 3290, 56 bytes: 9 fit
    m.resize(61, 0x5A);
    Decode(m);
    EXPECT_EQ(store.ReadDeviceImage(3290, 9), std::vector<uint8_t>(9, 0x5A));
}

TEST_F(ReplyTest, IdentityStringsAreBoundedToTheirFields) {
    const std::string name29(29, 'N');
    Decode(ToHex(Hex("81 80") + Bytes(name29) + Hex("00")));
    EXPECT_EQ(store.Identity().moduleName, name29);
    Decode(ToHex(Hex("81 80") + Bytes(std::string(50, 'Q'))));
    EXPECT_EQ(store.Identity().moduleName, std::string(29, 'Q'));
    Decode(ToHex(Hex("81 81") + Bytes("2019-04-02-extra")));
    EXPECT_EQ(store.Identity().mcuVersion, "2019-04-02");
    Decode(ToHex(Hex("81 7E") + Bytes("DSP") + Hex("00 41 42")));
    EXPECT_EQ(store.Identity().dspVersion, "DSP");
}

TEST_F(ReplyTest, RemoteKeyIsStoredAndSentToTheView) {
    Decode("81 60 05 03 21");
    const auto keys = store.GetRemoteKeyRecord();
    EXPECT_EQ(keys[0], 5);
    EXPECT_EQ(keys[3], 0x21);
    ASSERT_EQ(events.Count(WM_DEV_REMOTE_KEY), 1);
    EXPECT_EQ(events.Events().back().wParam, 0x21u);
    // index 18 lies past the 18-byte record: nothing beyond it is written
    Decode("81 60 06 12 44");
    const auto after = store.GetRemoteKeyRecord();
    EXPECT_EQ(after[0], 6);
    EXPECT_EQ(std::count(after.begin(), after.end(), 0x44), 0);
    Decode("81 62 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12");
    EXPECT_EQ(store.GetRemoteKeyRecord()[15], 0x10);
    EXPECT_EQ(store.GetRemoteKeyRecord()[16], 0) << "the table reply carries 16 bytes";
}

TEST_F(ReplyTest, SmartMemoryRepliesFillWholeRecords) {
    // an address inside node 5's record fills that record from its start
    Decode(ToHex(Hex("81 14 00 8F 1C") + std::vector<uint8_t>(28, 0x31)));
    PlugRecord expected;
    expected.fill(0x31);
    EXPECT_EQ(smart.Plug(5), expected);
    EXPECT_EQ(smart.Plug(6), PlugRecord{});
    Decode(ToHex(Hex("81 14 19 B4 38") + std::vector<uint8_t>(56, 0x42))); // scene 1 at 6580
    EXPECT_EQ(smart.Scene(1)[55], 0x42);
    EXPECT_EQ(smart.Scene(0)[0], 0);
}

TEST_F(ReplyTest, SmartMemoryRepliesStopAtTheirTable) {
    // 56 bytes into node 232's record: 28 fit, the first scene is not touched
    Decode(ToHex(Hex("81 14 19 60 38") + std::vector<uint8_t>(56, 0x99)));
    EXPECT_EQ(smart.Plug(232)[27], 0x99);
    EXPECT_EQ(smart.Scene(0), SceneRecord{});
    std::vector<std::string> debug;
    SetDebugCallback([&](std::string_view t) { debug.emplace_back(t); });
    Decode("81 14 1A CC 02 01 02"); // 6860
    SetDebugCallback({});
    EXPECT_EQ(std::count(debug.begin(), debug.end(), "ZWaveReadMemFunc over range"), 1);
    for (int s = 0; s < kSceneCount; ++s)
        EXPECT_EQ(smart.Scene(s), SceneRecord{});
}

// ---- Z-Wave frames from the smart-home module ------------------------------------------------------------

TEST_F(ReplyTest, ModuleAcknowledgeSendsNothingBack) {
    Decode("81 12 01 06");
    EXPECT_TRUE(sender.Messages().empty());
    EXPECT_TRUE(events.Events().empty());
}

TEST_F(ReplyTest, FramesAreAcknowledgedUnpaced) {
    Decode("80 12 07 01 05 00 4A 01 03 00");
    const auto sent = sender.Messages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, Hex("06"));
    EXPECT_TRUE(sent[0].zwave);
    EXPECT_FALSE(sent[0].paced);
}

TEST_F(ReplyTest, AddNodeStatuses) {
    Decode("81 12 07 01 05 00 4A 01 03 00"); // status 3: nothing to tell
    EXPECT_EQ(events.Count(WM_DEV_ZWAVE_EVENT), 0);
    Decode("81 12 07 01 05 00 4A 01 01 00");
    smart.SetPendingPlug(MakePlugRecord(kPlugTypeDimmer, u"Lamp"));
    smart.addInProgress.store(1);
    Decode("81 12 07 01 05 00 4A 01 05 07");
    const auto ev = events.Events();
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].wParam, 0x4Au);
    EXPECT_EQ(ev[0].lParam, 1u);
    EXPECT_EQ(ev[1].lParam, 7u * 65536 + 5);
    EXPECT_TRUE(smart.NodePresent(7));
    EXPECT_EQ(PlugRecordName(smart.Plug(7)), u"Lamp");
    EXPECT_EQ(smart.Plug(7)[0], kPlugTypeDimmer);
}

TEST_F(ReplyTest, APlugThatJoinsOutsideAnAddIsPresentButNotGivenThePendingName) {
    // The user gave up the add; the plug's button pressed afterwards still joins it to the network.
    smart.SetPendingPlug(MakePlugRecord(kPlugTypeDimmer, u"Lamp"));
    smart.addInProgress.store(0);
    Decode("81 12 07 01 05 00 4A 01 05 09");
    EXPECT_TRUE(smart.NodePresent(9));
    EXPECT_EQ(smart.Plug(9)[0], 0);
    EXPECT_EQ(events.Count(WM_DEV_ZWAVE_EVENT), 1);
}

TEST_F(ReplyTest, RemoveNodeStatuses) {
    smart.SetNodePresent(9, true);
    Decode("81 12 07 01 05 00 4B 01 06 09");
    Decode("81 12 07 01 05 00 4B 01 02 00");
    const auto ev = events.Events();
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].lParam, 9u * 65536 + 6);
    EXPECT_EQ(ev[1].lParam, 2u);
    EXPECT_FALSE(smart.NodePresent(9));
}

TEST_F(ReplyTest, SendDataCallbacksSetTheOperationMarks) {
    Decode("81 12 07 01 05 00 13 44 00 00"); // a remote-key value: done only when the node reports
    EXPECT_EQ(smart.operationDone.load(), 0);
    Decode("81 12 07 01 05 00 13 43 00 00");
    EXPECT_EQ(smart.operationDone.load(), 1);
    EXPECT_EQ(smart.valueSeen.load(), 0);
    smart.operationDone.store(0);
    Decode("81 12 07 01 05 00 13 43 01 00");
    EXPECT_EQ(smart.operationDone.load(), 1);
    EXPECT_EQ(smart.valueSeen.load(), 1);
    Decode("81 12 07 01 05 00 13 43 09 00"); // other statuses: nothing
    const auto ev = events.Events();
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0].lParam, 0x44u << 16);
    EXPECT_EQ(ev[1].lParam, 0x43u << 16);
    EXPECT_EQ(ev[2].lParam, (0x43u << 16) | 1);
}

TEST_F(ReplyTest, OnlyTheAwaitedCallbackOrTheTargetNodeConfirmsAPlugValue) {
    // A switch value to node 12 (callback 0x43): another callback, another node's report and a
    // set-default say nothing about it.
    smart.ExpectConfirmation(12, 0x43, true);
    Decode("81 12 07 01 05 00 13 44 01 00");
    Decode("81 12 0A 01 08 00 04 00 0D 03 20 03 63 00");
    Decode("81 12 06 01 04 00 42 01 00");
    EXPECT_FALSE(smart.Confirmed());
    EXPECT_EQ(smart.setDefaultDone.load(), 1);
    Decode("81 12 07 01 05 00 13 43 00 00");
    EXPECT_TRUE(smart.Confirmed());

    // A remote key to node 12 (callback 0x44): delivery is not enough, the plug's own report is.
    smart.ExpectConfirmation(12, 0x44, false);
    Decode("81 12 07 01 05 00 13 44 00 00");
    EXPECT_FALSE(smart.Confirmed());
    Decode("81 12 0A 01 08 00 04 00 0C 03 20 03 06 00");
    EXPECT_TRUE(smart.Confirmed());
}

TEST_F(ReplyTest, NodeCommandStoresItsLastByte) {
    // node 12 sends a 3-byte command; its last byte (0x63) is the value
    Decode("81 12 0A 01 08 00 04 00 0C 03 20 03 63 00");
    EXPECT_EQ(smart.NodeValue(12), 0x63);
    ASSERT_EQ(events.Count(WM_DEV_ZWAVE_EVENT), 1);
    EXPECT_EQ(events.Events()[0].lParam, (12u << 16) | 0x63);
    EXPECT_EQ(smart.valueSeen.load(), 1);
    // a command length pointing past the message stores and posts nothing
    Decode("81 12 0A 01 08 00 04 00 0D 40 20");
    EXPECT_EQ(smart.NodeValue(13), 0);
    EXPECT_EQ(events.Count(WM_DEV_ZWAVE_EVENT), 1);
}

TEST_F(ReplyTest, InitDataRebuildsTheNodeTable) {
    smart.SetNodePresent(40, true);
    // bitmap of 2 bytes: 0x03 = nodes 1 and 2, 0x80 = node 16
    Decode("81 12 0A 01 08 01 02 05 00 02 03 80");
    EXPECT_EQ(smart.PresentNodes(), (std::vector<int>{1, 2, 16}));
    EXPECT_EQ(smart.nodeListReceived.load(), 1);
    EXPECT_EQ(events.Count(WM_DEV_ZWAVE_EVENT), 0);
    // a bitmap length of 29 with only 3 bytes present reads those 3, not the checksum after them
    Decode("81 12 0B 01 09 01 02 05 00 1D 00 00 01 EC");
    EXPECT_EQ(smart.PresentNodes(), std::vector<int>{17});
}

TEST_F(ReplyTest, NodeIdsOutsideTheirRangeAreIgnored) {
    // An added "node" 0, 1 or past 232 would overwrite the controller's record or fall outside the
    // plug table: nothing is adopted, marked or told.
    smart.SetPendingPlug(MakePlugRecord(kPlugTypeSwitch, u"Lamp"));
    smart.SetNodePresent(1, true);
    for (const char* m : {"81 12 07 01 05 00 4A 01 05 00", "81 12 07 01 05 00 4A 01 05 01",
                          "81 12 07 01 05 00 4A 01 05 E9", "81 12 07 01 05 00 4A 01 05 FF"})
        Decode(m);
    EXPECT_EQ(smart.Plug(0), PlugRecord{});
    EXPECT_EQ(smart.Plug(1), PlugRecord{});
    // The controller is never removed, and no id past 232 is reported.
    Decode("81 12 07 01 05 00 4B 01 06 01");
    Decode("81 12 07 01 05 00 4B 01 06 E9");
    EXPECT_TRUE(smart.NodePresent(1));
    // Node commands from ids 0 or past 232 are not a node's.
    Decode("81 12 0A 01 08 00 04 00 00 03 20 03 63 00");
    Decode("81 12 0A 01 08 00 04 00 F0 03 20 03 63 00");
    EXPECT_EQ(smart.NodeValue(0), 0);
    EXPECT_TRUE(events.Events().empty());
    EXPECT_EQ(smart.valueSeen.load(), 0);
    // A plug that was not in this network still ends an exclusion (as node 0).
    Decode("81 12 07 01 05 00 4B 01 06 00");
    ASSERT_EQ(events.Count(WM_DEV_ZWAVE_EVENT), 1);
    EXPECT_EQ(events.Events()[0].lParam, 6u);
}

TEST_F(ReplyTest, TheNodeBitmapEndsWithTheRelayedFrame) {
    // A USB report: the frame (count 0x0A) claims 29 bitmap bytes but carries 2; what follows it in
    // the report is not part of it.
    std::vector<uint8_t> report = Hex("02 12 0A 01 08 01 02 05 00 1D 03 80");
    report.resize(61, 0);
    report[12] = 0xFF;
    report[20] = 0x01;
    replies.DecodeReply(report);
    EXPECT_EQ(smart.PresentNodes(), (std::vector<int>{1, 2, 16}));
}

TEST_F(ReplyTest, SetDefaultMarksDone) {
    Decode("81 12 05 01 04 01 42 B8");
    EXPECT_EQ(smart.operationDone.load(), 1);
    ASSERT_EQ(events.Count(WM_DEV_ZWAVE_EVENT), 1);
    EXPECT_EQ(events.Events()[0].wParam, 0x42u);
}

TEST_F(ReplyTest, ShortZWaveFramesAreHarmless) {
    for (const char* m : {"81 12", "81 12 03 01 03", "81 12 04 01 04 00 4A", "81 12 04 01 04 00 4B",
                          "81 12 04 01 04 00 13 43", "81 12 04 01 04 00 04 00"})
        Decode(m);
    EXPECT_TRUE(events.Events().empty());
    EXPECT_TRUE(smart.PresentNodes().empty());
}

} // namespace
