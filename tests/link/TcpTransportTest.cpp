#include "link/TcpTransport.h"

#include "link/Tick.h"
#include "support/Hex.h"
#include "support/LinkHarness.h"

#include <gtest/gtest.h>

#include <asio/ip/tcp.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <future>

using namespace orvex;
using namespace orvex::test;
using namespace std::chrono_literals;

namespace {

// A loopback network host with a simulated processor, and the editor's TCP link to it.
class TcpLinkTest : public ::testing::Test {
protected:
    static sim::HostOptions FastHost() {
        sim::HostOptions o;
        o.port = 0;
        o.heartbeatMs = 100;
        return o;
    }

    static TcpTimings FastTimings() {
        TcpTimings t;
        t.linkTimeoutMs = 400; // scaled down from 3 s; the production value has its own test
        t.timeoutCheck = 20ms;
        return t;
    }

    void StartHost(sim::HostOptions options = FastHost()) {
        host = std::make_unique<sim::NetworkHost>(model, options);
        std::string error;
        ASSERT_TRUE(host->Start(&error)) << error;
    }

    bool Connect() { return tcp.TcpConnect("127.0.0.1", host->Port()).ok; }

    // Moves a manual clock on in steps shorter than the link time-out, each held until a heartbeat
    // has marked the link alive at the new time: only the waits under test see the time pass.
    bool AdvanceWithHeartbeats(ManualClock& clock, uint32_t ms) {
        while (ms > 0) {
            const uint32_t step = std::min<uint32_t>(ms, 300);
            clock.Advance(step);
            ms -= step;
            if (!Eventually([&] { return link.lastRxTick.load() == clock.Now(); }))
                return false;
        }
        return true;
    }

    void TearDown() override {
        tcp.Shutdown();
        if (host)
            host->Stop();
        SetTickSource({});
    }

    // A parameter write for echo level A carrying `value` as its word.
    static std::vector<uint8_t> EchoLevelA(uint32_t value) {
        std::vector<uint8_t> p = Hex("81 09 00 02 08 01 00 00 00 00");
        p[6] = static_cast<uint8_t>(value >> 24), p[7] = static_cast<uint8_t>(value >> 16);
        p[8] = static_cast<uint8_t>(value >> 8), p[9] = static_cast<uint8_t>(value);
        return p;
    }

    static std::vector<uint8_t> EchoLevelB(uint32_t value) {
        std::vector<uint8_t> p = EchoLevelA(value);
        p[4] = 21;
        return p;
    }

