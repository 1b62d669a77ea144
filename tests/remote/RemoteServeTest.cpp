// orvexctl serve in-process against the simulated processor, through a real HTTP client: everything
// on 127.0.0.1, the server on a port it picks itself.

#include "ctl/CtlApp.h"
#include "ctl/CtlSession.h"

#include "link/MessageIds.h"
#include "remote/RemoteServer.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"
#include "support/Hex.h"
#include "support/LinkHarness.h"

#include <asio/ip/tcp.hpp>
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <functional>
#include <optional>
#include <future>
#include <sstream>
#include <thread>

using namespace orvex;
using namespace orvex::test;
using namespace std::chrono_literals;
using json = nlohmann::json;

namespace {

class RemoteServeTest : public ::testing::Test {
protected:
    void SetUp() override {
        model = std::make_unique<sim::ProcessorModel>(sim::ProcessorOptions{});
        sim::HostOptions options;
        options.port = 0;
        options.heartbeatMs = 200;
        host = std::make_unique<sim::NetworkHost>(*model, options);
        std::string error;
        ASSERT_TRUE(host->Start(&error)) << error;

        std::promise<uint16_t> listening;
        auto port = listening.get_future();
        env.stop = &stop;
        // What the tool printed by then, read on its own thread: the stream is not shared with this one.
        env.onListening = [this, &listening](uint16_t p) {
            announced = err.str();
            listening.set_value(p);
        };
        serve = std::thread([this] {
            const std::vector<std::string> args = {
                "--connect", "127.0.0.1:" + std::to_string(host->Port()), "serve", "--listen", "127.0.0.1:0", "--pin",
                "123456"};
            code = ctl::RunCtl(args, out, err, env);
        });
        ASSERT_EQ(port.wait_for(10s), std::future_status::ready);
        webPort = port.get();
        // Connected, and the smart-home read (plugs, then scenes) is over.
        ASSERT_TRUE(Eventually(
            [&] {
                const json state = State();
                return state.value("connected", false) && !state["plugs"].empty() &&
                       state["scenes"][5]["commands"].get<int>() > 0;
            },
            10s))
            << "the processor, its plugs and scenes never showed up";
        size_t sent = Sent();
        ASSERT_TRUE(Eventually([&] {
            std::this_thread::sleep_for(100ms);
            return std::exchange(sent, Sent()) == sent;
        }));
    }

    void TearDown() override {
        stop.store(true);
        if (serve.joinable())
            serve.join();
        EXPECT_EQ(code, 0) << err.str();
        host->Stop();
    }

    httplib::Client Client() const {
        httplib::Client client("127.0.0.1", webPort);
        client.set_read_timeout(5s);
        return client;
    }

    std::string Token() {
        if (token.empty()) {
            auto reply = Client().Post("/api/pair", R"({"pin":"123456"})", "application/json");
            if (reply && reply->status == 200)
                token = json::parse(reply->body)["token"];
        }
        return token;
    }
    httplib::Headers Bearer() { return {{"Authorization", "Bearer " + Token()}}; }

    json State() {
        auto reply = Client().Get("/api/state", Bearer());
        return reply && reply->status == 200 ? json::parse(reply->body) : json::object();
    }

    int Post(const std::string& path, const std::string& body, bool withToken = true) {
        auto reply = Client().Post(path, withToken ? Bearer() : httplib::Headers{}, body, "application/json");
        return reply ? reply->status : -1;
    }

    // What the processor received apart from the level requests the server keeps sending.
    size_t Sent() const {
        size_t n = 0;
        for (const auto& m : host->Received())
            n += m.payload.size() > 1 && m.payload[1] != request::Levels ? 1 : 0;
        return n;
    }

    std::unique_ptr<sim::ProcessorModel> model;
    std::unique_ptr<sim::NetworkHost> host;
    std::atomic<bool> stop{false};
    ctl::CtlEnvironment env;
    std::ostringstream out;
    std::ostringstream err;
    int code = -1;
    std::thread serve;
    uint16_t webPort = 0;
    std::string announced;
    std::string token;
};

TEST_F(RemoteServeTest, PairsWithThePinAndServesTheStateOnlyToAPairedPhone) {
    EXPECT_EQ(announced, "phone remote at http://127.0.0.1:" + std::to_string(webPort) + "/  PIN 123456\n");
    auto wrong = Client().Post("/api/pair", R"({"pin":"000000"})", "application/json");
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 403);
    auto anonymous = Client().Get("/api/state");
    ASSERT_TRUE(anonymous);
    EXPECT_EQ(anonymous->status, 401);
    const json state = State();
    EXPECT_EQ(state["fields"].size(), 11u);
    EXPECT_EQ(state["mode"].get<int>(), 1);
    // Same origin: nothing invites other sites in, and the page may load only its own resources.
    auto page = Client().Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("form id=\"pair\""), std::string::npos);
    EXPECT_EQ(page->get_header_value("Content-Security-Policy"), "default-src 'self'");
    EXPECT_FALSE(page->has_header("Access-Control-Allow-Origin"));
}

