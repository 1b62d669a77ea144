#include "bridge/BridgeDiscovery.h"

#include <nlohmann/json.hpp>

namespace orvex::bridge {

namespace {

using json = nlohmann::json;

// The template that shows a state number as one of `names`, counting from `first`.
std::string NameTemplate(std::span<const std::string_view> names, int first) {
    std::string list;
    for (const std::string_view name : names)
        list += (list.empty() ? "'" : ", '") + std::string(name) + "'";
    const std::string index =
        first == 0 ? "value | int(0)" : "(value | int(" + std::to_string(first) + ")) - " + std::to_string(first);
    return "{% set names = [" + list + "] %}{{ names[" + index + "] if 0 <= " + index + " < " +
           std::to_string(names.size()) + " else value }}";
}

class Builder {
public:
    explicit Builder(const BridgeDevice& device) : m_device(device), m_id("orvex_" + RoomId(device.room)) {}

    json Entity(std::string_view object, std::string_view name) const {
        const std::string uniqueId = m_id + "_" + RoomId(object);
        json device = {
            {"identifiers", json::array({m_id})}, {"name", m_device.room}, {"suggested_area", m_device.room}};
        if (!m_device.module.empty()) // known once the link has read the processor's identity
            device["model"] = m_device.module;
        return {
            {"name", name},
            {"unique_id", uniqueId},
            {"object_id", uniqueId},
            {"availability_topic", RoomTopic(m_device.room, "status")},
            {"payload_available", kOnline},
            {"payload_not_available", kOffline},
            {"device", device},
        };
    }

    std::string Topic(std::string_view component, std::string_view object) const {
        return m_device.prefix + "/" + std::string(component) + "/" + m_id + "/" + RoomId(object) + "/config";
    }

    std::string State(std::string_view rest) const { return RoomTopic(m_device.room, "state/" + std::string(rest)); }
    std::string Set(std::string_view rest) const { return RoomTopic(m_device.room, "set/" + std::string(rest)); }

    void Add(TopicMap& topics, std::string_view component, std::string_view object, const json& config) const {
        topics[Topic(component, object)] = config.dump();
    }

private:
    const BridgeDevice& m_device;
    std::string m_id;
};

constexpr std::array<std::string_view, 6> kLevelNames = {"Mic 1 level", "Mic 2 level",   "Mic 3 level",
                                                         "Mic 4 level", "Music L level", "Music R level"};

} // namespace

TopicMap DiscoveryTopics(const BridgeDevice& device, const std::vector<RemotePlug>& plugs) {
    const Builder b(device);
    TopicMap topics;
    for (const ControlEntry& entry : ControlTable()) {
        if (entry.target != ControlTarget::Field)
            continue;
        json config = b.Entity(entry.name, entry.labelEn);
        config["state_topic"] = b.State(entry.name);
        config["command_topic"] = b.Set(entry.name);
        switch (entry.kind) {
        case ControlKind::Level:
            config["min"] = entry.minValue;
            config["max"] = entry.maxValue;
            config["step"] = 1;
            config["mode"] = "slider";
            b.Add(topics, "number", entry.name, config);
            break;
        case ControlKind::Switch:
            config["payload_on"] = "1";
            config["payload_off"] = "0";
            b.Add(topics, "switch", entry.name, config);
            break;
        case ControlKind::Choice: {
            json options = json::array();
            for (const std::string_view choice : entry.choices)
                options.push_back(choice);
            config["options"] = options;
            config["value_template"] = NameTemplate(entry.choices, 0);
            b.Add(topics, "select", entry.name, config);
            break;
        }
        case ControlKind::Run:
        case ControlKind::Reading:
            break;
        }
    }

    json mode = b.Entity("mode", "Mode");
    mode["state_topic"] = b.State("mode");
    mode["command_topic"] = b.Set("mode");
    mode["options"] = json::array();
    for (const std::string_view name : kModeNames)
        mode["options"].push_back(name);
    mode["value_template"] = NameTemplate(kModeNames, 1);
    b.Add(topics, "select", "mode", mode);

    for (size_t scene = 0; scene < kSceneNames.size(); ++scene) {
        const std::string object = "scene" + std::to_string(scene);
        json button = b.Entity(object, "Scene " + std::string(kSceneNames[scene]));
        button["command_topic"] = b.Set("scene");
        button["payload_press"] = std::to_string(scene);
        b.Add(topics, "button", object, button);
    }

    for (const RemotePlug& plug : plugs) {
        const std::string node = std::to_string(plug.node);
        const std::string object = "plug" + node;
        json config = b.Entity(object, plug.name.empty() ? "Plug " + node : plug.name);
        config["state_topic"] = b.State("plug/" + node);
        config["command_topic"] = b.Set("plug/" + node);
        config["payload_on"] = "ON";
        config["payload_off"] = "OFF";
        if (plug.type == kPlugTypeDimmer) {
            config["brightness_state_topic"] = b.State("plug/" + node + "/level");
            config["brightness_command_topic"] = b.Set("plug/" + node);
            config["brightness_scale"] = kPlugMaxLevel;
            config["on_command_type"] = "brightness"; // a level turns a dimmer on at that level
            b.Add(topics, "light", object, config);
        } else {
            b.Add(topics, "switch", object, config);
        }
    }

    for (size_t i = 0; i < kLevelNames.size(); ++i) {
        const std::string object = "level" + std::to_string(i + 1);
        json sensor = b.Entity(object, kLevelNames[i]);
        sensor["state_topic"] = b.State("levels");
        sensor["value_template"] = i < 4 ? "{{ value_json.mic[" + std::to_string(i) + "] }}"
                                         : "{{ value_json.music[" + std::to_string(i - 4) + "] }}";
        sensor["state_class"] = "measurement";
        b.Add(topics, "sensor", object, sensor);
    }
    return topics;
}

} // namespace orvex::bridge
