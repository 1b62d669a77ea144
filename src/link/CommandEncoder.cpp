#include "link/CommandEncoder.h"

#include "link/Bytes.h"
#include "link/DebugSink.h"
#include "model/CoefficientEncoding.h"
#include "model/DeviceImageLayout.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orvex {

namespace {

constexpr size_t kMaxParamWords = 14; // 5 + 4 x 14 = 61 bytes: more than any command carries
constexpr int kMicCount = 4;
constexpr int kSpeakerLocateNone = 8;

// Music unmute: ten steps i / 10 for i = 0..8, then full level, 30 ms apart.
constexpr int kFadeSteps = 9;
constexpr std::chrono::milliseconds kFadeStepPause{30};

bool IsFloatSlot(int slot) {
    const StoreField* field = FindStoreFieldBySlot(slot);
    return field != nullptr && field->type == FieldType::Float;
}

bool IsFiniteFloatWord(uint32_t word) {
    return std::isfinite(BitsFloat(word));
}

// Float-valued encodings whose word could carry a NaN taken from the store.
bool CarriesStoreFloat(WireEncoding wire) {
    return wire == WireEncoding::Float || wire == WireEncoding::FloatPercent;
}

} // namespace

CommandEncoder::CommandEncoder(ParameterStore& store, DeviceSender& sender) : m_store(store), m_sender(sender) {}

void CommandEncoder::SetBandSplitResender(std::function<void(int)> resender) {
    std::lock_guard lock(m_hookMutex);
    m_bandSplitResender = std::move(resender);
}

// ---- parameter setters -----------------------------------------------------------------------------------

void CommandEncoder::SetSlotWord(int slot, uint32_t word) {
    if (slot == fields::micBassBoostOnCopy.slot)
        slot = fields::micBassBoostOn.slot; // the copy is the setter's own business, below
    int element = 0;
    const ParamCommand* row = FindParamCommandBySlot(slot, &element);
    if (row == nullptr)
        return; // reserved slots carry no parameter
    if (IsFloatSlot(slot) && !IsFiniteFloatWord(word)) {
        DebugPrintf("Refused a non-finite value for %.*s\n", static_cast<int>(row->field.size()), row->field.data());
        return;
    }

    switch (row->wire) {
    case WireEncoding::Route: {
        // Either route decides the pair: a non-zero A route (or a zero B route) puts the mic on A.
        const bool isA = row->slot == fields::micToA.slot;
        const bool nonZero = word != 0;
        SetMicRoute(element, isA ? nonZero : !nonZero);
        return;
    }
    case WireEncoding::FrequencyShift:
        SetFrequencyShift(row->slot == fields::shiftFreqA.slot ? 0 : 1, static_cast<int32_t>(word));
        return;
    case WireEncoding::Samples: {
        // Echo and reverb times below 2 ms, output delays below 1.5 ms are stored as that minimum.
        const float ms = std::max(BitsFloat(word), row->minimum);
        m_store.SetSlotFloat(slot, ms);
        break;
    }
    case WireEncoding::NotByte:
        // The bass boost switch keeps a copy in slot 208 beside its own.
        m_store.SetSlotWord(slot, word);
        m_store.SetSlotWord(fields::micBassBoostOnCopy.slot, word);
        break;
    default:
        m_store.SetSlotWord(slot, word);
        break;
    }
    SendSlot(slot);
}

void CommandEncoder::SendSlot(int slot) {
    if (slot == fields::micBassBoostOnCopy.slot)
        slot = fields::micBassBoostOn.slot;
    int element = 0;
    const ParamCommand* row = FindParamCommandBySlot(slot, &element);
    if (row == nullptr)
        return;
    switch (row->wire) {
    case WireEncoding::FrequencyShift:
        SendFrequencyShift(row->slot == fields::shiftFreqA.slot ? 0 : 1);
        return;
    case WireEncoding::Route:
        SendMicRoute(element);
        return;
    case WireEncoding::FadedMute:
        SendMusicMute();
        return;
    case WireEncoding::Compressor:
        SendCompressor(*row, element);
        return;
    case WireEncoding::DelayMode:
        SendDelayMode(element);
        return;
    default:
        SendRow(*row, element);
        return;
    }
}

void CommandEncoder::SendRow(const ParamCommand& row, int element) {
    const uint32_t word = EncodeSlotWord(row.wire, m_store.GetSlotWord(RowSlot(row, element)), row.minimum);
    if (CarriesStoreFloat(row.wire) && !IsFiniteFloatWord(word)) {
        DebugPrintf("Not sent: non-finite %.*s\n", static_cast<int>(row.field.size()), row.field.data());
        return;
    }
    std::array<uint32_t, kMaxParamWords> words{};
    std::fill_n(words.begin(), row.words, word);
    const std::span<const uint32_t> body(words.data(), row.words);
    SendParamWords(RowCmd(row, element), RowSub(row, element), body);
    if (row.alsoSub != 0)
        SendParamWords(RowCmd(row, element), row.alsoSub, body);
}