TEST_F(RemoteServeTest, ASetReachesTheProcessorAsTheSettersMessage) {
    ASSERT_EQ(Post("/api/set", R"({"field":"micMasterVolume","value":42})"), 200);
    // The ribbon's message for 42 %, and the processor took it.
    ASSERT_TRUE(Eventually([&] {
        for (const auto& m : host->Received())
            if (ToHex(std::span(m.payload).subspan(1)) == ToHex(Hex("09 00 01 0E 01 3ED74BC7")))
                return true;
        return false;
    }));
    EXPECT_TRUE(Eventually([&] {
        const auto words = model->RecordWords(0x01, 0x0E);
        return !words.empty() && words[0] == 0x3ED74BC7u;
    }));
    EXPECT_TRUE(Eventually([&] { return State()["fields"]["micMasterVolume"] == 42; }));
}

TEST_F(RemoteServeTest, EveryRefusalLeavesTheProcessorUntouched) {
    const size_t before = Sent();
    const std::string big(70 * 1024, ' ');
    EXPECT_EQ(Post("/api/set", R"({"field":"micMasterVolume","value":42})", false), 401);
    EXPECT_EQ(Post("/api/set", R"({"field":"outMute","value":1})"), 400);
    EXPECT_EQ(Post("/api/set", R"({"field":"micMasterVolume","value":101})"), 400);
    EXPECT_EQ(Post("/api/set", R"({"field":"micMute","value":"yes"})"), 400);
    EXPECT_EQ(Post("/api/set", R"({"field":"micMasterVolume",)"), 400);
    EXPECT_EQ(Post("/api/set", big), 413);
    EXPECT_EQ(Post("/api/mode", R"({"load":5})"), 400);
    EXPECT_EQ(Post("/api/plug", R"({"node":200,"on":true})"), 400);
    EXPECT_EQ(Post("/api/scene", R"({"run":6})"), 400);
    std::this_thread::sleep_for(300ms); // past several turns of the owner's loop
    EXPECT_EQ(Sent(), before);
}

// Opens an event stream, runs `change` once the stream has sent its first state, and returns how
// long after that the stream carried `needle` (nullopt when it never did). The token goes as a query
// parameter, as a browser's event source sends it.
std::optional<std::chrono::milliseconds> EventAfter(uint16_t port, const std::string& token, const std::string& needle,
                                                    const std::function<void()>& change) {
    std::promise<std::chrono::steady_clock::time_point> seen;
    std::promise<void> opened;
    std::atomic<bool> done{false};
    std::thread listener([&] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(5s);
        std::string text;
        bool first = true;
        client.Get(
            "/api/events?token=" + token, {},
            [&](const httplib::Response& response) {
                EXPECT_EQ(response.get_header_value("Content-Type"), "text/event-stream");
                return true;
            },
            [&](const char* data, size_t length) {
                if (first) {
                    first = false;
                    opened.set_value();
                    return true; // the whole state, which is not a change
                }
                text.append(data, length);
                if (text.find(needle) != std::string::npos) {
                    seen.set_value(std::chrono::steady_clock::now());
                    return false;
                }
                return !done.load();
            });
        done.store(true);
    });
    const bool open = opened.get_future().wait_for(5s) == std::future_status::ready;
    const auto asked = std::chrono::steady_clock::now();
    if (open)
        change();
    auto when = seen.get_future();
    const bool arrived = open && when.wait_for(5s) == std::future_status::ready;
    done.store(true);
    listener.join();
    if (!arrived)
        return std::nullopt;
    return std::chrono::duration_cast<std::chrono::milliseconds>(when.get() - asked);
}

TEST_F(RemoteServeTest, AChangeFromAnotherPhoneReachesAnOpenEventStream) {
    auto noToken = Client().Get("/api/events");
    ASSERT_TRUE(noToken);
    EXPECT_EQ(noToken->status, 401);
    const auto latency = EventAfter(webPort, Token(), "\"micMute\":1",
                                    [&] { EXPECT_EQ(Post("/api/set", R"({"field":"micMute","value":true})"), 200); });
    ASSERT_TRUE(latency) << "no event for the mute";
    EXPECT_LT(*latency, 1s);
}

