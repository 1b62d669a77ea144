// The editor's core against the simulated smart module, over a real loopback socket and through
// the fake HID device: the module's reports arrive by themselves and the decoder turns them into
// the events the smart-plug window acts on.

#include "link/DeviceLink.h"
#include "link/Tick.h"
#include "link/ZWaveFrames.h"
#include "sim/FakeHidDevice.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"
#include "support/CarrierLink.h"
#include "support/LinkHarness.h"

#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::test;
using namespace std::chrono_literals;

namespace {

// Records the smart-home events, and what the tables held when the refresh arrived.
class SmartEvents final : public RecordingEvents {
public:
    explicit SmartEvents(SmartHomeTables*& tables) : m_tables(tables) {}
    void OnRefresh(uint32_t w, uint32_t l) override {
        if (m_tables != nullptr) {
            std::lock_guard lock(m_mutex);
            plugAtRefresh = m_tables->Plug(2);
            tvSceneAtRefresh = m_tables->Scene(0);
            powerOffSceneAtRefresh = m_tables->Scene(5);
        }
        RecordingEvents::OnRefresh(w, l);
    }
    // Waits for the Z-Wave event with this function and lParam.
    bool WaitForZWave(uint32_t function, uint32_t lParam, std::chrono::milliseconds timeout = 5s) const {
        return Eventually(
            [&] {
                for (const Event& e : Events())
                    if (e.message == WM_DEV_ZWAVE_EVENT && e.wParam == function && e.lParam == lParam)
                        return true;
                return false;
            },
            timeout);
    }

    std::mutex m_mutex;
    PlugRecord plugAtRefresh{};
    SceneRecord tvSceneAtRefresh{};
    SceneRecord powerOffSceneAtRefresh{};

private:
    SmartHomeTables*& m_tables;
};

class SmartLinkTest : public CarrierTest {
protected:
    void Start(sim::ProcessorOptions processor = {}, int replyDelayMs = 0) {
        StartCarrier(events, processor, replyDelayMs);
        if (HasFatalFailure())
            return;
        tables = &link->SmartHome();
        link->Replies().SetZWaveAckPause(0ms);
    }

    void TearDown() override {
        tables = nullptr;
        CarrierTest::TearDown();
    }

    void Frame(uint8_t function, std::vector<uint8_t> parameters) {
        link->Commands().SendZWaveFrame(function, parameters);
    }

    bool ReadSmartHome() {
        events.Clear();
        if (!link->Sync().StartReadZWave())
            return false;
        const bool done = events.WaitFor(WM_DEV_REFRESH, 10s);
        link->Sync().Join();
        return done;
    }

    SmartHomeTables* tables = nullptr;
    SmartEvents events{tables};
};

constexpr uint32_t Event(int node, int status) {
    return static_cast<uint32_t>(node) << 16 | static_cast<uint32_t>(status);
}

TEST_P(SmartLinkTest, AddingAPlugIsAnExclusionAndAnInclusionEachEndedByItsButton) {
    Start();
    ASSERT_TRUE(ReadSmartHome());
    tables->SetPendingPlug(MakePlugRecord(kPlugTypeDimmer, u"Reading lamp"));
    tables->addInProgress.store(1);

    Frame(zwave::RemoveNode, {0x01, 0x09});
    ASSERT_TRUE(events.WaitForZWave(zwave::RemoveNode, 1));
    ASSERT_TRUE(model->PressPlugButton()); // the new plug, outside any network
    ASSERT_TRUE(events.WaitForZWave(zwave::RemoveNode, Event(0, 6)));
    Frame(zwave::RemoveNode, {0x05});
    Frame(zwave::AddNode, {0x01, 0x30});
    ASSERT_TRUE(events.WaitForZWave(zwave::AddNode, 1));
    ASSERT_TRUE(model->PressPlugButton(0, sim::PlugKind::Dimmer));
    ASSERT_TRUE(events.WaitForZWave(zwave::AddNode, 2));
    ASSERT_TRUE(events.WaitForZWave(zwave::AddNode, Event(5, 5)));

    // The decoder adopted the pending record for the new node, which the module now lists.
    EXPECT_TRUE(tables->NodePresent(5));
    EXPECT_EQ(PlugRecordName(tables->Plug(5)), u"Reading lamp");
    EXPECT_TRUE(model->SmartNodePresent(5));
    // Exactly these events, in order: nothing from the stop.
    std::vector<std::pair<uint32_t, uint32_t>> zwaveEvents;
    for (const auto& e : events.Events())
        if (e.message == WM_DEV_ZWAVE_EVENT)
            zwaveEvents.emplace_back(e.wParam, e.lParam);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {0x4B, 1}, {0x4B, Event(0, 6)}, {0x4A, 1}, {0x4A, 2}, {0x4A, Event(5, 5)}};
    EXPECT_EQ(zwaveEvents, expected);
}

TEST_P(SmartLinkTest, SetValuesAreConfirmedByTheirCallbacks) {
    Start();
    ASSERT_TRUE(ReadSmartHome());
    tables->operationDone.store(0);
    Frame(zwave::SendData, ZWaveSetValueParameters(3, 42));
    ASSERT_TRUE(events.WaitForZWave(zwave::SendData, Event(zwave::CallbackValue, 0)));
    EXPECT_EQ(tables->operationDone.load(), 1);
    EXPECT_EQ(model->SmartNodeValue(3), 42);
    // An infrared key: its callback leaves the command open until the plug reports.
    tables->operationDone.store(0);
    Frame(zwave::SendData, ZWaveSetValueParameters(4, 0x81));
    ASSERT_TRUE(events.WaitForZWave(zwave::ApplicationCommand, Event(4, 6)));
    EXPECT_EQ(tables->operationDone.load(), 1);
}

