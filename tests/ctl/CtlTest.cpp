// orvexctl's commands run in-process against the simulated processor on loopback (and through the
// fake HID device), with mode files in a temporary folder.

#include "ctl/CtlApp.h"
#include "ctl/CtlSession.h"

#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "link/Frame.h"
#include "link/UsbTransport.h"
#include "model/EqFit.h"
#include "model/FilterText.h"
#include "model/ModeFile.h"
#include "model/ParameterStore.h"
#include "sim/FakeHidDevice.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"
#include "support/Hex.h"
#include "support/LinkHarness.h"
#include "../link/RecordingSender.h"
#include "support/TempDir.h"

#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

using namespace orvex;
using namespace orvex::test;
using namespace std::chrono_literals;

namespace {

struct CtlResult {
    int code;
    std::string out;
    std::string err;
};

CtlResult RunArgs(std::vector<std::string> args, const ctl::CtlEnvironment& env = {}) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = ctl::RunCtl(args, out, err, env);
    return {code, out.str(), err.str()};
}

// A port that nothing listens on: bound once to learn a free number, then released.
uint16_t UnusedPort() {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    const uint16_t port = acceptor.local_endpoint().port();
    acceptor.close();
    return port;
}

// The processor as a network host on 127.0.0.1, and a temporary folder for mode files.
class CtlTest : public ::testing::Test {
protected:
    void SetUp() override { StartHost({}); }

    void StartHost(sim::ProcessorOptions processor) {
        if (host)
            host->Stop();
        host.reset();
        model = std::make_unique<sim::ProcessorModel>(processor);
        sim::HostOptions options;
        options.port = 0;
        options.heartbeatMs = 200;
        host = std::make_unique<sim::NetworkHost>(*model, options);
        std::string error;
        ASSERT_TRUE(host->Start(&error)) << error;
    }

    void TearDown() override {
        if (host)
            host->Stop();
    }

    std::string Address() const { return "127.0.0.1:" + std::to_string(host->Port()); }

    CtlResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--connect", Address()});
        CtlResult result = RunArgs(args);
        // The disconnect notice is the last thing the tool sends; wait for it so that the host's
        // record of this run is complete.
        EXPECT_TRUE(Eventually([&] {
            const auto all = Bodies();
            return !host->ClientConnected() || (!all.empty() && all.back()[0] == request::Disconnect);
        }));
        return result;
    }

    // Every body the processor received, the carrier prefix removed.
    std::vector<std::vector<uint8_t>> Bodies() const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& m : host->Received())
            out.emplace_back(m.payload.begin() + 1, m.payload.end());
        return out;
    }

    // The bodies sent after read-all (whose last request is the remote key table, 62), without the
    // closing disconnect notice.
    std::vector<std::vector<uint8_t>> BodiesAfterReadAll() const {
        const auto all = Bodies();
        size_t start = 0;
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i][0] == request::RemoteKeys)
                start = i + 1;
        std::vector<std::vector<uint8_t>> out(all.begin() + static_cast<long>(start), all.end());
        if (!out.empty() && out.back()[0] == request::Disconnect)
            out.pop_back();
        return out;
    }

    int CountCode(uint8_t code) const {
        int n = 0;
        for (const auto& body : Bodies())
            n += body[0] == code ? 1 : 0;
        return n;
    }

    std::string PathIn(const std::string& name) const { return (dir / name).string(); }

    std::unique_ptr<sim::ProcessorModel> model;
    std::unique_ptr<sim::NetworkHost> host;
    // The folder was named after the test: a parameterised test's '/' made it two levels deep and
    // only the inner one was removed, so every run left orvexctl-<pid>-<test> folders in /tmp.
    TempDir tempDir{"orvexctl"};
    const std::filesystem::path dir = tempDir.Path();
};

std::vector<std::string> HexAll(const std::vector<std::vector<uint8_t>>& bodies) {
    std::vector<std::string> out;
    for (const auto& body : bodies)
        out.push_back(ToHex(body));
    return out;
}

// ---- set: the editor's own bytes ----------------------------------------------------------------------------

struct SetCase {
    const char* name;
    const char* value;
    std::vector<const char*> golden; // the setter's golden messages
};

void PrintTo(const SetCase& c, std::ostream* os) {
    *os << c.name << "=" << c.value;
}

