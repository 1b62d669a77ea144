#include "link/ParamTable.h"

#include "link/Bytes.h"
#include "model/FilterDesign.h"
#include "model/ParameterStore.h"
#include "model/StoreFields.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <type_traits>

namespace orvex {

namespace {

// One row per field: the field's slot and element count come from the store's own field list, so a
// row can never name a slot the field does not own.
#define ORVEX_ROW(name, cmd, sub, also, words, wire, readback, spread, minimum)                                        \
    ParamCommand {                                                                                                     \
#name, static_cast < int16_t>(fields::name.slot),                                                              \
            static_cast < uint8_t>(std::remove_cvref_t <decltype(fields::name)>::kCount), cmd, sub, also, words,       \
            WireEncoding::wire, Readback::readback, Spread::spread, minimum                                            \
    }

// clang-format off
constexpr ParamCommand kRows[] = {
    // cmd 1: mic inputs, routing, frequency shift, effect volume, bass boost switch
    ORVEX_ROW(micVolume,        1,  4,  0, 1, Percent,        Percent,        BySub, 0.0f),
    ORVEX_ROW(micGate,          1,  8,  0, 1, Per10000,       Per10000,       BySub, 0.0f),
    ORVEX_ROW(autoSubOn,        1, 12,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(autoSubRatio,     1, 13,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(micMasterVolume,  1, 14,  0, 1, PercentPlus,    Percent,        None,  0.0f),
    ORVEX_ROW(micMute,          1, 15,  0, 1, Mute,           Muted,          None,  0.0f),
    ORVEX_ROW(micEqBypassA,     1, 26,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(micToA,           1, 27,  0, 1, Route,          Percent,        BySub, 0.0f),
    ORVEX_ROW(shiftFreqA,       1, 31,  0, 1, FrequencyShift, ShiftFrequency, None,  0.0f),
    ORVEX_ROW(shiftOffA,        1, 33,  0, 1, Byte,           ShiftOff,       None,  0.0f),
    ORVEX_ROW(effectVolume,     1, 34, 57, 1, PercentPlus,    Percent,        None,  0.0f),
    ORVEX_ROW(micBassBoostOn,   1, 37, 60, 1, NotByte,        InvertedSwitch, None,  0.0f),
    ORVEX_ROW(micEqBypassB,     1, 49,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(micToB,           1, 50,  0, 1, Route,          Percent,        BySub, 0.0f),
    ORVEX_ROW(shiftFreqB,       1, 54,  0, 1, FrequencyShift, ShiftFrequency, None,  0.0f),
    ORVEX_ROW(shiftOffB,        1, 56,  0, 1, Byte,           ShiftOff,       None,  0.0f),
    // cmd 2: echo A (7..12), echo B (20..25), master
    ORVEX_ROW(echoEqBypassA,    2,  7,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(echoLevelA,       2,  8,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(echoPredelayA,    2,  9,  0, 1, Samples,        Milliseconds,   None,  2.0f),
    ORVEX_ROW(echoTimeA,        2, 10,  0, 1, Samples,        Milliseconds,   None,  2.0f),
    ORVEX_ROW(echoStartA,       2, 11,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(echoDecayA,       2, 12,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(echoEqBypassB,    2, 20,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(echoLevelB,       2, 21,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(echoPredelayB,    2, 22,  0, 1, Samples,        Milliseconds,   None,  2.0f),
    ORVEX_ROW(echoTimeB,        2, 23,  0, 1, Samples,        Milliseconds,   None,  2.0f),
    ORVEX_ROW(echoStartB,       2, 24,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(echoDecayB,       2, 25,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(echoVolume,       2, 26,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(echoMute,         2, 27,  0, 1, Mute,           Muted,          None,  0.0f),
    // cmd 3: reverb A (7..11), reverb B (19..23), master; a reverb time goes to two subs
    ORVEX_ROW(reverbEqBypassA,  3,  7,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(reverbLevelA,     3,  8,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(reverbPredelayA,  3,  9,  0, 1, Samples,        Milliseconds,   None,  2.0f),
    ORVEX_ROW(reverbTimeA,      3, 10, 11, 1, FloatPercent,   PercentFloat,   None,  0.0f),
    ORVEX_ROW(reverbEqBypassB,  3, 19,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(reverbLevelB,     3, 20,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(reverbPredelayB,  3, 21,  0, 1, Samples,        Milliseconds,   None,  2.0f),
    ORVEX_ROW(reverbTimeB,      3, 22, 23, 1, FloatPercent,   PercentFloat,   None,  0.0f),
    ORVEX_ROW(reverbVolume,     3, 24,  0, 2, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(reverbMute,       3, 25,  0, 2, Mute,           Muted,          None,  0.0f),
    // cmd 4: music path, input levels, automatic level, low-frequency path
    ORVEX_ROW(musicEqBypass,    4, 11,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(musicVolume,      4, 12,  0, 1, PercentPlus,    Percent,        None,  0.0f),
    ORVEX_ROW(musicMute,        4, 13,  0, 1, FadedMute,      Muted,          None,  0.0f),
    ORVEX_ROW(musicAutoThreshold, 4, 14, 0, 7, Compressor,    Compressor,     None,  0.0f),
    ORVEX_ROW(musicAutoOff,     4, 15,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(musicAgcOn,       4, 16,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(musicAgcLevel,    4, 17,  0, 1, Float,          Float,          None,  0.0f),
    ORVEX_ROW(musicParam21,     4, 21,  0, 1, BytePlus5,      MinusFive,      None,  0.0f),
    ORVEX_ROW(musicNoiseGate,   4, 22,  0, 1, Per10000,       Per10000,       None,  0.0f),
    ORVEX_ROW(musicSource,      4, 23,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(opticalVolume,    4, 24,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(spdif2Volume,     4, 25,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(hdmiVolume,       4, 26,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(hdmi2Volume,      4, 27,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(hdmi3Volume,      4, 28,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(hdmi4Volume,      4, 29,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(btVolume,         4, 30,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(auxVolume,        4, 31,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(aux2Volume,       4, 32,  0, 1, Percent,        Percent,        None,  0.0f),
    ORVEX_ROW(hdmiInput,        4, 33,  0, 1, Byte,           Switch,         None,  0.0f),
    ORVEX_ROW(musicLowDelay,    4, 36,  0, 1, WholeSamples,   WholeMilliseconds, None, 0.0f),
    ORVEX_ROW(musicLowGain,     4, 37,  0, 1, Percent,        Percent,        None,  0.0f),
    // cmd 5..12: output channels, element k is cmd 5 + k
    ORVEX_ROW(outEqBypass,      5, 15,  0, 1, Byte,           Switch,         ByCmd, 0.0f),
    ORVEX_ROW(outRole,          5, 16,  0, 1, Byte,           Switch,         ByCmd, 0.0f),
    ORVEX_ROW(outDelayMode,     5, 17,  0, 2, DelayMode,      DelayMode,      ByCmd, 0.0f),
    ORVEX_ROW(outDelayMs,       5, 18,  0, 1, Samples,        Milliseconds,   ByCmd, 1.5f),
    ORVEX_ROW(outDelayOff,      5, 19,  0, 1, Byte,           Switch,         ByCmd, 0.0f),
    ORVEX_ROW(outMixDirect,     5, 20,  0, 1, Percent,        Percent,        ByCmd, 0.0f),
    ORVEX_ROW(outMixReverb,     5, 21,  0, 1, Percent,        Percent,        ByCmd, 0.0f),
    ORVEX_ROW(outMixEcho,       5, 22,  0, 1, Percent,        Percent,        ByCmd, 0.0f),
    ORVEX_ROW(outMixMusic,      5, 23,  0, 1, Percent,        Percent,        ByCmd, 0.0f),
    ORVEX_ROW(outSurroundVolume, 5, 24, 0, 1, Percent,        Percent,        ByCmd, 0.0f),
    ORVEX_ROW(outPhaseInvert,   5, 25,  0, 1, PhaseSign,      PhaseSign,      ByCmd, 0.0f),
    ORVEX_ROW(outMute,          5, 26,  0, 1, Mute,           Muted,          ByCmd, 0.0f),
    ORVEX_ROW(outCompThreshold, 5, 27,  0, 7, Compressor,     Compressor,     ByCmd, 0.0f),
    ORVEX_ROW(outCompOff,       5, 28,  0, 1, Byte,           Switch,         ByCmd, 0.0f),
    // cmd 13: mic exciter
    ORVEX_ROW(exciterLowFreq,       13,  0, 0, 1, Float,        RoundedFloat, None, 0.0f),
    ORVEX_ROW(exciterLowGain,       13,  1, 0, 1, Float,        RoundedFloat, None, 0.0f),
    ORVEX_ROW(exciterMidFreq,       13,  2, 0, 1, Float,        RoundedFloat, None, 0.0f),
    ORVEX_ROW(exciterMidGain,       13,  3, 0, 1, Float,        RoundedFloat, None, 0.0f),
    ORVEX_ROW(exciterHighFreq,      13,  4, 0, 1, Float,        RoundedFloat, None, 0.0f),
    ORVEX_ROW(exciterHighGain,      13,  5, 0, 1, Float,        RoundedFloat, None, 0.0f),
    ORVEX_ROW(exciterHarmonicGain,  13,  6, 0, 1, FloatPercent, PercentFloat, None, 0.0f),
    ORVEX_ROW(exciterHarmonicOrder, 13,  7, 0, 1, FloatPercent, PercentFloat, None, 0.0f),
    ORVEX_ROW(exciterHarmonicMix,   13,  8, 0, 1, FloatPercent, PercentFloat, None, 0.0f),
    ORVEX_ROW(exciterVolume,        13,  9, 0, 1, FloatPercent, PercentFloat, None, 0.0f),
    ORVEX_ROW(exciterEqOn,          13, 10, 0, 1, Byte,         Switch,       None, 0.0f),
    ORVEX_ROW(exciterOn,            13, 11, 0, 1, Byte,         Switch,       None, 0.0f),
};
// clang-format on

#undef ORVEX_ROW

constexpr int kRowCount = static_cast<int>(std::size(kRows));
constexpr int kCmdCount = 14;
constexpr int kSubCount = 64;

// Slots a compressor row owns: threshold, ratio, attack, release, each `count` wide.
constexpr int SlotsOwned(const ParamCommand& row) {
    return row.wire == WireEncoding::Compressor ? 4 : 1;
}

struct SlotIndex {
    std::array<int16_t, kParamSlotCount> row{};
    std::array<int8_t, kParamSlotCount> element{};
};

constexpr SlotIndex BuildSlotIndex() {
    SlotIndex index{};
    for (auto& r : index.row)
        r = -1;
    for (int i = 0; i < kRowCount; ++i) {
        const ParamCommand& row = kRows[i];
        for (int part = 0; part < SlotsOwned(row); ++part) {
            for (int e = 0; e < row.count; ++e) {
                const auto slot = static_cast<size_t>(RowSlot(row, e, part));
                index.row[slot] = static_cast<int16_t>(i);
                index.element[slot] = static_cast<int8_t>(e);
            }
        }
    }
    return index;
}

struct CommandIndex {
    std::array<std::array<int16_t, kSubCount>, kCmdCount> row{};
    std::array<std::array<int8_t, kSubCount>, kCmdCount> element{};
};

constexpr CommandIndex BuildCommandIndex() {
    CommandIndex index{};
    for (auto& cmd : index.row)
        for (auto& r : cmd)
            r = -1;
    for (int i = 0; i < kRowCount; ++i) {
        const ParamCommand& row = kRows[i];
        if (row.readback == Readback::None)
            continue;
        for (int e = 0; e < row.count; ++e) {
            const int cmd = RowCmd(row, e);
            const int sub = RowSub(row, e);
            index.row[static_cast<size_t>(cmd)][static_cast<size_t>(sub)] = static_cast<int16_t>(i);
            index.element[static_cast<size_t>(cmd)][static_cast<size_t>(sub)] = static_cast<int8_t>(e);
        }
    }
    return index;
}

constexpr SlotIndex kSlotIndex = BuildSlotIndex();
constexpr CommandIndex kCommandIndex = BuildCommandIndex();

// Every slot that carries a parameter has exactly one row; the reserved slots and the bass boost copy
// have none. Two rows never claim one cmd/sub.
constexpr bool RowsCoverTheBlock() {
    std::array<int, kParamSlotCount> owners{};
    std::array<std::array<int, kSubCount>, kCmdCount> claims{};
    for (const ParamCommand& row : kRows) {
        if (row.cmd + (row.spread == Spread::ByCmd ? row.count - 1 : 0) >= kCmdCount)
            return false;
        if (row.sub + (row.spread == Spread::BySub ? row.count - 1 : 0) >= kSubCount || row.alsoSub >= kSubCount)
            return false;
        for (int part = 0; part < SlotsOwned(row); ++part)
            for (int e = 0; e < row.count; ++e)
                ++owners[static_cast<size_t>(RowSlot(row, e, part))];
        for (int e = 0; e < row.count; ++e)
            ++claims[RowCmd(row, e)][RowSub(row, e)];
    }
    for (int slot = 0; slot < kParamSlotCount; ++slot) {
        const bool carried = slot != 6 && slot != 14 && slot != fields::micBassBoostOnCopy.slot;
        if (owners[static_cast<size_t>(slot)] != (carried ? 1 : 0))
            return false;
    }
    for (const auto& cmd : claims)
        for (int n : cmd)
            if (n > 1)
                return false;
    return true;
}

static_assert(RowsCoverTheBlock(), "every parameter slot needs exactly one command row");
// The decoder finds a frequency from its off switch one slot below it.
static_assert(fields::shiftOffA.slot == fields::shiftFreqA.slot + 1 &&
              fields::shiftOffB.slot == fields::shiftFreqB.slot + 1);
static_assert(fields::outCompRatio.slot == fields::outCompThreshold.slot + 8 &&
              fields::outCompAttack.slot == fields::outCompThreshold.slot + 16 &&
              fields::outCompRelease.slot == fields::outCompThreshold.slot + 24);
static_assert(fields::musicAutoRatio.slot == fields::musicAutoThreshold.slot + 1 &&
              fields::musicAutoAttack.slot == fields::musicAutoThreshold.slot + 2 &&
              fields::musicAutoRelease.slot == fields::musicAutoThreshold.slot + 3);

int32_t SaturateInt(double value) {
    if (!(value > std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (value >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

// The processor's values are shifted half a hundredth away from zero before they are truncated, so a
// percent word reads back as its nearest whole percent.
float ShiftAwayFromZero(float e) {
    return static_cast<float>(e >= 0.0f ? static_cast<double>(e) + 0.005 : static_cast<double>(e) - 0.005);
}

double SamplesToMs(uint32_t samples) {
    return samples * 1000.0 / kDspSampleRate;
}

// Inverts 1 - e^(-1/(ms x 48 samples)).
double TimeFromCoefficient(float coefficient) {
    return -1.0 / std::log(1.0 - coefficient) / kDspSamplesPerMs;
}

void StoreFiniteFloat(ParameterStore& store, int slot, double value) {
    const auto f = static_cast<float>(value);
    if (std::isfinite(f))
        store.SetSlotFloat(slot, f);
}

} // namespace

std::span<const ParamCommand> ParamCommands() {
    return kRows;
}

const ParamCommand* FindParamCommandBySlot(int slot, int* element) {
    if (slot < 0 || slot >= kParamSlotCount)
        return nullptr;
    const int row = kSlotIndex.row[static_cast<size_t>(slot)];
    if (row < 0)
        return nullptr;
    if (element != nullptr)
        *element = kSlotIndex.element[static_cast<size_t>(slot)];
    return &kRows[row];
}

const ParamCommand* FindParamCommand(uint8_t cmd, uint8_t sub, int* element) {
    if (cmd >= kCmdCount || sub >= kSubCount)
        return nullptr;
    const int row = kCommandIndex.row[cmd][sub];
    if (row < 0)
        return nullptr;
    if (element != nullptr)
        *element = kCommandIndex.element[cmd][sub];
    return &kRows[row];
}

uint32_t PercentWord(int32_t percent) {
    return FloatBits(static_cast<float>(percent / 100.0));
}
uint32_t PercentPlusWord(int32_t percent) {
    return FloatBits(static_cast<float>(percent / 100.0 + 0.0005));
}
uint32_t Per10000Word(int32_t value) {
    return FloatBits(static_cast<float>(value / 10000.0));
}
uint32_t FloatPercentWord(float value) {
    return FloatBits(static_cast<float>(static_cast<double>(value) / 100.0));
}
uint32_t ByteWord(int32_t value) {
    return static_cast<uint8_t>(value);
}
uint32_t FloatWord(float value) {
    return FloatBits(value);
}

uint32_t SampleCountWord(double ms) {
    const double samples = std::trunc(ms * kDspSamplesPerMs + 0.5);
    if (!(samples > 0.0))
        return 0;
    if (samples >= 4294967295.0)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(samples);
}

uint32_t EncodeSlotWord(WireEncoding wire, uint32_t slotWord, float minimum) {
    const auto asInt = static_cast<int32_t>(slotWord);
    const float asFloat = BitsFloat(slotWord);
    switch (wire) {
    case WireEncoding::Percent:
        return PercentWord(asInt);
    case WireEncoding::PercentPlus:
        return PercentPlusWord(asInt);
    case WireEncoding::Per10000:
        return Per10000Word(asInt);
    case WireEncoding::Float:
        return slotWord;
    case WireEncoding::FloatPercent:
        return FloatPercentWord(asFloat);
    case WireEncoding::Byte:
        return ByteWord(asInt);
    case WireEncoding::NotByte:
        return asInt == 0 ? 1u : 0u;
    case WireEncoding::Mute:
    case WireEncoding::FadedMute:
        return FloatWord(asInt == 0 ? 1.0f : 0.0f);
    case WireEncoding::Samples:
        return SampleCountWord(std::isfinite(asFloat) && asFloat > minimum ? asFloat : minimum);
    case WireEncoding::WholeSamples:
        return SampleCountWord(static_cast<double>(asInt));
    case WireEncoding::Route:
        return FloatWord(asInt == 100 ? 1.0f : 0.0f);
    case WireEncoding::BytePlus5:
        return ByteWord(asInt + 5);
    case WireEncoding::PhaseSign:
        return FloatWord(asInt != 0 ? -1.0f : 1.0f);
    case WireEncoding::FrequencyShift:
    case WireEncoding::Compressor:
    case WireEncoding::DelayMode:
        break;
    }
    return 0;
}

std::array<uint32_t, 7> CompressorWords(float thresholdDb, float ratio, float attackMs, float releaseMs) {
    // A zeroed store holds ratio 0 and times of 0, which would make 1 - 1/ratio and the exponentials
    // infinite or NaN; the processor must never receive those. 1:1 and 1 ms are the controls' minimums.
    const double r = std::isfinite(ratio) && ratio >= 1.0f ? ratio : 1.0;
    const double attack = std::isfinite(attackMs) && attackMs > 0.0f ? attackMs : 1.0;
    const double release = std::isfinite(releaseMs) && releaseMs > 0.0f ? releaseMs : 1.0;
    const float threshold = std::isfinite(thresholdDb) ? thresholdDb : 0.0f;
    return {FloatWord(threshold),
            FloatWord(0.0f),
            FloatWord(static_cast<float>(1.0 - 1.0 / r)),
            FloatWord(20.0f),
            FloatWord(0.05f),
            FloatWord(static_cast<float>(1.0 - std::exp(-1.0 / (attack * kDspSamplesPerMs)))),
            FloatWord(static_cast<float>(1.0 - std::exp(-1.0 / (release * kDspSamplesPerMs))))};
}

uint32_t ShiftAngleWord(int32_t hz) {
    return FloatWord(static_cast<float>(hz * 2.0 * std::numbers::pi / kDspSampleRate));
}

uint32_t ShiftPeriodWord(int32_t hz) {
    // A quarter period in ms less 25 ms, rounded to float before it becomes samples.
    const auto quarterLess25 = static_cast<float>(1000.0 / (4.0 * hz) - 25.0);
    return static_cast<uint32_t>(SaturateInt(std::trunc(static_cast<double>(quarterLess25) * kDspSamplesPerMs + 0.5)));
}

bool DecodeParamValue(ParameterStore& store, uint8_t cmd, uint8_t sub, std::span<const uint8_t> data) {
    int element = 0;
    const ParamCommand* row = FindParamCommand(cmd, sub, &element);
    if (row == nullptr)
        return false;
    const size_t need = row->readback == Readback::Compressor ? 28 : row->readback == Readback::DelayMode ? 8 : 4;
    if (data.size() < need)
        return false;
    const uint32_t word = ReadBe32(data.data());
    const int32_t b = static_cast<int32_t>(word & 0xFF);
    const int slot = RowSlot(*row, element);

    switch (row->readback) {
    case Readback::None:
        return false;
    case Readback::Switch:
        store.SetSlotInt(slot, b);
        return true;
    case Readback::InvertedSwitch:
        store.SetSlotInt(slot, b == 0 ? 1 : 0);
        return true;
    case Readback::MinusFive:
        store.SetSlotInt(slot, b - 5);
        return true;
    case Readback::ShiftOff:
        store.SetSlotInt(slot, b);
        if (b == 1)
            store.SetSlotInt(slot - 1, 1); // a frequency of 1 Hz means "off"
        return true;
    case Readback::Milliseconds:
        store.SetSlotFloat(slot, static_cast<float>(SamplesToMs(word)));
        return true;
    case Readback::WholeMilliseconds:
        store.SetSlotInt(slot, static_cast<int32_t>(std::trunc(SamplesToMs(word))));
        return true;
    case Readback::DelayMode: {
        const float second = ReadBeFloat(data.data() + 4);
        if (!std::isfinite(second))
            return false;
        store.SetSlotInt(slot, std::trunc(second) == 0.0f ? 1 : 0);
        return true;
    }
    case Readback::Compressor: {
        // Each field is kept as it was when its word cannot be inverted (a zeroed record gives 1/0 and
        // log 1 = 0 in the denominators).
        const float threshold = ReadBeFloat(data.data());
        const float w2 = ReadBeFloat(data.data() + 8);
        const float w5 = ReadBeFloat(data.data() + 20);
        const float w6 = ReadBeFloat(data.data() + 24);
        StoreFiniteFloat(store, RowSlot(*row, element, 0), threshold);
        StoreFiniteFloat(store, RowSlot(*row, element, 1), 1.0 / (1.0 - w2));
        StoreFiniteFloat(store, RowSlot(*row, element, 2), TimeFromCoefficient(w5));
        StoreFiniteFloat(store, RowSlot(*row, element, 3), TimeFromCoefficient(w6));
        return true;
    }
    default:
        break;
    }

    const float e = BitsFloat(word);
    if (!std::isfinite(e))
        return false;
    const float d = ShiftAwayFromZero(e);
    const double c = std::trunc(static_cast<double>(d) * 100.0);
    switch (row->readback) {
    case Readback::Percent:
        store.SetSlotInt(slot, SaturateInt(c));
        return true;
    case Readback::Per10000:
        // Rounded, not truncated: 7 / 10000 is 0.00069999998 as a float and would read back as 6.
        store.SetSlotInt(slot, SaturateInt(std::round(static_cast<double>(e) * 10000.0)));
        return true;
    case Readback::Muted:
        store.SetSlotInt(slot, c == 0.0 ? 1 : 0);
        return true;
    case Readback::PhaseSign:
        store.SetSlotInt(slot, c <= 0.0 ? 1 : 0);
        return true;
    case Readback::Float:
        store.SetSlotFloat(slot, e);
        return true;
    case Readback::RoundedFloat: {
        // The processor's value to the nearest hundredth (half away from zero). Keeping d itself
        // would add 0.005 on every read-all and write-all round trip.
        const double hundredths = std::trunc(static_cast<double>(d) * 100.0);
        const auto rounded = static_cast<float>(hundredths / 100.0);
        if (!std::isfinite(rounded))
            return false;
        store.SetSlotFloat(slot, rounded);
        return true;
    }
    case Readback::PercentFloat:
        // e x 100 of a finite float can still overflow a float.
        if (!(std::fabs(c) <= static_cast<double>(std::numeric_limits<float>::max())))
            return false;
        store.SetSlotFloat(slot, static_cast<float>(c));
        return true;
    case Readback::ShiftFrequency:
        store.SetSlotInt(
            slot, SaturateInt(std::trunc(static_cast<double>(e) * kDspSampleRate / (2.0 * std::numbers::pi) + 0.5)));
        return true;
    default:
        return false;
    }
}

} // namespace orvex
