#pragma once

#include "model/DeviceImageLayout.h"
#include "model/EqBandRecord.h"
#include "model/EqPaths.h"
#include "model/RoomRecord.h"
#include "model/StoreFields.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace orvex {

// The five blocks a mode file dumps, numbered in file order. The first is little-endian slot words;
// the others keep the processor's big-endian byte layout.
enum class StoreBlock : int {
    ParamBlock = 1,        // 228 slots, 912 bytes
    EqBandTable = 2,       // 179 band records, 1253 bytes
    PositionGainTable = 3, // 8 big-endian floats, 32 bytes
    RoomRecord = 4,        // 20 bytes
    BassBoostRecord = 5,   // 2 bytes
};

inline constexpr int kPositionGainTableBytes = 32;
inline constexpr int kBassBoostRecordBytes = 2;
inline constexpr std::array<StoreBlock, 5> kModeFileBlocks = {StoreBlock::ParamBlock, StoreBlock::EqBandTable,
                                                              StoreBlock::PositionGainTable, StoreBlock::RoomRecord,
                                                              StoreBlock::BassBoostRecord};
// Each block's position in kModeFileBlocks.
inline constexpr std::size_t kParamBlock = 0;
inline constexpr std::size_t kEqBlock = 1;
inline constexpr std::size_t kPositionBlock = 2;
inline constexpr std::size_t kRoomBlock = 3;
inline constexpr std::size_t kBassBoostBlock = 4;
static_assert(kModeFileBlocks[kParamBlock] == StoreBlock::ParamBlock &&
              kModeFileBlocks[kEqBlock] == StoreBlock::EqBandTable &&
              kModeFileBlocks[kPositionBlock] == StoreBlock::PositionGainTable &&
              kModeFileBlocks[kRoomBlock] == StoreBlock::RoomRecord &&
              kModeFileBlocks[kBassBoostBlock] == StoreBlock::BassBoostRecord);

// Size in bytes of a block; 0 for a number that names no block.
constexpr int StoreBlockSize(StoreBlock block) {
    switch (block) {
    case StoreBlock::ParamBlock:
        return kParamBlockBytes;
    case StoreBlock::EqBandTable:
        return kEqBandTableBytes;
    case StoreBlock::PositionGainTable:
        return kPositionGainTableBytes;
    case StoreBlock::RoomRecord:
        return kRoomRecordSize;
    case StoreBlock::BassBoostRecord:
        return kBassBoostRecordBytes;
    }
    return 0;
}

inline constexpr int kMachineSettingsSize = 14;
// The bytes of the machine settings that cap the mic and the music master volumes.
inline constexpr size_t kMaxMicVolumeByte = 5;
inline constexpr size_t kMaxMusicVolumeByte = 6;
inline constexpr int kLevelRecordSize = 16;
inline constexpr int kRemoteKeyRecordSize = 18;
// kDeviceImageSize comes from model/DeviceImageLayout.h.
inline constexpr int kDeviceModeCount = 4;
inline constexpr int kModuleNameMaxChars = 29;
inline constexpr int kVersionStringMaxChars = 10;
inline constexpr uint8_t kAcceptedCommandSetVersion = 18;

using MachineSettingsRecord = std::array<uint8_t, kMachineSettingsSize>;
using LevelRecord = std::array<uint8_t, kLevelRecordSize>;
using RemoteKeyRecord = std::array<uint8_t, kRemoteKeyRecordSize>;

// What the processor says it is. The strings hold 8-bit characters as the processor sends them.
struct DeviceIdentity {
    std::string moduleName;
    std::string mcuVersion;
    std::string dspVersion;
    uint8_t commandSetVersion = 1;
};

// "Calyxon" or "Pemba", letter case ignored.
bool IsAcceptedModuleName(std::string_view name);
// The processor reports itself as model `model`, letter case ignored.
bool IsModel(const DeviceIdentity& identity, std::string_view model);
// The one rule for whether the editor works with a processor: the model is looked at first, then the
// command set. Read-all, the editor's identity check and orvexctl all ask this.
enum class IdentityCheck { Accepted, WrongModel, WrongVersion };
IdentityCheck CheckIdentity(const DeviceIdentity& identity);
// CheckIdentity accepts it: an accepted module name that speaks command set 18.
bool IsAcceptedProcessor(const DeviceIdentity& identity);

// The editor's image of everything the processor holds.
//
// One instance lives for the whole run. It is written by the user-interface thread and by the link's
// reader thread, so every accessor takes the store's mutex for the few instructions it needs and
// returns copies, never references into the store. No caller can hold the lock, so it is never held
// while a message is sent.
//
// A new store is all zeros (command-set version 1, empty strings); the editor calls
// ResetStoreDefaults once when it starts.
//
// Out-of-range slots, indices, records and offsets are ignored by setters and read as zero, so a
// malformed reply can never write outside its table.
class ParameterStore {
public:
    ParameterStore();
    ParameterStore(const ParameterStore&) = delete;
    ParameterStore& operator=(const ParameterStore&) = delete;

