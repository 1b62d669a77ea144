#pragma once

#include "bridge/BridgeTopics.h"

#include <string>
#include <vector>

namespace orvex::bridge {

// Who the entities belong to: the room (as its topics carry it), the processor's module name, and
// where the home-automation server looks for entity descriptions.
struct BridgeDevice {
    std::string room;
    std::string module;
    std::string prefix = "homeassistant";
};

// The retained entity descriptions, one JSON document per topic PREFIX/COMPONENT/orvex_ROOM/OBJECT/config:
// a slider for each level, a switch for each mute, selects for the music source and the mode memory,
// a button for each scene, a switch (or, for a dimmer, a light with brightness) for each plug, and a
// sensor for each live level. Every one names its state topic, its command topic when it can be set,
// the room's status topic for availability, and the device.
TopicMap DiscoveryTopics(const BridgeDevice& device, const std::vector<RemotePlug>& plugs);

} // namespace orvex::bridge