    sim::ProcessorModel model;
    std::unique_ptr<sim::NetworkHost> host;
    LinkState link;
    ParameterStore store;
    RecordingEvents events;
    ReplyDispatcher decoder{link, store, &events};
    TcpTransport tcp{link, store, decoder, &events, FastTimings()};
};

TEST_F(TcpLinkTest, ConnectMarksTheLinkUp) {
    StartHost();
    ASSERT_TRUE(Connect());
    EXPECT_EQ(link.linkConnected.load(), 1);
    EXPECT_TRUE(Eventually([&] { return host->ClientConnected(); }));
}

TEST_F(TcpLinkTest, HeartbeatKeepsAnIdleLinkOpenAndIsEchoed) {
    StartHost();
    ASSERT_TRUE(Connect());
    std::this_thread::sleep_for(1200ms); // three link time-outs' worth of idle time
    EXPECT_EQ(link.linkConnected.load(), 1);
    EXPECT_EQ(events.Count(WM_DEV_LINK_TIMEOUT), 0);
    EXPECT_GE(host->HeartbeatEchoes(), 5);
}

TEST_F(TcpLinkTest, SilenceClosesTheLinkOnceWithTimeout) {
    auto options = FastHost();
    options.silent = true;
    StartHost(options);
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(events.WaitFor(WM_DEV_LINK_TIMEOUT, 2s));
    EXPECT_EQ(link.linkConnected.load(), 0);
    tcp.Shutdown(); // every link thread has ended: nothing more can be reported
    EXPECT_EQ(events.Count(WM_DEV_LINK_TIMEOUT), 1);
    EXPECT_EQ(events.Count(kLinkLostEvent), 0) << "a time-out is reported as such, not as a lost link";
    EXPECT_TRUE(Eventually([&] { return !host->ClientConnected(); })) << "the socket is shut down";
}

TEST(TcpLinkTimeout, ThreeSecondsWithoutDataAtTheProductionSetting) {
    // The clock is ours: no heartbeat arrives, and we move time on by hand. "Not yet" is seen by the
    // checker itself: it has looked at the clock twice since, so it decided on the new time and went
    // on (a checker that closes looks no more).
    ManualClock clock(1000);
    sim::ProcessorModel model;
    sim::HostOptions options;
    options.port = 0;
    options.silent = true;
    sim::NetworkHost host(model, options);
    ASSERT_TRUE(host.Start());
    LinkState link;
    ParameterStore store;
    RecordingEvents events;
    ReplyDispatcher decoder(link, store, &events);
    TcpTransport tcp(link, store, decoder, &events); // production timings
    ASSERT_TRUE(tcp.TcpConnect("127.0.0.1", host.Port()));
    // The connecting thread, the writer and the checker have read the clock; only the checker goes on.
    ASSERT_TRUE(Eventually([&] { return clock.Readers() >= 3; }));

    clock.Advance(3000); // exactly 3 s: not yet
    ASSERT_TRUE(clock.WaitForReads(3, 5s)) << "the checker stopped looking: it closed the link";
    EXPECT_EQ(events.Count(WM_DEV_LINK_TIMEOUT), 0);
    EXPECT_EQ(link.linkConnected.load(), 1);

    clock.Advance(1);
    EXPECT_TRUE(events.WaitFor(WM_DEV_LINK_TIMEOUT, 5s));
    EXPECT_EQ(link.linkConnected.load(), 0);
    tcp.Shutdown();
    host.Stop();
}

TEST_F(TcpLinkTest, AReceiveBetweenTheTwoClockReadsIsNotATimeOut) {
    // A heartbeat stored between the checker's clock read and its last-receive read made the
    // age wrap to 49 days and closed a live link with the time-out message.
    struct Clock {
        std::atomic<uint32_t> now{5000};
        std::atomic<bool> receiveRacesTheClock{true};
        std::atomic<int> reads{0};
    };
    auto clock = std::make_shared<Clock>();
    SetTickSource([clock, &state = link] {
        const uint32_t t = clock->now.load();
        if (clock->receiveRacesTheClock.load())
            state.lastRxTick.store(t + 1); // the receiver, one tick later, right after this read
        ++clock->reads;
        return t;
    });
    auto options = FastHost();
    options.silent = true;
    StartHost(options);
    ASSERT_TRUE(Connect());

    const int readsAtConnect = clock->reads.load();
    ASSERT_TRUE(Eventually([&] { return clock->reads.load() >= readsAtConnect + 10; })) << "ten checks ran";
    EXPECT_EQ(events.Count(WM_DEV_LINK_TIMEOUT), 0);
    EXPECT_EQ(link.linkConnected.load(), 1);

    // The checker still closes a link that really went quiet.
    clock->receiveRacesTheClock.store(false);
    clock->now += 1000;
    EXPECT_TRUE(events.WaitFor(WM_DEV_LINK_TIMEOUT, 2s));
    EXPECT_EQ(link.linkConnected.load(), 0);
}

TEST_F(TcpLinkTest, BusyHostLeavesTheEditorDisconnected) {
    auto options = FastHost();
    options.busy = true;
    StartHost(options);
    ASSERT_TRUE(Connect()) << "the TCP connect itself succeeds";
    ASSERT_TRUE(events.WaitFor(WM_DEV_HOST_BUSY, 2s));
    EXPECT_EQ(link.linkConnected.load(), 0);
    EXPECT_EQ(events.Count(WM_DEV_LINK_TIMEOUT), 0);
}

TEST_F(TcpLinkTest, SecondEditorIsToldTheHostIsBusy) {
    StartHost();
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(Eventually([&] { return host->ClientConnected(); }));

    LinkState link2;
    RecordingEvents events2;
    ReplyDispatcher decoder2(link2, store, &events2);
    TcpTransport second(link2, store, decoder2, &events2, FastTimings());
    ASSERT_TRUE(second.TcpConnect("127.0.0.1", host->Port()));
    EXPECT_TRUE(events2.WaitFor(WM_DEV_HOST_BUSY, 2s));
    EXPECT_EQ(link2.linkConnected.load(), 0);
    second.Shutdown();

    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(link.linkConnected.load(), 1) << "the first editor keeps its link";
}

TEST_F(TcpLinkTest, RapidChangesOfOneParameterCoalesce) {
    auto options = FastHost();
    options.replyDelayMs = 300;
    StartHost(options);
    ASSERT_TRUE(Connect());

    ASSERT_TRUE(tcp.TcpSendQueued(EchoLevelA(0)));
    ASSERT_TRUE(Eventually([&] { return link.awaitingReply.load() == 1; })) << "first frame outstanding";
    for (uint32_t v = 1; v <= 20; ++v)
        tcp.TcpSendQueued(EchoLevelA(v));
    EXPECT_EQ(link.writeQueue.Size(), 1u);

    ASSERT_TRUE(host->WaitForMessages(2, 3s));
    std::this_thread::sleep_for(500ms);
    const auto received = host->Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(ToHex(received[0].payload), ToHex(EchoLevelA(0)));
    EXPECT_EQ(ToHex(received[1].payload), ToHex(EchoLevelA(20)));
}

TEST_F(TcpLinkTest, ParametersGoOutInTheOrderOfTheirFirstChange) {
    auto options = FastHost();
    options.replyDelayMs = 200;
    StartHost(options);
    ASSERT_TRUE(Connect());

    tcp.TcpSendQueued(Hex("81 0E"));
    ASSERT_TRUE(Eventually([&] { return link.awaitingReply.load() == 1; }));
    tcp.TcpSendQueued(EchoLevelA(1));
    tcp.TcpSendQueued(EchoLevelB(1));
    tcp.TcpSendQueued(EchoLevelA(2));
    tcp.TcpSendQueued(EchoLevelB(2));
    tcp.TcpSendQueued(EchoLevelA(3));

    ASSERT_TRUE(host->WaitForMessages(3, 3s));
    const auto received = host->Received();
    ASSERT_GE(received.size(), 3u);
    EXPECT_EQ(ToHex(received[1].payload), ToHex(EchoLevelA(3)));
    EXPECT_EQ(ToHex(received[2].payload), ToHex(EchoLevelB(2)));
}

TEST_F(TcpLinkTest, LostReplyDelaysTheNextFrameByTwoSeconds) {
    // The 2 s were 100 polls of 20 ms, stretched by every late wake-up on a loaded machine; they
    // are 2 s on the tick now, which this clock only moves when told.
    ManualClock clock;
    StartHost();
    ASSERT_TRUE(Connect());
    host->DropNextReplies(1);
    tcp.TcpSendQueued(EchoLevelA(1));
    tcp.TcpSendQueued(EchoLevelB(1));
    tcp.TcpSendQueued(Hex("81 0E"));
    ASSERT_TRUE(host->WaitForMessages(1, 3s));

    ASSERT_TRUE(AdvanceWithHeartbeats(clock, 1999));
    ASSERT_TRUE(clock.WaitForReads(30)); // the writer has polled a few times since
    EXPECT_EQ(host->ReceivedCount(), 1u) << "the writer waits out the lost reply";

    clock.Advance(1);
    ASSERT_TRUE(host->WaitForMessages(3, 3s)) << "then the queue goes on at reply pace, the clock standing still";
    const auto r = host->Received();
    EXPECT_EQ(ToHex(r[1].payload), ToHex(EchoLevelB(1)));
    EXPECT_EQ(ToHex(r[2].payload), "81 0E");
    EXPECT_EQ(link.linkConnected.load(), 1);
}

TEST_F(TcpLinkTest, SynchronousSendsArePacedByReplies) {
    // With the clock standing still the 2 s wait can never run out: every send is released by the
    // previous reply or not at all.
    ManualClock clock;
    auto options = FastHost();
    options.replyDelayMs = 60;
    StartHost(options);
    ASSERT_TRUE(Connect());
    link.queueEnabled.store(0);
    auto sends = std::async(std::launch::async, [&] {
        int sent = 0;
        for (int i = 0; i < 5; ++i)
            sent += tcp.NetSendSync(Hex("81 07")) == 5 ? 1 : 0;
        return sent;
    });
    ClockThaw thaw(clock);
    ASSERT_EQ(sends.wait_for(10s), std::future_status::ready) << "a send waited for a reply that had come";
    EXPECT_EQ(sends.get(), 5);
    ASSERT_TRUE(host->WaitForMessages(5, 2s));
    const auto r = host->Received();
    // Each send after the first waits for the previous reply.
    for (size_t i = 1; i < r.size(); ++i)
        EXPECT_GE(MsBetween(r[i - 1].at, r[i].at), 50.0) << i;
}

TEST_F(TcpLinkTest, SynchronousSendWaitsAtMostTwoSecondsForASilentProcessor) {
    ManualClock clock;
    StartHost();
    ASSERT_TRUE(Connect());
    host->DropNextReplies(1);                    // heartbeats go on, so only the reply is missing
    EXPECT_GT(tcp.NetSendSync(Hex("81 07")), 0); // the event starts signalled
    std::atomic<std::thread::id> sender;
    auto second = std::async(std::launch::async, [&] {
        sender.store(std::this_thread::get_id());
        return tcp.NetSendSync(Hex("81 07"));
    });
    ClockThaw thaw(clock);
    ASSERT_TRUE(Eventually([&] { return clock.ReadsBy(sender.load()) >= 1; })) << "the wait has begun";

    ASSERT_TRUE(AdvanceWithHeartbeats(clock, 1999));
    ASSERT_TRUE(clock.WaitForReadsBy(sender.load(), clock.ReadsBy(sender.load()), 2));
    EXPECT_EQ(second.wait_for(0s), std::future_status::timeout) << "still waiting for the lost reply";

    clock.Advance(1);
    ASSERT_EQ(second.wait_for(3s), std::future_status::ready);
    EXPECT_GT(second.get(), 0) << "then it sends anyway";
    EXPECT_TRUE(host->WaitForMessages(2, 3s));
}

TEST_F(TcpLinkTest, SendsReturnZeroWithoutALink) {
    EXPECT_EQ(tcp.NetSendSync(Hex("81 07")), 0);
    EXPECT_EQ(tcp.TcpSendDirect(Hex("80 06")), 0);
    EXPECT_TRUE(tcp.TcpSendQueued(Hex("81 07"))) << "a queued message waits for the next connect";
}

TEST_F(TcpLinkTest, RefusesPayloadsTooLongForAFrame) {
    StartHost();
    ASSERT_TRUE(Connect());
    const std::vector<uint8_t> tooLong(kMaxPayload + 1, 0x81);
    EXPECT_FALSE(tcp.TcpSendQueued(tooLong));
    link.queueEnabled.store(0);
    EXPECT_EQ(tcp.NetSendSync(tooLong), 0);
    EXPECT_EQ(tcp.TcpSendDirect(tooLong), 0);
}

size_t OpenDescriptors() {
    size_t n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr)
            ++n;
        closedir(d);
    }
    return n;
}

