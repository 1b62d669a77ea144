#include "link/Synchronizer.h"

#include "link/DeviceLink.h"
#include "link/UsbTransport.h"
#include "model/ModeFile.h"
#include "model/StoreFields.h"
#include "sim/FakeHidDevice.h"
#include "support/CarrierLink.h"
#include "support/Hex.h"
#include "support/LinkHarness.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <future>
#include <random>

using namespace orvex;
using namespace orvex::test;
using namespace std::chrono_literals;

namespace {

// The editor's core wired as the application wires it, reaching a simulated processor over a
// real loopback socket or through the fake HID device.
class SyncTest : public CarrierTest {
protected:
    void Start(sim::ProcessorOptions processor = {}, int replyDelayMs = 0) {
        StartCarrier(events, processor, replyDelayMs);
    }

    // Every body the processor received, in order (the carrier prefix or report number removed;
    // a USB report keeps its zero padding).
    std::vector<std::vector<uint8_t>> Received() const {
        std::vector<std::vector<uint8_t>> out;
        if (host) {
            for (const auto& m : host->Received())
                out.emplace_back(m.payload.begin() + 1, m.payload.end());
        } else {
            for (const auto& r : backend->Written(kUsbPath))
                out.emplace_back(r.report.begin() + 1, r.report.end());
        }
        return out;
    }

    int CountCode(uint8_t code) const {
        int n = 0;
        for (const auto& body : Received())
            n += !body.empty() && body[0] == code ? 1 : 0;
        return n;
    }

    bool RunReadAll() {
        if (!link->Sync().StartReadAll())
            return false;
        const bool done = events.WaitFor(WM_DEV_SYNC_DONE, 20s);
        link->Sync().Join(); // the thread restores the poll flag after posting its end
        return done;
    }

    RecordingEvents events;
};

TEST_P(SyncTest, ReadAllCopiesTheProcessorIntoTheStore) {
    Start();
    store.ResetStoreDefaults();
    store.SetModifiedFlag(true);
    ASSERT_TRUE(RunReadAll());
    const auto done = events.Events();
    ASSERT_EQ(done.back().message, WM_DEV_SYNC_DONE);
    EXPECT_EQ(done.back().wParam, 0u);

    const DeviceIdentity identity = store.Identity();
    EXPECT_EQ(identity.moduleName, "Calyxon");
    EXPECT_EQ(identity.commandSetVersion, 18);
    EXPECT_EQ(CheckIdentity(identity), IdentityCheck::Accepted);
    // 4 identity requests, the mode, 59 image slices, the settings and the remote keys.
    EXPECT_EQ(CountCode(0x30), 59);
    EXPECT_EQ(Received().size(), 66u);

    const auto memory = model->Memory();
    EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + 1307, store.ReadDeviceImage().begin()));
    const auto eqTable = store.ReadBlock(StoreBlock::EqBandTable);
    EXPECT_TRUE(std::equal(eqTable.begin(), eqTable.end(), memory.begin()));
    // The processor's factory values, decoded from its parameter records.
    EXPECT_EQ(store.Get(fields::micVolume, 0), 80);
    EXPECT_EQ(store.Get(fields::echoTimeA), 217.0f);
    EXPECT_EQ(store.Get(fields::musicSource), 2);
    EXPECT_EQ(store.Get(fields::outRole, 3), 4);
    EXPECT_EQ(store.Get(fields::outCompOff, 7), 1);
    EXPECT_EQ(store.Get(fields::micMute), 0);
    EXPECT_EQ(store.CommittedMachineSettings(), model->MachineSettings());
    EXPECT_FALSE(store.ModifiedFlag());
    EXPECT_EQ(link->State().queueEnabled.load(), 1);
    EXPECT_EQ(link->State().pollEnabled.load(), 1);
    // What the read brought in is its own answers, not changes the processor made by itself.
    EXPECT_EQ(events.Count(kStoreReportedEvent), 0);
    EXPECT_EQ(link->State().sequenceRunning.load(), 0);
}

