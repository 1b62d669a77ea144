#include "bridge/BridgeTopics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace orvex::bridge {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A plain-text payload as a controller's value: a whole number, a fraction, on/off words, or text.
ControlValue PayloadValue(std::string_view payload) {
    const std::string_view text = Trimmed(payload);
    if (text.empty())
        return std::monostate{};
    if (text == "ON" || text == "on" || text == "true")
        return true;
    if (text == "OFF" || text == "off" || text == "false")
        return false;
    int64_t whole = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), whole);
    if (ec == std::errc() && end == text.data() + text.size())
        return whole;
    const std::string copy(text);
    char* stop = nullptr;
    const double number = std::strtod(copy.c_str(), &stop);
    if (stop == copy.c_str() + copy.size() && std::isfinite(number))
        return number;
    return copy;
}

std::optional<int> IndexOf(std::span<const std::string_view> names, const ControlValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == *text)
                return static_cast<int>(i);
    return std::nullopt;
}

BridgeCommand Refused(std::string reason) {
    return {std::nullopt, std::move(reason)};
}

BridgeCommand Checked(std::string_view control, const ControlValue& value, std::string_view shownAs) {
    const ControlCheckResult check = CheckControlValue(control, value);
    if (!check)
        return Refused(ControlCheckText(check, shownAs));
    return {RemoteWrite{check.entry, check.value, 0}, {}};
}

BridgeCommand PlugCommand(std::string_view nodeText, const ControlValue& value, const RemoteSnapshot& current) {
    int node = 0;
    const auto [end, ec] = std::from_chars(nodeText.data(), nodeText.data() + nodeText.size(), node);
    if (ec != std::errc() || end != nodeText.data() + nodeText.size())
        return Refused("'" + std::string(nodeText) + "' is not a plug's node number");
    const auto plug =
        std::find_if(current.plugs.begin(), current.plugs.end(), [&](const RemotePlug& p) { return p.node == node; });
    if (plug == current.plugs.end())
        return Refused("no plug " + std::to_string(node));
    // A number is a dimmer's level; for a switched plug, and for ON/OFF, it is on or off.
    const bool level = plug->type == kPlugTypeDimmer && !std::holds_alternative<bool>(value);
    BridgeCommand command = Checked(level ? "plugLevel" : "plug", value, "plug " + std::to_string(node));
    if (command.write) {
        command.write->node = node;
        if (!level)
            command.write->value = command.write->value != 0 ? kPlugOnValue : 0;
    }
    return command;
}

std::string Number(int value) {
    return std::to_string(value);
}

} // namespace

std::string TopicRoom(std::string_view name) {
    std::string room;
    for (const char c : Trimmed(name)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '+' || c == '#' || c == '/' || byte < 0x20 || byte == 0x7F)
            continue;
        room += c == ' ' ? '_' : c;
    }
    return room;
}

std::string RoomId(std::string_view room) {
    std::string id(room);
    for (char& c : id)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            c = '_';
    return id;
}

std::string RoomTopic(std::string_view room, std::string_view rest) {
    std::string topic(kTopicRoot);
    topic += '/';
    topic += room;
    topic += '/';
    topic += rest;
    return topic;
}

std::vector<MqttMessage> TopicChanges(const TopicMap& before, const TopicMap& now) {
    std::vector<MqttMessage> changes;
    for (const auto& [topic, payload] : now) {
        const auto old = before.find(topic);
        if (old == before.end() || old->second != payload)
            changes.push_back({topic, payload});
    }
    for (const auto& [topic, payload] : before)
        if (!now.contains(topic) && !payload.empty())
            changes.push_back({topic, {}});
    return changes;
}

TopicMap StateTopics(std::string_view room, const RemoteSnapshot* last, bool connected) {
    TopicMap topics;
    topics[RoomTopic(room, "state/connected")] = connected ? "true" : "false";
    if (last == nullptr)
        return topics;
    for (const auto& [name, value] : last->fields)
        topics[RoomTopic(room, "state/" + name)] = Number(value);
    topics[RoomTopic(room, "state/mode")] = Number(last->mode);
    for (const RemotePlug& plug : last->plugs) {
        const std::string base = "state/plug/" + Number(plug.node);
        topics[RoomTopic(room, base)] = plug.value != 0 ? "ON" : "OFF";
        if (plug.type == kPlugTypeDimmer)
            topics[RoomTopic(room, base + "/level")] = Number(std::min(plug.value, kPlugMaxLevel));
    }
    return topics;
}

std::string LevelsPayload(const std::array<int, 6>& levels) {
    std::string text = "{\"mic\":[";
    for (size_t i = 0; i < 4; ++i)
        text += (i == 0 ? "" : ",") + Number(levels[i]);
    return text + "],\"music\":[" + Number(levels[4]) + "," + Number(levels[5]) + "]}";
}

BridgeCommand ParseBridgeCommand(std::string_view rest, std::string_view payload, const RemoteSnapshot& current) {
    constexpr std::string_view kSet = "set/";
    if (!rest.starts_with(kSet))
        return Refused("'" + std::string(rest) + "' is not a command topic");
    const std::string_view name = rest.substr(kSet.size());
    if (payload.size() > kMaxCommandPayload)
        return Refused("the value for '" + std::string(name) + "' is too long");
    const ControlValue value = PayloadValue(payload);

    constexpr std::string_view kPlug = "plug/";
    if (name.starts_with(kPlug))
        return PlugCommand(name.substr(kPlug.size()), value, current);
    if (name == "mode") {
        if (const std::optional<int> index = IndexOf(kModeNames, value))
            return Checked("mode", int64_t{*index + 1}, name);
        return Checked("mode", value, name);
    }
    if (name == "scene") {
        if (const std::optional<int> index = IndexOf(kSceneNames, value))
            return Checked("scene", int64_t{*index}, name);
        return Checked("scene", value, name);
    }
    const ControlEntry* entry = FindControl(name);
    if (entry != nullptr && (entry->target == ControlTarget::PlugSwitch || entry->target == ControlTarget::PlugLevel))
        return Refused("a plug is set through set/plug/NODE");
    if (entry != nullptr && entry->target != ControlTarget::Field && entry->Writable())
        return Refused("'" + std::string(name) + "' cannot be changed from outside");
    return Checked(name, value, name);
}

} // namespace orvex::bridge
