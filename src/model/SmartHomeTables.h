#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// The smart-home module's tables as the editor keeps them. The module's own memory holds the plug
// records at address node x 28 (nodes 0..232, so they end at 6524) and the six scenes right after
// them (6524..6859); the node table is built from the module's node bit map.
inline constexpr int kZWaveNodeCount = 233; // node ids 0..232
inline constexpr int kZWaveControllerNode = 1;
// Plugs are nodes 2..232: node 1 is the controller itself.
inline constexpr int kFirstPlugNode = 2;
inline constexpr int kLastPlugNode = kZWaveNodeCount - 1;
inline constexpr bool IsPlugNode(int node) {
    return node >= kFirstPlugNode && node <= kLastPlugNode;
}
inline constexpr int kPlugRecordSize = 28;
inline constexpr int kPlugNameChars = 12; // UTF-16LE at offset 4, no terminator when full
inline constexpr int kPlugTableBytes = kZWaveNodeCount * kPlugRecordSize; // 6524
inline constexpr int kSceneCount = 6;
inline constexpr int kSceneCommandCount = 28;
inline constexpr int kSceneRecordSize = kSceneCommandCount * 2;                     // 56
inline constexpr int kSceneTableBytes = kSceneCount * kSceneRecordSize;             // 336
inline constexpr uint32_t kSceneMemoryAddress = kPlugTableBytes;                    // 6524
inline constexpr uint32_t kSmartMemoryEnd = kSceneMemoryAddress + kSceneTableBytes; // 6860

inline constexpr uint8_t kPlugTypeSwitch = 1;
inline constexpr uint8_t kPlugTypeDimmer = 2;

using PlugRecord = std::array<uint8_t, kPlugRecordSize>;
using SceneRecord = std::array<uint8_t, kSceneRecordSize>;

// A plug record from a type and a name; the name keeps at most 12 UTF-16 units.
PlugRecord MakePlugRecord(uint8_t type, std::u16string_view name);
// The name of a plug record, up to its first zero unit.
std::u16string PlugRecordName(const PlugRecord& record);

// Where a smart-home memory reply landed.
enum class SmartMemoryTarget { Plugs, Scenes, OutOfRange };

// Thread-safe like the store: the reader thread writes replies, the user-interface and scene-run threads
// read and edit. Every accessor takes the mutex briefly and returns copies. Indices outside their table
// are ignored by writers and read as zero.
class SmartHomeTables {
public:
    SmartHomeTables() = default;
    SmartHomeTables(const SmartHomeTables&) = delete;
    SmartHomeTables& operator=(const SmartHomeTables&) = delete;

    // ---- node table: byte 0 the node id when present, byte 1 the last value --------------------------
    bool NodePresent(int node) const;
    void SetNodePresent(int node, bool present);
    uint8_t NodeValue(int node) const;
    void SetNodeValue(int node, uint8_t value);
    void ClearNodes();
    std::vector<int> PresentNodes() const;

    // ---- plug records ----------------------------------------------------------------------------
    PlugRecord Plug(int node) const;
    void SetPlug(int node, const PlugRecord& record);
    PlugRecord PendingPlug() const;
    void SetPendingPlug(const PlugRecord& record);
    // The add-node event: the node becomes present and takes the pending record. False for a node
    // outside 0..232.
    bool AdoptPendingPlug(int node);

    // ---- scenes ----------------------------------------------------------------------------------
    SceneRecord Scene(int scene) const;
    void SetScene(int scene, const SceneRecord& record);
    void ClearScenes();
    // Every scene without its commands for `target`; the remaining commands close up in their order.
    // Returns how many commands went.
    int RemoveSceneTarget(uint8_t target);
    // How many commands of all six scenes are for `target`.
    int SceneCommandsFor(uint8_t target) const;

    // ---- confirmation of one plug value -----------------------------------------------------------
    // A value sent to `node` with send-data callback id `callback` counts as done when the module
    // reports that callback with status 1 (no acknowledgement), or with status 0 when `delivered` says
    // delivery is enough (a remote key waits for the plug's own report), or when `node` itself sends a
    // command. Reports for other callbacks or other nodes say nothing about it.
    void ExpectConfirmation(int node, uint8_t callback, bool delivered);
    bool Confirmed() const;
    void NoteSendDataCallback(uint8_t callback, uint8_t status);
    void NoteNodeReport(int node);

    // A smart-home memory reply: an address up to 6523 fills the plug record containing it from its
    // start, 6524..6859 the scene containing it from its start. The copy stops at the end of its table.
    // Returns where it went and the number of bytes copied.
    SmartMemoryTarget WriteMemory(uint32_t address, std::span<const uint8_t> bytes, size_t* copied = nullptr);

    void Clear();

    // Marks the link sets and the smart-home sequences wait for. Single indivisible values, no lock.
    std::atomic<int32_t> nodeListReceived{0}; // the module's node bit map arrived
    std::atomic<int32_t> operationDone{0};    // a send-data, set-default or node command completed
    std::atomic<int32_t> valueSeen{0};        // a node reported a value or did not acknowledge
    std::atomic<int32_t> tablesRead{0};       // the plug and scene tables were read since connecting;
                                              // cleared whenever a link opens or closes
    std::atomic<int32_t> setDefaultDone{0};   // the module confirmed the set-default (reset)
    std::atomic<int32_t> addInProgress{0};    // the operation flag: 1 while a plug is being added
                                              // (exclusion, then inclusion), 0 for a plain removal

private:
    mutable std::mutex m_mutex;
    std::array<std::array<uint8_t, 2>, kZWaveNodeCount> m_nodes{};
    std::array<uint8_t, kPlugTableBytes> m_plugs{};
    std::array<uint8_t, kSceneTableBytes> m_scenes{};
    PlugRecord m_pending{};
    int m_expectNode = -1; // -1: nothing awaited
    uint8_t m_expectCallback = 0;
    bool m_deliveryConfirms = false;
    bool m_confirmed = false;
};

// A scene record without the commands for `target`, the others closed up in their order and the
// slots after them empty.
SceneRecord WithoutSceneTarget(const SceneRecord& record, uint8_t target, int* removed = nullptr);

} // namespace orvex
