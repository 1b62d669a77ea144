#include "link/ReplyDispatcher.h"

#include "link/Bytes.h"
#include "link/DebugSink.h"
#include "link/ParamTable.h"
#include "model/EditJournal.h"
#include "model/DeviceImageLayout.h"
#include "model/ParameterStore.h"

#include <algorithm>
#include <string_view>
#include <thread>

namespace orvex {

namespace {

// Offsets inside a message: byte 0 the carrier prefix, byte 1 the reply code.
constexpr size_t kCode = 1;
constexpr size_t kData = 2;

// The bytes from `offset` on, at most `count` of them, never past the message.
std::span<const uint8_t> Tail(std::span<const uint8_t> message, size_t offset, size_t count = SIZE_MAX) {
    if (offset >= message.size())
        return {};
    return message.subspan(offset, std::min(count, message.size() - offset));
}

std::string_view Chars(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A memory reply: address high, address low, count, then data; the data is what the message really
// carries of those count bytes.
struct MemorySlice {
    size_t address = 0;
    std::span<const uint8_t> data;
};

// Node ids the module may report: 1..232, and 2..232 for plugs (1 is the controller itself).
bool NodeId(int node) {
    return node >= kZWaveControllerNode && node < kZWaveNodeCount;
}

bool ReadMemorySlice(std::span<const uint8_t> message, MemorySlice& slice) {
    if (message.size() < 5)
        return false;
    slice.address = ReadBe16(message.data() + 2);
    slice.data = Tail(message, 5, message[4]);
    return true;
}

} // namespace

ReplyDispatcher::ReplyDispatcher(LinkState& link, ParameterStore& store, LinkEvents* events)
    : m_link(link), m_store(store), m_events(events), m_ownTables(std::make_unique<SmartHomeTables>()),
      m_smartHome(*m_ownTables), m_sender(nullptr) {}

ReplyDispatcher::ReplyDispatcher(LinkState& link, ParameterStore& store, LinkEvents* events, SmartHomeTables& smartHome,
                                 DeviceSender* sender)
    : m_link(link), m_store(store), m_events(events), m_smartHome(smartHome), m_sender(sender) {}

void ReplyDispatcher::SetReadAllStarter(std::function<void()> starter) {
    std::lock_guard lock(m_hookMutex);
    m_readAllStarter = std::move(starter);
}

void ReplyDispatcher::Signal() {
    ++m_signalled;
    m_link.replyEvent.Set();
}

void ReplyDispatcher::DecodeReply(std::span<const uint8_t> message) {
    ++m_decoded;
    if (message.size() > kCode && (message[kCode] == reply::ModeLoaded || message[kCode] == reply::ModeReset)) {
        // The reply event goes first: the read-all thread about to start paces its requests on it.
        Signal();
        StartReadAll();
        return;
    }
    if (m_events != nullptr && ChangesEdits(message) && m_link.sequenceRunning.load() == 0) {
        // Outside a synchronisation nobody asked for these: the processor changed something by
        // itself. Only a value that differs from the store's counts (an echo of the editor's own
        // write changes nothing).
        const StoreImage before = StoreImage::Take(m_store);
        Dispatch(message);
        const bool changed = !DiffStoreImages(before, StoreImage::Take(m_store)).empty();
        Signal();
        if (changed)
            m_events->OnStoreReported();
        return;
    }
    Dispatch(message);
    Signal();
}

bool ReplyDispatcher::ChangesEdits(std::span<const uint8_t> message) {
    if (message.size() <= kCode)
        return false;
    const uint8_t code = message[kCode];
    return code == reply::ParamValue || code == reply::MemoryBlock || code == reply::MachineSettings;
}

void ReplyDispatcher::StartReadAll() {
    DebugOut("Start thread:SynchronizeData\n");
    std::function<void()> starter;
    {
        std::lock_guard lock(m_hookMutex);
        starter = m_readAllStarter;
    }
    if (starter)
        starter();
}

void ReplyDispatcher::Dispatch(std::span<const uint8_t> message) {
    if (message.size() <= kCode)
        return;
    switch (message[kCode]) {
    case reply::CurrentMode:
        if (message.size() > kData) {
            m_store.SetDeviceMode(message[kData]);
            if (m_events != nullptr)
                m_events->OnCurrentMode();
        }
        break;
    case reply::Changed:
        m_store.SetModifiedFlag(true);
        break;
    case reply::ParamValue:
        ParamValue(message);
        break;
    case reply::Levels:
        m_store.SetLevelRecord(Tail(message, kData, kLevelRecordSize));
        if (m_events != nullptr)
            m_events->OnLevels();
        break;
    case reply::ZWave:
        ZWaveFrame(message);
        break;
    case reply::SmartMemory:
        SmartMemory(message);
        break;
    case reply::DeviceMemory:
        DeviceMemory(message);
        break;
    case reply::RemoteKey:
        RemoteKey(message);
        break;
    case reply::RemoteKeys:
        // The table reply carries the first 16 of the record's 18 bytes.
        m_store.SetRemoteKeyRecord(Tail(message, kData, 16));
        break;
    case reply::DspVersion:
        m_store.SetDspVersion(Chars(Tail(message, kData)));
        break;
    case reply::CommandSetVersion:
        if (message.size() > kData)
            m_store.SetCommandSetVersion(message[kData]);
        break;
    case reply::ModuleName:
        m_store.SetModuleName(Chars(Tail(message, kData)));
        break;
    case reply::McuVersion:
        m_store.SetMcuVersion(Chars(Tail(message, kData)));
        break;
    case reply::MemoryBlock:
        MemoryBlock(message);
        break;
    case reply::MachineSettings:
        if (message.size() > kData)
            m_store.SetMachineSettingsFromDevice(Tail(message, kData, kMachineSettingsSize));
        break;
    default:
        break; // 31, 32 and unknown codes only release the next send
    }
}

void ReplyDispatcher::ParamValue(std::span<const uint8_t> message) {
    // 0A, error, cmd, sub, count, words
    if (message.size() < 6)
        return;
    const uint8_t error = message[2];
    const uint8_t cmd = message[3];
    const uint8_t sub = message[4];
    if (error != 0 && !m_errorShown.exchange(true)) {
        if (m_events != nullptr)
            m_events->OnParameterError(error, cmd, sub);
    }
    // The value is applied whether or not the processor complained.
    DecodeParamValue(m_store, cmd, sub, Tail(message, 6));
}

void ReplyDispatcher::MemoryBlock(std::span<const uint8_t> message) {
    MemorySlice slice;
    if (!ReadMemorySlice(message, slice))
        return;
    if (slice.address < kImagePositionGainOffset) {
        // FF FF where a band's gain would be is the processor's "band table erased".
        if (message.size() > 6 && message[5] == 0xFF && message[6] == 0xFF)
            m_store.ClearEqTable();
        else
            m_store.WriteBlockAt(StoreBlock::EqBandTable, slice.address - kImageEqTableOffset, slice.data);
    } else if (slice.address == kImagePositionGainOffset) {
        m_store.WriteBlockAt(StoreBlock::PositionGainTable, 0, slice.data);
    } else if (slice.address == kImageRoomOffset) {
        m_store.WriteBlockAt(StoreBlock::RoomRecord, 0, slice.data); // unpacks the geometry too
    } else if (slice.address == kImageBassBoostOffset) {
        m_store.WriteBlockAt(StoreBlock::BassBoostRecord, 0, slice.data);
    }
}

void ReplyDispatcher::DeviceMemory(std::span<const uint8_t> message) {
    MemorySlice slice;
    if (!ReadMemorySlice(message, slice))
        return;
    if (slice.address < static_cast<size_t>(kDeviceImageSize))
        m_store.WriteDeviceImage(slice.address, slice.data); // bounded to the image
}

void ReplyDispatcher::SmartMemory(std::span<const uint8_t> message) {
    MemorySlice slice;
    if (!ReadMemorySlice(message, slice))
        return;
    if (m_smartHome.WriteMemory(static_cast<uint32_t>(slice.address), slice.data) == SmartMemoryTarget::OutOfRange)
        DebugOut("ZWaveReadMemFunc over range");
}

void ReplyDispatcher::RemoteKey(std::span<const uint8_t> message) {
    // 60, byte 2, key index, key code
    if (message.size() < 5)
        return;
    m_store.SetRemoteKeyByte(0, message[2]);
    const uint8_t index = message[3];
    if (index < kRemoteKeyRecordSize)
        m_store.SetRemoteKeyByte(index, message[4]);
    if (m_events != nullptr)
        m_events->OnRemoteKey(message[4]); // sent: the reader waits for the view to handle it
}

void ReplyDispatcher::PostZWave(uint32_t function, uint32_t lParam) {
    if (m_events != nullptr)
        m_events->OnZWaveEvent(function, lParam);
}

void ReplyDispatcher::ZWaveFrame(std::span<const uint8_t> message) {
    // 12, count, then the module's frame from offset 3: 01, length, type, function at 6, status at 7..9.
    constexpr size_t kFrame = 3;
    constexpr size_t kFunction = 6;
    if (message.size() <= kFrame || message[kFrame] == kZWaveAck)
        return; // nothing, or the module's own acknowledge
    if (m_sender != nullptr) {
        const uint8_t ack = kZWaveAck;
        m_sender->SendToDevice(std::span(&ack, 1), false, true);
    }
    const int pauseMs = m_ackPauseMs.load();
    if (pauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    if (message.size() <= kFunction)
        return;

    // A status byte the frame does not carry reads as absent: the handler below does nothing with it.
    auto at = [&](size_t offset) -> int { return offset < message.size() ? message[offset] : -1; };
    const uint8_t function = message[kFunction];
    switch (function) {
    case zwave::InitData: {
        m_smartHome.ClearNodes();
        // The bitmap ends before the frame's checksum, by the relayed count (byte 2) and by the
        // frame's own length byte, whichever is shorter, whatever the bitmap length claims: a USB
        // report carries other bytes after the frame.
        const int length = at(9);
        const size_t frameEnd =
            std::min<size_t>(kFrame + message[2] - 1, message.size() > 4 ? kFrame + 1 + message[4] : 0);
        for (int i = 0; i < length; ++i) {
            const size_t offset = 10 + static_cast<size_t>(i);
            const int bits = offset < frameEnd ? at(offset) : -1;
            if (bits < 0)
                break;
            for (int j = 0; j < 8; ++j) {
                const int node = 8 * i + j + 1;
                if ((bits >> j) & 1)
                    m_smartHome.SetNodePresent(node, true); // ids past 232 are ignored by the table
            }
        }
        m_smartHome.nodeListReceived.store(1);
        break;
    }
    case zwave::ApplicationCommand: {
        const int node = at(8);
        const int length = at(9);
        if (!NodeId(node) || length < 0)
            break;
        const int value = at(9 + static_cast<size_t>(length));
        if (value < 0)
            break;
        m_smartHome.SetNodeValue(node, static_cast<uint8_t>(value));
        m_smartHome.NoteNodeReport(node);
        PostZWave(function, static_cast<uint32_t>(node) << 16 | static_cast<uint32_t>(value));
        m_smartHome.valueSeen.store(1);
        m_smartHome.operationDone.store(1);
        break;
    }
    case zwave::SendData: {
        const int callback = at(7);
        const int status = at(8);
        if (callback < 0 || status < 0)
            break;
        const uint32_t high = static_cast<uint32_t>(callback) << 16;
        m_smartHome.NoteSendDataCallback(static_cast<uint8_t>(callback), static_cast<uint8_t>(status));
        if (status == 0) {
            // A remote-key value is confirmed by the node's own report, not by this callback.
            if (callback != zwave::CallbackQuiet)
                m_smartHome.operationDone.store(1);
            PostZWave(function, high);
        } else if (status == 1) {
            m_smartHome.operationDone.store(1);
            m_smartHome.valueSeen.store(1);
            PostZWave(function, high | 1);
        }
        break;
    }
    case zwave::SetDefault:
        m_smartHome.setDefaultDone.store(1);
        m_smartHome.operationDone.store(1);
        PostZWave(function, 0);
        break;
    case zwave::AddNode: {
        const int status = at(8);
        if (status == 1 || status == 2 || status == 7) {
            PostZWave(function, static_cast<uint32_t>(status));
        } else if (status == 5) {
            // Only a plug can be added: the controller's own record and ids past the table stay
            // untouched.
            const int node = at(9);
            if (!IsPlugNode(node))
                break;
            // The pending name and type belong to an add the user is running; a plug that joins
            // after that add was given up is in the network, but nameless.
            if (m_smartHome.addInProgress.load() != 0)
                m_smartHome.AdoptPendingPlug(node);
            else
                m_smartHome.SetNodePresent(node, true);
            PostZWave(function, static_cast<uint32_t>(node) << 16 | 5);
        }
        break;
    }
    case zwave::RemoveNode: {
        const int status = at(8);
        if (status < 0)
            break;
        if (status == 6) {
            // Node 0 is a plug that was not in this network; the controller itself is never removed.
            const int node = at(9);
            if (node != 0 && !IsPlugNode(node))
                break;
            DebugPrintf("REMOVE ID= %d\n", node);
            if (node != 0)
                m_smartHome.SetNodePresent(node, false);
            PostZWave(function, static_cast<uint32_t>(node) << 16 | 6);
        } else {
            PostZWave(function, static_cast<uint32_t>(status));
        }
        break;
    }
    default:
        break;
    }
}

} // namespace orvex
