// Feeds arbitrary messages to the reply decoder, as both carriers deliver them: TCP frame payloads of
// 1..66 bytes and whole 61-byte USB reports. Whatever arrives, the decoder must not crash, must not
// write outside the table a reply addresses, must never store a non-finite float, must acknowledge at
// most one Z-Wave frame per message, and must signal the reply event exactly once per message.

#include "link/DeviceSender.h"
#include "link/Frame.h"
#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "model/ParameterStore.h"
#include "model/SmartHomeTables.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

class CountingSender final : public orvex::DeviceSender {
public:
    int SendToDevice(std::span<const uint8_t> message, bool paced, bool zwave) override {
        if (paced || !zwave || message.size() != 1 || message[0] != orvex::kZWaveAck)
            std::abort(); // the decoder only ever sends the unpaced Z-Wave acknowledge
        ++sent;
        return 1;
    }
    int sent = 0;
};

class CountingEvents final : public orvex::LinkEvents {
public:
    void OnParameterError(uint8_t, uint8_t, uint8_t) override {
        if (++errors > 1)
            std::abort(); // shown once per run
    }
    int errors = 0;
};

struct Snapshot {
    std::vector<uint8_t> eq, gains, room, boost;
    std::vector<orvex::PlugRecord> plugs;
    std::vector<orvex::SceneRecord> scenes;
    bool controller = false;
};

Snapshot Take(const orvex::ParameterStore& store, const orvex::SmartHomeTables& smart) {
    Snapshot s;
    s.eq = store.ReadBlock(orvex::StoreBlock::EqBandTable);
    s.gains = store.ReadBlock(orvex::StoreBlock::PositionGainTable);
    s.room = store.ReadBlock(orvex::StoreBlock::RoomRecord);
    s.boost = store.ReadBlock(orvex::StoreBlock::BassBoostRecord);
    for (int n = 0; n < orvex::kZWaveNodeCount; ++n)
        s.plugs.push_back(smart.Plug(n));
    for (int i = 0; i < orvex::kSceneCount; ++i)
        s.scenes.push_back(smart.Scene(i));
    s.controller = smart.NodePresent(1);
    return s;
}

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void CheckOnlyItsTableChanged(std::span<const uint8_t> m, const Snapshot& before, const Snapshot& after) {
    const uint8_t code = m.size() > 1 ? m[1] : 0;
    const size_t address = m.size() >= 5 ? static_cast<size_t>(m[2] << 8 | m[3]) : SIZE_MAX;
    if (code != 0x86 || address >= 1253)
        Require(after.eq == before.eq);
    if (code != 0x86 || address != 1253)
        Require(after.gains == before.gains);
    if (code != 0x86 || address != 1285)
        Require(after.room == before.room);
    if (code != 0x86 || address != 1305)
        Require(after.boost == before.boost);
    // Plug records change through the memory reply below 6524 and through an added node.
    if (code != 0x14 || address >= orvex::kSceneMemoryAddress) {
        if (code != 0x12)
            Require(after.plugs == before.plugs);
        else // an added node is a plug: the records of node 0 and the controller never change
            Require(after.plugs[0] == before.plugs[0] && after.plugs[1] == before.plugs[1]);
    } else {
        // from the start of the record holding the address onwards, never before it
        const size_t node = address / orvex::kPlugRecordSize;
        for (size_t n = 0; n < node; ++n)
            Require(after.plugs[n] == before.plugs[n]);
    }
    if (code != 0x14 || address < orvex::kSceneMemoryAddress || address >= orvex::kSmartMemoryEnd)
        Require(after.scenes == before.scenes);
}

void CheckFloatsFinite(const orvex::ParameterStore& store) {
    for (int slot = 0; slot < orvex::kParamSlotCount; ++slot) {
        const orvex::StoreField* field = orvex::FindStoreFieldBySlot(slot);
        if (field != nullptr && field->type == orvex::FieldType::Float)
            Require(std::isfinite(store.GetSlotFloat(slot)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orvex::LinkState link;
    orvex::ParameterStore store;
    store.ResetStoreDefaults();
    orvex::SmartHomeTables smart;
    CountingSender sender;
    CountingEvents events;
    orvex::ReplyDispatcher replies(link, store, &events, smart, &sender);
    replies.SetZWaveAckPause(std::chrono::milliseconds(0));

    // Each message: a control byte (top bit: USB report; low bits: length), then its bytes.
    std::span<const uint8_t> input(data, size);
    uint64_t messages = 0;
    while (!input.empty()) {
        const uint8_t control = input[0];
        input = input.subspan(1);
        const bool usb = (control & 0x80) != 0;
        const size_t want = usb ? orvex::kUsbReportSize : 1 + (control & 0x7F) % orvex::kMaxPayload;
        const size_t take = want < input.size() ? want : input.size();
        std::vector<uint8_t> message(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(take));
        if (usb)
            message.resize(orvex::kUsbReportSize, 0); // a report is always whole
        input = input.subspan(take);
        if (message.empty())
            break;

        const Snapshot before = Take(store, smart);
        const int acksBefore = sender.sent;
        replies.DecodeReply(message);
        ++messages;

        Require(replies.MessagesDecoded() == messages);
        Require(replies.RepliesSignalled() == messages);
        Require(sender.sent - acksBefore <= (message.size() > 1 && message[1] == 0x12 ? 1 : 0));
        CheckOnlyItsTableChanged(message, before, Take(store, smart));
        // The controller's own entry changes only with a node list.
        if (message.size() < 7 || message[1] != 0x12 || message[6] != 0x02)
            Require(smart.NodePresent(1) == before.controller);
        CheckFloatsFinite(store);
    }
    return 0;
}
