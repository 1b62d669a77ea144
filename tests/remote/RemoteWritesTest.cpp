#include "link/DeviceLink.h"
#include "model/ControlTable.h"
#include "model/ParameterStore.h"
#include "remote/RemoteWrites.h"

#include <gtest/gtest.h>

#include <array>

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

} // namespace
} // namespace orvex