TEST_P(SyncTest, AnotherModelIsAskedTwiceThenLeftAlone) {
    sim::ProcessorOptions other;
    other.moduleName = "Zephyr";
    Start(other);
    ASSERT_TRUE(RunReadAll());
    EXPECT_EQ(CountCode(0x80), 2);
    EXPECT_EQ(CountCode(0x7F), 2);
    EXPECT_EQ(CountCode(0x30), 0) << "nothing is read from a processor of another model";
    EXPECT_EQ(CheckIdentity(store.Identity()), IdentityCheck::WrongModel);
    EXPECT_EQ(link->State().queueEnabled.load(), 0) << "the queue stays off until a sequence completes";
}

TEST_P(SyncTest, AnotherCommandSetIsRejected) {
    sim::ProcessorOptions older;
    older.commandSetVersion = 17;
    Start(older);
    ASSERT_TRUE(RunReadAll());
    EXPECT_EQ(CountCode(0x7F), 2);
    EXPECT_EQ(CheckIdentity(store.Identity()), IdentityCheck::WrongVersion);
}

// Fills every field the processor's memory can hold with a random value it can represent.
void RandomiseStore(ParameterStore& store, std::mt19937& rng) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (const StoreField& field : StoreFields()) {
        for (int i = 0; i < field.count; ++i) {
            const int slot = field.slot + i;
            const int lo = static_cast<int>(field.minValue), hi = static_cast<int>(field.maxValue);
            int value = pick(lo, hi);
            if (field.kind == FieldKind::Milliseconds)
                value = pick(std::max(lo, 2), hi); // above every clamp, whole ms survive samples
            if (field.kind == FieldKind::Ratio)
                value = pick(1, 20);
            if (field.type == FieldType::Float)
                store.SetSlotFloat(slot, static_cast<float>(value));
            else
                store.SetSlotInt(slot, value);
        }
    }
    for (int mic = 0; mic < 4; ++mic) {
        const bool toA = pick(0, 1) == 1;
        store.Set(fields::micToA, mic, toA ? 100 : 0);
        store.Set(fields::micToB, mic, toA ? 0 : 100);
    }
    store.Set(fields::shiftOffA, store.Get(fields::shiftFreqA) == 1 ? 1 : 0);
    store.Set(fields::shiftOffB, store.Get(fields::shiftFreqB) == 1 ? 1 : 0);
    for (int record = 0; record < kEqRecordCount; ++record)
        store.SetEqBand(record, {static_cast<float>(pick(0, 300)) / 10.0f - 15.0f, pick(20, 20000),
                                 static_cast<float>(pick(100, 30000)) / 1000.0f, pick(1, 5)});
    for (int k = 0; k < 8; ++k)
        store.SetPositionGain(k, static_cast<float>(pick(-200, 60)) / 10.0f);
    RoomGeometry room;
    room.width = pick(2, 12);
    room.length = pick(2, 12);
    room.listener = {static_cast<float>(pick(-127, 127)) / 10.0f, static_cast<float>(pick(-127, 127)) / 10.0f};
    for (auto& speaker : room.speakers)
        speaker = {static_cast<float>(pick(-127, 127)) / 10.0f, static_cast<float>(pick(-127, 127)) / 10.0f};
    store.SetRoom(room);
    store.SetBassBoostLevel(static_cast<float>(pick(0, 12)));
}

