// The phone remote's request handling without sockets: pairing and its lockout on a hand-driven
// clock, the bearer check, every refusal with nothing handed to the link's owner, and the event
// stream's pacing.

#include "remote/RemoteApi.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>
#include <set>

using namespace orvex;
using namespace std::chrono_literals;
using json = nlohmann::json;

namespace {

class RecordingOwner final : public RemoteOwner {
public:
    void Post(RemoteWrite write) override { writes.push_back(write); }
    bool RunsScenes() const override { return scenes; }
    std::vector<RemoteWrite> writes;
    bool scenes = true;
};

RemoteSnapshot ConnectedRoom() {
    RemoteSnapshot s;
    s.connected = true;
    s.mode = 2;
    s.fields = {{"micMasterVolume", 75}, {"micMute", 0}, {"musicSource", 3}};
    s.plugs = {{2, kPlugTypeSwitch, "Floor lamp", 0}, {3, kPlugTypeDimmer, "Wall light", 40}};
    s.levels = {1, 2, 3, 4, 5, 6};
    return s;
}

class RemoteApiTest : public ::testing::Test {
protected:
    void SetUp() override { board.Publish(ConnectedRoom()); }

    RemoteReply Call(const std::string& method, const std::string& path, const std::string& body = {},
                     const std::string& from = "127.0.0.2") {
        return api.Handle({method, path, body, from, token.empty() ? "" : "Bearer " + token});
    }
    RemoteReply Pair(const std::string& pin, const std::string& from = "127.0.0.2") {
        return api.Handle({"POST", "/api/pair", json{{"pin", pin}}.dump(), from, ""});
    }
    void PairNow() {
        const RemoteReply reply = Pair("123456");
        ASSERT_EQ(reply.status, 200) << reply.body;
        token = json::parse(reply.body)["token"].get<std::string>();
    }

    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 1h;
    SnapshotBoard board;
    RecordingOwner owner;
    RemoteApi api{"123456", owner, board, [this] { return now; }};
    std::string token;
};

TEST_F(RemoteApiTest, ThePinGivesEachPhoneItsOwn128BitToken) {
    const RemoteReply first = Pair("123456");
    const RemoteReply second = Pair("123456");
    ASSERT_EQ(first.status, 200);
    ASSERT_EQ(second.status, 200);
    const std::string a = json::parse(first.body)["token"];
    const std::string b = json::parse(second.body)["token"];
    EXPECT_TRUE(std::regex_match(a, std::regex("[0-9a-f]{32}"))) << a;
    EXPECT_NE(a, b);
    EXPECT_EQ(api.PairedCount(), 2u);
    EXPECT_TRUE(api.Authorized("Bearer " + a));
    EXPECT_EQ(Pair("654321").status, 403);
    EXPECT_EQ(Pair("1234567").status, 403);
    EXPECT_EQ(api.Handle({"POST", "/api/pair", "{\"pin\": 123456}", "127.0.0.2", ""}).status, 400);
    EXPECT_EQ(api.Handle({"GET", "/api/pair", "", "127.0.0.2", ""}).status, 405);
    EXPECT_EQ(api.PairedCount(), 2u);
}

TEST_F(RemoteApiTest, FiveWrongPinsFromOneAddressWithinAMinuteLockItOutForSixtySeconds) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Pair("000000").status, 403);
        now += 10s;
    }
    EXPECT_EQ(Pair("000000").status, 429); // the fifth within the minute
    // Locked: even the right PIN is refused, from that address only.
    EXPECT_EQ(Pair("123456").status, 429);
    EXPECT_EQ(Pair("123456", "127.0.0.3").status, 200);
    now += 59s;
    EXPECT_EQ(Pair("123456").status, 429);
    now += 1s;
    EXPECT_EQ(Pair("123456").status, 200);
}

TEST_F(RemoteApiTest, WrongPinsSpreadOverMoreThanAMinuteDoNotLock) {
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Pair("000000").status, 403);
    now += 60s; // the first four have left the window
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Pair("000000").status, 403);
    EXPECT_EQ(Pair("123456").status, 200);
}

