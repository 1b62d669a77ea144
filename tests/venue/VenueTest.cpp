// A karaoke venue on one broker: twenty simulated processors, one orvexctl bridge each, and a
// dashboard that changes a volume in one room after another and times the state coming back.

#include "bridge/MqttTestSupport.h"

#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

using namespace orvex;
using namespace orvex::test;
using namespace std::chrono_literals;

namespace {

constexpr int kRooms = 20;
constexpr int kRounds = 5;

std::string RoomName(int room) {
    char name[16];
    std::snprintf(name, sizeof name, "room%02d", room + 1);
    return name;
}

TEST(VenueTest, TwentyRoomsOnOneBrokerEchoACommandWithin150MsAtThe95thPercentile) {
    TempDir dir("orvex-venue");
    Broker broker(dir.Path());
    ASSERT_TRUE(Accepts(broker.Port()));
    MqttRecorder dashboard(broker.Port(), "orvex/+/state/#");
    ASSERT_TRUE(dashboard.WaitSubscribed());
    MqttRecorder statuses(broker.Port(), "orvex/+/status");
    ASSERT_TRUE(statuses.WaitSubscribed());

    std::vector<std::unique_ptr<sim::ProcessorModel>> models;
    std::vector<std::unique_ptr<sim::NetworkHost>> hosts;
    std::vector<std::unique_ptr<BridgeProcess>> bridges;
    for (int room = 0; room < kRooms; ++room) {
        models.push_back(std::make_unique<sim::ProcessorModel>(sim::ProcessorOptions{}));
        sim::HostOptions options;
        options.port = 0;
        options.heartbeatMs = 500;
        hosts.push_back(std::make_unique<sim::NetworkHost>(*models.back(), options));
        std::string error;
        ASSERT_TRUE(hosts.back()->Start(&error)) << error;
        bridges.push_back(std::make_unique<BridgeProcess>(
            std::vector<std::string>{"--connect", "127.0.0.1:" + std::to_string(hosts.back()->Port()), "bridge",
                                     "--mqtt", broker.Address(), "--room", RoomName(room)},
            dir.Path() / (RoomName(room) + ".err")));
    }
    // Every room online, its processor read and its plugs known.
    for (int room = 0; room < kRooms; ++room) {
        const std::string base = "orvex/" + RoomName(room) + "/";
        ASSERT_TRUE(statuses.WaitFor(base + "status", "online", 60s)) << bridges[room]->Err();
        ASSERT_TRUE(dashboard.WaitFor(
            base + "state/plug/3/level", [](const std::string&) { return true; }, 60s))
            << bridges[room]->Err();
    }

    std::vector<double> echoes;
    for (int round = 0; round < kRounds; ++round) {
        for (int room = 0; room < kRooms; ++room) {
            const std::string base = "orvex/" + RoomName(room) + "/";
            const std::string value = std::to_string(10 + round * 7 + room);
            const size_t from = dashboard.Count();
            const auto sent = std::chrono::steady_clock::now();
            dashboard.Publish(base + "set/micMasterVolume", value);
            const auto echo = dashboard.WaitFor(base + "state/micMasterVolume", value, 5s, from);
            ASSERT_TRUE(echo) << RoomName(room) << " never echoed " << value;
            echoes.push_back(std::chrono::duration<double, std::milli>(echo->at - sent).count());
        }
    }
    std::sort(echoes.begin(), echoes.end());
    const double median = echoes[echoes.size() / 2];
    const double p95 = echoes[(echoes.size() * 95 + 99) / 100 - 1];
    std::cout << "venue: " << kRooms << " rooms, " << echoes.size() << " commands; state echo median " << median
              << " ms, 95th percentile " << p95 << " ms, slowest " << echoes.back() << " ms\n";
    EXPECT_LT(p95, 150.0);
    for (auto& bridge : bridges)
        EXPECT_EQ(bridge->StopWith(SIGTERM), 0);
}

} // namespace
