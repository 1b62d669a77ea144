#pragma once

#include "model/ControlTable.h"
#include "model/SmartHomeTables.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvex {

class ParameterStore;

struct RemotePlug {
    int node = 0;
    int type = 0; // kPlugTypeSwitch, kPlugTypeDimmer, or another module type
    std::string name;
    int value = 0; // the node's last value: 0 off, 1..99 a dimmer's level, 255 on

    bool operator==(const RemotePlug&) const = default;
};

// What outside controllers see of the processor: the table's fields, the mode memory, the scenes
// that hold commands, the plugs, and the live levels (mic 1..4, music left and right).
struct RemoteSnapshot {
    bool connected = false;
    int mode = 1; // 1..4
    std::map<std::string, int> fields;
    std::array<int, kSceneCount> sceneCommands{}; // how many commands each of the six scenes holds
    std::vector<RemotePlug> plugs;
    // The module's plug and scene tables were read on this link: until then the plugs' types and
    // names are not known.
    bool plugsRead = false;
    std::array<int, 6> levels{};
    // A level's highest value where the machine settings hold it below the table's (the mic and
    // music master volumes): what a controller's slider may reach.
    std::map<std::string, int> limits;

    // Everything but the levels: what an event stream reports as a change.
    bool SameState(const RemoteSnapshot& other) const {
        return connected == other.connected && mode == other.mode && fields == other.fields &&
               sceneCommands == other.sceneCommands && plugs == other.plugs && plugsRead == other.plugsRead &&
               limits == other.limits;
    }
};

// The snapshot as the store and the smart-home tables hold it now.
RemoteSnapshot TakeRemoteSnapshot(const ParameterStore& store, const SmartHomeTables& smartHome, bool connected);

// Where the owner of the link publishes what it holds and the server's threads read it. Readers
// never touch the store or the link.
class SnapshotBoard {
public:
    SnapshotBoard();

    // Replaces the snapshot; readers waiting for a change wake when the state or the levels differ.
    void Publish(RemoteSnapshot snapshot);
    std::shared_ptr<const RemoteSnapshot> Current() const;
    // Counts every publication that changed something.
    uint64_t Version() const;
    // Waits until the version is past `seen`, the board is closed, or `timeout` passes.
    void WaitForChange(uint64_t seen, std::chrono::milliseconds timeout) const;
    // Wakes every waiter for good (the server is stopping).
    void Close();
    bool Closed() const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::shared_ptr<const RemoteSnapshot> m_current;
    uint64_t m_version = 0;
    bool m_closed = false;
};

} // namespace orvex