TEST_F(TcpLinkTest, FailedConnectReportsThePlatformErrorAndClosesItsSocket) {
    // A port that was just free: bind one, note it, close it.
    uint16_t port;
    {
        asio::io_context io;
        asio::ip::tcp::acceptor a(io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
        port = a.local_endpoint().port();
    }
    // The first attempt sets up the transport's event loop (its own descriptors, kept for the
    // transport's life); no later attempt may leave anything behind.
    EXPECT_EQ(tcp.TcpConnect("127.0.0.1", port).error, ECONNREFUSED);
    const size_t before = OpenDescriptors();
    for (int i = 0; i < 5; ++i) {
        const ConnectResult result = tcp.TcpConnect("127.0.0.1", port);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, ECONNREFUSED);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(link.linkConnected.load(), 0);
    const ConnectResult bad = tcp.TcpConnect("not an address", 30303);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.error, EINVAL);
}

TEST_F(TcpLinkTest, AConnectBlockedWithEpermFailsAndStartsNothing) {
    // EPERM is 1, the number that meant "connected": a firewall's refusal read as a live link.
    StartHost();
    tcp.SetConnectGate([](const std::string&, uint16_t) { return EPERM; });
    const ConnectResult blocked = tcp.TcpConnect("127.0.0.1", host->Port());
    EXPECT_FALSE(blocked.ok);
    EXPECT_EQ(blocked.error, EPERM);
    EXPECT_EQ(link.linkConnected.load(), 0);
    EXPECT_FALSE(host->ClientConnected());

    tcp.SetConnectGate({});
    EXPECT_TRUE(Connect()) << "without the gate the same host is reached";
}

