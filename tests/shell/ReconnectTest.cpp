#include "SimFixture.h"

#include "shell/AppSettings.h"
#include "link/DeviceSession.h"
#include "shell/MainFrame.h"
#include "shell/Reconnector.h"
#include "link/RecordingSender.h"
#include "model/EqPaths.h"
#include "support/Hex.h"

#include <QCheckBox>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <set>
#include <string>
#include <thread>

namespace orvex::test {
namespace {

class ReconnectTest : public SimShellTest {
protected:
    void StartWithShortSchedule() {
        StartConnected();
        app->Reconnector().SetDelaysMs({60, 120, 240});
    }

    // The host goes away and a new one listens on the same loopback port.
    void RestartHost(sim::HostOptions options = {}) {
        const uint16_t port = host->Port();
        host->Stop();
        host.reset();
        options.address = "127.0.0.1";
        options.port = port;
        options.heartbeatMs = 100;
        host = std::make_unique<sim::NetworkHost>(*model, options);
        std::string error;
        ASSERT_TRUE(host->Start(&error)) << error;
    }

    int OfflineQuestions() const {
        return static_cast<int>(std::count_if(boxes.begin(), boxes.end(), [](const MessageBoxRequest& r) {
            return r.text.contains(QString::fromUtf8("要把这些修改发送到机器吗"));
        }));
    }

    QString LinkPaneText() const {
        Frame()->UpdateCommandUI();
        return Frame()->LinkPane()->text();
    }
};

TEST_F(ReconnectTest, AHostThatGoesAwayAndComesBackIsReopenedAndReadInFull) {
    StartWithShortSchedule();
    const uint16_t port = host->Port();
    host->Stop();
    ASSERT_TRUE(PumpUntil([&] { return app->Reconnector().IsActive(); }, 2000));
    EXPECT_TRUE(LinkPaneText().contains(QString::fromUtf8("秒后重新连接")));
    // A few attempts fail against the closed port; the countdown goes on.
    ASSERT_TRUE(PumpUntil([&] { return app->Reconnector().Attempts() >= 2; }, 3000));
    EXPECT_FALSE(app->Session().IsConnected());

    sim::HostOptions options;
    options.address = "127.0.0.1";
    options.port = port;
    options.heartbeatMs = 100;
    host = std::make_unique<sim::NetworkHost>(*model, options);
    std::string error;
    ASSERT_TRUE(host->Start(&error)) << error;
    ASSERT_TRUE(PumpUntil([&] { return app->Session().IsConnected(); }, 4000));
    // Read exactly as a first connect: the whole parameter image is asked for again.
    EXPECT_TRUE(PumpUntil([&] { return !host->Received().empty(); }, 2000));
    EXPECT_FALSE(app->Reconnector().IsActive());
    EXPECT_FALSE(LinkPaneText().contains(QString::fromUtf8("秒后重新连接")));
}

TEST_F(ReconnectTest, AnAttemptUnderWaySaysSoRatherThanCountingDownToNothing) {
    StartWithShortSchedule();
    std::atomic<bool> release{false};
    std::atomic<int> held{0};
    // A host that does not answer: the attempt hangs in its connect until the test lets it fail.
    app->Session().Link().Tcp().SetConnectGate([&](const std::string&, uint16_t) {
        ++held;
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return ECONNREFUSED;
    });
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag.store(true); }
    } releaseOnExit{release};
    host->Stop();
    ASSERT_TRUE(PumpUntil([&] { return app->Reconnector().IsAttempting() && held.load() > 0; }, 3000));
    EXPECT_EQ(LinkPaneText(), QString::fromUtf8("正在重新连接……"));
    SetUiLanguageIndex(kLanguageEnglish);
    EXPECT_EQ(LinkPaneText(), QStringLiteral("Reconnecting…"));
    SetUiLanguageIndex(kLanguageChinese);

    release.store(true);
    ASSERT_TRUE(PumpUntil([&] { return !app->Reconnector().IsAttempting(); }, 3000));
    EXPECT_TRUE(LinkPaneText().contains(QString::fromUtf8("秒后重新连接")));
    app->Session().Link().Tcp().SetConnectGate({});
}