class CtlSetTest : public CtlTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(CtlSetTest, SendsExactlyTheSettersMessagesAndWaitsForTheReply) {
    const SetCase& c = GetParam();
    const CtlResult result = Run({"set", c.name, c.value});
    ASSERT_EQ(result.code, 0) << result.err;
    std::vector<std::string> expected;
    for (const char* hex : c.golden)
        expected.push_back(ToHex(Hex(hex)));
    EXPECT_EQ(HexAll(BodiesAfterReadAll()), expected);
    // The processor took the value before the tool went away.
    const auto& last = Hex(c.golden.back());
    const std::vector<uint32_t> words = model->RecordWords(last[2], last[3]);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words[0], uint32_t(last[5]) << 24 | uint32_t(last[6]) << 16 | uint32_t(last[7]) << 8 | last[8]);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CtlSetTest,
    ::testing::Values(
        SetCase{"echoLevelA", "55", {"09 00 02 08 01 3F0CCCCD"}}, SetCase{"micMute", "1", {"09 00 01 0F 01 00000000"}},
        SetCase{"micVolume[2]", "80", {"09 00 01 06 01 3F4CCCCD"}},
        SetCase{"micGate[3]", "1234", {"09 00 01 0B 01 3DFCB924"}},
        SetCase{"reverbMute", "1", {"09 00 03 19 02 00000000 00000000"}},
        SetCase{"shiftFreqA", "1", {"09 00 01 21 01 00000001"}},
        SetCase{"shiftFreqB", "5", {"09 00 01 38 01 00000000", "09 00 01 36 01 3A2B92A6", "09 00 01 37 01 000004B0"}},
        SetCase{"outDelayMs[2]", "0", {"09 00 07 12 01 00000048"}}, // raised to 1.5 ms
        SetCase{"echoTimeA", "217", {"09 00 02 0A 01 000028B0"}}),
    [](const auto& paramInfo) {
        std::string name = paramInfo.param.name;
        for (char& ch : name)
            if (ch == '[' || ch == ']')
                ch = '_';
        return name;
    });

