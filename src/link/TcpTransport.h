#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "link/ConnectResult.h"
#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/NetReceiver.h"

namespace orvex {

class ParameterStore;

// The link's timings. The defaults are the processor protocol's; tests shorten some of them.
struct TcpTimings {
    uint32_t linkTimeoutMs = 3000;                  // no data for longer closes the link
    std::chrono::milliseconds timeoutCheck{100};    // NetTimeoutThreadProc's period
    std::chrono::milliseconds writerPoll{20};       // NetWriteThreadProc's poll
    uint32_t lostReplyMs = 2000;                    // a lost reply holds the queue this long (on the tick)
    std::chrono::milliseconds replyWait{2000};      // NetSendSync's wait for the reply event (on the tick)
    std::chrono::milliseconds connectTimeout{5000}; // a host that never answers the connect
};

// The TCP side of the device link: one connection to the network host, the receive, write
// and time-out threads, the coalescing write queue and the two synchronous send paths.
class TcpTransport {
public:
    TcpTransport(LinkState& link, ParameterStore& store, MessageSink& decoder, LinkEvents* events,
                 TcpTimings timings = {});
    ~TcpTransport();

    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    // Connects to a dotted IPv4 address. A failure carries the platform's error number
    // (ECONNREFUSED, ETIMEDOUT, EPERM, ...), or 0 when no socket could be created. When `cancel` is
    // given and becomes true while the host has not answered, the attempt ends with ECANCELED.
    ConnectResult TcpConnect(const std::string& address, uint16_t port, const std::atomic<bool>* cancel = nullptr);

    // Ends the link: clears the level record and linkConnected, shuts the connection down and
    // empties the queue. Safe from any thread, including the link's own; it never joins.
    void TcpClose();

    // Coalescing enqueue (used while queueEnabled is 1). False when the payload is refused.
    bool TcpSendQueued(std::span<const uint8_t> payload);
    // Queued unmerged, to go out `gap` after the frame before it at the earliest (a fade step).
    bool TcpSendQueuedSpaced(std::span<const uint8_t> payload, std::chrono::milliseconds gap);
    // Waits for the reply event (2 s at most), then sends one frame under the I/O lock.
    // Returns the number of bytes sent, 0 when the link is down or the payload refused.
    int NetSendSync(std::span<const uint8_t> payload);
    // Sends one frame at once, without waiting (Z-Wave pass-through while the queue is off).
    int TcpSendDirect(std::span<const uint8_t> payload);

    // Ends the link and waits for its threads; the next connect or the destructor also does.
    void Shutdown();

    // Stands between TcpConnect and the network, the way a local firewall does: a gate that
    // returns an error number fails the attempt with it before any packet goes out. Tests use it
    // for refusals a loopback host cannot produce; none is set otherwise.
    void SetConnectGate(std::function<int(const std::string& address, uint16_t port)> gate);

    // Closes the active transport on a link time-out; the USB transport installs itself here
    // when it exists. By default the TCP link is closed.
    void SetTimeoutCloser(std::function<void()> closer);

    const TcpTimings& Timings() const { return m_timings; }

private:
    class ReceiveSink;

    void RecvThreadProc();
    void NetWriteThreadProc();
    void NetTimeoutThreadProc();

    int SendRaw(std::span<const uint8_t> bytes);
    int SendFrame(std::span<const uint8_t> payload);
    void JoinThreadsAndCloseSocket();
    // Ends the writer's and the time-out checker's waits (the link is closing).
    void WakeSleepers();

    LinkState& m_link;
    ParameterStore& m_store;
    MessageSink& m_decoder;
    LinkEvents* m_events;
    TcpTimings m_timings;
    std::function<void()> m_timeoutCloser;
    std::function<int(const std::string&, uint16_t)> m_connectGate;

    asio::io_context m_io;
    std::optional<asio::ip::tcp::socket> m_socket;
    std::mutex m_sendMutex;    // keeps the bytes of two frames from interleaving on the socket
    std::mutex m_socketMutex;  // the socket's shutdown against its replacement
    std::mutex m_connectMutex; // one connect or shutdown at a time
    std::mutex m_stopMutex;    // with m_stopWake: the time-out checker's sleep, ended by a close
    std::condition_variable m_stopWake;

    std::thread m_recvThread;
    std::thread m_writeThread;
    std::thread m_timeoutThread;
};

} // namespace orvex
