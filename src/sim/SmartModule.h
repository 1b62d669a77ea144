#pragma once

#include "model/SmartHomeTables.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace orvex::sim {

using Message = std::vector<uint8_t>;

// Messages the processor sends on its own, each due at a time on the model's millisecond clock,
// and actions that happen by themselves later (a plug button pressed by the demonstration options,
// the end of a learning window). Not thread-safe: the processor model runs it under its own lock.
class Outbox {
public:
    using Action = std::function<void()>;

    void Post(int64_t dueMs, Message message);
    void Schedule(int64_t dueMs, Action action);
    // Runs the actions that are due and returns the messages that are due, earliest first (ties in
    // the order they were posted). An action may post or schedule more; those due by `nowMs` are
    // taken in the same call.
    std::vector<Message> TakeDue(int64_t nowMs);
    // When the earliest entry is due; INT64_MAX when there is none.
    int64_t NextDue() const;
    size_t Size() const { return m_entries.size(); }
    void Clear() { m_entries.clear(); }

private:
    struct Entry {
        int64_t due;
        uint64_t order;
        Message message;
        Action action;
    };
    std::vector<Entry> m_entries;
    uint64_t m_order = 0;
};

enum class PlugKind : uint8_t { Switch, Dimmer, Infrared };

// How the smart module's demonstration and fault options are set.
struct SmartModuleOptions {
    // A plug waiting to be added or removed has its button pressed this long after the module
    // reported itself ready (negative: only the in-process API presses buttons).
    int plugPressAfterMs = -1;
    // The plug whose button that press belongs to during a removal: 0 is a plug outside the
    // network (as when a new plug is reset before being added), otherwise an included node.
    int removeNode = 0;
    // What a plug added by that press is.
    PlugKind newPlugKind = PlugKind::Switch;
    // A learn request (the processor's remote or an infrared plug) is answered with a key this
    // long after it started (negative: never by itself).
    int remotePressAfterMs = -1;
    // Inclusions and exclusions end in failure (status 7) when a button is pressed.
    bool nodeOperationsFail = false;
    // Included nodes that never answer anything.
    std::vector<int> deadNodes;
    // A set-default resets the module but is never confirmed.
    bool setDefaultSilent = false;
};

// The module's pace: how long after a request or a press each report follows.
struct SmartModuleTimings {
    static constexpr int64_t kCallback = 40;       // send-data callback to a present node
    static constexpr int64_t kNoAck = 300;         // send-data callback for an absent node (retries)
    static constexpr int64_t kReady = 20;          // add/remove status 1
    static constexpr int64_t kNodeFound = 50;      // add status 2 after the press
    static constexpr int64_t kNodeAdded = 400;     // add status 5 after status 2
    static constexpr int64_t kNodeRemoved = 200;   // remove status 6 after the press
    static constexpr int64_t kSetDefault = 200;    // set-default callback
    static constexpr int64_t kLearnReady = 100;    // infrared plug report 2
    static constexpr int64_t kLearnWindow = 10000; // infrared plug report 5 when no key comes
    static constexpr int64_t kKeyReport = 50;      // report 3 (or 4) after the key reached the plug
    static constexpr int64_t kTransmit = 150;      // report 6 or 7
    static constexpr int64_t kNodeReport = 50;     // a node's own value report
};

// The Z-Wave controller of the processor's smart-home module, with the plugs of its network and
// the plug and scene memory the editor keeps in it. It answers Serial API frames the way the
// editor's decoder reads them; everything that would come later from the radio goes to the outbox.
// Not thread-safe: the processor model calls it under its own lock.
class SmartModule {
public:
    static constexpr int kNodeCount = kZWaveNodeCount; // ids 0..232; 1 is the controller
    static constexpr int kKeysPerPlug = 64;

    SmartModule(Outbox& outbox, SmartModuleOptions options);

    // One frame from the editor. Returns what the module answers at once (its acknowledge and, for
    // init data, the node list); later reports go to the outbox. A lone acknowledge, a malformed
    // frame or one with a bad checksum is answered with nothing.
    std::vector<Message> HandleFrame(std::span<const uint8_t> frame, int64_t now);

    // The button of a plug: node 0 is a plug outside the network (of kind `kind` once it is
    // included), otherwise an included node. False when no inclusion or exclusion waits for it.
    bool PressPlugButton(int node, PlugKind kind, int64_t now);
    // A key of a remote control reaching every infrared plug that is learning; `garbled` makes the
    // plugs report a checksum error. False when no plug was learning.
    bool RemoteKeyReachesPlugs(uint8_t code, bool garbled, int64_t now);
    // A node reports a value of its own (a switch toggled on the plug itself, say). False for a node
    // that is not included or never answers.
    bool ReportNodeValue(int node, uint8_t value, int64_t now);

    void SetNodeOperationsFail(bool fail) { m_options.nodeOperationsFail = fail; }
    void SetNodeDead(int node, bool dead);
    void SetNodePresent(int node, bool present, PlugKind kind = PlugKind::Switch);

    // Inspection.
    bool NodePresent(int node) const;
    PlugKind Kind(int node) const;
    uint8_t NodeValue(int node) const;
    bool KeyLearned(int node, int key) const;
    enum class Operation { None, Adding, Removing };
    Operation CurrentOperation() const { return m_op; }
    int FramesHandled() const { return m_frames; }
    int FramesRefused() const { return m_refused; }

    // The plug and scene memory (6860 bytes), read and written by messages 14 and 13.
    Message ReadMemory(std::span<const uint8_t> body) const;
    void WriteMemory(std::span<const uint8_t> body);
    const std::vector<uint8_t>& Memory() const { return m_memory; }

private:
    struct Node {
        bool present = false;
        bool dead = false;
        PlugKind kind = PlugKind::Switch;
        uint8_t value = 0;
        std::array<uint8_t, kKeysPerPlug> codes{}; // learned infrared codes, 0 = none
        std::array<bool, kKeysPerPlug> learned{};
        int learningKey = -1;
        uint64_t learnEpoch = 0; // a later learn, or the node leaving, ends an earlier one's timers
    };

    void Seed();
    void SendData(std::span<const uint8_t> p, int64_t now);
    void BasicSet(int node, uint8_t value, int64_t now);
    void StartNodeOperation(uint8_t function, std::span<const uint8_t> p, int64_t now);
    void EndNodeOperation();
    void SetDefault(std::span<const uint8_t> p, int64_t now);
    void PostFrame(int64_t due, uint8_t function, std::span<const uint8_t> parameters, uint8_t type = 0);
    void PostNodeStatus(int64_t due, uint8_t status, uint8_t node);
    void PostReport(int64_t due, int node, uint8_t value);
    int LowestFreeNode() const;
    void Forget(int node);
    bool Answers(int node) const;

    Outbox& m_outbox;
    SmartModuleOptions m_options;
    std::array<Node, kNodeCount> m_nodes{};
    std::vector<uint8_t> m_memory;

    // The running inclusion or exclusion: which, its callback id, whether it reported itself ready
    // and whether a button was pressed since,
    // and an epoch that stop, abort and every new operation advance, so that reports scheduled for
    // an ended operation never go out.
    Operation m_op = Operation::None;
    uint8_t m_opCallback = 0;
    bool m_opReady = false;
    bool m_opPressed = false;
    uint64_t m_opEpoch = 0;
    // The running send data's callback, withdrawn by an abort.
    uint64_t m_sendEpoch = 0;
    int m_frames = 0;
    int m_refused = 0;
};

} // namespace orvex::sim
