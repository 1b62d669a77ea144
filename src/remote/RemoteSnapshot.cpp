#include "remote/RemoteSnapshot.h"

#include "remote/RemoteWrites.h"

#include "model/ParameterStore.h"
#include "model/SmartHomeTables.h"

namespace orvex {

namespace {

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone half of a pair
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

RemoteSnapshot TakeRemoteSnapshot(const ParameterStore& store, const SmartHomeTables& smartHome, bool connected) {
    RemoteSnapshot snapshot;
    snapshot.connected = connected;
    snapshot.mode = store.DeviceMode() + 1;
    for (const ControlEntry& entry : ControlTable()) {
        if (entry.target != ControlTarget::Field || entry.field == nullptr)
            continue;
        snapshot.fields[std::string(entry.name)] = static_cast<int32_t>(store.GetSlotWord(entry.field->slot));
        if (entry.kind == ControlKind::Level) {
            const int cap = MasterVolumeCap(store, entry, entry.maxValue);
            if (cap < entry.maxValue)
                snapshot.limits[std::string(entry.name)] = cap;
        }
    }
    for (int scene = 0; scene < kSceneCount; ++scene) {
        const SceneRecord record = smartHome.Scene(scene);
        int& count = snapshot.sceneCommands[static_cast<size_t>(scene)];
        for (int i = 0; i < kSceneCommandCount; ++i)
            count += record[static_cast<size_t>(2 * i)] != 0 ? 1 : 0;
    }
    for (int node : smartHome.PresentNodes()) {
        if (!IsPlugNode(node))
            continue;
        const PlugRecord record = smartHome.Plug(node);
        snapshot.plugs.push_back({node, record[0], Utf8(PlugRecordName(record)), smartHome.NodeValue(node)});
    }
    snapshot.plugsRead = smartHome.tablesRead.load() != 0;
    const LevelRecord levels = store.GetLevelRecord();
    for (size_t i = 0; i < snapshot.levels.size(); ++i)
        snapshot.levels[i] = levels[i];
    return snapshot;
}

SnapshotBoard::SnapshotBoard() : m_current(std::make_shared<const RemoteSnapshot>()) {}

void SnapshotBoard::Publish(RemoteSnapshot snapshot) {
    {
        std::lock_guard lock(m_mutex);
        if (snapshot.SameState(*m_current) && snapshot.levels == m_current->levels)
            return;
        m_current = std::make_shared<const RemoteSnapshot>(std::move(snapshot));
        ++m_version;
    }
    m_changed.notify_all();
}

std::shared_ptr<const RemoteSnapshot> SnapshotBoard::Current() const {
    std::lock_guard lock(m_mutex);
    return m_current;
}

uint64_t SnapshotBoard::Version() const {
    std::lock_guard lock(m_mutex);
    return m_version;
}

void SnapshotBoard::WaitForChange(uint64_t seen, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [&] { return m_closed || m_version != seen; });
}

void SnapshotBoard::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_changed.notify_all();
}

bool SnapshotBoard::Closed() const {
    std::lock_guard lock(m_mutex);
    return m_closed;
}

} // namespace orvex
