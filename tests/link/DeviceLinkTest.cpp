#include "link/DeviceLink.h"

#include "link/Bytes.h"
#include "link/ParamTable.h"
#include "link/UsbTransport.h"
#include "sim/FakeHidDevice.h"
#include "support/Hex.h"
#include "support/LinkHarness.h"

#include <gtest/gtest.h>

#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>

#include <cmath>

using namespace orvex;
using namespace orvex::test;
using namespace std::chrono_literals;

namespace {

class RecordingUsb : public UsbWriter {
public:
    int WriteUsbData(std::span<const uint8_t> body, bool paced) override {
        std::lock_guard lock(mutex);
        writes.push_back({{body.begin(), body.end()}, paced});
        return 61;
    }
    struct Write {
        std::vector<uint8_t> body;
        bool paced;
    };
    std::mutex mutex;
    std::vector<Write> writes;
};

// ---- routing without a network -------------------------------------------------------------------------

class RoutingTest : public ::testing::Test {
protected:
    ParameterStore store;
    RecordingEvents events;
    DeviceLink link{store, &events};
    RecordingUsb usb;
};

TEST_F(RoutingTest, UsbWithoutAWriterSendsNothing) {
    EXPECT_EQ(link.SendToDevice(Hex("80"), true), 0);
    link.Commands().Set(fields::echoLevelA, 55);
    EXPECT_EQ(store.Get(fields::echoLevelA), 55) << "the setter stores even when nothing can be sent";
}

TEST_F(RoutingTest, UsbCarriesBodiesAndWrapsZWaveFrames) {
    link.SetUsbWriter(&usb);
    link.Commands().Set(fields::echoLevelA, 55);
    link.Commands().SendZWaveFrame(0x4A, std::vector<uint8_t>{0x01, 0x30});
    ASSERT_EQ(usb.writes.size(), 2u);
    EXPECT_EQ(usb.writes[0].body, Hex("09 00 02 08 01 3F0CCCCD"));
    EXPECT_TRUE(usb.writes[0].paced);
    // 12, count, frame
    EXPECT_EQ(usb.writes[1].body, Hex("12 07 01 05 00 4A 01 30 81"));
    EXPECT_FALSE(usb.writes[1].paced);
    // a body that does not fit one report is not cut short
    EXPECT_EQ(link.SendToDevice(std::vector<uint8_t>(61, 1), true), 0);
    EXPECT_EQ(link.SendToDevice(std::vector<uint8_t>(59, 1), false, true), 0);
    EXPECT_EQ(usb.writes.size(), 2u);
}

TEST_F(RoutingTest, TcpQueuesWithItsPrefixWhileTheQueueIsEnabled) {
    link.State().networkMode.store(1);
    link.Commands().Set(fields::echoLevelA, 10);
    link.Commands().Set(fields::echoLevelA, 55); // coalesced with the first
    link.Commands().SendZWaveAck();
    auto& queue = link.State().writeQueue;
    ASSERT_EQ(queue.Size(), 2u);
    EXPECT_EQ(ToHex(queue.PopFront()->Payload()), ToHex(Hex("81 09 00 02 08 01 3F0CCCCD")));
    EXPECT_EQ(ToHex(queue.PopFront()->Payload()), "80 06");
}

TEST_F(RoutingTest, TcpWithTheQueueOffNeedsAConnection) {
    link.State().networkMode.store(1);
    link.State().queueEnabled.store(0);
    EXPECT_EQ(link.SendToDevice(Hex("80"), true), 0);
    EXPECT_EQ(link.SendToDevice(Hex("06"), false, true), 0);
    EXPECT_TRUE(link.State().writeQueue.Empty());
}

// ---- bytes on a real socket ----------------------------------------------------------------------------

// A bare loopback listener: what the editor writes, byte for byte, frame and checksum included.
class WireTest : public ::testing::Test {
protected:
    void SetUp() override {
        acceptor.open(asio::ip::tcp::v4());
        acceptor.bind({asio::ip::make_address_v4("127.0.0.1"), 0});
        acceptor.listen();
        ASSERT_TRUE(link.TcpConnect("127.0.0.1", acceptor.local_endpoint().port()));
        acceptor.accept(peer);
    }

    void TearDown() override { link.Tcp().Shutdown(); }

    std::vector<uint8_t> Read(size_t n) {
        std::vector<uint8_t> bytes(n);
        asio::error_code ec;
        asio::read(peer, asio::buffer(bytes), ec);
        EXPECT_FALSE(ec) << ec.message();
        return bytes;
    }

