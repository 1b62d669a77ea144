#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

namespace orvex {

// paramBlock: 228 four-byte slots. Slots 6 and 14 carry no parameter; they are kept and saved but
// never sent.
inline constexpr int kParamSlotCount = 228;
inline constexpr int kParamBlockBytes = kParamSlotCount * 4;
inline constexpr std::array<int, 2> kReservedParamSlots = {6, 14};

// How a slot's 32 bits are read.
enum class FieldType : uint8_t { Int, Float };

// What a slot means to a user or a tool: the unit and how the processor sees it.
enum class FieldKind : uint8_t {
    Percent,      // int 0..100; the processor receives slot / 100
    Switch,       // int 0/1
    Choice,       // int code from a short list (source, speaker role, HDMI input)
    Integer,      // plain int with its own scale (gates in 1/10000, offset codes)
    Hertz,        // frequency
    Milliseconds, // time; the processor receives samples at 48 kHz
    Decibels,     // level or threshold
    Ratio,        // compressor ratio n:1
    Float100,     // float 0..100; the processor receives slot / 100
    Float,        // float sent unchanged
};

struct StoreField {
    std::string_view name;
    int slot;  // first slot
    int count; // 1, 4 or 8 (arrays are indexed by mic input or output channel)
    FieldType type;
    FieldKind kind;
    double minValue; // the range a user or tool may enter
    double maxValue;
};

// The one list of named slots: name, first slot, element count, type, kind, range.
// Ranges the processor does not state are chosen wide enough for any sensible setting:
//  - gates: slot / 10000 is the linear threshold, so 0..10000 covers 0..1.0 full scale;
//  - frequency shift: 1 means off, a few hertz is usual, 1000 Hz is far beyond use;
//  - predelays, output and low-path delays 0..1000 ms, echo repeat 0..2000 ms (the setters raise
//    anything below their own minimum, 2 ms or 1.5 ms);
//  - compressor and automatic level: threshold -60..0 dB, ratio 1..100 (1 = no compression),
//    attack 0..1000 ms, release 0..5000 ms;
//  - musicParam21 is held as the processor's byte minus 5, hence -5..250;
//  - musicAgcLevel is passed through unchanged; -100..100 keeps a tool from sending nonsense;
//  - exciter points: 20..20000 Hz and -24..+24 dB.
// clang-format off
#define ORVEX_PARAM_FIELDS(X)                                                        \
    X(micMasterVolume,      0,   1, Int,   Percent,      0, 100)                     \
    X(micToA,               1,   4, Int,   Percent,      0, 100) /* 100 routed */    \
    X(micEqBypassA,         5,   1, Int,   Switch,       0, 1)                       \
    X(shiftFreqA,           7,   1, Int,   Hertz,        1, 1000)                    \
    X(shiftOffA,            8,   1, Int,   Switch,       0, 1)                       \
    X(micToB,               9,   4, Int,   Percent,      0, 100)                     \
    X(micEqBypassB,         13,  1, Int,   Switch,       0, 1)                       \
    X(shiftFreqB,           15,  1, Int,   Hertz,        1, 1000)                    \
    X(shiftOffB,            16,  1, Int,   Switch,       0, 1)                       \
    X(micMute,              17,  1, Int,   Switch,       0, 1)                       \
    X(effectVolume,         18,  1, Int,   Percent,      0, 100)                     \
    X(micVolume,            19,  4, Int,   Percent,      0, 100)                     \
    X(micGate,              23,  4, Int,   Integer,      0, 10000)                   \
    X(autoSubOn,            27,  1, Int,   Switch,       0, 1)                       \
    X(autoSubRatio,         28,  1, Int,   Percent,      0, 100)                     \
    X(echoEqBypassA,        29,  1, Int,   Switch,       0, 1)                       \
    X(echoLevelA,           30,  1, Int,   Percent,      0, 100)                     \
    X(echoPredelayA,        31,  1, Float, Milliseconds, 0, 1000)                    \
    X(echoTimeA,            32,  1, Float, Milliseconds, 0, 2000)                    \
    X(echoStartA,           33,  1, Int,   Percent,      0, 100)                     \
    X(echoDecayA,           34,  1, Int,   Percent,      0, 100)                     \
    X(echoEqBypassB,        35,  1, Int,   Switch,       0, 1)                       \
    X(echoLevelB,           36,  1, Int,   Percent,      0, 100)                     \
    X(echoPredelayB,        37,  1, Float, Milliseconds, 0, 1000)                    \
    X(echoTimeB,            38,  1, Float, Milliseconds, 0, 2000)                    \
    X(echoStartB,           39,  1, Int,   Percent,      0, 100)                     \
    X(echoDecayB,           40,  1, Int,   Percent,      0, 100)                     \
    X(echoVolume,           41,  1, Int,   Percent,      0, 100)                     \
    X(echoMute,             42,  1, Int,   Switch,       0, 1)                       \
    X(reverbEqBypassA,      43,  1, Int,   Switch,       0, 1)                       \
    X(reverbLevelA,         44,  1, Int,   Percent,      0, 100)                     \
    X(reverbPredelayA,      45,  1, Float, Milliseconds, 0, 1000)                    \
    X(reverbTimeA,          46,  1, Float, Float100,     0, 100)                     \
    X(reverbEqBypassB,      47,  1, Int,   Switch,       0, 1)                       \
    X(reverbLevelB,         48,  1, Int,   Percent,      0, 100)                     \
    X(reverbPredelayB,      49,  1, Float, Milliseconds, 0, 1000)                    \
    X(reverbTimeB,          50,  1, Float, Float100,     0, 100)                     \
    X(reverbVolume,         51,  1, Int,   Percent,      0, 100)                     \
    X(reverbMute,           52,  1, Int,   Switch,       0, 1)                       \
    X(musicVolume,          53,  1, Int,   Percent,      0, 100)                     \
    X(opticalVolume,        54,  1, Int,   Percent,      0, 100)                     \
    X(hdmiVolume,           55,  1, Int,   Percent,      0, 100)                     \
    X(btVolume,             56,  1, Int,   Percent,      0, 100)                     \
    X(spdif2Volume,         57,  1, Int,   Percent,      0, 100)                     \
    X(auxVolume,            58,  1, Int,   Percent,      0, 100)                     \
    X(aux2Volume,           59,  1, Int,   Percent,      0, 100)                     \
    X(musicMute,            60,  1, Int,   Switch,       0, 1)                       \
    X(musicEqBypass,        61,  1, Int,   Switch,       0, 1)                       \
    X(musicParam21,         62,  1, Int,   Integer,     -5, 250)                     \
    X(musicSource,          63,  1, Int,   Choice,       0, 5)                       \
    X(musicNoiseGate,       64,  1, Int,   Integer,      0, 10000)                   \
    X(outMixDirect,         65,  8, Int,   Percent,      0, 100)                     \
    X(outMixReverb,         73,  8, Int,   Percent,      0, 100)                     \
    X(outMixEcho,           81,  8, Int,   Percent,      0, 100)                     \
    X(outMixMusic,          89,  8, Int,   Percent,      0, 100)                     \
    X(outRole,              97,  8, Int,   Choice,       0, 7)                       \
    X(outEqBypass,          105, 8, Int,   Switch,       0, 1)                       \
    X(outCompOff,           113, 8, Int,   Switch,       0, 1)                       \
    X(outCompThreshold,     121, 8, Float, Decibels,   -60, 0)                       \
    X(outCompRatio,         129, 8, Float, Ratio,        1, 100)                     \
    X(outCompAttack,        137, 8, Float, Milliseconds, 0, 1000)                    \
    X(outCompRelease,       145, 8, Float, Milliseconds, 0, 5000)                    \
    X(outDelayMs,           153, 8, Float, Milliseconds, 0, 1000)                    \
    X(outDelayOff,          161, 8, Int,   Switch,       0, 1)                       \
    X(outDelayMode,         169, 8, Int,   Switch,       0, 1) /* 1 whole channel */ \
    X(outMute,              177, 8, Int,   Switch,       0, 1)                       \
    X(outPhaseInvert,       185, 8, Int,   Switch,       0, 1)                       \
    X(musicAgcOn,           193, 1, Int,   Switch,       0, 1)                       \
    X(musicAgcLevel,        194, 1, Float, Float,     -100, 100)                     \
    X(hdmiInput,            195, 1, Int,   Choice,       0, 3)                       \
    X(hdmi2Volume,          196, 1, Int,   Percent,      0, 100)                     \
    X(hdmi3Volume,          197, 1, Int,   Percent,      0, 100)                     \
    X(hdmi4Volume,          198, 1, Int,   Percent,      0, 100)                     \
    X(outSurroundVolume,    199, 8, Int,   Percent,      0, 100) /* CH6: 0..500 */  \
    X(micBassBoostOn,       207, 1, Int,   Switch,       0, 1)                       \
    X(micBassBoostOnCopy,   208, 1, Int,   Switch,       0, 1) /* setter only */     \
    X(musicLowDelay,        209, 1, Int,   Milliseconds, 0, 1000)                    \
    X(musicLowGain,         210, 1, Int,   Percent,      0, 100)                     \
    X(musicAutoThreshold,   211, 1, Float, Decibels,   -60, 0)                       \
    X(musicAutoRatio,       212, 1, Float, Ratio,        1, 100)                     \
    X(musicAutoAttack,      213, 1, Float, Milliseconds, 0, 1000)                    \
    X(musicAutoRelease,     214, 1, Float, Milliseconds, 0, 5000)                    \
    X(musicAutoOff,         215, 1, Int,   Switch,       0, 1) /* 0 = on */          \
    X(exciterLowFreq,       216, 1, Float, Hertz,       20, 20000)                   \
    X(exciterLowGain,       217, 1, Float, Decibels,   -24, 24)                      \
    X(exciterMidFreq,       218, 1, Float, Hertz,       20, 20000)                   \
    X(exciterMidGain,       219, 1, Float, Decibels,   -24, 24)                      \
    X(exciterHighFreq,      220, 1, Float, Hertz,       20, 20000)                   \
    X(exciterHighGain,      221, 1, Float, Decibels,   -24, 24)                      \
    X(exciterHarmonicGain,  222, 1, Float, Float100,     0, 100)                     \
    X(exciterHarmonicOrder, 223, 1, Float, Float100,     0, 100)                     \
    X(exciterHarmonicMix,   224, 1, Float, Float100,     0, 100)                     \
    X(exciterVolume,        225, 1, Float, Float100,     0, 100)                     \
    X(exciterEqOn,          226, 1, Int,   Switch,       0, 1)                       \
    X(exciterOn,            227, 1, Int,   Switch,       0, 1)
// clang-format on

#define ORVEX_FIELD_DESCRIPTOR(name, slot, count, type, kind, lo, hi)                                                  \
    StoreField{#name, slot, count, FieldType::type, FieldKind::kind, lo, hi},

inline constexpr StoreField kStoreFields[] = {ORVEX_PARAM_FIELDS(ORVEX_FIELD_DESCRIPTOR)};

#undef ORVEX_FIELD_DESCRIPTOR

// Every named field, in slot order. The span is over a constant table, not over a store.
std::span<const StoreField> StoreFields();

// The field of that exact name, or nullptr.
const StoreField* FindStoreField(std::string_view name);

// The field that owns the slot (with the element index inside it), or nullptr for a reserved or
// out-of-range slot.
const StoreField* FindStoreFieldBySlot(int slot, int* index = nullptr);

// A typed handle on a named slot: the store's Get and Set take these, so an int field yields an
// int32_t, a float field a float, and only arrays take an element index.
template <class T, int N>
struct SlotField {
    using ValueType = T;
    static constexpr int kCount = N;
    int slot;
};

template <FieldType Type>
using FieldValueType = std::conditional_t<Type == FieldType::Int, int32_t, float>;

namespace fields {
#define ORVEX_FIELD_CONSTANT(name, slot, count, type, kind, lo, hi)                                                    \
    inline constexpr SlotField<FieldValueType<FieldType::type>, count> name{slot};

ORVEX_PARAM_FIELDS(ORVEX_FIELD_CONSTANT)

#undef ORVEX_FIELD_CONSTANT
} // namespace fields

struct ValueRange {
    double minValue;
    double maxValue;
};

// Single elements of an array field whose range is not the field's: the sixth output's surround volume
// goes up to 500 %.
struct ElementRange {
    int slot;
    ValueRange range;
};
inline constexpr ElementRange kElementRanges[] = {{fields::outSurroundVolume.slot + 5, {0, 500}}};

// The range a user or tool may enter for element `index` (0 for a single field) of `field`.
constexpr ValueRange FieldValueRange(const StoreField& field, int index) {
    for (const ElementRange& e : kElementRanges) {
        if (e.slot == field.slot + index)
            return e.range;
    }
    return {field.minValue, field.maxValue};
}

} // namespace orvex