TEST(ConnectErrorReason, NamesTheCommonErrorsInBothLanguages) {
    EXPECT_EQ(ConnectErrorReason(ECONNREFUSED, true), "连接被拒绝");
    EXPECT_EQ(ConnectErrorReason(ECONNREFUSED, false), "Connection refused");
    EXPECT_EQ(ConnectErrorReason(ETIMEDOUT, true), "连接超时");
    EXPECT_EQ(ConnectErrorReason(EHOSTUNREACH, true), "无法访问主机");
    EXPECT_EQ(ConnectErrorReason(EPERM, true), "操作不允许");
    EXPECT_EQ(ConnectErrorReason(EPERM, false), "Operation not permitted");
    // No socket at all is not "Success", which is what the platform calls error 0.
    EXPECT_EQ(ConnectErrorReason(0, false), "No socket available");
    // A rare error still says something in Chinese: the platform's own text.
    EXPECT_EQ(ConnectErrorReason(ENOTSOCK, true), ConnectErrorReason(ENOTSOCK, false));
    EXPECT_FALSE(ConnectErrorReason(ENOTSOCK, false).empty());
}

TEST_F(TcpLinkTest, HostClosingTheConnectionEndsTheLinkAsLost) {
    // The reconnect hangs on the link-lost event alone: neither a time-out nor a busy host is reported.
    auto options = FastHost();
    options.closeAfter = 3;
    StartHost(options);
    ASSERT_TRUE(Connect());
    link.queueEnabled.store(0);
    for (int i = 0; i < 3; ++i)
        tcp.NetSendSync(Hex("81 07"));
    ASSERT_TRUE(events.WaitFor(kLinkLostEvent, 3s));
    EXPECT_EQ(link.linkConnected.load(), 0);
    EXPECT_EQ(link.readThreadEnd.load(), 1);
    tcp.Shutdown(); // every link thread has ended: nothing more can be reported
    EXPECT_EQ(events.Count(kLinkLostEvent), 1);
    EXPECT_EQ(events.Count(WM_DEV_LINK_TIMEOUT), 0);
    EXPECT_EQ(events.Count(WM_DEV_HOST_BUSY), 0);
}