TEST_P(SyncTest, WriteAllThenReadAllReproducesEveryFieldTheMemoryHolds) {
    Start();
    ASSERT_TRUE(RunReadAll());
    std::mt19937 rng(20261209);
    for (int round = 0; round < 2; ++round) {
        RandomiseStore(store, rng);
        link->Sync().WriteAll();
        std::vector<uint32_t> written(kParamSlotCount);
        for (int slot = 0; slot < kParamSlotCount; ++slot)
            written[slot] = store.GetSlotWord(slot);
        std::vector<std::vector<uint8_t>> blocks;
        for (StoreBlock block : kModeFileBlocks)
            blocks.push_back(store.ReadBlock(block));

        store.ResetStoreDefaults();
        link->Sync().ReadAll();

        for (size_t b = 1; b < blocks.size(); ++b)
            EXPECT_EQ(store.ReadBlock(kModeFileBlocks[b]), blocks[b]) << "block " << b + 1;
        for (const StoreField& field : StoreFields()) {
            for (int i = 0; i < field.count; ++i) {
                const int slot = field.slot + i;
                if (slot == fields::micBassBoostOnCopy.slot)
                    continue; // a setter-only copy
                const std::string where = std::string(field.name) + "[" + std::to_string(i) + "]";
                if (field.type == FieldType::Int) {
                    const int expected = static_cast<int32_t>(written[slot]);
                    // A gate travels as slot / 10000 in a float; the read-back truncates.
                    const int tolerance = field.kind == FieldKind::Integer && field.maxValue == 10000 ? 1 : 0;
                    EXPECT_NEAR(store.GetSlotInt(slot), expected, tolerance) << where;
                } else {
                    const float expected = std::bit_cast<float>(written[slot]);
                    EXPECT_NEAR(store.GetSlotFloat(slot), expected, 0.006 + std::fabs(expected) * 1e-4) << where;
                }
            }
        }
    }
}

TEST_P(SyncTest, WriteAllFadesTheMusicInWhenVolumesAreSavedWithTheMode) {
    Start();
    auto settings = model->MachineSettings();
    settings[0] = 1; // volume save mode
    model->SetMachineSettings(settings);
    ASSERT_TRUE(RunReadAll());
    store.Set(fields::musicVolume, 85);
    store.Set(fields::micMasterVolume, 50);
    if (host)
        host->ClearReceived();
    const size_t before = Received().size();
    link->Sync().WriteAll();
    const auto all = Received();
    std::vector<std::vector<uint8_t>> sent(all.begin() + static_cast<long>(before), all.end());

    // It starts with both masters silent.
    EXPECT_EQ(ToHex(std::span(sent[0]).first(9)), "09 00 01 0E 01 00 00 00 00");
    EXPECT_EQ(ToHex(std::span(sent[1]).first(9)), "09 00 04 0C 01 00 00 00 00");
    // And ends with 16 music steps, 0.70 .. 0.85, then the two read-backs.
    std::vector<float> steps;
    std::vector<std::chrono::steady_clock::time_point> times;
    const auto timed = host ? host->Received() : std::vector<sim::ReceivedMessage>{};
    for (size_t i = 0; i < sent.size(); ++i) {
        const auto& b = sent[i];
        if (b.size() >= 9 && b[0] == 0x09 && b[2] == 4 && b[3] == 12) {
            const uint32_t w = uint32_t(b[5]) << 24 | uint32_t(b[6]) << 16 | uint32_t(b[7]) << 8 | b[8];
            steps.push_back(std::bit_cast<float>(w));
        }
    }
    ASSERT_GE(steps.size(), 17u);
    std::vector<float> fade(steps.end() - 16, steps.end());
    EXPECT_NEAR(fade.front(), 0.70f, 0.001f);
    EXPECT_NEAR(fade.back(), 0.85f, 0.001f);
    for (size_t i = 1; i < fade.size(); ++i)
        EXPECT_NEAR(fade[i] - fade[i - 1], 0.01f, 0.0005f);
    const auto& last = sent[sent.size() - 2];
    EXPECT_EQ(ToHex(std::span(last).first(5)), "0A 00 01 0E 01");
    EXPECT_EQ(ToHex(std::span(sent.back()).first(5)), "0A 00 04 0C 01");
    if (host) {
        // 100 ms between music steps.
        std::vector<std::chrono::steady_clock::time_point> at;
        for (const auto& m : timed)
            if (m.payload.size() >= 10 && m.payload[1] == 0x09 && m.payload[3] == 4 && m.payload[4] == 12)
                at.push_back(m.at);
        ASSERT_GE(at.size(), 16u);
        for (size_t i = at.size() - 15; i < at.size(); ++i)
            EXPECT_GE(MsBetween(at[i - 1], at[i]), 90.0);
    }
}