TEST_F(ReconnectTest, ABusyHostIsAskedAgainUntilItServesTheEditor) {
    StartHost();
    StartApp();
    app->Reconnector().SetDelaysMs({60, 120, 240});
    host->SetBusy(true);
    ConnectTo(host->Port());
    ASSERT_TRUE(PumpUntil([&] { return host->BusyNoticesSent() >= 2; }, 4000));
    EXPECT_TRUE(app->Reconnector().IsActive() || app->Reconnector().Attempts() >= 1);
    host->SetBusy(false);
    ASSERT_TRUE(PumpUntil([&] { return app->Session().IsConnected() && !app->View()->HostBusy(); }, 4000));
    EXPECT_TRUE(PumpUntil([&] { return !app->Reconnector().IsActive(); }, 1000));
}

TEST_F(ReconnectTest, TheUsersOwnDisconnectOrTheOptionOffEndsTheRetrying) {
    StartWithShortSchedule();
    host->Stop();
    ASSERT_TRUE(PumpUntil([&] { return app->Reconnector().IsActive(); }, 2000));
    app->CloseLink();
    EXPECT_FALSE(app->Reconnector().IsActive());
    const int attempts = app->Reconnector().Attempts();
    Pump(400);
    EXPECT_EQ(app->Reconnector().Attempts(), attempts);

    // With the option turned off in the connect dialog nothing retries at all.
    RestartHost();
    ASSERT_EQ(ConnectTo(host->Port()), 1);
    Dialog()->ReconnectBox()->setChecked(false);
    EXPECT_FALSE(app->Settings().AutoReconnect());
    host->Stop();
    Pump(500);
    EXPECT_FALSE(app->Reconnector().IsActive());
    EXPECT_EQ(app->Reconnector().Attempts(), attempts);
}

TEST_F(ReconnectTest, NothingChangedWhileTheLinkWasDownIsReplayed) {
    StartWithShortSchedule();
    host->Stop();
    ASSERT_TRUE(PumpUntil([&] { return app->Reconnector().IsActive(); }, 2000));
    SetVolume(app->Session().Commands(), VolumeControl::Mic, 13); // stored, but there is no link to send it on
    answer = QMessageBox::No;                                     // the processor's values stay
    RestartHost();
    ASSERT_TRUE(PumpUntil([&] { return app->Session().IsConnected(); }, 4000));
    ASSERT_TRUE(PumpUntil([&] { return OfflineQuestions() == 1; }, 4000));
    // The first level request follows anything the answer sent, in the same queue.
    ASSERT_TRUE(HostReceived({0x0E}, 3000));
    for (const sim::ReceivedMessage& m : host->Received())
        EXPECT_FALSE(m.payload.size() > 2 && m.payload[1] == 0x09) << ToHex(m.payload);
    EXPECT_NE(Store().Get(fields::micMasterVolume), 13);
}

