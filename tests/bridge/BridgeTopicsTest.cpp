// The bridge's topics, commands, states and entity descriptions, without a broker.

#include "bridge/BridgeDiscovery.h"
#include "bridge/BridgeTopics.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

using namespace orvex;
using namespace orvex::bridge;
using json = nlohmann::json;

namespace {

RemoteSnapshot Room() {
    RemoteSnapshot s;
    s.connected = true;
    s.mode = 2;
    s.fields = {{"micMasterVolume", 75}, {"micMute", 0}, {"musicSource", 3}};
    s.plugs = {{2, kPlugTypeSwitch, "Floor lamp", 0}, {3, kPlugTypeDimmer, "Wall light", 255}};
    return s;
}

TEST(BridgeRoomTest, RoomNamesBecomeOneTopicLevelAndSafeIds) {
    EXPECT_EQ(TopicRoom(" Living room/2 #+ "), "Living_room2_");
    EXPECT_EQ(TopicRoom("K\x01\x7F"
                        "TV"),
              "KTV");
    EXPECT_EQ(TopicRoom("/+#"), "");
    EXPECT_EQ(TopicRoom("客厅"), "客厅"); // topics are UTF-8
    EXPECT_EQ(RoomId("客厅"), "______");
    EXPECT_EQ(RoomId("Room-3_b.c"), "Room-3_b_c");
    EXPECT_EQ(RoomTopic("Room_1", "set/mode"), "orvex/Room_1/set/mode");
}

struct Accepted {
    std::string rest;
    std::string payload;
    std::string control;
    int value;
    int node = 0;
};

TEST(BridgeCommandTest, PlainPayloadsBecomeTheWritesTheTableAllows) {
    const RemoteSnapshot room = Room();
    const std::vector<Accepted> cases = {
        {"set/micMasterVolume", "75", "micMasterVolume", 75},
        {"set/micMasterVolume", " 0\n", "micMasterVolume", 0},
        {"set/micMasterVolume", "42.0", "micMasterVolume", 42}, // a slider's number may carry a fraction
        {"set/micMute", "ON", "micMute", 1},
        {"set/micMute", "0", "micMute", 0},
        {"set/musicSource", "HDMI", "musicSource", 2},
        {"set/musicSource", "5", "musicSource", 5},
        {"set/mode", "4", "mode", 4},
        {"set/mode", "Karaoke", "mode", 3},
        {"set/scene", "0", "scene", 0},
        {"set/scene", "PowerOFF", "scene", 5},
        {"set/plug/2", "ON", "plug", kPlugOnValue, 2},
        {"set/plug/2", "0", "plug", 0, 2},
        {"set/plug/3", "OFF", "plug", 0, 3},
        {"set/plug/3", "40", "plugLevel", 40, 3},
    };
    for (const Accepted& c : cases) {
        const BridgeCommand command = ParseBridgeCommand(c.rest, c.payload, room);
        ASSERT_TRUE(command.write) << c.rest << " " << c.payload << ": " << command.refusal;
        EXPECT_EQ(command.write->entry->name, c.control) << c.rest;
        EXPECT_EQ(command.write->value, c.value) << c.rest << " " << c.payload;
        EXPECT_EQ(command.write->node, c.node) << c.rest;
    }
}

TEST(BridgeCommandTest, AnythingOutsideTheTableOrItsRangesIsRefusedWithAReason) {
    const RemoteSnapshot room = Room();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"set/micMasterVolume", "101"},
        {"set/micMasterVolume", "-1"},
        {"set/micMasterVolume", "75.5"},
        {"set/micMasterVolume", "loud"},
        {"set/micMasterVolume", ""},
        {"set/micMasterVolume", std::string(kMaxCommandPayload + 1, '1')},
        {"set/micMute", "2"},
        {"set/musicSource", "Tape"},
        {"set/musicSource", "6"},
        {"set/outMute", "1"}, // a store field the table leaves out
        {"set/levels", "1"},  // read only
        {"set/plug", "ON"},   // a plug needs its node
        {"set/plugLevel", "5"},
        {"set/micMute/x", "1"},
        {"set/mode", "0"},
        {"set/mode", "5"},
        {"set/scene", "6"},
        {"set/plug/9", "ON"}, // no such plug
        {"set/plug/x", "ON"},
        {"set/plug/3", "100"}, // past a dimmer's 99
        {"set/plug/2", "40"},  // a level for a switched plug
        {"state/micMute", "1"},
    };
    for (const auto& [rest, payload] : cases) {
        const BridgeCommand command = ParseBridgeCommand(rest, payload, room);
        EXPECT_FALSE(command.write) << rest << " " << payload;
        EXPECT_FALSE(command.refusal.empty()) << rest << " " << payload;
    }
    EXPECT_EQ(ParseBridgeCommand("set/outMute", "1", room).refusal, "'outMute' cannot be changed from outside");
    EXPECT_EQ(ParseBridgeCommand("set/micMasterVolume", "101", room).refusal, "'micMasterVolume' takes 0..100");
}

