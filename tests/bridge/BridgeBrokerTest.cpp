// orvexctl bridge between the simulated processor and a real mosquitto broker, all on 127.0.0.1:
// what a home-automation server discovers, the commands that reach the processor, the ones that
// must not, and the broker's and the bridge's own deaths.

#include "bridge/MqttTestSupport.h"

#include "link/MessageIds.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"
#include "support/Hex.h"
#include "support/LinkHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>

using namespace orvex;
using namespace orvex::test;
using namespace std::chrono_literals;
using json = nlohmann::json;

namespace {

constexpr const char* kRoom = "orvex/Living_room/";

class BridgeBrokerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Accepts(broker.Port())) << "mosquitto did not start: " << ReadFileText(dir / "mosquitto.log");
        model = std::make_unique<sim::ProcessorModel>(sim::ProcessorOptions{});
        sim::HostOptions options;
        options.port = 0;
        options.heartbeatMs = 200;
        host = std::make_unique<sim::NetworkHost>(*model, options);
        std::string error;
        ASSERT_TRUE(host->Start(&error)) << error;
        ASSERT_TRUE(watcher.WaitSubscribed());
        StartBridge();
        // Online, and the module's plugs have been read (the dimmer's level shows).
        ASSERT_TRUE(watcher.WaitFor(Topic("state/plug/3/level"), [](const std::string&) { return true; }))
            << bridge->Err();
        size_t sent = Sent();
        ASSERT_TRUE(Eventually([&] {
            std::this_thread::sleep_for(100ms);
            return std::exchange(sent, Sent()) == sent;
        }));
    }

    void StartBridge() {
        bridge = std::make_unique<BridgeProcess>(
            std::vector<std::string>{"--connect", "127.0.0.1:" + std::to_string(host->Port()), "bridge", "--mqtt",
                                     broker.Address(), "--room", "Living room"},
            dir / "bridge.err");
    }

    void TearDown() override {
        if (bridge)
            bridge->StopWith(SIGKILL);
        host->Stop();
    }

    static std::string Topic(const std::string& rest) { return kRoom + rest; }

    // What the processor received apart from the level requests the bridge keeps sending.
    size_t Sent() const {
        size_t n = 0;
        for (const auto& m : host->Received())
            n += m.payload.size() > 1 && m.payload[1] != request::Levels ? 1 : 0;
        return n;
    }

    TempDir tempDir{"orvex-bridge"};
    const std::filesystem::path dir = tempDir.Path();
    Broker broker{dir};
    MqttRecorder watcher{broker.Port()};
    std::unique_ptr<sim::ProcessorModel> model;
    std::unique_ptr<sim::NetworkHost> host;
    std::unique_ptr<BridgeProcess> bridge;
};

TEST_F(BridgeBrokerTest, ANewClientFindsTheRoomsEntitiesAndStatesRetained) {
    MqttRecorder late(broker.Port());
    ASSERT_TRUE(late.WaitSubscribed());
    const auto status = late.WaitFor(Topic("status"), "online", 3s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->retain);
    const auto volume = late.WaitFor(Topic("state/micMasterVolume"), "60", 3s);
    ASSERT_TRUE(volume);
    EXPECT_TRUE(volume->retain);
    EXPECT_TRUE(late.WaitFor(Topic("state/connected"), "true", 3s));
    EXPECT_TRUE(late.WaitFor(Topic("state/mode"), "1", 3s));

    const auto config = late.WaitFor(
        "homeassistant/number/orvex_Living_room/micMasterVolume/config",
        [](const std::string& p) { return !p.empty(); }, 3s);
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->retain);
    const json number = json::parse(config->payload);
    EXPECT_EQ(number["unique_id"], "orvex_Living_room_micMasterVolume");
    EXPECT_EQ(number["availability_topic"], Topic("status"));
    EXPECT_EQ(number["state_topic"], Topic("state/micMasterVolume"));
    EXPECT_EQ(number["command_topic"], Topic("set/micMasterVolume"));
    EXPECT_EQ(number["device"]["name"], "Living_room");
    EXPECT_EQ(number["device"]["model"], "Calyxon");
    // The simulated module's dimmer on node 3 is a light with a brightness.
    const auto light = late.WaitFor(
        "homeassistant/light/orvex_Living_room/plug3/config", [](const std::string& p) { return !p.empty(); }, 3s);
    ASSERT_TRUE(light);
    EXPECT_EQ(json::parse(light->payload)["brightness_command_topic"], Topic("set/plug/3"));
}