    asio::io_context io;
    asio::ip::tcp::acceptor acceptor{io};
    asio::ip::tcp::socket peer{io};
    ParameterStore store;
    RecordingEvents events;
    DeviceLink link{store, &events};
};

TEST_F(WireTest, EchoLevelFrameIsExact) {
    EXPECT_EQ(link.State().networkMode.load(), 1);
    link.State().queueEnabled.store(0); // paced: NetSendSync
    link.Commands().Set(fields::echoLevelA, 55);
    // 'U', L = 11, 81 and the body, X = FF ^ 0B ^ payload = 45
    EXPECT_EQ(ToHex(Read(13)), "55 0B 81 09 00 02 08 01 3F 0C CC CD 45");
}

TEST_F(WireTest, QueuedFramesAreTheSameBytes) {
    link.Commands().Set(fields::echoLevelA, 55);
    EXPECT_EQ(ToHex(Read(13)), "55 0B 81 09 00 02 08 01 3F 0C CC CD 45");
}

TEST_F(WireTest, CloseLinkSendsTheDisconnectNoticeFirst) {
    // Something is still queued and unanswered: the notice must not wait behind it or vanish with it.
    link.State().awaitingReply.store(1);
    link.Commands().Set(fields::echoLevelA, 55);
    link.CloseLink();
    EXPECT_EQ(ToHex(Read(5)), "55 03 81 8A F7");
    EXPECT_FALSE(link.IsConnected());
    std::array<uint8_t, 16> rest{};
    asio::error_code ec;
    peer.read_some(asio::buffer(rest), ec);
    EXPECT_EQ(ec, asio::error::eof) << "nothing follows the notice";
}

// ---- end to end with the simulated processor ------------------------------------------------------------

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::HostOptions options;
        options.port = 0;
        options.heartbeatMs = 200;
        host = std::make_unique<sim::NetworkHost>(model, options);
        std::string error;
        ASSERT_TRUE(host->Start(&error)) << error;
        ASSERT_TRUE(link.TcpConnect("127.0.0.1", host->Port()));
        ASSERT_TRUE(Eventually([&] { return host->ClientConnected(); }));
    }

    static TcpTimings QuickWriter() {
        TcpTimings t;
        t.writerPoll = 1ms; // a few hundred stop-and-wait frames in well under a second
        return t;
    }

    void TearDown() override {
        link.Tcp().Shutdown();
        host->Stop();
    }

    bool QueueDrained() {
        return Eventually([&] { return link.State().writeQueue.Empty() && link.State().awaitingReply.load() == 0; });
    }

    sim::ProcessorModel model;
    std::unique_ptr<sim::NetworkHost> host;
    ParameterStore store;
    RecordingEvents events;
    DeviceLink link{store, &events, QuickWriter()};
};

// A value for element e of a field that differs from the defaults and stays inside its range.
uint32_t TestValue(const StoreField& field, int e) {
    if (field.type == FieldType::Float) {
        switch (field.kind) {
        case FieldKind::Milliseconds:
            return std::bit_cast<uint32_t>(static_cast<float>(field.name == "outCompAttack" ? 5 + e : 20 + 3 * e));
        case FieldKind::Decibels:
            return std::bit_cast<uint32_t>(static_cast<float>(-12 - e));
        case FieldKind::Ratio:
            return std::bit_cast<uint32_t>(4.0f + static_cast<float>(e));
        case FieldKind::Hertz:
            return std::bit_cast<uint32_t>(1200.0f);
        case FieldKind::Float100:
            return std::bit_cast<uint32_t>(static_cast<float>(40 + e));
        default:
            return std::bit_cast<uint32_t>(0.5f);
        }
    }
    switch (field.kind) {
    case FieldKind::Percent:
        return static_cast<uint32_t>(30 + 7 * e);
    case FieldKind::Switch:
        // a frequency-shift off switch of 1 would read the frequency back as 1 (off)
        return field.name.starts_with("shiftOff") ? 0u : static_cast<uint32_t>((e + 1) % 2);
    case FieldKind::Choice:
        return static_cast<uint32_t>(static_cast<int>(field.minValue) + (e + 2) % static_cast<int>(field.maxValue));
    case FieldKind::Hertz:
        return static_cast<uint32_t>(5 + e);
    case FieldKind::Milliseconds:
        return 12;
    default:
        return static_cast<uint32_t>(field.name == "musicParam21" ? 3 : 1234 + e);
    }
}

