#pragma once

#include "link/MessageIds.h"
#include "link/DeviceSender.h"
#include "link/ParamTable.h"
#include "link/ZWaveFrames.h"
#include "model/ParameterStore.h"
#include "model/StoreFields.h"

#include <bit>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <type_traits>
#include <vector>

namespace orvex {

inline constexpr size_t kMaxMemoryWrite = 56; // bytes per memory write: one USB report

// Turns every change of a parameter into the processor's messages. A setter always stores the value
// (converted as its command row says: clamped delays, paired mic routes) and then sends whatever the
// link allows; offline edits reach the processor with the next write-all.
//
// Setters run on the user-interface thread and the synchronisation threads; each call builds its own
// message buffers.
class CommandEncoder {
public:
    CommandEncoder(ParameterStore& store, DeviceSender& sender);

    // ---- the parameter setters, one entry for every row of the command table --------------------------
    template <class T>
    void Set(SlotField<T, 1> field, std::type_identity_t<T> value) {
        SetSlotWord(field.slot, ToWord(value));
    }
    template <class T, int N>
    requires(N > 1) void Set(SlotField<T, N> field, int index, std::type_identity_t<T> value) {
        if (index >= 0 && index < N)
            SetSlotWord(field.slot + index, ToWord(value));
    }
    // Sends what the store holds, without changing it (write-all).
    template <class T>
    void Send(SlotField<T, 1> field) {
        SendSlot(field.slot);
    }
    template <class T, int N>
    requires(N > 1) void Send(SlotField<T, N> field, int index) {
        if (index >= 0 && index < N)
            SendSlot(field.slot + index);
    }

    // By slot, with the value as the store's raw 32 bits (an int or a float as the field's type says).
    // A non-finite value for a float field is refused: nothing is stored or sent.
    void SetSlotWord(int slot, uint32_t word);
    void SendSlot(int slot);

    // ---- setters that are more than one word ------------------------------------------------------------
    // channel 0 = A (1/31..33), 1 = B (1/54..56). 1 Hz, or anything below, switches the shift off.
    void SetFrequencyShift(int channel, int32_t hz);
    // A mic goes to effect channel A or B, never both: the two routes are stored and sent together.
    void SetMicRoute(int mic, bool toChannelA);
    // Muting is immediate; unmuting fades in 0.0, 0.1 .. 0.8 (30 ms apart on the wire), then 1.0. The
    // call returns at once: the link keeps the steps apart.
    void SetMusicMute(bool muted);
    // Position gain of output k in dB: the table word, the whole table to memory 1253, the six-word set.
    void SetPositionGain(int channel, float gainDb);
    void SendPositionGain(int channel);
    // The room page's form: the first output (k = 0..7) whose role is `role`; no such output, no change.
    // Returns the channel changed, or -1.
    int SetPositionGainByRole(int role, float gainDb);
    // Mic bass boost level in dB (1/35..38 and 1/58..61): record, memory 1305, then the gains and boost
    // sets in the order that never raises the level before its pre-gain is lowered.
    void SetBassBoostLevel(float levelDb);
    // A compressor record (the music input's automatic level, 4/14, or output k's, ch/27) addressed by its
    // threshold slot: the four values are stored and the seven-word record is sent once. A non-finite
    // value leaves its slot as it was; the record is still sent, with the encoder's minimums in place of
    // anything unusable. A slot that is not a record's threshold changes nothing.
    void SetCompressor(int thresholdSlot, float thresholdDb, float ratio, float attackMs, float releaseMs);
    // Speaker locate (4/34): the role code 0..7 of the speaker to locate, 8 for none. Not stored.
    void SpeakerLocate(int role);

    // ---- generic builders ----------------------------------------------------------------------------------
    int SendParamWords(uint8_t cmd, uint8_t sub, std::span<const uint32_t> words);
    int SendParamFloat(uint8_t cmd, uint8_t sub, float value, int count = 1);
    int SendParamByte(uint8_t cmd, uint8_t sub, uint8_t value);
    // 0A, 00, cmd, sub, count: the processor answers with reply 0A.
    int SendParamRead(uint8_t cmd, uint8_t sub, uint8_t count = 1);
    int SendRequest(uint8_t code);
    int SendRequest(uint8_t code, uint8_t value);

    int SendDisconnectNotice() { return SendRequest(request::Disconnect); }
    int RequestLevels() { return SendRequest(request::Levels); }
    int SelectDeviceMode(int mode) { return SendRequest(request::SelectMode, ModeByte(mode)); }
    int SaveDeviceMode(int mode) { return SendRequest(request::SaveMode, ModeByte(mode)); }
    int LoadDeviceMode(int mode) { return SendRequest(request::LoadMode, ModeByte(mode)); }
    int ResetDeviceMode(int mode) { return SendRequest(request::ResetMode, ModeByte(mode)); }
    int StartRemoteLearning(uint8_t function) { return SendRequest(request::StartLearning, function); }
    int StopRemoteLearning() { return SendRequest(request::StopLearning); }
    int MachineReset() { return SendRequest(request::MachineReset, request::MachineResetConfirm); }

    // Memory messages; a write of more than 56 bytes is refused (returns 0).
    int WriteDeviceMemory(uint16_t address, std::span<const uint8_t> bytes);
    int ReadDeviceMemory(uint16_t address, uint8_t count);
    int WriteSceneMemory(uint16_t address, std::span<const uint8_t> bytes);
    int ReadSceneMemory(uint16_t address, uint8_t count);
    // 63 and the 18 bytes of the store's remote key record.
    int WriteRemoteKeys();
    int WriteMachineSettings(const MachineSettingsRecord& record);
    // A Serial API frame to the smart-home module (never paced).
    int SendZWaveFrame(uint8_t function, std::span<const uint8_t> parameters);
    int SendZWaveAck();

    // ---- block writers ---------------------------------------------------------------------------------
    // eqBandTable as 23 writes of 56 bytes at 56 i (the last 21 bytes).
    void WriteEqTable();
    // The room record as it stands at 1285; the room page packs its floats first.
    int WriteRoomRecord();
    int WritePositionGains();
    int WriteBassBoostRecord();

    // ---- hooks -------------------------------------------------------------------------------------------
    // A delay-mode change resends the channel's band-split pair (bands 13 and 14); the coefficient
    // code installs the sender here. Until then the call point does nothing.
    void SetBandSplitResender(std::function<void(int channel)> resender);

    ParameterStore& Store() { return m_store; }

private:
    static uint32_t ToWord(int32_t value) { return static_cast<uint32_t>(value); }
    static uint32_t ToWord(float value) { return std::bit_cast<uint32_t>(value); }
    static uint8_t ModeByte(int mode) { return static_cast<uint8_t>(mode); }

    void SendRow(const ParamCommand& row, int element);
    void SendFrequencyShift(int channel);
    void SendMicRoute(int mic);
    void SendMusicMute();
    void SendCompressor(const ParamCommand& row, int element);
    void SendDelayMode(int channel);
    void ResendBandSplit(int channel);

    ParameterStore& m_store;
    DeviceSender& m_sender;
    std::mutex m_hookMutex;
    std::function<void(int)> m_bandSplitResender;
};

} // namespace orvex
