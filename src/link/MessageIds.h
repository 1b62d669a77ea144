#pragma once

#include <cstdint>

// The message ids of the processor's protocol, for the editor, orvexctl and the simulator alike:
// the carriers' framing bytes, the requests and message codes the editor sends, the codes of what
// comes back, and the smart-home module's Serial API functions.

namespace orvex {

// TCP frame: 0x55, L = payload length + 1, payload (carrier prefix and body), checksum
// X = 0xFF ^ L ^ every payload byte. The start byte is not covered by the checksum.
inline constexpr uint8_t kFrameStart = 0x55;
inline constexpr uint8_t kPrefixProcessor = 0x81; // processor message behind the network host
inline constexpr uint8_t kPrefixZWave = 0x80;     // pass-through to the smart-home module
inline constexpr uint8_t kUsbReportNumber = 0x02;

// One-byte and two-byte requests.
namespace request {
inline constexpr uint8_t SelectMode = 0x03; // + mode 0..3
inline constexpr uint8_t SaveMode = 0x04;   // + mode 0..3
inline constexpr uint8_t LoadMode = 0x05;   // + mode 0..3
inline constexpr uint8_t ResetMode = 0x06;  // + mode 0..3
inline constexpr uint8_t CurrentMode = 0x07;
inline constexpr uint8_t Levels = 0x0E;
inline constexpr uint8_t StartLearning = 0x60; // + remote function n
inline constexpr uint8_t StopLearning = 0x61;
inline constexpr uint8_t RemoteKeys = 0x62;
inline constexpr uint8_t MachineReset = 0x68; // + 0xAA
inline constexpr uint8_t MachineResetConfirm = 0xAA;
inline constexpr uint8_t DspVersion = 0x7E;
inline constexpr uint8_t CommandSetVersion = 0x7F;
inline constexpr uint8_t ModuleName = 0x80;
inline constexpr uint8_t McuVersion = 0x81;
inline constexpr uint8_t Disconnect = 0x8A;
inline constexpr uint8_t MachineSettings = 0x92;
} // namespace request

// Message codes of the builders.
inline constexpr uint8_t kMsgParamWrite = 0x09;
inline constexpr uint8_t kMsgParamRead = 0x0A;
inline constexpr uint8_t kMsgZWaveUsb = 0x12;
inline constexpr uint8_t kMsgSceneMemoryWrite = 0x13;
inline constexpr uint8_t kMsgSceneMemoryRead = 0x14;
inline constexpr uint8_t kMsgDeviceMemoryRead = 0x30;
inline constexpr uint8_t kMsgRemoteKeysWrite = 0x63;
inline constexpr uint8_t kMsgDeviceMemoryWrite = 0x85;
inline constexpr uint8_t kMsgMachineSettingsWrite = 0x91;

// Reply codes (byte 1 of every incoming message; byte 0 is the carrier prefix).
namespace reply {
inline constexpr uint8_t ModeLoaded = 0x05;
inline constexpr uint8_t ModeReset = 0x06;
inline constexpr uint8_t CurrentMode = 0x07;
inline constexpr uint8_t Changed = 0x09;
inline constexpr uint8_t ParamValue = 0x0A;
inline constexpr uint8_t Levels = 0x0E;
inline constexpr uint8_t ZWave = 0x12;
inline constexpr uint8_t SmartMemory = 0x14;
// The plain acknowledgement of a message that asks for nothing back; nothing in it is read.
inline constexpr uint8_t Ack = 0x31;
inline constexpr uint8_t DeviceMemory = 0x30;
inline constexpr uint8_t RemoteKey = 0x60;
inline constexpr uint8_t RemoteKeys = 0x62;
inline constexpr uint8_t DspVersion = 0x7E;
inline constexpr uint8_t CommandSetVersion = 0x7F;
inline constexpr uint8_t ModuleName = 0x80;
inline constexpr uint8_t McuVersion = 0x81;
inline constexpr uint8_t MemoryBlock = 0x86;
inline constexpr uint8_t MachineSettings = 0x92;
} // namespace reply

// The single byte with which each side acknowledges a Z-Wave frame.
inline constexpr uint8_t kZWaveAck = 0x06;

// Serial API functions of the smart-home module: those the editor starts and those the module
// reports (wParam of WM_DEV_ZWAVE_EVENT).
namespace zwave {
inline constexpr uint8_t InitData = 0x02;
inline constexpr uint8_t ApplicationCommand = 0x04;
inline constexpr uint8_t SendData = 0x13;
inline constexpr uint8_t SetDefault = 0x42;
inline constexpr uint8_t AddNode = 0x4A;
inline constexpr uint8_t RemoveNode = 0x4B;

// Send-data callback ids: a plug value is confirmed by its callback, a remote-key value (0x80..0xFE)
// by the node's own report, so its callback is the quiet one.
inline constexpr uint8_t CallbackValue = 0x43;
inline constexpr uint8_t CallbackQuiet = 0x44;

// Frame types.
inline constexpr uint8_t Request = 0x00;
inline constexpr uint8_t Response = 0x01;
} // namespace zwave

} // namespace orvex