TEST_F(RemoteApiTest, EveryOtherCallNeedsAToken) {
    for (const char* path : {"/api/state", "/api/controls", "/api/set", "/api/mode", "/api/nothing"}) {
        EXPECT_EQ(Call("GET", path).status, 401) << path;
        EXPECT_EQ(api.Handle({"GET", path, "", "x", "Bearer 00000000000000000000000000000000"}).status, 401);
    }
    PairNow();
    EXPECT_EQ(api.Handle({"GET", "/api/state", "", "x", token}).status, 401); // no "Bearer "
    EXPECT_EQ(api.Handle({"GET", "/api/state", "", "x", "Basic " + token}).status, 401);
    EXPECT_EQ(Call("GET", "/api/state").status, 200);
    EXPECT_EQ(Call("GET", "/api/nothing").status, 404);
    EXPECT_EQ(Call("GET", "/api/set").status, 405);
    EXPECT_TRUE(owner.writes.empty());
}

TEST_F(RemoteApiTest, TheStateIsThePublishedSnapshot) {
    PairNow();
    const RemoteReply reply = Call("GET", "/api/state");
    ASSERT_EQ(reply.status, 200);
    const json state = json::parse(reply.body);
    EXPECT_EQ(state["connected"], true);
    EXPECT_EQ(state["mode"], 2);
    EXPECT_EQ(state["fields"]["micMasterVolume"], 75);
    EXPECT_EQ(state["fields"]["musicSource"], 3);
    EXPECT_EQ(state["scenes"].size(), 6u);
    ASSERT_EQ(state["plugs"].size(), 2u);
    EXPECT_EQ(state["plugs"][1]["type"], "dimmer");
    EXPECT_EQ(state["plugs"][1]["level"], 40);
    EXPECT_EQ(state["levels"]["mic"], json({1, 2, 3, 4}));
    EXPECT_EQ(state["levels"]["music"], json({5, 6}));
}

TEST_F(RemoteApiTest, EveryBadWriteIsRefusedAndNothingReachesTheOwner) {
    PairNow();
    struct Bad {
        const char* path;
        std::string body;
        int status;
    };
    const Bad bad[] = {
        {"/api/set", R"({"field": "outMute", "value": 1})", 400},           // not in the table
        {"/api/set", R"({"field": "levels", "value": 1})", 400},            // read only
        {"/api/set", R"({"field": "mode", "value": 1})", 400},              // has its own call
        {"/api/set", R"({"field": "micMasterVolume", "value": 101})", 400}, // out of range
        {"/api/set", R"({"field": "micMasterVolume", "value": -1})", 400},
        {"/api/set", R"({"field": "micMasterVolume", "value": "60"})", 400}, // wrong kind
        {"/api/set", R"({"field": "micMute", "value": 2})", 400},
        {"/api/set", R"({"field": "micMute", "value": [1]})", 400},
        {"/api/set", R"({"field": "micMute", "value": null})", 400},
        {"/api/set", R"({"field": "micMasterVolume", "value": 1e400})", 400},
        {"/api/set", R"({"field": "micMasterVolume", "value": 18446744073709551615})", 400},
        {"/api/set", R"({"field": "micMasterVolume", "value": 4294967356})", 400}, // 60 above 32 bits
        {"/api/set", R"({"field": ["micMasterVolume"], "value": 60})", 400},
        {"/api/set", R"({"field": "micMasterVolume"})", 400},
        {"/api/set", R"({"field": "micMasterVolume", "value": 60)", 400}, // broken JSON
        {"/api/set", "[1, 2]", 400},
        {"/api/set", "", 400},
        {"/api/set", std::string(kRemoteMaxBody + 1, ' '), 413},
        {"/api/mode", R"({"load": 0})", 400},
        {"/api/mode", R"({"load": 5})", 400},
        {"/api/mode", R"({"load": "2"})", 400},
        {"/api/mode", R"({"mode": 2})", 400},
        {"/api/scene", R"({"run": 6})", 400},
        {"/api/scene", R"({"run": -1})", 400},
        {"/api/plug", R"({"node": 9, "on": true})", 400},  // no such plug
        {"/api/plug", R"({"node": 2, "level": 40})", 400}, // a switch has no level
        {"/api/plug", R"({"node": 3, "level": 100})", 400},
        {"/api/plug", R"({"node": 3, "on": true, "level": 40})", 400}, // one or the other
        {"/api/plug", R"({"node": 3})", 400},
        {"/api/plug", R"({"node": "3", "on": true})", 400},
        {"/api/plug", R"({"node": 2, "on": "yes"})", 400},
    };
    for (const Bad& b : bad) {
        const RemoteReply reply = Call("POST", b.path, b.body);
        EXPECT_EQ(reply.status, b.status) << b.path << " " << b.body.substr(0, 60);
        EXPECT_TRUE(json::parse(reply.body).contains("error")) << reply.body;
    }
    EXPECT_TRUE(owner.writes.empty());
}