TEST_P(SyncTest, LinkDroppingDuringReadAllStillEndsItQuickly) {
    Start({}, 5); // replies slow enough that the drop lands in the middle of the image reads
    std::thread unplug;
    if (host) {
        host->SetCloseAfter(20);
    } else {
        unplug = std::thread([this] {
            backend->WaitForWrites(kUsbPath, 20, 5s);
            backend->Unplug(kUsbPath);
        });
    }
    const auto start = std::chrono::steady_clock::now();
    const bool done = RunReadAll();
    if (unplug.joinable())
        unplug.join(); // it must not outlive the backend it unplugs
    ASSERT_TRUE(done);
    EXPECT_LT(MsBetween(start, std::chrono::steady_clock::now()), 3000.0);
    EXPECT_LT(CountCode(0x30), 59);
}

TEST_P(SyncTest, ALinkDroppingDuringTheMusicFadeEndsWriteAllAtOnce) {
    // The fade's pauses went on after the link had gone: write-all held its thread (and the
    // synchronisation dialog) for every remaining step.
    Start();
    auto settings = model->MachineSettings();
    settings[0] = 1; // volume save mode: the music fades in step by step
    model->SetMachineSettings(settings);
    ASSERT_TRUE(RunReadAll());
    store.Set(fields::musicVolume, 100);
    Synchronizer::Pauses pauses;
    pauses.musicFadeStep = 60s;
    link->Sync().SetPauses(pauses);
    events.Clear();
    const size_t before = Received().size();
    auto musicWrites = [&] {
        int n = 0;
        const auto all = Received();
        for (size_t i = before; i < all.size(); ++i)
            n += all[i].size() >= 4 && all[i][0] == 0x09 && all[i][2] == 4 && all[i][3] == 12 ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(link->Sync().StartWriteAll());
    ASSERT_TRUE(Eventually([&] { return musicWrites() >= 2; }, 20s)) << "silent start, then the first fade step";
    if (host)
        host->Disconnect();
    else
        backend->Unplug(kUsbPath);
    EXPECT_TRUE(events.WaitFor(WM_DEV_SYNC_DONE, 10s)) << "a 60 s step outlived the link";
    link->Sync().Join();
    EXPECT_EQ(musicWrites(), 2);
}

TEST_P(SyncTest, ALinkDroppingDuringTheOpeningPauseEndsReadAllAtOnce) {
    Start();
    Synchronizer::Pauses pauses;
    pauses.start = 60s;
    link->Sync().SetPauses(pauses);
    if (host) {
        ASSERT_TRUE(Eventually([&] { return host->ClientConnected(); }))
            << "the host drops only a connection it has taken";
    }
    ASSERT_TRUE(link->Sync().StartReadAll());
    if (host)
        host->Disconnect();
    else
        backend->Unplug(kUsbPath);
    EXPECT_TRUE(events.WaitFor(WM_DEV_SYNC_DONE, 10s));
    link->Sync().Join();
    EXPECT_EQ(CountCode(0x80), 0) << "nothing was asked of a processor that had gone";
}

TEST_P(SyncTest, LoadingADeviceModeMakesTheProcessorAskForARead) {
    Start();
    ASSERT_TRUE(RunReadAll());
    EXPECT_EQ(store.Get(fields::musicVolume), 75) << "the factory working parameters";
    events.Clear();
    link->Commands().LoadDeviceMode(2);
    // The processor answers 05; the decoder starts read-all on its own.
    ASSERT_TRUE(events.WaitFor(WM_DEV_SYNC_DONE, 20s));
    link->Sync().Join();
    EXPECT_EQ(store.DeviceMode(), 2);
    EXPECT_EQ(store.Get(fields::musicVolume), 60);
    EXPECT_EQ(store.Get(fields::micMasterVolume), 80);

    // Resetting the current memory brings the factory parameters back, again through 06 and read-all.
    events.Clear();
    link->Commands().ResetDeviceMode(2);
    ASSERT_TRUE(events.WaitFor(WM_DEV_SYNC_DONE, 20s));
    link->Sync().Join();
    EXPECT_EQ(store.Get(fields::musicVolume), 75);
}

TEST_P(SyncTest, SavingIntoADeviceModeKeepsTheWorkingParameters) {
    Start();
    ASSERT_TRUE(RunReadAll());
    link->State().queueEnabled.store(0); // paced, so the change has landed before the save
    link->Commands().Set(fields::echoLevelA, 33);
    link->Commands().SaveDeviceMode(3);
    link->Commands().SendRequest(0x07);
    const auto saved = model->ModeMemory(3);
    EXPECT_EQ(saved, model->Memory());
}

TEST_P(SyncTest, AFileNamedAfterAMemoryIsStoredIntoItAfterWriteAll) {
    Start();
    ASSERT_TRUE(RunReadAll());
    // The folder was left behind whenever an assertion ended the test early.
    const TempDir dir("orvex-sync");
    const auto path = dir.Path() / "M2 movie night.kvom";
    ASSERT_TRUE(SaveModeFile(path, store).ok());
    ASSERT_TRUE(LoadModeFile(path, store).ok());
    const int pending = PendingModeFromFileTitle(path.stem().string());
    EXPECT_EQ(pending, 1);
    link->Sync().WriteAll();
    link->Sync().StorePendingMode(pending);
    link->Commands().SendRequest(0x07);
    ASSERT_TRUE(Eventually([&] { return !Received().empty() && Received().back()[0] == 0x07; }));
    const auto sent = Received();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(ToHex(std::span(sent[sent.size() - 3]).first(2)), "03 01");
    EXPECT_EQ(ToHex(std::span(sent[sent.size() - 2]).first(2)), "04 01");
    EXPECT_EQ(model->CurrentMode(), 1);
}

TEST_P(SyncTest, AChangeOnTheProcessorMarksTheEditorModified) {
    Start();
    ASSERT_TRUE(RunReadAll());
    EXPECT_FALSE(store.ModifiedFlag());
    const uint32_t half = std::bit_cast<uint32_t>(0.5f);
    const auto notice = model->FrontPanelChange(4, 12, std::span(&half, 1));
    if (host)
        host->SendUnsolicited(notice);
    else
        backend->SendUnsolicited(kUsbPath, notice);
    EXPECT_TRUE(Eventually([&] { return store.ModifiedFlag(); }));
}

TEST_P(SyncTest, SmartHomeTablesAreReadForThePresentNodes) {
    Start();
    ASSERT_TRUE(RunReadAll());
    link->Sync().SetPauses({});
    events.Clear();
    ASSERT_TRUE(link->Sync().StartReadZWave());
    ASSERT_TRUE(events.WaitFor(WM_DEV_REFRESH, 10s));
    link->Sync().Join();
    EXPECT_EQ(link->SmartHome().tablesRead.load(), 1);
    EXPECT_EQ(link->SmartHome().PresentNodes(), (std::vector<int>{1, 2, 3, 4}));
    // Plug records of nodes 2, 3 and 4 (28 bytes at 28 n), then the six scenes.
    std::vector<std::string> reads;
    ASSERT_TRUE(Eventually([&] { return CountCode(0x14) >= 9; }));
    for (const auto& body : Received())
        if (!body.empty() && body[0] == 0x14)
            reads.push_back(ToHex(std::span(body).first(4)));
    EXPECT_EQ(reads,
              (std::vector<std::string>{"14 00 38 1C", "14 00 54 1C", "14 00 70 1C", "14 19 7C 38", "14 19 B4 38",
                                        "14 19 EC 38", "14 1A 24 38", "14 1A 5C 38", "14 1A 94 38"}));
}

// Holds the end-of-synchronisation notice until released, as a user interface that never takes
// the message would.
class HeldEvents final : public LinkEvents {
public:
    void OnSyncDone(uint32_t) override {
        std::unique_lock lock(m_mutex);
        m_held = true;
        m_cv.notify_all();
        m_cv.wait(lock, [&] { return m_released; });
    }
    bool WaitUntilHeld(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, timeout, [&] { return m_held; });
    }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_held = false;
    bool m_released = false;
};