// Every row of the command table, every element: the setter's bytes reach the processor's memory, and
// the processor's answer to a parameter read puts the same value back into an emptied store.
TEST_F(EndToEndTest, EverySetterRoundTripsThroughTheProcessor) {
    std::vector<std::pair<int, const ParamCommand*>> readable;
    for (const ParamCommand& row : ParamCommands()) {
        for (int e = 0; e < row.count; ++e) {
            for (int part = 0; part < (row.wire == WireEncoding::Compressor ? 4 : 1); ++part) {
                const int slot = RowSlot(row, e, part);
                const StoreField* field = FindStoreFieldBySlot(slot);
                ASSERT_NE(field, nullptr);
                link.Commands().SetSlotWord(slot, TestValue(*field, e));
                readable.emplace_back(slot, &row);
            }
        }
    }
    ASSERT_TRUE(QueueDrained());
    const std::vector<uint8_t> expected = store.ReadBlock(StoreBlock::ParamBlock);

    store.WriteBlock(StoreBlock::ParamBlock, std::vector<uint8_t>(kParamBlockBytes, 0));
    link.State().queueEnabled.store(0); // reads are paced one reply apart
    const uint64_t signalledBefore = link.Replies().RepliesSignalled();
    uint64_t reads = 0;
    for (const ParamCommand& row : ParamCommands())
        for (int e = 0; e < row.count; ++e)
            reads += link.Commands().SendParamRead(RowCmd(row, e), RowSub(row, e), row.words) > 0 ? 1 : 0;
    // Every read answered and decoded into the store (the count moves once a reply is through).
    ASSERT_TRUE(Eventually([&] { return link.Replies().RepliesSignalled() >= signalledBefore + reads; }));

    for (const auto& [slot, row] : readable) {
        const StoreField* field = FindStoreFieldBySlot(slot);
        const uint32_t want = ReadLe32(expected.data() + 4 * slot);
        const uint32_t got = store.GetSlotWord(slot);
        if (field->type == FieldType::Int) {
            EXPECT_EQ(static_cast<int32_t>(got), static_cast<int32_t>(want)) << field->name << " slot " << slot;
            continue;
        }
        const float w = std::bit_cast<float>(want);
        const float g = std::bit_cast<float>(got);
        // Times travel as whole samples and compressor times as exponentials; exciter points come back
        // shifted half a hundredth away from zero.
        const float tolerance = row->wire == WireEncoding::Compressor     ? std::abs(w) * 1e-3f
                                : row->readback == Readback::RoundedFloat ? 0.006f
                                                                          : 1e-6f;
        EXPECT_NEAR(g, w, tolerance) << field->name << " slot " << slot;
    }
    EXPECT_EQ(events.Count(WM_DEV_LINK_TIMEOUT), 0);
}

TEST_F(EndToEndTest, TwoSetValuesToTwoPlugsBothReachTheWire) {
    // Queued back to back the two frames shared their first five bytes and plug 2's "on" was lost.
    ASSERT_EQ(link.State().queueEnabled.load(), 1);
    link.Commands().SendZWaveFrame(0x13, Hex("02 03 20 01 FF 25 43"));
    link.Commands().SendZWaveFrame(0x13, Hex("03 03 20 01 FF 25 43"));
    ASSERT_TRUE(host->WaitForMessages(2, 3s));
    const auto received = host->Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(ToHex(received[0].payload), "80 01 0A 00 13 02 03 20 01 FF 25 43 5F");
    EXPECT_EQ(ToHex(received[1].payload), "80 01 0A 00 13 03 03 20 01 FF 25 43 5E");
}

TEST_F(EndToEndTest, ParameterReadRefreshesTheStore) {
    model.SetRecordWords(2, 8, std::vector<uint32_t>{0x3F0CCCCD});
    link.State().queueEnabled.store(0);
    link.Commands().SendParamRead(2, 8);
    EXPECT_TRUE(Eventually([&] { return store.Get(fields::echoLevelA) == 55; }));
}

TEST_F(EndToEndTest, ProcessorSideChangesStartReadAll) {
    std::atomic<int> started{0};
    link.Replies().SetReadAllStarter([&] { ++started; });
    host->SendUnsolicited({0x05}); // the processor loaded a mode memory
    host->SendUnsolicited({0x31});
    EXPECT_TRUE(Eventually([&] { return link.Replies().MessagesDecoded() >= 2; }));
    EXPECT_EQ(started.load(), 1);
}

// ---- the caller never waits for the processor -----------------------------------------------------------

enum class Carrier { Tcp, Usb };

struct PromptCase {
    Carrier carrier;
    int replyDelayMs;
};

constexpr const char* kUsbPath = "/dev/hidraw7";