TEST_F(BridgeBrokerTest, ACommandReachesTheProcessorAndItsStateComesBack) {
    const size_t from = watcher.Count();
    watcher.Publish(Topic("set/micMasterVolume"), "42");
    // The ribbon's message for 42 %.
    EXPECT_TRUE(Eventually([&] {
        for (const auto& m : host->Received())
            if (ToHex(std::span(m.payload).subspan(1)) == ToHex(Hex("09 00 01 0E 01 3ED74BC7")))
                return true;
        return false;
    }));
    ASSERT_TRUE(watcher.WaitFor(Topic("state/micMasterVolume"), "42", 5s, from));
    // A client that comes later is told the new value: it is kept.
    MqttRecorder late(broker.Port(), Topic("state/micMasterVolume"));
    const auto kept = late.WaitFor(Topic("state/micMasterVolume"), "42", 3s);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->retain);

    watcher.Publish(Topic("set/plug/2"), "ON");
    EXPECT_TRUE(Eventually([&] { return model->SmartNodeValue(2) == 0xFF; }));
    EXPECT_TRUE(watcher.WaitFor(Topic("state/plug/2"), "ON", 5s, from));
}

TEST_F(BridgeBrokerTest, ScenesAndModeMemoriesRunByName) {
    const size_t from = watcher.Count();
    // The karaoke scene: the floor lamp on, the wall light at 60.
    watcher.Publish(Topic("set/scene"), "Karaoke");
    EXPECT_TRUE(Eventually([&] { return model->SmartNodeValue(2) == 99 && model->SmartNodeValue(3) == 60; }, 5s));
    EXPECT_TRUE(watcher.WaitFor(Topic("state/plug/3/level"), "60", 5s, from));
    watcher.Publish(Topic("set/mode"), "3");
    EXPECT_TRUE(Eventually([&] { return model->CurrentMode() == 2; }, 5s));
    EXPECT_TRUE(watcher.WaitFor(Topic("state/mode"), "3", 10s, from));
}

// A plug taken out of the module is gone once the bridge reads the module again (here after the
// link dropped): its entity is removed with an empty retained description, its state cleared.
TEST_F(BridgeBrokerTest, APlugGoneFromTheModuleLosesItsEntity) {
    const std::string config = "homeassistant/switch/orvex_Living_room/plug4/config";
    ASSERT_TRUE(watcher.WaitFor(
        config, [](const std::string& p) { return !p.empty(); }, 1s));
    const size_t from = watcher.Count();
    model->SetZWaveNodePresent(4, false);
    host->Disconnect();
    ASSERT_TRUE(watcher.WaitFor(Topic("state/connected"), "true", 10s, from)) << bridge->Err();
    const auto removed = watcher.WaitFor(config, "", 10s, from);
    ASSERT_TRUE(removed) << bridge->Err();
    EXPECT_TRUE(watcher.WaitFor(Topic("state/plug/4"), "", 1s, from));
    // The other plugs stayed all along.
    const std::vector<MqttReceived> all = watcher.All();
    for (size_t i = from; i < all.size(); ++i)
        EXPECT_FALSE(all[i].topic.find("plug2") != std::string::npos && all[i].payload.empty()) << all[i].topic;
    MqttRecorder late(broker.Port(), "homeassistant/switch/orvex_Living_room/+/config");
    ASSERT_TRUE(late.WaitFor(
        "homeassistant/switch/orvex_Living_room/plug2/config", [](const std::string& p) { return !p.empty(); }, 3s));
    EXPECT_FALSE(late.WaitFor(
        config, [](const std::string&) { return true; }, 200ms));
}

TEST_F(BridgeBrokerTest, APlugsOwnReportIsPublishedWithinAQuarterSecond) {
    const size_t from = watcher.Count();
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(model->ReportNodeValue(2, 0xFF));
    const auto seen = watcher.WaitFor(Topic("state/plug/2"), "ON", 5s, from);
    ASSERT_TRUE(seen);
    EXPECT_LT(seen->at - asked, 250ms);
}

// The simulated processor's levels move all the time; the broker hears of them once a second.
TEST_F(BridgeBrokerTest, TheLiveLevelsGoOutAtMostOnceASecond) {
    const size_t from = watcher.Count();
    std::this_thread::sleep_for(2500ms);
    int levels = 0;
    const std::vector<MqttReceived> all = watcher.All();
    for (size_t i = from; i < all.size(); ++i)
        if (all[i].topic == Topic("state/levels")) {
            EXPECT_FALSE(all[i].retain);
            EXPECT_TRUE(json::parse(all[i].payload)["mic"].is_array()) << all[i].payload;
            ++levels;
        }
    EXPECT_GE(levels, 2);
    EXPECT_LE(levels, 3);
}

