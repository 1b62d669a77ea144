#pragma once

#include <array>
#include <map>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "model/DeviceImageLayout.h"

namespace orvex::sim {

struct ProcessorOptions {
    std::string moduleName = "Calyxon";
    uint8_t commandSetVersion = 18;
    std::string mcuVersion = "2019-04-02";
    std::string dspVersion = "2019-04-16";
};

using Message = std::vector<uint8_t>;

// A model of the audio processor as the editor relies on it: identity, current mode, the
// 3299-byte parameter memory, machine settings, the remote key table and moving live levels.
// It answers every message with at least one reply. Thread-safe; transports call it from
// their own threads.
class ProcessorModel {
public:
    explicit ProcessorModel(ProcessorOptions options = {});

    // Handles one message body (without the carrier prefix) and returns the replies, each
    // starting with its reply code.
    std::vector<Message> HandleMessage(std::span<const uint8_t> body);

    // Inspection and set-up for tests and tools.
    std::array<uint8_t, static_cast<size_t>(kDeviceImageSize)> Memory() const;
    void WriteMemory(size_t offset, std::span<const uint8_t> bytes);
    // The words of the record that holds cmd/sub (empty when the layout has no room for it).
    std::vector<uint32_t> RecordWords(uint8_t cmd, uint8_t sub) const;
    void SetRecordWords(uint8_t cmd, uint8_t sub, std::span<const uint32_t> words);

    int CurrentMode() const;
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

    mutable std::mutex m_mutex;
    ProcessorOptions m_options;
    std::array<uint8_t, static_cast<size_t>(kDeviceImageSize)> m_memory{};
    std::array<uint8_t, 14> m_machineSettings{};
    std::array<uint8_t, 18> m_remoteKeys{};
    int m_mode = 0;
    // Parameters the memory layout has no record for (output 8's delay mode and position set, the
    // coefficients): the processor still holds them, so a parameter read returns what was written.
    std::map<uint16_t, std::vector<uint32_t>> m_unmappedParams;
    uint64_t m_messages = 0;
    uint32_t m_levelPhase = 0;
};

} // namespace orvex::sim