// A setter on the window's thread: the USB writes waited there for each reply, and the music fade
// slept there 9 x 30 ms. The window must go on within a frame; the wire still carries every message
// in its order, paced by the replies, the fade's steps at least 30 ms apart.
class PromptSetterTest : public ::testing::TestWithParam<PromptCase> {
protected:
    void SetUp() override {
        if (GetParam().carrier == Carrier::Tcp) {
            sim::HostOptions options;
            options.port = 0;
            options.replyDelayMs = GetParam().replyDelayMs;
            host = std::make_unique<sim::NetworkHost>(model, options);
            std::string error;
            ASSERT_TRUE(host->Start(&error)) << error;
            link = std::make_unique<DeviceLink>(store, &events);
            ASSERT_TRUE(link->TcpConnect("127.0.0.1", host->Port()));
        } else {
            backend = std::make_unique<sim::FakeHidBackend>(model);
            backend->AddInterface(kUsbPath, kProcessorVendorId, kProcessorProductId);
            backend->SetReplyDelay(std::chrono::milliseconds(GetParam().replyDelayMs));
            link = std::make_unique<DeviceLink>(store, &events, TcpTimings{}, backend.get());
            ASSERT_EQ(link->UsbConnect(), 1);
        }
    }

    void TearDown() override {
        link.reset();
        if (host)
            host->Stop();
    }

    // What reached the processor: the message's first nine bytes (every message here is nine long).
    std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> Wire() const {
        std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> out;
        if (host) {
            for (const auto& m : host->Received())
                out.emplace_back(ToHex(std::span(m.payload).subspan(1, 9)), m.at);
        } else {
            for (const auto& r : backend->Written(kUsbPath))
                out.emplace_back(ToHex(std::span(r.report).subspan(1, 9)), r.at);
        }
        return out;
    }

    sim::ProcessorModel model;
    std::unique_ptr<sim::NetworkHost> host;
    std::unique_ptr<sim::FakeHidBackend> backend;
    ParameterStore store;
    RecordingEvents events;
    std::unique_ptr<DeviceLink> link;
};

TEST_P(PromptSetterTest, SettersReturnAtOnceAndTheWireKeepsOrderAndGaps) {
    store.Set(fields::musicMute, 1);
    const auto start = std::chrono::steady_clock::now();
    link->Commands().Set(fields::echoLevelA, 55);
    link->Commands().Set(fields::echoLevelB, 55);
    link->Commands().SetMusicMute(false);
    link->Commands().SetMusicMute(true);
    const double took = MsBetween(start, std::chrono::steady_clock::now());
    EXPECT_LT(took, 50.0) << "the caller waited for the processor";

    ASSERT_TRUE(Eventually([&] { return Wire().size() >= 13; }, 10s));
    const auto wire = Wire();
    ASSERT_EQ(wire.size(), 13u);
    EXPECT_EQ(wire[0].first, "09 00 02 08 01 3F 0C CC CD");
    EXPECT_EQ(wire[1].first, "09 00 02 15 01 3F 0C CC CD");
    const char* fade[] = {"00000000", "3DCCCCCD", "3E4CCCCD", "3E99999A", "3ECCCCCD",
                          "3F000000", "3F19999A", "3F333333", "3F4CCCCD", "3F800000"};
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(wire[2 + i].first, ToHex(Hex(std::string("09 00 04 0D 01 ") + fade[i]))) << i;
        // Arrival times, not send times: a step that arrives late shortens the gap after it, so
        // each gap is only held apart from zero and the fade as a whole to its nine waits.
        if (i > 0) {
            EXPECT_GE(MsBetween(wire[1 + i].second, wire[2 + i].second), 10.0) << "fade step " << i;
        }
    }
    EXPECT_GE(MsBetween(wire[2].second, wire[11].second), 9 * 30.0 - 30.0) << "the fade's nine waits";
    // Its bytes are the fade's first step: neither merged into it nor dropped as a repeat.
    EXPECT_EQ(wire[12].first, "09 00 04 0D 01 00 00 00 00") << "muting again goes after the fade";
    // Every message after the first waits for the reply to the one before.
    for (size_t i = 1; i < wire.size(); ++i)
        EXPECT_GE(MsBetween(wire[i - 1].second, wire[i].second), GetParam().replyDelayMs - 5.0) << i;
}

INSTANTIATE_TEST_SUITE_P(Carriers, PromptSetterTest,
                         ::testing::Values(PromptCase{Carrier::Tcp, 0}, PromptCase{Carrier::Tcp, 150},
                                           PromptCase{Carrier::Usb, 0}, PromptCase{Carrier::Usb, 150}),
                         [](const auto& paramInfo) {
                             return std::string(paramInfo.param.carrier == Carrier::Tcp ? "Tcp" : "Usb") +
                                    (paramInfo.param.replyDelayMs > 0 ? "SlowProcessor" : "QuickProcessor");
                         });

} // namespace
