#pragma once

#include "remote/RemoteApi.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace orvex {

// The phone remote's HTTP server: the page at /, the API under /api/, the event stream at
// /api/events. Same origin only: no cross-origin headers, and every reply forbids anything but the
// server's own resources (Content-Security-Policy: default-src 'self').
class RemoteServer {
public:
    // Each open event stream holds one of the server's workers for as long as it is open; at most
    // `maxStreams` are served at once, so that the calls beside them always find a worker.
    static constexpr int kDefaultMaxStreams = 12;
    RemoteServer(RemoteApi& api, const SnapshotBoard& board, int maxStreams = kDefaultMaxStreams);
    ~RemoteServer(); // stops

    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

    // Binds `address` and `port` (0 picks a free port) and serves on a thread of its own. False with
    // a reason when the address cannot be bound.
    bool Start(const std::string& address, uint16_t port, std::string* error = nullptr);
    void Stop();
    uint16_t Port() const { return m_port; }
    bool Running() const;

private:
    void Route();

    RemoteApi& m_api;
    const SnapshotBoard& m_board;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_listenEnded{false};
    const int m_maxStreams;
    std::atomic<int> m_streams{0};
    uint16_t m_port = 0;
};

// The page a phone opens at /: embedded in the program, nothing fetched from elsewhere.
const std::string& RemotePage();

} // namespace orvex