// Lets a held sink go when a test leaves, early or not, before the link that waits for its sequence.
struct ReleaseOnExit {
    HeldEvents& events;
    ~ReleaseOnExit() { events.Release(); }
};

TEST(SynchronizerShutdown, ASequenceThatCannotEndIsLeftStoppedAfterTheLimit) {
    // Shutdown joined the sequence without a bound: a sequence held by its event sink hung the exit.
    // The limit runs on the tick: not a tick before it, not a tick after.
    ManualClock clock;
    ParameterStore store;
    HeldEvents events;
    DeviceLink link(store, &events);
    ReleaseOnExit release{events};
    link.SetSequenceExitLimit(500ms);
    ASSERT_TRUE(link.Sync().StartReadAll()); // no link: it ends at once, in the held notice
    ASSERT_TRUE(events.WaitUntilHeld(5s));

    std::atomic<std::thread::id> caller;
    auto shutdown = std::async(std::launch::async, [&] {
        caller.store(std::this_thread::get_id());
        return link.Shutdown();
    });
    ClockThaw thaw(clock);
    ASSERT_TRUE(Eventually([&] { return clock.ReadsBy(caller.load()) >= 1; })) << "the wait has begun";
    clock.Advance(499);
    ASSERT_TRUE(clock.WaitForReadsBy(caller.load(), clock.ReadsBy(caller.load()), 2));
    EXPECT_EQ(shutdown.wait_for(0s), std::future_status::timeout) << "returned before the limit";
    clock.Advance(1);
    ASSERT_EQ(shutdown.wait_for(5s), std::future_status::ready) << "waited past the limit";
    EXPECT_FALSE(shutdown.get()) << "and says that it left one running";
    EXPECT_TRUE(link.Sync().Running());
    EXPECT_FALSE(link.Sync().StartReadAll()) << "no second sequence beside the held one";

    events.Release();
    EXPECT_TRUE(Eventually([&] { return !link.Sync().Running(); }, 5s));
    EXPECT_TRUE(link.Sync().StartReadAll()) << "once it has ended, a sequence starts again";
    link.Sync().Join();
}