TEST_F(ReconnectTest, EditsMadeWhileTheLinkWasDownAreSentWhenTheUserSaysSo) {
    StartWithShortSchedule();
    host->Stop();
    ASSERT_TRUE(PumpUntil([&] { return app->Reconnector().IsActive(); }, 2000));
    const EqBand band{-4.5f, 1200, 2.0f, 1};
    SetVolume(app->Session().Commands(), VolumeControl::Mic, 13);
    app->Session().Eq().SetPathBand(eqid::MicA, 2, band);
    // What the same two edits send on a live link.
    ParameterStore scratch;
    RecordingSender byHand;
    CommandEncoder commands(scratch, byHand);
    EqSender eq(scratch, commands);
    commands.Set(fields::micMasterVolume, 13);
    eq.SetPathBand(eqid::MicA, 2, band);
    std::multiset<std::string> expected;
    for (const auto& body : byHand.Bodies())
        expected.insert(ToHex(body));

    answer = QMessageBox::Yes;
    RestartHost();
    ASSERT_TRUE(PumpUntil([&] { return OfflineQuestions() == 1; }, 6000));
    auto writes = [&] {
        std::multiset<std::string> out;
        for (const sim::ReceivedMessage& m : host->Received()) {
            if (m.payload.size() > 2 && (m.payload[1] == 0x09 || m.payload[1] == 0x85))
                out.insert(ToHex(std::vector<uint8_t>(m.payload.begin() + 1, m.payload.end())));
        }
        return out;
    };
    // The first level request follows anything the answer sent, in the same queue.
    ASSERT_TRUE(HostReceived({0x0E}, 3000));
    EXPECT_EQ(writes(), expected);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), 13);
    EXPECT_EQ(Store().GetEqPathBand(eqid::MicA, 2), band);
    // The next reconnect without edits asks nothing.
    host->Disconnect();
    ASSERT_TRUE(PumpUntil([&] { return app->Reconnector().IsActive(); }, 2000));
    host->ClearReceived();
    ASSERT_TRUE(PumpUntil([&] { return app->Session().IsConnected() && !app->SyncDialog(); }, 6000));
    ASSERT_TRUE(HostReceived({0x0E}, 3000)); // read-all has ended and been dealt with
    EXPECT_EQ(OfflineQuestions(), 1);
}

TEST_F(ReconnectTest, TheWindowKeepsRunningWhileAnAttemptWaitsAndADisconnectEndsIt) {
    StartWithShortSchedule();
    const uint16_t port = host->Port();
    host->Stop();
    StalledListener stalled(port);
    ASSERT_EQ(stalled.Port(), port);
    ASSERT_TRUE(PumpUntil([&] { return app->Reconnector().IsAttempting(); }, 3000));
    // A frame's timer keeps its pace while the host does not answer (it stood still for the whole
    // connect time-out before).
    const qint64 longest = LongestTimerGap(800);
    EXPECT_LT(longest, 250);
    EXPECT_TRUE(app->Reconnector().IsAttempting());

    const int attempts = app->Reconnector().Attempts();
    app->CloseLink();
    EXPECT_FALSE(app->Session().IsConnecting());
    EXPECT_FALSE(app->Reconnector().IsActive());
    Pump(2500); // past the attempt's time-out: no late outcome, no new attempt
    EXPECT_FALSE(app->Session().IsConnected());
    EXPECT_FALSE(app->Reconnector().IsActive());
    EXPECT_EQ(app->Reconnector().Attempts(), attempts);
}

TEST(ReconnectorSchedule, WaitsLongerAfterEachFailureAndRewindsOnlyWhenToldTo) {
    int calls = 0;
    bool open = false;
    CReconnector* self = nullptr;
    CReconnector r([&](const QString&, uint16_t) {
        ++calls;
        self->AttemptFinished(open);
    });
    self = &r;
    r.Start(); // no address yet: nothing to retry
    EXPECT_FALSE(r.IsActive());
    r.Remember(QStringLiteral("127.0.0.1"), 1);
    r.SetDelaysMs({30, 60, 90});
    r.Start();
    std::vector<int> delays{r.PendingDelayMs()};
    for (int attempt = 1; attempt <= 3; ++attempt) {
        ASSERT_TRUE(PumpUntil([&] { return calls >= attempt; }, 2000));
        delays.push_back(r.PendingDelayMs());
    }
    EXPECT_EQ(delays, (std::vector<int>{30, 60, 90, 90})); // the last delay repeats
    open = true;
    ASSERT_TRUE(PumpUntil([&] { return calls >= 4; }, 2000));
    EXPECT_FALSE(r.IsActive());
    // A busy answer right after the reopening goes on where the schedule was...
    r.Start();
    EXPECT_EQ(r.PendingDelayMs(), 90);
    // ...a stop of the user's rewinds it, and so does a confirmed link.
    r.Stop();
    r.Start();
    EXPECT_EQ(r.PendingDelayMs(), 30);
    r.Stop();
    r.Start();
    r.Stop();
    r.Confirm();
    EXPECT_EQ(CReconnector::DefaultDelaysMs().back(), 30000);
}

} // namespace
} // namespace orvex::test