void CommandEncoder::SetFrequencyShift(int channel, int32_t hz) {
    if (channel != 0 && channel != 1)
        return;
    // Below 1 Hz there is no period to compute (1000 / 4f); it can only mean "off".
    const int32_t f = hz < 1 ? 1 : hz;
    m_store.SetSlotInt(channel == 0 ? fields::shiftFreqA.slot : fields::shiftFreqB.slot, f);
    SendFrequencyShift(channel);
}

void CommandEncoder::SendFrequencyShift(int channel) {
    const auto freq = channel == 0 ? fields::shiftFreqA : fields::shiftFreqB;
    const auto off = channel == 0 ? fields::shiftOffA : fields::shiftOffB;
    const uint8_t base = channel == 0 ? 31 : 54; // angle, period, off switch
    const int32_t f = m_store.Get(freq);
    if (f <= 1) {
        m_store.Set(off, 1);
        SendParamByte(kCmdMic, static_cast<uint8_t>(base + 2), 1);
        return;
    }
    m_store.Set(off, 0);
    SendParamByte(kCmdMic, static_cast<uint8_t>(base + 2), 0);
    const uint32_t angle = ShiftAngleWord(f);
    const uint32_t period = ShiftPeriodWord(f);
    SendParamWords(kCmdMic, base, std::span(&angle, 1));
    SendParamWords(kCmdMic, static_cast<uint8_t>(base + 1), std::span(&period, 1));
}

void CommandEncoder::SetMicRoute(int mic, bool toChannelA) {
    if (mic < 0 || mic >= kMicCount)
        return;
    m_store.Set(fields::micToA, mic, toChannelA ? 100 : 0);
    m_store.Set(fields::micToB, mic, toChannelA ? 0 : 100);
    SendMicRoute(mic);
}

void CommandEncoder::SendMicRoute(int mic) {
    for (const auto field : {fields::micToA, fields::micToB}) {
        int element = 0;
        const ParamCommand* row = FindParamCommandBySlot(field.slot + mic, &element);
        if (row != nullptr)
            SendRow(*row, element);
    }
}

void CommandEncoder::SetMusicMute(bool muted) {
    Set(fields::musicMute, muted ? 1 : 0);
}

void CommandEncoder::SendMusicMute() {
    constexpr uint8_t kSub = 13;
    if (m_store.Get(fields::musicMute) != 0) {
        SendParamFloat(kCmdMusic, kSub, 0.0f);
        return;
    }
    // Each step keeps its place and its 30 ms from the one before; the link waits them out on its own
    // thread, so the caller (the window, often) never sleeps through the fade.
    const auto step = [&](float level, std::chrono::milliseconds gap) {
        std::array<uint8_t, 9> body = {kMsgParamWrite, 0x00, kCmdMusic, kSub, 1};
        WriteBe32(body.data() + 5, FloatWord(level));
        m_sender.SendToDeviceSpaced(body, gap);
    };
    for (int i = 0; i < kFadeSteps; ++i)
        step(static_cast<float>(i / 10.0), i == 0 ? std::chrono::milliseconds(0) : kFadeStepPause);
    step(1.0f, kFadeStepPause);
}

void CommandEncoder::SendCompressor(const ParamCommand& row, int element) {
    const auto words =
        CompressorWords(m_store.GetSlotFloat(RowSlot(row, element, 0)), m_store.GetSlotFloat(RowSlot(row, element, 1)),
                        m_store.GetSlotFloat(RowSlot(row, element, 2)), m_store.GetSlotFloat(RowSlot(row, element, 3)));
    SendParamWords(RowCmd(row, element), RowSub(row, element), words);
}

void CommandEncoder::SetCompressor(int thresholdSlot, float thresholdDb, float ratio, float attackMs, float releaseMs) {
    int element = 0;
    const ParamCommand* row = FindParamCommandBySlot(thresholdSlot, &element);
    if (row == nullptr || row->wire != WireEncoding::Compressor || RowSlot(*row, element) != thresholdSlot)
        return;
    const std::array<float, 4> values = {thresholdDb, ratio, attackMs, releaseMs};
    for (int part = 0; part < 4; ++part) {
        if (std::isfinite(values[part]))
            m_store.SetSlotFloat(RowSlot(*row, element, part), values[part]);
    }
    SendCompressor(*row, element);
}

