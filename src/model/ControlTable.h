#pragma once

#include "model/StoreFields.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace orvex {

// What outside controllers (the phone remote, the home-automation bridge) may change and read: the
// ribbon's master volumes and mutes, the music source, the device mode memories, the six scenes, the
// smart plugs and the live levels. Nothing else on the processor is reachable from outside.
// A dimmer plug's brightness runs 0..99 (the module's own scale); a switched plug's "on" is 255.
inline constexpr int kPlugMaxLevel = 99;
inline constexpr uint8_t kPlugOnValue = 0xFF;

enum class ControlKind : uint8_t {
    Level,   // whole number in [minValue, maxValue]
    Switch,  // on/off
    Choice,  // index into `choices`; the name is accepted too
    Run,     // an action with a number: device mode load 1..4, scene 0..5
    Reading, // read only (the live levels)
};

// What a control reaches: a store field through its setter, or one of the processor's operations.
enum class ControlTarget : uint8_t { Field, DeviceMode, Scene, PlugSwitch, PlugLevel, Levels };

struct ControlEntry {
    std::string_view name; // the field's store name, or "mode", "scene", "plug", "plugLevel", "levels"
    ControlKind kind;
    ControlTarget target;
    int minValue;
    int maxValue;
    std::span<const std::string_view> choices; // Choice only, index = value
    std::string_view labelEn;
    std::string_view labelZh;
    const StoreField* field; // Field only

    bool Writable() const { return kind != ControlKind::Reading; }
};

// Every entry, in the order a controller shows them.
std::span<const ControlEntry> ControlTable();
// The entry of that name, or nullptr.
const ControlEntry* FindControl(std::string_view name);

// A requested value as a controller sends it (a JSON scalar).
using ControlValue = std::variant<std::monostate, bool, int64_t, double, std::string>;

enum class ControlCheck : uint8_t { Ok, UnknownControl, ReadOnly, WrongKind, OutOfRange };

struct ControlCheckResult {
    ControlCheck check = ControlCheck::UnknownControl;
    const ControlEntry* entry = nullptr;
    int value = 0; // the value to apply (a switch 0/1, a choice its index) when check is Ok

    explicit operator bool() const { return check == ControlCheck::Ok; }
};

// Checks a requested write before anything is sent: the control exists and may be written, the
// value has the control's kind (a whole number for levels and runs, true/false or 0/1 for switches,
// an index or a name for choices) and lies in its range.
ControlCheckResult CheckControlValue(std::string_view name, const ControlValue& value);

// A short English reason for a refused check, for the controller's error message.
std::string ControlCheckText(const ControlCheckResult& result, std::string_view name);

} // namespace orvex