    // Start-up values: identity strings, mode labels, the default room, the committed machine settings,
    // the echo defaults and every equaliser path's default bands. Everything else becomes zero.
    void ResetStoreDefaults();

    // ---- paramBlock by name -------------------------------------------------------------------------
    // store.Get(fields::echoLevelA), store.Set(fields::echoTimeA, 217.0f), store.Get(fields::outDelayMs, k)

    template <class T>
    T Get(SlotField<T, 1> field) const {
        return FromWord<T>(GetSlotWord(field.slot));
    }

    template <class T, int N>
    requires(N > 1) T Get(SlotField<T, N> field, int index)
    const {
        if (index < 0 || index >= N) {
            return T{};
        }
        return FromWord<T>(GetSlotWord(field.slot + index));
    }

    template <class T>
    void Set(SlotField<T, 1> field, std::type_identity_t<T> value) {
        SetSlotWord(field.slot, ToWord(value));
    }

    template <class T, int N>
    requires(N > 1) void Set(SlotField<T, N> field, int index, std::type_identity_t<T> value) {
        if (index < 0 || index >= N) {
            return;
        }
        SetSlotWord(field.slot + index, ToWord(value));
    }

    // ---- paramBlock by slot (0..227) ---------------------------------------------------------------
    uint32_t GetSlotWord(int slot) const;
    void SetSlotWord(int slot, uint32_t word);
    int32_t GetSlotInt(int slot) const;
    void SetSlotInt(int slot, int32_t value);
    float GetSlotFloat(int slot) const;
    void SetSlotFloat(int slot, float value);

    // ---- eqBandTable -------------------------------------------------------------------------------
    // By record index 0..178.
    EqBand GetEqBand(int record) const;
    void SetEqBand(int record, const EqBand& band);
    EqBandBytes GetEqRecordBytes(int record) const;
    void SetEqRecordBytes(int record, const EqBandBytes& bytes);
    // By EQ identity 0..14 and band (an output's bands 13 and 14 are its split pair).
    EqBand GetEqPathBand(int identity, int band) const;
    void SetEqPathBand(int identity, int band, const EqBand& value);
    // The processor's "band table erased" answer: all 1253 bytes zero.
    void ClearEqTable();
    // Copies min(source bands, destination bands) records from one EQ identity to another, then fixes
    // up the crossover sections that make no sense on the other side:
    //  - mic or music onto an output: the output's hidden sections (bands 10..12) become flat peaking
    //    bands at the frequency and Q of its crossover band 9;
    //  - output onto mic or music: a crossover section in the last copied band becomes a plain
    //    low-pass (even code) or high-pass (odd code).
    // Returns false and changes nothing when either identity lies outside 0..14. The caller then sends
    // every band of the destination.
    bool CopyEqPath(int source, int destination);

    // ---- positionGainTable -------------------------------------------------------------------------
    float PositionGain(int channel) const;
    void SetPositionGain(int channel, float gainDb);

    // ---- roomRecord --------------------------------------------------------------------------------
    // The unpacked geometry the room page edits. Editing it leaves the record bytes alone until
    // PackRoomFromFloats, which the room send and write-all call first.
    RoomGeometry Room() const;
    void SetRoom(const RoomGeometry& room);
    void SetRoomSize(int width, int length);
    void SetRoomListener(RoomPoint listener);
    void SetRoomSpeaker(int index, RoomPoint speaker);
    RoomRecordBytes GetRoomRecordBytes() const;
    // Loads the record and recomputes the geometry from it.
    void SetRoomRecordBytes(std::span<const uint8_t, kRoomRecordSize> bytes);
    // Packs the geometry into the record and returns the new record bytes.
    RoomRecordBytes PackRoomFromFloats();

    // ---- bassBoostRecord ---------------------------------------------------------------------------
    // The record keeps only the top 16 bits of the level's float; the level read back has the low 16
    // bits zero.
    float BassBoostLevel() const;
    void SetBassBoostLevel(float levelDb);
    // The level last sent, which decides the order of the next change's messages. Not in the mode file.
    float LastBassBoostLevel() const;
    void SetLastBassBoostLevel(float levelDb);

    // ---- machineSettingsRecord ---------------------------------------------------------------------
    MachineSettingsRecord WorkingMachineSettings() const;
    void SetWorkingMachineSettings(const MachineSettingsRecord& record);
    MachineSettingsRecord CommittedMachineSettings() const;
    // The processor's settings reply: both copies take the bytes (a short reply fills a prefix).
    void SetMachineSettingsFromDevice(std::span<const uint8_t> bytes);
    // Apply: the working copy becomes the committed copy; returns the bytes to send.
    MachineSettingsRecord CommitMachineSettings();

