#include "model/SmartHomeTables.h"

#include <algorithm>

namespace orvex {

namespace {

bool ValidNode(int node) {
    return node >= 0 && node < kZWaveNodeCount;
}
bool ValidScene(int scene) {
    return scene >= 0 && scene < kSceneCount;
}
size_t At(int index) {
    return static_cast<size_t>(index);
}

} // namespace

PlugRecord MakePlugRecord(uint8_t type, std::u16string_view name) {
    PlugRecord record{};
    record[0] = type;
    const size_t n = std::min<size_t>(name.size(), kPlugNameChars);
    for (size_t i = 0; i < n; ++i) {
        record[4 + 2 * i] = static_cast<uint8_t>(name[i] & 0xFF);
        record[5 + 2 * i] = static_cast<uint8_t>(name[i] >> 8);
    }
    return record;
}

std::u16string PlugRecordName(const PlugRecord& record) {
    std::u16string name;
    for (size_t i = 0; i < kPlugNameChars; ++i) {
        const char16_t unit = static_cast<char16_t>(record[4 + 2 * i] | (record[5 + 2 * i] << 8));
        if (unit == 0)
            break;
        name.push_back(unit);
    }
    return name;
}

bool SmartHomeTables::NodePresent(int node) const {
    std::lock_guard lock(m_mutex);
    return ValidNode(node) && m_nodes[At(node)][0] != 0;
}

void SmartHomeTables::SetNodePresent(int node, bool present) {
    std::lock_guard lock(m_mutex);
    if (ValidNode(node))
        m_nodes[At(node)][0] = present ? static_cast<uint8_t>(node) : 0;
}

uint8_t SmartHomeTables::NodeValue(int node) const {
    std::lock_guard lock(m_mutex);
    return ValidNode(node) ? m_nodes[At(node)][1] : 0;
}

void SmartHomeTables::SetNodeValue(int node, uint8_t value) {
    std::lock_guard lock(m_mutex);
    if (ValidNode(node))
        m_nodes[At(node)][1] = value;
}

void SmartHomeTables::ClearNodes() {
    std::lock_guard lock(m_mutex);
    for (auto& entry : m_nodes)
        entry = {};
}

std::vector<int> SmartHomeTables::PresentNodes() const {
    std::lock_guard lock(m_mutex);
    std::vector<int> nodes;
    for (int node = 0; node < kZWaveNodeCount; ++node)
        if (m_nodes[At(node)][0] != 0)
            nodes.push_back(node);
    return nodes;
}

PlugRecord SmartHomeTables::Plug(int node) const {
    std::lock_guard lock(m_mutex);
    PlugRecord record{};
    if (ValidNode(node))
        std::copy_n(m_plugs.begin() + node * kPlugRecordSize, kPlugRecordSize, record.begin());
    return record;
}

void SmartHomeTables::SetPlug(int node, const PlugRecord& record) {
    std::lock_guard lock(m_mutex);
    if (ValidNode(node))
        std::copy(record.begin(), record.end(), m_plugs.begin() + node * kPlugRecordSize);
}

PlugRecord SmartHomeTables::PendingPlug() const {
    std::lock_guard lock(m_mutex);
    return m_pending;
}

void SmartHomeTables::SetPendingPlug(const PlugRecord& record) {
    std::lock_guard lock(m_mutex);
    m_pending = record;
}

bool SmartHomeTables::AdoptPendingPlug(int node) {
    std::lock_guard lock(m_mutex);
    if (!ValidNode(node))
        return false;
    m_nodes[At(node)][0] = static_cast<uint8_t>(node);
    std::copy(m_pending.begin(), m_pending.end(), m_plugs.begin() + node * kPlugRecordSize);
    return true;
}

SceneRecord SmartHomeTables::Scene(int scene) const {
    std::lock_guard lock(m_mutex);
    SceneRecord record{};
    if (ValidScene(scene))
        std::copy_n(m_scenes.begin() + scene * kSceneRecordSize, kSceneRecordSize, record.begin());
    return record;
}

void SmartHomeTables::SetScene(int scene, const SceneRecord& record) {
    std::lock_guard lock(m_mutex);
    if (ValidScene(scene))
        std::copy(record.begin(), record.end(), m_scenes.begin() + scene * kSceneRecordSize);
}

void SmartHomeTables::ClearScenes() {
    std::lock_guard lock(m_mutex);
    m_scenes.fill(0);
}

int SmartHomeTables::RemoveSceneTarget(uint8_t target) {
    std::lock_guard lock(m_mutex);
    int removed = 0;
    for (int scene = 0; scene < kSceneCount; ++scene) {
        const auto begin = m_scenes.begin() + scene * kSceneRecordSize;
        SceneRecord record{};
        std::copy_n(begin, kSceneRecordSize, record.begin());
        int n = 0;
        record = WithoutSceneTarget(record, target, &n);
        std::copy(record.begin(), record.end(), begin);
        removed += n;
    }
    return removed;
}

int SmartHomeTables::SceneCommandsFor(uint8_t target) const {
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (size_t i = 0; i < m_scenes.size(); i += 2)
        count += target != 0 && m_scenes[i] == target ? 1 : 0;
    return count;
}

void SmartHomeTables::ExpectConfirmation(int node, uint8_t callback, bool delivered) {
    std::lock_guard lock(m_mutex);
    m_expectNode = node;
    m_expectCallback = callback;
    m_deliveryConfirms = delivered;
    m_confirmed = false;
}

bool SmartHomeTables::Confirmed() const {
    std::lock_guard lock(m_mutex);
    return m_confirmed;
}

void SmartHomeTables::NoteSendDataCallback(uint8_t callback, uint8_t status) {
    std::lock_guard lock(m_mutex);
    if (m_expectNode < 0 || callback != m_expectCallback)
        return;
    if (status == 1 || (status == 0 && m_deliveryConfirms))
        m_confirmed = true;
}

void SmartHomeTables::NoteNodeReport(int node) {
    std::lock_guard lock(m_mutex);
    if (m_expectNode >= 0 && node == m_expectNode)
        m_confirmed = true;
}

SceneRecord WithoutSceneTarget(const SceneRecord& record, uint8_t target, int* removed) {
    SceneRecord out{};
    size_t next = 0;
    int gone = 0;
    for (size_t i = 0; i < record.size(); i += 2) {
        if (record[i] == target && target != 0) {
            ++gone;
            continue;
        }
        if (record[i] == 0)
            continue; // an empty slot in the middle closes up too
        out[next++] = record[i];
        out[next++] = record[i + 1];
    }
    if (removed != nullptr)
        *removed = gone;
    return gone > 0 ? out : record;
}

SmartMemoryTarget SmartHomeTables::WriteMemory(uint32_t address, std::span<const uint8_t> bytes, size_t* copied) {
    if (copied != nullptr)
        *copied = 0;
    std::span<uint8_t> table;
    size_t start = 0;
    SmartMemoryTarget target;
    std::lock_guard lock(m_mutex);
    if (address < kSceneMemoryAddress) {
        // The module answers in whole records: the data belongs at the start of the record that
        // holds the address, not at the address itself.
        table = m_plugs;
        start = address / kPlugRecordSize * kPlugRecordSize;
        target = SmartMemoryTarget::Plugs;
    } else if (address < kSmartMemoryEnd) {
        table = m_scenes;
        start = (address - kSceneMemoryAddress) / kSceneRecordSize * kSceneRecordSize;
        target = SmartMemoryTarget::Scenes;
    } else {
        return SmartMemoryTarget::OutOfRange;
    }
    const size_t n = std::min(bytes.size(), table.size() - start);
    std::copy_n(bytes.begin(), n, table.begin() + static_cast<std::ptrdiff_t>(start));
    if (copied != nullptr)
        *copied = n;
    return target;
}

void SmartHomeTables::Clear() {
    std::lock_guard lock(m_mutex);
    for (auto& entry : m_nodes)
        entry = {};
    m_plugs.fill(0);
    m_scenes.fill(0);
    m_pending.fill(0);
    m_expectNode = -1;
    m_confirmed = false;
}

} // namespace orvex
