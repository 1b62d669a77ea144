#include "support/PagesFixture.h"

#include "editors/input/DialogMusic.h"
#include "widgets/PeakMeterCtrl.h"
#include "shell/WakeCounter.h"

namespace orvex::test {
namespace {

// The editor as the program runs it, with its pages, left alone: what wakes the window thread over
// three seconds of the real event loop.
class IdleWindowTest : public SimShellTest {
protected:
    COrvexv13App::Options MakeOptions() override {
        COrvexv13App::Options options = ShellTest::MakeOptions();
        options.timings.connectTimeout = std::chrono::milliseconds(2000);
        return options; // the link's own periods
    }
    void SetUp() override {
        SimShellTest::SetUp();
        RegisterEditorPages();
    }
};

// Not connected, nothing is there to wait for: the window thread sleeps through whole seconds and
// paints nothing.
TEST_F(IdleWindowTest, NotConnectedTheWindowThreadSleeps) {
    StartApp();
    Pump(600); // start-up's USB probe and first paints
    WakeCounter counter(Frame());
    counter.Run(3000);
    RecordProperty("wakeupsIn3s", counter.Wakeups());
    RecordProperty("switchesIn3s", static_cast<int>(counter.Switches()));
    RecordProperty("paintsIn3s", counter.Paints());
    EXPECT_LE(counter.Wakeups(), 3 + 1) << counter.Why(); // the loop's own end is one of them
    EXPECT_LE(counter.Switches(), 3 + 2) << counter.Why();
    EXPECT_EQ(counter.Paints(), 0) << counter.Why();
}

// Connected to a processor, the window thread wakes for the level poll and its reply, and repaints
// only what a reply changed.
TEST_F(IdleWindowTest, ConnectedTheWindowThreadWakesForTheLevelPollAlone) {
    sim::ProcessorOptions processor;
    processor.noProgramme = true; // nothing playing: no level moves
    model = std::make_unique<sim::ProcessorModel>(processor);
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
    WakeCounter counter(Frame());
    counter.Run(3000);
    RecordProperty("wakeupsIn3s", counter.Wakeups());
    RecordProperty("switchesIn3s", static_cast<int>(counter.Switches()));
    RecordProperty("paintsIn3s", counter.Paints());
    EXPECT_TRUE(app->Session().IsConnected());
    // Six or seven polls in three seconds (the window need not start on one): the poll's tick, the
    // reply's delivery and the panes' update after it; the loop's own end is one more.
    EXPECT_LE(counter.Wakeups(), 7 * 3 + 1) << counter.Why();
    EXPECT_LE(counter.Paints(), 2) << counter.Why();
}

// The bars take their values from the level replies, and empty when the link goes.
TEST_F(IdleWindowTest, LevelsFollowTheRepliesAndEmptyWhenTheLinkCloses) {
    StartConnected();
    auto* page = dynamic_cast<CDialogMusic*>(View()->CurrentPage());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return page->MusicLevel(0)->Level(0) > 0; }, 2000));
    app->CloseLink();
    EXPECT_TRUE(
        PumpUntil([&] { return page->MusicLevel(0)->Level(0) == 0 && page->MicLevel(0)->Level(0) == 0; }, 2000));
    PumpUntil([&] { return !page->MusicLevel(0)->IsDecayRunning(); }, 1000);
    EXPECT_FALSE(page->MusicLevel(0)->IsDecayRunning());
}

} // namespace
} // namespace orvex::test