TEST_F(BridgeBrokerTest, EveryRefusedCommandSendsNothingAndSaysWhy) {
    const size_t before = Sent();
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"set/outMute", "1"},   {"set/micMasterVolume", "101"},
        {"set/micMute", "yes"}, {"set/musicSource", "Tape"},
        {"set/mode", "5"},      {"set/scene", "6"},
        {"set/plug/200", "ON"}, {"set/plug/3", "100"},
        {"set/levels", "1"},
    };
    for (const auto& [rest, payload] : refused)
        watcher.Publish(Topic(rest), payload);
    std::string err;
    EXPECT_TRUE(Eventually(
        [&] {
            err = bridge->Err();
            size_t lines = 0;
            for (size_t at = err.find(" refused: "); at != std::string::npos; at = err.find(" refused: ", at + 1))
                ++lines;
            return lines == refused.size();
        },
        5s))
        << err;
    EXPECT_NE(err.find("orvex/Living_room/set/outMute refused: 'outMute' cannot be changed from outside"),
              std::string::npos)
        << err;
    std::this_thread::sleep_for(300ms); // past several turns of the link's loop
    EXPECT_EQ(Sent(), before);
}

TEST_F(BridgeBrokerTest, AKilledBridgeLeavesOfflineAndAStoppedOneSaysSoItself) {
    const size_t from = watcher.Count();
    bridge->StopWith(SIGKILL);
    const auto will = watcher.WaitFor(Topic("status"), "offline", 5s, from);
    ASSERT_TRUE(will);
    EXPECT_TRUE(watcher.WaitFor(Topic("status"), "offline", 1s)); // kept for later clients too

    const size_t again = watcher.Count();
    StartBridge();
    ASSERT_TRUE(watcher.WaitFor(Topic("status"), "online", 10s, again)) << bridge->Err();
    ASSERT_TRUE(watcher.WaitFor(Topic("state/connected"), "true", 10s, again)) << bridge->Err();
    const size_t stopping = watcher.Count();
    EXPECT_EQ(bridge->StopWith(SIGTERM), 0) << bridge->Err();
    EXPECT_TRUE(watcher.WaitFor(Topic("status"), "offline", 2s, stopping));
}

TEST_F(BridgeBrokerTest, ARestartedBrokerGetsTheRoomBackWithoutARestartOfTheBridge) {
    broker.Kill();
    ASSERT_TRUE(broker.Start());
    // Nothing was kept: everything a client sees now the bridge published again.
    MqttRecorder fresh(broker.Port());
    ASSERT_TRUE(fresh.WaitSubscribed());
    EXPECT_TRUE(fresh.WaitFor(Topic("status"), "online", 10s)) << bridge->Err();
    EXPECT_TRUE(fresh.WaitFor(
        "homeassistant/switch/orvex_Living_room/micMute/config", [](const std::string& p) { return !p.empty(); }, 3s));
    EXPECT_TRUE(fresh.WaitFor(Topic("state/micMasterVolume"), "60", 3s));
    // And it takes commands again.
    fresh.Publish(Topic("set/micMute"), "1");
    EXPECT_TRUE(fresh.WaitFor(Topic("state/micMute"), "1", 5s));
}

// Without --room the room is the processor's own name.
TEST(BridgeRoomNameTest, TheRoomDefaultsToTheProcessorsName) {
    TempDir dir("orvex-bridge-name");
    Broker broker(dir.Path());
    MqttRecorder watcher(broker.Port());
    ASSERT_TRUE(watcher.WaitSubscribed());
    sim::ProcessorModel model{sim::ProcessorOptions{}};
    model.SetModuleName("Pemba");
    sim::HostOptions options;
    options.port = 0;
    options.heartbeatMs = 200;
    sim::NetworkHost host(model, options);
    ASSERT_TRUE(host.Start());
    BridgeProcess bridge(
        {"--connect", "127.0.0.1:" + std::to_string(host.Port()), "bridge", "--mqtt", broker.Address()},
        dir.Path() / "bridge.err");
    EXPECT_TRUE(watcher.WaitFor("orvex/Pemba/status", "online", 10s)) << bridge.Err();
    const auto config = watcher.WaitFor(
        "homeassistant/switch/orvex_Pemba/micMute/config", [](const std::string& p) { return !p.empty(); }, 5s);
    ASSERT_TRUE(config);
    EXPECT_EQ(json::parse(config->payload)["device"]["model"], "Pemba");
    bridge.StopWith(SIGKILL);
    host.Stop();
}

} // namespace
