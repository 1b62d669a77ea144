#include "model/ParameterStore.h"

#include "model/ByteOrder.h"

#include <algorithm>

namespace orvex {

namespace {

using Lock = std::lock_guard<std::mutex>;

bool SlotInRange(int slot) {
    return slot >= 0 && slot < kParamSlotCount;
}
bool RecordInRange(int record) {
    return record >= 0 && record < kEqRecordCount;
}
bool ChannelInRange(int channel) {
    return channel >= 0 && channel < kOutputChannelCount;
}

std::size_t At(int index) {
    return static_cast<std::size_t>(index);
}

// Copies what fits of `bytes` into `target` at `offset`; returns the count.
std::size_t CopyBounded(std::span<uint8_t> target, std::size_t offset, std::span<const uint8_t> bytes) {
    if (offset >= target.size()) {
        return 0;
    }
    const std::size_t count = std::min(target.size() - offset, bytes.size());
    std::copy_n(bytes.begin(), count, target.begin() + static_cast<std::ptrdiff_t>(offset));
    return count;
}

std::string BoundedText(std::string_view text, std::size_t maxChars) {
    const std::size_t end = std::min(text.find('\0'), text.size());
    return std::string(text.substr(0, std::min(end, maxChars)));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// Band codes used by the start-up tables, as raw record values so no float rounding is involved.
constexpr uint16_t kFlatGainCode = 150; // 0 dB
constexpr uint16_t kDefaultQCode = 1414;
constexpr uint16_t kHalfQCode = 707;
// Echo and reverb paths share their middle bands; band 0 and band 6 differ per path.
constexpr std::array<uint16_t, 4> kEffectMiddleFrequencies = {250, 500, 1000, 2300};

// Mic and music inputs, the only sources whose band 9 is an ordinary band rather than a crossover.
bool IsInputEqIdentity(int id) {
    return id == eqid::MicA || id == eqid::MicB || id == eqid::Music;
}

} // namespace

bool IsAcceptedModuleName(std::string_view name) {
    return EqualsIgnoringCase(name, "Calyxon") || EqualsIgnoringCase(name, "Pemba");
}

bool IsModel(const DeviceIdentity& identity, std::string_view model) {
    return EqualsIgnoringCase(identity.moduleName, model);
}

IdentityCheck CheckIdentity(const DeviceIdentity& identity) {
    if (!IsAcceptedModuleName(identity.moduleName))
        return IdentityCheck::WrongModel;
    if (identity.commandSetVersion != kAcceptedCommandSetVersion)
        return IdentityCheck::WrongVersion;
    return IdentityCheck::Accepted;
}

bool IsAcceptedProcessor(const DeviceIdentity& identity) {
    return CheckIdentity(identity) == IdentityCheck::Accepted;
}

ParameterStore::ParameterStore() = default;

void ParameterStore::ResetToZeroLocked() {
    paramBlock_.fill(0);
    eqBandTable_.fill(0);
    positionGainTable_.fill(0);
    roomRecord_.fill(0);
    room_ = RoomGeometry{};
    bassBoostRecord_.fill(0);
    lastBassBoostLevel_ = 0.0f;
    workingMachineSettings_.fill(0);
    committedMachineSettings_.fill(0);
    identity_ = DeviceIdentity{};
    levelRecord_.fill(0);
    remoteKeyRecord_.fill(0);
    deviceImage_.fill(0);
    deviceMode_ = 0;
    modifiedFlag_ = false;
    modeLabels_.fill(std::string());
}

void ParameterStore::ResetStoreDefaults() {
    Lock lock(mutex_);
    ResetToZeroLocked();

    identity_.moduleName = "Calyxon";
    identity_.mcuVersion = "2012-10-03";
    identity_.dspVersion = "2012-11-30";
    identity_.commandSetVersion = 1;
    modeLabels_ = {"M1", "M2", "M3", "M4"};

    roomRecord_ = kDefaultRoomRecord;
    room_ = UnpackRoomRecord(roomRecord_);

    // Until the processor answers, the volume limits read as 99 so no control is held back. The
    // working copy starts equal: an Apply before any reply must not send maximum volumes of 0.
    for (int i = 3; i <= 6; ++i) {
        committedMachineSettings_[At(i)] = 99;
    }
    workingMachineSettings_ = committedMachineSettings_;

    paramBlock_[At(fields::echoTimeA.slot)] = std::bit_cast<uint32_t>(217.0f);
    paramBlock_[At(fields::echoTimeB.slot)] = std::bit_cast<uint32_t>(217.0f);
    paramBlock_[At(fields::echoStartA.slot)] = 60;
    paramBlock_[At(fields::echoStartB.slot)] = 60;

    auto put = [this](int record, uint16_t freq, uint16_t q = kDefaultQCode, int type = eqtype::Peaking,
                      uint16_t gain = kFlatGainCode) {
        uint8_t* p = eqBandTable_.data() + At(record * kEqBandRecordSize);
        byteorder::WriteBe16(p, gain);
        byteorder::WriteBe16(p + 2, freq);
        byteorder::WriteBe16(p + 4, q);
        p[6] = static_cast<uint8_t>(type);
    };

    for (int id : {eqid::MicA, eqid::MicB, eqid::Music}) {
        const int first = EqPathForIdentity(id).firstRecord;
        for (int b = 0; b < 10; ++b) {
            put(first + b, static_cast<uint16_t>(kOctaveBandHz[At(b)]));
        }
    }
    for (int k = 0; k < kOutputChannelCount; ++k) {
        const int first = OutputChannelFirstRecord(k);
        for (int b = 0; b < kOutputEqBandCount; ++b) {
            put(first + b, static_cast<uint16_t>(kOctaveBandHz[At(std::min(b, kOutputCrossoverBand))]));
        }
        put(first + kOutputSplitHighPassBand, 500, kHalfQCode);
        put(first + kOutputSplitLowPassBand, 1000, kHalfQCode);
    }

    struct EffectPath {
        int id;
        uint16_t band0Freq;
        int band0Type;
        uint16_t band1Freq;
        uint16_t band6Freq;
        int band6Type;
        uint16_t band6Gain;
    };
    constexpr EffectPath kEffectPaths[] = {
        {eqid::EchoA, 61, eqtype::Peaking, 125, 5000, eqtype::LowPass, kFlatGainCode},
        {eqid::EchoB, 200, eqtype::HighPass, 160, 5000, eqtype::HighShelf, 180},   // +3 dB
        {eqid::ReverbA, 120, eqtype::HighPass, 160, 5000, eqtype::HighShelf, 90},  // -6 dB
        {eqid::ReverbB, 100, eqtype::HighPass, 160, 3000, eqtype::HighShelf, 120}, // -3 dB
    };
    for (const EffectPath& path : kEffectPaths) {
        const int first = EqPathForIdentity(path.id).firstRecord;
        // A high-pass band 0 is a filter edge and takes the Butterworth Q; a peaking one the usual Q.
        put(first, path.band0Freq, path.band0Type == eqtype::Peaking ? kDefaultQCode : kHalfQCode, path.band0Type);
        put(first + 1, path.band1Freq);
        for (int b = 0; b < 4; ++b) {
            put(first + 2 + b, kEffectMiddleFrequencies[At(b)]);
        }
        put(first + 6, path.band6Freq, kHalfQCode, path.band6Type, path.band6Gain);
    }
    // Record 178, the music low-frequency filter, stays all zero.
}

// ---- paramBlock ---------------------------------------------------------------------------------------

uint32_t ParameterStore::GetSlotWord(int slot) const {
    if (!SlotInRange(slot)) {
        return 0;
    }
    Lock lock(mutex_);
    return paramBlock_[At(slot)];
}

void ParameterStore::SetSlotWord(int slot, uint32_t word) {
    if (!SlotInRange(slot)) {
        return;
    }
    Lock lock(mutex_);
    paramBlock_[At(slot)] = word;
}

int32_t ParameterStore::GetSlotInt(int slot) const {
    return static_cast<int32_t>(GetSlotWord(slot));
}
void ParameterStore::SetSlotInt(int slot, int32_t value) {
    SetSlotWord(slot, static_cast<uint32_t>(value));
}
float ParameterStore::GetSlotFloat(int slot) const {
    return std::bit_cast<float>(GetSlotWord(slot));
}
void ParameterStore::SetSlotFloat(int slot, float value) {
    SetSlotWord(slot, std::bit_cast<uint32_t>(value));
}

// ---- eqBandTable --------------------------------------------------------------------------------------

EqBandBytes ParameterStore::EqRecordLocked(int record) const {
    EqBandBytes bytes{};
    std::copy_n(eqBandTable_.begin() + record * kEqBandRecordSize, kEqBandRecordSize, bytes.begin());
    return bytes;
}

void ParameterStore::WriteEqRecordLocked(int record, const EqBandBytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), eqBandTable_.begin() + record * kEqBandRecordSize);
}

