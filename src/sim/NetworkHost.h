#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/NetworkPort.h"
#include "sim/ProcessorModel.h"

namespace orvex::sim {

struct HostOptions {
    std::string address = "127.0.0.1";
    uint16_t port = kDefaultNetworkPort; // 0 picks a free port
    int heartbeatMs = 1000;
    int replyDelayMs = 0;
    int dropEvery = 0;          // drop every N-th reply (0: never)
    int badChecksumEvery = 0;   // corrupt the checksum of every N-th reply
    int garbageEvery = 0;       // put stray bytes in front of every N-th reply
    int closeAfter = 0;         // drop the connection when the N-th message arrives
    bool silent = false;        // neither heartbeats nor replies
    bool busy = false;          // answer every connection with the host-busy notice
    size_t keepReceived = 4096; // the newest messages Received() keeps; older ones are only counted
};

// One message the host received from the editor, with its arrival time.
struct ReceivedMessage {
    std::vector<uint8_t> payload; // carrier prefix and body
    std::chrono::steady_clock::time_point at;
};

// The network host in front of a processor model: accepts one editor on TCP, sends "$HB$"
// about once a second, answers a second editor with "ISCONNECTED", and relays frames to the
// model and its replies back, and whatever the processor sends on its own (module reports,
// learned keys) as it falls due. One I/O thread runs everything; the fault knobs may be turned
// while it runs.
class NetworkHost {
public:
    NetworkHost(ProcessorModel& model, HostOptions options);
    ~NetworkHost();

    NetworkHost(const NetworkHost&) = delete;
    NetworkHost& operator=(const NetworkHost&) = delete;

    // Binds and starts serving. On failure returns false with a reason in `error`.
    bool Start(std::string* error = nullptr);
    void Stop();
    uint16_t Port() const { return m_boundPort.load(); }

    // Fault knobs.
    void DropNextReplies(int count) { m_dropNext.store(count); }
    void SetReplyDelay(std::chrono::milliseconds delay) { m_replyDelayMs.store(static_cast<int>(delay.count())); }
    void SetSilent(bool silent) { m_silent.store(silent); }
    void SetBusy(bool busy) { m_busy.store(busy); }
    void SetCloseAfter(int messages) { m_closeAfter.store(messages); }
    // Drops the editor's connection now.
    void Disconnect();
    // Sends a message the processor produces on its own (a front-panel change, say).
    void SendUnsolicited(std::vector<uint8_t> body, uint8_t prefix = 0x81);

    // Inspection. A demonstration runs for hours, so only the newest keepReceived messages are
    // kept; the count covers every message since the last clear.
    std::vector<ReceivedMessage> Received() const;
    size_t ReceivedCount() const;
    // The kept messages from number `first` on (counting from the last clear), and the count they
    // end at, taken together; `skipped` says how many from `first` were no longer kept.
    std::vector<ReceivedMessage> ReceivedFrom(size_t first, size_t& end, size_t& skipped) const;
    void ClearReceived();
    // Waits until `count` messages have arrived since the last clear.
    bool WaitForMessages(size_t count, std::chrono::milliseconds timeout) const;
    int HeartbeatsSent() const { return m_heartbeatsSent.load(); }
    int HeartbeatEchoes() const { return m_heartbeatEchoes.load(); }
    int ConnectionsAccepted() const { return m_accepted.load(); }
    int BusyNoticesSent() const { return m_busyNotices.load(); }
    bool ClientConnected() const { return m_clientConnected.load(); }

private:
    struct Session;

    void Accept();
    void StartHeartbeat();
    void PumpOutbox();
    void Read(const std::shared_ptr<Session>& session);
    void ParseStream(const std::shared_ptr<Session>& session);
    void HandlePayload(const std::shared_ptr<Session>& session, std::vector<uint8_t> payload);
    void QueueReply(const std::shared_ptr<Session>& session, std::vector<uint8_t> bytes);
    void ArmDelayTimer(const std::shared_ptr<Session>& session);
    void Write(const std::shared_ptr<Session>& session, std::vector<uint8_t> bytes);
    void WriteNext(const std::shared_ptr<Session>& session);
    void EndSession(const std::shared_ptr<Session>& session);
    void SendBusyAndClose(std::shared_ptr<asio::ip::tcp::socket> socket);

    ProcessorModel& m_model;
    HostOptions m_options;

    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_heartbeatTimer;
    asio::steady_timer m_outboxTimer; // collects what the processor sends on its own
    std::thread m_thread;
    std::shared_ptr<Session> m_active; // only touched on the I/O thread

    std::atomic<uint16_t> m_boundPort{0};
    std::atomic<int> m_dropNext{0};
    std::atomic<int> m_replyDelayMs{0};
    std::atomic<bool> m_silent{false};
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_closeAfter{0};
    std::atomic<int> m_heartbeatsSent{0};
    std::atomic<int> m_heartbeatEchoes{0};
    std::atomic<int> m_accepted{0};
    std::atomic<int> m_busyNotices{0};
    std::atomic<bool> m_clientConnected{false};
    uint64_t m_replyCount = 0; // I/O thread only
    int m_messageCount = 0;    // per session, I/O thread only

    mutable std::mutex m_receivedMutex;
    mutable std::condition_variable m_receivedCv;
    std::deque<ReceivedMessage> m_received; // the newest keepReceived
    size_t m_receivedCount = 0;
};

} // namespace orvex::sim
