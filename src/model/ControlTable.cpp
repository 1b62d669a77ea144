#include "model/ControlTable.h"

#include "model/ParameterStore.h"
#include "model/SmartHomeTables.h"

#include <array>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

// The music inputs in the order of the processor's source codes.
constexpr std::array<std::string_view, 6> kMusicSources = {"SPDIF1", "SPDIF2", "HDMI", "Bluetooth", "AUX", "AUX2"};

ControlEntry FieldEntry(std::string_view name, ControlKind kind, int lo, int hi, std::string_view en,
                        std::string_view zh) {
    return {name, kind, ControlTarget::Field, lo, hi, {}, en, zh, FindStoreField(name)};
}

std::array<ControlEntry, 16> MakeTable() {
    ControlEntry source = FieldEntry("musicSource", ControlKind::Choice, 0, static_cast<int>(kMusicSources.size()) - 1,
                                     "Music source", "音乐输入");
    source.choices = kMusicSources;
    return {{
        FieldEntry("micMasterVolume", ControlKind::Level, 0, 100, "Mic volume", "话筒音量"),
        FieldEntry("effectVolume", ControlKind::Level, 0, 100, "Effect volume", "效果总音量"),
        FieldEntry("reverbVolume", ControlKind::Level, 0, 100, "Reverb volume", "混响音量"),
        FieldEntry("echoVolume", ControlKind::Level, 0, 100, "Echo volume", "回声音量"),
        FieldEntry("musicVolume", ControlKind::Level, 0, 100, "Music volume", "音乐音量"),
        FieldEntry("musicNoiseGate", ControlKind::Level, 0, 100, "Noise gate", "音乐噪声门"),
        FieldEntry("micMute", ControlKind::Switch, 0, 1, "Mic mute", "话筒静音"),
        FieldEntry("musicMute", ControlKind::Switch, 0, 1, "Music mute", "音乐静音"),
        FieldEntry("echoMute", ControlKind::Switch, 0, 1, "Echo mute", "回声静音"),
        FieldEntry("reverbMute", ControlKind::Switch, 0, 1, "Reverb mute", "混响静音"),
        source,
        {"mode",
         ControlKind::Run,
         ControlTarget::DeviceMode,
         1,
         kDeviceModeCount,
         {},
         "Load mode",
         "调用模式",
         nullptr},
        {"scene", ControlKind::Run, ControlTarget::Scene, 0, kSceneCount - 1, {}, "Run scene", "执行场景", nullptr},
        {"plug", ControlKind::Switch, ControlTarget::PlugSwitch, 0, 1, {}, "Plug on/off", "插座开关", nullptr},
        {"plugLevel",
         ControlKind::Level,
         ControlTarget::PlugLevel,
         0,
         kPlugMaxLevel,
         {},
         "Dimmer level",
         "调光亮度",
         nullptr},
        {"levels", ControlKind::Reading, ControlTarget::Levels, 0, 255, {}, "Levels", "电平", nullptr},
    }};
}

const std::array<ControlEntry, 16>& Table() {
    static const std::array<ControlEntry, 16> table = MakeTable();
    return table;
}

// A whole number from a JSON number; a fraction, a non-finite value or anything else is not one.
std::optional<int64_t> WholeNumber(const ControlValue& value) {
    if (const auto* n = std::get_if<int64_t>(&value))
        return *n;
    if (const auto* d = std::get_if<double>(&value)) {
        if (std::isfinite(*d) && std::trunc(*d) == *d && std::fabs(*d) < 1e15)
            return static_cast<int64_t>(*d);
    }
    return std::nullopt;
}

} // namespace

std::span<const ControlEntry> ControlTable() {
    return Table();
}

const ControlEntry* FindControl(std::string_view name) {
    for (const ControlEntry& entry : Table())
        if (entry.name == name)
            return &entry;
    return nullptr;
}

ControlCheckResult CheckControlValue(std::string_view name, const ControlValue& value) {
    ControlCheckResult result;
    result.entry = FindControl(name);
    if (result.entry == nullptr) {
        result.check = ControlCheck::UnknownControl;
        return result;
    }
    const ControlEntry& entry = *result.entry;
    if (!entry.Writable()) {
        result.check = ControlCheck::ReadOnly;
        return result;
    }
    std::optional<int64_t> number;
    if (entry.kind == ControlKind::Switch) {
        if (const auto* flag = std::get_if<bool>(&value))
            number = *flag ? 1 : 0;
        else if (const auto* n = std::get_if<int64_t>(&value))
            number = *n; // 0 or 1, checked below
    } else if (entry.kind == ControlKind::Choice) {
        if (const auto* text = std::get_if<std::string>(&value)) {
            for (size_t i = 0; i < entry.choices.size(); ++i)
                if (entry.choices[i] == *text)
                    number = static_cast<int64_t>(i);
            if (!number) {
                result.check = ControlCheck::OutOfRange;
                return result;
            }
        } else {
            number = WholeNumber(value);
        }
    } else {
        number = WholeNumber(value);
    }
    if (!number) {
        result.check = ControlCheck::WrongKind;
        return result;
    }
    if (*number < entry.minValue || *number > entry.maxValue) {
        result.check = ControlCheck::OutOfRange;
        return result;
    }
    result.value = static_cast<int>(*number);
    result.check = ControlCheck::Ok;
    return result;
}

std::string ControlCheckText(const ControlCheckResult& result, std::string_view name) {
    const std::string quoted = "'" + std::string(name) + "'";
    switch (result.check) {
    case ControlCheck::Ok:
        return {};
    case ControlCheck::UnknownControl:
        return quoted + " cannot be changed from outside";
    case ControlCheck::ReadOnly:
        return quoted + " can only be read";
    case ControlCheck::WrongKind:
        switch (result.entry->kind) {
        case ControlKind::Switch:
            return quoted + " takes true or false";
        case ControlKind::Choice:
            return quoted + " takes a number or a name";
        default:
            return quoted + " takes a whole number";
        }
    case ControlCheck::OutOfRange:
        if (result.entry->kind == ControlKind::Choice)
            return quoted + " takes 0.." + std::to_string(result.entry->maxValue) + " or a source's name";
        return quoted + " takes " + std::to_string(result.entry->minValue) + ".." +
               std::to_string(result.entry->maxValue);
    }
    return {};
}

} // namespace orvex
