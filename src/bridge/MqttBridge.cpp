#include "bridge/MqttBridge.h"

#include <mosquitto.h>
#include <sys/stat.h>
#include <fstream>
#include <cstring>
#include <cerrno>
#include <charconv>

#include <algorithm>
#include <mutex>
#include <optional>

namespace orvex::bridge {

bool ParseBrokerAddress(std::string_view text, bool tls, std::string& host, uint16_t& port, std::string* error) {
    const auto fail = [&](const char* why) {
        if (error)
            *error = why;
        return false;
    };
    const size_t colon = text.rfind(':');
    host = std::string(text.substr(0, colon));
    port = tls ? kDefaultMqttTlsPort : kDefaultMqttPort;
    if (colon != std::string_view::npos) {
        const std::string_view digits = text.substr(colon + 1);
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value < 1 || value > 65535)
            return fail("the broker's port must be a number from 1 to 65535");
        port = static_cast<uint16_t>(value);
    }
    if (host.empty())
        return fail("the broker needs a host name or address");
    return true;
}

bool ReadBrokerPassword(const std::string& path, std::string& password, std::string* error, bool* othersCanRead) {
    struct stat info {};
    std::ifstream in(path);
    if (::stat(path.c_str(), &info) != 0 || !in) {
        if (error)
            *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (password.empty()) {
        if (error)
            *error = path + " holds no password on its first line";
        return false;
    }
    if (othersCanRead)
        *othersCanRead = (info.st_mode & S_IROTH) != 0;
    return true;
}

namespace {

constexpr int kKeepAliveS = 30;
constexpr int kStateQos = 1;
constexpr std::chrono::milliseconds kPublisherTurn{100};
constexpr std::chrono::seconds kGoodbyeWait{2};

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttBridge::MqttBridge(BridgeOptions options, const SnapshotBoard& board, RemoteOwner& owner, Log log)
    : m_options(std::move(options)), m_board(board), m_owner(owner), m_log(std::move(log)),
      m_commandPrefix(RoomTopic(m_options.device.room, "")) {}

MqttBridge::~MqttBridge() {
    Stop();
    if (m_client != nullptr)
        mosquitto_destroy(m_client);
}

void MqttBridge::Say(const std::string& line) const {
    if (m_log)
        m_log(line);
}

bool MqttBridge::Start(std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    InitLibrary();
    const std::string clientId = "orvex-" + RoomId(m_options.device.room);
    m_client = mosquitto_new(clientId.c_str(), true, this);
    if (m_client == nullptr)
        return fail("cannot create the MQTT client");
    mosquitto_connect_callback_set(m_client, &MqttBridge::OnConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttBridge::OnDisconnect);
    mosquitto_message_callback_set(m_client, &MqttBridge::OnMessage);
    mosquitto_publish_callback_set(m_client, &MqttBridge::OnPublish);
    const std::string status = RoomTopic(m_options.device.room, "status");
    int rc = mosquitto_will_set(m_client, status.c_str(), static_cast<int>(kOffline.size()), kOffline.data(), 1, true);
    if (rc != MOSQ_ERR_SUCCESS)
        return fail(std::string("cannot set the last will: ") + mosquitto_strerror(rc));
    if (!m_options.username.empty()) {
        rc = mosquitto_username_pw_set(m_client, m_options.username.c_str(),
                                       m_options.password.empty() ? nullptr : m_options.password.c_str());
        if (rc != MOSQ_ERR_SUCCESS)
            return fail(std::string("cannot use the user name: ") + mosquitto_strerror(rc));
    }
    if (!m_options.cafile.empty()) {
        rc = mosquitto_tls_set(m_client, m_options.cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return fail("cannot use " + m_options.cafile + " for TLS: " + mosquitto_strerror(rc));
    }
    // Commands and their state echo are small packets each way: without this, Nagle's algorithm
    // holds them back for the peer's delayed acknowledgement (tens of milliseconds a hop).
    mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_reconnect_delay_set(m_client, m_options.reconnectDelayS, m_options.reconnectDelayMaxS, true);
    rc = mosquitto_connect_async(m_client, m_options.host.c_str(), m_options.port, kKeepAliveS);
    if (rc == MOSQ_ERR_SUCCESS) {
        rc = mosquitto_loop_start(m_client);
        if (rc != MOSQ_ERR_SUCCESS)
            return fail(std::string("cannot start the MQTT client: ") + mosquitto_strerror(rc));
        m_loopRunning.store(true);
    } else if (rc == MOSQ_ERR_ERRNO) {
        // Refused at once (nothing listens there yet): the network loop would not try again on its
        // own, so the publisher does until the first connection stands.
        Say("broker " + m_options.host + ":" + std::to_string(m_options.port) + " not reachable yet; trying again");
        m_troubleShown.store(true);
    } else {
        return fail("cannot reach the broker at " + m_options.host + ":" + std::to_string(m_options.port) + ": " +
                    mosquitto_strerror(rc));
    }
    m_publisher = std::thread([this] { PublishLoop(); });
    return true;
}

void MqttBridge::ConnectFirst() {
    auto delay = std::max(std::chrono::milliseconds(std::chrono::seconds(m_options.reconnectDelayS)),
                          std::chrono::milliseconds(100));
    const auto longest = std::chrono::milliseconds(std::chrono::seconds(m_options.reconnectDelayMaxS));
    while (!m_loopRunning.load() && !m_stop.load()) {
        const auto until = std::chrono::steady_clock::now() + delay;
        while (std::chrono::steady_clock::now() < until && !m_stop.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (m_stop.load())
            return;
        if (mosquitto_connect_async(m_client, m_options.host.c_str(), m_options.port, kKeepAliveS) ==
                MOSQ_ERR_SUCCESS &&
            mosquitto_loop_start(m_client) == MOSQ_ERR_SUCCESS)
            m_loopRunning.store(true);
        else
            delay = std::min(delay * 2, longest);
    }
}

void MqttBridge::Stop() {
    m_stop.store(true);
    if (m_publisher.joinable())
        m_publisher.join();
    if (!m_loopRunning.exchange(false))
        return;
    if (m_connected.load()) {
        // A clean exit says so itself: the broker keeps the last will for connections that die.
        int mid = -1;
        const std::string status = RoomTopic(m_options.device.room, "status");
        if (mosquitto_publish(m_client, &mid, status.c_str(), static_cast<int>(kOffline.size()), kOffline.data(), 1,
                              true) == MOSQ_ERR_SUCCESS) {
            std::unique_lock lock(m_mutex);
            m_published.wait_for(lock, kGoodbyeWait, [&] { return m_lastConfirmed == mid || !m_connected.load(); });
        }
    }
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, false);
    m_connected.store(false);
}

void MqttBridge::SetModule(std::string module) {
    std::lock_guard lock(m_mutex);
    m_module = std::move(module);
}

void MqttBridge::OnConnect(mosquitto* client, void* self, int code) {
    auto* bridge = static_cast<MqttBridge*>(self);
    if (code != 0) {
        if (!bridge->m_troubleShown.exchange(true))
            bridge->Say(std::string("the broker refused the connection: ") + mosquitto_connack_string(code));
        return;
    }
    const std::string commands = bridge->m_commandPrefix + "set/#";
    mosquitto_subscribe(client, nullptr, commands.c_str(), 1);
    bridge->Publish(RoomTopic(bridge->m_options.device.room, "status"), kOnline, 1, true);
    bridge->m_connected.store(true);
    bridge->m_connections.fetch_add(1);
    bridge->m_troubleShown.store(false);
    bridge->Say("connected to the broker at " + bridge->m_options.host + ":" + std::to_string(bridge->m_options.port) +
                " as room " + bridge->m_options.device.room);
}

void MqttBridge::OnDisconnect(mosquitto*, void* self, int code) {
    auto* bridge = static_cast<MqttBridge*>(self);
    const bool was = bridge->m_connected.exchange(false);
    {
        // Taken so that the goodbye's waiter cannot miss the change between its check and its sleep.
        std::lock_guard lock(bridge->m_mutex);
    }
    bridge->m_published.notify_all();
    if (code != 0 && !bridge->m_stop.load() && (was || !bridge->m_troubleShown.load())) {
        bridge->m_troubleShown.store(true);
        bridge->Say("lost the broker at " + bridge->m_options.host + ":" + std::to_string(bridge->m_options.port) +
                    "; reconnecting");
    }
}

void MqttBridge::OnPublish(mosquitto*, void* self, int mid) {
    auto* bridge = static_cast<MqttBridge*>(self);
    {
        std::lock_guard lock(bridge->m_mutex);
        bridge->m_lastConfirmed = mid;
    }
    bridge->m_published.notify_all();
}

void MqttBridge::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    if (message == nullptr || message->topic == nullptr)
        return;
    const std::string_view payload(static_cast<const char*>(message->payload),
                                   message->payload != nullptr ? static_cast<size_t>(message->payloadlen) : 0);
    static_cast<MqttBridge*>(self)->HandleCommand(message->topic, payload);
}

void MqttBridge::HandleCommand(const std::string& topic, std::string_view payload) {
    if (!topic.starts_with(m_commandPrefix))
        return;
    const std::shared_ptr<const RemoteSnapshot> current = m_board.Current();
    const BridgeCommand command =
        ParseBridgeCommand(std::string_view(topic).substr(m_commandPrefix.size()), payload, *current);
    if (!command.write) {
        Say(topic + " refused: " + command.refusal);
        return;
    }
    if (!current->connected) {
        Say(topic + " not sent: the processor is not connected");
        return;
    }
    m_owner.Post(*command.write);
}

int MqttBridge::Publish(const std::string& topic, std::string_view payload, int qos, bool retain) {
    return mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                             payload.empty() ? nullptr : payload.data(), qos, retain);
}

void MqttBridge::PublishLoop() {
    ConnectFirst();
    TopicMap discovery;
    TopicMap state;
    // The latest snapshot taken with the processor there, its plugs those of the last complete read
    // of the module's tables: a link that has just opened does not make the plugs vanish.
    std::optional<RemoteSnapshot> shown;
    std::vector<RemotePlug> plugs;
    std::string describedModule;
    std::vector<RemotePlug> describedPlugs;
    uint64_t seenVersion = ~uint64_t{0};
    uint64_t seenConnection = 0;
    std::array<int, 6> levelsSent{};
    bool levelsKnown = false;
    auto lastLevels = std::chrono::steady_clock::time_point{};
    while (!m_stop.load()) {
        if (m_board.Closed())
            std::this_thread::sleep_for(kPublisherTurn);
        else
            m_board.WaitForChange(seenVersion, kPublisherTurn);
        seenVersion = m_board.Version();
        const std::shared_ptr<const RemoteSnapshot> now = m_board.Current();
        if (now->connected) {
            if (now->plugsRead)
                plugs = now->plugs;
            shown = *now;
            shown->plugs = plugs;
        }
        if (!m_connected.load())
            continue;
        const uint64_t connection = m_connections.load();
        if (connection != seenConnection) {
            // A new connection: the broker may have lost everything (a restart without persistence).
            seenConnection = connection;
            discovery.clear();
            state.clear();
            levelsKnown = false;
        }
        BridgeDevice device = m_options.device;
        {
            std::lock_guard lock(m_mutex);
            if (!m_module.empty())
                device.module = m_module;
        }
        // Descriptions first, so that a server that sees a state already knows its entity. They
        // change only with the plugs and the module, and are rebuilt only then.
        if (discovery.empty() || device.module != describedModule || plugs != describedPlugs) {
            TopicMap wanted = DiscoveryTopics(device, plugs);
            for (const MqttMessage& message : TopicChanges(discovery, wanted))
                Publish(message.topic, message.payload, 1, true);
            discovery = std::move(wanted);
            describedModule = device.module;
            describedPlugs = plugs;
        }
        TopicMap wanted = StateTopics(m_options.device.room, shown ? &*shown : nullptr, now->connected);
        for (const MqttMessage& message : TopicChanges(state, wanted))
            Publish(message.topic, message.payload, kStateQos, true);
        state = std::move(wanted);

        const auto clock = std::chrono::steady_clock::now();
        if (now->connected && (!levelsKnown || now->levels != levelsSent) &&
            clock - lastLevels >= m_options.levelPeriod) {
            Publish(RoomTopic(m_options.device.room, "state/levels"), LevelsPayload(now->levels), 0, false);
            levelsSent = now->levels;
            levelsKnown = true;
            lastLevels = clock;
        }
    }
}

} // namespace orvex::bridge