TEST_F(CtlTest, SetPrintsWhatTheStoreHoldsAfterTheSettersClamp) {
    const CtlResult result = Run({"set", "echoPredelayA", "0.5"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "2\n");
}

// The sixth output's surround volume goes to 500 % on the room page; the tool refused anything above 100.
TEST_F(CtlTest, TheSixthSurroundVolumeTakesTheRoomPagesWiderRange) {
    const CtlResult result = Run({"set", "outSurroundVolume[5]", "500"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "500\n");
}

TEST_F(CtlTest, SetBandWritesTheRecordAndItsCoefficientsLikeTheBandEditors) {
    const CtlResult result = Run({"set", "eq.reverbB[4]", "-3.5,2500,2.25,1"});
    ASSERT_EQ(result.code, 0) << result.err;

    ParameterStore store;
    RecordingSender sender;
    CommandEncoder commands(store, sender);
    EqSender eq(store, commands);
    eq.SetPathBand(eqid::ReverbB, 4, EqBand{-3.5f, 2500, 2.25f, 1});
    EXPECT_EQ(HexAll(BodiesAfterReadAll()), HexAll(sender.Bodies()));
    ASSERT_EQ(sender.Bodies().size(), 2u);
    EXPECT_EQ(sender.Bodies()[0][0], kMsgDeviceMemoryWrite);

    const CtlResult read = Run({"get", "eq.reverbB[4]"});
    EXPECT_EQ(read.out, "-3.5,2500,2.25,1\n");
}

TEST_F(CtlTest, OverUsbTheSameMessagesGoOutAsReports) {
    sim::FakeHidBackend backend(*model);
    const std::string path = "/dev/hidraw7";
    backend.AddInterface(path, kProcessorVendorId, kProcessorProductId);
    ctl::CtlEnvironment env;
    env.hid = &backend;
    const CtlResult result = RunArgs({"--usb", "set", "echoLevelA", "55"}, env);
    ASSERT_EQ(result.code, 0) << result.err;
    std::vector<std::string> reports;
    for (const auto& written : backend.Written(path))
        reports.push_back(ToHex(std::span(written.report).subspan(1, 9)));
    ASSERT_GE(reports.size(), 3u);
    // The setter's message, then the disconnect notice.
    EXPECT_EQ(reports[reports.size() - 2], "09 00 02 08 01 3F 0C CC CD");
    EXPECT_EQ(reports.back().substr(0, 2), "8A");
}

// ---- dump, load, save, file show and diff ------------------------------------------------------------

// Pulls "key":value out of one-line JSON (the value up to the next comma, or the whole array).
std::string JsonValue(const std::string& json, const std::string& key) {
    const std::string marker = "\"" + key + "\":";
    const size_t at = json.find(marker);
    if (at == std::string::npos)
        return "<missing>";
    const size_t start = at + marker.size();
    if (json[start] == '[')
        return json.substr(start, json.find(']', start) - start + 1);
    return json.substr(start, json.find_first_of(",}", start) - start);
}

TEST_F(CtlTest, DumpAfterLoadShowsTheFilesValuesAndDiffNamesExactlyTheChanges) {
    const std::string base = PathIn("base.kvom");
    const std::string preset = PathIn("Party preset.kvom");
    ASSERT_EQ(Run({"save", base}).code, 0);

    ParameterStore edited;
    ASSERT_TRUE(LoadModeFile(base, edited).ok());
    edited.Set(fields::echoLevelA, 37);
    edited.Set(fields::outDelayMs, 3, 42.5f);
    edited.SetEqPathBand(eqid::Music, 2, EqBand{4.5f, 140, 1.25f, 1});
    edited.SetPositionGain(5, -2.5f);
    ASSERT_TRUE(SaveModeFile(preset, edited).ok());

    // Equal files printed nothing at all, which reads like a failure.
    const CtlResult same = RunArgs({"file", "diff", base, base});
    EXPECT_EQ(same.code, 0);
    EXPECT_EQ(same.out, base + " and " + base + " are equal\n");
    EXPECT_EQ(RunArgs({"--json", "file", "diff", base, base}).out, "{}\n");
    const CtlResult diff = RunArgs({"file", "diff", base, preset});
    ASSERT_EQ(diff.code, 0) << diff.err;
    EXPECT_EQ(diff.out, "echoLevelA 50 -> 37\n"
                        "outDelayMs[3] 1.5 -> 42.5\n"
                        "eq.music[2] 0,125,1.414,1 -> 4.5,140,1.25,1\n"
                        "positionGainTable[5] 0 -> -2.5\n");
    EXPECT_EQ(RunArgs({"--json", "file", "diff", base, preset}).out,
              "{\"echoLevelA\":[50,37],\"outDelayMs[3]\":[1.5,42.5],"
              "\"eq.music[2]\":[{\"gain\":0,\"freq\":125,\"q\":1.414,\"type\":1},"
              "{\"gain\":4.5,\"freq\":140,\"q\":1.25,\"type\":1}],\"positionGainTable[5]\":[0,-2.5]}\n");

    const CtlResult load = Run({"load", preset});
    ASSERT_EQ(load.code, 0) << load.err;
    EXPECT_EQ(CountCode(request::SelectMode), 0) << "no memory is named in this title";
    const CtlResult dump = Run({"--json", "dump"});
    ASSERT_EQ(dump.code, 0) << dump.err;
    EXPECT_EQ(JsonValue(dump.out, "echoLevelA"), "37");
    EXPECT_EQ(JsonValue(dump.out, "outDelayMs"), "[1.5,1.5,1.5,42.5,1.5,1.5,1.5,1.5]");
    EXPECT_EQ(JsonValue(dump.out, "positionGainTable"), "[0,0,0,0,0,-2.5,0,0]");
    EXPECT_NE(dump.out.find("\"music\":[{\"gain\":0,\"freq\":31,\"q\":1.414,\"type\":1},"
                            "{\"gain\":0,\"freq\":62,\"q\":1.414,\"type\":1},"
                            "{\"gain\":4.5,\"freq\":140,\"q\":1.25,\"type\":1}"),
              std::string::npos);
    EXPECT_EQ(JsonValue(dump.out, "identity"), "{\"module\":\"Calyxon\"");
    EXPECT_EQ(JsonValue(dump.out, "deviceMode"), "1") << "M1, as the mode commands count";

    // What the processor holds now saves back as the file, field for field.
    const std::string again = PathIn("again.kvom");
    ASSERT_EQ(Run({"save", again}).code, 0);
    EXPECT_EQ(RunArgs({"file", "diff", preset, again}).out, preset + " and " + again + " are equal\n");
}

TEST_F(CtlTest, AFileNamedAfterAMemoryIsStoredIntoItAfterWriteAll) {
    const std::string file = PathIn("M3 karaoke night.kvom");
    ASSERT_EQ(Run({"save", file}).code, 0);
    const CtlResult load = Run({"load", file});
    ASSERT_EQ(load.code, 0) << load.err;
    const auto after = Bodies();
    ASSERT_GE(after.size(), 3u);
    EXPECT_EQ(ToHex(std::span(after[after.size() - 3]).first(2)), "03 02");
    EXPECT_EQ(ToHex(std::span(after[after.size() - 2]).first(2)), "04 02");
    EXPECT_EQ(model->CurrentMode(), 2);
}

TEST_F(CtlTest, ModeLoadWaitsForTheProcessorsReadAll) {
    ASSERT_EQ(Run({"set", "musicVolume", "33"}).code, 0);
    host->ClearReceived();
    const CtlResult result = Run({"mode", "load", "3"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(model->CurrentMode(), 2);
    const auto bodies = Bodies();
    size_t load = 0;
    while (load < bodies.size() && !(bodies[load][0] == request::LoadMode && bodies[load][1] == 2))
        ++load;
    ASSERT_LT(load, bodies.size());
    int reads = 0;
    for (size_t i = load; i < bodies.size(); ++i)
        reads += bodies[i][0] == kMsgDeviceMemoryRead ? 1 : 0;
    EXPECT_EQ(reads, 59) << "the whole image is read after the processor's 05";
    EXPECT_EQ(Run({"get", "musicVolume"}).out, "60\n") << "memory M3's working parameters";

    ASSERT_EQ(Run({"mode", "save", "2"}).code, 0);
    EXPECT_EQ(model->ModeMemory(1), model->Memory());
    ASSERT_EQ(Run({"mode", "select", "4"}).code, 0);
    EXPECT_EQ(model->CurrentMode(), 3);
    EXPECT_EQ(Run({"get", "deviceMode"}).out, "4\n") << "the memory as the mode commands count it";
}

TEST_F(CtlTest, FileShowOfAnOldVersionShowsOnlyWhatTheFileCarries) {
    // Version 1: 784 bytes of parameters (slots 0..195), 178 band records, nothing else.
    std::vector<uint8_t> bytes(4 + 784 + 1246, 0);
    bytes[0] = 1;
    bytes[4 + 195 * 4] = 2; // hdmiInput, the last slot it carries
    const std::string file = PathIn("old.kvom");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));

    const CtlResult text = RunArgs({"file", "show", file});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(text.out.substr(0, 10), "version 1\n");
    EXPECT_NE(text.out.find("\nhdmiInput 2\n"), std::string::npos);
    EXPECT_NE(text.out.find("\neq.out8[12] "), std::string::npos);
    for (const char* absent : {"hdmi2Volume", "outSurroundVolume", "exciterOn", "eq.musicLow", "positionGainTable",
                               "roomRecord", "bassBoostRecord", "identity", "deviceMode"})
        EXPECT_EQ(text.out.find(absent), std::string::npos) << absent;

    const CtlResult json = RunArgs({"--json", "file", "show", file});
    EXPECT_EQ(JsonValue(json.out, "version"), "1");
    EXPECT_EQ(JsonValue(json.out, "hdmiInput"), "2");
    EXPECT_EQ(json.out.find("musicLow"), std::string::npos);
}

TEST_F(CtlTest, LevelsPrintsTheMetersAndTheFormatName) {
    const auto start = std::chrono::steady_clock::now();
    const CtlResult result = Run({"levels", "--count", "3"});
    ASSERT_EQ(result.code, 0) << result.err;
    const std::regex line(
        R"(mic \d+ \d+ \d+ \d+  music \d+ \d+  (STEREO|AC3|DTS|DTS-CD|E-AC3|DOLBY-HD|DTS-HR|DTS-HD|LPCM MultiCh|-)\n)");
    std::istringstream lines(result.out);
    std::string one;
    int count = 0;
    while (std::getline(lines, one)) {
        EXPECT_TRUE(std::regex_match(one + "\n", line)) << one;
        ++count;
    }
    EXPECT_EQ(count, 3);
    EXPECT_GE(MsBetween(start, std::chrono::steady_clock::now()), 950.0) << "500 ms between polls";
    EXPECT_EQ(CountCode(request::Levels), 3);

    const CtlResult json = Run({"--json", "levels", "--count", "1"});
    EXPECT_TRUE(std::regex_match(json.out,
                                 std::regex(R"(\{"mic":\[\d+,\d+,\d+,\d+\],"music":\[\d+,\d+\],"format":"[^"]+"\}\n)")))
        << json.out;
}

// ---- errors: message, exit code, nothing sent -----------------------------------------------------------

struct ErrorCase {
    std::vector<std::string> args; // "@" stands for the temporary folder
    int code;
    std::string message; // "@" as above
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    for (const auto& a : c.args)
        *os << a << ' ';
}

class CtlErrorTest : public CtlTest, public ::testing::WithParamInterface<ErrorCase> {
protected:
    std::string Expand(std::string text) const {
        const size_t at = text.find('@');
        return at == std::string::npos ? text : text.replace(at, 1, dir.string());
    }
};

TEST_P(CtlErrorTest, RefusesBeforeAnythingIsSent) {
    const uint8_t version9[] = {9, 0, 0, 0};
    std::ofstream(PathIn("v9.kvom"), std::ios::binary).write(reinterpret_cast<const char*>(version9), 4);
    std::ofstream(PathIn("short.kvom"), std::ios::binary).write("\x1d\0\0\0\x01\x02", 6);
    std::ofstream(PathIn("notes.kvom"), std::ios::binary) << "hello\n";
    std::vector<std::string> args{"--connect", Address()};
    for (const auto& a : GetParam().args)
        args.push_back(Expand(a));
    const CtlResult result = RunArgs(args);
    EXPECT_EQ(result.code, GetParam().code);
    EXPECT_EQ(result.err, Expand(GetParam().message) + "\n");
    EXPECT_EQ(result.out, "");
    // A probe of our own, once served, shows that nothing came before it: had the run connected, the
    // host would have taken that connection first.
    asio::io_context io;
    asio::ip::tcp::socket probe(io);
    probe.connect({asio::ip::make_address_v4("127.0.0.1"), host->Port()});
    std::array<uint8_t, kMaxFrame> frame{};
    const size_t size = BuildFrame(Hex("81 07"), frame);
    asio::write(probe, asio::buffer(frame.data(), size));
    ASSERT_TRUE(host->WaitForMessages(1, 3s));
    EXPECT_EQ(host->ConnectionsAccepted(), 1);
    const auto received = host->Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(ToHex(received[0].payload), "81 07");
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CtlErrorTest,
    ::testing::Values(
        ErrorCase{{"set", "echoLevelA", "140"}, 1, "value 140 out of range 0..100 for echoLevelA"},
        ErrorCase{{"set", "echoLevelC", "1"}, 1, "unknown field 'echoLevelC'"},
        ErrorCase{{"get", "echoLevelC"}, 1, "unknown field 'echoLevelC'"},
        ErrorCase{{"set", "outCompThreshold[1]", "-61"}, 1, "value -61 out of range -60..0 for outCompThreshold[1]"},
        ErrorCase{{"set", "outSurroundVolume[4]", "101"}, 1, "value 101 out of range 0..100 for outSurroundVolume[4]"},
        ErrorCase{{"set", "outSurroundVolume[5]", "501"}, 1, "value 501 out of range 0..500 for outSurroundVolume[5]"},
        ErrorCase{{"set", "echoLevelA", "5.5"}, 1, "value 5.5 is not a whole number for echoLevelA"},
        ErrorCase{{"set", "echoLevelA", "loud"}, 1, "value 'loud' is not a number for echoLevelA"},
        ErrorCase{{"set", "outDelayMs[8]", "1"}, 1, "index 8 out of range 0..7 for outDelayMs"},
        ErrorCase{{"set", "outDelayMs", "1"}, 1, "field 'outDelayMs' is an array: set outDelayMs[0]..outDelayMs[7]"},
        ErrorCase{{"set", "eq.micA[3]", "16,1000,1,1"}, 1, "gain 16 out of range -15..15 for eq.micA[3]"},
        ErrorCase{{"set", "eq.micA[3]", "0,1000,3,2"}, 1, "Q 3 out of range 0.1..2 for eq.micA[3]"},
        ErrorCase{{"set", "eq.echoA[3]", "0,1000,1,7"}, 1, "type 7 out of range 0..5 for eq.echoA[3]"},
        ErrorCase{{"set", "eq.echoA[7]", "0,1000,1,1"}, 1, "band 7 out of range 0..6 for eq.echoA"},
        ErrorCase{{"set", "eq.sub[0]", "0,1000,1,1"},
                  1,
                  "unknown equaliser path 'sub' (micA, micB, echoA, echoB, reverbA, reverbB, music, out1..out8, "
                  "musicLow)"},
        ErrorCase{
            {"set", "eq.music[0]", "0,1000"}, 1, "band value '0,1000' for eq.music[0] must be GAIN_DB,FREQ_HZ,Q,TYPE"},
        ErrorCase{{"set", "deviceMode", "1"}, 1, "'deviceMode' cannot be set"},
        ErrorCase{{"mode", "load", "5"}, 1, "mode number '5' must be 1..4"},
        ErrorCase{{"mode", "erase", "1"}, 1, "unknown mode action 'erase' (load, save, select or reset)"},
        ErrorCase{{"levels", "--count", "0"}, 1, "--count needs a number from 1 to 100000000"},
        ErrorCase{{"frobnicate"}, 1, "unknown command 'frobnicate' (see --help)"},
        ErrorCase{{}, 1, "no command given (see --help)"},
        ErrorCase{{"load", "@/v9.kvom"}, 4, "mode file version 9 is not supported"},
        ErrorCase{
            {"load", "@/short.kvom"}, 4, "mode file @/short.kvom is truncated: version 29 needs 2223 bytes, it has 6"},
        ErrorCase{{"load", "@/missing.kvom"}, 4, "cannot open @/missing.kvom: No such file or directory"},
        // A 6-byte text file was "mode file version 1819043176 is not supported".
        ErrorCase{{"load", "@/notes.kvom"}, 4, "@/notes.kvom is not a mode file"},
        ErrorCase{{"file", "show", "@/notes.kvom"}, 4, "@/notes.kvom is not a mode file"},
        ErrorCase{{"load", "@"}, 4, "cannot open @: Is a directory"},
        ErrorCase{
            {"save", "@/no/such/folder/x.kvom"}, 4, "cannot write @/no/such/folder/x.kvom: No such file or directory"}),
    [](const auto& paramInfo) { return "case" + std::to_string(paramInfo.index); });

TEST_F(CtlTest, WithoutAProcessorGivenDeviceCommandsAreAUsageError) {
    const CtlResult result = RunArgs({"dump"});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, "no processor given: use --connect HOST:PORT or --usb\n");
}

TEST_F(CtlTest, ARefusedConnectionIsALinkError) {
    const uint16_t port = UnusedPort();
    const CtlResult result = RunArgs({"--connect", "127.0.0.1:" + std::to_string(port), "set", "echoLevelA", "50"});
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.err, "cannot connect to 127.0.0.1:" + std::to_string(port) + ": Connection refused\n");
}

TEST_F(CtlTest, ABusyHostIsALinkError) {
    host->SetBusy(true);
    const CtlResult result = RunArgs({"--connect", Address(), "dump"});
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.err, "the network host at " + Address() + " is serving another editor\n");
}

TEST_F(CtlTest, RetryAsksABusyHostAgainUntilItServes) {
    host->SetBusy(true);
    std::thread freeHost([this] {
        for (int i = 0; i < 400 && host->BusyNoticesSent() < 1; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        host->SetBusy(false);
    });
    const CtlResult result = RunArgs({"--connect", Address(), "--retry", "2", "get", "echoLevelA"});
    freeHost.join();
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.err, "the network host at " + Address() + " is serving another editor; trying again in 1 s\n");
    // Without --retry the same busy host is a link error at once; --retry takes a number.
    host->SetBusy(true);
    EXPECT_EQ(RunArgs({"--connect", Address(), "get", "echoLevelA"}).code, 2);
    EXPECT_EQ(RunArgs({"--connect", Address(), "--retry", "x", "get", "echoLevelA"}).code, 1);
}

TEST_F(CtlTest, ASilentProcessorEndsTheWaitAtTheTimeout) {
    host->SetSilent(true);
    const auto start = std::chrono::steady_clock::now();
    const CtlResult result = RunArgs({"--connect", Address(), "--timeout", "600", "set", "echoLevelA", "50"});
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.err, "read-all did not finish within 600 ms\n");
    EXPECT_LT(MsBetween(start, std::chrono::steady_clock::now()), 3000.0);
    EXPECT_EQ(CountCode(kMsgParamWrite), 0);
}