TEST_P(SmartLinkTest, TheRemoteIsLearnedThroughReplySixty) {
    sim::ProcessorOptions options;
    options.smart.remotePressAfterMs = 50;
    Start(options);
    link->Commands().SendRequest(0x60, 9);
    ASSERT_TRUE(events.WaitFor(WM_DEV_REMOTE_KEY, 5s));
    EXPECT_EQ(events.Events().back().wParam, 0x39u);
    EXPECT_EQ(store.GetRemoteKeyRecord()[9], 0x39);
}

TEST_P(SmartLinkTest, AResetLeavesTheControllerAloneAndReadsTheEmptyTablesBeforeItsRefresh) {
    Start({}, 20);
    ASSERT_TRUE(ReadSmartHome());
    ASSERT_EQ(PlugRecordName(tables->Plug(2)), u"Floor lamp");
    events.Clear();
    tables->tablesRead.store(0); // a read that failed before does not outlast a reset that works
    ASSERT_TRUE(link->Sync().StartResetZWave());
    ASSERT_TRUE(events.WaitFor(WM_DEV_REFRESH, 10s));
    link->Sync().Join();
    EXPECT_EQ(tables->tablesRead.load(), 1);
    EXPECT_EQ(tables->PresentNodes(), std::vector<int>{1});
    EXPECT_FALSE(model->SmartNodePresent(2));
    std::lock_guard lock(events.m_mutex);
    EXPECT_EQ(events.powerOffSceneAtRefresh, SceneRecord{});
    EXPECT_EQ(link->State().queueEnabled.load(), 1);
}

TEST_P(SmartLinkTest, WithoutTheModuleTheSmartHomeReadEndsUnread) {
    sim::ProcessorOptions options;
    options.smartModule = false;
    Start(options);
    Synchronizer::Pauses pauses;
    pauses.zwaveNodeListPolls = 10; // 300 ms instead of 6 s
    link->Sync().SetPauses(pauses);
    ASSERT_TRUE(ReadSmartHome());
    EXPECT_EQ(tables->tablesRead.load(), 0);
    EXPECT_FALSE(tables->NodePresent(1));
    const auto refresh = events.Events().back();
    EXPECT_EQ(refresh.wParam, kRefreshSmartData);
    EXPECT_EQ(refresh.lParam, 0u);
}

INSTANTIATE_TEST_SUITE_P(Carriers, SmartLinkTest, ::testing::Values(Carrier::Tcp, Carrier::Usb));

// Over TCP only: the write queue and its pacing.
class SmartTcpTest : public SmartLinkTest {};

TEST_P(SmartTcpTest, TheAcknowledgeOfAModuleFrameNeverHoldsTheQueue) {
    Start();
    ASSERT_EQ(link->State().queueEnabled.load(), 1);
    // The decoder acknowledges the callback through the queue; the module answers nothing to that.
    Frame(zwave::SendData, ZWaveSetValueParameters(2, 0xFF));
    ASSERT_TRUE(events.WaitForZWave(zwave::SendData, Event(zwave::CallbackValue, 0)));
    ASSERT_TRUE(Eventually([&] {
        for (const auto& m : host->Received())
            if (m.payload == std::vector<uint8_t>{0x80, 0x06})
                return true;
        return false;
    }));
    // Counted before the send: a fast link delivers the request before a count taken afterwards.
    const size_t before = host->ReceivedCount();
    const auto sent = std::chrono::steady_clock::now();
    link->Commands().SendRequest(0x07);
    ASSERT_TRUE(host->WaitForMessages(before + 1, 5s));
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s) << "held behind an acknowledge nobody answers";
}

TEST_P(SmartTcpTest, TheSmartHomeReadIsPacedSoItsRefreshComesAfterTheData) {
    Start({}, 30); // every reply 30 ms late: nine queued reads would outlast the closing pause
    ASSERT_TRUE(ReadSmartHome());
    std::lock_guard lock(events.m_mutex);
    EXPECT_EQ(PlugRecordName(events.plugAtRefresh), u"Floor lamp");
    EXPECT_EQ(events.tvSceneAtRefresh[0], 2);
    EXPECT_EQ(events.tvSceneAtRefresh[9], 1) << "the HDMI command, the last pair of the TV scene";
    EXPECT_EQ(events.powerOffSceneAtRefresh[0], 4) << "the last table read";
    EXPECT_EQ(link->State().queueEnabled.load(), 1) << "the queue is back on afterwards";
}

TEST_P(SmartTcpTest, TheTablesReadMarkLastsOneLink) {
    Start();
    ASSERT_TRUE(ReadSmartHome());
    EXPECT_EQ(tables->tablesRead.load(), 1);
    link->CloseLink();
    EXPECT_EQ(tables->tablesRead.load(), 0);
    tables->tablesRead.store(1);
    ASSERT_TRUE(link->TcpConnect("127.0.0.1", host->Port()));
    EXPECT_EQ(tables->tablesRead.load(), 0) << "a new link has read nothing";
}

INSTANTIATE_TEST_SUITE_P(Tcp, SmartTcpTest, ::testing::Values(Carrier::Tcp));

} // namespace
