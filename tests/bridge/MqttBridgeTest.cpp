// The bridge's client on its own, in-process against a mosquitto broker on 127.0.0.1: a board the
// test publishes to stands in for the link's owner.

#include "bridge/MqttBridge.h"
#include "bridge/MqttTestSupport.h"
#include "ctl/CtlApp.h"
#include "ctl/CtlSession.h"
#include "support/LinkHarness.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <mutex>
#include <sstream>

using namespace orvex;
using namespace orvex::bridge;
using namespace orvex::test;
using namespace std::chrono_literals;

namespace {

class RecordingOwner final : public RemoteOwner {
public:
    void Post(RemoteWrite write) override {
        std::lock_guard lock(m_mutex);
        m_writes.push_back(write);
    }
    std::vector<RemoteWrite> Writes() const {
        std::lock_guard lock(m_mutex);
        return m_writes;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<RemoteWrite> m_writes;
};

RemoteSnapshot Connected(int volume) {
    RemoteSnapshot s;
    s.connected = true;
    s.fields = {{"micMasterVolume", volume}};
    s.plugs = {{2, kPlugTypeSwitch, "Lamp", 0}};
    s.plugsRead = true;
    return s;
}

class MqttBridgeTest : public ::testing::Test {
protected:
    BridgeOptions Options() const {
        BridgeOptions options;
        options.port = broker->Port();
        options.device = {"R", "Calyxon", "homeassistant"};
        return options;
    }

    TempDir tempDir{"orvex-mqtt"};
    std::unique_ptr<Broker> broker = std::make_unique<Broker>(tempDir.Path());
    SnapshotBoard board;
    RecordingOwner owner;
    std::mutex logMutex;
    std::vector<std::string> log;
    MqttBridge::Log Logger() {
        return [this](const std::string& line) {
            std::lock_guard lock(logMutex);
            log.push_back(line);
        };
    }
};

TEST_F(MqttBridgeTest, FollowsTheBoardAndHandsCheckedCommandsToTheOwner) {
    MqttRecorder watcher(broker->Port(), "orvex/#");
    ASSERT_TRUE(watcher.WaitSubscribed());
    MqttBridge bridge(Options(), board, owner, Logger());
    ASSERT_TRUE(bridge.Start());
    // Before the processor is seen, its values are not known: only the link state goes out.
    ASSERT_TRUE(watcher.WaitFor("orvex/R/state/connected", "false", 5s));
    EXPECT_FALSE(watcher.WaitFor(
        "orvex/R/state/micMasterVolume", [](const std::string&) { return true; }, 200ms));
    // A command while the processor is away is not handed on.
    watcher.Publish("orvex/R/set/micMasterVolume", "30");
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard lock(logMutex);
        return log.size() == 2;
    }));

    board.Publish(Connected(60));
    EXPECT_TRUE(watcher.WaitFor("orvex/R/state/micMasterVolume", "60", 5s));
    EXPECT_TRUE(watcher.WaitFor("orvex/R/state/plug/2", "OFF", 5s));
    board.Publish(Connected(61));
    EXPECT_TRUE(watcher.WaitFor("orvex/R/state/micMasterVolume", "61", 5s));

    watcher.Publish("orvex/R/set/micMasterVolume", "42");
    watcher.Publish("orvex/R/set/plug/2", "ON");
    watcher.Publish("orvex/R/set/plug/7", "ON");
    ASSERT_TRUE(Eventually([&] { return owner.Writes().size() >= 2; }));
    std::this_thread::sleep_for(100ms);
    const std::vector<RemoteWrite> writes = owner.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].entry->name, "micMasterVolume");
    EXPECT_EQ(writes[0].value, 42);
    EXPECT_EQ(writes[1].node, 2);
    EXPECT_EQ(writes[1].value, kPlugOnValue);

    // The link drops and comes back before the module's tables are read again: the plug stays.
    const size_t dropped = watcher.Count();
    board.Publish(RemoteSnapshot{});
    ASSERT_TRUE(watcher.WaitFor("orvex/R/state/connected", "false", 5s, dropped));
    RemoteSnapshot reopened = Connected(61);
    reopened.plugs.clear();
    reopened.plugsRead = false;
    const size_t from = watcher.Count();
    board.Publish(reopened);
    EXPECT_TRUE(watcher.WaitFor("orvex/R/state/connected", "true", 5s, from));
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(watcher.WaitFor("orvex/R/state/plug/2", "", 0ms, from));

    bridge.Stop();
    EXPECT_TRUE(watcher.WaitFor("orvex/R/status", "offline", 2s));
    std::lock_guard lock(logMutex);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1], "orvex/R/set/micMasterVolume not sent: the processor is not connected");
    EXPECT_EQ(log[2], "orvex/R/set/plug/7 refused: no plug 7");
}

