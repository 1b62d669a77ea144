#include "remote/RemoteWrites.h"

#include "link/DeviceLink.h"
#include "link/ZWaveFrames.h"

namespace orvex {

bool ApplyRemoteWrite(DeviceLink& link, const RemoteWrite& write) {
    if (write.entry == nullptr)
        return false;
    const ControlEntry& entry = *write.entry;
    CommandEncoder& commands = link.Commands();
    switch (entry.target) {
    case ControlTarget::Field:
        if (entry.field == nullptr)
            return false;
        if (entry.field->slot == fields::musicMute.slot)
            commands.SetMusicMute(write.value != 0);
        else
            commands.SetSlotWord(entry.field->slot, static_cast<uint32_t>(write.value));
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
