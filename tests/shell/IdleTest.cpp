#include "SimFixture.h"
#include "WakeCounter.h"

#include "link/DeviceSession.h"
#include "shell/MainFrame.h"

namespace orvex::test {
namespace {

// An editor left alone does nothing: no repaint of an unchanged window, no idle update without a
// link, and a connected link that sleeps between the host's heartbeats and the level polls.
class IdleTest : public SimShellTest {
protected:
    COrvexv13App::Options MakeOptions() override {
        COrvexv13App::Options options = ShellTest::MakeOptions();
        options.timings.connectTimeout = std::chrono::milliseconds(2000);
        return options; // the link's own periods, as the program runs
    }
};

TEST_F(IdleTest, NotConnectedNothingWakesTheWindow) {
    StartApp();
    Pump(600); // start-up's USB probe and first paints
    const int updates = Frame()->CommandUiUpdates();
    PaintCounter paints(Frame());
    Pump(2000);
    EXPECT_FALSE(Frame()->IdleUpdateTicking());
    EXPECT_EQ(Frame()->CommandUiUpdates(), updates);
    EXPECT_EQ(paints.Count(), 0) << paints.Painted().join(QLatin1Char(' ')).toStdString();
}

TEST_F(IdleTest, ConnectedToAnIdleProcessorTheLinkSleepsAndNothingRepaints) {
    model = std::make_unique<sim::ProcessorModel>(sim::ProcessorOptions{});
    sim::HostOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    options.heartbeatMs = 1000;
    host = std::make_unique<sim::NetworkHost>(*model, options);
    std::string error;
    ASSERT_TRUE(host->Start(&error)) << error;
    StartApp();
    ASSERT_EQ(ConnectTo(host->Port()), 1);
    Pump(800);
    const uint64_t wakeups = app->Session().State().linkWakeups.load();
    PaintCounter paints(Frame());
    Pump(3000);
    const uint64_t woke = app->Session().State().linkWakeups.load() - wakeups;
    RecordProperty("linkWakeupsIn3s", static_cast<int>(woke));
    RecordProperty("repaintsIn3s", paints.Count());
    // Three seconds hold three heartbeats and six level polls with their replies, and a few
    // time-out checks; a writer polling its queue every 20 ms alone woke 150 times.
    EXPECT_LE(woke, 30u);
    EXPECT_GE(woke, 6u); // the polls and heartbeats are still there
    EXPECT_TRUE(app->Session().IsConnected());
    EXPECT_LE(paints.Count(), 2) << paints.Painted().join(QLatin1Char(' ')).toStdString();
}

} // namespace
} // namespace orvex::test