// On a silent host identify ignored --timeout: 500 ms took 3.5 s, 8000 ms gave up at 5 s.
TEST_F(CtlTest, IdentifyOnASilentHostEndsAtItsTimeout) {
    host->SetSilent(true);
    auto start = std::chrono::steady_clock::now();
    const CtlResult quick = RunArgs({"--connect", Address(), "--timeout", "500", "identify"});
    const double quickMs = MsBetween(start, std::chrono::steady_clock::now());
    EXPECT_EQ(quick.code, 2);
    EXPECT_EQ(quick.err, "no answer from the processor at " + Address() + " within 500 ms\n");
    EXPECT_GE(quickMs, 450.0);
    EXPECT_LT(quickMs, 2000.0);

    // The host serves one editor at a time: the next run starts once it has let the first one go.
    ASSERT_TRUE(Eventually([&] { return !host->ClientConnected(); }));
    // Longer than the link's own 3 s watchdog and the 2 s reply waits together.
    start = std::chrono::steady_clock::now();
    const CtlResult slow = RunArgs({"--connect", Address(), "--timeout", "6000", "identify"});
    const double slowMs = MsBetween(start, std::chrono::steady_clock::now());
    EXPECT_EQ(slow.code, 2);
    EXPECT_EQ(slow.err, "no answer from the processor at " + Address() + " within 6000 ms\n");
    EXPECT_GE(slowMs, 5900.0);
    EXPECT_LT(slowMs, 8500.0);
}

