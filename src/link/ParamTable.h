#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace orvex {

class ParameterStore;

// The processor's parameter blocks (cmd): 1 mic and effect mixing, 2 echo, 3 reverb, 4 music and
// global, 5..12 output channels 1..8, 13 mic exciter. A parameter write is 09, 00, cmd, sub, n and n
// big-endian words.
inline constexpr uint8_t kCmdMic = 1;
inline constexpr uint8_t kCmdEcho = 2;
inline constexpr uint8_t kCmdReverb = 3;
inline constexpr uint8_t kCmdMusic = 4;
inline constexpr uint8_t kCmdFirstOutput = 5;
inline constexpr uint8_t kCmdLastOutput = 12;
inline constexpr uint8_t kCmdExciter = 13;

// How a field becomes the words of its parameter write.
enum class WireEncoding : uint8_t {
    Percent,        // float slot / 100
    PercentPlus,    // float (slot / 100 + 0.0005): master volumes
    Per10000,       // float slot / 10000: noise gates
    Float,          // the float slot unchanged
    FloatPercent,   // float slot / 100 for a float slot
    Byte,           // 00 00 00 low byte
    NotByte,        // 00 00 00 01 when the slot is 0, else 00 00 00 00
    Mute,           // float 1.0 when the slot is 0 (sounding), 0.0 when muted
    FadedMute,      // Mute, but unmuting fades in over ten steps
    Samples,        // unsigned trunc(ms x 48 + 0.5) of a float ms slot, never below `minimum`
    WholeSamples,   // the same for an int ms slot
    Route,          // float 1.0 when the slot is 100; a mic's A and B routes always travel together
    BytePlus5,      // the byte of slot + 5 (the slot holds the processor's value minus 5)
    PhaseSign,      // float -1.0 when inverted, 1.0 otherwise
    FrequencyShift, // subs 31..33 (A) or 54..56 (B): the off switch, the angle and the period
    Compressor,     // seven words from threshold, ratio, attack and release
    DelayMode,      // two words: 1.0, then 0.0 for whole-channel delay, 1.0 for high-frequency delay
};

// How a reported word goes back into the store. e is the first word as a float, d = e shifted half a
// hundredth away from zero, c = trunc(d x 100), b the word's last byte, s the word as a sample count.
enum class Readback : uint8_t {
    None,              // never read back
    Percent,           // c
    Per10000,          // e x 10000, rounded to the nearest integer
    Switch,            // b
    InvertedSwitch,    // 1 when b is 0, else 0
    Muted,             // 1 when c is 0, else 0
    Milliseconds,      // s x 1000 / 48000 into a float slot
    WholeMilliseconds, // the same, truncated, into an int slot
    Float,             // e
    RoundedFloat,      // e to the nearest hundredth, half away from zero
    PercentFloat,      // c as a float
    MinusFive,         // b - 5
    PhaseSign,         // 1 when c <= 0, else 0
    ShiftFrequency,    // trunc(e x 48000 / 2 pi + 0.5)
    ShiftOff,          // b; when b is 1 the matching frequency becomes 1 (off)
    Compressor,        // threshold, ratio, attack, release from words 0, 2, 5, 6
    DelayMode,         // 1 when trunc(word 1) is 0, else 0
};

// How the elements of an array field spread over the processor's numbering.
enum class Spread : uint8_t {
    None,  // a single field
    BySub, // element i is sub + i (mic inputs)
    ByCmd, // element k is cmd + k (output channels)
};

// One row of the parameter command table. The setters and the decoder share it.
struct ParamCommand {
    std::string_view field; // the store field's name
    int16_t slot;           // first slot of the field; for a compressor, the threshold's
    uint8_t count;          // elements: 1, 4 or 8
    uint8_t cmd;            // cmd of element 0
    uint8_t sub;            // sub of element 0
    uint8_t alsoSub;        // a second sub that receives the same words, 0 for none
    uint8_t words;          // n
    WireEncoding wire;
    Readback readback;
    Spread spread;
    float minimum; // Samples: the shortest time stored and sent, ms
};

std::span<const ParamCommand> ParamCommands();

// The row that writes the slot, and the element inside it; nullptr for a slot no command carries
// (the reserved slots and the bass boost copy in slot 208). A compressor row owns the four slots of
// threshold, ratio, attack and release.
const ParamCommand* FindParamCommandBySlot(int slot, int* element = nullptr);
// The row the decoder uses for a reported cmd/sub, or nullptr when the value is not read back
// (coefficients, the second sub of a doubled word, the frequency-shift period, speaker locate).
const ParamCommand* FindParamCommand(uint8_t cmd, uint8_t sub, int* element = nullptr);

constexpr uint8_t RowCmd(const ParamCommand& row, int element) {
    return static_cast<uint8_t>(row.cmd + (row.spread == Spread::ByCmd ? element : 0));
}
constexpr uint8_t RowSub(const ParamCommand& row, int element) {
    return static_cast<uint8_t>(row.sub + (row.spread == Spread::BySub ? element : 0));
}
// Slot of element i of the row's field; for a compressor, `part` 0..3 picks threshold, ratio, attack,
// release.
constexpr int RowSlot(const ParamCommand& row, int element, int part = 0) {
    return row.slot + part * row.count + element;
}

// ---- word encoders (pure) ---------------------------------------------------------------------------
// Percent encodings divide in double precision and round to the nearest float.
uint32_t PercentWord(int32_t percent);
uint32_t PercentPlusWord(int32_t percent);
uint32_t Per10000Word(int32_t value);
uint32_t FloatPercentWord(float value);
uint32_t ByteWord(int32_t value);
uint32_t FloatWord(float value);
// trunc(ms x 48 + 0.5) at 48 kHz, saturated to the word.
uint32_t SampleCountWord(double ms);
// The word of a single-word encoding for a slot's raw store word; 0 for the multi-word encodings.
uint32_t EncodeSlotWord(WireEncoding wire, uint32_t slotWord, float minimum);

// The seven compressor words: threshold, 0, 1 - 1/ratio, 20, 0.05, 1 - e^(-1/(attack x 48)),
// 1 - e^(-1/(release x 48)). A ratio below 1 and an attack or release that is not positive (a zeroed
// store) are taken as 1.0 and 1 ms, so the record never carries an infinity or NaN.
std::array<uint32_t, 7> CompressorWords(float thresholdDb, float ratio, float attackMs, float releaseMs);

// Frequency shift words for f > 1 Hz: the angle f x 2 pi / 48000 as a float, and the period word
// trunc((float)(1000 / (4 f) - 25) x 48 + 0.5) as a signed integer.
uint32_t ShiftAngleWord(int32_t hz);
uint32_t ShiftPeriodWord(int32_t hz);

// ---- decoder -----------------------------------------------------------------------------------------
// Decodes one reported parameter value (data starts at its first word) into the store. Returns false
// when the row is not read back, the data is shorter than the row needs, or the value is not a finite
// number (the field keeps its previous value).
bool DecodeParamValue(ParameterStore& store, uint8_t cmd, uint8_t sub, std::span<const uint8_t> data);

} // namespace orvex