// The simulated processor's levels move all the time: the stream carries them, at most four times a
// second.
TEST_F(RemoteServeTest, TheProcessorsLiveLevelsStreamAtMostFourTimesASecond) {
    httplib::Client client("127.0.0.1", webPort);
    client.set_read_timeout(5s);
    std::string text;
    const auto until = std::chrono::steady_clock::now() + 1500ms;
    client.Get("/api/events?token=" + Token(), [&](const char* data, size_t length) {
        text.append(data, length);
        return std::chrono::steady_clock::now() < until;
    });
    int levels = 0;
    for (size_t at = text.find("data: {\"levels\""); at != std::string::npos;
         at = text.find("data: {\"levels\"", at + 1))
        ++levels;
    EXPECT_GE(levels, 2) << text;
    EXPECT_LE(levels, 7) << text; // 1.5 s at four a second, and one turn of slack
}

TEST_F(RemoteServeTest, PlugsScenesAndModeMemoriesAreChangedOnTheProcessor) {
    ASSERT_EQ(Post("/api/plug", R"({"node":2,"on":true})"), 200);
    EXPECT_TRUE(Eventually([&] { return model->SmartNodeValue(2) == 0xFF; }));
    ASSERT_EQ(Post("/api/plug", R"({"node":3,"level":40})"), 200);
    EXPECT_TRUE(Eventually([&] { return model->SmartNodeValue(3) == 40; }));
    // The karaoke scene: the floor lamp on, the wall light at 60.
    ASSERT_EQ(Post("/api/scene", R"({"run":2})"), 200);
    EXPECT_TRUE(Eventually([&] { return model->SmartNodeValue(2) == 99 && model->SmartNodeValue(3) == 60; }));
    ASSERT_EQ(Post("/api/mode", R"({"load":3})"), 200);
    EXPECT_TRUE(Eventually([&] { return model->CurrentMode() == 2; }));
    EXPECT_TRUE(Eventually([&] { return State()["mode"] == 3; }, 10s));
}

} // namespace

namespace {

TEST_F(RemoteServeTest, KeepsServingWhileTheProcessorIsAwayAndReconnects) {
    const uint16_t port = host->Port();
    host->Stop();
    ASSERT_TRUE(Eventually([&] { return State().value("connected", true) == false; }, 10s));
    // Nothing is handed on while there is no processor.
    EXPECT_EQ(Post("/api/set", R"({"field":"micMasterVolume","value":42})"), 503);
    sim::HostOptions options;
    options.port = port;
    options.heartbeatMs = 200;
    host = std::make_unique<sim::NetworkHost>(*model, options);
    std::string error;
    ASSERT_TRUE(host->Start(&error)) << error;
    EXPECT_TRUE(Eventually([&] { return State().value("connected", false); }, 10s));
    EXPECT_EQ(Post("/api/set", R"({"field":"micMasterVolume","value":42})"), 200);
}

struct ServeUsage {
    std::vector<std::string> args;
    std::string err;
};

TEST(RemoteServeUsageTest, BadListenAddressesAndPinsAreRefusedBeforeAnythingStarts) {
    std::atomic<bool> stop{true};
    ctl::CtlEnvironment env;
    env.stop = &stop;
    const std::vector<ServeUsage> cases = {
        {{"serve"}, "no processor given: use --connect HOST:PORT or --usb\n"},
        {{"--connect", "127.0.0.1:1", "serve", "--pin", "12345"}, "--pin needs six digits\n"},
        {{"--connect", "127.0.0.1:1", "serve", "--pin", "12a456"}, "--pin needs six digits\n"},
        {{"--connect", "127.0.0.1:1", "serve", "--listen", "8080"},
         "--listen needs ADDR:PORT, the port a number from 0 to 65535\n"},
        {{"--connect", "127.0.0.1:1", "serve", "--listen", "127.0.0.1:65536"},
         "--listen needs ADDR:PORT, the port a number from 0 to 65535\n"},
        {{"--connect", "127.0.0.1:1", "serve", "--listen", "127.0.0.1:8080", "extra"},
         "serve takes no arguments (see --help)\n"},
        {{"--connect", "127.0.0.1:1", "--pin", "123456", "dump"}, "--listen and --pin belong to the serve command\n"},
    };
    for (const ServeUsage& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(ctl::RunCtl(c.args, out, err, env), ctl::kExitUsage) << c.err;
        EXPECT_EQ(err.str(), c.err);
    }
}

TEST(RemoteServeUsageTest, AnAddressAlreadyInUseIsReported) {
    asio::io_context io;
    asio::ip::tcp::acceptor other(io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    const int port = other.local_endpoint().port();
    std::atomic<bool> stop{true};
    ctl::CtlEnvironment env;
    env.stop = &stop;
    std::ostringstream out;
    std::ostringstream err;
    const std::string listen = "127.0.0.1:" + std::to_string(port);
    const std::vector<std::string> args = {"--connect", "127.0.0.1:1", "serve", "--listen", listen};
    EXPECT_EQ(ctl::RunCtl(args, out, err, env), ctl::kExitUsage);
    EXPECT_EQ(err.str(), "cannot listen on " + listen + "\n");
}

} // namespace

namespace {

// A stop that came before the server's accept loop was running went unnoticed, and the loop, then
// the stop's join, ran for ever.
TEST(RemoteServerTest, StopsRightAfterStarting) {
    SnapshotBoard board;
    struct NoOwner final : RemoteOwner {
        void Post(RemoteWrite) override {}
    } owner;
    RemoteApi api("123456", owner, board);
    for (int i = 0; i < 20; ++i) {
        RemoteServer server(api, board);
        std::string error;
        ASSERT_TRUE(server.Start("127.0.0.1", 0, &error)) << error;
        EXPECT_TRUE(server.Running());
        server.Stop();
        EXPECT_FALSE(server.Running());
    }
}

} // namespace

namespace {

TEST(RemoteServerTest, OpenEventStreamsAreCappedSoThatCallsStillFindAWorker) {
    SnapshotBoard board;
    struct NoOwner final : RemoteOwner {
        void Post(RemoteWrite) override {}
    } owner;
    RemoteApi api("123456", owner, board);
    const std::string token =
        json::parse(api.Handle({"POST", "/api/pair", R"({"pin":"123456"})", "127.0.0.1", ""}).body)["token"];
    RemoteServer server(api, board, 1);
    ASSERT_TRUE(server.Start("127.0.0.1", 0));

    // Holds a stream open until told to let go; true once its first data came.
    std::promise<void> firstData;
    std::atomic<bool> letGo{false};
    std::thread holder([&] {
        httplib::Client client("127.0.0.1", server.Port());
        bool first = true;
        client.Get("/api/events?token=" + token, [&](const char*, size_t) {
            if (std::exchange(first, false))
                firstData.set_value();
            return !letGo.load();
        });
    });
    ASSERT_EQ(firstData.get_future().wait_for(5s), std::future_status::ready);
    httplib::Client client("127.0.0.1", server.Port());
    client.set_read_timeout(2s);
    auto refused = client.Get("/api/events?token=" + token);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 503);
    auto state = client.Get("/api/state", {{"Authorization", "Bearer " + token}});
    ASSERT_TRUE(state);
    EXPECT_EQ(state->status, 200);

