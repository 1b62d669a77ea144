#pragma once

// A mosquitto broker of the test's own on 127.0.0.1, an MQTT client that records what it receives,
// and orvexctl bridge as a child process.

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <mosquitto.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace orvex::test {

inline uint16_t FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

inline bool Accepts(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class Broker {
public:
    explicit Broker(const std::filesystem::path& dir, std::string extraConfig = {})
        : m_dir(dir), m_port(FreeLoopbackPort()), m_extra(std::move(extraConfig)) {
        Start();
    }
    ~Broker() { Kill(); }

    // Starts (again) on the same port; true once it accepts connections.
    bool Start() {
        const auto config = m_dir / "mosquitto.conf";
        std::ofstream(config) << "listener " << m_port << " 127.0.0.1\n"
                              << (m_extra.empty() ? "allow_anonymous true\n" : m_extra) << "persistence false\n";
        m_pid = Spawn({ORVEX_MOSQUITTO_EXE, "-c", config.string()}, m_dir / "mosquitto.log");
        for (int i = 0; i < 500; ++i) {
            if (Accepts(m_port))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void Kill() { EndProcess(m_pid, SIGKILL); }

    uint16_t Port() const { return m_port; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    std::filesystem::path m_dir;
    uint16_t m_port;
    std::string m_extra;
    pid_t m_pid = -1;
};

struct MqttReceived {
    std::string topic;
    std::string payload;
    bool retain = false;
    std::chrono::steady_clock::time_point at;
};

// An MQTT client subscribed to `filter` that keeps every message it receives.
class MqttRecorder {
public:
    explicit MqttRecorder(uint16_t port, std::string filter = "#", std::string user = {}, std::string password = {})
        : m_filter(std::move(filter)) {
        mosquitto_lib_init();
        m_client = mosquitto_new(nullptr, true, this);
        mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
        if (!user.empty())
            mosquitto_username_pw_set(m_client, user.c_str(), password.c_str());
        mosquitto_connect_callback_set(m_client, [](mosquitto* client, void* self, int code) {
            auto* recorder = static_cast<MqttRecorder*>(self);
            if (code == 0)
                mosquitto_subscribe(client, nullptr, recorder->m_filter.c_str(), 1);
        });
        mosquitto_subscribe_callback_set(m_client, [](mosquitto*, void* self, int, int, const int*) {
            auto* recorder = static_cast<MqttRecorder*>(self);
            std::lock_guard lock(recorder->m_mutex);
            recorder->m_subscribed = true;
        });
        mosquitto_message_callback_set(m_client, [](mosquitto*, void* self, const mosquitto_message* message) {
            auto* recorder = static_cast<MqttRecorder*>(self);
            MqttReceived received{
                message->topic,
                std::string(static_cast<const char*>(message->payload),
                            message->payload != nullptr ? static_cast<size_t>(message->payloadlen) : 0),
                message->retain, std::chrono::steady_clock::now()};
            std::lock_guard lock(recorder->m_mutex);
            recorder->m_received.push_back(std::move(received));
        });
        mosquitto_connect(m_client, "127.0.0.1", port, 30);
        mosquitto_loop_start(m_client);
    }
    ~MqttRecorder() {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
        mosquitto_destroy(m_client);
    }

    bool WaitSubscribed(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return Await([&] { return m_subscribed; }, timeout);
    }

    void Publish(const std::string& topic, const std::string& payload, bool retain = false) {
        mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1,
                          retain);
    }

    std::vector<MqttReceived> All() const {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_received.size();
    }

    // The first message on `topic` from number `from` on that `accept` takes.
    std::optional<MqttReceived> WaitFor(const std::string& topic, const std::function<bool(const std::string&)>& accept,
                                        std::chrono::milliseconds timeout = std::chrono::seconds(10), size_t from = 0) {
        std::optional<MqttReceived> found;
        Await(
            [&] {
                for (size_t i = from; i < m_received.size(); ++i)
                    if (m_received[i].topic == topic && accept(m_received[i].payload)) {
                        found = m_received[i];
                        return true;
                    }
                return false;
            },
            timeout);
        return found;
    }
    std::optional<MqttReceived> WaitFor(const std::string& topic, const std::string& payload,
                                        std::chrono::milliseconds timeout = std::chrono::seconds(10), size_t from = 0) {
        return WaitFor(
            topic, [&](const std::string& p) { return p == payload; }, timeout, from);
    }

private:
    bool Await(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (done())
                    return true;
            }
            if (std::chrono::steady_clock::now() >= until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    mosquitto* m_client = nullptr;
    std::string m_filter;
    mutable std::mutex m_mutex;
    std::vector<MqttReceived> m_received;
    bool m_subscribed = false;
};

// orvexctl bridge in the background, its standard error in a file.
class BridgeProcess {
public:
    BridgeProcess(const std::vector<std::string>& args, std::filesystem::path log) : m_log(std::move(log)) {
        std::vector<std::string> all = {ORVEX_CTL_EXE};
        all.insert(all.end(), args.begin(), args.end());
        m_pid = Spawn(all, m_log);
    }
    ~BridgeProcess() { EndProcess(m_pid, SIGKILL); }

    int StopWith(int signal) { return EndProcess(m_pid, signal); }
    std::string Err() const { return ReadFileText(m_log); }

private:
    std::filesystem::path m_log;
    pid_t m_pid = -1;
};

} // namespace orvex::test
