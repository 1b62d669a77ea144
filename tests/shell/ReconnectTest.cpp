#include "SimFixture.h"

#include "shell/AppSettings.h"
#include "shell/DeviceSession.h"
#include "shell/MainFrame.h"
#include "shell/Reconnector.h"
#include "support/Hex.h"

#include <QCheckBox>

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

TEST_F(ReconnectTest, ABusyHostIsAskedAgainUntilItServesTheEditor) {
    StartHost();
    StartApp();
    app->Reconnector().SetDelaysMs({60, 120, 240});
    host->SetBusy(true);
    ConnectTo(host->Port());
    ASSERT_TRUE(PumpUntil([&] { return host->BusyNoticesSent() >= 2; }, 4000));
    EXPECT_TRUE(app->Reconnector().IsActive() || app->Reconnector().Attempts() >= 1);
    host->SetBusy(false);
    ASSERT_TRUE(PumpUntil([&] { return app->Session().IsConnected() && app->hostBusy == 0; }, 4000));
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
    app->Session().SetVolume(VolumeControl::Mic, 13); // stored, but there is no link to send it on
    RestartHost();
    ASSERT_TRUE(PumpUntil([&] { return app->Session().IsConnected(); }, 4000));
    Pump(600);
    for (const sim::ReceivedMessage& m : host->Received())
        EXPECT_FALSE(m.payload.size() > 2 && m.payload[1] == 0x09) << ToHex(m.payload);
}

TEST(ReconnectorSchedule, WaitsLongerAfterEachFailureAndRewindsOnlyWhenToldTo) {
    int calls = 0;
    bool open = false;
    CReconnector r([&](const QString&, uint16_t) {
        ++calls;
        return open;
    });
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
