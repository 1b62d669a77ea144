#pragma once

#include "remote/RemoteOwner.h"
#include "remote/RemoteSnapshot.h"

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::bridge {

// Every room's topics live under orvex/ROOM/: status, state/..., set/...
inline constexpr std::string_view kTopicRoot = "orvex";
inline constexpr std::string_view kOnline = "online";
inline constexpr std::string_view kOffline = "offline";
// A command's payload is a number, a word or a source's name; anything longer is not one.
inline constexpr size_t kMaxCommandPayload = 64;

// The processor's mode memories M1..M4 and the six scenes, by the names the editor shows.
inline constexpr std::array<std::string_view, 4> kModeNames = {"TV", "Movie", "Karaoke", "Music"};
inline constexpr std::array<std::string_view, 6> kSceneNames = {"TV",    "Movie",   "Karaoke",
                                                                "Music", "PowerON", "PowerOFF"};

// A room name as a topic level: the wildcards and the level separator go, spaces become '_', control
// characters are dropped. Empty when nothing is left.
std::string TopicRoom(std::string_view name);
// The room in identifiers that allow only letters, digits, '_' and '-' (discovery ids): every other
// byte becomes '_'.
std::string RoomId(std::string_view room);

// "orvex/ROOM/" followed by `rest`.
std::string RoomTopic(std::string_view room, std::string_view rest);

// A topic and what it carries. An empty retained payload clears what the broker keeps for it.
struct MqttMessage {
    std::string topic;
    std::string payload;

    bool operator==(const MqttMessage&) const = default;
};
using TopicMap = std::map<std::string, std::string>;

// What one topic now carries, for every topic whose payload differs from `before`; a topic that
// `before` had and `now` has not is cleared with an empty payload.
std::vector<MqttMessage> TopicChanges(const TopicMap& before, const TopicMap& now);

// The retained state topics: state/connected always; with a snapshot of the processor, every field
// of the control table as a plain number, state/mode (1..4), and state/plug/NODE (ON/OFF) with
// state/plug/NODE/level (0..99) for a dimmer. `last` is the latest snapshot taken while connected,
// or null before the processor was ever seen, whose values are not known.
TopicMap StateTopics(std::string_view room, const RemoteSnapshot* last, bool connected);

// The live levels as state/levels carries them: {"mic":[1,2,3,4],"music":[l,r]}.
std::string LevelsPayload(const std::array<int, 6>& levels);

// A set/... command checked against the control table and the plugs the processor has: the write to
// hand to the link's owner, or why it is refused. `rest` is the topic after "orvex/ROOM/".
struct BridgeCommand {
    std::optional<RemoteWrite> write;
    std::string refusal;
};
BridgeCommand ParseBridgeCommand(std::string_view rest, std::string_view payload, const RemoteSnapshot& current);

} // namespace orvex::bridge