EqBandBytes ParameterStore::GetEqRecordBytes(int record) const {
    if (!RecordInRange(record)) {
        return {};
    }
    Lock lock(mutex_);
    return EqRecordLocked(record);
}

void ParameterStore::SetEqRecordBytes(int record, const EqBandBytes& bytes) {
    if (!RecordInRange(record)) {
        return;
    }
    Lock lock(mutex_);
    WriteEqRecordLocked(record, bytes);
}

EqBand ParameterStore::GetEqBand(int record) const {
    if (!RecordInRange(record)) {
        return {};
    }
    return UnpackEqBand(GetEqRecordBytes(record));
}

void ParameterStore::SetEqBand(int record, const EqBand& band) {
    SetEqRecordBytes(record, PackEqBand(band));
}

EqBand ParameterStore::GetEqPathBand(int identity, int band) const {
    return GetEqBand(EqIdentityRecord(identity, band));
}

void ParameterStore::SetEqPathBand(int identity, int band, const EqBand& value) {
    SetEqBand(EqIdentityRecord(identity, band), value);
}

void ParameterStore::ClearEqTable() {
    Lock lock(mutex_);
    eqBandTable_.fill(0);
}

bool ParameterStore::CopyEqPath(int source, int destination) {
    const EqPathInfo from = EqPathForIdentity(source);
    const EqPathInfo to = EqPathForIdentity(destination);
    if (from.firstRecord < 0 || to.firstRecord < 0) {
        return false;
    }
    const int count = std::min(from.bandCount, to.bandCount);

    Lock lock(mutex_);
    // Through a copy, so a path copied onto itself stays what it was.
    std::array<EqBandBytes, kOutputEqBandCount> records{};
    for (int b = 0; b < count; ++b) {
        records[At(b)] = EqRecordLocked(from.firstRecord + b);
    }
    for (int b = 0; b < count; ++b) {
        WriteEqRecordLocked(to.firstRecord + b, records[At(b)]);
    }

    if (IsInputEqIdentity(source) && IsOutputEqIdentity(destination)) {
        // An input's band 9 is an ordinary band, so the output's crossover has no sections to follow
        // it: make them flat at the crossover's frequency and Q so they shape nothing.
        EqBandBytes flat = EqRecordLocked(to.firstRecord + kOutputCrossoverBand);
        byteorder::WriteBe16(flat.data(), kFlatGainCode);
        flat[6] = eqtype::Peaking;
        for (int b = kOutputFirstHiddenBand; b <= kOutputLastHiddenBand; ++b) {
            WriteEqRecordLocked(to.firstRecord + b, flat);
        }
    } else if (IsOutputEqIdentity(source) && IsInputEqIdentity(destination)) {
        // An input path cannot run crossover sections; keep the slope's direction with a plain filter.
        const int last = to.firstRecord + count - 1;
        uint8_t& type = eqBandTable_[At(last * kEqBandRecordSize + 6)];
        if (type >= eqtype::FirstSection && type <= eqtype::LastSection) {
            type = (type % 2 == 0) ? eqtype::LowPass : eqtype::HighPass;
        }
    }
    return true;
}