// A broker that refused the very first connection (not started yet at boot) was never tried again.
TEST_F(MqttBridgeTest, ReachesABrokerThatStartsAfterTheBridge) {
    broker->Kill();
    MqttBridge bridge(Options(), board, owner, Logger());
    ASSERT_TRUE(bridge.Start());
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(broker->Start());
    MqttRecorder watcher(broker->Port(), "orvex/#");
    EXPECT_TRUE(watcher.WaitFor("orvex/R/status", "online", 5s));
}

TEST_F(MqttBridgeTest, StopsPromptlyWhileTheBrokerIsAway) {
    broker->Kill();
    MqttBridge bridge(Options(), board, owner, Logger());
    ASSERT_TRUE(bridge.Start());
    std::this_thread::sleep_for(300ms);
    const auto begun = std::chrono::steady_clock::now();
    bridge.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 1500ms);
}

TEST(MqttBridgeLoginTest, LogsInWithTheUserAndPasswordAndIsRefusedWithAWrongOne) {
    TempDir dir("orvex-mqtt-login");
    const auto passwords = dir.Path() / "passwd";
    ASSERT_EQ(std::system(("mosquitto_passwd -b -c '" + passwords.string() + "' room secret >/dev/null 2>&1").c_str()),
              0);
    // A broker started as root reads its files as itself, not as the mosquitto user.
    Broker broker(dir.Path(), "allow_anonymous false\npassword_file " + passwords.string() + "\nuser root\n");
    ASSERT_TRUE(Accepts(broker.Port())) << ReadFileText(dir.Path() / "mosquitto.log");
    SnapshotBoard board;
    RecordingOwner owner;
    MqttRecorder watcher(broker.Port(), "orvex/#", "room", "secret");
    ASSERT_TRUE(watcher.WaitSubscribed());
    for (const std::string password : {"wrong", "secret"}) {
        std::mutex mutex;
        std::vector<std::string> log;
        BridgeOptions options;
        options.port = broker.Port();
        options.device = {password, "Calyxon", "homeassistant"};
        options.username = "room";
        options.password = password;
        MqttBridge bridge(options, board, owner, [&](const std::string& line) {
            std::lock_guard lock(mutex);
            log.push_back(line);
        });
        ASSERT_TRUE(bridge.Start());
        const bool online = watcher.WaitFor("orvex/" + password + "/status", "online", 1500ms).has_value();
        EXPECT_EQ(online, password == "secret");
        bridge.Stop();
        std::lock_guard lock(mutex);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log[0].starts_with("the broker refused the connection"), password == "wrong") << log[0];
    }
}

TEST(BridgeUsageTest, PasswordsComeOnlyFromAFileAndAFileOthersCanReadIsWarnedOf) {
    TempDir dir("orvex-bridge-usage");
    const auto file = dir.Path() / "password";
    std::ofstream(file) << "secret\n";
    ::chmod(file.c_str(), 0644);
    std::atomic<bool> stop{true}; // ends at once: only the start-up is looked at
    ctl::CtlEnvironment env;
    env.stop = &stop;
    const auto run = [&](std::vector<std::string> args, std::string& err) {
        std::ostringstream out;
        std::ostringstream errStream;
        const int code = ctl::RunCtl(args, out, errStream, env);
        err = errStream.str();
        return code;
    };
    const std::string mqtt = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
    std::string err;
    EXPECT_EQ(run({"--connect", "127.0.0.1:1", "bridge", "--mqtt", mqtt, "--password", "secret"}, err),
              ctl::kExitUsage);
    EXPECT_EQ(err, "a password is never taken on the command line: put it in a file for --password-file\n");
    EXPECT_EQ(run({"--connect", "127.0.0.1:1", "bridge", "--mqtt", mqtt, "--password-file", file.string()}, err),
              ctl::kExitUsage);
    EXPECT_EQ(err, "--password-file needs --username\n");
    EXPECT_EQ(run({"--connect", "127.0.0.1:1", "bridge", "--mqtt", "127.0.0.1:0"}, err), ctl::kExitUsage);
    EXPECT_EQ(run({"--connect", "127.0.0.1:1", "bridge", "--mqtt", mqtt, "--room", "/#+"}, err), ctl::kExitUsage);
    EXPECT_EQ(run({"--connect", "127.0.0.1:1", "--room", "R", "dump"}, err), ctl::kExitUsage);
    EXPECT_EQ(run({"--connect", "127.0.0.1:1", "bridge", "--mqtt", mqtt, "--room", "R", "--username", "room",
                   "--password-file", file.string()},
                  err),
              ctl::kExitOk);
    EXPECT_TRUE(err.starts_with("warning: every user of this computer can read " + file.string() + "\n")) << err;
    ::chmod(file.c_str(), 0600);
    EXPECT_EQ(run({"--connect", "127.0.0.1:1", "bridge", "--mqtt", mqtt, "--room", "R", "--username", "room",
                   "--password-file", file.string()},
                  err),
              ctl::kExitOk);
    EXPECT_EQ(err.find("warning"), std::string::npos) << err;
}

} // namespace
