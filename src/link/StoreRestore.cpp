#include "link/StoreRestore.h"

#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "link/ParamTable.h"
#include "model/ParameterStore.h"

#include <algorithm>
#include <set>
#include <utility>

namespace orvex {

namespace {

// The message a slot's edit goes out as: slots that one setter sends together (the two routes of a mic,
// a compressor's four values, the frequency shift and its off switch) share one, so it is sent once.
std::pair<const ParamCommand*, int> SendUnit(int slot) {
    if (slot == fields::micBassBoostOnCopy.slot)
        slot = fields::micBassBoostOn.slot;
    if (slot == fields::shiftOffA.slot || slot == fields::shiftOffB.slot)
        slot -= 1; // the switch follows the frequency and is sent with it
    int element = 0;
    const ParamCommand* row = FindParamCommandBySlot(slot, &element);
    if (row != nullptr && row->wire == WireEncoding::Route)
        row = FindParamCommandBySlot(fields::micToA.slot + element, &element);
    return {row, element};
}

void PutUnits(const std::vector<StoreUnitValue>& values, ParameterStore& store) {
    for (const StoreUnitValue& value : values) {
        const auto offset = static_cast<std::size_t>(value.index) * value.bytes.size();
        switch (value.kind) {
        case StoreUnitKind::Slot:
            store.WriteBlockAt(StoreBlock::ParamBlock, offset, value.bytes);
            break;
        case StoreUnitKind::EqBand:
            store.WriteBlockAt(StoreBlock::EqBandTable, offset, value.bytes);
            break;
        case StoreUnitKind::PositionGain:
            store.WriteBlockAt(StoreBlock::PositionGainTable, offset, value.bytes);
            break;
        case StoreUnitKind::Room: {
            RoomRecordBytes record{};
            RoomGeometry room;
            if (value.bytes.size() == record.size()) {
                // The record alone: the geometry follows from it.
                std::copy(value.bytes.begin(), value.bytes.end(), record.begin());
                store.SetRoomRecordBytes(record);
            } else if (RoomFromUnitBytes(value.bytes, record, room)) {
                // The record first: loading it recomputes the geometry, which the saved one replaces.
                store.SetRoomRecordBytes(record);
                store.SetRoom(room);
            }
            break;
        }
        case StoreUnitKind::BassBoost:
            store.WriteBlock(StoreBlock::BassBoostRecord, value.bytes);
            break;
        case StoreUnitKind::MachineSettings: {
            MachineSettingsRecord record{};
            if (value.bytes.size() == record.size()) {
                std::copy(value.bytes.begin(), value.bytes.end(), record.begin());
                store.SetWorkingMachineSettings(record);
            }
            break;
        }
        }
    }
}

void SendUnits(const std::vector<StoreUnitValue>& values, ParameterStore& store, CommandEncoder& commands,
               EqSender& eq) {
    std::set<std::pair<const ParamCommand*, int>> sent;
    auto send = [&](const StoreUnitValue& value) {
        switch (value.kind) {
        case StoreUnitKind::Slot:
            if (const auto unit = SendUnit(value.index); unit.first != nullptr && sent.insert(unit).second)
                commands.SendSlot(value.index);
            break;
        case StoreUnitKind::EqBand:
            eq.SetBand(value.index, store.GetEqBand(value.index));
            break;
        case StoreUnitKind::PositionGain:
            commands.SetPositionGain(value.index, store.PositionGain(value.index));
            break;
        case StoreUnitKind::Room:
            commands.WriteRoomRecord();
            break;
        case StoreUnitKind::BassBoost:
            commands.SetBassBoostLevel(store.BassBoostLevel());
            break;
        case StoreUnitKind::MachineSettings:
            commands.WriteMachineSettings(store.CommitMachineSettings());
            break;
        }
    };
    // The processor plays the music source it is told last: the HDMI port goes ahead of the source, as
    // the source window sends them, or an HDMI port restored after a non-HDMI source would switch to it.
    auto isHdmiPort = [](const StoreUnitValue& value) {
        return value.kind == StoreUnitKind::Slot && value.index == fields::hdmiInput.slot;
    };
    for (const StoreUnitValue& value : values) {
        if (isHdmiPort(value))
            send(value);
    }
    for (const StoreUnitValue& value : values) {
        if (!isHdmiPort(value))
            send(value);
    }
}

} // namespace

void RestoreStoreUnits(const std::vector<StoreUnitValue>& values, ParameterStore& store, CommandEncoder& commands,
                       EqSender& eq) {
    PutUnits(values, store);
    StoreImage wanted = StoreImage::Take(store);
    // Machine settings are put into the working copy; the image holds the committed one, which the
    // setter below commits.
    for (const StoreUnitValue& value : values) {
        if (value.kind == StoreUnitKind::MachineSettings && value.bytes.size() == wanted.machineSettings.size())
            std::copy(value.bytes.begin(), value.bytes.end(), wanted.machineSettings.begin());
    }
    SendUnits(values, store, commands, eq);
    // A setter may derive other units from the one it sends: a delay mode sends its channel's split pair
    // again, in the mode's filter types. Whatever the setters left otherwise than the values put and the
    // rest of the store as it was goes back once more through its own setter, so that the store and
    // the processor hold exactly what was restored, even where they held a pair out of step with its
    // mode.
    std::vector<StoreUnitValue> again;
    for (StoreUnitChange& change : DiffStoreImages(wanted, StoreImage::Take(store)))
        again.push_back({change.kind, change.index, std::move(change.before)});
    if (again.empty())
        return;
    PutUnits(again, store);
    SendUnits(again, store, commands, eq);
}

} // namespace orvex
