// The installed shape of the tool: the real orvexctl binary against a real orvex-sim process on
// loopback.

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using orvex::test::EndProcess;
using orvex::test::Exec;
using orvex::test::LogOutput;
using orvex::test::ReadFileText;
using orvex::test::Spawn;

struct ProcessResult {
    int code;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// orvex-sim on a free port, its port read from the line it prints when it serves.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> extra = {}) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            std::vector<std::string> args = {ORVEX_SIM_EXE, "--port", "0", "--heartbeat", "200"};
            args.insert(args.end(), extra.begin(), extra.end());
            Exec(std::move(args));
        }
        ::close(pipeFds[1]);
        FILE* out = ::fdopen(pipeFds[0], "r");
        char line[256] = {};
        if (out != nullptr && std::fgets(line, sizeof line, out) != nullptr) {
            const std::string text = line;
            const size_t colon = text.find("127.0.0.1:");
            if (colon != std::string::npos)
                m_port = std::stoi(text.substr(colon + 10));
        }
        if (out != nullptr)
            std::fclose(out);
    }

    ~SimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }

    int Port() const { return m_port; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    pid_t m_pid = -1;
    int m_port = 0;
};

class CtlProcessTest : public ::testing::Test {
protected:
    ProcessResult Ctl(const std::vector<std::string>& args) {
        std::string command = Quote(ORVEX_CTL_EXE);
        for (const auto& a : args)
            command += " " + Quote(a);
        const auto out = dir / "stdout";
        const auto err = dir / "stderr";
        command += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileText(out), ReadFileText(err)};
    }

    orvex::test::TempDir tempDir{"orvexctl-proc"};
    const std::filesystem::path dir = tempDir.Path();
};

TEST_F(CtlProcessTest, SetThenGetRoundTripsThroughTheProcessor) {
    SimProcess sim;
    ASSERT_GT(sim.Port(), 0);
    const ProcessResult set = Ctl({"--connect", sim.Address(), "set", "echoLevelB", "42"});
    ASSERT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(set.out, "42\n");
    const ProcessResult get = Ctl({"--connect", sim.Address(), "get", "echoLevelB"});
    ASSERT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(get.out, "42\n");

    // A preset saved, changed and loaded back restores the saved value.
    const std::string file = (dir / "evening.kvom").string();
    ASSERT_EQ(Ctl({"--connect", sim.Address(), "save", file}).code, 0);
    ASSERT_EQ(Ctl({"--connect", sim.Address(), "set", "echoLevelB", "7"}).code, 0);
    const ProcessResult load = Ctl({"--connect", sim.Address(), "load", file});
    ASSERT_EQ(load.code, 0) << load.err;
    EXPECT_EQ(Ctl({"--connect", sim.Address(), "get", "echoLevelB"}).out, "42\n");
}

TEST_F(CtlProcessTest, ErrorsAreOneLineWithTheirExitCode) {
    SimProcess sim;
    ASSERT_GT(sim.Port(), 0);
    std::ofstream(dir / "v9.kvom", std::ios::binary).write("\x09\0\0\0", 4);

    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"--connect", sim.Address(), "set", "echoLevelA", "140"}, 1, "value 140 out of range 0..100 for echoLevelA\n"},
        {{"--connect", sim.Address(), "get", "echoLevelC"}, 1, "unknown field 'echoLevelC'\n"},
        {{"--connect", sim.Address(), "load", (dir / "v9.kvom").string()}, 4, "mode file version 9 is not supported\n"},
        {{"file", "show", (dir / "v9.kvom").string()}, 4, "mode file version 9 is not supported\n"},
        {{"--connect", "127.0.0.1", "--bogus"}, 1, "unknown option '--bogus' (see --help)\n"},
    };
    for (const Case& c : cases) {
        const ProcessResult result = Ctl(c.args);
        EXPECT_EQ(result.code, c.code) << c.err;
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out, "");
    }
    // The simulator took no harm from the refused commands.
    EXPECT_EQ(Ctl({"--connect", sim.Address(), "get", "echoLevelA"}).code, 0);
}

TEST_F(CtlProcessTest, WrongProcessorAndRefusedConnection) {
    int port = 0;
    {
        SimProcess other({"--module", "Zephyr"});
        ASSERT_GT(other.Port(), 0);
        port = other.Port();
        const ProcessResult wrong = Ctl({"--connect", other.Address(), "set", "echoLevelA", "50"});
        EXPECT_EQ(wrong.code, 3);
        EXPECT_EQ(wrong.err, "wrong processor: module 'Zephyr' is not supported\n");
    }
    // The simulator has ended: nothing listens on its port any more.
    const std::string address = "127.0.0.1:" + std::to_string(port);
    const ProcessResult refused = Ctl({"--connect", address, "dump"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err, "cannot connect to " + address + ": Connection refused\n");
}

// orvexctl serve as a service runs it: started in the background, stopped by a signal.
class ServeProcess {
public:
    ServeProcess(const std::string& simAddress, const std::filesystem::path& errFile) : m_errFile(errFile) {
        m_pid = Spawn({ORVEX_CTL_EXE, "--connect", simAddress, "serve", "--listen", "127.0.0.1:0"}, errFile,
                      LogOutput::ErrorOnly);
    }
    ~ServeProcess() { EndProcess(m_pid, SIGKILL); }

    // Waits until standard error holds `text`; what it holds then.
    std::string WaitFor(const std::string& text) const {
        for (int i = 0; i < 1000; ++i) {
            const std::string err = ReadFileText(m_errFile);
            if (err.find(text) != std::string::npos)
                return err;
            ::usleep(10000);
        }
        return ReadFileText(m_errFile);
    }

    // Sends `signal` and returns the exit code (-1 when it did not exit by itself).
    int StopWith(int signal) { return EndProcess(m_pid, signal); }

private:
    std::filesystem::path m_errFile;
    pid_t m_pid = -1;
};

TEST_F(CtlProcessTest, ServePrintsItsAddressAndANewPinAndEndsCleanlyOnASignal) {
    SimProcess sim;
    ASSERT_GT(sim.Port(), 0);
    std::vector<std::string> pins;
    for (int signal : {SIGINT, SIGTERM}) {
        const auto errFile = dir / ("serve" + std::to_string(signal) + ".err");
        ServeProcess serve(sim.Address(), errFile);
        const std::string err = serve.WaitFor("connected to " + sim.Address());
        std::smatch match;
        ASSERT_TRUE(std::regex_search(err, match, std::regex(R"(http://127\.0\.0\.1:[1-9][0-9]*/  PIN ([0-9]{6})\n)")))
            << err;
        pins.push_back(match[1]);
        EXPECT_EQ(serve.StopWith(signal), 0) << ReadFileText(errFile);
    }
    EXPECT_NE(pins[0], pins[1]); // one in a million to collide
    // The processor is free for the next editor at once: the tool said goodbye.
    EXPECT_EQ(Ctl({"--connect", sim.Address(), "get", "micMute"}).code, 0);
}

TEST_F(CtlProcessTest, HelpDocumentsCommandsAndExitCodes) {
    const ProcessResult help = Ctl({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* text : {"Usage: orvexctl", "identify", "get NAME", "set NAME VALUE", "dump", "load FILE.kvom",
                             "save FILE.kvom", "mode load|save|select|reset N", "file show", "file diff",
                             "levels [--count N]", "serve [--listen ADDR:PORT] [--pin NNNNNN]",
                             "Exit codes: 0 done, 1 usage, 2 connection or link, 3 wrong "
                             "processor, 4 file"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
}

} // namespace