TEST_F(RemoteApiTest, GoodWritesAreHandedToTheOwnerChecked) {
    PairNow();
    EXPECT_EQ(Call("POST", "/api/set", R"({"field": "micMasterVolume", "value": 60})").status, 200);
    EXPECT_EQ(Call("POST", "/api/set", R"({"field": "musicMute", "value": true})").status, 200);
    EXPECT_EQ(Call("POST", "/api/set", R"({"field": "musicSource", "value": "AUX"})").status, 200);
    EXPECT_EQ(Call("POST", "/api/mode", R"({"load": 3})").status, 200);
    EXPECT_EQ(Call("POST", "/api/scene", R"({"run": 2})").status, 200);
    EXPECT_EQ(Call("POST", "/api/plug", R"({"node": 2, "on": true})").status, 200);
    EXPECT_EQ(Call("POST", "/api/plug", R"({"node": 2, "on": false})").status, 200);
    EXPECT_EQ(Call("POST", "/api/plug", R"({"node": 3, "level": 40})").status, 200);
    ASSERT_EQ(owner.writes.size(), 8u);
    const auto is = [&](size_t i, const char* name, int value, int node) {
        EXPECT_EQ(owner.writes[i].entry->name, name) << i;
        EXPECT_EQ(owner.writes[i].value, value) << i;
        EXPECT_EQ(owner.writes[i].node, node) << i;
    };
    is(0, "micMasterVolume", 60, 0);
    is(1, "musicMute", 1, 0);
    is(2, "musicSource", 4, 0);
    is(3, "mode", 3, 0);
    is(4, "scene", 2, 0);
    is(5, "plug", 255, 2);
    is(6, "plug", 0, 2);
    is(7, "plugLevel", 40, 3);
}

// The page builds its controls from the table: every row it offers as a field must be one /api/set
// takes at both ends of its range and refuses past them.
TEST_F(RemoteApiTest, TheTableNamesWhatTheSetCallTakesWithRangesAndBothLabels) {
    EXPECT_EQ(Call("GET", "/api/table").status, 401);
    PairNow();
    EXPECT_EQ(Call("POST", "/api/table").status, 405);
    const RemoteReply reply = Call("GET", "/api/table");
    ASSERT_EQ(reply.status, 200);
    const json table = json::parse(reply.body);
    std::set<std::string> fields;
    for (const json& row : table) {
        const std::string name = row["name"];
        EXPECT_FALSE(row["label"]["en"].get<std::string>().empty()) << name;
        EXPECT_FALSE(row["label"]["zh"].get<std::string>().empty()) << name;
        EXPECT_NE(row["label"]["en"], row["label"]["zh"]) << name;
        if (!row.contains("field"))
            continue;
        const std::string field = row["field"];
        fields.insert(field);
        for (const char* end : {"min", "max"})
            EXPECT_EQ(Call("POST", "/api/set", json{{"field", field}, {"value", row[end]}}.dump()).status, 200)
                << field << ' ' << end;
        EXPECT_EQ(Call("POST", "/api/set", json{{"field", field}, {"value", row["max"].get<int>() + 1}}.dump()).status,
                  400)
            << field;
    }
    // The operations have calls of their own and are no fields.
    for (const char* operation : {"mode", "scene", "plug", "plugLevel", "levels"})
        EXPECT_FALSE(fields.contains(operation)) << operation;
    EXPECT_EQ(fields.size(), 11u);
    const auto source =
        std::find_if(table.begin(), table.end(), [](const json& r) { return r["name"] == "musicSource"; });
    ASSERT_NE(source, table.end());
    EXPECT_EQ((*source)["kind"], "choice");
    EXPECT_EQ((*source)["choices"].size(), 6u);
    EXPECT_EQ((*source)["choices"][0], "SPDIF1");
    EXPECT_EQ((*source)["max"], 5);
}

TEST_F(RemoteApiTest, WritesWaitForAProcessorAndScenesForAnOwnerThatRunsThem) {
    PairNow();
    owner.scenes = false;
    EXPECT_EQ(Call("POST", "/api/scene", R"({"run": 2})").status, 501);
    RemoteSnapshot offline = ConnectedRoom();
    offline.connected = false;
    board.Publish(offline);
    EXPECT_EQ(Call("POST", "/api/set", R"({"field": "micMasterVolume", "value": 60})").status, 503);
    EXPECT_EQ(Call("POST", "/api/plug", R"({"node": 2, "on": true})").status, 503);
    EXPECT_EQ(Call("GET", "/api/state").status, 200);
    EXPECT_TRUE(owner.writes.empty());
}