void CommandEncoder::SendDelayMode(int channel) {
    const bool wholeChannel = m_store.Get(fields::outDelayMode, channel) == 1;
    const std::array<uint32_t, 2> words = {FloatWord(1.0f), FloatWord(wholeChannel ? 0.0f : 1.0f)};
    SendParamWords(static_cast<uint8_t>(kCmdFirstOutput + channel), 17, words);
    ResendBandSplit(channel);
}

void CommandEncoder::ResendBandSplit(int channel) {
    // The split pair's filter types follow the delay mode (high-pass/low-pass or flat), so the pair is
    // sent again after every mode change.
    std::function<void(int)> resender;
    {
        std::lock_guard lock(m_hookMutex);
        resender = m_bandSplitResender;
    }
    if (resender)
        resender(channel);
}

void CommandEncoder::SetPositionGain(int channel, float gainDb) {
    if (channel < 0 || channel >= kOutputChannelCount || !std::isfinite(gainDb))
        return;
    m_store.SetPositionGain(channel, gainDb);
    SendPositionGain(channel);
}

void CommandEncoder::SendPositionGain(int channel) {
    if (channel < 0 || channel >= kOutputChannelCount)
        return;
    WritePositionGains();
    SendParamWords(static_cast<uint8_t>(kCmdFirstOutput + channel), 29, PositionSet(m_store.PositionGain(channel)));
}

int CommandEncoder::SetPositionGainByRole(int role, float gainDb) {
    for (int k = 0; k < kOutputChannelCount; ++k) {
        if (m_store.Get(fields::outRole, k) == role) {
            SetPositionGain(k, gainDb);
            return k;
        }
    }
    return -1;
}

void CommandEncoder::SetBassBoostLevel(float levelDb) {
    if (!std::isfinite(levelDb))
        return;
    m_store.SetBassBoostLevel(levelDb);
    WriteBassBoostRecord();

    const double gain = std::pow(10.0, levelDb / 20.0);
    const auto g = static_cast<float>(gain);
    const auto preGain = static_cast<float>(1.0 / gain);
    const auto boost = BassBoostSet(levelDb);
    // Raising the boost lowers the pre-gains first, lowering it restores them last, so the signal is
    // never boosted before it has room.
    if (levelDb > m_store.LastBassBoostLevel()) {
        SendParamFloat(kCmdMic, 58, preGain);
        SendParamWords(kCmdMic, 61, boost);
        SendParamFloat(kCmdMic, 59, g);
        SendParamFloat(kCmdMic, 35, preGain);
        SendParamWords(kCmdMic, 38, boost);
        SendParamFloat(kCmdMic, 36, g);
    } else {
        SendParamWords(kCmdMic, 61, boost);
        SendParamFloat(kCmdMic, 59, g);
        SendParamFloat(kCmdMic, 58, preGain);
        SendParamWords(kCmdMic, 38, boost);
        SendParamFloat(kCmdMic, 36, g);
        SendParamFloat(kCmdMic, 35, preGain);
    }
    m_store.SetLastBassBoostLevel(levelDb);
}

void CommandEncoder::SpeakerLocate(int role) {
    const int code = role >= 0 && role < kSpeakerLocateNone ? role : kSpeakerLocateNone;
    SendParamByte(kCmdMusic, 34, static_cast<uint8_t>(code));
}

// ---- generic builders ----------------------------------------------------------------------------------

int CommandEncoder::SendParamWords(uint8_t cmd, uint8_t sub, std::span<const uint32_t> words) {
    if (words.size() > kMaxParamWords)
        return 0;
    std::array<uint8_t, 5 + 4 * kMaxParamWords> body{};
    body[0] = kMsgParamWrite;
    body[1] = 0x00;
    body[2] = cmd;
    body[3] = sub;
    body[4] = static_cast<uint8_t>(words.size());
    for (size_t i = 0; i < words.size(); ++i)
        WriteBe32(body.data() + 5 + 4 * i, words[i]);
    return m_sender.SendToDevice(std::span(body.data(), 5 + 4 * words.size()), true);
}

int CommandEncoder::SendParamFloat(uint8_t cmd, uint8_t sub, float value, int count) {
    if (count < 1 || count > static_cast<int>(kMaxParamWords) || !std::isfinite(value))
        return 0;
    std::array<uint32_t, kMaxParamWords> words{};
    std::fill_n(words.begin(), count, FloatWord(value));
    return SendParamWords(cmd, sub, std::span(words.data(), static_cast<size_t>(count)));
}

int CommandEncoder::SendParamByte(uint8_t cmd, uint8_t sub, uint8_t value) {
    const uint32_t word = value;
    return SendParamWords(cmd, sub, std::span(&word, 1));
}