TEST(SynchronizerShutdown, TheLinkAndTheStoreOutliveASequenceThatOverranTheLimit) {
    // The overrunning sequence was detached and went on with the store and the link that the
    // destructor then freed (AddressSanitizer reports the use; here the order of the two shows it).
    auto store = std::make_unique<ParameterStore>();
    HeldEvents events;
    auto link = std::make_unique<DeviceLink>(*store, &events);
    link->SetSequenceExitLimit(0ms);
    ASSERT_TRUE(link->Sync().StartReadAll());
    ASSERT_TRUE(events.WaitUntilHeld(5s));
    EXPECT_FALSE(link->Shutdown());

    std::atomic<bool> released{false};
    auto destroy = std::async(std::launch::async, [&] {
        link.reset();
        store.reset();
        return released.load();
    });
    // Give a destructor that does not wait the time to finish before the sequence is let go.
    destroy.wait_for(200ms);
    released.store(true);
    events.Release();
    ASSERT_EQ(destroy.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(destroy.get()) << "the link was freed while its sequence still ran";
}

TEST(SynchronizerShutdown, AStoppedSequenceSendsNothingOnTheNextLink) {
    // Shutdown cleared its stop right after giving up on the sequence, which then ran on and sent a
    // whole read-all down the link the editor had made since.
    sim::ProcessorModel model;
    sim::HostOptions options;
    options.port = 0;
    sim::NetworkHost host(model, options);
    ASSERT_TRUE(host.Start());
    ParameterStore store;
    RecordingEvents events;
    DeviceLink link(store, &events);
    ASSERT_TRUE(link.TcpConnect("127.0.0.1", host.Port()));
    ASSERT_TRUE(Eventually([&] { return host.ClientConnected(); }));

    // The start pause is held in its first slice until the test lets it go.
    std::promise<void> let;
    std::shared_future<void> go = let.get_future().share();
    std::atomic<bool> holding{false};
    link.Sync().SetSleepFunction([&, go](std::chrono::milliseconds) {
        holding.store(true);
        go.wait();
    });
    struct LetGo {
        std::promise<void>& let;
        ~LetGo() {
            try {
                let.set_value();
            } catch (const std::future_error&) {
            }
        }
    } letGo{let};
    ASSERT_TRUE(link.Sync().StartReadAll());
    ASSERT_TRUE(Eventually([&] { return holding.load(); }));
    link.SetSequenceExitLimit(0ms);
    EXPECT_FALSE(link.Shutdown());

    ASSERT_TRUE(Eventually([&] { return !host.ClientConnected(); }));
    ASSERT_TRUE(link.TcpConnect("127.0.0.1", host.Port()));
    ASSERT_TRUE(Eventually([&] { return host.ClientConnected(); }));
    const size_t before = host.ReceivedCount();
    let.set_value();
    ASSERT_TRUE(Eventually([&] { return !link.Sync().Running(); }, 5s));
    link.State().queueEnabled.store(0);
    link.Commands().SendRequest(request::CurrentMode); // a marker: everything before it is in
    ASSERT_TRUE(host.WaitForMessages(before + 1, 3s));
    const auto received = host.Received();
    ASSERT_EQ(received.size(), before + 1) << "the stopped sequence sent on the new link";
    EXPECT_EQ(ToHex(received.back().payload), "81 07");
    link.Tcp().Shutdown();
    host.Stop();
}

TEST(SynchronizerShutdown, EndsASequenceInALongPauseAndJoinsIt) {
    ParameterStore store;
    RecordingEvents events;
    DeviceLink link(store, &events);
    Synchronizer::Pauses pauses;
    pauses.start = 60s;
    link.Sync().SetPauses(pauses);
    link.State().linkConnected.store(1); // as if a link were up: only the shutdown ends the pause
    ASSERT_TRUE(link.Sync().StartReadAll());
    auto shutdown = std::async(std::launch::async, [&] { return link.Sync().Shutdown(5s); });
    ASSERT_EQ(shutdown.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(shutdown.get()) << "the sequence ended and was joined";
    EXPECT_FALSE(link.Sync().Running());
    EXPECT_EQ(events.Count(WM_DEV_SYNC_DONE), 1);
    link.State().linkConnected.store(0);
    events.Clear();
    EXPECT_TRUE(link.Sync().StartReadAll()) << "a later link can synchronise again";
    EXPECT_TRUE(events.WaitFor(WM_DEV_SYNC_DONE, 5s));
    link.Sync().Join();
}

INSTANTIATE_TEST_SUITE_P(Carriers, SyncTest, ::testing::Values(Carrier::Tcp, Carrier::Usb),
                         [](const auto& paramInfo) { return paramInfo.param == Carrier::Tcp ? "Tcp" : "Usb"; });

} // namespace
