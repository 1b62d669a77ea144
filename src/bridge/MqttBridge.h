#pragma once

#include "bridge/BridgeDiscovery.h"
#include "remote/RemoteOwner.h"
#include "remote/RemoteSnapshot.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

struct mosquitto;
struct mosquitto_message;

namespace orvex::bridge {

inline constexpr uint16_t kDefaultMqttPort = 1883;
inline constexpr uint16_t kDefaultMqttTlsPort = 8883;

// "HOST[:PORT]" as --mqtt and the editor's window take it; the port is 1883, or 8883 with TLS, when
// none is given. False with a reason for an empty host or a port outside 1..65535.
bool ParseBrokerAddress(std::string_view text, bool tls, std::string& host, uint16_t& port, std::string* error);

// The broker's password: the first line of the file (a trailing CR dropped). False with a reason
// when the file cannot be read or its first line is empty. `othersCanRead` says whether every user
// of this computer may read the file (it is used all the same, with a warning, as the broker's own
// tools do).
bool ReadBrokerPassword(const std::string& path, std::string& password, std::string* error, bool* othersCanRead);

struct BridgeOptions {
    std::string host = "127.0.0.1";
    uint16_t port = kDefaultMqttPort;
    BridgeDevice device;
    std::string username; // none when empty
    std::string password;
    std::string cafile; // TLS with this authority when set
    // The live levels go out at most this often.
    std::chrono::milliseconds levelPeriod{1000};
    // The broker's reconnects: the first after this many seconds, doubling up to the most.
    unsigned reconnectDelayS = 1;
    unsigned reconnectDelayMaxS = 30;
};

// One room's bridge between the snapshot board of whoever holds the link and an MQTT broker.
//
// Two threads of its own: the MQTT client's network loop, which (re)connects with a growing delay,
// receives commands and hands the checked ones to the owner (never touching the link), and the
// publisher, which follows the board and publishes what changed. On every connection the room says
// "online" on its status topic (the broker says "offline" for it when the connection dies) and the
// publisher sends the entity descriptions and every state again.
class MqttBridge {
public:
    // Lines for standard error; called from the bridge's threads.
    using Log = std::function<void(const std::string& line)>;

    MqttBridge(BridgeOptions options, const SnapshotBoard& board, RemoteOwner& owner, Log log);
    ~MqttBridge();

    MqttBridge(const MqttBridge&) = delete;
    MqttBridge& operator=(const MqttBridge&) = delete;

    // Starts the client and the publisher; false (and why) when the client cannot be set up. A broker
    // that is not there yet is not a failure: the client keeps trying.
    bool Start(std::string* error = nullptr);
    // Says "offline" (retained), disconnects and joins both threads. Bounded.
    void Stop();

    // The processor's module name once the link knows it; the descriptions follow.
    void SetModule(std::string module);

    bool Connected() const { return m_connected.load(); }
    const BridgeOptions& Options() const { return m_options; }

private:
    static void OnConnect(mosquitto* client, void* self, int code);
    static void OnDisconnect(mosquitto* client, void* self, int code);
    static void OnMessage(mosquitto* client, void* self, const mosquitto_message* message);
    static void OnPublish(mosquitto* client, void* self, int mid);

    void HandleCommand(const std::string& topic, std::string_view payload);
    int Publish(const std::string& topic, std::string_view payload, int qos, bool retain);
    void ConnectFirst();
    void PublishLoop();
    void Say(const std::string& line) const;

    const BridgeOptions m_options;
    const SnapshotBoard& m_board;
    RemoteOwner& m_owner;
    Log m_log;
    const std::string m_commandPrefix; // orvex/ROOM/

    mosquitto* m_client = nullptr;
    std::atomic<bool> m_loopRunning{false}; // the network loop runs: a first connection was begun
    std::thread m_publisher;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_connected{false};
    std::atomic<uint64_t> m_connections{0}; // counts connections, so the publisher sees a new one

    // The last message id the broker confirmed (for a bounded wait on the goodbye), and the module.
    std::mutex m_mutex;
    std::condition_variable m_published;
    int m_lastConfirmed = -1;
    std::string m_module;
    std::atomic<bool> m_troubleShown{false}; // one line per outage, not one per attempt
};

} // namespace orvex::bridge
