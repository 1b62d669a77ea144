#include "model/EditJournal.h"

#include "model/EqPaths.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <type_traits>
#include <utility>

namespace orvex {

namespace {

static_assert(std::is_trivially_copyable_v<RoomGeometry>);

// Splits a block into units of `unit` bytes and adds those that differ.
void DiffUnits(StoreUnitKind kind, const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
               std::size_t unit, std::vector<StoreUnitChange>& out) {
    const std::size_t size = std::min(before.size(), after.size());
    for (std::size_t offset = 0; offset + unit <= size; offset += unit) {
        const auto b = before.begin() + static_cast<long>(offset);
        const auto a = after.begin() + static_cast<long>(offset);
        if (!std::equal(a, a + static_cast<long>(unit), b))
            out.push_back({kind, static_cast<int>(offset / unit), std::vector<uint8_t>(b, b + static_cast<long>(unit)),
                           std::vector<uint8_t>(a, a + static_cast<long>(unit))});
    }
}

RoomRecordBytes RecordOf(const std::vector<uint8_t>& block) {
    RoomRecordBytes record{};
    std::copy_n(block.begin(), std::min(block.size(), record.size()), record.begin());
    return record;
}

bool SameUnit(const StoreUnitChange& a, const StoreUnitChange& b) {
    return a.kind == b.kind && a.index == b.index;
}

struct PathName {
    const char* zh;
    const char* en;
};

// The equalisers as the pages name them, by EQ identity.
constexpr std::array<PathName, 7> kInputPathNames = {{
    {"话筒A", "Mic A"},
    {"话筒B", "Mic B"},
    {"混响A", "Reverb A"},
    {"混响B", "Reverb B"},
    {"回声A", "Echo A"},
    {"回声B", "Echo B"},
    {"音乐", "Music"},
}};

} // namespace

StoreImage StoreImage::Take(const ParameterStore& store) {
    StoreImage image;
    for (std::size_t b = 0; b < kModeFileBlocks.size(); ++b)
        image.blocks[b] = store.ReadBlock(kModeFileBlocks[b]);
    image.room = store.Room();
    image.machineSettings = store.CommittedMachineSettings();
    return image;
}

std::vector<uint8_t> RoomUnitBytes(const RoomRecordBytes& record, const RoomGeometry& room) {
    std::vector<uint8_t> bytes(record.begin(), record.end());
    const auto* raw = reinterpret_cast<const uint8_t*>(&room);
    bytes.insert(bytes.end(), raw, raw + sizeof room);
    return bytes;
}

bool RoomFromUnitBytes(const std::vector<uint8_t>& bytes, RoomRecordBytes& record, RoomGeometry& room) {
    if (bytes.size() != record.size() + sizeof room)
        return false;
    std::copy_n(bytes.begin(), record.size(), record.begin());
    std::memcpy(&room, bytes.data() + record.size(), sizeof room);
    return true;
}

std::vector<StoreUnitChange> DiffStoreImages(const StoreImage& before, const StoreImage& after) {
    std::vector<StoreUnitChange> changes;
    DiffUnits(StoreUnitKind::Slot, before.blocks[kParamBlock], after.blocks[kParamBlock], 4, changes);
    DiffUnits(StoreUnitKind::EqBand, before.blocks[kEqBlock], after.blocks[kEqBlock], kEqBandRecordSize, changes);
    DiffUnits(StoreUnitKind::PositionGain, before.blocks[kPositionBlock], after.blocks[kPositionBlock], 4, changes);
    if (before.blocks[kRoomBlock] != after.blocks[kRoomBlock] || !(before.room == after.room))
        changes.push_back({StoreUnitKind::Room, 0, RoomUnitBytes(RecordOf(before.blocks[kRoomBlock]), before.room),
                           RoomUnitBytes(RecordOf(after.blocks[kRoomBlock]), after.room)});
    if (before.blocks[kBassBoostBlock] != after.blocks[kBassBoostBlock])
        changes.push_back({StoreUnitKind::BassBoost, 0, before.blocks[kBassBoostBlock], after.blocks[kBassBoostBlock]});
    if (before.machineSettings != after.machineSettings)
        changes.push_back({StoreUnitKind::MachineSettings, 0,
                           std::vector<uint8_t>(before.machineSettings.begin(), before.machineSettings.end()),
                           std::vector<uint8_t>(after.machineSettings.begin(), after.machineSettings.end())});
    return changes;
}

JournalText DescribeChanges(const std::vector<StoreUnitChange>& changes) {
    if (changes.empty())
        return {};
    const EqRecordBlock* block = nullptr;
    for (const StoreUnitChange& change : changes) {
        if (change.kind != StoreUnitKind::EqBand)
            return {};
        const EqRecordBlock* own = EqRecordBlockOf(change.index);
        if (own == nullptr || own->identity < 0 || (block != nullptr && own != block))
            return {};
        block = own;
    }
    JournalText text;
    if (IsOutputEqIdentity(block->identity)) {
        const std::string n = std::to_string(block->identity - eqid::FirstOutput + 1);
        text = {"通道" + n + " 均衡", "CH" + n + " EQ"};
    } else {
        const PathName& name = kInputPathNames.at(static_cast<std::size_t>(block->identity));
        text = {std::string(name.zh) + " 均衡", std::string(name.en) + " EQ"};
    }
    if (changes.size() == 1) {
        const std::string band = std::to_string(changes.front().index - block->firstRecord + 1);
        text.zh += " 第" + band + "段";
        text.en += " band " + band;
    }
    return text;
}

std::size_t JournalEntry::Bytes() const {
    std::size_t bytes = sizeof *this + text.zh.size() + text.en.size();
    for (const StoreUnitChange& change : changes)
        bytes += sizeof change + change.before.size() + change.after.size();
    return bytes;
}

EditJournal::EditJournal(Limits limits) : m_limits(limits) {}

void EditJournal::Begin(const ParameterStore& store, uint64_t key, JournalText text, SteadyTime now, WallTime when) {
    if (m_open)
        return;
    OpenAction action{StoreImage::Take(store), key, std::move(text), when, false};
    action.joinsLast = key != 0 && key == m_lastKey && m_current == m_entries.size() && !m_entries.empty() &&
                       m_entries.back().kind == JournalEntry::Kind::Edit && now - m_lastEnd < m_limits.burstGap;
    m_open = std::move(action);
}

bool EditJournal::End(const ParameterStore& store, SteadyTime now) {
    if (!m_open)
        return false;
    OpenAction action = std::move(*m_open);
    m_open.reset();
    std::vector<StoreUnitChange> changes = DiffStoreImages(action.image, StoreImage::Take(store));
    if (changes.empty()) {
        // A key or wheel step that changed nothing (a value at its limit) still keeps the burst going.
        if (action.joinsLast)
            m_lastEnd = now;
        return false;
    }
    if (action.joinsLast) {
        JournalEntry& last = m_entries.back();
        m_bytes -= last.Bytes();
        for (StoreUnitChange& change : changes) {
            auto same = std::find_if(last.changes.begin(), last.changes.end(),
                                     [&](const StoreUnitChange& c) { return SameUnit(c, change); });
            if (same == last.changes.end())
                last.changes.push_back(std::move(change));
            else
                same->after = std::move(change.after);
        }
        std::erase_if(last.changes, [](const StoreUnitChange& c) { return c.before == c.after; });
        if (last.changes.empty()) {
            m_entries.pop_back();
            m_current = m_entries.size();
            m_lastKey = 0;
            return false;
        }
        if (JournalText described = DescribeChanges(last.changes); !described.en.empty())
            last.text = std::move(described);
        m_bytes += last.Bytes();
        m_lastEnd = now;
        Trim();
        return true;
    }
    JournalEntry entry{JournalEntry::Kind::Edit, 0, DescribeChanges(changes), action.when, std::move(changes)};
    if (entry.text.en.empty())
        entry.text = std::move(action.text);
    Append(std::move(entry));
    m_lastKey = action.key;
    m_lastEnd = now;
    return true;
}

void EditJournal::NameOpen(JournalText text) {
    if (m_open)
        m_open->text = std::move(text);
}

void EditJournal::Break(JournalText why, WallTime when) {
    // An action open now is the one that did this (a menu's load): it is not an edit to undo.
    m_open.reset();
    // The same cause again with nothing between (a phone's slider moving on) stays one entry.
    if (m_current == m_entries.size() && !m_entries.empty() && m_entries.back().kind == JournalEntry::Kind::Boundary &&
        m_entries.back().text == why) {
        m_entries.back().when = when;
        m_lastKey = 0;
        return;
    }
    Append({JournalEntry::Kind::Boundary, 0, std::move(why), when, {}});
    m_lastKey = 0;
}

void EditJournal::Append(JournalEntry entry) {
    DropRedo();
    entry.serial = m_nextSerial++;
    m_bytes += entry.Bytes();
    m_entries.push_back(std::move(entry));
    m_current = m_entries.size();
    Trim();
}

void EditJournal::DropRedo() {
    while (m_entries.size() > m_current) {
        m_bytes -= m_entries.back().Bytes();
        m_entries.pop_back();
    }
}

void EditJournal::Trim() {
    while (!m_entries.empty() && (m_entries.size() > m_limits.maxEntries || m_bytes > m_limits.maxBytes)) {
        m_bytes -= m_entries.front().Bytes();
        m_entries.pop_front();
        if (m_current > 0)
            --m_current;
    }
}

bool EditJournal::CanUndo() const {
    return NextUndo() != nullptr;
}

bool EditJournal::CanRedo() const {
    return NextRedo() != nullptr;
}

const JournalEntry* EditJournal::NextUndo() const {
    if (m_open || m_current == 0)
        return nullptr;
    const JournalEntry& entry = m_entries[m_current - 1];
    return entry.kind == JournalEntry::Kind::Edit ? &entry : nullptr;
}

const JournalEntry* EditJournal::NextRedo() const {
    if (m_open || m_current >= m_entries.size())
        return nullptr;
    return &m_entries[m_current];
}

std::vector<StoreUnitValue> EditJournal::Undo() {
    if (!CanUndo())
        return {};
    m_lastKey = 0;
    std::vector<StoreUnitValue> values;
    for (const StoreUnitChange& change : m_entries[--m_current].changes)
        values.push_back({change.kind, change.index, change.before});
    return values;
}

std::vector<StoreUnitValue> EditJournal::Redo() {
    if (!CanRedo())
        return {};
    m_lastKey = 0;
    std::vector<StoreUnitValue> values;
    for (const StoreUnitChange& change : m_entries[m_current++].changes)
        values.push_back({change.kind, change.index, change.after});
    return values;
}

} // namespace orvex
