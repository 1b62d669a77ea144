#include "sim/NetworkHost.h"

#include "link/Frame.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

#include <asio/connect.hpp>
#include <asio/write.hpp>

using namespace orvex;
using namespace orvex::test;
using namespace std::chrono_literals;

namespace {

TEST(NetworkHostTest, KeepsOnlyTheNewestMessagesButCountsEveryOne) {
    // The host kept every message of a session: a demonstration left running grew without bound.
    sim::ProcessorModel model;
    sim::HostOptions options;
    options.port = 0;
    options.keepReceived = 8;
    sim::NetworkHost host(model, options);
    std::string error;
    ASSERT_TRUE(host.Start(&error)) << error;

    asio::io_context io;
    asio::ip::tcp::socket editor(io);
    editor.connect({asio::ip::make_address("127.0.0.1"), host.Port()});
    std::vector<uint8_t> stream;
    for (int i = 0; i < 50; ++i) {
        const std::vector<uint8_t> frame = BuildFrame(Hex("81 07") + std::vector<uint8_t>{static_cast<uint8_t>(i)});
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    asio::write(editor, asio::buffer(stream));

    ASSERT_TRUE(host.WaitForMessages(50, 5s));
    EXPECT_EQ(host.ReceivedCount(), 50u);
    const auto kept = host.Received();
    ASSERT_EQ(kept.size(), 8u);
    EXPECT_EQ(ToHex(kept.front().payload), "81 07 2A");
    EXPECT_EQ(ToHex(kept.back().payload), "81 07 31");

    // A tracer that stopped at message 40 gets the two it missed counted and the eight kept.
    size_t end = 0;
    size_t skipped = 0;
    auto since = host.ReceivedFrom(40, end, skipped);
    EXPECT_EQ(end, 50u);
    EXPECT_EQ(skipped, 2u);
    ASSERT_EQ(since.size(), 8u);
    EXPECT_EQ(ToHex(since.front().payload), "81 07 2A");
    since = host.ReceivedFrom(48, end, skipped);
    EXPECT_EQ(skipped, 0u);
    ASSERT_EQ(since.size(), 2u);
    EXPECT_EQ(ToHex(since.front().payload), "81 07 30");
    EXPECT_TRUE(host.ReceivedFrom(50, end, skipped).empty());

    host.ClearReceived();
    EXPECT_EQ(host.ReceivedCount(), 0u);
    // After a clear the count starts again; a tracer ahead of it gets nothing until it is passed.
    EXPECT_TRUE(host.ReceivedFrom(50, end, skipped).empty());
    EXPECT_EQ(end, 0u);
    EXPECT_TRUE(host.Received().empty());
    host.Stop();
}

} // namespace