TEST_F(TcpLinkTest, OurOwnCloseIsNotALostLink) {
    StartHost();
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(Eventually([&] { return host->ClientConnected(); }));
    tcp.TcpClose();
    tcp.Shutdown();
    EXPECT_EQ(events.Count(kLinkLostEvent), 0);
}

TEST_F(TcpLinkTest, CloseEmptiesTheQueueAndClearsLevels) {
    StartHost();
    ASSERT_TRUE(Connect());
    host->SetSilent(true);
    store.SetLevelRecord(std::vector<uint8_t>(16, 0x42));
    tcp.TcpSendQueued(EchoLevelA(1));
    tcp.TcpSendQueued(EchoLevelB(1));
    tcp.TcpClose();
    EXPECT_EQ(link.linkConnected.load(), 0);
    EXPECT_TRUE(link.writeQueue.Empty());
    for (uint8_t b : store.GetLevelRecord())
        EXPECT_EQ(b, 0);
}

TEST_F(TcpLinkTest, ReconnectAfterCloseWorks) {
    StartHost();
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(Connect()) << round;
        ASSERT_TRUE(Eventually([&] { return host->ClientConnected(); })) << round;
        link.queueEnabled.store(0);
        EXPECT_GT(tcp.NetSendSync(Hex("81 07")), 0);
        tcp.TcpClose();
        ASSERT_TRUE(Eventually([&] { return !host->ClientConnected(); })) << round;
    }
}

TEST_F(TcpLinkTest, NoisyRepliesDoNotStallTheQueue) {
    // Stray bytes in front of a reply cost nothing: with the clock standing still, the frames up to
    // the corrupted fifth reply all go out. That one costs its 2 s on the tick, no more.
    ManualClock clock;
    auto options = FastHost();
    options.garbageEvery = 2;
    options.badChecksumEvery = 5;
    StartHost(options);
    ASSERT_TRUE(Connect());
    for (uint32_t i = 0; i < 8; ++i) {
        std::vector<uint8_t> p = Hex("81 30 00 00 38");
        p[3] = static_cast<uint8_t>(i);
        tcp.TcpSendQueued(p);
    }
    ASSERT_TRUE(host->WaitForMessages(5, 3s));
    ASSERT_TRUE(clock.WaitForReads(30));
    EXPECT_EQ(host->ReceivedCount(), 5u) << "the corrupted reply holds the sixth frame";

    ASSERT_TRUE(AdvanceWithHeartbeats(clock, 2000));
    EXPECT_TRUE(host->WaitForMessages(8, 3s));
    EXPECT_EQ(link.linkConnected.load(), 1);
}

} // namespace
