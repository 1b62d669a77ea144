#include "link/DeviceLink.h"
#include "model/ControlTable.h"
#include "model/ParameterStore.h"
#include "remote/RemoteApi.h"
#include "remote/RemoteSnapshot.h"
#include "remote/RemoteWrites.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <map>
#include <string>

namespace orvex {
namespace {

// The owner's maxima for the mic and music master volumes hold for a phone as for the ribbon: a
// write above them sets the maximum, and the other levels are not capped.
TEST(RemoteWritesTest, MasterVolumesStopAtTheMachineSettingsMaxima) {
    ParameterStore store;
    std::array<uint8_t, kMachineSettingsSize> settings{};
    settings.fill(100);
    settings[kMaxMicVolumeByte] = 40;
    settings[kMaxMusicVolumeByte] = 70;
    store.SetMachineSettingsFromDevice(settings);
    DeviceLink link(store, nullptr);

    const auto write = [&](const char* field, int value) {
        RemoteWrite w;
        w.entry = FindControl(field);
        ASSERT_NE(w.entry, nullptr) << field;
        w.value = value;
        EXPECT_TRUE(ApplyRemoteWrite(link, w)) << field;
    };
    write("micMasterVolume", 90);
    write("musicVolume", 95);
    write("echoVolume", 90);
    EXPECT_EQ(store.Get(fields::micMasterVolume), 40);
    EXPECT_EQ(store.Get(fields::musicVolume), 70);
    EXPECT_EQ(store.Get(fields::echoVolume), 90);

    write("micMasterVolume", 25); // below the maximum: as asked
    EXPECT_EQ(store.Get(fields::micMasterVolume), 25);
}

// Controllers are told where those maxima are, so that a slider ends there instead of snapping back,
// and a change of the settings reaches an open event stream.
TEST(RemoteWritesTest, TheStateTellsTheMaximaBelowTheTables) {
    ParameterStore store;
    std::array<uint8_t, kMachineSettingsSize> settings{};
    settings.fill(100);
    settings[kMaxMicVolumeByte] = 40;
    store.SetMachineSettingsFromDevice(settings);
    SmartHomeTables tables;
    SnapshotBoard board;
    board.Publish(TakeRemoteSnapshot(store, tables, true));
    EXPECT_EQ(board.Current()->limits, (std::map<std::string, int>{{"micMasterVolume", 40}}));
    EXPECT_NE(RemoteStateJson(*board.Current()).find(R"("limits":{"micMasterVolume":40})"), std::string::npos);

    RemoteEventStream stream(board);
    const auto now = std::chrono::steady_clock::now();
    stream.Poll(now); // the whole state first
    settings[kMaxMusicVolumeByte] = 70;
    store.SetMachineSettingsFromDevice(settings);
    board.Publish(TakeRemoteSnapshot(store, tables, true));
    const std::string change = stream.Poll(now + std::chrono::milliseconds(10));
    EXPECT_NE(change.find(R"("limits":{"micMasterVolume":40,"musicVolume":70})"), std::string::npos) << change;
}

} // namespace
} // namespace orvex
