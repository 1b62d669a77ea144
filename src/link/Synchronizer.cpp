#include "link/Synchronizer.h"

#include "link/DebugSink.h"
#include "link/ParamTable.h"
#include "link/Tick.h"
#include "link/ZWaveFrames.h"
#include "model/DeviceImageLayout.h"
#include "model/EqPaths.h"

#include <algorithm>
#include <cmath>

namespace orvex {
namespace {

// The callback id the set-default request asks the module to answer with.
constexpr uint8_t kZWaveSetDefaultCallback = 0x01;

// Plug nodes: 1 is the controller itself.

// Device-image reads: 56-byte slices, the last one 51 bytes (3248 + 51 = 3299).
constexpr int kImageSlice = 56;

// How often a pause looks whether the link is still there.
constexpr std::chrono::milliseconds kPauseSlice{10};

} // namespace

Synchronizer::Synchronizer(LinkState& link, ParameterStore& store, CommandEncoder& commands, EqSender& eq,
                           SmartHomeTables& smartHome, LinkEvents* events)
    : m_link(link), m_store(store), m_commands(commands), m_eq(eq), m_smartHome(smartHome), m_events(events),
      m_sleep([](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }) {}

Synchronizer::~Synchronizer() {
    // Never leaves a sequence running on what is about to be freed.
    Join();
}

void Synchronizer::SetSleepFunction(std::function<void(std::chrono::milliseconds)> sleep) {
    m_sleep = std::move(sleep);
}

void Synchronizer::Pause(std::chrono::milliseconds ms) {
    // Waited out in short slices: a link that drops (or a shutdown) ends the pause, and with it
    // the sequence, instead of holding it for the rest of a fade or a poll.
    while (ms.count() > 0 && !Down()) {
        const std::chrono::milliseconds slice = std::min(ms, kPauseSlice);
        m_sleep(slice);
        ms -= slice;
    }
}

bool Synchronizer::Running() const {
    std::lock_guard lock(m_endMutex);
    if (!m_end)
        return false;
    std::lock_guard endLock(m_end->mutex);
    return !m_end->ended;
}

bool Synchronizer::StartThread(void (Synchronizer::*proc)()) {
    std::lock_guard lock(m_threadMutex);
    if (Running())
        return false;
    if (m_thread.joinable())
        m_thread.join(); // the previous sequence has ended; only its thread object is left
    // Whatever stopped the previous sequence is over now that it has been joined.
    m_stopping.store(false);
    auto end = std::make_shared<SequenceEnd>();
    {
        std::lock_guard endLock(m_endMutex);
        m_end = end;
    }
    // Set before the thread starts: the first answer may come before the thread has run a line.
    m_link.sequenceRunning.store(1);
    m_thread = std::thread([this, proc, end] {
        m_sequenceThread.store(std::this_thread::get_id());
        (this->*proc)();
        m_sequenceThread.store(std::thread::id());
        m_link.sequenceRunning.store(0);
        {
            std::lock_guard endLock(end->mutex);
            end->ended = true;
        }
        end->cv.notify_all();
    });
    return true;
}

void Synchronizer::Join() {
    std::lock_guard lock(m_threadMutex);
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

bool Synchronizer::Shutdown(std::chrono::milliseconds limit) {
    std::lock_guard lock(m_threadMutex);
    if (!m_thread.joinable())
        return !Running();
    if (m_thread.get_id() == std::this_thread::get_id())
        return false; // a sequence cannot wait for itself
    m_stopping.store(true);
    std::shared_ptr<SequenceEnd> end;
    {
        std::lock_guard endLock(m_endMutex);
        end = m_end;
    }
    // The limit runs on the link's tick, looked at every slice, like the link's other waits.
    const uint32_t start = TickNow();
    const auto ticks = static_cast<uint32_t>(std::max<std::chrono::milliseconds::rep>(0, limit.count()));
    bool ended = true;
    if (end) {
        std::unique_lock endLock(end->mutex);
        while (!end->ended && TicksSince(start) < ticks)
            end->cv.wait_for(endLock, kPauseSlice);
        ended = end->ended;
    }
    if (!ended) {
        // Still held (by an event sink that has not returned, say). It is not let go: it uses the
        // store and the link, so whoever owns those joins it before they go (the destructors do).
        // It stays stopped, so that nothing it does from here on reaches the processor.
        DebugOut("synchronisation thread did not end in time\n");
        return false;
    }
    m_thread.join();
    m_stopping.store(false);
    return true;
}

bool Synchronizer::StartReadAll() {
    DebugOut("Start thread:SynchronizeData\n");
    return StartThread(&Synchronizer::SynchronizeReadThreadProc);
}

bool Synchronizer::StartWriteAll() {
    DebugOut("Start thread:SynchronizeData\n");
    return StartThread(&Synchronizer::SynchronizeWriteThreadProc);
}

bool Synchronizer::StartReadZWave() {
    return StartThread(&Synchronizer::SynchronizeReadZWAVEThreadProc);
}

bool Synchronizer::StartResetZWave() {
    return StartThread(&Synchronizer::SynchronizeResetThreadProc);
}

void Synchronizer::SynchronizeReadThreadProc() {
    m_store.ClearLevelRecord();
    m_link.pollEnabled.store(0);
    Pause(m_pauses.start);
    ReadAll();
    if (m_events)
        m_events->OnSyncDone(0);
    m_store.ClearLevelRecord();
    m_link.pollEnabled.store(1);
    DebugOut("End thread: Delay Read SynchronizeData\n");
}

void Synchronizer::SynchronizeWriteThreadProc() {
    m_store.ClearLevelRecord();
    m_link.pollEnabled.store(0);
    Pause(m_pauses.start);
    WriteAll();
    if (m_events)
        m_events->OnSyncDone(1);
    m_store.ClearLevelRecord();
    m_link.pollEnabled.store(1);
    DebugOut("End thread: SynchronizeWriteThreadProc\n");
}

void Synchronizer::ReadAll() {
    m_link.queueEnabled.store(0);
    auto askIdentity = [&] {
        m_commands.SendRequest(request::ModuleName);
        m_commands.SendRequest(request::CommandSetVersion);
        if (Down())
            return false;
        m_commands.SendRequest(request::McuVersion);
        m_commands.SendRequest(request::DspVersion);
        return !Down();
    };
    if (!askIdentity())
        return;
    // A wrong model or command set is asked once more before it is believed: the first answers
    // after a connect are sometimes lost.
    if (CheckIdentity(m_store.Identity()) != IdentityCheck::Accepted && !askIdentity())
        return;
    if (CheckIdentity(m_store.Identity()) != IdentityCheck::Accepted)
        return;
    m_commands.SendRequest(request::CurrentMode);
    if (Down())
        return;
    for (int offset = 0; offset < kDeviceImageSize; offset += kImageSlice) {
        const int count = std::min(kImageSlice, kDeviceImageSize - offset);
        m_commands.ReadDeviceMemory(static_cast<uint16_t>(offset), static_cast<uint8_t>(count));
    }
    if (Down())
        return;
    m_commands.SendRequest(request::MachineSettings);
    if (Down())
        return;
    ParseDeviceImage();
    if (Down())
        return;
    m_commands.SendRequest(request::RemoteKeys);
    m_store.SetModifiedFlag(false);
    m_link.queueEnabled.store(1);
    Pause(m_pauses.end);
}

void Synchronizer::ParseDeviceImage() {
    const std::vector<uint8_t> image = m_store.ReadDeviceImage();
    const auto block = [&](size_t offset, size_t size) {
        return std::span<const uint8_t>(image).subspan(offset, size);
    };
    m_store.WriteBlock(StoreBlock::EqBandTable, block(kImageEqTableOffset, kEqBandTableBytes));
    m_store.WriteBlock(StoreBlock::PositionGainTable, block(kImagePositionGainOffset, kPositionGainTableBytes));
    m_store.WriteBlock(StoreBlock::RoomRecord, block(kImageRoomOffset, kRoomRecordSize));
    m_store.WriteBlock(StoreBlock::BassBoostRecord, block(kImageBassBoostOffset, kBassBoostRecordBytes));
    for (const uint16_t offset : DecodedRecordOffsets()) {
        if (static_cast<size_t>(offset) + 3 > image.size())
            continue;
        const uint8_t cmd = image[offset];
        const uint8_t sub = image[offset + 1];
        const size_t words = image[offset + 2];
        const size_t end = offset + 3 + 4 * words;
        if (words == 0 || end > image.size())
            continue; // a record whose words would run past the image is skipped
        DecodeParamValue(m_store, cmd, sub, std::span<const uint8_t>(image).subspan(offset + 3, 4 * words));
    }
}

void Synchronizer::WriteAll() {
    using namespace fields;
    const int volumeSaveMode = m_store.CommittedMachineSettings()[0];
    CommandEncoder& c = m_commands;
    // 1, 2: every message paced; with the volume saved per mode the masters start silent.
    m_link.queueEnabled.store(0);
    if (volumeSaveMode == 1) {
        c.SendParamFloat(1, 14, 0.0f);
        c.SendParamFloat(4, 12, 0.0f);
    }
    // 3: the bypass switches.
    c.Send(micEqBypassA);
    c.Send(reverbEqBypassA);
    c.Send(echoEqBypassA);
    c.Send(micEqBypassB);
    c.Send(reverbEqBypassB);
    c.Send(echoEqBypassB);
    c.Send(musicEqBypass);
    // 4: the outputs.
    for (int k = 0; k < kOutputChannelCount; ++k) {
        c.Send(outEqBypass, k);
        c.Send(outDelayOff, k);
        c.Send(outDelayMode, k); // resends the channel's band-split pair
        c.Send(outDelayMs, k);
        c.Send(outMixDirect, k);
        c.Send(outMixReverb, k);
        c.Send(outMixEcho, k);
        c.Send(outMixMusic, k);
        c.Send(outMute, k);
        c.Send(outPhaseInvert, k);
        c.Send(outRole, k);
        c.Send(outCompOff, k);
        c.Send(outCompThreshold, k); // the whole compressor record
        c.SendPositionGain(k);       // with the position gain table write
        c.Send(outSurroundVolume, k);
    }
    // 5: automatic level, effect volume, the mutes.
    c.Send(musicAutoThreshold);
    c.Send(musicAutoOff);
    c.Send(effectVolume);
    c.Send(micMute);
    c.SetMusicMute(m_store.Get(musicMute) != 0); // unmuted, it fades in
    c.Send(reverbMute);
    c.Send(echoMute);
    // 6: each mic goes to exactly one effect channel.
    for (int mic = 0; mic < 4; ++mic)
        c.SetMicRoute(mic, m_store.Get(micToA, mic) != 0);
    // 7: mic volumes and gates, reverb volume (its word twice), echo volume.
    for (int mic = 0; mic < 4; ++mic)
        c.Send(micVolume, mic);
    for (int mic = 0; mic < 4; ++mic)
        c.Send(micGate, mic);
    c.Send(reverbVolume);
    c.Send(echoVolume);
    // 8: the music source and its input levels.
    c.Send(hdmiInput);
    c.Send(musicSource);
    c.Send(opticalVolume);
    c.Send(spdif2Volume);
    c.Send(btVolume);
    c.Send(hdmiVolume);
    c.Send(hdmi2Volume);
    c.Send(hdmi3Volume);
    c.Send(hdmi4Volume);
    c.Send(auxVolume);
    c.Send(aux2Volume);
    // 9: the effects of channels A and B; reverb times are whole numbers on the processor.
    m_store.Set(reverbTimeA, std::trunc(m_store.Get(reverbTimeA)));
    m_store.Set(reverbTimeB, std::trunc(m_store.Get(reverbTimeB)));
    c.SetFrequencyShift(0, m_store.Get(shiftFreqA));
    c.Send(echoLevelA);
    c.Send(reverbLevelA);
    c.Send(reverbPredelayA);
    c.Send(reverbTimeA);
    c.Send(echoPredelayA);
    c.Send(echoTimeA);
    c.Send(echoStartA);
    c.Send(echoDecayA);
    c.SetFrequencyShift(1, m_store.Get(shiftFreqB));
    c.Send(echoLevelB);
    c.Send(reverbLevelB);
    c.Send(reverbPredelayB);
    c.Send(reverbTimeB);
    c.Send(echoPredelayB);
    c.Send(echoTimeB);
    c.Send(echoStartB);
    c.Send(echoDecayB);
    // 10: music extras, automatic SUB, bass boost, the music low path and the exciter.
    c.Send(musicParam21);
    c.Send(musicAgcOn);
    c.Send(musicAgcLevel);
    c.Send(musicNoiseGate);
    c.Send(autoSubOn);
    c.Send(autoSubRatio);
    c.Send(micBassBoostOn);
    c.SetBassBoostLevel(m_store.BassBoostLevel());
    c.Send(musicLowDelay);
    c.Send(musicLowGain);
    for (auto field : {exciterHarmonicGain, exciterHarmonicOrder, exciterHarmonicMix, exciterVolume})
        m_store.Set(field, std::trunc(m_store.Get(field)));
    c.Send(exciterLowGain);
    c.Send(exciterLowFreq);
    c.Send(exciterMidGain);
    c.Send(exciterMidFreq);
    c.Send(exciterHighGain);
    c.Send(exciterHighFreq);
    c.Send(exciterHarmonicGain);
    c.Send(exciterHarmonicOrder);
    c.Send(exciterHarmonicMix);
    c.Send(exciterVolume);
    c.Send(exciterEqOn);
    c.Send(exciterOn);
    // 11: the memory blocks.
    c.WriteEqTable();
    m_store.PackRoomFromFloats();
    c.WriteRoomRecord();
    c.WritePositionGains();
    // 12: every equaliser's coefficients.
    m_eq.SendAllEqCoefficients();
    // 13: with the volume saved per mode, the masters come back up gently.
    if (volumeSaveMode == 1) {
        const int mic = m_store.Get(micMasterVolume);
        if (mic >= 80) {
            for (int v = 80; v <= mic; ++v)
                c.Set(micMasterVolume, v);
        } else {
            c.Send(micMasterVolume);
        }
        const int music = m_store.Get(musicVolume);
        if (music < 70) {
            c.Send(musicVolume);
        } else {
            for (int v = 70; v <= music && !Down(); ++v) {
                c.Set(musicVolume, v);
                if (v < music)
                    Pause(m_pauses.musicFadeStep);
            }
        }
    }
    // 14: read the masters back.
    c.SendParamRead(1, 14, 1);
    c.SendParamRead(4, 12, 1);
    // 15.
    m_link.queueEnabled.store(1);
    Pause(m_pauses.end);
    m_store.SetModifiedFlag(false);
}

void Synchronizer::StorePendingMode(int mode) {
    if (mode < 0 || mode > 3)
        return;
    m_commands.SelectDeviceMode(mode);
    Pause(std::chrono::milliseconds(20));
    m_commands.SaveDeviceMode(mode);
    m_store.SetDeviceMode(mode);
}

bool Synchronizer::WaitForFlag(std::atomic<int32_t>& flag, std::chrono::milliseconds poll, int polls) {
    for (int i = 0; i < polls && !Down(); ++i) {
        if (flag.load() != 0)
            return true;
        Pause(poll);
    }
    return flag.load() != 0;
}

void Synchronizer::RequestInitData() {
    m_smartHome.nodeListReceived.store(0);
    m_commands.SendZWaveFrame(zwave::InitData, {});
}

void Synchronizer::ReadSmartHomeTables() {
    Pause(m_pauses.zwaveReadStart);
    DebugOut("ZWAVE_ReadAll\n");
    for (int node = kFirstPlugNode; node <= kLastPlugNode; ++node) {
        if (m_smartHome.NodePresent(node))
            m_commands.ReadSceneMemory(static_cast<uint16_t>(kPlugRecordSize * node), kPlugRecordSize);
    }
    Pause(m_pauses.zwaveBetween);
    for (int scene = 0; scene < kSceneCount; ++scene)
        m_commands.ReadSceneMemory(
            static_cast<uint16_t>(static_cast<int>(kSceneMemoryAddress) + kSceneRecordSize * scene), kSceneRecordSize);
}

void Synchronizer::SynchronizeReadZWAVEThreadProc() {
    // Paced like read-all: with the queue on, the reads would only be queued and the refresh below
    // would reach the window before the plug and scene data.
    const int32_t queue = m_link.queueEnabled.exchange(0);
    RequestInitData();
    const bool received =
        WaitForFlag(m_smartHome.nodeListReceived, m_pauses.zwaveNodeListPoll, m_pauses.zwaveNodeListPolls);
    if (m_smartHome.NodePresent(1)) {
        if (received) {
            ReadSmartHomeTables();
            // A read the link cut short has not read the tables.
            m_smartHome.tablesRead.store(Down() ? 0 : 1);
        }
        Pause(m_pauses.zwaveEnd);
    } else {
        m_smartHome.tablesRead.store(0);
    }
    m_link.queueEnabled.store(queue);
    if (m_events)
        m_events->OnRefresh(kRefreshSmartData, 0);
    DebugOut("End thread: SynchronizeReadZWAVEThreadProc\n");
}

void Synchronizer::SynchronizeResetThreadProc() {
    const int32_t queue = m_link.queueEnabled.exchange(0);
    // Whatever was read before, the tables are not known once the reset has begun; they are again
    // only when it went through.
    m_smartHome.tablesRead.store(0);
    m_smartHome.operationDone.store(0);
    m_smartHome.setDefaultDone.store(0);
    const uint8_t callback = kZWaveSetDefaultCallback;
    m_commands.SendZWaveFrame(zwave::SetDefault, std::span(&callback, 1));
    // Only the set-default's own answer counts: a plug's report arriving meanwhile is no reset.
    const bool reset = WaitForFlag(m_smartHome.setDefaultDone, m_pauses.zwaveDonePoll, m_pauses.zwaveDonePolls);
    m_smartHome.ClearScenes();
    const std::vector<uint8_t> empty(kSceneRecordSize, 0);
    for (int scene = 0; scene < kSceneCount; ++scene)
        m_commands.WriteSceneMemory(
            static_cast<uint16_t>(static_cast<int>(kSceneMemoryAddress) + kSceneRecordSize * scene), empty);
    RequestInitData();
    const bool received =
        WaitForFlag(m_smartHome.nodeListReceived, m_pauses.zwaveNodeListPoll, m_pauses.zwaveNodeListPolls);
    ReadSmartHomeTables();
    // A reset that went through leaves the tables read, as a plain read would.
    if (reset && received && m_smartHome.NodePresent(kZWaveControllerNode) && !Down())
        m_smartHome.tablesRead.store(1);
    Pause(m_pauses.zwaveEnd);
    m_link.queueEnabled.store(queue);
    if (m_events)
        m_events->OnRefresh(kRefreshSmartData, 0);
    DebugOut("End thread: SynchronizeResetThreadProc\n");
}

} // namespace orvex