// ---- positionGainTable --------------------------------------------------------------------------------

float ParameterStore::PositionGain(int channel) const {
    if (!ChannelInRange(channel)) {
        return 0.0f;
    }
    Lock lock(mutex_);
    return byteorder::ReadBeFloat(positionGainTable_.data() + At(channel * 4));
}

void ParameterStore::SetPositionGain(int channel, float gainDb) {
    if (!ChannelInRange(channel)) {
        return;
    }
    Lock lock(mutex_);
    byteorder::WriteBeFloat(positionGainTable_.data() + At(channel * 4), gainDb);
}

// ---- roomRecord ---------------------------------------------------------------------------------------

RoomGeometry ParameterStore::Room() const {
    Lock lock(mutex_);
    return room_;
}

void ParameterStore::SetRoom(const RoomGeometry& room) {
    Lock lock(mutex_);
    room_ = room;
}

void ParameterStore::SetRoomSize(int width, int length) {
    Lock lock(mutex_);
    room_.width = width;
    room_.length = length;
}

void ParameterStore::SetRoomListener(RoomPoint listener) {
    Lock lock(mutex_);
    room_.listener = listener;
}

void ParameterStore::SetRoomSpeaker(int index, RoomPoint speaker) {
    if (index < 0 || index >= kRoomSpeakerCount) {
        return;
    }
    Lock lock(mutex_);
    room_.speakers[At(index)] = speaker;
}