    // ---- deviceIdentity ----------------------------------------------------------------------------
    DeviceIdentity Identity() const;
    // Each keeps the text up to the first zero byte and at most 29 (module) or 10 (versions) characters.
    void SetModuleName(std::string_view name);
    void SetMcuVersion(std::string_view version);
    void SetDspVersion(std::string_view version);
    void SetCommandSetVersion(uint8_t version);
    bool IsAcceptedProcessor() const;

    // ---- levelRecord -------------------------------------------------------------------------------
    LevelRecord GetLevelRecord() const;
    // Copies up to 16 bytes from the start of the record.
    void SetLevelRecord(std::span<const uint8_t> bytes);
    void ClearLevelRecord();

    // ---- remoteKeyRecord ---------------------------------------------------------------------------
    RemoteKeyRecord GetRemoteKeyRecord() const;
    // Copies up to 18 bytes from the start of the record; bytes beyond the input keep their value
    // (the table reply carries only the first 16).
    void SetRemoteKeyRecord(std::span<const uint8_t> bytes);
    void SetRemoteKeyByte(int index, uint8_t value);

    // ---- deviceImage -------------------------------------------------------------------------------
    // Copies what fits inside the 3299 bytes and returns the number of bytes copied.
    std::size_t WriteDeviceImage(std::size_t offset, std::span<const uint8_t> bytes);
    std::vector<uint8_t> ReadDeviceImage(std::size_t offset, std::size_t count) const;
    std::vector<uint8_t> ReadDeviceImage() const;

    // ---- mode state --------------------------------------------------------------------------------
    int DeviceMode() const;
    // 0..3 for M1..M4; other values are ignored.
    void SetDeviceMode(int mode);
    bool ModifiedFlag() const;
    void SetModifiedFlag(bool modified);
    std::string ModeLabel(int mode) const;
    void SetModeLabel(int mode, std::string_view label);

    // ---- mode-file blocks --------------------------------------------------------------------------
    std::vector<uint8_t> ReadBlock(StoreBlock block) const;
    // Copies min(block size, out size) bytes; returns the count.
    std::size_t ReadBlock(StoreBlock block, std::span<uint8_t> out) const;
    // Writes the bytes from the start of the block; a shorter input (an older mode file) leaves the rest
    // of the block as it was. Loading the room block recomputes the geometry. Returns the count written.
    std::size_t WriteBlock(StoreBlock block, std::span<const uint8_t> bytes);
    // The same at a byte offset inside the block (memory replies), bounded to the block.
    std::size_t WriteBlockAt(StoreBlock block, std::size_t offset, std::span<const uint8_t> bytes);

private:
    template <class T>
    static T FromWord(uint32_t word) {
        if constexpr (std::is_same_v<T, float>) {
            return std::bit_cast<float>(word);
        } else {
            return static_cast<T>(word);
        }
    }
    static uint32_t ToWord(float value) { return std::bit_cast<uint32_t>(value); }
    static uint32_t ToWord(int32_t value) { return static_cast<uint32_t>(value); }

    // Callers hold mutex_.
    void ResetToZeroLocked();
    std::span<uint8_t> BlockBytesLocked(StoreBlock block);
    std::span<const uint8_t> BlockBytesLocked(StoreBlock block) const;
    void ReadBlockLocked(StoreBlock block, std::span<uint8_t> out) const;
    void WriteEqRecordLocked(int record, const EqBandBytes& bytes);
    EqBandBytes EqRecordLocked(int record) const;

    mutable std::mutex mutex_;

    std::array<uint32_t, kParamSlotCount> paramBlock_{};
    std::array<uint8_t, kEqBandTableBytes> eqBandTable_{};
    std::array<uint8_t, kPositionGainTableBytes> positionGainTable_{};
    RoomRecordBytes roomRecord_{};
    RoomGeometry room_{};
    std::array<uint8_t, kBassBoostRecordBytes> bassBoostRecord_{};
    float lastBassBoostLevel_ = 0.0f;
    MachineSettingsRecord workingMachineSettings_{};
    MachineSettingsRecord committedMachineSettings_{};
    DeviceIdentity identity_{};
    LevelRecord levelRecord_{};
    RemoteKeyRecord remoteKeyRecord_{};
    std::array<uint8_t, kDeviceImageSize> deviceImage_{};
    int deviceMode_ = 0;
    bool modifiedFlag_ = false;
    std::array<std::string, kDeviceModeCount> modeLabels_{};
};

} // namespace orvex
