#include "remote/RemoteWrites.h"

#include "link/DeviceLink.h"
#include "link/ZWaveFrames.h"
#include "model/ParameterStore.h"

#include <algorithm>

namespace orvex {

int MasterVolumeCap(const ParameterStore& store, const ControlEntry& entry, int value) {
    if (entry.field == nullptr)
        return value;
    // The owner's maxima in the machine settings hold for every controller, as for the ribbon.
    const MachineSettingsRecord settings = store.CommittedMachineSettings();
    if (entry.field->slot == fields::micMasterVolume.slot)
        return std::min(value, int{settings[kMaxMicVolumeByte]});
    if (entry.field->slot == fields::musicVolume.slot)
        return std::min(value, int{settings[kMaxMusicVolumeByte]});
    return value;
}

bool ApplyRemoteWrite(DeviceLink& link, const RemoteWrite& write) {
    if (write.entry == nullptr)
        return false;
    const ControlEntry& entry = *write.entry;
    CommandEncoder& commands = link.Commands();
    switch (entry.target) {
    case ControlTarget::Field:
        if (entry.field == nullptr)
            return false;
        if (entry.field->slot == fields::musicMute.slot) {
            commands.SetMusicMute(write.value != 0);
            return true;
        }
        commands.SetSlotWord(entry.field->slot,
                             static_cast<uint32_t>(MasterVolumeCap(link.Store(), entry, write.value)));
        return true;
    case ControlTarget::DeviceMode:
        link.LoadDeviceMode(ClampDeviceMode(write.value - 1));
        return true;
    case ControlTarget::PlugSwitch:
    case ControlTarget::PlugLevel: {
        SmartHomeTables& tables = link.SmartHome();
        if (!IsPlugNode(write.node) || !tables.NodePresent(write.node))
            return false;
        const auto value = static_cast<uint8_t>(write.value);
        tables.SetNodeValue(write.node, value);
        const auto parameters = ZWaveOperationParameters(zwave::SendData, static_cast<uint8_t>(write.node), value);
        if (!parameters)
            return false;
        commands.SendZWaveFrame(zwave::SendData, *parameters);
        return true;
    }
    case ControlTarget::Scene:
    case ControlTarget::Levels:
        return false;
    }
    return false;
}

} // namespace orvex