RoomRecordBytes ParameterStore::GetRoomRecordBytes() const {
    Lock lock(mutex_);
    return roomRecord_;
}

void ParameterStore::SetRoomRecordBytes(std::span<const uint8_t, kRoomRecordSize> bytes) {
    Lock lock(mutex_);
    std::copy(bytes.begin(), bytes.end(), roomRecord_.begin());
    room_ = UnpackRoomRecord(roomRecord_);
}

RoomRecordBytes ParameterStore::PackRoomFromFloats() {
    Lock lock(mutex_);
    roomRecord_ = PackRoomRecord(room_);
    return roomRecord_;
}

// ---- bassBoostRecord ----------------------------------------------------------------------------------

float ParameterStore::BassBoostLevel() const {
    Lock lock(mutex_);
    const uint32_t top = byteorder::ReadBe16(bassBoostRecord_.data());
    return std::bit_cast<float>(top << 16);
}

void ParameterStore::SetBassBoostLevel(float levelDb) {
    const uint32_t bits = std::bit_cast<uint32_t>(levelDb);
    Lock lock(mutex_);
    byteorder::WriteBe16(bassBoostRecord_.data(), static_cast<uint16_t>(bits >> 16));
}

float ParameterStore::LastBassBoostLevel() const {
    Lock lock(mutex_);
    return lastBassBoostLevel_;
}

void ParameterStore::SetLastBassBoostLevel(float levelDb) {
    Lock lock(mutex_);
    lastBassBoostLevel_ = levelDb;
}

// ---- machineSettingsRecord ----------------------------------------------------------------------------

MachineSettingsRecord ParameterStore::WorkingMachineSettings() const {
    Lock lock(mutex_);
    return workingMachineSettings_;
}

void ParameterStore::SetWorkingMachineSettings(const MachineSettingsRecord& record) {
    Lock lock(mutex_);
    workingMachineSettings_ = record;
}

MachineSettingsRecord ParameterStore::CommittedMachineSettings() const {
    Lock lock(mutex_);
    return committedMachineSettings_;
}