TEST(BridgeStateTest, OnlyWhatChangedGoesOutAndAVanishedPlugIsCleared) {
    const RemoteSnapshot before = Room();
    const TopicMap first = StateTopics("R", &before, true);
    EXPECT_EQ(first.at("orvex/R/state/connected"), "true");
    EXPECT_EQ(first.at("orvex/R/state/micMasterVolume"), "75");
    EXPECT_EQ(first.at("orvex/R/state/musicSource"), "3");
    EXPECT_EQ(first.at("orvex/R/state/mode"), "2");
    EXPECT_EQ(first.at("orvex/R/state/plug/2"), "OFF");
    EXPECT_FALSE(first.contains("orvex/R/state/plug/2/level"));
    EXPECT_EQ(first.at("orvex/R/state/plug/3"), "ON");
    EXPECT_EQ(first.at("orvex/R/state/plug/3/level"), "99"); // "on" without a level shows as full

    RemoteSnapshot after = before;
    after.fields["micMute"] = 1;
    after.plugs.pop_back();
    const std::vector<MqttMessage> changes = TopicChanges(first, StateTopics("R", &after, true));
    const std::vector<MqttMessage> expected = {
        {"orvex/R/state/micMute", "1"}, {"orvex/R/state/plug/3", ""}, {"orvex/R/state/plug/3/level", ""}};
    EXPECT_EQ(changes, expected);
}

TEST(BridgeStateTest, WithoutTheProcessorOnlyTheLinkStateChanges) {
    const RemoteSnapshot last = Room();
    // Never seen: nothing but the link state is known.
    EXPECT_EQ(StateTopics("R", nullptr, false), (TopicMap{{"orvex/R/state/connected", "false"}}));
    // Gone: the last values stay with the broker, plugs included.
    const std::vector<MqttMessage> changes =
        TopicChanges(StateTopics("R", &last, true), StateTopics("R", &last, false));
    EXPECT_EQ(changes, (std::vector<MqttMessage>{{"orvex/R/state/connected", "false"}}));
    EXPECT_EQ(LevelsPayload({1, 2, 3, 4, 50, 60}), R"({"mic":[1,2,3,4],"music":[50,60]})");
}

TEST(BridgeDiscoveryTest, EveryEntityNamesItsTopicsTheRoomsStatusAndTheDevice) {
    const BridgeDevice device{"Room_1", "Calyxon", "homeassistant"};
    const TopicMap topics = DiscoveryTopics(device, Room().plugs);
    std::set<std::string> ids;
    std::map<std::string, int> components;
    for (const auto& [topic, payload] : topics) {
        const json config = json::parse(payload);
        ASSERT_TRUE(topic.starts_with("homeassistant/")) << topic;
        ASSERT_TRUE(topic.ends_with("/config")) << topic;
        ++components[topic.substr(14, topic.find('/', 14) - 14)];
        EXPECT_TRUE(ids.insert(config["unique_id"].get<std::string>()).second) << topic;
        EXPECT_EQ(config["availability_topic"], "orvex/Room_1/status") << topic;
        EXPECT_EQ(config["device"]["name"], "Room_1");
        EXPECT_EQ(config["device"]["model"], "Calyxon");
        EXPECT_EQ(config["device"]["identifiers"][0], "orvex_Room_1");
        if (!topic.starts_with("homeassistant/button/")) {
            EXPECT_TRUE(config["state_topic"].get<std::string>().starts_with("orvex/Room_1/state/")) << topic;
        }
        if (topic.starts_with("homeassistant/sensor/")) {
            EXPECT_FALSE(config.contains("command_topic")) << topic;
        } else {
            EXPECT_TRUE(config["command_topic"].get<std::string>().starts_with("orvex/Room_1/set/")) << topic;
        }
    }
    // Six levels, four mutes and a switched plug, the source and the mode, six scenes, the dimmer,
    // six live levels.
    EXPECT_EQ(components,
              (std::map<std::string, int>{
                  {"number", 6}, {"switch", 5}, {"select", 2}, {"button", 6}, {"light", 1}, {"sensor", 6}}));

    const json volume = json::parse(topics.at("homeassistant/number/orvex_Room_1/micMasterVolume/config"));
    EXPECT_EQ(volume["min"], 0);
    EXPECT_EQ(volume["max"], 100);
    EXPECT_EQ(volume["mode"], "slider");
    EXPECT_EQ(volume["command_topic"], "orvex/Room_1/set/micMasterVolume");
    const json source = json::parse(topics.at("homeassistant/select/orvex_Room_1/musicSource/config"));
    EXPECT_EQ(source["options"][2], "HDMI");
    const json scene = json::parse(topics.at("homeassistant/button/orvex_Room_1/scene5/config"));
    EXPECT_EQ(scene["name"], "Scene PowerOFF");
    EXPECT_EQ(scene["payload_press"], "5");
    const json dimmer = json::parse(topics.at("homeassistant/light/orvex_Room_1/plug3/config"));
    EXPECT_EQ(dimmer["name"], "Wall light");
    EXPECT_EQ(dimmer["brightness_scale"], kPlugMaxLevel);
    EXPECT_EQ(dimmer["brightness_state_topic"], "orvex/Room_1/state/plug/3/level");
}

TEST(BridgeDiscoveryTest, ARemovedPlugLeavesAnEmptyConfigAndAnotherPrefixIsUsed) {
    const BridgeDevice device{"R", "Calyxon", "ha"};
    std::vector<RemotePlug> plugs = Room().plugs;
    const TopicMap before = DiscoveryTopics(device, plugs);
    plugs.erase(plugs.begin());
    const std::vector<MqttMessage> changes = TopicChanges(before, DiscoveryTopics(device, plugs));
    EXPECT_EQ(changes, (std::vector<MqttMessage>{{"ha/switch/orvex_R/plug2/config", ""}}));
}

} // namespace