int CommandEncoder::SendParamRead(uint8_t cmd, uint8_t sub, uint8_t count) {
    const std::array<uint8_t, 5> body = {kMsgParamRead, 0x00, cmd, sub, count};
    return m_sender.SendToDevice(body, true);
}

int CommandEncoder::SendRequest(uint8_t code) {
    const std::array<uint8_t, 1> body = {code};
    return m_sender.SendToDevice(body, true);
}

int CommandEncoder::SendRequest(uint8_t code, uint8_t value) {
    const std::array<uint8_t, 2> body = {code, value};
    return m_sender.SendToDevice(body, true);
}

namespace {

// code, address high, address low, count, bytes
int SendMemoryMessage(DeviceSender& sender, uint8_t code, uint16_t address, std::span<const uint8_t> bytes) {
    if (bytes.size() > kMaxMemoryWrite)
        return 0;
    std::array<uint8_t, 4 + kMaxMemoryWrite> body{};
    body[0] = code;
    WriteBe16(body.data() + 1, address);
    body[3] = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), body.begin() + 4);
    return sender.SendToDevice(std::span(body.data(), 4 + bytes.size()), true);
}

int SendMemoryRead(DeviceSender& sender, uint8_t code, uint16_t address, uint8_t count) {
    std::array<uint8_t, 4> body{code, 0, 0, count};
    WriteBe16(body.data() + 1, address);
    return sender.SendToDevice(body, true);
}

} // namespace

int CommandEncoder::WriteDeviceMemory(uint16_t address, std::span<const uint8_t> bytes) {
    return SendMemoryMessage(m_sender, kMsgDeviceMemoryWrite, address, bytes);
}

int CommandEncoder::ReadDeviceMemory(uint16_t address, uint8_t count) {
    return SendMemoryRead(m_sender, kMsgDeviceMemoryRead, address, count);
}

int CommandEncoder::WriteSceneMemory(uint16_t address, std::span<const uint8_t> bytes) {
    return SendMemoryMessage(m_sender, kMsgSceneMemoryWrite, address, bytes);
}

int CommandEncoder::ReadSceneMemory(uint16_t address, uint8_t count) {
    return SendMemoryRead(m_sender, kMsgSceneMemoryRead, address, count);
}

int CommandEncoder::WriteRemoteKeys() {
    const RemoteKeyRecord keys = m_store.GetRemoteKeyRecord();
    std::array<uint8_t, 1 + kRemoteKeyRecordSize> body{};
    body[0] = kMsgRemoteKeysWrite;
    std::copy(keys.begin(), keys.end(), body.begin() + 1);
    return m_sender.SendToDevice(body, true);
}

int CommandEncoder::WriteMachineSettings(const MachineSettingsRecord& record) {
    std::array<uint8_t, 1 + kMachineSettingsSize> body{};
    body[0] = kMsgMachineSettingsWrite;
    std::copy(record.begin(), record.end(), body.begin() + 1);
    return m_sender.SendToDevice(body, true);
}

int CommandEncoder::SendZWaveFrame(uint8_t function, std::span<const uint8_t> parameters) {
    const std::vector<uint8_t> frame = BuildZWaveFrame(function, parameters);
    return m_sender.SendToDevice(frame, false, true);
}

int CommandEncoder::SendZWaveAck() {
    const std::array<uint8_t, 1> ack = {kZWaveAck};
    return m_sender.SendToDevice(ack, false, true);
}

// ---- block writers ---------------------------------------------------------------------------------

void CommandEncoder::WriteEqTable() {
    std::array<uint8_t, kEqBandTableBytes> table{};
    m_store.ReadBlock(StoreBlock::EqBandTable, table);
    for (size_t offset = 0; offset < table.size(); offset += kMaxMemoryWrite) {
        const size_t n = std::min(kMaxMemoryWrite, table.size() - offset);
        WriteDeviceMemory(static_cast<uint16_t>(kImageEqTableOffset + offset), std::span(table.data() + offset, n));
    }
}

int CommandEncoder::WriteRoomRecord() {
    const RoomRecordBytes room = m_store.GetRoomRecordBytes();
    return WriteDeviceMemory(static_cast<uint16_t>(kImageRoomOffset), room);
}

int CommandEncoder::WritePositionGains() {
    std::array<uint8_t, kPositionGainTableBytes> gains{};
    m_store.ReadBlock(StoreBlock::PositionGainTable, gains);
    return WriteDeviceMemory(static_cast<uint16_t>(kImagePositionGainOffset), gains);
}

int CommandEncoder::WriteBassBoostRecord() {
    std::array<uint8_t, kBassBoostRecordBytes> record{};
    m_store.ReadBlock(StoreBlock::BassBoostRecord, record);
    return WriteDeviceMemory(static_cast<uint16_t>(kImageBassBoostOffset), record);
}

} // namespace orvex