void ParameterStore::SetMachineSettingsFromDevice(std::span<const uint8_t> bytes) {
    Lock lock(mutex_);
    CopyBounded(workingMachineSettings_, 0, bytes);
    CopyBounded(committedMachineSettings_, 0, bytes);
}

MachineSettingsRecord ParameterStore::CommitMachineSettings() {
    Lock lock(mutex_);
    committedMachineSettings_ = workingMachineSettings_;
    return committedMachineSettings_;
}

// ---- deviceIdentity -----------------------------------------------------------------------------------

DeviceIdentity ParameterStore::Identity() const {
    Lock lock(mutex_);
    return identity_;
}

void ParameterStore::SetModuleName(std::string_view name) {
    std::string text = BoundedText(name, kModuleNameMaxChars);
    Lock lock(mutex_);
    identity_.moduleName = std::move(text);
}

void ParameterStore::SetMcuVersion(std::string_view version) {
    std::string text = BoundedText(version, kVersionStringMaxChars);
    Lock lock(mutex_);
    identity_.mcuVersion = std::move(text);
}

void ParameterStore::SetDspVersion(std::string_view version) {
    std::string text = BoundedText(version, kVersionStringMaxChars);
    Lock lock(mutex_);
    identity_.dspVersion = std::move(text);
}

void ParameterStore::SetCommandSetVersion(uint8_t version) {
    Lock lock(mutex_);
    identity_.commandSetVersion = version;
}

bool ParameterStore::IsAcceptedProcessor() const {
    Lock lock(mutex_);
    return orvex::IsAcceptedProcessor(identity_);
}

// ---- levelRecord, remoteKeyRecord ---------------------------------------------------------------------

LevelRecord ParameterStore::GetLevelRecord() const {
    Lock lock(mutex_);
    return levelRecord_;
}

void ParameterStore::SetLevelRecord(std::span<const uint8_t> bytes) {
    Lock lock(mutex_);
    CopyBounded(levelRecord_, 0, bytes);
}

void ParameterStore::ClearLevelRecord() {
    Lock lock(mutex_);
    levelRecord_.fill(0);
}

RemoteKeyRecord ParameterStore::GetRemoteKeyRecord() const {
    Lock lock(mutex_);
    return remoteKeyRecord_;
}

void ParameterStore::SetRemoteKeyRecord(std::span<const uint8_t> bytes) {
    Lock lock(mutex_);
    CopyBounded(remoteKeyRecord_, 0, bytes);
}

void ParameterStore::SetRemoteKeyByte(int index, uint8_t value) {
    if (index < 0 || index >= kRemoteKeyRecordSize) {
        return;
    }
    Lock lock(mutex_);
    remoteKeyRecord_[At(index)] = value;
}

// ---- deviceImage --------------------------------------------------------------------------------------

std::size_t ParameterStore::WriteDeviceImage(std::size_t offset, std::span<const uint8_t> bytes) {
    Lock lock(mutex_);
    return CopyBounded(deviceImage_, offset, bytes);
}

std::vector<uint8_t> ParameterStore::ReadDeviceImage(std::size_t offset, std::size_t count) const {
    Lock lock(mutex_);
    if (offset >= deviceImage_.size()) {
        return {};
    }
    const auto first = deviceImage_.begin() + static_cast<std::ptrdiff_t>(offset);
    return std::vector<uint8_t>(first,
                                first + static_cast<std::ptrdiff_t>(std::min(count, deviceImage_.size() - offset)));
}

std::vector<uint8_t> ParameterStore::ReadDeviceImage() const {
    Lock lock(mutex_);
    return std::vector<uint8_t>(deviceImage_.begin(), deviceImage_.end());
}

// ---- mode state ---------------------------------------------------------------------------------------

int ParameterStore::DeviceMode() const {
    Lock lock(mutex_);
    return deviceMode_;
}

