#pragma once

#include "model/ParameterStore.h"
#include "model/RoomRecord.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

// The parts of the store an edit can change, each restored as a whole by the setter a hand edit of it
// uses: a parameter slot, a band record, a position gain, the room (its geometry and its record), the
// bass-boost record and the committed machine settings.
enum class StoreUnitKind : uint8_t { Slot, EqBand, PositionGain, Room, BassBoost, MachineSettings };

struct StoreUnitChange {
    StoreUnitKind kind = StoreUnitKind::Slot;
    int index = 0; // the slot, the band record or the channel; 0 for the single records
    std::vector<uint8_t> before;
    std::vector<uint8_t> after;

    friend bool operator==(const StoreUnitChange&, const StoreUnitChange&) = default;
};

// A unit's bytes as the store must hold them.
struct StoreUnitValue {
    StoreUnitKind kind = StoreUnitKind::Slot;
    int index = 0;
    std::vector<uint8_t> bytes;
};

// A copy of everything an edit can change.
struct StoreImage {
    std::array<std::vector<uint8_t>, kModeFileBlocks.size()> blocks;
    RoomGeometry room;
    MachineSettingsRecord machineSettings{};

    static StoreImage Take(const ParameterStore& store);
};

// What differs from `before` to `after`, unit by unit, in store order.
std::vector<StoreUnitChange> DiffStoreImages(const StoreImage& before, const StoreImage& after);

// A unit's bytes for the room: the 20 record bytes, then the geometry.
std::vector<uint8_t> RoomUnitBytes(const RoomRecordBytes& record, const RoomGeometry& room);
bool RoomFromUnitBytes(const std::vector<uint8_t>& bytes, RoomRecordBytes& record, RoomGeometry& room);

// A text in both languages, UTF-8.
struct JournalText {
    std::string zh;
    std::string en;

    friend bool operator==(const JournalText&, const JournalText&) = default;
};

// The name of an edit from what it changed, for the changes a name can be read from: the bands of one
// equaliser ("CH3 EQ band 4", "Mic A EQ", "Music EQ band 2"). Empty when the changes say nothing more
// than the control that made them.
JournalText DescribeChanges(const std::vector<StoreUnitChange>& changes);

struct JournalEntry {
    enum class Kind : uint8_t {
        Edit,    // undoable
        Boundary // the processor holds what it holds from here: nothing before it can be undone
    };
    Kind kind = Kind::Edit;
    uint64_t serial = 0; // unique in the journal, rising: what callers tie their own state to
    JournalText text;
    std::chrono::system_clock::time_point when;
    std::vector<StoreUnitChange> changes;

    std::size_t Bytes() const;
};

// The undo history of the editor's edits, in the core so that every remote control can share it.
//
// An action opens with Begin, which takes an image of the store, and closes with End, which keeps the
// difference as one entry (nothing, when nothing changed). Actions on the same control less than the
// burst gap apart join the entry before them, so a run of wheel steps or key presses undoes as one.
// Undo and Redo hand back the units to write; the caller puts them into the store and sends them
// through the setters, as a hand edit would.
//
// Not thread-safe: used from the thread that edits (the window thread).
class EditJournal {
public:
    struct Limits {
        std::size_t maxEntries = 1000;
        std::size_t maxBytes = 8u << 20;
        std::chrono::milliseconds burstGap{600};
    };
    using SteadyTime = std::chrono::steady_clock::time_point;
    using WallTime = std::chrono::system_clock::time_point;

    EditJournal() : EditJournal(Limits{}) {}
    explicit EditJournal(Limits limits);

    // An action by control `key` (0: one that never joins another) starts. An action already open
    // stays the one that counts (a press whose handler opens a dialog whose buttons edit).
    void Begin(const ParameterStore& store, uint64_t key, JournalText text, SteadyTime now, WallTime when);
    // The open action ends; returns true when it changed the store and was kept.
    bool End(const ParameterStore& store, SteadyTime now);
    bool IsOpen() const { return m_open.has_value(); }
    // The open action's name, when the code that runs it knows better than the control that started it.
    void NameOpen(JournalText text);

    // Something the user cannot take back happened (a device mode loaded or saved, a preset file
    // loaded, a read-all, a change the processor reported): an open action is dropped (it is the one
    // that did this), the entries after the current point go, and a boundary entry says why.
    void Break(JournalText why, WallTime when);

    bool CanUndo() const;
    bool CanRedo() const;
    // The entry the next Undo or Redo takes back or does again; null when there is none.
    const JournalEntry* NextUndo() const;
    const JournalEntry* NextRedo() const;
    // Steps the current point back (forward) over one edit and returns the units to write: the values
    // before the edit (after it, for Redo).
    std::vector<StoreUnitValue> Undo();
    std::vector<StoreUnitValue> Redo();

    // Every entry, oldest first; entries [0, Current()) are done, the rest undone.
    const std::deque<JournalEntry>& Entries() const { return m_entries; }
    std::size_t Current() const { return m_current; }
    std::size_t Bytes() const { return m_bytes; }

private:
    struct OpenAction {
        StoreImage image;
        uint64_t key = 0;
        JournalText text;
        WallTime when;
        bool joinsLast = false;
    };

    void Append(JournalEntry entry);
    void DropRedo();
    void Trim();

    Limits m_limits;
    std::deque<JournalEntry> m_entries;
    uint64_t m_nextSerial = 1;
    std::size_t m_current = 0;
    std::size_t m_bytes = 0;
    std::optional<OpenAction> m_open;
    // The control of the newest entry and when it last changed, for joining a burst.
    uint64_t m_lastKey = 0;
    SteadyTime m_lastEnd{};
};

} // namespace orvex
