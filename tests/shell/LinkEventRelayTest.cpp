#include "ShellFixture.h"

#include "link/LinkEvents.h"
#include "shell/LinkEventRelay.h"
#include "shell/ToolDialog.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace orvex::test {

// Stands in for the IR remote window: it only takes the keys the view forwards.
class RemoteKeyProbe : public CToolDialog {
    Q_OBJECT
public:
    RemoteKeyProbe() : CToolDialog(tmpl::Remote) {}
    std::vector<uint32_t> keys;

    void OnRemoteKey(uint32_t key) override { keys.push_back(key); }
};

namespace {

class LinkEventRelayTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        COrvexv13App::RegisterToolDialog(tmpl::Remote, [this](const PageContext&) {
            probe = new RemoteKeyProbe;
            return probe;
        });
        StartApp();
        app->Session().State().linkConnected.store(1); // the remote window opens only with a link
        View()->OnCommand(cmd::Remote);
        app->Session().State().linkConnected.store(0);
        ASSERT_EQ(app->ToolDialog(tmpl::Remote), probe);
    }

    void TearDown() override {
        COrvexv13App::RegisterToolDialog(tmpl::Remote, {});
        ShellTest::TearDown();
    }

    RemoteKeyProbe* probe = nullptr;
};

TEST_F(LinkEventRelayTest, ARemoteKeyFromTheReaderIsTakenBeforeTheReaderGoesOn) {
    std::atomic<bool> returned{false};
    size_t keysWhenReturned = 0;
    std::thread reader([&] {
        app->LinkEventSink()->OnRemoteKey(0x42);
        // The view has run by now (the wait ordered it before this read).
        keysWhenReturned = probe->keys.size();
        returned = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return returned.load(); }, 2000));
    reader.join();
    EXPECT_EQ(keysWhenReturned, 1u);
    EXPECT_EQ(probe->keys, std::vector<uint32_t>{0x42});
}

TEST_F(LinkEventRelayTest, TheReaderWaitsABoundedTimeWhenTheInterfaceIsBusy) {
    auto* relay = dynamic_cast<CLinkEventRelay*>(app->LinkEventSink());
    ASSERT_NE(relay, nullptr);
    relay->SetRemoteKeyWait(std::chrono::milliseconds(200));
    std::atomic<bool> returned{false};
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration took{};
    std::thread reader([&] {
        app->LinkEventSink()->OnRemoteKey(7);
        took = std::chrono::steady_clock::now() - start;
        returned = true;
    });
    // The user-interface thread is busy (as when it waits for the reader to end): no events run
    // until the reader has given up. Without a bound it would never return; the deadline here only
    // keeps a failing run from hanging.
    const auto deadline = start + std::chrono::seconds(20);
    while (!returned.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(returned.load());
    reader.join();
    EXPECT_GE(took, std::chrono::milliseconds(200));
    EXPECT_LT(took, std::chrono::milliseconds(1000)) << "the wait it was given is the one it keeps";
    // The key is still delivered once the interface runs again.
    EXPECT_TRUE(PumpUntil([&] { return probe->keys == std::vector<uint32_t>{7}; }, 500));
}

TEST_F(LinkEventRelayTest, EventsFromLinkThreadsReachTheViewOnItsOwnThread) {
    std::thread link([&] { app->LinkEventSink()->OnLinkTimeout(); });
    link.join();
    EXPECT_TRUE(infoMessages.empty()); // queued, not run on the link thread
    EXPECT_TRUE(PumpUntil([&] { return InfoShown(QString::fromUtf8("主机连接超时，网络断开!")); }, 500));
}

} // namespace
} // namespace orvex::test

#include "LinkEventRelayTest.moc"