void ParameterStore::SetDeviceMode(int mode) {
    if (mode < 0 || mode >= kDeviceModeCount) {
        return;
    }
    Lock lock(mutex_);
    deviceMode_ = mode;
}

bool ParameterStore::ModifiedFlag() const {
    Lock lock(mutex_);
    return modifiedFlag_;
}

void ParameterStore::SetModifiedFlag(bool modified) {
    Lock lock(mutex_);
    modifiedFlag_ = modified;
}

std::string ParameterStore::ModeLabel(int mode) const {
    if (mode < 0 || mode >= kDeviceModeCount) {
        return {};
    }
    Lock lock(mutex_);
    return modeLabels_[At(mode)];
}

void ParameterStore::SetModeLabel(int mode, std::string_view label) {
    if (mode < 0 || mode >= kDeviceModeCount) {
        return;
    }
    std::string text(label);
    Lock lock(mutex_);
    modeLabels_[At(mode)] = std::move(text);
}

// ---- mode-file blocks ---------------------------------------------------------------------------------

std::span<uint8_t> ParameterStore::BlockBytesLocked(StoreBlock block) {
    switch (block) {
    case StoreBlock::EqBandTable:
        return eqBandTable_;
    case StoreBlock::PositionGainTable:
        return positionGainTable_;
    case StoreBlock::RoomRecord:
        return roomRecord_;
    case StoreBlock::BassBoostRecord:
        return bassBoostRecord_;
    case StoreBlock::ParamBlock: // words, not bytes: handled by the callers
        break;
    }
    return {};
}

std::span<const uint8_t> ParameterStore::BlockBytesLocked(StoreBlock block) const {
    return const_cast<ParameterStore*>(this)->BlockBytesLocked(block);
}

void ParameterStore::ReadBlockLocked(StoreBlock block, std::span<uint8_t> out) const {
    if (block == StoreBlock::ParamBlock) {
        // The mode file keeps each slot little-endian whatever the host's byte order.
        for (int slot = 0; slot < kParamSlotCount; ++slot) {
            byteorder::WriteLe32(out.data() + At(slot * 4), paramBlock_[At(slot)]);
        }
        return;
    }
    const std::span<const uint8_t> bytes = BlockBytesLocked(block);
    std::copy(bytes.begin(), bytes.end(), out.begin());
}

std::vector<uint8_t> ParameterStore::ReadBlock(StoreBlock block) const {
    std::vector<uint8_t> bytes(At(StoreBlockSize(block)));
    if (!bytes.empty()) {
        Lock lock(mutex_);
        ReadBlockLocked(block, bytes);
    }
    return bytes;
}

std::size_t ParameterStore::ReadBlock(StoreBlock block, std::span<uint8_t> out) const {
    const std::vector<uint8_t> bytes = ReadBlock(block);
    const std::size_t count = std::min(bytes.size(), out.size());
    std::copy_n(bytes.begin(), count, out.begin());
    return count;
}

std::size_t ParameterStore::WriteBlock(StoreBlock block, std::span<const uint8_t> bytes) {
    return WriteBlockAt(block, 0, bytes);
}

std::size_t ParameterStore::WriteBlockAt(StoreBlock block, std::size_t offset, std::span<const uint8_t> bytes) {
    Lock lock(mutex_);
    if (block == StoreBlock::ParamBlock) {
        std::array<uint8_t, kParamBlockBytes> image{};
        ReadBlockLocked(block, image);
        const std::size_t count = CopyBounded(image, offset, bytes);
        for (int slot = 0; slot < kParamSlotCount; ++slot) {
            paramBlock_[At(slot)] = byteorder::ReadLe32(image.data() + At(slot * 4));
        }
        return count;
    }
    const std::size_t count = CopyBounded(BlockBytesLocked(block), offset, bytes);
    if (block == StoreBlock::RoomRecord && count > 0) {
        room_ = UnpackRoomRecord(roomRecord_);
    }
    return count;
}

} // namespace orvex
