#include "sim/ProcessorModel.h"

#include "link/Bytes.h"
#include "link/MessageIds.h"
#include "model/FilterDesign.h"
#include "model/ParameterStore.h"
#include "model/SmartHomeTables.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <tuple>

namespace orvex::sim {
namespace {

uint32_t Float(float f) {
    return std::bit_cast<uint32_t>(f);
}
uint32_t Samples(double ms) {
    return static_cast<uint32_t>(ms * kDspSamplesPerMs + 0.5);
}

// A compressor record as the processor keeps it: threshold, 0, 1 - 1/ratio, 20, 0.05 and the
// attack and release coefficients.
std::vector<uint32_t> CompressorWords(float thresholdDb, double ratio, double attackMs, double releaseMs) {
    return {Float(thresholdDb),
            Float(0.0f),
            Float(static_cast<float>(1.0 - 1.0 / ratio)),
            Float(20.0f),
            Float(0.05f),
            Float(static_cast<float>(1.0 - std::exp(-1.0 / (attackMs * kDspSamplesPerMs)))),
            Float(static_cast<float>(1.0 - std::exp(-1.0 / (releaseMs * kDspSamplesPerMs))))};
}

// Speaker roles of the eight outputs as a processor leaves the factory:
// front left, front right, centre, subwoofer, side left/right, back left/right.
constexpr std::array<uint8_t, 8> kFactoryRoles = {0, 1, 5, 4, 6, 7, 2, 3};

// What a processor fresh from the factory holds in each parameter record.
std::vector<uint32_t> FactoryWords(uint8_t cmd, uint8_t sub, uint8_t words) {
    std::vector<uint32_t> w(words, 0);
    if (words == 0)
        return w;
    auto all = [&](uint32_t v) { std::fill(w.begin(), w.end(), v); };
    switch (cmd) {
    case 1:
        if (sub >= 4 && sub <= 7)
            all(Float(0.8f));
        else if (sub == 13)
            all(Float(0.5f));
        else if (sub == 14)
            all(Float(0.6f));
        else if (sub == 15)
            all(Float(1.0f)); // not muted
        else if (sub >= 27 && sub <= 30)
            all(Float(sub <= 28 ? 1.0f : 0.0f)); // mics 1 and 2 on channel A
        else if (sub >= 50 && sub <= 53)
            all(Float(sub >= 52 ? 1.0f : 0.0f)); // mics 3 and 4 on channel B
        else if (sub == 33 || sub == 56)
            all(1); // frequency shift off
        else if (sub == 34 || sub == 57)
            all(Float(0.7f));
        else if (sub == 37 || sub == 60)
            all(1); // bass boost off
        else if (sub == 35 || sub == 36 || sub == 58 || sub == 59)
            all(Float(1.0f));
        break;
    case 2:
        if (sub == 8 || sub == 21 || sub == 12 || sub == 25)
            all(Float(0.5f));
        else if (sub == 9 || sub == 22)
            all(Samples(20.0));
        else if (sub == 10 || sub == 23)
            all(Samples(217.0));
        else if (sub == 11 || sub == 24)
            all(Float(0.6f));
        else if (sub == 26)
            all(Float(0.7f));
        else if (sub == 27)
            all(Float(1.0f));
        break;
    case 3:
        if (sub == 8 || sub == 20)
            all(Float(0.5f));
        else if (sub == 9 || sub == 21)
            all(Samples(10.0));
        else if (sub == 10 || sub == 11 || sub == 22 || sub == 23)
            all(Float(0.4f));
        else if (sub == 24)
            all(Float(0.7f));
        else if (sub == 25)
            all(Float(1.0f));
        break;
    case 4:
        if (sub == 12)
            all(Float(0.75f));
        else if (sub == 13)
            all(Float(1.0f));
        else if (sub == 14 && words == 7)
            w = CompressorWords(-20.0f, 2.0, 10.0, 100.0);
        else if (sub == 15)
            all(1);
        else if (sub == 17)
            all(Float(0.5f));
        else if (sub == 21)
            all(5); // reported value minus 5 is what the editor shows
        else if (sub == 23)
            all(2); // HDMI
        else if (sub >= 24 && sub <= 32)
            all(Float(0.8f));
        else if (sub == 37)
            all(Float(0.5f));
        break;
    case 13:
        if (sub == 0)
            all(Float(100.0f));
        else if (sub == 2)
            all(Float(1000.0f));
        else if (sub == 4)
            all(Float(8000.0f));
        else if (sub >= 6 && sub <= 9)
            all(Float(0.5f));
        break;
    default:
        if (cmd >= 5 && cmd <= 12) {
            const int k = cmd - 5;
            if (sub == 16)
                all(kFactoryRoles[static_cast<size_t>(k)]);
            else if (sub == 17)
                all(Float(1.0f)); // high-frequency delay
            else if (sub == 18)
                all(Samples(1.5));
            else if (sub == 20 || sub == 23 || sub == 24 || sub == 25 || sub == 26)
                all(Float(1.0f));
            else if (sub == 21 || sub == 22)
                all(Float(0.5f));
            else if (sub == 27 && words == 7)
                w = CompressorWords(-10.0f, 4.0, 5.0, 200.0);
            else if (sub == 28)
                all(1); // compressor off
        }
        break;
    }
    return w;
}

} // namespace

ProcessorModel::ProcessorModel(ProcessorOptions options) : m_options(std::move(options)) {
    if (!m_options.clock) {
        m_options.clock = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    }
    InitialiseMemory();
}

int64_t ProcessorModel::Now() const {
    return m_options.clock();
}

void ProcessorModel::InitialiseMemory() {
    m_memory.fill(0);
    ParameterStore defaults;
    defaults.ResetStoreDefaults();
    const auto eq = defaults.ReadBlock(StoreBlock::EqBandTable);
    std::copy(eq.begin(), eq.end(), m_memory.begin() + kImageEqTableOffset);
    const auto room = defaults.ReadBlock(StoreBlock::RoomRecord);
    std::copy(room.begin(), room.end(), m_memory.begin() + kImageRoomOffset);

    for (const ImageRecord& r : DeviceImageRecords()) {
        uint8_t* p = m_memory.data() + r.offset;
        p[0] = r.cmd;
        p[1] = r.sub;
        p[2] = r.words;
        const std::vector<uint32_t> words = FactoryWords(r.cmd, r.sub, r.words);
        for (size_t i = 0; i < words.size(); ++i)
            WriteBe32(p + 3 + 4 * i, words[i]);
    }
    // Factory machine settings: volume save mode off, maximum mic volume 99.
    m_machineSettings = {0, 0, 0, 99, 99, 99, 99, 0, 0, 0, 0, 0, 0, 0};

    // The four mode memories leave the factory with the same parameters except their music and
    // mic master volumes (TV quiet, karaoke with the mics up), so loading one is visible.
    m_factoryMemory = m_memory;
    const std::array<std::pair<float, float>, 4> masters = {{{0.55f, 0.3f}, {0.75f, 0.3f}, {0.6f, 0.8f}, {0.8f, 0.2f}}};
    for (size_t mode = 0; mode < m_modeMemories.size(); ++mode) {
        m_modeMemories[mode] = m_memory;
        for (const auto& [cmd, sub, value] : {std::tuple{uint8_t{4}, uint8_t{12}, masters[mode].first},
                                              std::tuple{uint8_t{1}, uint8_t{14}, masters[mode].second}}) {
            if (const ImageRecord* r = FindImageRecord(cmd, sub))
                WriteBe32(m_modeMemories[mode].data() + r->offset + 3, std::bit_cast<uint32_t>(value));
        }
    }

    // The smart-home module leaves the factory with a few plugs and scenes of its own.
    m_outbox.Clear();
    m_smart.reset();
    if (m_options.smartModule)
        m_smart = std::make_unique<SmartModule>(m_outbox, m_options.smart);
}

std::vector<Message> ProcessorModel::HandleMessage(std::span<const uint8_t> body) {
    std::lock_guard lock(m_mutex);
    ++m_messages;
    if (body.empty())
        return {{reply::Ack}};
    const uint8_t code = body[0];
    switch (code) {
    case kMsgParamWrite:
        ApplyParameterWrite(body);
        return {{reply::Changed}}; // the processor acknowledges a change by reporting it
    case kMsgParamRead:
        return {ReadParameter(body)};
    case request::ModuleName:
        return {IdentityString(reply::ModuleName, m_options.moduleName)};
    case request::CommandSetVersion:
        return {{reply::CommandSetVersion, m_options.commandSetVersion}};
    case request::McuVersion:
        return {IdentityString(reply::McuVersion, m_options.mcuVersion)};
    case request::DspVersion:
        return {IdentityString(reply::DspVersion, m_options.dspVersion)};
    case request::CurrentMode:
        return {{reply::CurrentMode, static_cast<uint8_t>(m_mode)}};
    case request::Levels:
        return {Levels()};
    case kMsgDeviceMemoryRead:
        return {MemoryRead(body)};
    case kMsgDeviceMemoryWrite:
        if (body.size() >= 4) {
            const size_t address = ReadBe16(body.data() + 1);
            const size_t count = std::min<size_t>(body[3], body.size() - 4);
            if (address < m_memory.size()) {
                const size_t n = std::min(count, m_memory.size() - address);
                std::copy_n(body.begin() + 4, n, m_memory.begin() + static_cast<std::ptrdiff_t>(address));
            }
        }
        return {{reply::Ack}};
    case request::MachineSettings: {
        Message reply{reply::MachineSettings};
        reply.insert(reply.end(), m_machineSettings.begin(), m_machineSettings.end());
        return {reply};
    }
    case kMsgMachineSettingsWrite:
        if (body.size() >= 15)
            std::copy_n(body.begin() + 1, 14, m_machineSettings.begin());
        return {{reply::Ack}};
    case request::RemoteKeys: {
        Message reply{reply::RemoteKeys};
        reply.insert(reply.end(), m_remoteKeys.begin(), m_remoteKeys.begin() + 16);
        return {reply};
    }
    case kMsgRemoteKeysWrite:
        if (body.size() >= 19)
            std::copy_n(body.begin() + 1, 18, m_remoteKeys.begin());
        return {{reply::Ack}};
    case request::SelectMode: // select mode m
        if (body.size() >= 2 && body[1] < 4)
            m_mode = body[1];
        return {{reply::Ack}};
    case request::SaveMode: // save the working parameters into mode m
        if (body.size() >= 2 && body[1] < 4)
            m_modeMemories[body[1]] = m_memory;
        return {{reply::Ack}};
    case request::LoadMode: // load mode m; the editor reads everything again when it sees 05
        if (body.size() >= 2 && body[1] < 4) {
            m_mode = body[1];
            m_memory = m_modeMemories[body[1]];
        }
        return {{reply::ModeLoaded}};
    case request::ResetMode: // reset mode m to the factory parameters; m becomes the mode in use, as the editor
                             // expects when it reads everything again after the 06 reply
        if (body.size() >= 2 && body[1] < 4) {
            m_modeMemories[body[1]] = m_factoryMemory;
            m_mode = body[1];
            m_memory = m_factoryMemory;
        }
        return {{reply::ModeReset}};
    case kMsgZWaveUsb: // a Z-Wave frame inside a USB message: 12, count, frame
        if (body.size() >= 2) {
            const size_t count = std::min<size_t>(body[1], body.size() - 2);
            return HandleZWaveLocked(body.subspan(2, count));
        }
        return {};
    case kMsgSceneMemoryWrite:
        if (m_smart)
            m_smart->WriteMemory(body);
        return {{reply::Ack}};
    case kMsgSceneMemoryRead:
        if (m_smart)
            return {m_smart->ReadMemory(body)};
        // No module, no plug memory: an empty answer, so the editor's pacing goes on.
        return {
            {reply::SmartMemory, body.size() > 1 ? body[1] : uint8_t{0}, body.size() > 2 ? body[2] : uint8_t{0}, 0}};
    case request::StartLearning: // learn function n of the processor's remote
        if (body.size() >= 2)
            StartRemoteLearning(body[1]);
        return {{reply::Ack}};
    case request::StopLearning: // stop learning
        m_remoteLearning = 0;
        ++m_remoteLearnEpoch;
        return {{reply::Ack}};
    default:
        // Everything else is acknowledged so that the editor's pacing never stalls.
        return {{reply::Ack}};
    }
}

void ProcessorModel::ApplyParameterWrite(std::span<const uint8_t> body) {
    // 09, 00, cmd, sub, n, n words
    if (body.size() < 5)
        return;
    const size_t sent = std::min<size_t>(body[4], (body.size() - 5) / 4);
    const ImageRecord* r = FindImageRecord(body[2], body[3]);
    if (r == nullptr) {
        std::vector<uint32_t>& words = m_unmappedParams[static_cast<uint16_t>(body[2] << 8 | body[3])];
        words.resize(sent);
        for (size_t i = 0; i < sent; ++i)
            words[i] = ReadBe32(body.data() + 5 + 4 * i);
        return;
    }
    const size_t n = std::min<size_t>(sent, r->words);
    std::copy_n(body.begin() + 5, 4 * n, m_memory.begin() + r->offset + 3);
}

Message ProcessorModel::ReadParameter(std::span<const uint8_t> body) const {
    // 0A, 00, cmd, sub, count -> 0A, error, cmd, sub, count, words
    if (body.size() < 5)
        return {reply::ParamValue, 0x01, 0, 0, 0};
    const uint8_t cmd = body[2], sub = body[3];
    const ImageRecord* r = FindImageRecord(cmd, sub);
    if (r == nullptr) {
        const auto it = m_unmappedParams.find(static_cast<uint16_t>(cmd << 8 | sub));
        if (it == m_unmappedParams.end() || it->second.empty())
            return {reply::ParamValue, 0x02, cmd, sub, 0}; // never written: the processor has no value to give
        const size_t count = std::min<size_t>(std::max<size_t>(body[4], 1), it->second.size());
        Message reply{reply::ParamValue, 0x00, cmd, sub, static_cast<uint8_t>(count)};
        for (size_t i = 0; i < count; ++i) {
            reply.resize(reply.size() + 4);
            WriteBe32(reply.data() + reply.size() - 4, it->second[i]);
        }
        return reply;
    }
    const size_t count = std::min<size_t>(std::max<size_t>(body[4], 1), r->words);
    Message reply{reply::ParamValue, 0x00, cmd, sub, static_cast<uint8_t>(count)};
    reply.insert(reply.end(), m_memory.begin() + r->offset + 3, m_memory.begin() + r->offset + 3 + 4 * count);
    return reply;
}

Message ProcessorModel::MemoryRead(std::span<const uint8_t> body) const {
    // 30, address high, address low, count -> 30, address, count, data
    if (body.size() < 4)
        return {reply::DeviceMemory, 0xFF, 0xFF, 0};
    const size_t address = ReadBe16(body.data() + 1);
    size_t count = std::min<size_t>(body[3], 56);
    count = address < m_memory.size() ? std::min(count, m_memory.size() - address) : 0;
    Message reply{reply::DeviceMemory, body[1], body[2], static_cast<uint8_t>(count)};
    reply.insert(reply.end(), m_memory.begin() + static_cast<std::ptrdiff_t>(address),
                 m_memory.begin() + static_cast<std::ptrdiff_t>(address + count));
    return reply;
}

Message ProcessorModel::Levels() {
    // Levels that move like programme material: each input follows its own slow wave.
    ++m_levelPhase;
    Message reply(17, 0);
    reply[0] = reply::Levels;
    for (int i = 0; i < 6 && !m_options.noProgramme; ++i) {
        const double v = 0.5 + 0.45 * std::sin(0.35 * m_levelPhase + 1.1 * i);
        reply[1 + i] = static_cast<uint8_t>(v * 200.0);
    }
    reply[8] = 3;                                   // input format index
    reply[9] = 180, reply[10] = 120, reply[11] = 1; // wireless mic 1: RF, AF, channel
    reply[12] = 4;                                  // battery
    reply[13] = 160, reply[14] = 90, reply[15] = 2, reply[16] = 3;
    return reply;
}

Message ProcessorModel::IdentityString(uint8_t code, const std::string& text) {
    // code, the characters, a terminating zero (sized up front: growing a one-byte vector here trips a
    // false array-bounds warning in optimised GCC builds)
    Message reply(text.size() + 2, 0);
    reply[0] = code;
    std::copy(text.begin(), text.end(), reply.begin() + 1);
    return reply;
}

std::vector<Message> ProcessorModel::HandleZWaveFrame(std::span<const uint8_t> frame) {
    std::lock_guard lock(m_mutex);
    return HandleZWaveLocked(frame);
}

std::vector<Message> ProcessorModel::HandleZWaveLocked(std::span<const uint8_t> frame) {
    ++m_zwaveFrames;
    if (!m_smart)
        return {}; // nobody to answer
    return m_smart->HandleFrame(frame, Now());
}

void ProcessorModel::StartRemoteLearning(uint8_t function) {
    ++m_remoteLearnEpoch;
    m_remoteLearning = function >= 1 && function < static_cast<int>(m_remoteKeys.size()) ? function : 0;
    if (m_remoteLearning == 0 || m_options.smart.remotePressAfterMs < 0)
        return;
    const int64_t press = Now() + m_options.smart.remotePressAfterMs;
    const uint64_t epoch = m_remoteLearnEpoch;
    m_outbox.Schedule(press, [this, epoch, press, function] {
        if (epoch == m_remoteLearnEpoch)
            RemoteKeyLocked(static_cast<uint8_t>(0x30 + function), false, press);
    });
}

bool ProcessorModel::RemoteKeyLocked(uint8_t code, bool garbled, int64_t now) {
    bool learned = false;
    if (m_remoteLearning != 0 && !garbled) {
        // The learn report: 60, 1 (a code was learned), the function, the code. The table keeps
        // the report's first byte in its byte 0, as the editor does.
        const uint8_t function = static_cast<uint8_t>(m_remoteLearning);
        m_remoteKeys[0] = 1;
        m_remoteKeys[function] = code;
        m_outbox.Post(now, {reply::RemoteKey, 1, function, code});
        m_remoteLearning = 0;
        ++m_remoteLearnEpoch;
        learned = true;
    }
    if (m_smart && m_smart->RemoteKeyReachesPlugs(code, garbled, now))
        learned = true;
    return learned;
}

std::vector<Message> ProcessorModel::TakeDueMessages() {
    std::lock_guard lock(m_mutex);
    return m_outbox.TakeDue(Now());
}

bool ProcessorModel::PressPlugButton(int node, PlugKind kind) {
    std::lock_guard lock(m_mutex);
    return m_smart && m_smart->PressPlugButton(node, kind, Now());
}

bool ProcessorModel::PressRemoteKey(uint8_t code, bool garbled) {
    std::lock_guard lock(m_mutex);
    return RemoteKeyLocked(code, garbled, Now());
}

bool ProcessorModel::ReportNodeValue(int node, uint8_t value) {
    std::lock_guard lock(m_mutex);
    return m_smart && m_smart->ReportNodeValue(node, value, Now());
}

void ProcessorModel::SetNodeDead(int node, bool dead) {
    std::lock_guard lock(m_mutex);
    if (m_smart)
        m_smart->SetNodeDead(node, dead);
}

void ProcessorModel::SetNodeOperationsFail(bool fail) {
    std::lock_guard lock(m_mutex);
    if (m_smart)
        m_smart->SetNodeOperationsFail(fail);
}

bool ProcessorModel::HasSmartModule() const {
    std::lock_guard lock(m_mutex);
    return m_smart != nullptr;
}

int ProcessorModel::RemoteLearningFunction() const {
    std::lock_guard lock(m_mutex);
    return m_remoteLearning;
}

bool ProcessorModel::SmartNodePresent(int node) const {
    std::lock_guard lock(m_mutex);
    return m_smart && m_smart->NodePresent(node);
}

uint8_t ProcessorModel::SmartNodeValue(int node) const {
    std::lock_guard lock(m_mutex);
    return m_smart ? m_smart->NodeValue(node) : 0;
}

bool ProcessorModel::PlugKeyLearned(int node, int key) const {
    std::lock_guard lock(m_mutex);
    return m_smart && m_smart->KeyLearned(node, key);
}

SmartModule::Operation ProcessorModel::SmartOperation() const {
    std::lock_guard lock(m_mutex);
    return m_smart ? m_smart->CurrentOperation() : SmartModule::Operation::None;
}

Message ProcessorModel::FrontPanelChange(uint8_t cmd, uint8_t sub, std::span<const uint32_t> words) {
    std::lock_guard lock(m_mutex);
    if (const ImageRecord* r = FindImageRecord(cmd, sub)) {
        const size_t n = std::min<size_t>(words.size(), r->words);
        for (size_t i = 0; i < n; ++i)
            WriteBe32(m_memory.data() + r->offset + 3 + 4 * i, words[i]);
    }
    return {0x09};
}

std::array<uint8_t, kDeviceImageSize> ProcessorModel::ModeMemory(int mode) const {
    std::lock_guard lock(m_mutex);
    return m_modeMemories[static_cast<size_t>(std::clamp(mode, 0, 3))];
}

void ProcessorModel::SetZWaveNodePresent(int node, bool present) {
    std::lock_guard lock(m_mutex);
    if (m_smart)
        m_smart->SetNodePresent(node, present);
}

std::vector<uint8_t> ProcessorModel::SmartMemory() const {
    std::lock_guard lock(m_mutex);
    return m_smart ? m_smart->Memory() : std::vector<uint8_t>{};
}

int ProcessorModel::ZWaveFramesHandled() const {
    std::lock_guard lock(m_mutex);
    return m_zwaveFrames;
}

std::array<uint8_t, kDeviceImageSize> ProcessorModel::Memory() const {
    std::lock_guard lock(m_mutex);
    return m_memory;
}

void ProcessorModel::WriteMemory(size_t offset, std::span<const uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    if (offset >= m_memory.size())
        return;
    const size_t n = std::min(bytes.size(), m_memory.size() - offset);
    std::copy_n(bytes.begin(), n, m_memory.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::vector<uint32_t> ProcessorModel::RecordWords(uint8_t cmd, uint8_t sub) const {
    std::lock_guard lock(m_mutex);
    const ImageRecord* r = FindImageRecord(cmd, sub);
    if (r == nullptr)
        return {};
    std::vector<uint32_t> words(r->words);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = ReadBe32(m_memory.data() + r->offset + 3 + 4 * i);
    return words;
}

void ProcessorModel::SetRecordWords(uint8_t cmd, uint8_t sub, std::span<const uint32_t> words) {
    std::lock_guard lock(m_mutex);
    const ImageRecord* r = FindImageRecord(cmd, sub);
    if (r == nullptr)
        return;
    const size_t n = std::min<size_t>(words.size(), r->words);
    for (size_t i = 0; i < n; ++i)
        WriteBe32(m_memory.data() + r->offset + 3 + 4 * i, words[i]);
}

int ProcessorModel::CurrentMode() const {
    std::lock_guard lock(m_mutex);
    return m_mode;
}

void ProcessorModel::SetModuleName(std::string name) {
    std::lock_guard lock(m_mutex);
    m_options.moduleName = std::move(name);
}

void ProcessorModel::SetCommandSetVersion(uint8_t version) {
    std::lock_guard lock(m_mutex);
    m_options.commandSetVersion = version;
}

std::array<uint8_t, 14> ProcessorModel::MachineSettings() const {
    std::lock_guard lock(m_mutex);
    return m_machineSettings;
}

void ProcessorModel::SetMachineSettings(const std::array<uint8_t, 14>& settings) {
    std::lock_guard lock(m_mutex);
    m_machineSettings = settings;
}

std::array<uint8_t, 18> ProcessorModel::RemoteKeys() const {
    std::lock_guard lock(m_mutex);
    return m_remoteKeys;
}

uint64_t ProcessorModel::MessagesHandled() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

} // namespace orvex::sim