struct WrongProcessorCase {
    std::string module;
    uint8_t version;
    std::string message;
};

void PrintTo(const WrongProcessorCase& c, std::ostream* os) {
    *os << c.module << " " << int{c.version};
}

class CtlWrongProcessorTest : public CtlTest, public ::testing::WithParamInterface<WrongProcessorCase> {};

TEST_P(CtlWrongProcessorTest, IsRefusedWithExitThreeAndNoParameterIsSent) {
    sim::ProcessorOptions processor;
    processor.moduleName = GetParam().module;
    processor.commandSetVersion = GetParam().version;
    StartHost(processor);

    const CtlResult set = Run({"set", "echoLevelA", "50"});
    EXPECT_EQ(set.code, 3);
    EXPECT_EQ(set.err, GetParam().message + "\n");
    EXPECT_EQ(CountCode(kMsgParamWrite), 0);
    EXPECT_EQ(CountCode(kMsgDeviceMemoryRead), 0);

    host->ClearReceived();
    const CtlResult mode = Run({"mode", "load", "2"});
    EXPECT_EQ(mode.code, 3);
    EXPECT_EQ(CountCode(request::LoadMode), 0);

    // identify asked again only when both the model and the version were wrong; read-all asks again
    // when either is.
    host->ClearReceived();
    const CtlResult identify = Run({"identify"});
    EXPECT_EQ(identify.code, 3);
    EXPECT_EQ(identify.err, GetParam().message + "\n");
    EXPECT_EQ(identify.out.substr(0, identify.out.find('\n')), "module " + GetParam().module);
    EXPECT_EQ(CountCode(request::ModuleName), 2);
    EXPECT_EQ(CountCode(request::CommandSetVersion), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Identities, CtlWrongProcessorTest,
    ::testing::Values(WrongProcessorCase{"Zephyr", 18, "wrong processor: module 'Zephyr' is not supported"},
                      WrongProcessorCase{"Calyxon", 17, "wrong processor: command set 17, expected 18"}),
    [](const auto& paramInfo) { return paramInfo.index == 0 ? std::string("Model") : std::string("Version"); });

TEST_F(CtlTest, IdentifyPrintsTheProcessorsIdentity) {
    const CtlResult text = Run({"identify"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(CountCode(request::ModuleName), 1) << "an accepted processor is asked once";
    EXPECT_EQ(text.out, "module Calyxon\nversion 18\nmcu 2019-04-02\ndsp 2019-04-16\n");
    const CtlResult json = Run({"--json", "identify"});
    EXPECT_EQ(json.out, "{\"module\":\"Calyxon\",\"mcu\":\"2019-04-02\",\"dsp\":\"2019-04-16\",\"version\":18}\n");
}

TEST_F(CtlTest, FileCommandsNeedNoProcessor) {
    ParameterStore store;
    store.ResetStoreDefaults();
    const std::string file = PathIn("defaults.kvom");
    ASSERT_TRUE(SaveModeFile(file, store).ok());
    const CtlResult result = RunArgs({"--connect", "127.0.0.1:1", "file", "show", file});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.out.find("\nechoTimeA 217\n"), std::string::npos);
    EXPECT_EQ(host->ConnectionsAccepted(), 0);
}

} // namespace

// ---- eq export / import / fit ---------------------------------------------------------------------------------

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

// Import sends what the band sender sends for the same bands; export gives the file's bands back.
TEST_F(CtlTest, EqImportSendsTheBandsAndExportGivesThemBack) {
    const std::string text = "Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\n"
                             "Filter 2: ON HSC Fc 6000 Hz Gain 2.0 dB Q 0.700\n";
    WriteFile(dir / "room.txt", text);
    const CtlResult imported = Run({"eq", "import", "out3", (dir / "room.txt").string()});
    ASSERT_EQ(imported.code, 0) << imported.err;
    const auto sent = BodiesAfterReadAll();
    ASSERT_EQ(sent.size(), 18u); // nine free bands, each a record write and its coefficients

    const CtlResult exported = Run({"eq", "export", "out3", (dir / "back.txt").string()});
    ASSERT_EQ(exported.code, 0) << exported.err;
    std::ifstream in(dir / "back.txt");
    std::stringstream back;
    back << in.rdbuf();
    EXPECT_TRUE(back.str().starts_with(text)) << back.str();
    EXPECT_NE(back.str().find("Filter 9: OFF"), std::string::npos);
    EXPECT_EQ(back.str().find("Filter 10"), std::string::npos);
}

// A bad file is a file error listing its lines, and nothing reaches the processor; a bad path is a
// usage error.
TEST_F(CtlTest, EqImportOfABadFileSendsNothing) {
    WriteFile(dir / "bad.txt", "Filter 1: ON NO Fc 100 Hz\nFilter 2: ON PK Fc 100 Hz Gain 40 dB Q 1\n");
    const CtlResult result = Run({"eq", "import", "music", (dir / "bad.txt").string()});
    EXPECT_EQ(result.code, ctl::kExitFile);
    EXPECT_NE(result.err.find("line 1: notch filters are not supported"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("line 2: gain 40.0 dB"), std::string::npos) << result.err;
    EXPECT_TRUE(Bodies().empty());
    EXPECT_EQ(Run({"eq", "import", "musicLow", (dir / "bad.txt").string()}).code, ctl::kExitUsage);
    EXPECT_EQ(Run({"eq", "import", "out1", (dir / "missing.txt").string()}).code, ctl::kExitFile);
}

// A fit without --apply needs no processor and prints a list that brings the response near flat;
// --apply sends the fitted bands.
TEST_F(CtlTest, EqFitPrintsOrAppliesTheFittedBands) {
    std::string response = "* measured\nFreq SPL\n";
    const std::vector<EqBand> room = {{6.0f, 80, 4.0f, eqtype::Peaking}, {-4.0f, 900, 1.0f, eqtype::Peaking}};
    for (double f = 20.0; f <= 20000.0; f *= std::exp2(1.0 / 24.0))
        response += std::to_string(f) + ", " + std::to_string(70.0 + EqResponseDb(room, f)) + "\n";
    WriteFile(dir / "m.txt", response);

    const CtlResult printed = RunArgs({"eq", "fit", "out1", (dir / "m.txt").string(), "--range", "30-12000"});
    ASSERT_EQ(printed.code, 0) << printed.err;
    FilterParseResult parsed = ParseFilterText(printed.out);
    ASSERT_TRUE(parsed.Ok());
    ASSERT_EQ(parsed.list.entries.size(), 9u);
    std::vector<EqBand> bands;
    for (const FilterEntry& e : parsed.list.entries)
        bands.push_back(e.band);
    // Flat up to the level the response is normalised to, which the dip pulls down.
    auto result = [&](double f) { return EqResponseDb(bands, f) + EqResponseDb(room, f); };
    for (double f : {80.0, 900.0})
        EXPECT_NEAR(result(f), result(5000.0), 1.0) << f;
    EXPECT_NE(printed.err.find("residual before"), std::string::npos);

    EXPECT_EQ(RunArgs({"eq", "fit", "out1", (dir / "m.txt").string(), "--range", "9-5"}).code, ctl::kExitUsage);
    EXPECT_EQ(RunArgs({"eq", "fit", "out1", (dir / "m.txt").string(), "--apply", "--out", "x"}).code, ctl::kExitUsage);

    const CtlResult applied = Run({"eq", "fit", "out1", (dir / "m.txt").string(), "--apply"});
    ASSERT_EQ(applied.code, 0) << applied.err;
    EXPECT_EQ(BodiesAfterReadAll().size(), 18u);
}

// Offline: a good list lands in the mode file's path; a bad one leaves the file as it was.
TEST_F(CtlTest, FileImportPutsAListIntoAModeFile) {
    ParameterStore store;
    store.ResetStoreDefaults();
    const std::string file = PathIn("preset.kvom");
    ASSERT_TRUE(SaveModeFile(file, store).ok());
    WriteFile(dir / "good.txt", "Filter: ON PK Fc 250 Hz Gain -4.5 dB Q 3.000\n");
    WriteFile(dir / "bad.txt", "Filter: ON PK Fc 250 Hz Gain -4.5 dB Q 3.000\nFilter: ON BP Fc 1 Hz\n");

    EXPECT_EQ(RunArgs({"file", "import", file, "reverbA", (dir / "bad.txt").string()}).code, ctl::kExitFile);
    ParameterStore loaded;
    ASSERT_TRUE(LoadModeFile(file, loaded).ok());
    EXPECT_EQ(loaded.GetEqPathBand(eqid::ReverbA, 0), store.GetEqPathBand(eqid::ReverbA, 0));

    const CtlResult result = RunArgs({"file", "import", file, "reverbA", (dir / "good.txt").string()});
    ASSERT_EQ(result.code, 0) << result.err;
    ASSERT_TRUE(LoadModeFile(file, loaded).ok());
    EXPECT_EQ(loaded.GetEqPathBand(eqid::ReverbA, 0), (EqBand{-4.5f, 250, 3.0f, eqtype::Peaking}));
    EXPECT_EQ(loaded.GetEqPathBand(eqid::ReverbA, 1).type, eqtype::Off);
    EXPECT_EQ(loaded.GetEqPathBand(eqid::ReverbB, 0), store.GetEqPathBand(eqid::ReverbB, 0));
}