// ---- the event stream ----------------------------------------------------------------------------------

std::vector<json> DataLines(const std::string& text) {
    std::vector<json> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("data: "))
            out.push_back(json::parse(line.substr(6)));
    return out;
}

TEST_F(RemoteApiTest, TheEventStreamStartsWithTheStateThenSendsOnlyWhatChanged) {
    RemoteEventStream stream(board);
    auto t = now;
    const std::vector<json> first = DataLines(stream.Poll(t));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0]["fields"]["micMasterVolume"], 75);
    EXPECT_EQ(stream.Poll(t += 10ms), "");

    RemoteSnapshot changed = ConnectedRoom();
    changed.fields["micMute"] = 1;
    changed.mode = 4;
    board.Publish(changed);
    const std::vector<json> change = DataLines(stream.Poll(t += 10ms));
    ASSERT_EQ(change.size(), 1u);
    EXPECT_EQ(change[0], json({{"fields", {{"micMute", 1}}}, {"mode", 4}}));
    EXPECT_EQ(stream.Poll(t += 10ms), "");

    changed.plugs[0].value = 255;
    board.Publish(changed);
    const std::vector<json> plug = DataLines(stream.Poll(t += 10ms));
    ASSERT_EQ(plug.size(), 1u);
    EXPECT_EQ(plug[0]["plugs"][0]["on"], true);
    EXPECT_FALSE(plug[0].contains("fields"));
}

TEST_F(RemoteApiTest, TheLevelsGoOutAtMostFourTimesASecond) {
    RemoteEventStream stream(board);
    auto t = now;
    stream.Poll(t);
    RemoteSnapshot s = ConnectedRoom();
    s.levels = {9, 9, 9, 9, 9, 9};
    board.Publish(s);
    EXPECT_EQ(stream.Poll(t += 100ms), ""); // 100 ms after the state
    s.levels = {10, 9, 9, 9, 9, 9};
    board.Publish(s);
    EXPECT_EQ(stream.Poll(t += 100ms), "");
    // A change of the state is not held back with them.
    s.fields["micMasterVolume"] = 50;
    board.Publish(s);
    const std::vector<json> state = DataLines(stream.Poll(t += 10ms));
    ASSERT_EQ(state.size(), 1u);
    EXPECT_FALSE(state[0].contains("levels"));
    const std::vector<json> levels = DataLines(stream.Poll(t += 40ms)); // 250 ms
    ASSERT_EQ(levels.size(), 1u);
    EXPECT_EQ(levels[0]["levels"]["mic"], json({10, 9, 9, 9}));
    s.levels = {11, 9, 9, 9, 9, 9};
    board.Publish(s);
    EXPECT_EQ(stream.Poll(t += 249ms), "");
    EXPECT_EQ(DataLines(stream.Poll(t += 1ms)).size(), 1u);
    EXPECT_EQ(stream.Poll(t += 1s), ""); // unchanged levels are not repeated
}

TEST_F(RemoteApiTest, AQuietStreamGetsACommentEveryFifteenSeconds) {
    RemoteEventStream stream(board);
    auto t = now;
    stream.Poll(t);
    EXPECT_EQ(stream.Poll(t += 14999ms), "");
    const std::string comment = stream.Poll(t += 1ms);
    EXPECT_TRUE(comment.starts_with(":")) << comment;
    EXPECT_TRUE(comment.ends_with("\n\n"));
    EXPECT_EQ(stream.Poll(t += 14s), "");
    // Anything sent counts: the next comment is 15 s after it.
    RemoteSnapshot s = ConnectedRoom();
    s.mode = 1;
    board.Publish(s);
    EXPECT_EQ(DataLines(stream.Poll(t += 500ms)).size(), 1u);
    EXPECT_EQ(stream.Poll(t += 14500ms), "");
    EXPECT_FALSE(stream.Poll(t += 500ms).empty());
}

TEST(RemotePinTest, IsSixDigitsAndNotTheSameEachStart) {
    std::set<std::string> pins;
    for (int i = 0; i < 20; ++i) {
        const std::string pin = MakeRemotePin();
        EXPECT_TRUE(std::regex_match(pin, std::regex("[0-9]{6}"))) << pin;
        pins.insert(pin);
    }
    EXPECT_GT(pins.size(), 1u);
}

} // namespace
