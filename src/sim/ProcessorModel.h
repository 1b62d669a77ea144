#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "model/DeviceImageLayout.h"
#include "sim/DeviceImageRecords.h"
#include "sim/SmartModule.h"

namespace orvex::sim {

struct ProcessorOptions {
    std::string moduleName = "Calyxon";
    uint8_t commandSetVersion = 18;
    std::string mcuVersion = "2019-04-02";
    std::string dspVersion = "2019-04-16";
    // A processor without the smart-home module answers no Z-Wave frame and has no plug memory.
    bool smartModule = true;
    // Nothing playing: every input level reads 0 (the input format is still reported).
    bool noProgramme = false;
    SmartModuleOptions smart;
    // The model's clock in milliseconds, for the reports that come later (steady time by default;
    // tests hand in a clock of their own).
    std::function<int64_t()> clock;
};

// A model of the audio processor as the editor relies on it: identity, current mode, the
// 3299-byte parameter memory with its four mode memories, machine settings, the remote key table
// and its learning, moving live levels and the smart-home module (SmartModule). It answers every
// processor message with at least one reply; Z-Wave frames are answered by the module as it sees
// fit. What happens later by itself (module reports, a learned key) waits in an outbox that the
// transports empty with TakeDueMessages. Thread-safe; transports call it from their own threads.
class ProcessorModel {
public:
    explicit ProcessorModel(ProcessorOptions options = {});

    // Handles one message body (without the carrier prefix) and returns the replies, each
    // starting with its reply code.
    std::vector<Message> HandleMessage(std::span<const uint8_t> body);
    // A Z-Wave Serial API frame for the smart-home module (TCP prefix 0x80, or the frame inside a
    // USB message 12). The replies are messages 12: the module's acknowledge, then its answer.
    std::vector<Message> HandleZWaveFrame(std::span<const uint8_t> frame);

    // Messages the processor sends on its own that are due now (module reports, learned remote
    // keys), in order. The transports collect them every few milliseconds.
    std::vector<Message> TakeDueMessages();

    // The world around the processor, for tests and the demonstration options.
    // A plug's button (node 0: a plug outside the network). False when nothing waited for it.
    bool PressPlugButton(int node = 0, PlugKind kind = PlugKind::Switch);
    // A key of a remote control: learned by the processor when it is learning one of its functions,
    // and by every infrared plug that is learning. False when nobody was learning.
    bool PressRemoteKey(uint8_t code, bool garbled = false);
    // A plug reports a value of its own.
    bool ReportNodeValue(int node, uint8_t value);
    void SetNodeDead(int node, bool dead);
    void SetNodeOperationsFail(bool fail);
    bool HasSmartModule() const;
    // The function of the processor's remote being learned (1..17), 0 when none.
    int RemoteLearningFunction() const;
    // The smart module's state (a processor without one reports nothing present).
    bool SmartNodePresent(int node) const;
    uint8_t SmartNodeValue(int node) const;
    bool PlugKeyLearned(int node, int key) const;
    SmartModule::Operation SmartOperation() const;

    // A change made on the processor itself (its front panel or remote): the parameter record
    // takes the words, and the returned message 09 is what the processor sends on its own.
    Message FrontPanelChange(uint8_t cmd, uint8_t sub, std::span<const uint32_t> words);

    // Inspection and set-up for tests and tools.
    std::array<uint8_t, static_cast<size_t>(kDeviceImageSize)> Memory() const;
    void WriteMemory(size_t offset, std::span<const uint8_t> bytes);
    // The words of the record that holds cmd/sub (empty when the layout has no room for it).
    std::vector<uint32_t> RecordWords(uint8_t cmd, uint8_t sub) const;
    void SetRecordWords(uint8_t cmd, uint8_t sub, std::span<const uint32_t> words);

    int CurrentMode() const;
    // The parameter memory saved in mode memory m (0..3).
    std::array<uint8_t, static_cast<size_t>(kDeviceImageSize)> ModeMemory(int mode) const;
    // Smart-home module: nodes present (1 is the controller), and its plug and scene memory.
    void SetZWaveNodePresent(int node, bool present);
    std::vector<uint8_t> SmartMemory() const;
    int ZWaveFramesHandled() const;
    void SetModuleName(std::string name);
    void SetCommandSetVersion(uint8_t version);
    std::array<uint8_t, 14> MachineSettings() const;
    void SetMachineSettings(const std::array<uint8_t, 14>& settings);
    std::array<uint8_t, 18> RemoteKeys() const;
    uint64_t MessagesHandled() const;

private:
    void InitialiseMemory();
    void ApplyParameterWrite(std::span<const uint8_t> body);
    Message ReadParameter(std::span<const uint8_t> body) const;
    Message MemoryRead(std::span<const uint8_t> body) const;
    Message Levels();
    static Message IdentityString(uint8_t code, const std::string& text);
    std::vector<Message> HandleZWaveLocked(std::span<const uint8_t> frame);
    int64_t Now() const;
    void StartRemoteLearning(uint8_t function);
    bool RemoteKeyLocked(uint8_t code, bool garbled, int64_t now);

    mutable std::mutex m_mutex;
    ProcessorOptions m_options;
    std::array<uint8_t, static_cast<size_t>(kDeviceImageSize)> m_memory{};
    std::array<uint8_t, 14> m_machineSettings{};
    std::array<uint8_t, 18> m_remoteKeys{};
    int m_mode = 0;
    std::array<uint8_t, static_cast<size_t>(kDeviceImageSize)> m_factoryMemory{};
    std::array<std::array<uint8_t, static_cast<size_t>(kDeviceImageSize)>, 4> m_modeMemories{};
    Outbox m_outbox;
    std::unique_ptr<SmartModule> m_smart; // null without the module
    int m_zwaveFrames = 0;
    int m_remoteLearning = 0;        // function being learned, 0 none
    uint64_t m_remoteLearnEpoch = 0; // a stop or a new request voids the demonstration press of an earlier one
    // Parameters the memory layout has no record for (output 8's delay mode and position set, the
    // coefficients): the processor still holds them, so a parameter read returns what was written.
    std::map<uint16_t, std::vector<uint32_t>> m_unmappedParams;
    uint64_t m_messages = 0;
    uint32_t m_levelPhase = 0;
};

} // namespace orvex::sim