    // A keep-alive comment comes only every 15 s: a change makes the holder see that it may go.
    letGo.store(true);
    RemoteSnapshot changed;
    changed.mode = 4;
    board.Publish(changed);
    holder.join();
    // The closed stream's place is free again.
    EXPECT_TRUE(Eventually([&] {
        bool opened = false;
        httplib::Client again("127.0.0.1", server.Port());
        again.set_read_timeout(2s);
        again.Get("/api/events?token=" + token, [&](const char*, size_t) {
            opened = true;
            return false;
        });
        return opened;
    }));
}

} // namespace

namespace {

// The page loads nothing but the server's own files, each with its type and the same-origin headers,
// and carries no inline script or style, which the policy would block on the phone.
TEST(RemoteServerTest, ThePageAndItsFilesComeFromTheProgram) {
    SnapshotBoard board;
    struct NoOwner final : RemoteOwner {
        void Post(RemoteWrite) override {}
    } owner;
    RemoteApi api("123456", owner, board);
    RemoteServer server(api, board);
    ASSERT_TRUE(server.Start("127.0.0.1", 0));
    httplib::Client client("127.0.0.1", server.Port());
    client.set_read_timeout(5s);
    const std::pair<const char*, const char*> files[] = {{"/", "text/html; charset=utf-8"},
                                                         {"/remote.js", "text/javascript; charset=utf-8"},
                                                         {"/remote.css", "text/css; charset=utf-8"},
                                                         {"/icon.svg", "image/svg+xml"}};
    for (const auto& [path, type] : files) {
        auto reply = client.Get(path);
        ASSERT_TRUE(reply) << path;
        EXPECT_EQ(reply->status, 200) << path;
        EXPECT_EQ(reply->get_header_value("Content-Type"), type) << path;
        EXPECT_EQ(reply->get_header_value("Content-Security-Policy"), "default-src 'self'") << path;
        EXPECT_EQ(reply->get_header_value("X-Content-Type-Options"), "nosniff") << path;
        EXPECT_FALSE(reply->has_header("Access-Control-Allow-Origin")) << path;
        EXPECT_GT(reply->body.size(), 100u) << path;
    }
    const std::string page = client.Get("/")->body;
    EXPECT_EQ(page, RemotePage());
    EXPECT_NE(page.find("<script src=\"/remote.js\""), std::string::npos);
    EXPECT_NE(page.find("<link rel=\"stylesheet\" href=\"/remote.css\">"), std::string::npos);
    EXPECT_EQ(page.find("<style"), std::string::npos);
    EXPECT_EQ(page.find(" style="), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find("://"), std::string::npos) << "the page refers to another site";
    EXPECT_EQ(client.Get("/remote.map")->status, 404);
}

} // namespace
